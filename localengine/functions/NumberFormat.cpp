#include "NumberFormat.h"

#include "ModelCache.h"
#include "OraError.h"

#include <cctype>
#include <cstdio>

namespace localengine::functions {

namespace {

enum class SignMode { Default, LeadingS, TrailingS, TrailingMI, Brackets };

struct Model {
    bool fm = false, dollar = false, blankZero = false;
    SignMode sign = SignMode::Default;
    std::string currency;  // L, C or U
    bool currencyLeading = true;
    std::string intElems;  // '9', '0' and ','
    bool decimal = false;
    std::string fracElems;  // '9' and '0'
    int vDigits = 0;
    bool v = false, eeee = false;
    int hexDigits = 0;
    bool hexLower = false, hexZero = false;
    bool roman = false, romanLower = false;
    char tm = 0;  // '9' or 'E'
    int digitCount() const {
        int n = 0;
        for (char c : intElems)
            n += c != ',';
        return n;
    }
};

bool at(std::string_view f, std::size_t i, std::string_view word) {
    if (i + word.size() > f.size())
        return false;
    for (std::size_t k = 0; k < word.size(); ++k)
        if (std::toupper(static_cast<unsigned char>(f[i + k])) != word[k])
            return false;
    return true;
}

[[noreturn]] void bad() {
    raise(1481);
}

// The elements that make up a whole format (RN, TM, TM9, TME, X...): true
// when `rest` is one of them, recorded in `m`.
bool wholeFormat(std::string_view rest, Model& m) {
    if (at(rest, 0, "RN") && rest.size() == 2) {
        m.roman = true;
        m.romanLower = rest[0] == 'r';
        return true;
    }
    if (at(rest, 0, "TM")) {
        if (rest.size() == 2 || (rest.size() == 3 && rest[2] == '9'))
            m.tm = '9';
        else if (rest.size() == 3 && (rest[2] == 'E' || rest[2] == 'e'))
            m.tm = 'E';
        else
            bad();
        return true;
    }
    std::size_t k = 0;
    while (k < rest.size() && rest[k] == '0')
        ++k;
    if (k < rest.size() && (rest[k] == 'X' || rest[k] == 'x')) {
        m.hexZero = k > 0;
        m.hexLower = rest[k] == 'x';
        m.hexDigits = static_cast<int>(k);
        for (; k < rest.size(); ++k) {
            if (rest[k] != 'X' && rest[k] != 'x')
                bad();
            ++m.hexDigits;
        }
        return true;
    }
    return false;
}

// One element of a fixed-point format at `i` into `m`; returns where the
// next one starts. `digits` tells whether a digit element came before.
std::size_t compileElement(std::string_view f, std::size_t i, Model& m, bool& digits) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(f[i])));
    if (c == '9' || c == '0') {
        if (m.eeee)
            bad();
        (m.decimal ? m.fracElems : m.intElems) += c;
        if (m.v)
            ++m.vDigits;
        digits = true;
        ++i;
    } else if (c == ',' || c == 'G') {
        if (!digits || m.decimal || m.v || m.eeee)
            bad();
        m.intElems += ',';
        ++i;
    } else if (c == '.' || c == 'D') {
        if (m.decimal || m.v || m.eeee)
            bad();
        m.decimal = true;
        ++i;
    } else if (c == 'V') {
        if (m.v || m.decimal)
            bad();
        m.v = true;
        ++i;
    } else if (c == '$') {
        if (m.dollar)
            bad();
        m.dollar = true;
        ++i;
    } else if (c == 'B') {
        if (m.blankZero)
            bad();
        m.blankZero = true;
        ++i;
    } else if (c == 'L' || c == 'C' || c == 'U') {
        if (!m.currency.empty())
            bad();
        m.currency = c == 'C' ? "USD" : "$";
        m.currencyLeading = !digits;
        ++i;
    } else if (at(f, i, "EEEE")) {
        if (!digits || m.eeee || m.v)
            bad();
        m.eeee = true;
        i += 4;
    } else if (at(f, i, "MI") || at(f, i, "PR")) {
        if (m.sign != SignMode::Default || i + 2 != f.size())
            bad();
        m.sign = at(f, i, "MI") ? SignMode::TrailingMI : SignMode::Brackets;
        i += 2;
    } else if (c == 'S') {
        if (m.sign != SignMode::Default)
            bad();
        if (!digits && !m.dollar && m.currency.empty() && !m.blankZero) {
            m.sign = SignMode::LeadingS;
        } else if (i + 1 == f.size()) {
            m.sign = SignMode::TrailingS;
        } else {
            bad();
        }
        ++i;
    } else {
        bad();
    }
    return i;
}

