#include "explain/ExplainSchema.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>

#include "schema/Constraints.h"
#include "sqlite/SqliteGuard.h"
#include "sqlite/StatementCache.h"

namespace localengine::explain {

namespace {

using schema::DeclaredConstraint;

// "CREATE VIRTUAL TABLE x USING fts5(...)": the module name.
std::string virtualModule(const std::string& sql) {
    std::string upper = upperName(sql);
    std::size_t p = upper.find(" USING ");
    if (p == std::string::npos)
        return {};
    std::size_t b = p + 7;
    while (b < sql.size() && sql[b] == ' ')
        ++b;
    std::size_t e = b;
    while (e < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[e])) || sql[e] == '_'))
        ++e;
    return sql.substr(b, e - b);
}

// The index SQLite makes for a PRIMARY KEY or UNIQUE constraint is called
// sqlite_autoindex_...; the user knows it by the constraint's name (its own,
// or the one the dictionary views generate for an unnamed constraint).
std::string constraintIndexName(const std::string& table, const std::string& tableSql,
                                const std::string& origin,
                                const std::vector<std::string>& columns) {
    char type = origin == "pk" ? 'P' : origin == "u" ? 'U' : 0;
    if (!type)
        return {};
    std::vector<std::string> upperColumns;
    for (const auto& c : columns)
        upperColumns.push_back(upperName(c));
    for (const DeclaredConstraint& c : schema::declaredConstraints(tableSql)) {
        if (c.type != type)
            continue;
        bool same = type == 'P' || c.columns.size() == upperColumns.size();
        for (std::size_t k = 0; same && type == 'U' && k < c.columns.size(); ++k)
            same = sameName(c.columns[k], upperColumns[k]);
        if (same)
            return c.name.empty() ? schema::generatedConstraintName(upperName(table), type,
                                                                    upperColumns, c.condition)
                                  : c.name;
    }
    return type == 'P' ? schema::generatedConstraintName(upperName(table), type, upperColumns, {})
                       : std::string();
}

// One cache per open connection. Its lifetime is tied to the connection by
// a function registered on it: SQLite destroys the function's data when the
// connection closes, and the cache goes with it, so a later connection at
// the same address never meets an old cache.
// Both live until the process ends (never destroyed): a connection held by
// a static object may close during static destruction and still call
// dropCache.
std::mutex& cacheMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::map<sqlite3*, std::unique_ptr<SqliteSchema::Cache>>& caches() {
    static auto* all = new std::map<sqlite3*, std::unique_ptr<SqliteSchema::Cache>>;
    return *all;
}

// Called by SQLite when the handle closes: nothing may propagate from here.
void dropCache(void* db) noexcept {
    try {
        std::lock_guard<std::mutex> lock(cacheMutex());
        caches().erase(static_cast<sqlite3*>(db));
    } catch (...) {
        // The cache of a closed handle is then kept until the process ends.
    }
}

void cacheTag(sqlite3_context* context, int, sqlite3_value**) {
    sqlite3_result_null(context);
}

// SQLite's update hook: one call per row written, under the connection's
// lock. Nothing may propagate from here.
void rowWritten(void* data, int, const char* database, const char* table, sqlite3_int64) noexcept {
    auto* watch = static_cast<SqliteSchema::DataWatch*>(data);
    ++watch->seen;
    if (!table || watch->lastTable == table || (database && std::strcmp(database, "main") != 0))
        return;
    try {
        watch->lastTable = table;
        watch->tables.insert(upperName(table));
    } catch (...) {
        watch->seen = -1;  // not noted: every estimate is dropped at the next explain
    }
}

SqliteSchema::Cache* connectionCache(sqlite3* db) {
    {
        std::lock_guard<std::mutex> lock(cacheMutex());
        auto it = caches().find(db);
        if (it != caches().end())
            return it->second.get();
    }
    // Not under the lock: registering may destroy an earlier registration,
    // which calls dropCache. Direct-only: no view or trigger stored in a
    // user's file may call it.
    if (sqlite3_create_function_v2(db, "quorvel_explain_schema_cache", 0,
                                   SQLITE_UTF8 | SQLITE_DIRECTONLY, db, guardedFunction<cacheTag>,
                                   nullptr, nullptr, dropCache) != SQLITE_OK)
        return nullptr;
    SqliteSchema::Cache* cache;
    {
        std::lock_guard<std::mutex> lock(cacheMutex());
        auto& slot = caches()[db];
        if (!slot)
            slot = std::make_unique<SqliteSchema::Cache>();
        cache = slot.get();
    }
    sqlite3_update_hook(db, rowWritten, &cache->watch);
    return cache;
}

int schemaVersion(sqlite3* db, sqlite::StatementCache* statements) {
    try {
        sqlite::Statement s = sqlite::statementFor(db, statements, "PRAGMA schema_version");
        return s.step() ? static_cast<int>(s.integer(0)) : -1;
    } catch (const EngineError&) {
        return -1;
    }
}

}  // namespace

