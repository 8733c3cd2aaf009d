// RAW and LOB values: the SQL functions HEXTORAW, RAWTOHEX, TO_CLOB,
// TO_NCLOB, TO_BLOB, EMPTY_CLOB and EMPTY_BLOB, and the package functions
// users call on them, registered under names the front end writes for
// them (DBMS_LOB.GETLENGTH as ORA_DBMS_LOB_GETLENGTH):
//   UTL_RAW.CAST_TO_RAW, CAST_TO_VARCHAR2, LENGTH, CONCAT
//   DBMS_LOB.GETLENGTH, SUBSTR, INSTR
// A RAW or BLOB is a SQLite blob; a CLOB is text. Where Oracle expects a
// RAW and gets character data it reads the text as hexadecimal digits
// (its implicit conversion, ORA-01465 for anything else).

#include "SqliteGlue.h"

#include <algorithm>
#include <string_view>

namespace localengine::functions::glue {

namespace {

namespace code {
constexpr int kInvalidHex = 1465;  // invalid hex number
}  // namespace code

using Bytes = std::string;  // a RAW value's bytes

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Hexadecimal digits as bytes; an odd count reads as if led by a zero.
Bytes fromHex(std::string_view hex) {
    Bytes out;
    out.reserve(hex.size() / 2 + 1);
    std::size_t i = 0;
    int high = -1;
    if (hex.size() % 2 == 1)
        high = 0;
    for (; i < hex.size(); ++i) {
        const int d = hexDigit(hex[i]);
        if (d < 0)
            raise(code::kInvalidHex);
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<char>((high << 4) | d));
            high = -1;
        }
    }
    return out;
}

std::string toHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

bool isBlob(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_BLOB;
}

Bytes blobBytes(sqlite3_value* v) {
    const void* data = sqlite3_value_blob(v);
    const int size = sqlite3_value_bytes(v);
    if (!data || size <= 0)
        return {};
    return Bytes(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// An argument Oracle declares RAW: a blob as it is, anything else as the
// hexadecimal digits of its text.
Bytes rawArgument(sqlite3_value* v) {
    if (isBlob(v))
        return blobBytes(v);
    return fromHex(text(v));
}

// A RAW result; Oracle has no empty RAW, so no bytes is NULL.
void resultRaw(sqlite3_context* ctx, const Bytes& bytes) {
    if (bytes.empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    if (bytes.size() > lengthLimit(ctx)) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

void hextorawFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultRaw(ctx, rawArgument(argv[0]));
}

// Character data gives the hexadecimal digits of its bytes, as SQL's
// RAWTOHEX does with a VARCHAR2.
void rawtohexFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        throw Unsupported("RAWTOHEX of a number (the bytes of Oracle's internal NUMBER form)");
    result(ctx, Text(toHex(isBlob(argv[0]) ? blobBytes(argv[0]) : text(argv[0]))));
}

// TO_CLOB and TO_NCLOB: character data stays as it is. Binary data would
// need a character set conversion, which the engine does not do.
void toClobFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isBlob(argv[0]))
        throw Unsupported("TO_CLOB of a BLOB or RAW (a character set conversion)");
    result(ctx, Text(text(argv[0])));
}

void toBlobFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultRaw(ctx, rawArgument(argv[0]));
}

// An empty LOB is not NULL: a text or blob of length zero.
void emptyClobFn(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}
void emptyBlobFn(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_zeroblob(ctx, 0);
}

// UTL_RAW.CAST_TO_RAW: the bytes of the text, unchanged.
void castToRawFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultRaw(ctx, isBlob(argv[0]) ? blobBytes(argv[0]) : text(argv[0]));
}

// UTL_RAW.CAST_TO_VARCHAR2: the bytes as text, unchanged.
void castToVarchar2Fn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Text(rawArgument(argv[0])));
}

void rawLengthFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Number::of(static_cast<std::int64_t>(rawArgument(argv[0]).size())));
}

// UTL_RAW.CONCAT(r1, ... r12): NULL arguments add nothing; all NULL is NULL.
void rawConcatFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Bytes out;
    for (int i = 0; i < argc; ++i)
        if (!isNull(argv[i]))
            out += rawArgument(argv[i]);
    resultRaw(ctx, out);
}

// DBMS_LOB.GETLENGTH: bytes of a BLOB, characters of a CLOB; 0 for an
// empty LOB.
void lobLengthFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t length = isBlob(argv[0])
                                    ? std::int64_t{sqlite3_value_bytes(argv[0])}
                                    : static_cast<std::int64_t>(charLength(text(argv[0])));
    result(ctx, Number::of(length));
}

