#include "SqlFunctions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace localengine {

namespace {

bool isNumeric(sqlite3_value* v) {
    const int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// A value as text, numbers written the way Oracle converts them.
std::string valueText(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return oracleNumberText(sqlite3_value_double(v));
        case SQLITE_NULL:
            return {};
        default: {
            const unsigned char* t = sqlite3_value_text(v);
            return t ? std::string(reinterpret_cast<const char*>(t),
                                   static_cast<std::size_t>(sqlite3_value_bytes(v)))
                     : std::string();
        }
    }
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    if (s.empty())
        sqlite3_result_null(ctx);  // Oracle knows no empty string
    else
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

bool parseNumber(const std::string& s, double& out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    return end && *end == '\0';
}

// Equality as DECODE sees it: two nulls are equal; a number meets text by
// converting the text.
bool decodeEqual(sqlite3_value* a, sqlite3_value* b) {
    const bool an = sqlite3_value_type(a) == SQLITE_NULL;
    const bool bn = sqlite3_value_type(b) == SQLITE_NULL;
    if (an || bn)
        return an && bn;
    if (isNumeric(a) || isNumeric(b)) {
        double x = 0, y = 0;
        const bool okA =
            isNumeric(a) ? (x = sqlite3_value_double(a), true) : parseNumber(valueText(a), x);
        const bool okB =
            isNumeric(b) ? (y = sqlite3_value_double(b), true) : parseNumber(valueText(b), y);
        if (okA && okB) {
            if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER)
                return sqlite3_value_int64(a) == sqlite3_value_int64(b);
            return x == y;
        }
        return false;
    }
    if (sqlite3_value_type(a) == SQLITE_BLOB || sqlite3_value_type(b) == SQLITE_BLOB) {
        const int n = sqlite3_value_bytes(a);
        return n == sqlite3_value_bytes(b) &&
               (n == 0 || std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b),
                                      static_cast<std::size_t>(n)) == 0);
    }
    return valueText(a) == valueText(b);
}

void fnDecode(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 3) {
        sqlite3_result_error(ctx, "DECODE needs at least three arguments", -1);
        return;
    }
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        if (decodeEqual(argv[0], argv[i])) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    if (i < argc)
        sqlite3_result_value(ctx, argv[i]);
    else
        sqlite3_result_null(ctx);
}

void fnNvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

void fnNvl2(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[2] : argv[1]);
}

// Oracle's ||: a null operand counts as empty text; the result is null
// only when it is empty.
void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // Called for every row of a query with ||: the pieces are measured
    // first and copied once into the buffer handed to SQLite.
    struct Piece {
        const char* text = nullptr;
        std::size_t size = 0;
        char digits[24];
    };
    constexpr int kInline = 16;
    Piece inlinePieces[kInline];
    std::vector<Piece> morePieces;
    Piece* pieces = inlinePieces;
    if (argc > kInline) {
        morePieces.resize(static_cast<std::size_t>(argc));
        pieces = morePieces.data();
    }
    std::vector<std::string> numbers;  // texts of floating-point values
    std::size_t total = 0;
    for (int i = 0; i < argc; ++i) {
        sqlite3_value* v = argv[i];
        Piece& p = pieces[i];
        switch (sqlite3_value_type(v)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER: {
                const auto r = std::to_chars(p.digits, p.digits + sizeof p.digits,
                                             static_cast<long long>(sqlite3_value_int64(v)));
                p.text = p.digits;
                p.size = static_cast<std::size_t>(r.ptr - p.digits);
                break;
            }
            case SQLITE_FLOAT:
                numbers.reserve(static_cast<std::size_t>(argc));
                numbers.push_back(oracleNumberText(sqlite3_value_double(v)));
                p.text = numbers.back().data();
                p.size = numbers.back().size();
                break;
            default:
                p.text = reinterpret_cast<const char*>(sqlite3_value_text(v));
                p.size = p.text ? static_cast<std::size_t>(sqlite3_value_bytes(v)) : 0;
        }
        total += p.size;
    }
    if (total == 0) {
        sqlite3_result_null(ctx);  // Oracle knows no empty string
        return;
    }
    char* out = static_cast<char*>(sqlite3_malloc64(total));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char* at = out;
    for (int i = 0; i < argc; ++i) {
        if (pieces[i].size) {
            std::memcpy(at, pieces[i].text, pieces[i].size);
            at += pieces[i].size;
        }
    }
    sqlite3_result_text64(ctx, out, total, sqlite3_free, SQLITE_UTF8);
}

