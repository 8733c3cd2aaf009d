#include "ExplainSchema.h"

#include <sqlite3.h>

#include <cctype>
#include <memory>
#include <mutex>

#include "Dictionary.h"
#include "SqliteGuard.h"

namespace localengine::explain {

namespace {

std::string columnText(sqlite3_stmt* s, int i) {
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? reinterpret_cast<const char*>(t) : std::string();
}

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

// True when the CREATE TABLE text ends with WITHOUT ROWID (after its
// closing parenthesis, possibly with STRICT beside it).
bool withoutRowid(const std::string& sql) {
    std::string upper = upperName(sql);
    std::size_t close = upper.rfind(')');
    if (close == std::string::npos)
        return false;
    std::size_t w = upper.find("WITHOUT", close);
    return w != std::string::npos && upper.find("ROWID", w) != std::string::npos;
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
    for (const DeclaredConstraint& c : declaredConstraints(tableSql)) {
        if (c.type != type)
            continue;
        bool same = type == 'P' || c.columns.size() == upperColumns.size();
        for (std::size_t k = 0; same && type == 'U' && k < c.columns.size(); ++k)
            same = sameName(c.columns[k], upperColumns[k]);
        if (same)
            return c.name.empty()
                       ? generatedConstraintName(upperName(table), type, upperColumns, c.condition)
                       : c.name;
    }
    return type == 'P' ? generatedConstraintName(upperName(table), type, upperColumns, {})
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

SqliteSchema::Cache* connectionCache(sqlite3* db) {
    {
        std::lock_guard<std::mutex> lock(cacheMutex());
        auto it = caches().find(db);
        if (it != caches().end())
            return it->second.get();
    }
    // Not under the lock: registering may destroy an earlier registration,
    // which calls dropCache.
    if (sqlite3_create_function_v2(db, "quorvel_explain_schema_cache", 0, SQLITE_UTF8, db,
                                   guardedFunction<cacheTag>, nullptr, nullptr,
                                   dropCache) != SQLITE_OK)
        return nullptr;
    std::lock_guard<std::mutex> lock(cacheMutex());
    auto& slot = caches()[db];
    if (!slot)
        slot = std::make_unique<SqliteSchema::Cache>();
    return slot.get();
}

int schemaVersion(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA schema_version", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    return version;
}

}  // namespace

SqliteSchema::SqliteSchema(sqlite3* db) : m_db(db), m_cache(connectionCache(db)) {
    if (!m_cache) {
        m_cache = &m_own;
        return;
    }
    int version = schemaVersion(db);
    if (version < 0 || version != m_cache->schemaVersion) {
        *m_cache = Cache{};
        m_cache->schemaVersion = version;
    }
}

SqliteSchema::~SqliteSchema() {
    sqlite3_finalize(m_indexStmt);
}

void SqliteSchema::loadSchema() const {
    if (m_cache->loaded)
        return;
    m_cache->loaded = true;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT type, name, tbl_name, sql FROM sqlite_schema", -1, &s,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
            SchemaEntry e{columnText(s, 0), columnText(s, 1), columnText(s, 2), columnText(s, 3)};
            m_cache->entries[upperName(e.name)] = std::move(e);
        }
    }
    sqlite3_finalize(s);
}

