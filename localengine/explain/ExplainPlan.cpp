#include "explain/ExplainPlan.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

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
    long long generation = -1;  // of the schema facts and estimates it was made with
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
// uses it again while plan and statistics are the same; `keep` false: the
// mapping is not kept (a statement explained for the first time).
std::shared_ptr<const MappedPlan> mapPlan(sqlite3* db, const std::string& sqliteSql,
                                          const std::string& oracleSql, std::vector<EqpRow> eqp,
                                          const ExplainTarget& target, StatementCache* statements,
                                          bool keep) {
    const std::string& owner = target.owner;
    const long long generation = SqliteSchema::synchronise(db, statements);
    const std::shared_ptr<const SqliteSchema::StatisticsRead> statistics =
        SqliteSchema::statistics(db, statements);
    std::string memoKey;
    if (statements && generation >= 0 && keep) {
        memoKey = "explain\x1f" + owner + "\x1f" + sqliteSql + "\x1f" +
                  (target.facts ? oracleSql : std::string());
        auto kept = std::static_pointer_cast<const MappedPlan>(statements->memo(memoKey));
        if (kept && kept->generation == generation && kept->statistics == statistics->source &&
            sameQueryPlan(kept->eqp, eqp))
            return kept;
    }
    auto mapped = std::make_shared<MappedPlan>();
    SqliteSchema lookup(db, statistics->parsed);
    PlanMapper mapper(lookup, sqliteSql, owner, target.facts);
    mapped->rows = mapper.rows(eqp);
    if (!memoKey.empty()) {
        mapped->generation = generation;
        mapped->eqp = std::move(eqp);
        mapped->statistics = statistics->source;
        statements->setMemo(memoKey, mapped);
    }
    return mapped;
}

// The columns of PLAN_TABLE the engine fills. The layout Quorvel creates
// (and Oracle's before 10g) has the first ones; a table created with a
// later layout gets the rest too. Others are left null.
enum class Column {
    StatementId,
    PlanId,
    Timestamp,
    Operation,
    Options,
    ObjectOwner,
    ObjectName,
    ObjectAlias,
    ObjectInstance,
    ObjectType,
    Optimizer,
    SearchColumns,
    Id,
    ParentId,
    Depth,
    Position,
    Cost,
    Cardinality,
    Bytes,
    Other,
    CpuCost,
    IoCost,
    AccessPredicates,
    FilterPredicates,
    Time,
    QblockName,
    OtherXml
};

struct ColumnName {
    Column column;
    const char* name;
    bool required;  // in every layout: a plan table without it is refused
};

constexpr ColumnName kColumns[] = {
    {Column::StatementId, "STATEMENT_ID", true},
    {Column::PlanId, "PLAN_ID", false},
    {Column::Timestamp, "TIMESTAMP", true},
    {Column::Operation, "OPERATION", true},
    {Column::Options, "OPTIONS", true},
    {Column::ObjectOwner, "OBJECT_OWNER", true},
    {Column::ObjectName, "OBJECT_NAME", true},
    {Column::ObjectAlias, "OBJECT_ALIAS", false},
    {Column::ObjectInstance, "OBJECT_INSTANCE", true},
    {Column::ObjectType, "OBJECT_TYPE", true},
    {Column::Optimizer, "OPTIMIZER", true},
    {Column::SearchColumns, "SEARCH_COLUMNS", true},
    {Column::Id, "ID", true},
    {Column::ParentId, "PARENT_ID", true},
    {Column::Depth, "DEPTH", false},
    {Column::Position, "POSITION", true},
    {Column::Cost, "COST", true},
    {Column::Cardinality, "CARDINALITY", true},
    {Column::Bytes, "BYTES", false},
    {Column::Other, "OTHER", true},
    {Column::CpuCost, "CPU_COST", false},
    {Column::IoCost, "IO_COST", false},
    {Column::AccessPredicates, "ACCESS_PREDICATES", false},
    {Column::FilterPredicates, "FILTER_PREDICATES", false},
    {Column::Time, "TIME", false},
    {Column::QblockName, "QBLOCK_NAME", false},
    {Column::OtherXml, "OTHER_XML", false},
};

