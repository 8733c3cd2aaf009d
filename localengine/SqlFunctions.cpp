#include "SqlFunctions.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    std::string s;
    for (int i = 0; i < argc; ++i)
        s += valueText(argv[i]);
    resultText(ctx, s);
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
    while (charCount(fill) < need)
        fill += filler;
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
            case SQLITE_FLOAT: {
                char buf[40];
                std::snprintf(buf, sizeof buf, "#%.17g", sqlite3_value_double(argv[i]));
                if (sqlite3_value_type(argv[i]) == SQLITE_INTEGER)
                    std::snprintf(buf, sizeof buf, "#%lld",
                                  static_cast<long long>(sqlite3_value_int64(argv[i])));
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
}

}  // namespace localengine
