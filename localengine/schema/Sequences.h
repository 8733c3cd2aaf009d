#pragma once
// Oracle's sequences over the "quorvel$sequences" table (SideTables.h):
// NEXTVAL hands out the next value and moves the sequence on, CURRVAL
// repeats the value this connection was last given.

#include <cstdint>
#include <string>

struct sqlite3;

namespace localengine::schema {

// Registers ORA_SEQUENCE_NEXTVAL(name) and ORA_SEQUENCE_CURRVAL(name), which
// the front end writes for name.NEXTVAL and name.CURRVAL, and
// ORA_SEQUENCE_NEXTVAL(name, 'ALWAYS') of GENERATED ALWAYS identity columns
// (dialect::identityDefault). CURRVAL is kept per database handle.
void registerSequenceFunctions(sqlite3* db);

// The next value of the sequence `name` (moved on), with Oracle's errors:
// ORA-02289 for a missing sequence, ORA-08004 past its limit.
std::int64_t nextValue(sqlite3* db, const std::string& name);

}  // namespace localengine::schema
