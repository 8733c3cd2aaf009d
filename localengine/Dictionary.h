#pragma once
// The Oracle data dictionary views of the user's schema (USER_TABLES,
// USER_TAB_COLUMNS, USER_INDEXES, USER_IND_COLUMNS, USER_CONSTRAINTS,
// USER_CONS_COLUMNS, USER_VIEWS, USER_OBJECTS, TABS) and the table DUAL,
// kept as temporary tables of the connection and filled from the SQLite
// schema whenever a statement reads them.

#include <string>
#include <vector>

struct sqlite3;

namespace localengine {

// Creates the (empty) dictionary tables and DUAL on `db`.
void installDictionary(sqlite3* db);

// Refills the dictionary tables from the current schema of `db`'s main
// database; `owner` fills the OWNER columns.
void refreshDictionary(sqlite3* db, const std::string& owner);

// One constraint of a table as its CREATE TABLE text declares it.
struct DeclaredConstraint {
    std::string name;  // empty when the statement gave none
    char type = 'C';   // P, U, R or C
    std::vector<std::string> columns;
    std::string condition;  // C: the condition text; R: the referenced table
};

// Reads the constraints out of a CREATE TABLE statement.
std::vector<DeclaredConstraint> declaredConstraints(const std::string& createTableSql);

// The name Oracle would give an unnamed constraint: SYS_C and seven digits,
// the same for the same table, kind and columns in every run.
std::string generatedConstraintName(const std::string& table, char type,
                                    const std::vector<std::string>& columns,
                                    const std::string& condition);

}  // namespace localengine
