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

bool isCharacter(OracleType type);  // VARCHAR2, CHAR or CLOB
bool isDatetime(OracleType type);   // DATE or TIMESTAMP

}  // namespace localengine::dialect