std::optional<TableInfo> SqliteSchema::table(const std::string& name) const {
    std::string key = upperName(name);
    auto cached = m_cache->tables.find(key);
    if (cached != m_cache->tables.end())
        return cached->second;
    loadSchema();
    auto it = m_cache->entries.find(key);
    if (it == m_cache->entries.end() || (it->second.type != "table" && it->second.type != "view")) {
        m_cache->tables[key] = std::nullopt;
        return std::nullopt;
    }
    const SchemaEntry& e = it->second;
    TableInfo t;
    t.name = e.name;
    t.sql = e.sql;
    if (e.type == "view") {
        t.kind = TableInfo::Kind::View;
    } else if (upperName(e.sql.substr(0, 20)) == "CREATE VIRTUAL TABLE") {
        t.kind = TableInfo::Kind::Virtual;
        t.module = virtualModule(e.sql);
    } else {
        t.withoutRowid = withoutRowid(e.sql);
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
    sqlite3_stmt* s = nullptr;
    // A rowid alias is the one primary key column declared INTEGER.
    if (info && info->kind == TableInfo::Kind::Table && !info->withoutRowid &&
        sqlite3_prepare_v2(m_db, "SELECT name, type FROM pragma_table_info(?1) WHERE pk > 0", -1,
                           &s, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(s, 1, info->name.c_str(), -1, SQLITE_TRANSIENT);
        int keys = 0;
        std::string column, type;
        while (sqlite3_step(s) == SQLITE_ROW) {
            ++keys;
            column = columnText(s, 0);
            type = columnText(s, 1);
        }
        if (keys == 1 && upperName(type) == "INTEGER")
            alias = column;
    }
    sqlite3_finalize(s);
    m_cache->rowidAliases[key] = alias;
    return alias;
}

std::optional<IndexInfo> SqliteSchema::readIndex(const std::string& table, const std::string& index,
                                                 bool primaryKey) const {
    // One statement serves every index of this plan: the index list of the
    // table, narrowed to one index (or to the primary key's), with its key
    // columns in order.
    if (!m_indexStmt &&
        sqlite3_prepare_v2(m_db,
                           "SELECT il.name, il.\"unique\", il.origin, ii.name "
                           "FROM pragma_index_list(?1) il LEFT JOIN pragma_index_info(il.name) ii "
                           "WHERE (il.name = ?2 COLLATE NOCASE OR (?3 AND il.origin = 'pk')) "
                           "ORDER BY ii.seqno",
                           -1, &m_indexStmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_indexStmt);
        m_indexStmt = nullptr;
        return std::nullopt;
    }
    sqlite3_stmt* s = m_indexStmt;
    sqlite3_reset(s);
    sqlite3_bind_text(s, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, index.c_str(), static_cast<int>(index.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, primaryKey ? 1 : 0);
    std::optional<IndexInfo> result;
    std::string origin;
    while (sqlite3_step(s) == SQLITE_ROW) {
        if (!result) {
            IndexInfo i;
            i.name = columnText(s, 0);
            i.table = table;
            i.unique = sqlite3_column_int(s, 1) != 0;
            origin = columnText(s, 2);
            i.primaryKey = origin == "pk";
            result = i;
        }
        result->columns.push_back(sqlite3_column_type(s, 3) == SQLITE_NULL ? std::string("<expr>")
                                                                           : columnText(s, 3));
    }
    sqlite3_reset(s);
    if (result && (origin == "pk" || origin == "u"))
        if (auto t = this->table(table))
            result->shownName = constraintIndexName(t->name, t->sql, origin, result->columns);
    return result;
}

std::optional<IndexInfo> SqliteSchema::index(const std::string& name) const {
    std::string key = upperName(name);
    auto cached = m_cache->indexes.find(key);
    if (cached != m_cache->indexes.end())
        return cached->second;
    loadSchema();
    std::optional<IndexInfo> result;
    auto it = m_cache->entries.find(key);
    if (it != m_cache->entries.end() && it->second.type == "index")
        result = readIndex(it->second.table, it->second.name, false);
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
        result = readIndex(t->name, {}, true);
    m_cache->primaryKeys[key] = result;
    return result;
}

void SqliteSchema::loadStatistics() const {
    if (m_statsLoaded)
        return;
    m_statsLoaded = true;
    loadSchema();
    if (!m_cache->entries.count("SQLITE_STAT1"))
        return;  // never analysed: no statistics
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT tbl, idx, stat FROM sqlite_stat1", -1, &s, nullptr) ==
        SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW)
            m_stats.addStat(columnText(s, 0), columnText(s, 1), columnText(s, 2));
    }
    sqlite3_finalize(s);
}

bool SqliteSchema::hasStatistics() const {
    loadStatistics();
    return m_stats.hasStatistics();
}

std::optional<double> SqliteSchema::tableRows(const std::string& table) const {
    loadStatistics();
    return m_stats.tableRows(table);
}

std::optional<double> SqliteSchema::rowsPerKey(const std::string& index, int columns) const {
    loadStatistics();
    return m_stats.rowsPerKey(index, columns);
}

}  // namespace localengine::explain
