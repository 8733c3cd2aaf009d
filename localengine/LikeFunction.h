#pragma once
// ORA_LIKE(value, pattern[, escape]): Oracle's LIKE where the pattern is
// only known when the statement runs (a column, a bind variable). A pattern
// written in the statement becomes a GLOB there instead.

struct sqlite3;

namespace localengine {

void registerLikeFunction(sqlite3* db);

}  // namespace localengine
