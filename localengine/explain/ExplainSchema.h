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
#include <memory>
#include <optional>
#include <set>

#include "explain/ExplainMapper.h"
#include "schema/SchemaReader.h"
#include "schema/Statistics.h"

namespace localengine::sqlite {
class StatementCache;
}

namespace localengine::explain {

class SqliteSchema : public SchemaLookup {
public:
    // `statistics` as read for this explain. What the connection keeps is
    // used as it is: call synchronise() first.
    SqliteSchema(sqlite3* db, std::shared_ptr<const schema::Statistics> statistics);

    // Drops what the connection keeps of tables whose definition or rows
    // changed since the last call. Returns a number that changes whenever
    // something kept was dropped (a mapping made with it is out of date).
    // `statements`, when given (the connection's, on `db`), serves the
    // statements it asks.
    static long long synchronise(sqlite3* db, sqlite::StatementCache* statements = nullptr);

    std::optional<TableInfo> table(const std::string& name) const override;
    std::optional<IndexInfo> index(const std::string& name) const override;
    std::optional<IndexInfo> primaryKeyIndex(const std::string& table) const override;
    std::optional<IndexInfo> rowidKeyIndex(const std::string& table) const override;
    std::string primaryKeyName(const std::string& table,
                               const std::vector<std::string>& columns) const override;
    std::string rowidAlias(const std::string& table) const override;
    bool hasStatistics() const override { return !m_statistics->empty(); }
    std::optional<double> tableRows(const std::string& table) const override {
        return m_statistics->tableRows(table);
    }
    std::optional<double> rowsPerKey(const std::string& index, int columns) const override {
        return m_statistics->rowsPerKey(index, columns);
    }
    // Estimated once per table and kept until the table's rows change.
    const schema::TableEstimate* estimate(const std::string& table) const override;

    // sqlite_stat1 as one text (schema::Statistics::readSource) and parsed.
    struct StatisticsRead {
        std::string source;
        std::shared_ptr<const schema::Statistics> parsed;
    };
    // The statistics of `db`, read again only when they may have changed:
    // after a statement that may write ran on the handle (noteWrite: ANALYZE
    // writes sqlite_stat1 without counting changes or calling the update
    // hook), another connection wrote (data_version) or the schema changed.
    // Kept only for a caller with `statements`: a connection, which tells
    // noteWrite of every statement it runs that may write. Call
    // synchronise() first.
    static std::shared_ptr<const StatisticsRead> statistics(sqlite3* db,
                                                            sqlite::StatementCache* statements);
    // Tells the explains on `db` that a statement that may write is about
    // to run on it.
    static void noteWrite(sqlite3* db);

    // Which tables' rows changed since the last explain on a connection:
    // SQLite's update hook names each table a row of which is written; the
    // connection's change counter tells whether the hook saw every change
    // (it misses WITHOUT ROWID tables and a DELETE that empties a table in
    // one step), and data_version whether another connection wrote.
    struct DataWatch {
        long long totalChanges = -1;
        long long dataVersion = -1;
        long long seen = 0;            // rows the hook was told of
        std::set<std::string> tables;  // upper-case names of the tables written
        std::string lastTable;         // the last name told, to skip repeats cheaply
    };

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
        std::map<std::string, std::optional<IndexInfo>> rowidKeys;
        std::map<std::string, std::optional<schema::TableEstimate>> estimates;
        DataWatch watch;           // kept when the schema changes
        long long generation = 0;  // counts the times something kept was dropped
        long long writes = 0;      // statements that may have written (noteWrite)
        std::shared_ptr<const StatisticsRead> statistics;  // as last read
        long long statisticsWrites = -1;                   // `writes` when read
        long long statisticsDataVersion = -1;              // data_version when read
    };

private:
    void loadObjects() const;
    const std::vector<schema::IndexDef>& indexesOf(const std::string& table) const;
    std::optional<IndexInfo> indexInfo(const std::string& table, const schema::IndexDef& def) const;

    std::shared_ptr<const schema::Statistics> m_statistics;  // never null
    sqlite3* m_db;
    mutable schema::SchemaReader m_reader;
    Cache* m_cache;  // the connection's, or m_own when it has none
    mutable Cache m_own;
};

}  // namespace localengine::explain
