#pragma once
// The Oracle data dictionary views of the user's schema (USER_TABLES,
// USER_TAB_COLUMNS, USER_INDEXES, USER_IND_COLUMNS, USER_CONSTRAINTS,
// USER_CONS_COLUMNS, USER_VIEWS, USER_OBJECTS, TABS) and the table DUAL,
// kept as temporary tables of the connection and filled from the SQLite
// schema whenever a statement reads them.

#include <string>

struct sqlite3;

namespace localengine::schema {

// Creates the (empty) dictionary tables and DUAL on `db`.
void installDictionary(sqlite3* db);

// Refills the dictionary tables from the current schema of `db`'s main
// database; `owner` fills the OWNER columns.
void refreshDictionary(sqlite3* db, const std::string& owner);

}  // namespace localengine::schema
