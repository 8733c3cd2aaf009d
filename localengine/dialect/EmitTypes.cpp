// What the types of the operands decide: Oracle's datetime arithmetic,
// its implicit conversions (text to DATE, NUMBER or TIMESTAMP where one is
// expected, dates to text in the session's NLS_DATE_FORMAT), the functions
// whose meaning depends on the argument's type (TRUNC, ROUND, TO_CHAR,
// EXTRACT, CAST), blank-padded comparison of CHAR values, and the literals
// of dates, timestamps and intervals in the engine's stored forms.
//
// Stored forms (those of the engine's functions):
//   DATE       'YYYY-MM-DD HH:MM:SS'
//   TIMESTAMP  'YYYY-MM-DD HH:MM:SS.FFFFFFFFF'
//   INTERVAL   '+DDDDDDDDD HH:MM:SS.FFFFFFFFF' (day to second), '+YYYYYYYYY-MM' (year to month)
// Dates and timestamps in stored form order as their text does, so a
// column compared with a converted constant keeps its index: conversions
// go on the side that is not the column wherever Oracle allows it.

#include "Catalog.h"
#include "Emitter.h"
#include "Error.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace localengine::dialect {

namespace {

namespace code {
constexpr int kInconsistentDatatypes = 932;  // inconsistent datatypes: expected %s got %s
constexpr int kDatePlusDate = 975;           // date + date not allowed
constexpr int kInvalidInterval = 1867;       // the interval is invalid
constexpr int kLeadingPrecision = 1873;      // the leading precision of the interval is too small
constexpr int kBadArithmetic = 30081;        // invalid data type for datetime/interval arithmetic
constexpr int kAddingDatetimes = 30087;      // adding two datetime values is not allowed
}  // namespace code

[[noreturn]] void inconsistent(OracleType expected, OracleType got) {
    fail(code::kInconsistentDatatypes, std::string("inconsistent datatypes: expected ") +
                                           typeName(expected) + " got " + typeName(got));
}

[[noreturn]] void badArithmetic() {
    fail(code::kBadArithmetic, "invalid data type for datetime/interval arithmetic");
}

bool digitsAt(std::string_view s, std::size_t at, std::size_t count) {
    if (at + count > s.size())
        return false;
    for (std::size_t i = at; i < at + count; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int numberAt(std::string_view s, std::size_t at, std::size_t count) {
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

// 'YYYY-MM-DD' of a proleptic Gregorian date from 1600 on, where every
// calendar agrees; earlier dates (Julian calendar, the 1582 gap, BC) are
// left to the engine's functions.
bool plainDate(std::string_view s) {
    if (s.size() < 10 || !digitsAt(s, 0, 4) || s[4] != '-' || !digitsAt(s, 5, 2) || s[7] != '-' ||
        !digitsAt(s, 8, 2))
        return false;
    const int y = numberAt(s, 0, 4), m = numberAt(s, 5, 2), d = numberAt(s, 8, 2);
    if (y < 1600 || m < 1 || m > 12 || d < 1)
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// 'YYYY-MM-DD HH:MI:SS[.F...]' with a plain date; the fraction padded to
// nine digits. Empty when the text is not that simple.
std::string plainTimestamp(std::string_view s) {
    if (s.size() < 19 || !plainDate(s.substr(0, 10)) || s[10] != ' ' || !digitsAt(s, 11, 2) ||
        s[13] != ':' || !digitsAt(s, 14, 2) || s[16] != ':' || !digitsAt(s, 17, 2))
        return {};
    if (numberAt(s, 11, 2) > 23 || numberAt(s, 14, 2) > 59 || numberAt(s, 17, 2) > 59)
        return {};
    std::string fraction;
    if (s.size() > 19) {
        if (s[19] != '.' || s.size() == 20 || s.size() > 29 || !digitsAt(s, 20, s.size() - 20))
            return {};
        fraction = std::string(s.substr(20));
    }
    fraction.resize(9, '0');
    return std::string(s.substr(0, 19)) + '.' + fraction;
}

// The leading field's precision in a qualifier part such as "DAY(3)".
struct IntervalField {
    std::string name;
    int precision = -1;  // -1: not written
    int fractionDigits = -1;
};

IntervalField intervalField(std::string_view part) {
    IntervalField f;
    const std::size_t open = part.find('(');
    f.name = std::string(part.substr(0, open));
    if (open != std::string_view::npos) {
        const std::string_view args = part.substr(open + 1, part.size() - open - 2);
        const std::size_t comma = args.find(',');
        const std::string_view first = args.substr(0, comma);
        if (!first.empty() && digitsAt(first, 0, first.size()) && first.size() < 3)
            f.precision = numberAt(first, 0, first.size());
        if (comma != std::string_view::npos) {
            const std::string_view second = args.substr(comma + 1);
            if (!second.empty() && digitsAt(second, 0, second.size()) && second.size() < 3)
                f.fractionDigits = numberAt(second, 0, second.size());
        }
    }
    return f;
}

int fieldRank(const std::string& name) {
    static const char* const kFields[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND"};
    for (int i = 0; i < 6; ++i)
        if (name == kFields[i])
            return i;
    return -1;
}

// Reads the unsigned number at `at`; false when there is none or it is too long.
bool readField(std::string_view s, std::size_t& at, std::int64_t& out, std::size_t maxDigits) {
    const std::size_t start = at;
    out = 0;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') {
        if (at - start >= maxDigits)
            return false;
        out = out * 10 + (s[at] - '0');
        ++at;
    }
    return at > start;
}

}  // namespace

// INTERVAL 'text' qualifier as the stored form. The leading field takes as
// many digits as its precision (2 unless written), the others their
// calendar's range; anything else is Oracle's ORA-01867.
std::string intervalLiteralText(const Literal& l) {
    const std::string& q = l.intervalQualifier;
    const std::size_t to = q.find(" TO ");
    const IntervalField lead = intervalField(std::string_view(q).substr(0, to));
    const IntervalField last =
        to == std::string::npos ? lead : intervalField(std::string_view(q).substr(to + 4));
    const int first = fieldRank(lead.name), final = fieldRank(last.name);
    if (first < 0 || final < first || (first <= 1 && final > 1))
        fail(code::kInvalidInterval, "the interval is invalid");
    const int precision = lead.precision < 0 ? 2 : lead.precision;
    std::string_view s = l.text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    auto invalid = [] { fail(code::kInvalidInterval, "the interval is invalid"); };
    // Separators between fields: YEAR-MONTH, DAY HOUR, HOUR:MINUTE:SECOND.
    static const char kBefore[] = {0, '-', 0, ' ', ':', ':'};
    static const std::int64_t kLimit[] = {0, 11, 0, 23, 59, 59};
    std::int64_t values[6] = {0, 0, 0, 0, 0, 0};
    std::int64_t nanos = 0;
    std::size_t at = 0;
    for (int f = first; f <= final; ++f) {
        if (f != first && (at >= s.size() || s[at++] != kBefore[f]))
            invalid();
        const std::size_t start = at;
        if (!readField(s, at, values[f], f == first ? 18 : 2))
            invalid();
        if (f == first && static_cast<int>(at - start) > precision)
            fail(code::kLeadingPrecision, "the leading precision of the interval is too small");
        if (f != first && values[f] > kLimit[f])
            invalid();
        if (f == 5 && at < s.size() && s[at] == '.') {
            ++at;
            const std::size_t fractionStart = at;
            std::int64_t digits = 0;
            if (!readField(s, at, digits, 9))
                invalid();
            for (std::size_t n = at - fractionStart; n < 9; ++n)
                digits *= 10;
            nanos = digits;
        }
    }
    if (at != s.size())
        invalid();
    // Fractional seconds rounded to the qualifier's precision (6 unless
    // written: SECOND(2,4) leading, SECOND(3) trailing).
    if (final == 5) {
        const int digits =
            first == 5 ? lead.fractionDigits : (to == std::string::npos ? -1 : last.precision);
        std::int64_t unit = 1;
        for (int d = digits < 0 ? 6 : digits; d < 9; ++d)
            unit *= 10;
        nanos = (nanos + unit / 2) / unit * unit;
        if (nanos == 1000000000) {
            nanos = 0;
            ++values[5];
        }
    }
    char buf[64];
    if (first <= 1) {
        const std::int64_t months = values[0] * 12 + values[1];
        std::snprintf(buf, sizeof buf, "%c%09lld-%02lld", negative && months ? '-' : '+',
                      static_cast<long long>(months / 12), static_cast<long long>(months % 12));
        return buf;
    }
    const std::int64_t seconds = ((values[2] * 24 + values[3]) * 60 + values[4]) * 60 + values[5];
    std::snprintf(
        buf, sizeof buf, "%c%09lld %02lld:%02lld:%02lld.%09lld",
        negative && (seconds || nanos) ? '-' : '+', static_cast<long long>(seconds / 86400),
        static_cast<long long>(seconds / 3600 % 24), static_cast<long long>(seconds / 60 % 60),
        static_cast<long long>(seconds % 60), static_cast<long long>(nanos));
    return buf;
}

std::string negatedIntervalText(std::string text) {
    if (!text.empty() && text.find_first_not_of("+-0 :.") != std::string::npos)
        text[0] = text[0] == '-' ? '+' : '-';
    return text;
}

namespace {

bool isTextLiteral(const Expr& e) {
    return e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Text;
}

// Oracle's character functions: a DATE or TIMESTAMP argument is first
// converted to text in the session's format. Sorted.
constexpr std::string_view kTextFunctions[] = {
    "ASCII",        "CONCAT",       "INITCAP",      "INSTR",          "INSTRB",
    "LENGTH",       "LENGTHB",      "LOWER",        "LPAD",           "LTRIM",
    "REGEXP_COUNT", "REGEXP_INSTR", "REGEXP_LIKE",  "REGEXP_REPLACE", "REGEXP_SUBSTR",
    "REPLACE",      "RPAD",         "RTRIM",        "SOUNDEX",        "SUBSTR",
    "SUBSTRB",      "TO_DATE",      "TO_TIMESTAMP", "TRANSLATE",      "UPPER"};

bool isTextFunction(const FunctionCall& f) {
    if (f.name.size() != 1 || f.name.front().quoted)
        return false;
    for (std::string_view n : kTextFunctions)
        if (n == f.functionName())
            return true;
    return false;
}

// The precision of TIMESTAMP(p) as declared; 6 when not written.
int timestampPrecision(std::string_view declared) {
    const std::size_t open = declared.find('(');
    if (open != std::string_view::npos && open + 1 < declared.size() && declared[open + 1] >= '0' &&
        declared[open + 1] <= '9')
        return declared[open + 1] - '0';
    return 6;
}

}  // namespace

// DATE and TIMESTAMP literals as stored text, checked here when they are
// plain; others (before 1600, BC, malformed) through the engine's
// functions, which raise Oracle's errors for them.
void Emitter::datetimeLiteral(const Literal& l) {
    if (l.form == Literal::Form::Date) {
        if (l.text.size() == 10 && plainDate(l.text)) {
            m_out += quoteText(l.text + " 00:00:00");
            return;
        }
        m_out += "ORA_DATE(" + quoteText(l.text) + ')';
        return;
    }
    const std::string plain = plainTimestamp(l.text);
    m_out += plain.empty() ? "ORA_TIMESTAMP(" + quoteText(l.text) + ')' : quoteText(plain);
}

void Emitter::intervalLiteral(const Literal& l) {
    m_out += quoteText(intervalLiteralText(l));
}

// `e` as a value of type `target`, converted as Oracle converts implicitly.
// What has no conversion is ORA-00932; an unknown type is left as it is.
void Emitter::converted(const Expr& e, OracleType target, int minPrecedence) {
    convertedValue(
        e.type, target, [&](int precedence) { expr(e, precedence); }, minPrecedence);
}

// The same for a value written by `operand` (given the precedence it must
// keep), of type `from`.
void Emitter::convertedValue(OracleType from, OracleType target,
                             const std::function<void(int)>& operand, int minPrecedence) {
    auto call = [&](const char* function, const char* extra = "") {
        m_out += function;
        m_out += '(';
        operand(kLowest);
        m_out += extra;
        m_out += ')';
    };
    if (from == target || from == OracleType::Unknown || target == OracleType::Unknown) {
        operand(minPrecedence);
        return;
    }
    switch (target) {
        case OracleType::Date:
            if (from == OracleType::Timestamp)
                return call("ORA_CAST_DATE");
            // Text is read as TO_DATE reads it without a format: by
            // NLS_DATE_FORMAT (ORA-01861 ... for other text).
            if (isCharacter(from))
                return call("TO_DATE");
            inconsistent(target, from);
        case OracleType::Timestamp:
            if (from == OracleType::Date)
                return call("ORA_CAST_TIMESTAMP", ", 9");
            if (isCharacter(from))
                return call("TO_TIMESTAMP");
            inconsistent(target, from);
        case OracleType::Number:
            if (isCharacter(from))
                return call("TO_NUMBER");
            if (isDatetime(from) || from == OracleType::Interval)
                inconsistent(target, from);
            break;
        case OracleType::Varchar2:
        case OracleType::Char:
        case OracleType::Clob:
            if (from == OracleType::Date)
                return call("ORA_TO_CHAR_DATE");
            if (from == OracleType::Timestamp)
                return call("ORA_TO_CHAR_TIMESTAMP");
            if (from == OracleType::Number)
                return call("ORA_TO_CHAR_NUMBER");
            break;
        case OracleType::Blob:
            // Character data becomes RAW as hexadecimal digits.
            if (from == OracleType::Varchar2 || from == OracleType::Char)
                return call("HEXTORAW");
            break;
        default:
            break;
    }
    operand(minPrecedence);
}

// The type compared values are brought to: a datetime when one is (a
// TIMESTAMP when DATE and TIMESTAMP meet), NUMBER for numbers and text
// together, RAW for RAW and character data; otherwise none (Unknown:
// compared as they are).
OracleType Emitter::comparisonType(const std::vector<OracleType>& types) {
    bool date = false, timestamp = false, number = false, text = false, raw = false;
    for (OracleType t : types) {
        date = date || t == OracleType::Date;
        timestamp = timestamp || t == OracleType::Timestamp;
        number = number || t == OracleType::Number;
        text = text || isCharacter(t);
        raw = raw || t == OracleType::Blob;
    }
    if (timestamp)
        return OracleType::Timestamp;
    if (date)
        return OracleType::Date;
    if (raw && text && !number)
        return OracleType::Blob;
    return number && text ? OracleType::Number : OracleType::Unknown;
}

// One side of a comparison of type `target`, or blank-padded.
void Emitter::comparand(const Expr& e, OracleType target, bool padded) {
    if (!padded) {
        converted(e, target, kCompareOperand);
        return;
    }
    if (isTextLiteral(e)) {
        std::string text = e.as<Literal>().text;
        if (text.empty()) {
            m_out += "NULL";
            return;
        }
        text.erase(text.find_last_not_of(' ') + 1);
        m_out += quoteText(text);
        return;
    }
    m_out += "RTRIM(";
    expr(e);
    m_out += ", ' ')";
}

// Oracle compares two CHAR values (columns or text literals) blank-padded:
// 'a ' = 'a'. Either side VARCHAR2 compares them as they are.
bool Emitter::blankPadded(std::initializer_list<const Expr*> operands) {
    for (const Expr* e : operands)
        if (e->type != OracleType::Char)
            return false;
    return true;
}

// Intervals compare by value, not as their stored text ('-' sorts after
// '+'): through the engine's collation ORA_INTERVAL.
bool Emitter::intervalOrder(std::initializer_list<const Expr*> operands) {
    for (const Expr* e : operands)
        if (e->type == OracleType::Interval)
            return true;
    return false;
}

void Emitter::collated(const Expr& e) {
    expr(e, kPrimary);
    m_out += " COLLATE ORA_INTERVAL";
}

// DATE and TIMESTAMP arithmetic as the engine's functions; false when
// neither operand is a datetime or an interval (numbers, written by the
// caller). Oracle's rules: DATE + n adds days (a TIMESTAMP becomes a
// DATE), DATE - DATE counts days, a TIMESTAMP in a difference gives an
// interval, an interval moves a datetime and keeps its type.
bool Emitter::datetimeArithmetic(const Binary& b) {
    const OracleType l = b.left->type, r = b.right->type;
    const bool leftTime = isDatetime(l), rightTime = isDatetime(r);
    if (!leftTime && !rightTime && l != OracleType::Interval && r != OracleType::Interval)
        return false;
    switch (b.op) {
        case BinaryOp::Add:
            datetimeSum(b);
            return true;
        case BinaryOp::Subtract:
            datetimeDifference(b);
            return true;
        case BinaryOp::Multiply:
        case BinaryOp::Divide:
            if (leftTime || rightTime)
                inconsistent(OracleType::Number, leftTime ? l : r);
            intervalProduct(b);
            return true;
        default:
            return false;
    }
}

// interval * n, n * interval and interval / n (an interval's value scaled);
// n / interval and interval * interval have no meaning (ORA-30081).
void Emitter::intervalProduct(const Binary& b) {
    const bool leftInterval = b.left->type == OracleType::Interval;
    const bool rightInterval = b.right->type == OracleType::Interval;
    if ((leftInterval && rightInterval) || (b.op == BinaryOp::Divide && !leftInterval))
        badArithmetic();
    const Expr& interval = leftInterval ? *b.left : *b.right;
    const Expr& factor = leftInterval ? *b.right : *b.left;
    datetimeCall(b.op == BinaryOp::Divide ? "ORA_INTERVAL_DIV" : "ORA_INTERVAL_MUL", interval,
                 factor, OracleType::Number);
}

// function(first, second as `secondType`)
void Emitter::datetimeCall(const char* function, const Expr& first, const Expr& second,
                           OracleType secondType) {
    m_out += function;
    m_out += '(';
    expr(first);
    m_out += ", ";
    converted(second, secondType);
    m_out += ')';
}

void Emitter::datetimeSum(const Binary& b) {
    const OracleType l = b.left->type, r = b.right->type;
    if (isDatetime(l) && isDatetime(r)) {
        if (l == OracleType::Date && r == OracleType::Date)
            fail(code::kDatePlusDate, "date + date not allowed");
        fail(code::kAddingDatetimes, "adding two datetime values is not allowed");
    }
    if (l == OracleType::Interval && r == OracleType::Interval) {
        datetimeCall("ORA_INTERVAL_ADD", *b.left, *b.right, OracleType::Interval);
        return;
    }
    // An interval moves a datetime, or a value of unknown type read as one.
    const bool leftMoved = isDatetime(l) || (r == OracleType::Interval && l == OracleType::Unknown);
    const Expr& moved = leftMoved ? *b.left : *b.right;
    const Expr& amount = leftMoved ? *b.right : *b.left;
    if (!isDatetime(moved.type) && moved.type != OracleType::Unknown)
        badArithmetic();
    if (amount.type == OracleType::Interval) {
        datetimeCall(moved.type == OracleType::Timestamp ? "ORA_TIMESTAMP_ADD_INTERVAL"
                                                         : "ORA_DATE_ADD_INTERVAL",
                     moved, amount, OracleType::Interval);
        return;
    }
    datetimeCall("ORA_DATE_ADD", moved, amount, OracleType::Number);
}

void Emitter::datetimeDifference(const Binary& b) {
    const OracleType l = b.left->type, r = b.right->type;
    if (isDatetime(r) && (isDatetime(l) || l == OracleType::Unknown)) {
        datetimeCall(l != OracleType::Timestamp && r == OracleType::Date ? "ORA_DATE_DIFF"
                                                                         : "ORA_TIMESTAMP_DIFF",
                     *b.left, *b.right, r);
        return;
    }
    if (isDatetime(l) || (r == OracleType::Interval && l == OracleType::Unknown)) {
        if (r == OracleType::Interval)
            datetimeCall(
                l == OracleType::Timestamp ? "ORA_TIMESTAMP_SUB_INTERVAL" : "ORA_DATE_SUB_INTERVAL",
                *b.left, *b.right, OracleType::Interval);
        else
            datetimeCall("ORA_DATE_SUB", *b.left, *b.right, OracleType::Number);
        return;
    }
    if (l == OracleType::Interval && r == OracleType::Interval) {
        datetimeCall("ORA_INTERVAL_SUB", *b.left, *b.right, OracleType::Interval);
        return;
    }
    if (isDatetime(r) && l == OracleType::Number)
        inconsistent(OracleType::Number, r);
    badArithmetic();
}

// The functions whose meaning follows the first argument's type; false
// when `f` is not one of them or the type does not decide.
bool Emitter::typedFunction(const FunctionCall& f) {
    if (f.name.size() != 1 || f.name.front().quoted || f.args.empty() || f.over || f.distinct)
        return false;
    const std::string& name = f.functionName();
    const OracleType first = f.args.front()->type;
    // The date arguments of the date functions: text in them is read as
    // TO_DATE reads it without a format (NLS_DATE_FORMAT, ORA-01861 ...),
    // never as the engine's own stored form.
    const std::size_t dates = name == "MONTHS_BETWEEN" ? 2
                              : (name == "ADD_MONTHS" || name == "LAST_DAY" || name == "NEXT_DAY")
                                  ? 1
                                  : 0;
    if (dates && f.args.size() >= dates) {
        bool text = false;
        for (std::size_t i = 0; i < dates; ++i)
            text = text || isCharacter(f.args[i]->type);
        if (!text)
            return false;
        m_out += name;
        m_out += '(';
        for (std::size_t i = 0; i < f.args.size(); ++i) {
            if (i)
                m_out += ", ";
            const bool convert = i < dates && isCharacter(f.args[i]->type);
            if (convert)
                m_out += "TO_DATE(";
            expr(*f.args[i]);
            if (convert)
                m_out += ')';
        }
        m_out += ')';
        return true;
    }
    const char* function = nullptr;
    if ((name == "TRUNC" || name == "ROUND") && f.args.size() <= 2) {
        // Character data takes the NUMBER form, which converts it
        // implicitly (SQL Language Reference, ROUND (number), TRUNC
        // (number)): a date's text is ORA-01722.
        if (isDatetime(first))
            function = name == "TRUNC" ? "ORA_TRUNC_DATE" : "ORA_ROUND_DATE";
        else if (first == OracleType::Number || isCharacter(first))
            function = name == "TRUNC" ? "ORA_TRUNC_NUMBER" : "ORA_ROUND_NUMBER";
    } else if (name == "TO_CHAR" && f.args.size() <= 2) {
        if (first == OracleType::Date)
            function = "ORA_TO_CHAR_DATE";
        else if (first == OracleType::Timestamp)
            function = "ORA_TO_CHAR_TIMESTAMP";
        else if (first == OracleType::Number)
            function = "ORA_TO_CHAR_NUMBER";
        else if (isCharacter(first) && f.args.size() == 1) {
            // TO_CHAR of text is the text.
            m_out += '(';
            expr(*f.args.front());
            m_out += ')';
            return true;
        } else if (isCharacter(first)) {
            // TO_CHAR (character) takes no format: with one, the text is
            // read as a NUMBER (ORA-01722 for a date's text).
            function = "ORA_TO_CHAR_NUMBER";
        }
    } else if ((name == "GREATEST" || name == "LEAST") && isDatetime(first)) {
        // The others converted to the first's type (SQL Language Reference,
        // GREATEST): text by NLS_DATE_FORMAT, as TO_DATE reads it.
        bool text = false;
        for (const ExprPtr& a : f.args)
            text = text || isCharacter(a->type);
        if (!text)
            return false;
        m_out += name;
        m_out += '(';
        for (std::size_t i = 0; i < f.args.size(); ++i) {
            if (i)
                m_out += ", ";
            converted(*f.args[i], isCharacter(f.args[i]->type) ? first : OracleType::Unknown);
        }
        m_out += ')';
        return true;
    }
    if (!function)
        return false;
    m_out += function;
    m_out += '(';
    exprList(f.args);
    m_out += ')';
    return true;
}

// The arguments of a call, a datetime converted to text where the
// function takes text.
void Emitter::arguments(const FunctionCall& f) {
    // MIN and MAX of intervals: SQLite's take the collation of their argument.
    const bool extreme = f.name.size() == 1 && !f.name.front().quoted &&
                         (f.functionName() == "MIN" || f.functionName() == "MAX");
    if (extreme && f.args.size() == 1 && f.args.front()->type == OracleType::Interval) {
        collated(*f.args.front());
        return;
    }
    if (!isTextFunction(f)) {
        exprList(f.args);
        return;
    }
    for (std::size_t i = 0; i < f.args.size(); ++i) {
        if (i)
            m_out += ", ";
        const Expr& a = *f.args[i];
        converted(a, isDatetime(a.type) ? OracleType::Varchar2 : OracleType::Unknown);
    }
}

// A value assigned to a column of `table` (INSERT, UPDATE).
void Emitter::assignedTo(const Expr& value, const NamedTable& table, int column) {
    const std::string* source = nullptr;
    if (value.kind == ExprKind::ColumnRef) {
        const ColumnBinding& b = value.as<ColumnRef>().binding;
        source = declaredTypeOf(b.source, b.column);
    }
    const ValueWriter write = [&](int precedence) { expr(value, precedence); };
    stored(value.type, write, table, column, source);
}

const std::string* declaredTypeOf(const TableRef* source, int column) {
    if (!source || source->kind != TableRefKind::Named || source->pivot || source->unpivot ||
        column < 0)
        return nullptr;
    const NamedTable& named = source->as<NamedTable>();
    if (!named.table || named.table->kind != TableInfo::Kind::Table ||
        static_cast<std::size_t>(column) >= named.table->columns.size())
        return nullptr;
    return &named.table->columns[static_cast<std::size_t>(column)].declaredType;
}

// "OWNER"."TABLE"."COLUMN" as Oracle's ORA-12899 names a column.
std::string Emitter::columnTitle(const NamedTable& table, int column) const {
    const std::string& owner = table.name.size() > 1 ? table.name.front().name : m_owner;
    std::string title;
    if (!owner.empty())
        title = '"' + owner + "\".";
    title += '"' + table.table->name + "\".\"";
    title += table.table->columns[static_cast<std::size_t>(column)].name + '"';
    return title;
}

// A value of type `from` (written by `write`) as column `column` of
// `table` keeps it: converted to the column's type as Oracle converts
// implicitly (text into a DATE through NLS_DATE_FORMAT, into a NUMBER with
// ORA-01722 ...), then through the ORA_STORE_ function of the declared
// type (NUMBER(p,s) rounds, VARCHAR2(n) and CHAR(n) check the length, CHAR
// pads); a TIMESTAMP is rounded to the column's precision.
void Emitter::stored(OracleType from, const ValueWriter& write, const NamedTable& table, int column,
                     const std::string* sourceType) {
    const auto index = static_cast<std::size_t>(column);
    const OracleType type =
        index < table.columnTypes.size() ? table.columnTypes[index] : OracleType::Unknown;
    const bool declared = table.table && index < table.table->columns.size();
    const std::string targetType = declared ? table.table->columns[index].declaredType : "";
    // A column copied into one of the same type and no narrower.
    if (sourceType && from == type && from != OracleType::Unknown &&
        (type == OracleType::Timestamp
             ? timestampPrecision(*sourceType) <= timestampPrecision(targetType)
             : storageCovers(storageOfDeclared(*sourceType), storageOfDeclared(targetType)))) {
        write(kLowest);
        return;
    }
    storedAs(from, write, type, targetType, [&] { return columnTitle(table, column); });
}

// The same for a column of Oracle type `type` declared as `targetType`,
// named by `title` in ORA-12899.
void Emitter::storedAs(OracleType from, const ValueWriter& write, OracleType type,
                       const std::string& targetType, const std::function<std::string()>& title) {
    const ColumnStorage storage = storageOfDeclared(targetType);
    auto wrapped = [&](const char* function, OracleType target, const std::string& arguments) {
        m_out += function;
        m_out += '(';
        convertedValue(from, target, write);
        m_out += arguments;
        m_out += ')';
    };
    switch (type) {
        case OracleType::Timestamp:
            if (from == OracleType::Unknown)
                break;
            return wrapped("ORA_CAST_TIMESTAMP", type,
                           ", " + std::to_string(timestampPrecision(targetType)));
        case OracleType::Date:
            // A value of unknown type (a bind value, NULL) is read as a
            // date: the stored form, else text in NLS_DATE_FORMAT.
            if (from == OracleType::Unknown)
                return wrapped("ORA_CAST_DATE", type, "");
            return convertedValue(from, type, write);
        case OracleType::Number:
            if (storage.kind == ColumnStorage::Kind::FixedNumber)
                return wrapped("ORA_STORE_NUMBER", type,
                               ", " + std::to_string(storage.precision) + ", " +
                                   std::to_string(storage.scale));
            if (storage.kind == ColumnStorage::Kind::FloatNumber)
                return wrapped("ORA_STORE_FLOAT", type, ", " + std::to_string(storage.precision));
            return convertedValue(from, type, write);
        case OracleType::Varchar2:
        case OracleType::Char:
        case OracleType::Clob:
            // A datetime becomes text in the session's format in any of them.
            if (storage.kind != ColumnStorage::Kind::Text)
                return convertedValue(from, type, write);
            return wrapped(
                "ORA_STORE_TEXT", type,
                ", " + std::to_string(storage.length) + ", " +
                    std::to_string((storage.inCharacters ? 1 : 0) + (storage.padded ? 2 : 0)) +
                    ", " + quoteText(title()));
        case OracleType::Blob:
            return convertedValue(from, type, write);
        default:
            break;
    }
    write(kLowest);
}

namespace {

// INTERVAL DAY [(p)] TO SECOND [(f)] or YEAR [(p)] TO MONTH as written in
// a type name: Oracle's defaults are 2 leading digits and 6 of fraction.
struct IntervalType {
    bool daySecond = true;
    std::string leading = "2";
    std::string fraction = "6";
};

IntervalType intervalType(const TypeName& t) {
    IntervalType type;
    type.daySecond = std::find(t.words.begin(), t.words.end(), "MONTH") == t.words.end() &&
                     std::find(t.words.begin(), t.words.end(), "YEAR") == t.words.end();
    for (std::size_t i = 0; i < t.arguments.size() && i < t.argumentWords.size(); ++i) {
        const std::string& word = t.words[t.argumentWords[i]];
        (word == "SECOND" ? type.fraction : type.leading) = t.arguments[i];
    }
    return type;
}

}  // namespace

// CAST to an interval type, and Oracle's interval expression (a - b) DAY
// TO SECOND: the value kept to the type's precisions (ORA-01873 for more
// leading digits than it has). The difference of two datetimes is an
// exact DAY TO SECOND interval; as YEAR TO MONTH it is not translated.
void Emitter::intervalCast(const Cast& c) {
    const IntervalType type = intervalType(c.target);
    const OracleType from = c.operand->type;
    m_out += "ORA_CAST_INTERVAL(";
    if (c.intervalExpression) {
        const Binary& b = c.operand->as<Binary>();
        const OracleType l = b.left->type, r = b.right->type;
        const bool datetimes = (isDatetime(l) || isDatetime(r)) &&
                               (isDatetime(l) || l == OracleType::Unknown) &&
                               (isDatetime(r) || r == OracleType::Unknown);
        if (l == OracleType::Interval && r == OracleType::Interval) {
            datetimeCall("ORA_INTERVAL_SUB", *b.left, *b.right, OracleType::Interval);
        } else {
            if (!datetimes)
                badArithmetic();
            if (!type.daySecond)
                unsupported("(datetime - datetime) YEAR TO MONTH");
            datetimeCall("ORA_TIMESTAMP_DIFF", *b.left, *b.right, isDatetime(r) ? r : l);
        }
    } else {
        if (from == OracleType::Number || isDatetime(from))
            inconsistent(OracleType::Interval, from);
        expr(*c.operand);
    }
    m_out += type.daySecond ? ", 'DS', " : ", 'YM', ";
    m_out += type.leading + ", " + type.fraction + ')';
}

namespace {

// ORA_STORE_TEXT's flags for CAST (RegisterStorage.cpp).
constexpr int kCastTruncates = 4;
constexpr int kCastRefuses = 8;

// The type as a column would declare it: VARCHAR2(8 CHAR), NUMBER(7, 2).
std::string declaredSpelling(const TypeName& t) {
    std::string out = t.spelled();
    for (std::size_t i = 0; i < t.arguments.size(); ++i) {
        out += i ? ", " : "(";
        out += t.arguments[i];
        if (i == 0 && !t.lengthSemantics.empty())
            out += ' ' + t.lengthSemantics;
    }
    if (!t.arguments.empty())
        out += ')';
    return out;
}

}  // namespace

// CAST to DATE and TIMESTAMP through the engine's functions; to NUMBER(p,
// s), INTEGER, FLOAT(b) as a column of that type keeps the value (rounded
// to the scale, ORA-01438); to VARCHAR2(n), CHAR(n) and the national types
// cut to the length and blank-padded as the type asks; to text and numbers
// without a size by Oracle's conversions. False: the plain CAST is right.
bool Emitter::typedCast(const Cast& c) {
    const OracleType target = typeOfDeclared(c.target.spelled());
    const OracleType from = c.operand->type;
    if (target == OracleType::Interval) {
        intervalCast(c);
        return true;
    }
    if (target == OracleType::Date) {
        if (from == OracleType::Number || from == OracleType::Interval)
            inconsistent(target, from);
        if (isCharacter(from) || from == OracleType::Timestamp) {
            converted(*c.operand, target);  // text by NLS_DATE_FORMAT
            return true;
        }
        m_out += "ORA_CAST_DATE(";
        expr(*c.operand);
        m_out += ')';
        return true;
    }
    if (target == OracleType::Timestamp) {
        if (from == OracleType::Number || from == OracleType::Interval)
            inconsistent(target, from);
        if (c.target.words.size() > 1)
            unsupported("CAST to " + c.target.spelled());
        m_out += "ORA_CAST_TIMESTAMP(";
        converted(*c.operand, OracleType::Timestamp);
        m_out += ", ";
        m_out += c.target.arguments.empty() ? std::string("6") : c.target.arguments.front();
        m_out += ')';
        return true;
    }
    if (target == OracleType::Number || isCharacter(target)) {
        const ColumnStorage storage = storageOfDeclared(declaredSpelling(c.target));
        if (storage.kind == ColumnStorage::Kind::FixedNumber ||
            storage.kind == ColumnStorage::Kind::FloatNumber) {
            if (isDatetime(from) || from == OracleType::Interval)
                inconsistent(OracleType::Number, from);
            const bool fixed = storage.kind == ColumnStorage::Kind::FixedNumber;
            m_out += fixed ? "ORA_STORE_NUMBER(" : "ORA_STORE_FLOAT(";
            converted(*c.operand, OracleType::Number);
            m_out += ", " + std::to_string(storage.precision);
            if (fixed)
                m_out += ", " + std::to_string(storage.scale);
            m_out += ')';
            return true;
        }
        if (storage.kind == ColumnStorage::Kind::Text) {
            // Text longer than the type is cut to its length (a character
            // is never split); a number, datetime or CLOB whose text does
            // not fit is ORA-25137 (a CLOB too long is an error, as the
            // reference says).
            const bool text = from == OracleType::Varchar2 || from == OracleType::Char ||
                              from == OracleType::Unknown;
            m_out += "ORA_STORE_TEXT(";
            converted(*c.operand, OracleType::Varchar2);
            m_out += ", " + std::to_string(storage.length) + ", " +
                     std::to_string((storage.inCharacters ? 1 : 0) + (storage.padded ? 2 : 0) +
                                    (text ? kCastTruncates : kCastRefuses)) +
                     ", '')";
            return true;
        }
    }
    if (isCharacter(target) && isDatetime(from)) {
        converted(*c.operand, OracleType::Varchar2);
        return true;
    }
    if (target == OracleType::Number && (isCharacter(from) || isDatetime(from))) {
        converted(*c.operand, OracleType::Number);
        return true;
    }
    return false;
}

}  // namespace localengine::dialect

namespace localengine::dialect {

namespace {

// Families of types for Oracle's rules on choosing among values: 1
// numbers, 2 character data, 3 datetimes, 4 intervals; 0 unknown (NULL, a
// bind parameter) or other.
int family(OracleType t) {
    if (t == OracleType::Number)
        return 1;
    if (isCharacter(t))
        return 2;
    if (isDatetime(t))
        return 3;
    return t == OracleType::Interval ? 4 : 0;
}

// The name ORA-00932 gives a type: character data is CHAR.
std::string messageName(OracleType t) {
    return isCharacter(t) ? "CHAR" : typeName(t);
}

[[noreturn]] void inconsistentChoice(OracleType expected, OracleType got) {
    fail(code::kInconsistentDatatypes,
         "inconsistent datatypes: expected " + messageName(expected) + " got " + messageName(got));
}

// ORA-00932 unless the values of known type are of one family.
void requireOneFamily(const std::vector<const Expr*>& values) {
    const Expr* first = nullptr;
    for (const Expr* e : values) {
        if (family(e->type) == 0)
            continue;
        if (!first)
            first = e;
        else if (family(e->type) != family(first->type))
            inconsistentChoice(first->type, e->type);
    }
}

// The type a value is converted to where `decides` gives the type (NVL's
// first argument, NVL2's second, DECODE's first result): character data
// as VARCHAR2, numbers as NUMBER, datetimes as themselves.
OracleType decidingType(OracleType t) {
    if (isCharacter(t))
        return OracleType::Varchar2;
    if (t == OracleType::Number || isDatetime(t))
        return t;
    return OracleType::Unknown;
}

bool needsConversion(OracleType from, OracleType target) {
    return target != OracleType::Unknown && from != OracleType::Unknown &&
           family(from) != family(target);
}

}  // namespace

// CASE: the results (and a simple CASE's operand and compared values) are
// all numbers or all of one type (SQL Language Reference, "CASE
// Expressions"); anything else is ORA-00932.
void Emitter::checkCaseTypes(const Case& c) {
    std::vector<const Expr*> results;
    std::vector<const Expr*> compared;
    if (c.operand)
        compared.push_back(c.operand.get());
    for (const WhenClause& w : c.whens) {
        results.push_back(w.result.get());
        if (c.operand)
            compared.push_back(w.condition.get());
    }
    if (c.otherwise)
        results.push_back(c.otherwise.get());
    requireOneFamily(compared);
    requireOneFamily(results);
}

// NVL, NVL2, COALESCE, NULLIF and DECODE with arguments of different
// types, converted by Oracle's rule for each (SQL Language Reference):
//   NVL(e1, e2)       e2 to e1's type (character data as VARCHAR2)
//   NVL2(e1, e2, e3)  e3 to e2's type
//   COALESCE(...)     all to NUMBER when numbers meet character data;
//                     other mixtures ORA-00932
//   NULLIF(e1, e2)    of one type, or ORA-00932
//   DECODE(e, s1, r1, ..., d)  e and each s to s1's type, each r and d to
//                     r1's (VARCHAR2 for CHAR or NULL); written as a CASE
//                     so that only the value returned is converted
// False when nothing needs converting (the plain call is right).
bool Emitter::typedChoice(const FunctionCall& f) {
    if (f.name.size() != 1 || f.name.front().quoted || f.over || f.distinct || f.star)
        return false;
    const std::string& name = f.functionName();
    const auto& a = f.args;
    if (name == "NVL" && a.size() == 2) {
        const OracleType target = decidingType(a[0]->type);
        if (!needsConversion(a[1]->type, target))
            return false;
        m_out += "NVL(";
        expr(*a[0]);
        m_out += ", ";
        converted(*a[1], target);
        m_out += ')';
        return true;
    }
    if (name == "NVL2" && a.size() == 3) {
        OracleType target = decidingType(a[1]->type);
        if (a[1]->type == OracleType::Unknown)
            return false;
        if (!needsConversion(a[2]->type, target))
            return false;
        m_out += "NVL2(";
        expr(*a[0]);
        m_out += ", ";
        expr(*a[1]);
        m_out += ", ";
        converted(*a[2], target);
        m_out += ')';
        return true;
    }
    if (name == "COALESCE" && a.size() >= 2) {
        bool number = false, numeric = true;
        std::vector<const Expr*> values;
        for (const ExprPtr& e : a) {
            values.push_back(e.get());
            number = number || e->type == OracleType::Number;
            numeric = numeric && (family(e->type) <= 2);
        }
        if (!(number && numeric)) {
            requireOneFamily(values);
            return false;
        }
        m_out += "COALESCE(";
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (i)
                m_out += ", ";
            converted(*a[i], OracleType::Number);
        }
        m_out += ')';
        return true;
    }
    if (name == "NULLIF" && a.size() == 2) {
        requireOneFamily({a[0].get(), a[1].get()});
        if (!blankPadded({a[0].get(), a[1].get()}))
            return false;
        // CASE WHEN e1 = e2 THEN NULL ELSE e1 END, the comparison of two
        // CHAR values blank-padded.
        m_out += "CASE WHEN ";
        comparand(*a[0], OracleType::Char, true);
        m_out += " = ";
        comparand(*a[1], OracleType::Char, true);
        m_out += " THEN NULL ELSE ";
        expr(*a[0]);
        m_out += " END";
        return true;
    }
    if (name == "DECODE" && a.size() >= 3)
        return decode(f);
    return false;
}

bool Emitter::decode(const FunctionCall& f) {
    const auto& a = f.args;
    const OracleType searched = decidingType(a[1]->type);
    OracleType result = decidingType(a[2]->type);
    if (a[2]->type == OracleType::Unknown)
        result = OracleType::Varchar2;
    bool convert = needsConversion(a[0]->type, searched);
    for (std::size_t i = 1; i < a.size(); ++i) {
        const bool isResult = i % 2 == 0 || i + 1 == a.size();
        convert = convert || needsConversion(a[i]->type, isResult ? result : searched);
    }
    if (!convert)
        return false;
    m_out += "CASE";
    std::size_t i = 1;
    for (; i + 1 < a.size(); i += 2) {
        m_out += " WHEN ";
        converted(*a[0], searched, kCompareOperand);
        m_out += " IS ";
        converted(*a[i], searched, kCompareOperand);
        m_out += " THEN ";
        converted(*a[i + 1], result);
    }
    if (i < a.size()) {
        m_out += " ELSE ";
        converted(*a[i], result);
    }
    m_out += " END";
    checkLength(m_out.size());
    return true;
}

}  // namespace localengine::dialect
