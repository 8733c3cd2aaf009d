#include "Types.h"

#include "Lexer.h"

namespace localengine::dialect {

namespace {

bool has(const std::string& upper, const char* part) {
    return upper.find(part) != std::string::npos;
}

bool startsWith(const std::string& upper, const char* prefix) {
    return upper.rfind(prefix, 0) == 0;
}

}  // namespace

// Oracle's names first; what remains is read by SQLite's affinity rules
// (a name with INT is a number, with CHAR, CLOB or TEXT text, with BLOB a
// blob, with REAL, FLOA or DOUB a number).
OracleType typeOfDeclared(std::string_view declared) {
    const std::string t = upperAscii(declared);
    if (t.empty())
        return OracleType::Unknown;
    if (startsWith(t, "DATE"))
        return OracleType::Date;
    if (startsWith(t, "TIMESTAMP"))
        return OracleType::Timestamp;
    if (startsWith(t, "INTERVAL"))
        return OracleType::Interval;
    if (startsWith(t, "LONG RAW") || startsWith(t, "RAW") || has(t, "BLOB") ||
        startsWith(t, "BFILE"))
        return OracleType::Blob;
    if (has(t, "CLOB") || startsWith(t, "LONG"))
        return OracleType::Clob;
    if (startsWith(t, "NUMBER") || startsWith(t, "BINARY_") || startsWith(t, "DECIMAL") ||
        startsWith(t, "NUMERIC") || startsWith(t, "FLOAT") || has(t, "INT") || has(t, "REAL") ||
        has(t, "DOUB") || has(t, "FLOA") || startsWith(t, "DEC"))
        return OracleType::Number;
    if (startsWith(t, "ROWID") || startsWith(t, "UROWID"))
        return OracleType::Rowid;
    if (startsWith(t, "CHAR") || startsWith(t, "NCHAR") || startsWith(t, "CHARACTER") ||
        startsWith(t, "NATIONAL CHAR"))
        return has(t, "VARYING") ? OracleType::Varchar2 : OracleType::Char;
    if (has(t, "CHAR") || has(t, "TEXT") || has(t, "CLOB") || startsWith(t, "STRING"))
        return OracleType::Varchar2;
    if (startsWith(t, "BOOLEAN"))
        return OracleType::Boolean;
    return OracleType::Unknown;
}

const char* typeName(OracleType type) {
    switch (type) {
        case OracleType::Number:
            return "NUMBER";
        case OracleType::Varchar2:
            return "VARCHAR2";
        case OracleType::Char:
            return "CHAR";
        case OracleType::Date:
            return "DATE";
        case OracleType::Timestamp:
            return "TIMESTAMP";
        case OracleType::Interval:
            return "INTERVAL";
        case OracleType::Clob:
            return "CLOB";
        case OracleType::Blob:
            return "BLOB";
        case OracleType::Rowid:
            return "ROWID";
        case OracleType::Boolean:
            return "BOOLEAN";
        case OracleType::Unknown:
            break;
    }
    return "UNKNOWN";
}

bool isCharacter(OracleType type) {
    return type == OracleType::Varchar2 || type == OracleType::Char || type == OracleType::Clob;
}

bool isDatetime(OracleType type) {
    return type == OracleType::Date || type == OracleType::Timestamp;
}

}  // namespace localengine::dialect
