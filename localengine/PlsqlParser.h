#pragma once
// Reads an anonymous PL/SQL block into its syntax tree. What the local
// engine does not run (named subprograms, explicit cursors, collections,
// records beyond a cursor loop's, GOTO, ...) is refused here, before
// anything runs, with ORA-03001 naming the construct.

#include "PlsqlAst.h"

#include <string>

namespace localengine::dialect {
class Catalog;
}

namespace localengine::plsql {

// `catalog` (may be null) answers table.column%TYPE.
Program parseBlock(const std::string& sql, const dialect::Catalog* catalog);

// The refusal of a construct the engine does not run.
[[noreturn]] void refuse(const std::string& what);

// How deep blocks, loops and IFs may nest.
constexpr int kMaxNesting = 64;

}  // namespace localengine::plsql
