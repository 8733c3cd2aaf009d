#include "explain/ExplainPlan.h"

#include <sqlite3.h>

#include <cctype>
#include <ctime>
#include <memory>
#include <string_view>

#include "explain/ExplainMapper.h"
#include "explain/ExplainSchema.h"
#include "schema/Statistics.h"
#include "sqlite/StatementCache.h"

namespace localengine {

namespace {

using explain::EqpRow;
using explain::PlanMapper;
using explain::PlanRow;
using explain::SqliteSchema;

using sqlite::Statement;
using sqlite::StatementCache;

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

// Text that outlives the insert binds without a copy; empty text is null.
void bindText(Statement& s, int i, const std::string& v) {
    if (v.empty())
        s.bindNull(i);
    else
        s.bindStatic(i, v);
}

template <typename T>
void bindNumber(Statement& s, int i, const std::optional<T>& v) {
    if (v)
        s.bind(i, static_cast<std::int64_t>(*v));
    else
        s.bindNull(i);
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
    std::string statistics;  // the statistics' source text
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

// The mapping depends on nothing but SQLite's plan, the statement, the
// owner, the schema and the statistics. A connection keeps the last mapping
// of a statement (dropped with its statements when the schema changes) and
// uses it again while plan and statistics are the same.
std::shared_ptr<const MappedPlan> mapPlan(sqlite3* db, const std::string& sqliteSql,
                                          std::vector<EqpRow> eqp, const std::string& owner,
                                          StatementCache* statements) {
    std::string statistics = schema::Statistics::readSource(db, statements);
    std::string memoKey;
    if (statements) {
        memoKey = "explain\x1f" + owner + "\x1f" + sqliteSql;
        auto kept = std::static_pointer_cast<const MappedPlan>(statements->memo(memoKey));
        if (kept && kept->statistics == statistics && sameQueryPlan(kept->eqp, eqp))
            return kept;
    }
    auto mapped = std::make_shared<MappedPlan>();
    SqliteSchema lookup(db, schema::Statistics::parse(statistics), statements);
    PlanMapper mapper(lookup, sqliteSql, owner);
    mapped->rows = mapper.rows(eqp);
    if (statements) {
        mapped->eqp = std::move(eqp);
        mapped->statistics = std::move(statistics);
        statements->setMemo(memoKey, mapped);
    }
    return mapped;
}

// Inserts the rows, all or none: a failure half way leaves no partial plan
// behind.
void writeRows(sqlite3* db, const std::vector<PlanRow>& rows, const ExplainTarget& target,
               StatementCache* statements) {
    const std::string insert =
        "INSERT INTO " + planTableName(target.planTable, target.owner) +
        " (statement_id, timestamp, operation, options, object_owner, object_name,"
        " object_instance, object_type, optimizer, search_columns, id, parent_id,"
        " position, cost, cardinality, other)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)";
    Statement s = sqlite::statementFor(db, statements, insert);
    sqlite::statementFor(db, statements, "SAVEPOINT quorvel_explain_plan").run();
    const std::string timestamp = localTimestamp();
    try {
        for (const PlanRow& r : rows) {
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
            s.bind(11, static_cast<std::int64_t>(r.id));
            bindNumber(s, 12, r.parentId);
            bindNumber(s, 13, r.position);
            bindNumber(s, 14, r.cost);
            bindNumber(s, 15, r.cardinality);
            bindText(s, 16, r.other);
            s.run();
        }
    } catch (const EngineError&) {
        s.reset();
        sqlite::execQuietly(db, "ROLLBACK TO quorvel_explain_plan");
        sqlite::execQuietly(db, "RELEASE quorvel_explain_plan");
        throw;
    }
    sqlite::statementFor(db, statements, "RELEASE quorvel_explain_plan").run();
}

}  // namespace

std::vector<explain::EqpRow> readQueryPlan(sqlite3* db, const std::string& sqliteSql,
                                           StatementCache* statements) {
    // SQLite applies many PRAGMAs while preparing them, EXPLAIN or not:
    // explaining one would run it.
    if (firstWordIs(sqliteSql, "PRAGMA"))
        throw EngineError("invalid SQL statement: a PRAGMA cannot be explained", SQLITE_ERROR);
    Statement plan = sqlite::statementFor(db, statements, "EXPLAIN QUERY PLAN " + sqliteSql);
    if (!plan)
        throw EngineError("no statement to explain", SQLITE_ERROR);
    // Releases before 3.24 printed a flat list (selectid, order, from, detail).
    const bool flat = plan.columnCount() >= 4 && plan.columnName(0) == "selectid";
    std::vector<EqpRow> rows;
    int serial = 0;
    while (plan.step()) {
        EqpRow r;
        r.detail = plan.text(3);
        if (flat) {
            r.id = ++serial;
            r.parent = 0;
        } else {
            r.id = static_cast<int>(plan.integer(0));
            r.parent = static_cast<int>(plan.integer(1));
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

std::int64_t explainPlan(sqlite3* db, const std::string& sqliteSql, const std::string& oracleSql,
                         const ExplainTarget& target, StatementCache* statements) {
    (void)oracleSql;  // the SQLite text keeps everything the mapping reads
    std::shared_ptr<const MappedPlan> mapped =
        mapPlan(db, sqliteSql, readQueryPlan(db, sqliteSql, statements), target.owner, statements);
    writeRows(db, mapped->rows, target, statements);
    return static_cast<std::int64_t>(mapped->rows.size());
}

}  // namespace localengine
