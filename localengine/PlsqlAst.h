#pragma once
// The syntax tree of an anonymous PL/SQL block as the local engine runs it
// (PlsqlParser.cpp builds it, PlsqlRunner.cpp walks it). Expressions and
// SQL statements stay source text: the runner has the engine translate
// them, with the block's variables as bind parameters.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace localengine::plsql {

// A variable's declared type and what it keeps of a value assigned to it.
struct VarSpec {
    enum class Type {
        Number,
        Integer,
        PlsInteger,
        Varchar2,
        Date,
        Boolean,
        Record,
        Cursor,
        Exception
    };
    Type type = Type::Number;
    int precision = 0;  // NUMBER(p,s): 0 when not given
    int scale = 0;
    int length = 0;  // VARCHAR2(n)
    bool constant = false;
    bool notNull = false;
    // Record: a table's columns (table%ROWTYPE; empty: the fields come with
    // the rows, as a cursor's do) and which of them are DATEs.
    std::vector<std::string> fields;
    std::vector<bool> dates;
    int cursor = -1;    // Cursor: its index in Program::cursors
    int errorCode = 0;  // Exception: the Oracle error PRAGMA EXCEPTION_INIT tied to it
};

// The names a piece of code sees: name (upper case) -> variable slot.
using Names = std::map<std::string, int>;

// A PL/SQL expression or an SQL statement as written, with the names in
// scope where it stands. `prepared` is the runner's cache.
struct Code {
    std::string text;
    int line = 1;
    std::shared_ptr<const Names> names;
    mutable std::shared_ptr<void> prepared;
    bool empty() const { return text.empty(); }
};

struct Block;
struct Stmt;
using StmtList = std::vector<std::unique_ptr<Stmt>>;

struct Stmt {
    enum class Kind {
        Null,
        Assign,       // slots[0] := exprs[0]
        If,           // exprs[i] THEN bodies[i]; bodies.size() > exprs.size(): ELSE
        Loop,         // LOOP bodies[0]
        While,        // WHILE exprs[0] LOOP bodies[0]
        ForRange,     // FOR slots[0] IN [REVERSE] exprs[0] .. exprs[1] LOOP
        ForCursor,    // FOR slots[0] IN (exprs[0]) LOOP
        Exit,         // EXIT [label] [WHEN exprs[0]]
        Continue,     // CONTINUE [label] [WHEN exprs[0]]
        Sql,          // exprs[0]: INSERT, UPDATE, DELETE, MERGE
        SelectInto,   // exprs[0]: the query without INTO; slots: the targets
        Execute,      // EXECUTE IMMEDIATE exprs[0] [INTO slots] [USING exprs[1..]]
        PutLine,      // DBMS_OUTPUT.PUT_LINE(exprs[0])
        Put,          // DBMS_OUTPUT.PUT(exprs[0])
        NewLine,      // DBMS_OUTPUT.NEW_LINE
        Enable,       // DBMS_OUTPUT.ENABLE[(size)]
        Disable,      // DBMS_OUTPUT.DISABLE
        RaiseError,   // RAISE_APPLICATION_ERROR(exprs[0], exprs[1])
        GatherStats,  // DBMS_STATS.<name>(exprs[0] owner[, exprs[1] table or index])
        Seed,         // DBMS_RANDOM.SEED(exprs[0])
        Raise,        // RAISE [name | slots[0]]: neither re-raises in a handler
        Commit,
        Rollback,
        Open,   // OPEN slots[0] [(exprs)]
        Fetch,  // FETCH slots[0] INTO slots[1..]
        Close,  // CLOSE slots[0]
        Block   // a nested block
    };
    Kind kind = Kind::Null;
    int line = 1;
    std::vector<Code> exprs;
    std::vector<StmtList> bodies;
    std::vector<int> slots;
    bool reverse = false;
    bool caseStatement = false;  // If: a CASE statement, ORA-06592 when nothing matches
    std::string label;           // the loop's label; EXIT/CONTINUE: the label named
    std::string name;            // RAISE: the exception; GatherStats: the procedure
    std::unique_ptr<Block> block;
};

struct Declaration {
    int slot = 0;
    Code value;  // empty: NULL
    int line = 1;
};

struct Handler {
    std::vector<std::string> exceptions;  // upper case; OTHERS among them
    std::vector<int> userExceptions;      // the slots of declared exceptions
    StmtList body;
};

struct Block {
    std::vector<Declaration> declarations;
    std::vector<int> cursors;  // the slots of the cursors it declares
    StmtList body;
    std::vector<Handler> handlers;
};

// CURSOR name [(parameters)] IS query.
struct CursorDecl {
    Code query;
    std::vector<int> parameters;  // their slots
    std::vector<Code> defaults;   // per parameter; empty: none
};

struct Program {
    std::vector<CursorDecl> cursors;
    Block main;
    std::vector<VarSpec> slots;      // every variable of every block, by slot
    std::vector<std::string> names;  // their names, by slot (upper case)
};

}  // namespace localengine::plsql
