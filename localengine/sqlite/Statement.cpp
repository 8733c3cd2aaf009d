#include "sqlite/Statement.h"

#include "sqlite/StatementCache.h"

#include <sqlite3.h>

#include <utility>

namespace localengine::sqlite {

EngineError lastError(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db);
    return EngineError(sqlite3_errmsg(db), code != SQLITE_OK ? code : SQLITE_ERROR);
}

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return;
    const std::string text = message ? message : "error";
    sqlite3_free(message);
    const int code = sqlite3_extended_errcode(db);
    throw EngineError(text, code != SQLITE_OK ? code : SQLITE_ERROR);
}

bool execQuietly(sqlite3* db, const char* sql) noexcept {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement::Statement(sqlite3* db, std::string_view sql, unsigned flags) : m_db(db) {
    const char* end = nullptr;
    if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), flags, &m_stmt, &end) !=
        SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw lastError(db);
    }
    if (end && end < sql.data() + sql.size())
        m_tail.assign(end, static_cast<std::size_t>(sql.data() + sql.size() - end));
}

Statement::Statement(StatementCache* cache, sqlite3* db, sqlite3_stmt* kept, std::string_view tail)
    : m_db(db), m_stmt(kept), m_tail(tail), m_lender(cache) {
    ++m_lender->m_lent;
}

Statement::~Statement() {
    release();
}

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db),
      m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_tail(std::move(other.m_tail)),
      m_lender(std::exchange(other.m_lender, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        release();
        m_db = other.m_db;
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_tail = std::move(other.m_tail);
        m_lender = std::exchange(other.m_lender, nullptr);
    }
    return *this;
}

void Statement::release() noexcept {
    if (m_lender) {
        // back to the cache as it was lent: no read or write lock held,
        // no parameter left over
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        --m_lender->m_lent;
        m_lender = nullptr;
    } else if (m_stmt) {
        sqlite3_finalize(m_stmt);
    }
    m_stmt = nullptr;
}

Statement& Statement::bind(int index, std::string_view text) {
    // a null pointer would bind NULL, not the empty text
    sqlite3_bind_text(m_stmt, index, text.data() ? text.data() : "", static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindStatic(int index, std::string_view text) {
    sqlite3_bind_text(m_stmt, index, text.data() ? text.data() : "", static_cast<int>(text.size()),
                      SQLITE_STATIC);
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement& Statement::bind(int index, double value) {
    sqlite3_bind_double(m_stmt, index, value);
    return *this;
}

Statement& Statement::bind(int index, const std::optional<std::int64_t>& value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

Statement& Statement::bindTextOrNull(int index, std::string_view text) {
    return text.empty() ? bindNull(index) : bind(index, text);
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // A statement kept for reuse must not stay stuck on its failure: each
    // later step would fail again with it, whatever its new bindings.
    EngineError error = lastError(m_db);
    sqlite3_reset(m_stmt);
    throw error;
}

void Statement::run() {
    while (step()) {
    }
    reset();
}

void Statement::runKeepingBindings() {
    while (step()) {
    }
    sqlite3_reset(m_stmt);
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

std::string Statement::columnName(int column) const {
    const char* name = sqlite3_column_name(m_stmt, column);
    return name ? name : "";
}

int Statement::columnType(int column) const {
    return sqlite3_column_type(m_stmt, column);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::string Statement::text(int column) const {
    return std::string(textView(column));
}

std::string_view Statement::textView(int column) const {
    const unsigned char* t = sqlite3_column_text(m_stmt, column);
    if (!t)
        return {};
    return {reinterpret_cast<const char*>(t),
            static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

std::string_view Statement::blob(int column) const {
    const void* b = sqlite3_column_blob(m_stmt, column);
    if (!b)
        return {};
    return {static_cast<const char*>(b),
            static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

bool Statement::readOnly() const {
    return sqlite3_stmt_readonly(m_stmt) != 0;
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(m_stmt, column);
}

}  // namespace localengine::sqlite