Model compile(std::string_view f) {
    Model m;
    std::size_t i = 0;
    if (at(f, 0, "FM")) {
        m.fm = true;
        i = 2;
    }
    if (i == f.size())
        bad();
    if (wholeFormat(f.substr(i), m))
        return m;
    bool digits = false, trailingOnly = false;
    while (i < f.size()) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(f[i])));
        if (trailingOnly && !(at(f, i, "MI") || at(f, i, "PR") || c == 'S'))
            bad();
        i = compileElement(f, i, m, digits);
        if (m.eeee || (!m.currency.empty() && !m.currencyLeading))
            trailingOnly = true;
    }
    if (!digits)
        bad();
    return m;
}

int width(const Model& m) {
    int w = static_cast<int>(m.intElems.size() + m.fracElems.size()) + (m.decimal ? 1 : 0);
    w += m.dollar ? 1 : 0;
    w += static_cast<int>(m.currency.size());
    w += m.eeee ? 4 : 0;
    switch (m.sign) {
        case SignMode::Default:
        case SignMode::LeadingS:
        case SignMode::TrailingS:
        case SignMode::TrailingMI:
            w += 1;
            break;
        case SignMode::Brackets:
            w += 2;
            break;
    }
    return w;
}

std::string overflow(int n) {
    return std::string(static_cast<std::size_t>(n), '#');
}

