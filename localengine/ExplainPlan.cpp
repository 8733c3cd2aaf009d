#include "ExplainPlan.h"

#include <sqlite3.h>

#include <cctype>
#include <ctime>
#include <memory>
#include <string_view>

#include "ExplainMapper.h"
#include "ExplainSchema.h"
#include "LocalEngine.h"
#include "StatementCache.h"

namespace localengine {

namespace {

using explain::EqpRow;
using explain::PlanRow;

// A statement prepared for one use, or taken from a connection's cache and
// reset after use.
class Statement {
public:
    Statement() = default;
    ~Statement() {
        if (m_kept) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        } else {
            sqlite3_finalize(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

    int prepare(sqlite3* db, const std::string& sql, StatementCache* cache) {
        if (cache) {
            const int rc = cache->get(sql, &m_stmt);
            m_kept = m_stmt != nullptr;
            return rc;
        }
        return sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, nullptr);
    }

    // Runs a statement that returns no rows; SQLITE_OK or its error code.
    int run(sqlite3* db, const std::string& sql, StatementCache* cache) {
        int rc = prepare(db, sql, cache);
        if (rc != SQLITE_OK)
            return rc;
        rc = m_stmt ? sqlite3_step(m_stmt) : SQLITE_DONE;
        return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_kept = false;
};

[[noreturn]] void fail(sqlite3* db) {
    int code = sqlite3_extended_errcode(db);
    throw EngineError(sqlite3_errmsg(db), code != SQLITE_OK ? code : SQLITE_ERROR);
}

std::string localTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// The plan table as SQLite must be told: an owner prefix that names this
// user is dropped (the engine has one schema), the name itself is quoted.
std::string planTableName(const std::string& written, const std::string& owner) {
    std::string name = written.empty() ? std::string("PLAN_TABLE") : written;
    if (!name.empty() && name.front() == '"')
        return name;
    std::size_t dot = name.find('.');
    if (dot != std::string::npos && explain::sameName(name.substr(0, dot), owner))
        name = name.substr(dot + 1);
    if (name.find('.') != std::string::npos)
        return name;  // another schema: let SQLite say what it thinks of it
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

void bindText(sqlite3_stmt* s, int i, const std::string& v) {
    if (v.empty())
        sqlite3_bind_null(s, i);
    else
        sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
}

template <typename T>
void bindNumber(sqlite3_stmt* s, int i, const std::optional<T>& v) {
    if (v)
        sqlite3_bind_int64(s, i, static_cast<sqlite3_int64>(*v));
    else
        sqlite3_bind_null(s, i);
}

// The statement's first word (after blanks and comments) is `word`.
bool firstWordIs(const std::string& sql, std::string_view word) {
    std::size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i]))) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            i = sql.find('\n', i);
        } else if (sql.compare(i, 2, "/*") == 0) {
            i = sql.find("*/", i + 2);
            i = i == std::string::npos ? i : i + 2;
        } else {
            break;
        }
    }
    if (i >= sql.size() || sql.size() - i < word.size())
        return false;
    std::size_t end = i + word.size();
    if (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_'))
        return false;
    return explain::sameName(std::string_view(sql).substr(i, word.size()), word);
}

// A statement's plan as mapped for PLAN_TABLE, with what it was mapped from.
struct MappedPlan {
    std::vector<EqpRow> eqp;
    std::string statistics;
    std::vector<PlanRow> rows;
};

bool sameQueryPlan(const std::vector<EqpRow>& a, const std::vector<EqpRow>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].parent != b[i].parent || a[i].detail != b[i].detail)
            return false;
    }
    return true;
}

// The statistics of the main database (sqlite_stat1) as one text; empty
// when it was never analysed.
std::string statisticsText(StatementCache& statements) {
    std::string text;
    sqlite3_stmt* s = nullptr;
    if (statements.get("SELECT tbl, idx, stat FROM main.sqlite_stat1", &s) != SQLITE_OK || !s)
        return text;
    const StatementReset resetAfterUse(s);
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int i = 0; i < 3; ++i) {
            if (const unsigned char* v = sqlite3_column_text(s, i))
                text.append(reinterpret_cast<const char*>(v),
                            static_cast<std::size_t>(sqlite3_column_bytes(s, i)));
            text += i < 2 ? '\x1f' : '\x1e';
        }
    }
    return text;
}

}  // namespace

