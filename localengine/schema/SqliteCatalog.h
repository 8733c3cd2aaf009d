#pragma once
// The front end's view of a connection's schema (dialect::Catalog): tables
// and views of the temporary and main databases, with their columns and
// declared types, read through the schema reader on first use and kept
// until the schema changes.

#include "dialect/Catalog.h"
#include "schema/SchemaReader.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

struct sqlite3;

namespace localengine::schema {

class SqliteCatalog final : public dialect::Catalog {
public:
    // `owner` names the user in errors ("SCOTT").
    explicit SqliteCatalog(sqlite3* db, std::string owner = {})
        : m_reader(db), m_owner(std::move(owner)) {}

    std::shared_ptr<const dialect::TableInfo> findTable(const std::string& name) const override;

    // Forgets what was read: to be called when the schema changed.
    void clear() { m_tables.clear(); }

private:
    std::shared_ptr<const dialect::TableInfo> read(const std::string& name) const;

    // Kept for the connection's lifetime: its statements are prepared once.
    mutable SchemaReader m_reader;
    std::string m_owner;
    // By upper-case name; null for a name that names nothing.
    mutable std::map<std::string, std::shared_ptr<const dialect::TableInfo>> m_tables;
};

}  // namespace localengine::schema
