#pragma once
// EXPLAIN PLAN for the local engine: SQLite's own query plan (EXPLAIN QUERY
// PLAN) mapped to the rows and operation names of an Oracle PLAN_TABLE.

#include <cstdint>
#include <string>
#include <vector>

#include "dialect/PlanFacts.h"
#include "explain/ExplainMapper.h"
#include "sqlite/EngineError.h"

struct sqlite3;

namespace localengine {

namespace sqlite {
class StatementCache;
}

struct ExplainTarget {
    std::string statementId;               // STATEMENT_ID of the rows; may be empty (null)
    std::string planTable = "PLAN_TABLE";  // INTO table, as written in the statement
    std::string owner;                     // OBJECT_OWNER of the rows (the user, upper case)
    // What the front end knew of the explained statement (its query
    // blocks, tables and conditions); null gives SQLite's plan in Oracle's
    // names without them.
    const dialect::PlanFacts* facts = nullptr;
};

// Explains one statement (already translated to SQLite; `oracleSql` is the
// statement as the user wrote it, for what the SQLite plan does not tell)
// and inserts one row per plan step into the plan table. The statement
// itself is never run. Returns the number of rows written. Throws
// EngineError with SQLite's message for an invalid statement or a missing
// plan table. `statements`, when given (a connection's, on `db`), keeps
// the statements it prepares for the next explain.
std::int64_t explainPlan(sqlite3* db, const std::string& sqliteSql, const std::string& oracleSql,
                         const ExplainTarget& target, sqlite::StatementCache* statements = nullptr);

// Gives `db` a PLAN_TABLE of its own when the database has none, as Oracle
// gives every session one: a temporary table with Oracle's columns, private
// to the connection and listed in no dictionary view. Drops it again once
// the database has a PLAN_TABLE, which it would hide. Call it whenever the
// schema may have changed; never fails the caller.
void provideSessionPlanTable(sqlite3* db);

// Tells the explains on `db` that a statement that may write is about to
// run on it (what they keep of the statistics is then read again).
void noteWrite(sqlite3* db);

// The rows of SQLite's EXPLAIN QUERY PLAN for one statement (prepared and
// stepped as EXPLAIN only; the statement itself never runs). Throws
// EngineError with SQLite's message when the statement is invalid.
std::vector<explain::EqpRow> readQueryPlan(sqlite3* db, const std::string& sqliteSql,
                                           sqlite::StatementCache* statements = nullptr);

}  // namespace localengine