SqliteSchema::SqliteSchema(sqlite3* db, std::shared_ptr<const schema::Statistics> statistics)
    : m_statistics(statistics ? std::move(statistics)
                              : std::make_shared<const schema::Statistics>()),
      m_db(db),
      m_reader(db),
      m_cache(connectionCache(db)) {
    if (!m_cache)
        m_cache = &m_own;
}

namespace {

// Drops the estimates of the tables written since the last explain (all
// of them when the watch may have missed a change). True when one was kept.
bool dropChangedEstimates(sqlite3* db, sqlite::StatementCache* statements,
                          SqliteSchema::Cache& cache) {
    SqliteSchema::DataWatch& w = cache.watch;
    long long dataVersion = -1;
    try {
        sqlite::Statement s = sqlite::statementFor(db, statements, "PRAGMA data_version");
        dataVersion = s.step() ? s.integer(0) : -1;
    } catch (const EngineError&) {
    }
    const long long total = sqlite3_total_changes64(db);
    const bool everything = dataVersion < 0 || dataVersion != w.dataVersion || w.seen < 0 ||
                            total - w.totalChanges != w.seen;
    bool dropped = false;
    if (everything) {
        dropped = !cache.estimates.empty();
        cache.estimates.clear();
    } else {
        for (const auto& table : w.tables)
            dropped = cache.estimates.erase(table) > 0 || dropped;
    }
    w.totalChanges = total;
    w.dataVersion = dataVersion;
    w.seen = 0;
    w.tables.clear();
    w.lastTable.clear();
    return dropped;
}

}  // namespace

long long SqliteSchema::synchronise(sqlite3* db, sqlite::StatementCache* statements) {
    Cache* cache = connectionCache(db);
    if (!cache)
        return -1;
    const int version = schemaVersion(db, statements);
    if (version < 0 || version != cache->schemaVersion) {
        DataWatch watch = std::move(cache->watch);
        const long long generation = cache->generation;
        *cache = Cache{};
        cache->watch = std::move(watch);
        cache->generation = generation + 1;
        cache->schemaVersion = version;
    }
    if (dropChangedEstimates(db, statements, *cache))
        ++cache->generation;
    return version < 0 ? -1 : cache->generation;
}

std::shared_ptr<const SqliteSchema::StatisticsRead> SqliteSchema::statistics(
    sqlite3* db, sqlite::StatementCache* statements) {
    auto read = [&] {
        auto r = std::make_shared<StatisticsRead>();
        r->source = schema::Statistics::readSource(db, statements);
        r->parsed =
            std::make_shared<const schema::Statistics>(schema::Statistics::parse(r->source));
        return r;
    };
    // Only a connection's explains (with its statements) keep them: its
    // writes are told through noteWrite, others' are not.
    Cache* cache = statements ? connectionCache(db) : nullptr;
    if (!cache)
        return read();
    const long long dataVersion = cache->watch.dataVersion;
    if (!cache->statistics || dataVersion < 0 || cache->statisticsWrites != cache->writes ||
        cache->statisticsDataVersion != dataVersion) {
        cache->statistics = read();
        cache->statisticsWrites = cache->writes;
        cache->statisticsDataVersion = dataVersion;
    }
    return cache->statistics;
}

void SqliteSchema::noteWrite(sqlite3* db) {
    std::lock_guard<std::mutex> lock(cacheMutex());
    auto it = caches().find(db);
    if (it != caches().end())
        ++it->second->writes;
}

const schema::TableEstimate* SqliteSchema::estimate(const std::string& table) const {
    const std::string key = upperName(table);
    auto cached = m_cache->estimates.find(key);
    if (cached == m_cache->estimates.end()) {
        std::optional<schema::TableEstimate> e;
        auto info = this->table(table);
        if (info && info->kind == TableInfo::Kind::Table) {
            try {
                e = schema::estimateTable(m_db, info->name, m_reader.columns(info->name),
                                          indexesOf(info->name), info->withoutRowid);
            } catch (const EngineError&) {
            }
        }
        cached = m_cache->estimates.emplace(key, std::move(e)).first;
    }
    return cached->second ? &*cached->second : nullptr;
}

std::string SqliteSchema::primaryKeyName(const std::string& table,
                                         const std::vector<std::string>& columns) const {
    if (auto t = this->table(table)) {
        std::string name = constraintIndexName(t->name, t->sql, "pk", columns);
        if (!name.empty())
            return name;
    }
    return SchemaLookup::primaryKeyName(table, columns);
}

std::optional<IndexInfo> SqliteSchema::rowidKeyIndex(const std::string& table) const {
    const std::string key = upperName(table);
    auto cached = m_cache->rowidKeys.find(key);
    if (cached != m_cache->rowidKeys.end())
        return cached->second;
    std::optional<IndexInfo> result = SchemaLookup::rowidKeyIndex(table);
    if (result)
        if (auto t = this->table(table))
            result->table = t->name;
    m_cache->rowidKeys[key] = result;
    return result;
}

