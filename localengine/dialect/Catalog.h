#pragma once
// How the front end learns the schema: tables and views with their columns
// and declared types. The engine implements it over SQLite; tests hand the
// binder a MemoryCatalog of made-up tables.

#include "Types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace localengine::dialect {

struct ColumnInfo {
    std::string name;          // as stored ("id", "LAST_NAME")
    std::string declaredType;  // as declared ("VARCHAR2(30)"); empty when none
    OracleType type = OracleType::Unknown;
    bool generatedAlways = false;  // a GENERATED ALWAYS identity column: no value of the user's
};

struct TableInfo {
    enum class Kind { Table, View };
    std::string name;  // as stored
    Kind kind = Kind::Table;
    std::vector<ColumnInfo> columns;
    // A table with SQLite row ids (neither a view nor WITHOUT ROWID), which
    // has no column of its own named ROWID.
    bool hasRowid = false;
    // The INTEGER PRIMARY KEY column that is the row id; empty when none.
    std::string rowidAlias;

    // The column named `name` (compared as SQLite does: ASCII case
    // ignored), or -1.
    int findColumn(std::string_view name) const;
};

class Catalog {
public:
    virtual ~Catalog() = default;

    // The table or view called `name` (as Oracle names it: upper case unless
    // quoted; compared as SQLite does), or null when there is none.
    virtual std::shared_ptr<const TableInfo> findTable(const std::string& name) const = 0;
};

// A catalog held in memory: for tests, and for callers that know their
// tables (names compared ignoring ASCII case).
class MemoryCatalog : public Catalog {
public:
    // Adds a table; each column is "NAME TYPE" (type optional). Types are
    // read with typeOfDeclared.
    MemoryCatalog& table(const std::string& tableName, const std::vector<std::string>& columns,
                         TableInfo::Kind kind = TableInfo::Kind::Table, bool hasRowid = true);
    MemoryCatalog& add(TableInfo info);

    std::shared_ptr<const TableInfo> findTable(const std::string& name) const override;

private:
    std::map<std::string, std::shared_ptr<const TableInfo>> m_tables;  // by upper-case name
};

}  // namespace localengine::dialect
