// The ORA_STORE_ functions the front end wraps around values written into
// typed columns (Storage.h):
//   ORA_STORE_NUMBER(value, precision, scale)    NUMBER(p,s), INTEGER, DECIMAL(p,s)
//   ORA_STORE_FLOAT(value, digits)               FLOAT(b), as decimal digits
//   ORA_STORE_TEXT(value, length, flags, name)   VARCHAR2(n), CHAR(n) ...; flags:
//       1 length in characters, 2 blank-padded; name "OWNER"."TABLE"."COLUMN";
//       for CAST(value AS VARCHAR2(n) ...) 4: longer text is cut to the
//       length, 8: a value too long is ORA-25137 (numbers always are)
// Text is converted to a number as Oracle converts it (ORA-01722), a
// number to text as TO_CHAR writes it. NULL stays NULL.

#include "SqliteGlue.h"
#include "Storage.h"

#include <algorithm>

namespace localengine::functions::glue {

namespace {

// Flags beyond the column's: the value is CAST, not stored.
constexpr std::int64_t kCastTruncates = 4;  // cut text to the length
constexpr std::int64_t kCastRefuses = 8;    // the text of a number or datetime: ORA-25137

int smallInteger(sqlite3_value* v) {
    return static_cast<int>(std::clamp<std::int64_t>(integer(v), -1000, 1000));
}

void storeNumberFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, storedNumber(number(argv[0]), smallInteger(argv[1]), smallInteger(argv[2])));
}

void storeFloatFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, storedFloat(number(argv[0]), smallInteger(argv[1])));
}

void storeTextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t flags = integer(argv[2]);
    TextColumn column;
    column.length = static_cast<std::size_t>(std::max<std::int64_t>(0, integer(argv[1])));
    column.inCharacters = (flags & 1) != 0;
    column.padded = (flags & 2) != 0;
    const unsigned char* name = sqlite3_value_text(argv[3]);
    column.name = name ? reinterpret_cast<const char*>(name) : "";
    if ((flags & (kCastTruncates | kCastRefuses)) != 0) {
        // CAST: text is cut to the length; the text of a number is refused.
        const bool refuse = (flags & kCastRefuses) != 0 ||
                            sqlite3_value_type(argv[0]) == SQLITE_INTEGER ||
                            sqlite3_value_type(argv[0]) == SQLITE_FLOAT;
        if (column.padded && column.length > lengthLimit(ctx))
            throw std::length_error("CHAR length");
        result(ctx, castText(text(argv[0]), column, refuse));
        return;
    }
    // Text that is kept as it is goes back as SQLite's own value, uncopied.
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const std::string_view value(bytes ? bytes : "",
                                     static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
        if (!value.empty()) {
            const std::size_t actual = checkedLength(value, column);
            if (!column.padded || actual == column.length) {
                sqlite3_result_value(ctx, argv[0]);
                return;
            }
        }
    }
    if (column.padded && column.length > lengthLimit(ctx))
        throw std::length_error("CHAR length");
    result(ctx, storedText(text(argv[0]), column));
}

}  // namespace

bool registerStorageFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    return addScalar(db, s, "ORA_STORE_NUMBER", 3, nullIn<storeNumberFn>) &&
           addScalar(db, s, "ORA_STORE_FLOAT", 2, nullIn<storeFloatFn>) &&
           addScalar(db, s, "ORA_STORE_TEXT", 4, nullIn<storeTextFn>);
}

}  // namespace localengine::functions::glue
