#include "ExplainSchema.h"

#include <sqlite3.h>

#include <cctype>

#include "Dictionary.h"

namespace localengine::explain {

namespace {

enum { kTable, kIndex, kPrimaryKey, kColumns };

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

}  // namespace

SqliteSchema::SqliteSchema(sqlite3* db) : m_db(db) {}

SqliteSchema::~SqliteSchema() {
    for (sqlite3_stmt*& s : m_stmts)
        sqlite3_finalize(s);
}

sqlite3_stmt* SqliteSchema::prepared(int which, const char* sql) const {
    sqlite3_stmt*& s = m_stmts[which];
    if (!s && sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    if (s) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    return s;
}

std::optional<TableInfo> SqliteSchema::table(const std::string& name) const {
    std::string key = upperName(name);
    auto cached = m_tables.find(key);
    if (cached != m_tables.end())
        return cached->second;
    std::optional<TableInfo> result;
    sqlite3_stmt* s = prepared(kTable,
                               "SELECT type, name, sql FROM sqlite_schema "
                               "WHERE name = ?1 COLLATE NOCASE AND type IN ('table', 'view')");
    if (s) {
        sqlite3_bind_text(s, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(s) == SQLITE_ROW) {
            TableInfo t;
            std::string type = columnText(s, 0);
            t.name = columnText(s, 1);
            t.sql = columnText(s, 2);
            if (type == "view") {
                t.kind = TableInfo::Kind::View;
            } else if (upperName(t.sql).rfind("CREATE VIRTUAL TABLE", 0) == 0) {
                t.kind = TableInfo::Kind::Virtual;
                t.module = virtualModule(t.sql);
            } else {
                t.withoutRowid = withoutRowid(t.sql);
            }
            result = t;
        }
        sqlite3_reset(s);
    }
    if (result && result->kind == TableInfo::Kind::Table && !result->withoutRowid) {
        // A rowid alias is the one primary key column declared INTEGER.
        sqlite3_stmt* c =
            prepared(kColumns, "SELECT name, type FROM pragma_table_info(?1) WHERE pk > 0");
        if (c) {
            sqlite3_bind_text(c, 1, result->name.c_str(), -1, SQLITE_TRANSIENT);
            int keys = 0;
            std::string column, type;
            while (sqlite3_step(c) == SQLITE_ROW) {
                ++keys;
                column = columnText(c, 0);
                type = columnText(c, 1);
            }
            if (keys == 1 && upperName(type) == "INTEGER")
                result->rowidAlias = column;
            sqlite3_reset(c);
        }
    }
    m_tables[key] = result;
    return result;
}

std::optional<IndexInfo> SqliteSchema::index(const std::string& name) const {
    std::string key = upperName(name);
    auto cached = m_indexes.find(key);
    if (cached != m_indexes.end())
        return cached->second;
    std::optional<IndexInfo> result;
    std::string origin;
    sqlite3_stmt* s = prepared(kIndex,
                               "SELECT il.name, m.tbl_name, il.\"unique\", il.origin, ii.name "
                               "FROM sqlite_schema m, pragma_index_list(m.tbl_name) il "
                               "LEFT JOIN pragma_index_info(il.name) ii "
                               "WHERE m.type = 'index' AND m.name = ?1 COLLATE NOCASE "
                               "AND il.name = m.name ORDER BY ii.seqno");
    if (s) {
        sqlite3_bind_text(s, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            if (!result) {
                IndexInfo i;
                i.name = columnText(s, 0);
                i.table = columnText(s, 1);
                i.unique = sqlite3_column_int(s, 2) != 0;
                i.primaryKey = columnText(s, 3) == "pk";
                origin = columnText(s, 3);
                result = i;
            }
            result->columns.push_back(sqlite3_column_type(s, 4) == SQLITE_NULL
                                          ? std::string("<expr>")
                                          : columnText(s, 4));
        }
        sqlite3_reset(s);
    }
    if (result && (origin == "pk" || origin == "u"))
        if (auto t = table(result->table))
            result->shownName = constraintIndexName(t->name, t->sql, origin, result->columns);
    m_indexes[key] = result;
    return result;
}

std::optional<IndexInfo> SqliteSchema::primaryKeyIndex(const std::string& table) const {
    std::string key = upperName(table);
    auto cached = m_primaryKeys.find(key);
    if (cached != m_primaryKeys.end())
        return cached->second;
    std::optional<IndexInfo> result;
    // The primary key index of a WITHOUT ROWID table is not listed in
    // sqlite_schema; the index pragmas know it.
    sqlite3_stmt* s =
        prepared(kPrimaryKey,
                 "SELECT il.name, il.\"unique\", ii.name "
                 "FROM pragma_index_list(?1) il LEFT JOIN pragma_index_info(il.name) ii "
                 "WHERE il.origin = 'pk' ORDER BY ii.seqno");
    if (s) {
        sqlite3_bind_text(s, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            if (!result) {
                IndexInfo i;
                i.name = columnText(s, 0);
                i.table = table;
                i.unique = true;
                i.primaryKey = true;
                result = i;
            }
            result->columns.push_back(columnText(s, 2));
        }
        sqlite3_reset(s);
    }
    if (result)
        if (auto t = this->table(table))
            result->shownName = constraintIndexName(t->name, t->sql, "pk", result->columns);
    m_primaryKeys[key] = result;
    return result;
}

void SqliteSchema::loadStatistics() const {
    if (m_statsLoaded)
        return;
    m_statsLoaded = true;
    sqlite3_stmt* s = nullptr;
    // No sqlite_stat1 (never analysed) simply means no statistics.
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
