#pragma once
// What Oracle keeps in its dictionary and SQLite has no place for, kept in
// tables of the database file itself so that it travels with the file:
//   "quorvel$sequences"  every sequence, with its options and next value
//   "quorvel$comments"   COMMENT ON TABLE / COLUMN
//   "quorvel$disabled"   constraints that are disabled: taken out of their
//                        table (not enforced) until they are enabled again
//   "quorvel$objects"    views created WITH READ ONLY, synonyms
//   "quorvel$temporary"  global temporary tables: the statement that makes a
//                        connection's own (empty) copy, run when a
//                        connection first names the table
// They are created on first use and hidden from the dictionary views.

#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace localengine::schema {

// True for the name of one of these tables (or of the table rebuild's
// working table): never shown as the user's.
bool isEngineTable(const std::string& name);

// Creates the tables that are missing in the main database.
void ensureSideTables(sqlite3* db);
// True when the main database holds them (a file never touched by DDL
// through the engine does not).
bool hasSideTables(sqlite3* db);

// Global temporary tables: the definition is the database's, the rows
// each connection's own (a table in SQLite's temporary schema).
void keepTemporaryTable(sqlite3* db, const std::string& name, const std::string& createSql);
void forgetTemporaryTable(sqlite3* db, const std::string& name);
// Makes this connection's copy of the global temporary table `name` if the
// database defines one and the connection has none yet. True when the
// connection has it now.
bool provideTemporaryTable(sqlite3* db, const std::string& name);

struct DisabledConstraint {
    std::string table, name;
    char type = 'C';
    std::string column;  // the column it is a clause of; empty for a table constraint
    std::string text;    // its definition as it stood in the table
};

std::vector<DisabledConstraint> disabledConstraints(sqlite3* db);

struct Comment {
    std::string table, column, text;  // column empty: the table's comment
};

std::vector<Comment> comments(sqlite3* db);

struct SequenceRow {
    std::string name;
    std::int64_t minValue = 1, incrementBy = 1, cacheSize = 20, nextValue = 1;
    std::optional<std::int64_t> maxValue;  // none: Oracle's 28 nines (or -1 descending)
    bool cycle = false, order = false;
};

std::vector<SequenceRow> sequences(sqlite3* db);

// What a view or synonym is besides its SQLite view: "READ ONLY VIEW" or
// "SYNONYM", by name; empty when nothing is kept.
std::string objectKind(sqlite3* db, const std::string& name);

}  // namespace localengine::schema
