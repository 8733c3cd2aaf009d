// DECODE, NVL, NVL2, || (ORA_CONCAT) and LPAD/RPAD as SQLite functions,
// and numbers as Oracle writes them as text.

#include "CoreFunctions.h"
#include "Number.h"

#include "sqlite/SqliteGuard.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace localengine::functions {

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
        sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
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

// The largest text or blob SQLite keeps on this connection, in bytes.
std::uint64_t lengthLimit(sqlite3_context* ctx) {
    const int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    return limit > 0 ? static_cast<std::uint64_t>(limit) : 0;
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
    if (total > lengthLimit(ctx)) {
        sqlite3_result_error_toobig(ctx);
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

// Bytes of the character of UTF-8 text that starts at `i`: a lead byte with
// the continuation bytes it announces. Anything else (a stray continuation
// byte, a byte that UTF-8 never uses) counts as a character of one byte, so
// that every character has at least one byte.
std::size_t charBytes(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t want = 0;
    if (c >= 0xC2 && c <= 0xDF)
        want = 1;
    else if (c >= 0xE0 && c <= 0xEF)
        want = 2;
    else if (c >= 0xF0 && c <= 0xF4)
        want = 3;
    std::size_t n = 1;
    while (n <= want && i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

std::size_t charCount(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += charBytes(s, i))
        ++n;
    return n;
}

// Bytes of the first `count` characters of UTF-8 text.
std::size_t prefixBytes(const std::string& s, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t chars = 0; chars < count && i < s.size(); ++chars)
        i += charBytes(s, i);
    return i;
}

// LPAD and RPAD. The result is measured before anything is allocated: one
// longer than SQLite allows is an error, whatever the width asked for.
void pad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        (argc > 2 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    const double width = std::trunc(sqlite3_value_double(argv[1]));
    if (!(width >= 1)) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::uint64_t limit = lengthLimit(ctx);
    // Each character takes a byte at least, so a wider result never fits.
    if (width > static_cast<double>(limit)) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    const std::size_t n = static_cast<std::size_t>(width);
    const std::string s = valueText(argv[0]);
    const std::string filler = argc > 2 ? valueText(argv[2]) : std::string(" ");
    if (filler.empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    if (s.size() > limit) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    const std::size_t have = charCount(s);
    if (have >= n) {
        resultText(ctx, s.substr(0, prefixBytes(s, n)));
        return;
    }
    const std::size_t need = n - have;
    const std::size_t fillerChars = charCount(filler);
    const std::size_t whole = need / fillerChars;
    const std::size_t partBytes = prefixBytes(filler, need % fillerChars);
    if (whole > (limit - s.size()) / filler.size()) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    const std::uint64_t fillBytes = static_cast<std::uint64_t>(whole) * filler.size() + partBytes;
    const std::uint64_t total = fillBytes + s.size();
    if (total > limit) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    char* out = static_cast<char*>(sqlite3_malloc64(total));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char* fill = left ? out : out + s.size();
    for (std::size_t k = 0; k < whole; ++k)
        std::memcpy(fill + k * filler.size(), filler.data(), filler.size());
    std::memcpy(fill + whole * filler.size(), filler.data(), partBytes);
    std::memcpy(left ? out + fillBytes : out, s.data(), s.size());
    sqlite3_result_text64(ctx, out, total, sqlite3_free, SQLITE_UTF8);
}

void fnLpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    pad(ctx, argc, argv, true);
}
void fnRpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    pad(ctx, argc, argv, false);
}

using Callback = void (*)(sqlite3_context*, int, sqlite3_value**);

// Innocuous: no side effects and nothing read beyond their arguments, so the
// views, triggers and constraints of a user's file (whose schema the engine
// does not trust) may call them. A function with side effects, or one that
// reveals anything of the process or the machine, is registered
// SQLITE_DIRECTONLY instead.
void add(sqlite3* db, const char* name, int args, Callback fn) {
    sqlite3_create_function_v2(db, name, args,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, fn,
                               nullptr, nullptr, nullptr);
}

}  // namespace

std::string displayNumberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    if (!std::isfinite(value)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", value);
        return buf;
    }
    // Oracle's text (whole numbers as digits up to 40 characters, not
    // 1.8e+19), with the zero a client shows before the point.
    std::string s = oracleNumberText(value);
    if (s.rfind('.', 0) == 0)
        s.insert(0, 1, '0');
    else if (s.rfind("-.", 0) == 0)
        s.insert(1, 1, '0');
    return s;
}

std::string oracleNumberText(double value) {
    if (!std::isfinite(value))
        return displayNumberText(value);
    return numberText(Number::of(value));
}

void registerOracleFunctions(sqlite3* db) {
    add(db, "DECODE", -1, guardedFunction<fnDecode>);
    add(db, "NVL", 2, guardedFunction<fnNvl>);
    add(db, "NVL2", 3, guardedFunction<fnNvl2>);
    add(db, "ORA_CONCAT", -1, guardedFunction<fnConcat>);
    add(db, "LPAD", 2, guardedFunction<fnLpad>);
    add(db, "LPAD", 3, guardedFunction<fnLpad>);
    add(db, "RPAD", 2, guardedFunction<fnRpad>);
    add(db, "RPAD", 3, guardedFunction<fnRpad>);
    registerHierarchyFunctions(db);
    // Oracle's functions and format models (TO_CHAR, TO_DATE, ROUND, MOD,
    // ...) are registered from functions/ by registerEngineFunctions.
}

}  // namespace localengine::functions
