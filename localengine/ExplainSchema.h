#pragma once
// The schema facts the plan mapping needs, read from a live SQLite
// database on demand (sqlite_schema, index pragmas, sqlite_stat1). One
// instance serves one EXPLAIN PLAN, so nothing it remembers can go stale.

#include <map>
#include <memory>

#include "ExplainMapper.h"

struct sqlite3;
struct sqlite3_stmt;

namespace localengine::explain {

class SqliteSchema : public SchemaLookup {
public:
    explicit SqliteSchema(sqlite3* db);
    ~SqliteSchema() override;
    SqliteSchema(const SqliteSchema&) = delete;
    SqliteSchema& operator=(const SqliteSchema&) = delete;

    std::optional<TableInfo> table(const std::string& name) const override;
    std::optional<IndexInfo> index(const std::string& name) const override;
    std::optional<IndexInfo> primaryKeyIndex(const std::string& table) const override;
    bool hasStatistics() const override;
    std::optional<double> tableRows(const std::string& table) const override;
    std::optional<double> rowsPerKey(const std::string& index, int columns) const override;

private:
    sqlite3_stmt* prepared(int which, const char* sql) const;
    void loadStatistics() const;

    sqlite3* m_db;
    mutable sqlite3_stmt* m_stmts[4] = {nullptr, nullptr, nullptr, nullptr};
    mutable std::map<std::string, std::optional<TableInfo>> m_tables;
    mutable std::map<std::string, std::optional<IndexInfo>> m_indexes;
    mutable std::map<std::string, std::optional<IndexInfo>> m_primaryKeys;
    mutable bool m_statsLoaded = false;
    mutable StaticSchema m_stats;  // holds the statistics only
};

}  // namespace localengine::explain
