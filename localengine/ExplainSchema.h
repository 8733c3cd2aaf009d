#pragma once
// The schema facts the plan mapping needs, read from a live SQLite
// database: sqlite_schema in one pass, index details from the index pragmas
// for the indexes a plan names, statistics from sqlite_stat1.
//
// Schema facts are kept per database connection between explains and
// dropped as soon as the schema version changes (any CREATE, DROP or ALTER)
// or the connection closes; statistics are read afresh by every instance.

#include <map>

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
    std::string rowidAlias(const std::string& table) const override;
    bool hasStatistics() const override;
    std::optional<double> tableRows(const std::string& table) const override;
    std::optional<double> rowsPerKey(const std::string& index, int columns) const override;

    struct SchemaEntry {
        std::string type, name, table, sql;
    };
    struct Cache {
        int schemaVersion = -1;
        bool loaded = false;
        std::map<std::string, SchemaEntry> entries;  // upper name -> entry
        std::map<std::string, std::optional<TableInfo>> tables;
        std::map<std::string, std::optional<IndexInfo>> indexes;
        std::map<std::string, std::optional<IndexInfo>> primaryKeys;
        std::map<std::string, std::string> rowidAliases;
    };

private:
    void loadSchema() const;
    void loadStatistics() const;
    std::optional<IndexInfo> readIndex(const std::string& table, const std::string& index,
                                       bool primaryKey) const;

    sqlite3* m_db;
    mutable sqlite3_stmt* m_indexStmt = nullptr;
    Cache* m_cache;  // the connection's, or m_own when it has none
    mutable Cache m_own;
    mutable bool m_statsLoaded = false;
    mutable StaticSchema m_stats;  // holds the statistics only
};

}  // namespace localengine::explain