// Characters of UTF-8 text (continuation bytes are not counted).
std::size_t charCount(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

// The first `count` characters of UTF-8 text.
std::string charPrefix(const std::string& s, std::size_t count) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == count)
                return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

void pad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        (argc > 2 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    const double width = std::trunc(sqlite3_value_double(argv[1]));
    if (!(width >= 1) || width > 1e6) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::size_t n = static_cast<std::size_t>(width);
    const std::string s = valueText(argv[0]);
    const std::string filler = argc > 2 ? valueText(argv[2]) : std::string(" ");
    if (filler.empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::size_t have = charCount(s);
    if (have >= n) {
        resultText(ctx, charPrefix(s, n));
        return;
    }
    std::string fill;
    const std::size_t need = n - have;
    // At least one: a filler of stray continuation bytes must still end the loop.
    const std::size_t fillerChars = std::max<std::size_t>(charCount(filler), 1);
    std::size_t got = 0;
    fill.reserve(need * filler.size() / fillerChars + filler.size());
    while (got < need) {
        fill += filler;
        got += fillerChars;
    }
    if (got > need)
        fill = charPrefix(fill, need);
    resultText(ctx, left ? fill + s : s + fill);
}

void fnLpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    pad(ctx, argc, argv, true);
}
void fnRpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    pad(ctx, argc, argv, false);
}

// The identity of a row in a hierarchy: the values of its PRIOR operands,
// numbers normalised so that 1 and 1.0 meet.
void fnRowKey(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string key = "\x1e";
    for (int i = 0; i < argc; ++i) {
        switch (sqlite3_value_type(argv[i])) {
            case SQLITE_NULL:
                key += 'N';
                break;
            case SQLITE_INTEGER:
                key += '#';
                key += std::to_string(sqlite3_value_int64(argv[i]));
                break;
            case SQLITE_FLOAT: {
                char buf[40];
                std::snprintf(buf, sizeof buf, "#%.17g", sqlite3_value_double(argv[i]));
                key += buf;
                break;
            }
            default:
                key += 'T';
                key += valueText(argv[i]);
        }
        key += '\x1f';
    }
    key += '\x1d';
    sqlite3_result_text(ctx, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

// Passes the rows of a translated hierarchical query: 1 for an ordinary
// row; for a row that closes a loop, 0 under NOCYCLE and otherwise the
// error Oracle gives.
void fnHierarchyCheck(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int flag = sqlite3_value_int(argv[0]);
    const bool nocycle = sqlite3_value_int(argv[1]) != 0;
    if (flag == 0) {
        sqlite3_result_int(ctx, 1);
    } else if (flag == 1 && nocycle) {
        sqlite3_result_int(ctx, 0);
    } else if (flag == 1) {
        sqlite3_result_error(ctx, "CONNECT BY loop in user data", -1);
    } else {
        sqlite3_result_error(
            ctx, "CONNECT BY hierarchy deeper than 100000 levels (a loop without PRIOR?)", -1);
    }
}

void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
        sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
        const sqlite3_int64 b = sqlite3_value_int64(argv[1]);
        sqlite3_result_int64(
            ctx, b == 0 ? sqlite3_value_int64(argv[0]) : sqlite3_value_int64(argv[0]) % b);
        return;
    }
    const double a = sqlite3_value_double(argv[0]);
    const double b = sqlite3_value_double(argv[1]);
    sqlite3_result_double(ctx, b == 0 ? a : a - b * std::trunc(a / b));
}

void fnToChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, valueText(argv[0]));
}

void fnToNumber(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNumeric(argv[0]) || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    double d = 0;
    const std::string s = valueText(argv[0]);
    if (!parseNumber(s, d)) {
        sqlite3_result_error(ctx, "invalid number", -1);
        return;
    }
    if (d == std::trunc(d) && std::fabs(d) < 9e15)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    else
        sqlite3_result_double(ctx, d);
}

void fnTrunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        // A date as text: TRUNC keeps the day.
        const std::string s = valueText(argv[0]);
        if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
            resultText(ctx, s.substr(0, 10) + " 00:00:00");
            return;
        }
    }
    const int places = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
    const double scale = std::pow(10.0, places);
    const double v = std::trunc(sqlite3_value_double(argv[0]) * scale) / scale;
    if (places <= 0 && std::fabs(v) < 9e15)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(v));
    else
        sqlite3_result_double(ctx, v);
}

