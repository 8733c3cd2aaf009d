#pragma once
// Changes to a table that SQLite's ALTER TABLE cannot make (a constraint
// added, dropped, enabled or disabled; a column's type, default or NOT NULL
// changed; a column dropped), made the way SQLite's documentation describes
// ("Making Other Kinds Of Table Schema Changes"): with foreign key
// enforcement off, in one transaction, create the table anew under another
// name, copy every row, drop the old table, rename the new one, create the
// table's indexes and triggers again, check its foreign keys, commit. When
// anything fails, the transaction is rolled back and the table is as it was.

#include <map>
#include <string>
#include <vector>

#include "schema/TableText.h"

struct sqlite3;

namespace localengine::schema {

struct Rebuild {
    std::string table;  // as spelled in the schema
    TableText revised;  // the table's new definition
    // The value each column of the revised table takes, as an SQL expression
    // over the old table's columns. A column not named here takes the old
    // column of the same name; a new column absent from the old table takes
    // its DEFAULT.
    std::map<std::string, std::string> sources;
    // Indexes of the table not to create again (they cover a dropped column,
    // or the change replaces them), by name as spelled.
    std::vector<std::string> droppedIndexes;
    // Check the revised table's rows against its foreign keys (a foreign key
    // added or enabled), whether or not the connection enforces them.
    bool checkForeignKeys = false;
};

// How a rebuild ended. The failures are the rows' fault, and the caller
// turns them into Oracle's error for the constraint it was adding.
enum class RebuildOutcome {
    Done,
    PrimaryKeyViolated,  // duplicate keys for a PRIMARY KEY
    UniqueViolated,      // duplicate keys for a UNIQUE constraint or index
    CheckViolated,
    NotNullViolated,
    ForeignKeyViolated,  // rows without their parent key
};

struct RebuildResult {
    RebuildOutcome outcome = RebuildOutcome::Done;
    std::string detail;  // SQLite's message for a failure
};

// Carries out `rebuild`. Like every Oracle DDL statement it first commits an
// open transaction. Throws EngineError for a failure that is not the rows'
// (a definition SQLite refuses, a busy database); the table is unchanged
// then as well.
RebuildResult rebuildTable(sqlite3* db, const Rebuild& rebuild);

}  // namespace localengine::schema
