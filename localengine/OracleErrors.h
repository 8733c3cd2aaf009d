#pragma once
// SQLite's failures in Oracle's words. A statement that SQLite refuses or
// that fails while it runs is reported as Oracle would report it:
//   no such table: T                  ORA-00942: table or view "OWNER"."T" does not exist
//   no such column: E.X               ORA-00904: "E"."X": invalid identifier
//   no such function: F               ORA-00904: "F": invalid identifier
//   ambiguous column name: X          ORA-00918: column ambiguously defined
//   UNIQUE constraint failed: T.A     ORA-00001: unique constraint (OWNER.NAME) violated
//   NOT NULL constraint failed: T.C   ORA-01400: cannot insert NULL into ("OWNER"."T"."C")
//                                     (ORA-01407: cannot update (...) to NULL for UPDATE)
//   CHECK constraint failed: NAME     ORA-02290: check constraint (OWNER.NAME) violated
//   table T already exists            ORA-00955: name is already used by an existing object
//   ... and the others listed in OracleErrors.cpp.
// A failure Oracle has no counterpart for keeps SQLite's words after the
// engine's own code, "QVL-nnnnn: ", nnnnn being SQLite's extended result
// code. A message that is already Oracle's (the engine's functions raise
// "ORA-01476: ...") is kept as it is.

#include "LocalEngine.h"

#include <string>

struct sqlite3;

namespace localengine {

// The prefix of the engine's own codes.
constexpr const char* kOwnErrorPrefix = "QVL-";

// `error`, raised by SQLite while preparing or running `sql` (the SQLite
// text) on `db` for the user `owner`, in Oracle's words. Reads the schema
// to name a violated constraint. Keeps the SQLite result code.
EngineError oracleError(sqlite3* db, const EngineError& error, const std::string& owner,
                        const std::string& sql);

// The Oracle error number at the start of `message` ("ORA-00942: ..."
// gives 942), or 0.
int oracleErrorNumber(const std::string& message);

}  // namespace localengine
