#pragma once
// Runs a parsed anonymous block on the engine. Every expression and
// condition is evaluated by the engine itself (a SELECT of it FROM dual,
// translated from Oracle's dialect like any statement), with the block's
// variables as bind parameters; SQL statements in the block get the same
// parameters in place of the variables they name. Nothing is ever spliced
// into SQL text.

#include "PlsqlAst.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace localengine::dialect {
class Catalog;
}

namespace localengine::plsql {

// What DBMS_OUTPUT wrote while output was enabled: whole lines, and the
// text PUT left for the next line.
struct ServerOutput {
    std::vector<std::string> lines;
    std::string partial;
};

// What the runner needs of the connection.
class Host {
public:
    virtual ~Host() = default;
    using Binder = std::function<void(sqlite3_stmt*)>;
    using RowReader = std::function<bool(sqlite3_stmt*)>;  // false: stop reading
    // Runs one Oracle statement: `bind` binds its parameters, `row` (may
    // be null) reads each row. Returns the rows a DML statement changed, or
    // the rows read. A DDL statement commits the block's work first, as
    // Oracle's does.
    virtual std::int64_t runSql(const std::string& oracleSql, const Binder& bind,
                                const RowReader* row) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual const dialect::Catalog* catalog() = 0;
    virtual ServerOutput* output() = 0;  // null while output is disabled
    virtual void enableOutput(bool enabled) = 0;
    // DBMS_RANDOM.SEED: the session's generator starts again from `seed`
    // (a number's digits or any text).
    virtual void seedRandom(const std::string& seed) = 0;
};

// How many loop iterations one block may run before the engine stops it.
constexpr std::int64_t kMaxIterations = 10'000'000;

// Runs the block. Throws EngineError for an error no handler took, its
// text followed by "ORA-06512: at line N".
void runProgram(Program& program, Host& host);

}  // namespace localengine::plsql