std::string roman(std::int64_t v) {
    static const std::pair<int, const char*> parts[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    std::string out;
    for (const auto& [n, text] : parts)
        while (v >= n) {
            out += text;
            v -= n;
        }
    return out;
}

std::string trimBlanks(const std::string& s) {
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string formatSpecial(const Model& m, const Number& value) {
    if (m.tm) {
        const Decimal d = Decimal::of(value);
        if (m.tm == '9') {
            const std::string t = d.text();
            if (t.size() <= 64)
                return t;
        }
        if (d.isZero())
            return "0E+00";
        std::string out = d.negative ? "-" : "";
        out += d.digits.substr(0, 1);
        if (d.digits.size() > 1)
            out += "." + d.digits.substr(1);
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%+03d", d.exponent - 1);
        return out + exp;
    }
    if (m.roman) {
        const Number r = roundNumber(value, 0);
        const std::int64_t v = r.isInteger ? r.i : 0;
        std::string out;
        if (v < 1 || v > 3999)
            out = overflow(15);
        else
            out = roman(v);
        if (m.romanLower)
            for (char& c : out)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (m.fm || out.size() >= 15)
            return out;
        return std::string(15 - out.size(), ' ') + out;
    }
    // Hexadecimal: integers of zero and up.
    const Number r = roundNumber(value, 0);
    if (compare(r, Number::of(std::int64_t{0})) < 0)
        raise(1481);
    if (!r.isInteger)
        return overflow(m.hexDigits + 1);
    char buf[32];
    std::snprintf(buf, sizeof buf, m.hexLower ? "%llx" : "%llX",
                  static_cast<unsigned long long>(r.i));
    std::string hex = buf;
    if (static_cast<int>(hex.size()) > m.hexDigits)
        return overflow(m.hexDigits + 1);
    if (m.hexZero)
        hex = std::string(static_cast<std::size_t>(m.hexDigits) - hex.size(), '0') + hex;
    if (m.fm)
        return hex;
    return std::string(static_cast<std::size_t>(m.hexDigits) + (m.hexZero ? 0 : 1) - hex.size(),
                       ' ') +
           hex;
}

// The digits and separators of the integer part, blank where Oracle blanks
// leading zeros.
std::string integerPart(const Model& m, const std::string& digits, bool zeroValue,
                        bool hasFraction) {
    const int positions = m.digitCount();
    const int missing = positions - static_cast<int>(digits.size());
    int firstZero = positions;  // digit index from which zeros are printed
    {
        int k = 0;
        for (char c : m.intElems) {
            if (c == '0') {
                firstZero = k;
                break;
            }
            if (c != ',')
                ++k;
        }
    }
    std::string out;
    bool started = false;
    int k = 0;
    for (char c : m.intElems) {
        if (c == ',') {
            out += started ? ',' : ' ';
            continue;
        }
        const int index = k - missing;
        const bool last = k == positions - 1;
        if (index >= 0) {
            out += digits[static_cast<std::size_t>(index)];
            started = true;
        } else if (k >= firstZero || (last && zeroValue && !hasFraction)) {
            out += '0';
            started = true;
        } else {
            out += ' ';
        }
        ++k;
    }
    if (m.blankZero && digits.empty())
        out.assign(out.size(), ' ');
    return out;
}

// What goes before and after the digits: the sign as the format places it,
// then $ and the currency symbol.
void signAndCurrency(const Model& m, bool negative, std::string& prefix, std::string& suffix) {
    switch (m.sign) {
        case SignMode::Default:
            prefix = negative ? "-" : " ";
            break;
        case SignMode::LeadingS:
            prefix = negative ? "-" : "+";
            break;
        case SignMode::TrailingS:
            suffix = negative ? "-" : "+";
            break;
        case SignMode::TrailingMI:
            suffix = negative ? "-" : " ";
            break;
        case SignMode::Brackets:
            prefix = negative ? "<" : " ";
            suffix = negative ? ">" : " ";
            break;
    }
    if (m.dollar)
        prefix += "$";
    if (!m.currency.empty()) {
        if (m.currencyLeading)
            prefix += m.currency;
        else
            suffix = m.currency + suffix;
    }
}

std::string formatFixed(const Model& m, const Number& value) {
    Decimal d = Decimal::of(value);
    const int fracCount = static_cast<int>(m.fracElems.size());
    std::string exponentText;
    if (m.eeee) {
        // One digit before the point, the exponent after the mantissa.
        int exp = 0;
        if (!d.isZero()) {
            exp = d.exponent - 1;
            d = d.scaled(-exp).rounded(fracCount);
            if (d.exponent > 1) {
                ++exp;
                d = d.scaled(-1);
            }
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "E%+03d", exp);
        exponentText = buf;
    } else {
        if (m.vDigits)
            d = d.scaled(m.vDigits);
        d = d.rounded(fracCount);
    }
    const bool negative = d.negative && !d.isZero();
    const std::string intDigits = d.integerDigits();
    if (static_cast<int>(intDigits.size()) > m.digitCount() || (m.eeee && exponentText.size() > 4))
        return overflow(width(m));
    std::string body = integerPart(m, intDigits, d.isZero(), fracCount > 0);
    if (m.eeee && intDigits.empty())
        body.back() = '0';
    std::string frac = d.fractionDigits(fracCount);
    if (m.fm) {
        // FM drops the trailing zeros that 9s stand for, keeping those of 0s.
        std::size_t keep = frac.size();
        while (keep > 0 && frac[keep - 1] == '0' && m.fracElems[keep - 1] == '9' &&
               m.fracElems.find('0', keep - 1) == std::string::npos)
            --keep;
        frac.resize(keep);
    }
    if (m.decimal)
        body += "." + frac;
    body += exponentText;
    if (m.blankZero && d.isZero())
        body.assign(body.size(), ' ');

    std::string prefix, suffix;
    signAndCurrency(m, negative, prefix, suffix);
    // The sign and currency float up to the first printed character.
    std::size_t lead = 0;
    while (lead < body.size() && body[lead] == ' ')
        ++lead;
    if (m.blankZero && d.isZero())
        return m.fm ? std::string() : std::string(body.size() + prefix.size() + suffix.size(), ' ');
    std::string out = body.substr(0, lead) + prefix + body.substr(lead) + suffix;
    return m.fm ? trimBlanks(out) : out;
}

// A hexadecimal text read with an X format.
Number parseHex(std::string_view t, const Model& m) {
    if (static_cast<int>(t.size()) > m.hexDigits)
        raise(1722);
    std::uint64_t v = 0;
    for (char c : t) {
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : (std::isxdigit(static_cast<unsigned char>(c))
                                     ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                                     : -1);
        if (digit < 0)
            raise(1722);
        v = v * 16 + static_cast<unsigned>(digit);
    }
    if (v > static_cast<std::uint64_t>(INT64_MAX))
        return Number::of(static_cast<double>(v));
    return Number::of(static_cast<std::int64_t>(v));
}

// Takes the sign, $ and the currency symbol off `t` where the format puts
// them; true for a negative value.
bool takeSignAndCurrency(std::string_view& t, const Model& m) {
    bool negative = false;
    auto take = [&](char c, bool front) {
        if (t.empty())
            return false;
        if (front ? t.front() != c : t.back() != c)
            return false;
        front ? t.remove_prefix(1) : t.remove_suffix(1);
        return true;
    };
    switch (m.sign) {
        case SignMode::Default:
            negative = take('-', true);
            break;
        case SignMode::LeadingS:
            negative = take('-', true);
            if (!negative && !take('+', true))
                raise(1722);
            break;
        case SignMode::TrailingS:
            negative = take('-', false);
            if (!negative && !take('+', false))
                raise(1722);
            break;
        case SignMode::TrailingMI:
            negative = take('-', false);
            break;
        case SignMode::Brackets:
            if (take('<', true)) {
                if (!take('>', false))
                    raise(1722);
                negative = true;
            }
            break;
    }
    if (m.dollar && !take('$', true))
        raise(1722);
    if (!m.currency.empty()) {
        const std::string_view cur = m.currency;
        if (m.currencyLeading ? t.substr(0, cur.size()) == cur
                              : t.size() >= cur.size() && t.substr(t.size() - cur.size()) == cur) {
            if (m.currencyLeading)
                t.remove_prefix(cur.size());
            else
                t.remove_suffix(cur.size());
        } else {
            raise(1722);
        }
    }
    return negative;
}

// The digits of the integer part, with group separators where the format
// has them (left out or written).
std::string integerDigitsOf(std::string_view intText, const Model& m) {
    std::string digits;
    // Walk both from the right.
    int fi = static_cast<int>(m.intElems.size()) - 1;
    for (int ti = static_cast<int>(intText.size()) - 1; ti >= 0; --ti) {
        const char c = intText[static_cast<std::size_t>(ti)];
        while (fi >= 0 && m.intElems[static_cast<std::size_t>(fi)] == ',' && c != ',')
            --fi;  // a separator left out of the text
        if (fi < 0)
            raise(1722);
        const char e = m.intElems[static_cast<std::size_t>(fi)];
        if (c == ',') {
            if (e != ',' || ti == 0)
                raise(1722);
        } else if (c >= '0' && c <= '9') {
            digits.insert(digits.begin(), c);
        } else {
            raise(1722);
        }
        --fi;
    }
    return digits;
}

// The compiled model, read once per thread for the models in use.
std::shared_ptr<const Model> compiled(std::string_view format) {
    thread_local ModelCache<Model> cache;
    return cache.get(format, [](std::string_view f) { return compile(f); });
}

}  // namespace

std::string formatNumber(const Number& value, std::string_view format) {
    const std::shared_ptr<const Model> model = compiled(format);
    const Model& m = *model;
    if (m.tm || m.roman || m.hexDigits)
        return formatSpecial(m, value);
    return formatFixed(m, value);
}

Number parseNumberFormatted(std::string_view text, std::string_view format) {
    const std::shared_ptr<const Model> model = compiled(format);
    const Model& m = *model;
    if (m.tm)
        return parseNumber(text);
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    if (t.empty())
        raise(1722);
    if (m.roman)
        raise(1722);
    if (m.hexDigits)
        return parseHex(t, m);
    const bool negative = takeSignAndCurrency(t, m);
    if (m.eeee) {
        const std::optional<Decimal> d = Decimal::parse(t);
        if (!d || t.find_first_of("eE") == std::string_view::npos)
            raise(1722);
        Decimal r = *d;
        r.negative = negative != r.negative && !r.isZero();
        return r.toNumber();
    }
    // The integer part, with group separators where the format has them.
    const std::size_t point = t.find('.');
    const std::string_view intText = t.substr(0, point);
    const std::string_view fracText =
        point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
    if (point != std::string_view::npos && !m.decimal)
        raise(1722);
    const std::string digits = integerDigitsOf(intText, m);
    if (static_cast<int>(fracText.size()) > static_cast<int>(m.fracElems.size()))
        raise(1722);
    for (char c : fracText)
        if (c < '0' || c > '9')
            raise(1722);
    if (digits.empty() && fracText.empty())
        raise(1722);
    std::string literal = (negative ? "-" : "") + (digits.empty() ? std::string("0") : digits);
    if (!fracText.empty())
        literal += "." + std::string(fracText);
    Decimal d = *Decimal::parse(literal);
    if (m.vDigits)
        d = d.scaled(-m.vDigits);
    return d.toNumber();
}

}  // namespace localengine::functions
