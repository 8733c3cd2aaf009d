#pragma once
// The front end's one entry: an Oracle statement in, the SQLite statement
// to run out, through the stages tokens (Lexer) -> syntax tree (Parser) ->
// names and types (Binder) -> SQLite text (Emitter and its rewrites).

#include "Catalog.h"
#include "DdlWork.h"
#include "PlanFacts.h"

#include <set>
#include <string>
#include <vector>

namespace localengine::dialect {

struct Translation {
    enum class Kind {
        Sql,          // run `sql`
        ExplainPlan,  // explain `sql` (the translated inner statement) into `planTable`
        Commit,       // COMMIT / ROLLBACK: run `sql` only inside an open transaction
        Ddl           // carry out `ddl` (which may hold SQLite text of its own)
    };
    Kind kind = Kind::Sql;
    std::string sql;

    // EXPLAIN PLAN only.
    std::string innerOracleSql;  // the explained statement as written
    std::string statementId;     // SET STATEMENT_ID value (empty: none)
    std::string planTable = "PLAN_TABLE";

    // Result column names that the statement named itself (aliases and
    // expression headings); any other column name is shown upper case.
    std::set<std::string> namedColumns;

    // True when the statement reads a data dictionary view.
    bool usesDictionary = false;

    // Kind::Ddl only.
    DdlWork ddl;

    // MERGE, and CREATE TABLE ... AS SELECT (a CREATE TABLE with the
    // column types, then an INSERT): the SQLite statements that carry it
    // out, run in order as one
    // statement (`sql` is empty). A first statement that starts with SELECT
    // is a check: a row from it is ORA-30926.
    // INSERT ALL | FIRST is carried out the same way; its first
    // `preparingSteps` steps set up and count no rows.
    std::vector<std::string> mergeSteps;
    std::size_t preparingSteps = 0;

    // A construct of the statement that EXPLAIN PLAN does not show yet.
    std::string unexplained;

    // What the plan mapper needs to know of the Oracle statement (for
    // EXPLAIN PLAN: of the explained statement).
    PlanFacts facts;
};

// Translates one statement. `catalog` (may be null) tells the tables and
// views of the database; `owner` (upper case, may be empty) is the user's
// schema: names qualified with it are the main database's. Throws
// DialectError for a second statement, a syntax error or a construct it
// does not translate; never passes text it has not understood to SQLite,
// except the SQLite statements listed in Translator.cpp.
Translation translateStatement(const std::string& oracleSql, const Catalog* catalog = nullptr,
                               const std::string& owner = {});

// The names of the data dictionary views the engine provides.
bool isDictionaryView(const std::string& upperName);

}  // namespace localengine::dialect
