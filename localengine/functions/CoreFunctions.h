#pragma once
// Oracle's functions the front end's translations call by name beside the
// ones of registerEngineFunctions: DECODE, NVL, NVL2, LPAD, RPAD,
// ORA_CONCAT (|| with Oracle's null rule) and the helpers of hierarchical
// queries. Each runs inside guardedFunction (sqlite/SqliteGuard.h).

#include <string>

struct sqlite3;

namespace localengine::functions {

// How deep a hierarchical query goes: a row below this level is Oracle's
// error for a CONNECT BY that runs out of memory. `CONNECT BY LEVEL <= n`
// generates up to this many rows.
constexpr long long kMaxHierarchyLevels = 10'000'000;

// DECODE, NVL, NVL2, LPAD, RPAD, ORA_CONCAT and the hierarchy helpers
// (RegisterCore.cpp).
void registerOracleFunctions(sqlite3* db);

// ORA_HIER_KEY, ORA_HIER_PRIOR, ORA_HIER_FLAG and ORA_HIERARCHY_CHECK
// (RegisterHierarchy.cpp); part of registerOracleFunctions.
void registerHierarchyFunctions(sqlite3* db);

// A number as Oracle converts it to text inside SQL: no trailing ".0",
// no leading zero before the decimal point (0.5 -> ".5").
std::string oracleNumberText(double value);

// A real number as a client shows it: integral values without ".0".
std::string displayNumberText(double value);

}  // namespace localengine::functions
