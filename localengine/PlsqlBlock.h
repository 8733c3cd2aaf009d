#pragma once
// Anonymous PL/SQL blocks of SQL statements, as data scripts hold them:
//
//   BEGIN
//     INSERT INTO regions VALUES (1, 'Europe');
//     INSERT INTO regions VALUES (2, 'Americas');
//     COMMIT;
//   END;
//
// The local engine runs such a block as one call, all of its statements or
// none of them. It takes INSERT, UPDATE, DELETE and MERGE, COMMIT, NULL,
// EXECUTE IMMEDIATE with one literal, nested BEGIN ... END blocks, a DECLARE
// that declares nothing, and a handler that ignores every error
// (EXCEPTION WHEN OTHERS THEN NULL). Anything else PL/SQL has (variables,
// assignments, loops, cursors, procedure calls, other handlers) is refused
// before anything runs, with an error naming it.

#include <string>
#include <vector>

namespace localengine {

struct BlockStatement {
    std::string sql;  // one SQL statement, without its ";"
    int line = 1;     // its line within the block, from 1
};

struct PlsqlBlock {
    std::vector<BlockStatement> statements;
    bool commits = false;        // the block holds a COMMIT: it commits when it ends
    bool ignoresErrors = false;  // EXCEPTION WHEN OTHERS THEN NULL
};

// True when `oracleSql` is an anonymous block (BEGIN or DECLARE first).
bool isAnonymousBlock(const std::string& oracleSql);

// The statements of the block in order. Throws EngineError
// ("ORA-03001: unimplemented feature: ...") for anything else in it.
PlsqlBlock readPlsqlBlock(const std::string& oracleSql);

}  // namespace localengine
