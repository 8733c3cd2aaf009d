#pragma once
// The Oracle-dialect to SQLite translator: tokenises one statement, parses
// the constructs that differ between the two dialects and emits SQLite text.

#include <set>
#include <string>

struct sqlite3;

namespace localengine {

struct Translation {
    enum class Kind {
        Sql,          // run `sql`
        ExplainPlan,  // explain `sql` (the translated inner statement) into `planTable`
        Commit        // COMMIT / ROLLBACK: run `sql` only inside an open transaction
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
};

// Translates one statement. `owner` (upper case) is the user's schema:
// names qualified with it are the main database's. `schema`, when given, is the database whose
// schema resolves `*` in hierarchical queries; without it, such a `*` also
// lists the engine's own working columns. Throws EngineError for a second
// statement, an unterminated literal or a construct it cannot translate.
Translation translateStatement(const std::string& oracleSql, sqlite3* schema = nullptr,
                               const std::string& owner = {});

// The names of the data dictionary views the engine provides.
bool isDictionaryView(const std::string& upperName);

}  // namespace localengine