void SqliteSchema::loadObjects() const {
    if (m_cache->loaded)
        return;
    m_cache->loaded = true;
    try {
        for (schema::SchemaObject& o : m_reader.objects()) {
            std::string key = upperName(o.name);
            m_cache->objects[key] = std::move(o);
        }
    } catch (const EngineError&) {
        // an unreadable schema: every name stays unknown
    }
}

std::optional<TableInfo> SqliteSchema::table(const std::string& name) const {
    std::string key = upperName(name);
    auto cached = m_cache->tables.find(key);
    if (cached != m_cache->tables.end())
        return cached->second;
    loadObjects();
    auto it = m_cache->objects.find(key);
    if (it == m_cache->objects.end() || (it->second.type != "table" && it->second.type != "view")) {
        m_cache->tables[key] = std::nullopt;
        return std::nullopt;
    }
    const schema::SchemaObject& o = it->second;
    TableInfo t;
    t.name = o.name;
    t.sql = o.sql;
    if (o.type == "view") {
        t.kind = TableInfo::Kind::View;
    } else if (upperName(o.sql.substr(0, 20)) == "CREATE VIRTUAL TABLE") {
        t.kind = TableInfo::Kind::Virtual;
        t.module = virtualModule(o.sql);
    } else {
        t.withoutRowid = schema::isWithoutRowid(o.sql);
    }
    m_cache->tables[key] = t;
    return t;
}

std::string SqliteSchema::rowidAlias(const std::string& table) const {
    std::string key = upperName(table);
    auto cached = m_cache->rowidAliases.find(key);
    if (cached != m_cache->rowidAliases.end())
        return cached->second;
    std::string alias;
    auto info = this->table(table);
    if (info && info->kind == TableInfo::Kind::Table && !info->withoutRowid) {
        try {
            alias = schema::rowidAliasOf(m_reader.columns(info->name));
        } catch (const EngineError&) {
        }
    }
    m_cache->rowidAliases[key] = alias;
    return alias;
}

const std::vector<schema::IndexDef>& SqliteSchema::indexesOf(const std::string& table) const {
    std::string key = upperName(table);
    auto cached = m_cache->indexesByTable.find(key);
    if (cached != m_cache->indexesByTable.end())
        return cached->second;
    std::vector<schema::IndexDef> read;
    try {
        read = m_reader.indexes(table);
    } catch (const EngineError&) {
        // unreadable: the table has no index the plan can name
    }
    return m_cache->indexesByTable.emplace(key, std::move(read)).first->second;
}

std::optional<IndexInfo> SqliteSchema::indexInfo(const std::string& table,
                                                 const schema::IndexDef& def) const {
    IndexInfo i;
    i.name = def.name;
    i.table = table;
    i.unique = def.unique;
    i.primaryKey = def.origin == "pk";
    for (const schema::IndexColumn& c : def.columns)
        i.columns.push_back(c.expression ? std::string("<expr>") : c.name);
    // a primary key's columns are NOT NULL in Oracle whatever SQLite allows
    const std::vector<schema::ColumnDef> columns = m_reader.columns(table);
    i.holdsEveryRow =
        i.primaryKey ||
        std::any_of(def.columns.begin(), def.columns.end(), [&](const schema::IndexColumn& c) {
            for (const auto& col : columns)
                if (!c.expression && sameName(col.name, c.name))
                    return col.notNull || col.primaryKeyPosition > 0;
            return false;
        });
    if (def.origin == "pk" || def.origin == "u")
        if (auto t = this->table(table))
            i.shownName = constraintIndexName(t->name, t->sql, def.origin, i.columns);
    return i;
}

std::optional<IndexInfo> SqliteSchema::index(const std::string& name) const {
    std::string key = upperName(name);
    auto cached = m_cache->indexes.find(key);
    if (cached != m_cache->indexes.end())
        return cached->second;
    loadObjects();
    std::optional<IndexInfo> result;
    auto it = m_cache->objects.find(key);
    if (it != m_cache->objects.end() && it->second.type == "index") {
        const std::string& table = it->second.table;
        for (const schema::IndexDef& def : indexesOf(table))
            if (sameName(def.name, it->second.name))
                result = indexInfo(table, def);
    }
    m_cache->indexes[key] = result;
    return result;
}

std::optional<IndexInfo> SqliteSchema::primaryKeyIndex(const std::string& table) const {
    std::string key = upperName(table);
    auto cached = m_cache->primaryKeys.find(key);
    if (cached != m_cache->primaryKeys.end())
        return cached->second;
    // The primary key index of a WITHOUT ROWID table is not listed in
    // sqlite_schema; the index pragmas know it.
    std::optional<IndexInfo> result;
    if (auto t = this->table(table))
        for (const schema::IndexDef& def : indexesOf(t->name))
            if (def.origin == "pk")
                result = indexInfo(t->name, def);
    m_cache->primaryKeys[key] = result;
    return result;
}

}  // namespace localengine::explain
