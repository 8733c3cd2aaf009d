#include "Keywords.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace localengine::dialect {

namespace {

// Sorted, for binary search.
constexpr std::array<std::string_view, 129> kAliasEnders = {
    "ACCESS",    "ADD",        "ALL",       "ALTER",   "AND",      "ANY",        "AS",
    "ASC",       "AUDIT",      "BETWEEN",   "BY",      "CHAR",     "CHECK",      "CLUSTER",
    "COLUMN",    "COMMENT",    "COMPRESS",  "CONNECT", "CREATE",   "CROSS",      "CURRENT",
    "DATE",      "DECIMAL",    "DEFAULT",   "DELETE",  "DESC",     "DISTINCT",   "DROP",
    "ELSE",      "EXCEPT",     "EXCLUSIVE", "EXISTS",  "FETCH",    "FILE",       "FLOAT",
    "FOR",       "FROM",       "FULL",      "GRANT",   "GROUP",    "HAVING",     "IDENTIFIED",
    "IMMEDIATE", "IN",         "INCREMENT", "INDEX",   "INITIAL",  "INNER",      "INSERT",
    "INTEGER",   "INTERSECT",  "INTO",      "IS",      "JOIN",     "LATERAL",    "LEFT",
    "LEVEL",     "LIKE",       "LIMIT",     "LOCK",    "LONG",     "MAXEXTENTS", "MINUS",
    "MLSLABEL",  "MODE",       "MODEL",     "MODIFY",  "NATURAL",  "NOAUDIT",    "NOCOMPRESS",
    "NOT",       "NOWAIT",     "NULL",      "NUMBER",  "OF",       "OFFLINE",    "OFFSET",
    "ON",        "ONLINE",     "OPTION",    "OR",      "ORDER",    "OUTER",      "PARTITION",
    "PCTFREE",   "PIVOT",      "PRIOR",     "PUBLIC",  "RAW",      "RENAME",     "RESOURCE",
    "RETURNING", "REVOKE",     "RIGHT",     "ROW",     "ROWID",    "ROWNUM",     "ROWS",
    "SAMPLE",    "SELECT",     "SESSION",   "SET",     "SHARE",    "SIZE",       "SMALLINT",
    "START",     "SUCCESSFUL", "SYNONYM",   "SYSDATE", "TABLE",    "THEN",       "TO",
    "TRIGGER",   "UID",        "UNION",     "UNIQUE",  "UNPIVOT",  "UPDATE",     "USER",
    "USING",     "VALIDATE",   "VALUES",    "VARCHAR", "VARCHAR2", "VIEW",       "WHENEVER",
    "WHERE",     "WINDOW",     "WITH"};

constexpr std::array<std::string_view, 27> kNotExpressionStarts = {
    "AND",  "AS",    "ASC",    "BETWEEN", "BY",        "CONNECT", "DESC",   "DISTINCT", "ELSE",
    "FROM", "GROUP", "HAVING", "IN",      "INTERSECT", "INTO",    "IS",     "LIKE",     "MINUS",
    "ON",   "OR",    "ORDER",  "SET",     "THEN",      "UNION",   "VALUES", "WHEN",     "WHERE"};

bool contains(const auto& sorted, const Token& t) {
    if (t.kind != TokenKind::Name || t.text.size() > 12)
        return false;
    const std::string upper = upperAscii(t.text);
    return std::binary_search(sorted.begin(), sorted.end(), std::string_view(upper));
}

}  // namespace

bool endsAlias(const Token& t) {
    return contains(kAliasEnders, t);
}

bool cannotStartExpression(const Token& t) {
    return contains(kNotExpressionStarts, t);
}

}  // namespace localengine::dialect
