#pragma once
// The engine's one way to run SQL on SQLite: `exec` for text run once for
// its effect, and `Statement`, a prepared statement that finalizes itself
// (or, when a StatementCache lent it, resets itself for the next use).
// Every failure becomes an EngineError with SQLite's message and extended
// result code.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sqlite/EngineError.h"

struct sqlite3;
struct sqlite3_stmt;

namespace localengine::sqlite {

class StatementCache;

// The last failure of `db` as an EngineError (code SQLITE_ERROR when the
// handle holds none).
EngineError lastError(sqlite3* db);

// Runs `sql` (one or more statements, results discarded). Throws
// EngineError on the first failure.
void exec(sqlite3* db, const char* sql);

// The same for clean-up paths that must not throw (a ROLLBACK after a
// failure): false when SQLite refused.
bool execQuietly(sqlite3* db, const char* sql) noexcept;

class Statement {
public:
    Statement() = default;
    // Prepares the first statement of `sql` (`flags`: SQLITE_PREPARE_*).
    // Throws EngineError when it does not prepare. Text of nothing but
    // blanks and comments gives an empty statement (false when tested).
    Statement(sqlite3* db, std::string_view sql, unsigned flags = 0);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }
    // The text after the first statement; empty when nothing follows.
    const std::string& tail() const { return m_tail; }

    // Parameters are numbered from 1. Text is copied by SQLite, except by
    // bindStatic, whose text must stay as it is until the statement is
    // reset or the parameter bound again.
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, const char* text) { return bind(index, std::string_view(text)); }
    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, int value) { return bind(index, std::int64_t{value}); }
    Statement& bind(int index, double value);
    Statement& bind(int index, const std::optional<std::int64_t>& value);
    Statement& bindNull(int index);
    Statement& bindTextOrNull(int index, std::string_view text);  // "" binds NULL
    Statement& bindStatic(int index, std::string_view text);

    // One step: true for a row, false when done. Throws EngineError.
    bool step();
    // Steps to the end (rows are skipped), then resets and clears the
    // parameters for the next run.
    void run();
    // The same, but the parameters stay bound: for a statement whose every
    // parameter is bound again before its next run.
    void runKeepingBindings();
    void reset();

    int columnCount() const;
    std::string columnName(int column) const;
    int columnType(int column) const;  // SQLITE_INTEGER, ..., SQLITE_NULL
    bool isNull(int column) const;
    std::string text(int column) const;           // "" for NULL
    std::string_view textView(int column) const;  // valid until the next step
    std::string_view blob(int column) const;      // valid until the next step
    std::int64_t integer(int column) const;
    double real(int column) const;
    // True when the statement changes nothing in the database.
    bool readOnly() const;

private:
    friend class StatementCache;
    // A statement lent by a cache: given back (reset, not finalized) when
    // this ends.
    Statement(StatementCache* cache, sqlite3* db, sqlite3_stmt* kept, std::string_view tail);
    void release() noexcept;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_tail;
    StatementCache* m_lender = nullptr;
};

}  // namespace localengine::sqlite
