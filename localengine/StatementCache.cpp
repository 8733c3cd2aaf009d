#include "StatementCache.h"

#include <sqlite3.h>

namespace localengine {

namespace {

// Beyond this many kept statements the cache starts over: a session that
// types many different statements does not grow without end.
constexpr std::size_t kMaxEntries = 64;

long long stepVersion(sqlite3* db, sqlite3_stmt*& stmt, const char* sql) {
    if (!stmt &&
        sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        return -2;  // never equal to a kept version: treated as a change
    }
    long long version = -2;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    return version;
}

}  // namespace

StatementCache::~StatementCache() {
    clear();
    sqlite3_finalize(m_mainVersion);
    sqlite3_finalize(m_tempVersion);
}

StatementReset::~StatementReset() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

int StatementCache::get(const std::string& sql, sqlite3_stmt** out, const char** tail) {
    *out = nullptr;
    if (tail)
        *tail = nullptr;
    auto found = m_entries.find(sql);
    if (found != m_entries.end()) {
        *out = found->second.stmt;
        if (tail && found->second.tailOffset < found->first.size())
            *tail = found->first.c_str() + found->second.tailOffset;
        return SQLITE_OK;
    }
    if (m_entries.size() >= kMaxEntries)
        clear();
    sqlite3_stmt* stmt = nullptr;
    const char* end = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, sql.c_str(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, &end);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return rc;
    }
    *out = stmt;
    if (!stmt)
        return SQLITE_OK;  // nothing but blanks or comments: not kept
    auto inserted = m_entries.emplace(sql, Entry{});
    inserted.first->second.stmt = stmt;
    const std::string& key = inserted.first->first;
    const std::size_t offset = end ? static_cast<std::size_t>(end - sql.c_str()) : sql.size();
    inserted.first->second.tailOffset = offset;
    if (tail && offset < key.size())
        *tail = key.c_str() + offset;
    return SQLITE_OK;
}

void StatementCache::clear() {
    for (auto& [sql, entry] : m_entries)
        sqlite3_finalize(entry.stmt);
    m_entries.clear();
    m_memos.clear();
}

void StatementCache::setMemo(const std::string& key, std::shared_ptr<void> value) {
    if (m_memos.size() >= kMaxEntries)
        m_memos.clear();
    m_memos[key] = std::move(value);
}

bool StatementCache::schemaChanged() {
    const long long mainVersion = stepVersion(m_db, m_mainVersion, "PRAGMA main.schema_version");
    const long long tempVersion = stepVersion(m_db, m_tempVersion, "PRAGMA temp.schema_version");
    if (mainVersion >= 0 && tempVersion >= 0 && mainVersion == m_lastMain &&
        tempVersion == m_lastTemp)
        return false;
    // A version that could not be read counts as a change every time.
    m_lastMain = mainVersion >= 0 && tempVersion >= 0 ? mainVersion : -1;
    m_lastTemp = tempVersion;
    // The pragma reads the version without loading the new schema into
    // this handle, and a statement only prepared (never stepped) is built
    // on the schema the handle last loaded. Stepping a statement that reads
    // the schema table makes SQLite find the change and load the new one.
    sqlite3_exec(m_db, "SELECT 1 FROM main.sqlite_schema LIMIT 1", nullptr, nullptr, nullptr);
    return true;
}

}  // namespace localengine
