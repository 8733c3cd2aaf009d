#pragma once
// The schema facts the plan mapping needs, from a live SQLite database:
// what the schema reader gives (sqlite_schema, a table's columns and its
// indexes), read as the mapping asks for them, and the statistics read for
// the explain at hand.
//
// Schema facts are kept per database connection between explains and
// dropped as soon as the schema version changes (any CREATE, DROP or ALTER)
// or the connection closes.

#include <map>
#include <optional>

#include "explain/ExplainMapper.h"
#include "schema/SchemaReader.h"
#include "schema/Statistics.h"

namespace localengine::sqlite {
class StatementCache;
}

namespace localengine::explain {

class SqliteSchema : public SchemaLookup {
public:
    // `statistics` as read for this explain; `statements`, when given (the
    // connection's, on `db`), serves the statements asked often.
    SqliteSchema(sqlite3* db, schema::Statistics statistics,
                 sqlite::StatementCache* statements = nullptr);

    std::optional<TableInfo> table(const std::string& name) const override;
    std::optional<IndexInfo> index(const std::string& name) const override;
    std::optional<IndexInfo> primaryKeyIndex(const std::string& table) const override;
    std::string rowidAlias(const std::string& table) const override;
    bool hasStatistics() const override { return !m_statistics.empty(); }
    std::optional<double> tableRows(const std::string& table) const override {
        return m_statistics.tableRows(table);
    }
    std::optional<double> rowsPerKey(const std::string& index, int columns) const override {
        return m_statistics.rowsPerKey(index, columns);
    }

    // What is kept of one connection's schema (upper-case names as keys).
    struct Cache {
        int schemaVersion = -1;
        bool loaded = false;
        std::map<std::string, schema::SchemaObject> objects;
        std::map<std::string, std::optional<TableInfo>> tables;
        std::map<std::string, std::vector<schema::IndexDef>> indexesByTable;
        std::map<std::string, std::optional<IndexInfo>> indexes;
        std::map<std::string, std::optional<IndexInfo>> primaryKeys;
        std::map<std::string, std::string> rowidAliases;
    };

private:
    void loadObjects() const;
    const std::vector<schema::IndexDef>& indexesOf(const std::string& table) const;
    std::optional<IndexInfo> indexInfo(const std::string& table, const schema::IndexDef& def) const;

    schema::Statistics m_statistics;
    mutable schema::SchemaReader m_reader;
    Cache* m_cache;  // the connection's, or m_own when it has none
    mutable Cache m_own;
};

}  // namespace localengine::explain
