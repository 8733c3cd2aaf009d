#pragma once
// The built-in sample database: a small sales schema with realistic,
// deterministically generated data and optimizer statistics.

struct sqlite3;

namespace localengine {

// Creates the sample schema in the empty database `db`, fills it and runs
// ANALYZE. Throws EngineError on failure.
void buildSampleDatabase(sqlite3* db);

}  // namespace localengine