// Dates are kept as text 'YYYY-MM-DD HH:MM:SS', the form SYSDATE gives.
struct DateParts {
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool parseDateText(const std::string& s, DateParts& d) {
    const int n = std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &d.year, &d.month, &d.day, &d.hour,
                              &d.minute, &d.second);
    return n >= 3 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31;
}

std::string dateText(const DateParts& d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                  d.minute, d.second);
    return buf;
}

bool startsWithNoCase(const std::string& s, std::size_t at, const char* word) {
    for (std::size_t i = 0; word[i]; ++i)
        if (at + i >= s.size() || std::toupper(static_cast<unsigned char>(s[at + i])) != word[i])
            return false;
    return true;
}

// Oracle's date format elements that the engine knows, longest first.
const char* const kElements[] = {"YYYY", "HH24", "HH12", "MONTH", "MON", "YY", "MM",
                                 "DD",   "HH",   "MI",   "SS",    "AM",  "PM"};

const char* elementAt(const std::string& fmt, std::size_t at) {
    for (const char* e : kElements)
        if (startsWithNoCase(fmt, at, e))
            return e;
    return nullptr;
}

std::string formatDate(const DateParts& d, const std::string& fmt) {
    std::string out;
    char buf[16];
    for (std::size_t i = 0; i < fmt.size();) {
        const char* e = elementAt(fmt, i);
        if (!e) {
            if (fmt[i] != '"')
                out += fmt[i];
            ++i;
            continue;
        }
        const std::string el = e;
        if (el == "YYYY")
            std::snprintf(buf, sizeof buf, "%04d", d.year);
        else if (el == "YY")
            std::snprintf(buf, sizeof buf, "%02d", d.year % 100);
        else if (el == "MM")
            std::snprintf(buf, sizeof buf, "%02d", d.month);
        else if (el == "MON" || el == "MONTH")
            std::snprintf(buf, sizeof buf, "%s", kMonths[d.month - 1]);
        else if (el == "DD")
            std::snprintf(buf, sizeof buf, "%02d", d.day);
        else if (el == "HH24")
            std::snprintf(buf, sizeof buf, "%02d", d.hour);
        else if (el == "HH" || el == "HH12")
            std::snprintf(buf, sizeof buf, "%02d", d.hour % 12 == 0 ? 12 : d.hour % 12);
        else if (el == "MI")
            std::snprintf(buf, sizeof buf, "%02d", d.minute);
        else if (el == "SS")
            std::snprintf(buf, sizeof buf, "%02d", d.second);
        else
            std::snprintf(buf, sizeof buf, "%s", d.hour < 12 ? "AM" : "PM");
        out += buf;
        i += el.size();
    }
    return out;
}

bool parseWithFormat(const std::string& s, const std::string& fmt, DateParts& d) {
    std::size_t p = 0;
    bool pm = false, twelve = false;
    for (std::size_t i = 0; i < fmt.size();) {
        const char* e = elementAt(fmt, i);
        if (!e) {
            if (p < s.size() && !std::isalnum(static_cast<unsigned char>(s[p])))
                ++p;
            ++i;
            continue;
        }
        const std::string el = e;
        i += el.size();
        if (el == "MON" || el == "MONTH") {
            bool found = false;
            for (int m = 0; m < 12 && !found; ++m) {
                if (startsWithNoCase(s, p, kMonths[m])) {
                    d.month = m + 1;
                    found = true;
                }
            }
            if (!found)
                return false;
            while (p < s.size() && std::isalpha(static_cast<unsigned char>(s[p])))
                ++p;
            continue;
        }
        if (el == "AM" || el == "PM") {
            pm = startsWithNoCase(s, p, "PM");
            p += 2;
            continue;
        }
        const std::size_t width = el == "YYYY" ? 4 : 2;
        std::size_t q = p;
        while (q < s.size() && q - p < width && std::isdigit(static_cast<unsigned char>(s[q])))
            ++q;
        if (q == p)
            return false;
        const int v = std::atoi(s.substr(p, q - p).c_str());
        p = q;
        if (el == "YYYY")
            d.year = v;
        else if (el == "YY")
            d.year = 2000 + v;
        else if (el == "MM")
            d.month = v;
        else if (el == "DD")
            d.day = v;
        else if (el == "HH24")
            d.hour = v;
        else if (el == "HH" || el == "HH12") {
            d.hour = v;
            twelve = true;
        } else if (el == "MI")
            d.minute = v;
        else if (el == "SS")
            d.second = v;
    }
    if (twelve)
        d.hour = d.hour % 12 + (pm ? 12 : 0);
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && d.hour < 24 &&
           d.minute < 60 && d.second < 60;
}

void fnToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateParts d;
    const std::string s = valueText(argv[0]);
    const bool ok = argc > 1 ? parseWithFormat(s, valueText(argv[1]), d) : parseDateText(s, d);
    if (!ok) {
        sqlite3_result_error(ctx, "date does not match the format", -1);
        return;
    }
    resultText(ctx, dateText(d));
}

void fnToChar2(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateParts d;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && parseDateText(valueText(argv[0]), d)) {
        resultText(ctx, formatDate(d, valueText(argv[1])));
        return;
    }
    resultText(ctx, valueText(argv[0]));  // numbers: the format is not applied
}

void fnAddMonths(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateParts d;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        !parseDateText(valueText(argv[0]), d)) {
        sqlite3_result_null(ctx);
        return;
    }
    const int total = d.year * 12 + (d.month - 1) + sqlite3_value_int(argv[1]);
    d.year = total / 12;
    d.month = total % 12 + 1;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = days[d.month - 1];
    if (d.month == 2 && ((d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0))
        last = 29;
    if (d.day > last)
        d.day = last;
    resultText(ctx, dateText(d));
}

// GREATEST / LEAST: null when any argument is null; numbers compare as
// numbers, anything else as text.
void extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool greatest) {
    bool numeric = true;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        numeric = numeric && isNumeric(argv[i]);
    }
    int best = 0;
    for (int i = 1; i < argc; ++i) {
        const bool better =
            numeric ? (greatest ? sqlite3_value_double(argv[i]) > sqlite3_value_double(argv[best])
                                : sqlite3_value_double(argv[i]) < sqlite3_value_double(argv[best]))
                    : (greatest ? valueText(argv[i]) > valueText(argv[best])
                                : valueText(argv[i]) < valueText(argv[best]));
        if (better)
            best = i;
    }
    sqlite3_result_value(ctx, argv[best]);
}
void fnGreatest(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    extreme(ctx, argc, argv, true);
}
void fnLeast(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    extreme(ctx, argc, argv, false);
}

void fnInitcap(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string s = valueText(argv[0]);
    bool start = true;
    for (char& c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            c = static_cast<char>(start ? std::toupper(u) : std::tolower(u));
            start = false;
        } else {
            start = u < 0x80;
        }
    }
    resultText(ctx, s);
}

void fnChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const char c = static_cast<char>(sqlite3_value_int(argv[0]) & 0xff);
    resultText(ctx, std::string(1, c));
}

void add(sqlite3* db, const char* name, int args,
         void (*fn)(sqlite3_context*, int, sqlite3_value**)) {
    sqlite3_create_function_v2(db, name, args,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, fn,
                               nullptr, nullptr, nullptr);
}

}  // namespace

std::string displayNumberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

std::string oracleNumberText(double value) {
    std::string s = displayNumberText(value);
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    return s;
}

void registerOracleFunctions(sqlite3* db) {
    add(db, "DECODE", -1, fnDecode);
    add(db, "NVL", 2, fnNvl);
    add(db, "NVL2", 3, fnNvl2);
    add(db, "ORA_CONCAT", -1, fnConcat);
    add(db, "LPAD", 2, fnLpad);
    add(db, "LPAD", 3, fnLpad);
    add(db, "RPAD", 2, fnRpad);
    add(db, "RPAD", 3, fnRpad);
    add(db, "ORA_ROWKEY", -1, fnRowKey);
    add(db, "ORA_HIERARCHY_CHECK", 2, fnHierarchyCheck);
    add(db, "MOD", 2, fnMod);
    add(db, "TO_CHAR", 1, fnToChar);
    add(db, "TO_NUMBER", 1, fnToNumber);
    add(db, "TRUNC", 1, fnTrunc);
    add(db, "TRUNC", 2, fnTrunc);
    add(db, "TO_DATE", 1, fnToDate);
    add(db, "TO_DATE", 2, fnToDate);
    add(db, "TO_CHAR", 2, fnToChar2);
    add(db, "TO_NUMBER", 2, fnToNumber);
    add(db, "ADD_MONTHS", 2, fnAddMonths);
    add(db, "GREATEST", -1, fnGreatest);
    add(db, "LEAST", -1, fnLeast);
    add(db, "INITCAP", 1, fnInitcap);
    add(db, "CHR", 1, fnChr);
}

}  // namespace localengine
