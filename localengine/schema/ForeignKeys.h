#pragma once
// Which foreign key a statement broke. SQLite enforces foreign keys (with
// PRAGMA foreign_keys = ON) but says only "FOREIGN KEY constraint failed";
// Oracle names the constraint and tells a missing parent (ORA-02291) from a
// parent that still has children (ORA-02292).

#include <optional>
#include <string>

struct sqlite3;

namespace localengine::schema {

struct ForeignKeyViolation {
    bool childRecordFound = false;  // a parent key removed under its children (ORA-02292)
    std::string constraint;         // the foreign key's name as the dictionary shows it
};

// After `sqliteSql` (one INSERT, UPDATE, DELETE or REPLACE in SQLite's
// dialect) failed on a foreign key: runs it again inside a savepoint with the
// checks deferred, reads which foreign key the rows then break, and rolls the
// savepoint back, so that nothing of the second run stays. Nothing when it
// cannot tell.
std::optional<ForeignKeyViolation> findForeignKeyViolation(sqlite3* db,
                                                           const std::string& sqliteSql);

}  // namespace localengine::schema
