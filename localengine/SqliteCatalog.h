#pragma once
// The front end's view of a connection's schema: tables and views of the
// temporary and main databases, with their columns and declared types,
// read from SQLite on first use and kept until the schema changes.

#include "dialect/Catalog.h"
#include "sqlite/Statement.h"

#include <map>
#include <memory>
#include <string>

struct sqlite3;

namespace localengine {

class SqliteCatalog final : public dialect::Catalog {
public:
    explicit SqliteCatalog(sqlite3* db) : m_db(db) {}

    std::shared_ptr<const dialect::TableInfo> findTable(const std::string& name) const override;

    // Forgets what was read: to be called when the schema changed.
    void clear() { m_tables.clear(); }

private:
    std::shared_ptr<const dialect::TableInfo> read(const std::string& name) const;

    sqlite3* m_db;
    // By upper-case name; null for a name that names nothing.
    mutable std::map<std::string, std::shared_ptr<const dialect::TableInfo>> m_tables;
    mutable sqlite::Statement m_kind;
    mutable sqlite::Statement m_columns;
};

}  // namespace localengine
