#pragma once
// Database files the user names at logon may come from anywhere: another
// program, another person, a damaged disk. This is how the engine opens them
// (SQLite's own precautions for files of unknown origin) and what it says
// when such a file lets it down.

#include "LocalEngine.h"

#include <memory>
#include <string>

struct sqlite3;

namespace localengine {

// Applies the precautions to a freshly opened handle, before the first
// statement reads the file: defensive mode (ordinary SQL cannot corrupt the
// file), an untrusted schema (views, triggers, CHECK constraints, defaults and
// index expressions stored in the file may call only functions and virtual
// tables marked innocuous), no extension loading, checked cell sizes and no
// memory-mapped I/O. Views and triggers stay enabled: users' schemas have
// them. Then checks the structure of the whole file (PRAGMA quick_check), so
// that a damaged file is refused before anything is written to it. Throws
// EngineError when SQLite refuses a setting or the file is unreadable,
// no database or damaged.
void configureUserFileHandle(sqlite3* db);

// What a failure interrupted, for its message.
enum class FileWork {
    Opening,          // logging on to the file
    Statement,        // a statement, run on its own
    TransactionLost,  // a statement whose failure also rolled back the open transaction
};

// The error to show for `error`, raised while working on the file `path`:
// for a file that is no database, damaged, locked by another program, moved
// or deleted, unreadable, read-only or on a full disk, a message that says so
// and what became of the work; any other error as it is.
EngineError describeFileError(const EngineError& error, const std::string& path, FileWork work);

// Wraps `connection`, which works on the file `path` through `db`, so that
// its failures are described as above.
std::unique_ptr<Connection> describingFileErrors(std::unique_ptr<Connection> connection,
                                                 sqlite3* db, const std::string& path);

}  // namespace localengine