constexpr std::int64_t kMaxAmount = 32767;

// DBMS_LOB.SUBSTR(lob, amount = 32767, offset = 1): note the order of
// amount and offset. NULL for an amount outside 1..32767, an offset
// below 1, or nothing at the offset.
void lobSubstrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::int64_t amount = argc > 1 ? integer(argv[1]) : kMaxAmount;
    const std::int64_t offset = argc > 2 ? integer(argv[2]) : 1;
    if (amount < 1 || amount > kMaxAmount || offset < 1) {
        sqlite3_result_null(ctx);
        return;
    }
    if (isBlob(argv[0])) {
        const Bytes bytes = blobBytes(argv[0]);
        const auto start = static_cast<std::size_t>(offset - 1);
        resultRaw(ctx, start < bytes.size() ? bytes.substr(start, static_cast<std::size_t>(amount))
                                            : Bytes());
        return;
    }
    result(ctx, substr(text(argv[0]), offset, amount));
}

// DBMS_LOB.INSTR(lob, pattern, offset = 1, nth = 1): 0 when not found,
// NULL for an offset or nth below 1.
void lobInstrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::int64_t offset = argc > 2 ? integer(argv[2]) : 1;
    const std::int64_t nth = argc > 3 ? integer(argv[3]) : 1;
    if (offset < 1 || nth < 1) {
        sqlite3_result_null(ctx);
        return;
    }
    if (!isBlob(argv[0])) {
        result(ctx, Number::of(instr(text(argv[0]), text(argv[1]), offset, nth)));
        return;
    }
    const Bytes lob = blobBytes(argv[0]);
    const Bytes pattern = rawArgument(argv[1]);
    std::int64_t found = 0;
    if (!pattern.empty()) {
        std::size_t from = static_cast<std::size_t>(offset - 1);
        for (std::int64_t n = 0; n < nth && from <= lob.size(); ++n) {
            const std::size_t at = lob.find(pattern, from);
            if (at == Bytes::npos) {
                found = 0;
                break;
            }
            found = static_cast<std::int64_t>(at) + 1;
            from = at + 1;
        }
    }
    result(ctx, Number::of(found));
}

}  // namespace

bool registerLobFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    struct Entry {
        const char* name;
        int args;
        ScalarFn fn;
    };
    const Entry entries[] = {
        {"HEXTORAW", 1, nullIn<hextorawFn>},
        {"RAWTOHEX", 1, nullIn<rawtohexFn>},
        {"TO_CLOB", 1, nullIn<toClobFn>},
        {"TO_NCLOB", 1, nullIn<toClobFn>},
        {"TO_BLOB", 1, nullIn<toBlobFn>},
        {"EMPTY_CLOB", 0, guarded<emptyClobFn>},
        {"EMPTY_BLOB", 0, guarded<emptyBlobFn>},
        {"ORA_UTL_RAW_CAST_TO_RAW", 1, nullIn<castToRawFn>},
        {"ORA_UTL_RAW_CAST_TO_VARCHAR2", 1, nullIn<castToVarchar2Fn>},
        {"ORA_UTL_RAW_LENGTH", 1, nullIn<rawLengthFn>},
        {"ORA_DBMS_LOB_GETLENGTH", 1, nullIn<lobLengthFn>},
        {"ORA_DBMS_LOB_SUBSTR", 1, nullIn<lobSubstrFn>},
        {"ORA_DBMS_LOB_SUBSTR", 2, nullIn<lobSubstrFn>},
        {"ORA_DBMS_LOB_SUBSTR", 3, nullIn<lobSubstrFn>},
        {"ORA_DBMS_LOB_INSTR", 2, nullIn<lobInstrFn>},
        {"ORA_DBMS_LOB_INSTR", 3, nullIn<lobInstrFn>},
        {"ORA_DBMS_LOB_INSTR", 4, nullIn<lobInstrFn>},
    };
    for (const Entry& e : entries)
        if (!addScalar(db, s, e.name, e.args, e.fn))
            return false;
    // UTL_RAW.CONCAT takes one to twelve RAW values.
    for (int args = 1; args <= 12; ++args)
        if (!addScalar(db, s, "ORA_UTL_RAW_CONCAT", args, guarded<rawConcatFn>))
            return false;
    return true;
}

}  // namespace localengine::functions::glue
