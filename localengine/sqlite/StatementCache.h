#pragma once
// Prepared statements kept per connection between calls, keyed by their
// text, so that a statement run again (the same explain, the same
// read-back) is not parsed and planned again. SQLite re-prepares a kept
// statement by itself when the schema or the statistics change; what the
// engine derives from the schema (translations, memos) is dropped through
// schemaChanged() and clear().

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "sqlite/Statement.h"

namespace localengine::sqlite {

class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : m_db(db) {}
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The kept statement for `sql`, prepared on first use. It comes back
    // to the cache reset and without parameters when the returned object
    // ends, which must be before the cache is cleared or destroyed; while
    // any statement is out, a full cache grows rather than starting over.
    // Throws EngineError
    // when `sql` does not prepare (nothing is kept then); an empty
    // statement for text of nothing but blanks and comments (not kept).
    Statement statement(const std::string& sql);

    // True when `sql` is kept or was asked about before; notes it
    // otherwise. A statement seen once is better prepared for that one use
    // (SQLite then builds it in its fast per-handle memory, and the cache
    // keeps its room for what comes again); the second time, it is kept.
    bool seenBefore(const std::string& sql);

    // Finalizes every kept statement and forgets every memo. No statement
    // may be out.
    void clear();

    // Results derived from the schema, kept under a key until clear():
    // whoever stores one also knows its type.
    std::shared_ptr<void> memo(const std::string& key) const {
        auto found = m_memos.find(key);
        return found == m_memos.end() ? nullptr : found->second;
    }
    void setMemo(const std::string& key, std::shared_ptr<void> value);

    // True (once per change) when the schema of the main or the temporary
    // database changed since the last call: another connection's CREATE,
    // DROP, ALTER or ANALYZE included.
    bool schemaChanged();

    sqlite3* db() const { return m_db; }

private:
    friend class Statement;
    struct Entry {
        sqlite3_stmt* stmt = nullptr;
        std::size_t tailOffset = 0;  // where the first statement ends in the key
    };
    long long readVersion(Statement& pragma, const char* sql);

    sqlite3* m_db;
    std::unordered_map<std::string, Entry> m_entries;
    std::unordered_map<std::string, std::shared_ptr<void>> m_memos;
    std::unordered_set<std::size_t> m_seen;  // hashes of texts asked about once
    Statement m_mainVersion;
    Statement m_tempVersion;
    long long m_lastMain = -1;
    long long m_lastTemp = -1;
    int m_lent = 0;  // statements out now
};

// A statement for `sql`: lent by `cache` when there is one, else prepared
// for this one use. Throws EngineError when `sql` does not prepare.
Statement statementFor(sqlite3* db, StatementCache* cache, const std::string& sql);

}  // namespace localengine::sqlite
