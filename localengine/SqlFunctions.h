#pragma once
// Oracle's SQL functions that SQLite lacks, registered on a database handle.

#include <string>

struct sqlite3;

namespace localengine {

// How deep a hierarchical query goes: a row below this level is Oracle's
// error for a CONNECT BY that runs out of memory. `CONNECT BY LEVEL <= n`
// generates up to this many rows.
constexpr long long kMaxHierarchyLevels = 10'000'000;

// DECODE, NVL, NVL2, LPAD, RPAD, ORA_CONCAT (|| with Oracle's null rule)
// and the helpers of translated hierarchical queries.
void registerOracleFunctions(sqlite3* db);

// A number as Oracle converts it to text inside SQL: no trailing ".0",
// no leading zero before the decimal point (0.5 -> ".5").
std::string oracleNumberText(double value);

// A real number as a client shows it: integral values without ".0".
std::string displayNumberText(double value);

}  // namespace localengine
