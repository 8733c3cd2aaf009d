#include "DateFormat.h"

#include "ModelCache.h"
#include "OraError.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

namespace localengine::functions {

namespace {

enum class El {
    Literal,
    FM,
    FX,
    AD,
    ADdot,
    BC,
    BCdot,
    AM,
    AMdot,
    PM,
    PMdot,
    CC,
    SCC,
    D,
    DAY,
    DD,
    DDD,
    DL,
    DS,
    DY,
    FF,
    HH,
    HH12,
    HH24,
    IW,
    IYYY,
    IYY,
    IY,
    I,
    J,
    MI,
    MM,
    MON,
    MONTH,
    Q,
    RM,
    RR,
    RRRR,
    SS,
    SSSSS,
    TS,
    W,
    WW,
    X,
    YCOMMA,
    YEAR,
    SYEAR,
    YYYY,
    SYYYY,
    YYY,
    YY,
    Y
};

enum class Case { Upper, Initial, Lower };

struct Token {
    El el = El::Literal;
    std::string text;  // the literal, or the element as written
    Case letters = Case::Upper;
    bool th = false, sp = false;
    int ffDigits = 0;  // FF1..FF9; 0 for plain FF
    bool quoted = false;
};

struct ElementName {
    const char* name;
    El el;
};

// Longest first wherever one name begins another.
constexpr ElementName kElements[] = {
    {"Y,YYY", El::YCOMMA}, {"SYYYY", El::SYYYY}, {"SYEAR", El::SYEAR}, {"SSSSS", El::SSSSS},
    {"MONTH", El::MONTH},  {"A.D.", El::ADdot},  {"B.C.", El::BCdot},  {"A.M.", El::AMdot},
    {"P.M.", El::PMdot},   {"HH24", El::HH24},   {"HH12", El::HH12},   {"YYYY", El::YYYY},
    {"IYYY", El::IYYY},    {"RRRR", El::RRRR},   {"YEAR", El::YEAR},   {"DDD", El::DDD},
    {"DAY", El::DAY},      {"MON", El::MON},     {"YYY", El::YYY},     {"IYY", El::IYY},
    {"SCC", El::SCC},      {"FF", El::FF},       {"DY", El::DY},       {"DD", El::DD},
    {"DL", El::DL},        {"DS", El::DS},       {"HH", El::HH},       {"MI", El::MI},
    {"MM", El::MM},        {"SS", El::SS},       {"RR", El::RR},       {"RM", El::RM},
    {"YY", El::YY},        {"IY", El::IY},       {"IW", El::IW},       {"WW", El::WW},
    {"CC", El::CC},        {"AD", El::AD},       {"BC", El::BC},       {"AM", El::AM},
    {"PM", El::PM},        {"FM", El::FM},       {"FX", El::FX},       {"TS", El::TS},
    {"D", El::D},          {"J", El::J},         {"Q", El::Q},         {"W", El::W},
    {"Y", El::Y},          {"I", El::I},         {"X", El::X},
};

constexpr std::array<const char*, 12> kMonthNames = {
    "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
    "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
constexpr std::array<const char*, 7> kDayNames = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                                  "THURSDAY", "FRIDAY", "SATURDAY"};
constexpr std::array<const char*, 12> kRoman = {"I",   "II",   "III", "IV", "V",  "VI",
                                                "VII", "VIII", "IX",  "X",  "XI", "XII"};

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
bool isAlpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
    if (at + word.size() > s.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (upper(s[at + i]) != word[i])
            return false;
    return true;
}

bool isNumeric(El el) {
    switch (el) {
        case El::CC:
        case El::SCC:
        case El::D:
        case El::DD:
        case El::DDD:
        case El::HH:
        case El::HH12:
        case El::HH24:
        case El::IW:
        case El::IYYY:
        case El::IYY:
        case El::IY:
        case El::I:
        case El::J:
        case El::MI:
        case El::MM:
        case El::Q:
        case El::RR:
        case El::RRRR:
        case El::SS:
        case El::SSSSS:
        case El::W:
        case El::WW:
        case El::YCOMMA:
        case El::YYYY:
        case El::SYYYY:
        case El::YYY:
        case El::YY:
        case El::Y:
            return true;
        default:
            return false;
    }
}

// The case the element was written in decides the case of names and
// spelled numbers: "MONTH" -> JANUARY, "Month" -> January, "month" -> january.
Case caseOf(std::string_view written) {
    std::string letters;
    for (char c : written)
        if (isAlpha(c))
            letters += c;
    if (letters.empty() || std::islower(static_cast<unsigned char>(letters[0])))
        return Case::Lower;
    if (letters.size() > 1 && std::islower(static_cast<unsigned char>(letters[1])))
        return Case::Initial;
    return Case::Upper;
}

std::string applyCase(std::string upperText, Case c) {
    bool wordStart = true;
    for (char& ch : upperText) {
        if (isAlpha(ch)) {
            if (c == Case::Lower || (c == Case::Initial && !wordStart))
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            wordStart = false;
        } else {
            wordStart = true;
        }
    }
    return upperText;
}

std::vector<Token> tokenize(std::string_view f);

void expand(std::vector<Token>& out, std::string_view model) {
    for (Token& t : tokenize(model))
        out.push_back(std::move(t));
}

std::vector<Token> tokenize(std::string_view f) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        if (c == '"') {
            const std::size_t end = f.find('"', i + 1);
            if (end == std::string_view::npos)
                raise(1821);
            Token t;
            t.text = std::string(f.substr(i + 1, end - i - 1));
            t.quoted = true;
            tokens.push_back(std::move(t));
            i = end + 1;
            continue;
        }
        if (!isAlpha(c)) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (isDigit(c) || u >= 0x80 || u < 0x20)
                raise(1821);
            Token t;
            t.text = std::string(1, c);
            tokens.push_back(std::move(t));
            ++i;
            continue;
        }
        const ElementName* found = nullptr;
        for (const ElementName& e : kElements) {
            if (startsWithNoCase(f, i, e.name)) {
                found = &e;
                break;
            }
        }
        if (!found)
            raise(1821);
        Token t;
        t.el = found->el;
        const std::size_t len = std::string_view(found->name).size();
        t.text = std::string(f.substr(i, len));
        t.letters = caseOf(t.text);
        i += len;
        if (t.el == El::FF && i < f.size() && f[i] >= '1' && f[i] <= '9')
            t.ffDigits = f[i++] - '0';
        if (t.el == El::DL || t.el == El::DS || t.el == El::TS) {
            // The short and long forms of NLS_TERRITORY AMERICA.
            expand(tokens, t.el == El::DL   ? "fmDay, Month dd, yyyyfm"
                           : t.el == El::DS ? "MM/DD/RRRR"
                                            : "HH:MI:SS AM");
            continue;
        }
        if (isNumeric(t.el)) {
            if (startsWithNoCase(f, i, "SPTH") || startsWithNoCase(f, i, "THSP")) {
                t.sp = t.th = true;
                i += 4;
            } else if (startsWithNoCase(f, i, "SP")) {
                t.sp = true;
                i += 2;
            } else if (startsWithNoCase(f, i, "TH")) {
                t.th = true;
                i += 2;
            }
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

// ---------------------------------------------------------------- output

constexpr const char* kOnes[] = {"ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",
                                 "FIVE",    "SIX",     "SEVEN",     "EIGHT",    "NINE",
                                 "TEN",     "ELEVEN",  "TWELVE",    "THIRTEEN", "FOURTEEN",
                                 "FIFTEEN", "SIXTEEN", "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
constexpr const char* kTens[] = {"",      "",      "TWENTY",  "THIRTY", "FORTY",
                                 "FIFTY", "SIXTY", "SEVENTY", "EIGHTY", "NINETY"};

std::string spellBelowThousand(int n) {
    std::string out;
    if (n >= 100) {
        out = std::string(kOnes[n / 100]) + " HUNDRED";
        n %= 100;
        if (n == 0)
            return out;
        out += ' ';
    }
    if (n < 20)
        return out + kOnes[n];
    out += kTens[n / 10];
    if (n % 10)
        out += std::string("-") + kOnes[n % 10];
    return out;
}

std::string ordinalWord(const std::string& word) {
    static const std::pair<const char*, const char*> irregular[] = {
        {"ONE", "FIRST"},    {"TWO", "SECOND"}, {"THREE", "THIRD"},    {"FIVE", "FIFTH"},
        {"EIGHT", "EIGHTH"}, {"NINE", "NINTH"}, {"TWELVE", "TWELFTH"}, {"ZERO", "ZEROETH"}};
    for (const auto& [from, to] : irregular)
        if (word == from)
            return to;
    if (!word.empty() && word.back() == 'Y')
        return word.substr(0, word.size() - 1) + "IETH";
    return word + "TH";
}

std::string ordinalSuffix(long long n) {
    const long long lastTwo = n % 100;
    if (lastTwo >= 11 && lastTwo <= 13)
        return "TH";
    switch (n % 10) {
        case 1:
            return "ST";
        case 2:
            return "ND";
        case 3:
            return "RD";
        default:
            return "TH";
    }
}

std::string padNumber(long long v, int width, bool fm) {
    char buf[32];
    if (fm)
        std::snprintf(buf, sizeof buf, "%lld", v);
    else
        std::snprintf(buf, sizeof buf, "%0*lld", width, v);
    return buf;
}

struct IsoWeek {
    int year, week;
};

IsoWeek isoWeek(const DateTime& d) {
    const std::int64_t j = julianDay(d);
    const int weekday = (dayOfWeek(d) + 5) % 7 + 1;  // Monday = 1
    const std::int64_t thursday = j - weekday + 4;
    int y = 0, m = 0, day = 0;
    fromJulianDay(thursday, y, m, day);
    return {y, static_cast<int>((thursday - julianDay(y, 1, 1)) / 7 + 1)};
}

// Years are spelled in pairs ("TWENTY THIRTEEN"), except those of the
// form x0yy ("TWO THOUSAND FIVE") and whole hundreds ("NINETEEN HUNDRED").
std::string spellYear(int year) {
    if ((year / 100) % 10 == 0 && year % 100 < 10)
        return spellNumber(year, false);
    const std::string century = spellBelowThousand(year / 100);
    if (year % 100 == 0)
        return century + " HUNDRED";
    return century + " " + spellBelowThousand(year % 100);
}

int fractionDigits(const Token& t, const DateTime& d) {
    if (t.ffDigits)
        return t.ffDigits;
    // A plain FF writes the value's precision: six digits, the default of
    // TIMESTAMP, unless the value holds more.
    return d.nanos % 1000 == 0 ? 6 : 9;
}

long long numericValue(El el, const DateTime& d) {
    const int year = d.year < 0 ? -d.year : d.year;  // BC years print their number
    switch (el) {
        case El::CC:
        case El::SCC:
            return (year - 1) / 100 + 1;
        case El::D:
            return dayOfWeek(d);
        case El::DD:
            return d.day;
        case El::DDD:
            return dayOfYear(d);
        case El::HH:
        case El::HH12:
            return d.hour % 12 == 0 ? 12 : d.hour % 12;
        case El::HH24:
            return d.hour;
        case El::IW:
            return isoWeek(d).week;
        case El::IYYY:
            return isoWeek(d).year;
        case El::IYY:
            return isoWeek(d).year % 1000;
        case El::IY:
            return isoWeek(d).year % 100;
        case El::I:
            return isoWeek(d).year % 10;
        case El::J:
            return julianDay(d);
        case El::MI:
            return d.minute;
        case El::MM:
            return d.month;
        case El::Q:
            return (d.month - 1) / 3 + 1;
        case El::SS:
            return d.second;
        case El::SSSSS:
            return d.hour * 3600 + d.minute * 60 + d.second;
        case El::W:
            return (d.day - 1) / 7 + 1;
        case El::WW:
            return (dayOfYear(d) - 1) / 7 + 1;
        case El::YYY:
            return year % 1000;
        case El::YY:
        case El::RR:
            return year % 100;
        case El::Y:
            return year % 10;
        default:
            return year;  // YYYY, SYYYY, RRRR, Y,YYY
    }
}

int numericWidth(El el) {
    switch (el) {
        case El::D:
        case El::Q:
        case El::W:
        case El::Y:
        case El::I:
            return 1;
        case El::DDD:
        case El::YYY:
        case El::IYY:
            return 3;
        case El::YYYY:
        case El::SYYYY:
        case El::RRRR:
        case El::IYYY:
            return 4;
        case El::SSSSS:
            return 5;
        case El::J:
            return 7;
        default:
            return 2;
    }
}

std::string formatNumeric(const Token& t, const DateTime& d, bool fm) {
    const long long v = numericValue(t.el, d);
    std::string out;
    if (t.sp) {
        out = t.el == El::YCOMMA ? spellNumber(v, t.th) : spellNumber(v, t.th);
        return applyCase(out, t.letters);
    }
    if (t.el == El::YCOMMA) {
        char buf[16];
        std::snprintf(buf, sizeof buf, fm ? "%lld,%03lld" : "%01lld,%03lld", v / 1000, v % 1000);
        out = buf;
    } else {
        out = padNumber(v, numericWidth(t.el), fm);
    }
    if (t.el == El::SYYYY || t.el == El::SCC)
        out = (d.year < 0 ? "-" : fm ? "" : " ") + out;  // AD years: a blank where BC puts "-"
    if (t.th) {
        if (v == 0)
            raise(1877);
        out += applyCase(ordinalSuffix(v), t.letters == Case::Upper ? Case::Upper : Case::Lower);
    }
    return out;
}

std::string padName(const std::string& name, std::size_t width, bool fm) {
    if (fm || name.size() >= width)
        return name;
    return name + std::string(width - name.size(), ' ');
}

}  // namespace

std::string spellNumber(long long n, bool ordinal) {
    std::string out;
    if (n < 0) {
        out = "MINUS ";
        n = -n;
    }
    if (n == 0) {
        out += "ZERO";
    } else {
        static const std::pair<long long, const char*> scales[] = {
            {1000000000LL, " BILLION"}, {1000000LL, " MILLION"}, {1000LL, " THOUSAND"}};
        std::string words;
        for (const auto& [scale, name] : scales) {
            if (n >= scale) {
                words += spellBelowThousand(static_cast<int>(n / scale % 1000)) + name;
                n %= scale;
                if (n)
                    words += ' ';
            }
        }
        if (n)
            words += spellBelowThousand(static_cast<int>(n));
        out += words;
    }
    if (!ordinal)
        return out;
    const std::size_t cut = out.find_last_of(" -");
    const std::size_t start = cut == std::string::npos ? 0 : cut + 1;
    return out.substr(0, start) + ordinalWord(out.substr(start));
}

std::string_view monthName(int month) {
    return kMonthNames[static_cast<std::size_t>(month - 1)];
}
std::string_view dayName(int dayOfWeek) {
    return kDayNames[static_cast<std::size_t>(dayOfWeek - 1)];
}

namespace {

// The tokens of a model, read once per thread for the models in use.
std::shared_ptr<const std::vector<Token>> modelTokens(std::string_view format) {
    thread_local ModelCache<std::vector<Token>> cache;
    return cache.get(format, [](std::string_view f) { return tokenize(f); });
}

}  // namespace

std::string formatDateTime(const DateTime& d, std::string_view format, bool timestamp) {
    const std::shared_ptr<const std::vector<Token>> model = modelTokens(format);
    const std::vector<Token>& tokens = *model;
    std::string out;
    bool fm = false;
    for (const Token& t : tokens) {
        switch (t.el) {
            case El::Literal:
                out += t.text;
                break;
            case El::FM:
                fm = !fm;
                break;
            case El::FX:
                break;
            case El::AD:
            case El::BC:
                out += applyCase(d.year < 0 ? "BC" : "AD", t.letters);
                break;
            case El::ADdot:
            case El::BCdot:
                out += applyCase(d.year < 0 ? "B.C." : "A.D.", t.letters);
                break;
            case El::AM:
            case El::PM:
                out += applyCase(d.hour < 12 ? "AM" : "PM", t.letters);
                break;
            case El::AMdot:
            case El::PMdot:
                out += applyCase(d.hour < 12 ? "A.M." : "P.M.", t.letters);
                break;
            case El::DAY:
                out += applyCase(padName(std::string(dayName(dayOfWeek(d))), 9, fm), t.letters);
                break;
            case El::DY:
                out += applyCase(std::string(dayName(dayOfWeek(d)).substr(0, 3)), t.letters);
                break;
            case El::MONTH:
                out += applyCase(padName(std::string(monthName(d.month)), 9, fm), t.letters);
                break;
            case El::MON:
                out += applyCase(std::string(monthName(d.month).substr(0, 3)), t.letters);
                break;
            case El::RM:
                out += applyCase(padName(kRoman[static_cast<std::size_t>(d.month - 1)], 4, fm),
                                 t.letters == Case::Upper ? Case::Upper : Case::Lower);
                break;
            case El::YEAR:
            case El::SYEAR:
                out += applyCase((t.el == El::SYEAR && !fm ? " " : "") +
                                     spellYear(d.year < 0 ? -d.year : d.year),
                                 t.letters);
                break;
            case El::FF: {
                if (!timestamp)
                    raise(1821);
                char buf[16];
                std::snprintf(buf, sizeof buf, "%09d", d.nanos);
                out.append(buf, static_cast<std::size_t>(fractionDigits(t, d)));
                break;
            }
            case El::X:
                if (!timestamp)
                    raise(1821);
                out += '.';
                break;
            default:
                out += formatNumeric(t, d, fm);
        }
    }
    return out;
}

// ----------------------------------------------------------------- input

namespace {

struct Fields {
    std::optional<int> year, month, day, hour, minute, second, ddd, sssss, julian;
    std::optional<int> nanos;
    std::optional<bool> pm;
    bool hour12 = false;
    std::optional<int> weekday;
};

class DateReader {
public:
    DateReader(std::string_view text, const DateTime& now, bool timestamp)
        : m_text(text), m_now(now), m_timestamp(timestamp) {}

    DateTime read(const std::vector<Token>& tokens);

private:
    bool atEnd() const { return m_at >= m_text.size(); }
    void skipBlanks() {
        while (!atEnd() && m_text[m_at] == ' ')
            ++m_at;
    }
    bool onlyTimeLeft(const std::vector<Token>& tokens, std::size_t from) const;
    void readToken(const std::vector<Token>& tokens, std::size_t index);
    void readLiteral(const Token& t);
    void readFraction(const Token& t);
    void readNamed(const Token& t);
    void readDateNumber(const Token& t, bool nextIsNumeric);
    void readTimeNumber(const Token& t, bool nextIsNumeric);
    void readYear(const Token& t, bool nextIsNumeric);
    int readNumber(const Token& t, int maxDigits, bool signedValue, bool nextIsNumeric);
    int readName(const char* const* names, std::size_t count, std::size_t abbrev, int error);
    void setOnce(std::optional<int>& field, int value, int error);
    int assembledYear() const;
    DateTime assemble();

    std::string_view m_text;
    std::size_t m_at = 0;
    DateTime m_now;
    bool m_timestamp;
    bool m_fx = false, m_fm = false;
    Fields m_f;
    int m_yearDigits =
        0;  // how the year was given: 1..3 digits replace the end of the current year
    bool m_rr = false;
    int m_lastDigits = 0;
    bool m_bc = false, m_era = false, m_signedYear = false;
};

bool DateReader::onlyTimeLeft(const std::vector<Token>& tokens, std::size_t from) const {
    for (std::size_t i = from; i < tokens.size(); ++i) {
        switch (tokens[i].el) {
            case El::Literal:
            case El::FM:
            case El::FX:
            case El::HH:
            case El::HH12:
            case El::HH24:
            case El::MI:
            case El::SS:
            case El::SSSSS:
            case El::AM:
            case El::PM:
            case El::AMdot:
            case El::PMdot:
            case El::FF:
            case El::X:
                break;
            default:
                return false;
        }
    }
    return true;
}

void DateReader::setOnce(std::optional<int>& field, int value, int error) {
    if (field)
        raise(error);
    field = value;
}

int DateReader::readNumber(const Token& t, int maxDigits, bool signedValue, bool nextIsNumeric) {
    if (!m_fx)
        skipBlanks();
    bool negative = false;
    if (signedValue && !atEnd() && (m_text[m_at] == '-' || m_text[m_at] == '+'))
        negative = m_text[m_at++] == '-';
    const std::size_t start = m_at;
    long long v = 0;
    int limit = maxDigits;
    // YY and RR also take a four-digit year where nothing numeric follows.
    if ((t.el == El::YY || t.el == El::RR) && !nextIsNumeric && !m_fx)
        limit = 4;
    while (!atEnd() && isDigit(m_text[m_at]) && static_cast<int>(m_at - start) < limit) {
        v = v * 10 + (m_text[m_at] - '0');
        ++m_at;
    }
    const int digits = static_cast<int>(m_at - start);
    m_lastDigits = digits;
    if (digits == 0) {
        if (atEnd())
            raise(1840);
        raise(1858);
    }
    if (m_fx && !m_fm && digits != maxDigits)
        raise(1862);
    if ((t.el == El::YY || t.el == El::RR) && digits > 2) {
        m_yearDigits = 4;
        m_rr = false;
    }
    return static_cast<int>(negative ? -v : v);
}

int DateReader::readName(const char* const* names, std::size_t count, std::size_t abbrev,
                         int error) {
    if (!m_fx)
        skipBlanks();
    // The full name first, then its abbreviation.
    for (std::size_t i = 0; i < count; ++i) {
        if (startsWithNoCase(m_text, m_at, names[i])) {
            m_at += std::string_view(names[i]).size();
            return static_cast<int>(i) + 1;
        }
    }
    if (abbrev) {
        for (std::size_t i = 0; i < count; ++i) {
            if (startsWithNoCase(m_text, m_at, std::string_view(names[i]).substr(0, abbrev))) {
                m_at += abbrev;
                return static_cast<int>(i) + 1;
            }
        }
    }
    raise(error);
}

void DateReader::readToken(const std::vector<Token>& tokens, std::size_t index) {
    const Token& t = tokens[index];
    const bool nextIsNumeric = index + 1 < tokens.size() && isNumeric(tokens[index + 1].el);
    if (t.th || t.sp)
        raise(1820);
    switch (t.el) {
        case El::Literal:
            readLiteral(t);
            return;
        case El::FM:
            m_fm = !m_fm;
            return;
        case El::FX:
            m_fx = !m_fx;
            return;
        case El::CC:
        case El::SCC:
        case El::IW:
        case El::IYYY:
        case El::IYY:
        case El::IY:
        case El::I:
        case El::Q:
        case El::W:
        case El::WW:
        case El::YEAR:
        case El::SYEAR:
            raise(1820);
        case El::FF:
        case El::X:
            readFraction(t);
            return;
        case El::AD:
        case El::ADdot:
        case El::BC:
        case El::BCdot:
        case El::AM:
        case El::AMdot:
        case El::PM:
        case El::PMdot:
        case El::MONTH:
        case El::MON:
        case El::RM:
        case El::DAY:
        case El::DY:
            readNamed(t);
            return;
        case El::D:
        case El::MM:
        case El::DD:
        case El::DDD:
        case El::J:
            readDateNumber(t, nextIsNumeric);
            return;
        case El::HH:
        case El::HH12:
        case El::HH24:
        case El::MI:
        case El::SS:
        case El::SSSSS:
            readTimeNumber(t, nextIsNumeric);
            return;
        case El::YCOMMA:
        case El::YYYY:
        case El::SYYYY:
        case El::RRRR:
        case El::YYY:
        case El::YY:
        case El::Y:
        case El::RR:
            readYear(t, nextIsNumeric);
            return;
        default:
            raise(1821);
    }
}

// A literal of the format: quoted text as written, punctuation loosely
// unless FX is on.
void DateReader::readLiteral(const Token& t) {
    if (t.quoted) {
        // Quoted text must be there as written.
        for (char c : t.text) {
            if (atEnd() || upper(m_text[m_at]) != upper(c))
                raise(1861);
            ++m_at;
        }
        return;
    }
    if (m_fx) {
        if (atEnd() || m_text[m_at] != t.text[0])
            raise(1861);
        ++m_at;
        return;
    }
    // Any run of punctuation in the text stands for the format's,
    // and it may be left out.
    while (!atEnd() && !isAlpha(m_text[m_at]) && !isDigit(m_text[m_at]) &&
           static_cast<unsigned char>(m_text[m_at]) < 0x80)
        ++m_at;
}

// FF[n] (fractional seconds) and X (the radix character): timestamps only.
void DateReader::readFraction(const Token& t) {
    if (!m_timestamp)
        raise(1821);
    if (t.el == El::X) {
        if (atEnd() || m_text[m_at] != '.')
            raise(1861);
        ++m_at;
        return;
    }
    const std::size_t start = m_at;
    const int max = t.ffDigits ? t.ffDigits : 9;
    long long v = 0;
    while (!atEnd() && isDigit(m_text[m_at]) && static_cast<int>(m_at - start) < max)
        v = v * 10 + (m_text[m_at++] - '0');
    if (m_at == start)
        raise(atEnd() ? 1840 : 1858);
    for (std::size_t n = m_at - start; n < 9; ++n)
        v *= 10;
    setOnce(m_f.nanos, static_cast<int>(v), 1810);
}

// The elements read as words: era, meridian, month name or numeral, day name.
void DateReader::readNamed(const Token& t) {
    switch (t.el) {
        case El::AD:
        case El::ADdot:
        case El::BC:
        case El::BCdot: {
            static const char* const eras[] = {"AD", "BC", "A.D.", "B.C."};
            const int era = readName(eras, 4, 0, 1856);
            m_bc = era == 2 || era == 4;
            m_era = true;
            return;
        }
        case El::AM:
        case El::AMdot:
        case El::PM:
        case El::PMdot: {
            static const char* const meridians[] = {"A.M.", "P.M.", "AM", "PM"};
            const int which = readName(meridians, 4, 0, 1855);
            if (m_f.pm)
                raise(1810);
            m_f.pm = which == 2 || which == 4;
            return;
        }
        case El::MONTH:
        case El::MON:
            setOnce(m_f.month, readName(kMonthNames.data(), 12, 3, 1843), 1816);
            return;
        case El::RM: {
            if (!m_fx)
                skipBlanks();
            // Longest numeral first (VIII before V).
            static const int order[] = {8, 3, 7, 12, 2, 4, 6, 9, 11, 1, 5, 10};
            for (int m : order) {
                if (startsWithNoCase(m_text, m_at, kRoman[static_cast<std::size_t>(m - 1)])) {
                    m_at += std::string_view(kRoman[static_cast<std::size_t>(m - 1)]).size();
                    setOnce(m_f.month, m, 1816);
                    return;
                }
            }
            raise(1843);
        }
        default:  // DAY, DY
            setOnce(m_f.weekday, readName(kDayNames.data(), 7, 3, 1846), 1817);
            return;
    }
}

// D, MM, DD, DDD and J as numbers, each checked against its range.
void DateReader::readDateNumber(const Token& t, bool nextIsNumeric) {
    switch (t.el) {
        case El::D: {
            const int v = readNumber(t, 1, false, nextIsNumeric);
            if (v < 1 || v > 7)
                raise(1846);
            setOnce(m_f.weekday, v, 1817);
            return;
        }
        case El::MM: {
            if (!m_fx) {
                skipBlanks();
                if (!atEnd() && isAlpha(m_text[m_at])) {  // MM also reads MON and MONTH
                    setOnce(m_f.month, readName(kMonthNames.data(), 12, 3, 1843), 1816);
                    return;
                }
            }
            const int v = readNumber(t, 2, false, nextIsNumeric);
            if (v < 1 || v > 12)
                raise(1843);
            setOnce(m_f.month, v, 1816);
            return;
        }
        case El::DD: {
            const int v = readNumber(t, 2, false, nextIsNumeric);
            if (v < 1 || v > 31)
                raise(1847);
            setOnce(m_f.day, v, 1810);
            return;
        }
        case El::DDD: {
            const int v = readNumber(t, 3, false, nextIsNumeric);
            if (v < 1 || v > 366)
                raise(1848);
            setOnce(m_f.ddd, v, 1810);
            return;
        }
        default: {  // J
            const int v = readNumber(t, 7, false, nextIsNumeric);
            if (v < 1 || v > 5373484)
                raise(1854);
            setOnce(m_f.julian, v, 1810);
            return;
        }
    }
}

// HH, HH12, HH24, MI, SS and SSSSS, each checked against its range.
void DateReader::readTimeNumber(const Token& t, bool nextIsNumeric) {
    switch (t.el) {
        case El::HH:
        case El::HH12: {
            const int v = readNumber(t, 2, false, nextIsNumeric);
            if (v < 1 || v > 12)
                raise(1849);
            setOnce(m_f.hour, v, 1813);
            m_f.hour12 = true;
            return;
        }
        case El::HH24: {
            const int v = readNumber(t, 2, false, nextIsNumeric);
            if (v > 23)
                raise(1850);
            setOnce(m_f.hour, v, 1813);
            return;
        }
        case El::MI: {
            const int v = readNumber(t, 2, false, nextIsNumeric);
            if (v > 59)
                raise(1851);
            setOnce(m_f.minute, v, 1810);
            return;
        }
        case El::SS: {
            const int v = readNumber(t, 2, false, nextIsNumeric);
            if (v > 59)
                raise(1852);
            setOnce(m_f.second, v, 1810);
            return;
        }
        default: {  // SSSSS
            const int v = readNumber(t, 5, false, nextIsNumeric);
            if (v > 86399)
                raise(1853);
            setOnce(m_f.sssss, v, 1810);
            return;
        }
    }
}

// Y,YYY and the year elements; how the year was written decides how
// assemble() completes it.
void DateReader::readYear(const Token& t, bool nextIsNumeric) {
    if (t.el == El::YCOMMA) {
        if (!m_fx)
            skipBlanks();
        const std::size_t start = m_at;
        int v = 0;
        while (!atEnd() && (isDigit(m_text[m_at]) || m_text[m_at] == ',') && m_at - start < 5) {
            if (m_text[m_at] != ',')
                v = v * 10 + (m_text[m_at] - '0');
            ++m_at;
        }
        if (m_at == start)
            raise(atEnd() ? 1840 : 1858);
        setOnce(m_f.year, v, 1812);
        m_yearDigits = 4;
        return;
    }
    const int width = numericWidth(t.el);
    m_yearDigits = width;
    m_rr = t.el == El::RR || t.el == El::RRRR;
    const int v = readNumber(t, width, t.el == El::SYYYY, nextIsNumeric);
    if (t.el == El::RRRR)
        m_yearDigits = m_lastDigits <= 2 ? 2 : 4;
    if (t.el == El::SYYYY && v < 0)
        m_signedYear = true;
    setOnce(m_f.year, v, 1812);
}

// The year: what the text gave, completed from the current year.
int DateReader::assembledYear() const {
    if (!m_f.year)
        return m_now.year;
    int year = 0;
    const int v = *m_f.year;
    if (m_rr && m_yearDigits == 2) {
        const int nowTwo = m_now.year % 100;
        const int century = m_now.year / 100;
        if (v < 50)
            year = (nowTwo < 50 ? century : century + 1) * 100 + v;
        else
            year = (nowTwo < 50 ? century - 1 : century) * 100 + v;
    } else if (m_yearDigits >= 4) {
        year = v;
    } else {
        int scale = 1;
        for (int i = 0; i < m_yearDigits; ++i)
            scale *= 10;
        year = m_now.year / scale * scale + v;
    }
    if (m_era && m_signedYear)
        raise(1819);
    if (m_bc)
        year = -year;
    checkYear(year);
    return year;
}

DateTime DateReader::assemble() {
    DateTime d;
    const int year = assembledYear();
    d.year = year;
    d.month = m_f.month.value_or(m_now.month);
    d.day = m_f.day.value_or(1);
    if (m_f.julian) {
        int y = 0, m = 0, day = 0;
        fromJulianDay(*m_f.julian, y, m, day);
        checkYear(y);
        if (m_f.year && year != y)
            raise(1831);
        if (m_f.month && *m_f.month != m)
            raise(1833);
        if (m_f.day && *m_f.day != day)
            raise(1834);
        d.year = y;
        d.month = m;
        d.day = day;
    } else if (m_f.ddd) {
        if (*m_f.ddd > (isLeapYear(year) ? 366 : 365))
            raise(1848);
        int y = 0, m = 0, day = 0;
        fromJulianDay(julianDay(year, 1, 1) + *m_f.ddd - 1, y, m, day);
        if ((m_f.month && *m_f.month != m) || (m_f.day && *m_f.day != day))
            raise(1832);
        d.month = m;
        d.day = day;
    } else if (d.day > daysInMonth(d.year, d.month)) {
        raise(1839);
    }
    if (d.year == 1582 && d.month == 10 && d.day > 4 && d.day < 15)
        d.day = 15;  // read as the first Gregorian day, as Oracle does
    if (m_f.hour) {
        int h = *m_f.hour;
        if (m_f.hour12 || m_f.pm)
            h = h % 12 + (m_f.pm.value_or(false) ? 12 : 0);
        d.hour = h;
    }
    if (m_f.pm && m_f.hour && !m_f.hour12)
        raise(1818);
    d.minute = m_f.minute.value_or(0);
    d.second = m_f.second.value_or(0);
    if (m_f.sssss) {
        const int s = *m_f.sssss;
        if (m_f.hour && d.hour != s / 3600)
            raise(1836);
        if (m_f.minute && d.minute != s / 60 % 60)
            raise(1837);
        if (m_f.second && d.second != s % 60)
            raise(1838);
        d.hour = s / 3600;
        d.minute = s / 60 % 60;
        d.second = s % 60;
    }
    d.nanos = m_f.nanos.value_or(0);
    return d;
}

DateTime DateReader::read(const std::vector<Token>& tokens) {
    // Elements an input format cannot hold are refused whatever the text.
    for (const Token& t : tokens) {
        if ((t.el == El::FF || t.el == El::X) && !m_timestamp)
            raise(1821);
        if (t.th || t.sp)
            raise(1820);
        switch (t.el) {
            case El::CC:
            case El::SCC:
            case El::IW:
            case El::IYYY:
            case El::IYY:
            case El::IY:
            case El::I:
            case El::Q:
            case El::W:
            case El::WW:
            case El::YEAR:
            case El::SYEAR:
                raise(1820);
            default:
                break;
        }
    }
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (atEnd() && tokens[i].el != El::FM && tokens[i].el != El::FX) {
            // Time fields at the end of the format may be left out.
            if (!m_fx && onlyTimeLeft(tokens, i))
                break;
            if (tokens[i].el == El::Literal && !tokens[i].quoted && !m_fx)
                continue;
            raise(1840);
        }
        readToken(tokens, i);
    }
    skipBlanks();
    if (!atEnd())
        raise(1830);
    return assemble();
}

}  // namespace

DateTime parseDateTime(std::string_view text, std::string_view format, const DateTime& now,
                       bool timestamp) {
    const std::shared_ptr<const std::vector<Token>> tokens = modelTokens(format);
    DateReader reader(text, now, timestamp);
    return reader.read(*tokens);
}

}  // namespace localengine::functions
