#include "sqlite/StatementCache.h"

#include <sqlite3.h>

#include <functional>
#include <utility>

namespace localengine::sqlite {

namespace {

// Beyond this many kept statements (or memos) the cache starts over: a
// session that types many different statements does not grow without end.
constexpr std::size_t kMaxEntries = 64;

// Texts noted by seenBefore(): beyond this many the notes start over.
constexpr std::size_t kMaxSeen = 1024;

// A version that could not be read; never equal to a kept one, so it
// counts as a change.
constexpr long long kUnreadable = -2;

}  // namespace

StatementCache::~StatementCache() {
    clear();
}

Statement StatementCache::statement(const std::string& sql) {
    auto found = m_entries.find(sql);
    if (found != m_entries.end())
        return Statement(this, m_db, found->second.stmt,
                         std::string_view(found->first).substr(found->second.tailOffset));
    if (m_entries.size() >= kMaxEntries && m_lent == 0)
        clear();
    Statement prepared(m_db, sql, SQLITE_PREPARE_PERSISTENT);
    if (!prepared)
        return prepared;  // nothing but blanks or comments: not kept
    const std::size_t offset = sql.size() - prepared.tail().size();
    sqlite3_stmt* stmt = std::exchange(prepared.m_stmt, nullptr);
    auto inserted = m_entries.emplace(sql, Entry{stmt, offset});
    return Statement(this, m_db, stmt, std::string_view(inserted.first->first).substr(offset));
}

bool StatementCache::seenBefore(const std::string& sql) {
    if (m_entries.count(sql))
        return true;
    // Only the hash is noted: a text whose hash an earlier text had is
    // kept at its first use, which costs room, never a wrong answer.
    const std::size_t hash = std::hash<std::string>{}(sql);
    if (m_seen.count(hash))
        return true;
    if (m_seen.size() >= kMaxSeen)
        m_seen.clear();
    m_seen.insert(hash);
    return false;
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

long long StatementCache::readVersion(Statement& pragma, const char* sql) {
    try {
        if (!pragma)
            pragma = Statement(m_db, sql, SQLITE_PREPARE_PERSISTENT);
        long long version = kUnreadable;
        if (pragma.step())
            version = pragma.integer(0);
        pragma.reset();
        return version;
    } catch (const EngineError&) {
        if (pragma)
            pragma.reset();
        return kUnreadable;
    }
}

bool StatementCache::schemaChanged() {
    const long long mainVersion = readVersion(m_mainVersion, "PRAGMA main.schema_version");
    const long long tempVersion = readVersion(m_tempVersion, "PRAGMA temp.schema_version");
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
    execQuietly(m_db, "SELECT 1 FROM main.sqlite_schema LIMIT 1");
    return true;
}

Statement statementFor(sqlite3* db, StatementCache* cache, const std::string& sql) {
    return cache ? cache->statement(sql) : Statement(db, sql);
}

}  // namespace localengine::sqlite