// Which of those columns a plan table has, and the inserts that fill them:
// one row at a time, and up to `batchRows` rows in one statement (the plan's
// rows in batches cost SQLite one statement run per batch rather than per
// row). The batches halve in size down to two rows, so that any number of
// rows takes at most one run of each.
struct PlanTableLayout {
    std::vector<Column> columns;  // in the order of the insert's parameters
    std::string insert;
    std::vector<std::pair<std::size_t, std::string>> batches;  // rows, insert; largest first
    std::size_t batchRows = 0;
    std::string nextPlanId;  // the query for a new PLAN_ID; empty without the column
};

// Rows per batched insert: as many as SQLite takes parameters for, up to a
// batch that most plans fill once or twice.
constexpr std::size_t kBatchRows = 16;

std::size_t batchRowsFor(sqlite3* db, std::size_t columns) {
    const int limit = sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    if (columns == 0 || limit <= 0)
        return 0;
    return std::min(kBatchRows, static_cast<std::size_t>(limit) / columns);
}

std::shared_ptr<const PlanTableLayout> planTableLayout(sqlite3* db, const std::string& table,
                                                       StatementCache* statements) {
    const std::string memoKey = "plan table layout\x1f" + table;
    if (statements)
        if (auto kept = std::static_pointer_cast<const PlanTableLayout>(statements->memo(memoKey)))
            return kept;
    if (explain::sameName(table, "\"PLAN_TABLE\""))
        provideSessionPlanTable(db);
    auto layout = std::make_shared<PlanTableLayout>();
    std::vector<std::string> names;
    {
        // The table's own column names, whatever form its name was given in.
        Statement probe(db, "SELECT * FROM " + table + " LIMIT 0");
        for (int c = 0; c < probe.columnCount(); ++c)
            names.push_back(probe.columnName(c));
    }
    std::string list, values;
    for (const ColumnName& c : kColumns) {
        bool present = false;
        for (const auto& n : names)
            present = present || explain::sameName(n, c.name);
        if (!present && !c.required)
            continue;  // a required one missing: SQLite's insert names it in its error
        if (c.column == Column::PlanId)
            layout->nextPlanId = "SELECT coalesce(max(plan_id), 0) + 1 FROM " + table;
        layout->columns.push_back(c.column);
        list += (list.empty() ? "" : ", ") + std::string(c.name);
        values += (values.empty() ? "?" : ", ?") + std::to_string(layout->columns.size());
    }
    layout->insert = "INSERT INTO " + table + " (" + list + ") VALUES (" + values + ")";
    // Batched inserts only where the statement is kept for the next explain.
    layout->batchRows = statements ? batchRowsFor(db, layout->columns.size()) : 0;
    for (std::size_t rows = layout->batchRows; rows >= 2; rows /= 2) {
        std::string insert = "INSERT INTO " + table + " (" + list + ") VALUES ";
        int parameter = 0;
        for (std::size_t r = 0; r < rows; ++r) {
            insert += r ? ", (" : "(";
            for (std::size_t c = 0; c < layout->columns.size(); ++c)
                insert += (c ? ", ?" : "?") + std::to_string(++parameter);
            insert += ")";
        }
        layout->batches.emplace_back(rows, std::move(insert));
    }
    if (statements)
        statements->setMemo(memoKey, layout);
    return layout;
}