std::vector<explain::EqpRow> readQueryPlan(sqlite3* db, const std::string& sqliteSql,
                                           StatementCache* statements) {
    // SQLite applies many PRAGMAs while preparing them, EXPLAIN or not:
    // explaining one would run it.
    if (firstWordIs(sqliteSql, "PRAGMA"))
        throw EngineError("invalid SQL statement: a PRAGMA cannot be explained", SQLITE_ERROR);
    std::string sql = "EXPLAIN QUERY PLAN " + sqliteSql;
    Statement plan;
    if (plan.prepare(db, sql, statements) != SQLITE_OK)
        fail(db);
    if (!plan.get())
        throw EngineError("no statement to explain", SQLITE_ERROR);
    // Releases before 3.24 printed a flat list (selectid, order, from, detail).
    bool flat = sqlite3_column_count(plan.get()) >= 4 &&
                std::string(sqlite3_column_name(plan.get(), 0)) == "selectid";
    std::vector<EqpRow> rows;
    int rc;
    int serial = 0;
    while ((rc = sqlite3_step(plan.get())) == SQLITE_ROW) {
        EqpRow r;
        const unsigned char* detail = sqlite3_column_text(plan.get(), 3);
        r.detail = detail ? reinterpret_cast<const char*>(detail) : "";
        if (flat) {
            r.id = ++serial;
            r.parent = 0;
        } else {
            r.id = sqlite3_column_int(plan.get(), 0);
            r.parent = sqlite3_column_int(plan.get(), 1);
        }
        rows.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE)
        fail(db);
    return rows;
}

std::int64_t explainPlan(sqlite3* db, const std::string& sqliteSql, const std::string& oracleSql,
                         const ExplainTarget& target, StatementCache* statements) {
    (void)oracleSql;  // the SQLite text keeps everything the mapping reads
    std::vector<EqpRow> eqp = readQueryPlan(db, sqliteSql, statements);

    // The mapping depends on nothing but SQLite's plan, the statement, the
    // owner, the schema and the statistics. A connection keeps the last
    // mapping of a statement (dropped with its statements when the schema
    // changes) and uses it again while plan and statistics are the same.
    std::shared_ptr<MappedPlan> kept;
    std::string memoKey;
    std::string statistics;
    if (statements) {
        memoKey = "explain\x1f" + target.owner + "\x1f" + sqliteSql;
        statistics = statisticsText(*statements);
        kept = std::static_pointer_cast<MappedPlan>(statements->memo(memoKey));
        if (kept && !(kept->statistics == statistics && sameQueryPlan(kept->eqp, eqp)))
            kept.reset();
    }
    if (!kept) {
        kept = std::make_shared<MappedPlan>();
        explain::SqliteSchema schema(db);
        explain::PlanMapper mapper(schema, sqliteSql, target.owner);
        kept->rows = mapper.rows(eqp);
        if (statements) {
            kept->eqp = std::move(eqp);
            kept->statistics = std::move(statistics);
            statements->setMemo(memoKey, kept);
        }
    }
    const std::vector<PlanRow>& rows = kept->rows;

    std::string insert =
        "INSERT INTO " + planTableName(target.planTable, target.owner) +
        " (statement_id, timestamp, operation, options, object_owner, object_name,"
        " object_instance, object_type, optimizer, search_columns, id, parent_id,"
        " position, cost, cardinality, other)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)";
    Statement ins;
    if (ins.prepare(db, insert, statements) != SQLITE_OK)
        fail(db);

    // All rows or none: a failure half way leaves no partial plan behind.
    if (Statement().run(db, "SAVEPOINT quorvel_explain_plan", statements) != SQLITE_OK)
        fail(db);
    const std::string timestamp = localTimestamp();
    sqlite3_stmt* s = ins.get();
    for (const PlanRow& r : rows) {
        sqlite3_reset(s);
        bindText(s, 1, target.statementId);
        bindText(s, 2, timestamp);
        bindText(s, 3, r.operation);
        bindText(s, 4, r.options);
        bindText(s, 5, r.objectOwner);
        bindText(s, 6, r.objectName);
        bindNumber(s, 7, r.objectInstance);
        bindText(s, 8, r.objectType);
        bindText(s, 9, r.optimizer);
        bindNumber(s, 10, r.searchColumns);
        sqlite3_bind_int64(s, 11, r.id);
        bindNumber(s, 12, r.parentId);
        bindNumber(s, 13, r.position);
        bindNumber(s, 14, r.cost);
        bindNumber(s, 15, r.cardinality);
        bindText(s, 16, r.other);
        if (sqlite3_step(s) != SQLITE_DONE) {
            EngineError error(sqlite3_errmsg(db), sqlite3_extended_errcode(db));
            sqlite3_reset(s);
            Statement().run(db, "ROLLBACK TO quorvel_explain_plan", statements);
            Statement().run(db, "RELEASE quorvel_explain_plan", statements);
            throw error;
        }
    }
    sqlite3_reset(s);
    if (Statement().run(db, "RELEASE quorvel_explain_plan", statements) != SQLITE_OK)
        fail(db);
    return static_cast<std::int64_t>(rows.size());
}

}  // namespace localengine
