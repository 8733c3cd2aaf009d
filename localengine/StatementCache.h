#pragma once
// Prepared SQLite statements kept between calls, keyed by their text, so
// that a statement run again (the same explain, the same read-back) is not
// parsed and planned again. SQLite re-prepares a kept statement by itself
// when the schema or the statistics change; what the engine derives from
// the schema (translations) is dropped through schemaChanged().

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace localengine {

class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : m_db(db) {}
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // A statement for `sql`, reset and with no bindings; prepared on first
    // use. Returns SQLITE_OK or the error code of the prepare (the message
    // is then the handle's). `tail` receives the text after the first
    // statement (null when nothing follows). `*out` is null for an empty
    // text. A statement that fails to prepare is not kept.
    int get(const std::string& sql, sqlite3_stmt** out, const char** tail = nullptr);

    // Finalizes every kept statement and forgets every memo.
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
    struct Entry {
        sqlite3_stmt* stmt = nullptr;
        std::size_t tailOffset = 0;  // where the first statement ends in the key
    };
    sqlite3* m_db;
    std::unordered_map<std::string, Entry> m_entries;
    std::unordered_map<std::string, std::shared_ptr<void>> m_memos;
    sqlite3_stmt* m_mainVersion = nullptr;
    sqlite3_stmt* m_tempVersion = nullptr;
    long long m_lastMain = -1;
    long long m_lastTemp = -1;
};

// Resets a statement from the cache when the scope that steps it ends, so
// that no kept statement holds a read or write lock between calls.
class StatementReset {
public:
    explicit StatementReset(sqlite3_stmt* s) : m_stmt(s) {}
    ~StatementReset();
    StatementReset(const StatementReset&) = delete;
    StatementReset& operator=(const StatementReset&) = delete;

private:
    sqlite3_stmt* m_stmt;
};

}  // namespace localengine