void bindColumn(Statement& s, int i, Column c, const PlanRow& r, const ExplainTarget& target,
                const std::string& timestamp, std::int64_t planId) {
    switch (c) {
        case Column::StatementId:
            return bindText(s, i, target.statementId);
        case Column::PlanId:
            s.bind(i, planId);
            return;
        case Column::Timestamp:
            return bindText(s, i, timestamp);
        case Column::Operation:
            return bindText(s, i, r.operation);
        case Column::Options:
            return bindText(s, i, r.options);
        case Column::ObjectOwner:
            return bindText(s, i, r.objectOwner);
        case Column::ObjectName:
            return bindText(s, i, r.objectName);
        case Column::ObjectAlias:
            return bindText(s, i, r.objectAlias);
        case Column::ObjectInstance:
            return bindNumber(s, i, r.objectInstance);
        case Column::ObjectType:
            return bindText(s, i, r.objectType);
        case Column::Optimizer:
            return bindText(s, i, r.optimizer);
        case Column::SearchColumns:
            return bindNumber(s, i, r.searchColumns);
        case Column::Id:
            s.bind(i, static_cast<std::int64_t>(r.id));
            return;
        case Column::ParentId:
            return bindNumber(s, i, r.parentId);
        case Column::Depth:
            s.bind(i, static_cast<std::int64_t>(r.depth));
            return;
        case Column::Position:
            return bindNumber(s, i, r.position);
        case Column::Cost:
            s.bind(i, static_cast<std::int64_t>(r.cost));
            return;
        case Column::Cardinality:
            s.bind(i, static_cast<std::int64_t>(r.cardinality));
            return;
        case Column::Bytes:
            s.bind(i, static_cast<std::int64_t>(r.bytes));
            return;
        case Column::Other:
            return bindText(s, i, r.other);
        case Column::CpuCost:
            s.bind(i, static_cast<std::int64_t>(r.cpuCost));
            return;
        case Column::IoCost:
            s.bind(i, static_cast<std::int64_t>(r.ioCost));
            return;
        case Column::AccessPredicates:
            return bindText(s, i, r.accessPredicates);
        case Column::FilterPredicates:
            return bindText(s, i, r.filterPredicates);
        case Column::Time:
            s.bind(i, static_cast<std::int64_t>(r.time));
            return;
        case Column::QblockName:
            return bindText(s, i, r.queryBlock);
        case Column::OtherXml:
            return bindText(s, i, r.otherXml);
    }
}

// Inserts the rows, all or none: a failure half way leaves no partial plan
// behind.
void writeRows(sqlite3* db, const std::vector<PlanRow>& rows, const ExplainTarget& target,
               StatementCache* statements) {
    const std::string table = planTableName(target.planTable, target.owner);
    const std::shared_ptr<const PlanTableLayout> layout = planTableLayout(db, table, statements);
    const std::size_t columns = layout->columns.size();
    Statement s = sqlite::statementFor(db, statements, layout->insert);
    // Batches only from a connection's cache (prepared once per connection:
    // not worth it for one use), each for as many rows as it takes.
    std::vector<std::pair<std::size_t, Statement>> many;
    std::size_t left = rows.size();
    if (statements)
        for (const auto& [batch, insert] : layout->batches)
            if (left >= batch) {
                many.emplace_back(batch, statements->statement(insert));
                left %= batch;
            }
    sqlite::statementFor(db, statements, "SAVEPOINT quorvel_explain_plan").run();
    const std::string timestamp = localTimestamp();
    try {
        std::int64_t planId = 0;
        if (!layout->nextPlanId.empty()) {
            Statement next = sqlite::statementFor(db, statements, layout->nextPlanId);
            planId = next.step() ? next.integer(0) : 1;
        }
        std::size_t done = 0;
        // Every parameter is bound again before each run: none is cleared.
        for (auto& [batch, insert] : many)
            for (; rows.size() - done >= batch; done += batch) {
                for (std::size_t r = 0; r < batch; ++r)
                    for (std::size_t c = 0; c < columns; ++c)
                        bindColumn(insert, static_cast<int>(r * columns + c + 1),
                                   layout->columns[c], rows[done + r], target, timestamp, planId);
                insert.runKeepingBindings();
            }
        for (; done < rows.size(); ++done) {
            for (std::size_t c = 0; c < columns; ++c)
                bindColumn(s, static_cast<int>(c + 1), layout->columns[c], rows[done], target,
                           timestamp, planId);
            s.runKeepingBindings();
        }
    } catch (const EngineError&) {
        s.reset();
        for (auto& [batch, insert] : many)
            insert.reset();
        sqlite::execQuietly(db, "ROLLBACK TO quorvel_explain_plan");
        sqlite::execQuietly(db, "RELEASE quorvel_explain_plan");
        throw;
    }
    sqlite::statementFor(db, statements, "RELEASE quorvel_explain_plan").run();
}

}  // namespace

