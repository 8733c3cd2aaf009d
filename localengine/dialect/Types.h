#pragma once
// Oracle's data types as the binder assigns them to expressions, and the
// reading of a declared column type ("VARCHAR2(30)", "NUMBER(8,2)", or
// SQLite's own "TEXT", "INTEGER") as one of them.

#include <string_view>

namespace localengine::dialect {

enum class OracleType {
    Unknown,    // not known (a bind parameter, NULL, a function the binder does not know)
    Number,     // NUMBER, INTEGER, FLOAT, BINARY_DOUBLE ...
    Varchar2,   // VARCHAR2, NVARCHAR2, VARCHAR
    Char,       // CHAR, NCHAR, and text literals
    Date,       // DATE
    Timestamp,  // TIMESTAMP [WITH [LOCAL] TIME ZONE]
    Interval,   // INTERVAL YEAR TO MONTH, INTERVAL DAY TO SECOND
    Clob,       // CLOB, NCLOB, LONG
    Blob,       // BLOB, RAW, LONG RAW
    Rowid,      // ROWID
    Boolean     // a condition
};

// The type of a column declared as `declared` (any case). SQLite's names
// and affinity rules fill in for names Oracle does not have.
OracleType typeOfDeclared(std::string_view declared);

const char* typeName(OracleType type);

// What a column of a declared type does with a value written into it, as
// Oracle's type rules say (ANSI names read as Oracle records them: INTEGER
// is NUMBER(38), DECIMAL(p,s) NUMBER(p,s), REAL FLOAT(63) ...). Names that
// are not Oracle's (SQLite's TEXT, BIGINT, ...) keep values as they come.
struct ColumnStorage {
    enum class Kind {
        AsIs,         // no rule of its own (NUMBER, CLOB, TEXT, DATE, ...)
        FixedNumber,  // NUMBER(p[,s]): `precision`, `scale`
        FloatNumber,  // FLOAT(b): `precision` decimal significant digits
        Text,         // VARCHAR2(n), CHAR(n) ...: `length`, `inCharacters`, `padded`
    };
    Kind kind = Kind::AsIs;
    int precision = 0;
    int scale = 0;
    int length = 0;
    bool inCharacters = false;  // CHAR length semantics, NCHAR, NVARCHAR2
    bool padded = false;        // CHAR, NCHAR: blank-padded to `length`
};

ColumnStorage storageOfDeclared(std::string_view declared);

// True when every value a column stored by `source` holds is one `target`
// keeps unchanged (NUMBER(4) into NUMBER(6,2), VARCHAR2(10) into
// VARCHAR2(20), CHAR(3) into CHAR(3)), so a copy needs no storing.
bool storageCovers(const ColumnStorage& source, const ColumnStorage& target);

bool isCharacter(OracleType type);  // VARCHAR2, CHAR or CLOB
bool isDatetime(OracleType type);   // DATE or TIMESTAMP

}  // namespace localengine::dialect
