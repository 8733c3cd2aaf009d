#pragma once
// The one reader of a database's schema: the objects of sqlite_schema and,
// per table, its columns and its indexes with their key columns, of the
// main database; and, for the front end's catalog, a table or view found
// as SQLite's name resolution finds it (temporary, then main). The
// dictionary views, the plan's schema lookups and the front end's catalog
// are all filled from it. A reader keeps its prepared statements for its
// own lifetime.

#include <optional>
#include <string>
#include <vector>

#include "sqlite/Statement.h"

namespace localengine::schema {

// One row of sqlite_schema.
struct SchemaObject {
    std::string type;   // table, view, index or trigger
    std::string name;   // as spelled in the schema
    std::string table;  // tbl_name: the table an index or trigger belongs to
    std::string sql;    // the CREATE statement (empty for automatic indexes)
};

struct ColumnDef {
    std::string name;  // as spelled in the schema
    std::string declaredType;
    std::string defaultValue;  // the DEFAULT text; empty when none
    bool notNull = false;
    int primaryKeyPosition = 0;  // 1-based position in the primary key, 0 when not in it
};

struct IndexColumn {
    std::string name;  // empty for an expression
    bool descending = false;
    bool expression = false;
};

struct IndexDef {
    std::string name;  // as spelled in the schema (sqlite_autoindex_... for a constraint's)
    bool unique = false;
    std::string origin;                // "c" (CREATE INDEX), "u" (UNIQUE constraint), "pk"
    std::vector<IndexColumn> columns;  // key columns in key order
};

// A table or view as SQLite's name resolution finds it.
struct TableEntry {
    std::string schema;  // "temp" or "main" (or an attached database's name)
    std::string type;    // table, view, virtual or shadow
    bool withoutRowid = false;
};

class SchemaReader {
public:
    explicit SchemaReader(sqlite3* db) : m_db(db) {}

    sqlite3* db() const { return m_db; }

    // Every row of sqlite_schema, in the order SQLite lists them.
    std::vector<SchemaObject> objects();

    // The columns of a table or view in their declared order.
    std::vector<ColumnDef> columns(const std::string& table);

    // The indexes of a table, ordered by name regardless of case; a
    // WITHOUT ROWID table's primary key index included.
    std::vector<IndexDef> indexes(const std::string& table);

    // The first table or view of that name (ASCII case ignored) in the
    // temporary database, then the main one, then any other.
    std::optional<TableEntry> findTable(const std::string& name);

    // The columns a query of `schemaName`.`table` sees, in their declared
    // order: generated columns included, a virtual table's hidden ones not.
    std::vector<ColumnDef> visibleColumns(const std::string& table, const std::string& schemaName);

private:
    sqlite3* m_db;
    sqlite::Statement m_columns;
    sqlite::Statement m_indexes;
    sqlite::Statement m_tableList;
    sqlite::Statement m_visibleColumns;
};

// The INTEGER PRIMARY KEY column among `columns` (SQLite's alias of the
// rowid): the one primary key column, declared INTEGER. Empty when none.
// Only a rowid table has one.
std::string rowidAliasOf(const std::vector<ColumnDef>& columns);

// True when a CREATE TABLE text ends with WITHOUT ROWID (after its closing
// parenthesis, possibly with STRICT beside it).
bool isWithoutRowid(const std::string& createTableSql);

}  // namespace localengine::schema