// Oracle's is a public synonym of a temporary table that keeps each
// session's plans apart; the one made here lives in SQLite's temporary
// schema, whose names SQLite looks up before the database's own.
void provideSessionPlanTable(sqlite3* db) {
    const auto has = [db](const char* schema) {
        Statement probe(db, std::string("SELECT 1 FROM ") + schema +
                                ".sqlite_master WHERE type IN ('table', 'view')"
                                " AND name = 'PLAN_TABLE' COLLATE NOCASE");
        return probe.step();
    };
    bool own = false;
    bool session = false;
    try {
        own = has("main");
        session = has("temp");
    } catch (const EngineError&) {
        return;  // a database that cannot be read says so at the statement itself
    }
    if (own && session)
        sqlite::execQuietly(db, "DROP TABLE temp.\"PLAN_TABLE\"");
    else if (!own && !session)
        sqlite::execQuietly(
            db,
            "CREATE TABLE temp.\"PLAN_TABLE\" (STATEMENT_ID VARCHAR2(30), PLAN_ID NUMBER,"
            " TIMESTAMP DATE, REMARKS VARCHAR2(4000), OPERATION VARCHAR2(30),"
            " OPTIONS VARCHAR2(255), OBJECT_NODE VARCHAR2(128), OBJECT_OWNER VARCHAR2(128),"
            " OBJECT_NAME VARCHAR2(128), OBJECT_ALIAS VARCHAR2(261), OBJECT_INSTANCE NUMBER,"
            " OBJECT_TYPE VARCHAR2(30), OPTIMIZER VARCHAR2(255), SEARCH_COLUMNS NUMBER,"
            " ID NUMBER, PARENT_ID NUMBER, DEPTH NUMBER, POSITION NUMBER, COST NUMBER,"
            " CARDINALITY NUMBER, BYTES NUMBER, OTHER_TAG VARCHAR2(255),"
            " PARTITION_START VARCHAR2(255), PARTITION_STOP VARCHAR2(255),"
            " PARTITION_ID NUMBER, OTHER LONG, OTHER_XML CLOB, DISTRIBUTION VARCHAR2(30),"
            " CPU_COST NUMBER, IO_COST NUMBER, TEMP_SPACE NUMBER,"
            " ACCESS_PREDICATES VARCHAR2(4000), FILTER_PREDICATES VARCHAR2(4000),"
            " PROJECTION VARCHAR2(4000), TIME NUMBER, QBLOCK_NAME VARCHAR2(128))");
}

void noteWrite(sqlite3* db) {
    SqliteSchema::noteWrite(db);
}

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
    // A statement explained for the first time is prepared for this one use
    // and its mapping made for it alone; one explained again is kept, with
    // its mapping, for the next time.
    const bool repeated = statements && statements->seenBefore("EXPLAIN QUERY PLAN " + sqliteSql);
    std::shared_ptr<const MappedPlan> mapped = mapPlan(
        db, sqliteSql, oracleSql, readQueryPlan(db, sqliteSql, repeated ? statements : nullptr),
        target, statements, repeated);
    writeRows(db, mapped->rows, target, statements);
    return static_cast<std::int64_t>(mapped->rows.size());
}

}  // namespace localengine
