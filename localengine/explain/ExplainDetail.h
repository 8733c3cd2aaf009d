#pragma once
// One line of SQLite's EXPLAIN QUERY PLAN output, taken apart.
//
// The detail text is built by SQLite from fixed pieces around identifiers
// that are printed raw (they may contain blanks), so the parser anchors on
// the fixed keywords rather than splitting on blanks. Forms of older SQLite
// releases ("SCAN TABLE t AS a", "EXECUTE SCALAR SUBQUERY n", ...) are
// recognised too; anything else is kept as Unknown with its text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace localengine::explain {

enum class DetailKind {
    TableAccess,         // SCAN t ... / SEARCH t ...
    MultiIndexOr,        // MULTI-INDEX OR
    OrTerm,              // INDEX n (one branch of MULTI-INDEX OR)
    RightJoin,           // RIGHT-JOIN t
    BloomFilter,         // BLOOM FILTER ON t (...)
    ConstantRow,         // SCAN CONSTANT ROW
    ConstantRows,        // SCAN n CONSTANT ROWS / SCAN n-ROW VALUES CLAUSE
    TempBTree,           // USE TEMP B-TREE FOR ...
    Setup,               // SETUP (anchor of a recursive CTE)
    RecursiveStep,       // RECURSIVE STEP
    CompoundQuery,       // COMPOUND QUERY
    LeftMostSubquery,    // LEFT-MOST SUBQUERY
    CompoundArm,         // UNION ALL / UNION USING TEMP B-TREE / ...
    Merge,               // MERGE (op)
    MergeLeft,           // LEFT
    MergeRight,          // RIGHT
    CompoundSubqueries,  // COMPOUND SUBQUERIES n AND m (op) (old flat output)
    CoRoutine,           // CO-ROUTINE x
    Materialize,         // MATERIALIZE x
    ScalarSubquery,      // [CORRELATED ]SCALAR SUBQUERY n
    ListSubquery,        // [CORRELATED ]LIST SUBQUERY n
    ReuseSubquery,       // REUSE [LIST ]SUBQUERY n
    RowidInOperator,     // USING ROWID SEARCH ON TABLE t FOR IN-OPERATOR
    IndexInOperator,     // USING INDEX i FOR IN-OPERATOR
    Unknown
};

// How a SCAN/SEARCH line reaches its rows.
enum class AccessPath {
    Table,              // nothing after the name
    Index,              // USING INDEX i
    CoveringIndex,      // USING COVERING INDEX i
    PrimaryKey,         // USING PRIMARY KEY (WITHOUT ROWID table)
    AutoIndex,          // USING AUTOMATIC [COVERING ]INDEX
    AutoPartialIndex,   // USING AUTOMATIC PARTIAL COVERING INDEX
    IntegerPrimaryKey,  // USING INTEGER PRIMARY KEY (rowid...)
    VirtualTable        // VIRTUAL TABLE INDEX n:str
};

enum class TempPurpose {
    OrderBy,
    PartialOrderBy,
    GroupBy,
    Distinct,
    AggregateDistinct,
    AggregateOrderBy,
    Other
};

// The "(a=? AND b>?)" part of an index line.
struct KeyTerms {
    bool present = false;              // the parenthesised part was printed at all
    std::vector<std::string> equal;    // columns matched by =? (or IN)
    std::vector<std::string> skipped;  // ANY(c): leading columns skipped
    bool lower = false;                // a lower bound (c>? or (a,b)>(?,?))
    bool upper = false;                // an upper bound
    std::vector<std::string> ranged;   // the column(s) of the bounds
};

struct Detail {
    DetailKind kind = DetailKind::Unknown;
    std::string text;           // the line as SQLite printed it
    bool search = false;        // SEARCH rather than SCAN
    std::string name;           // table, alias, subquery or CTE name as printed
    std::string declaredTable;  // old forms "SCAN TABLE t AS a" name the table too
    AccessPath access = AccessPath::Table;
    std::string index;  // index name (also for IN-OPERATOR lines)
    KeyTerms keys;
    bool leftJoin = false;     // " LEFT-JOIN" suffix
    std::string virtualIndex;  // "n:str" of a virtual table line
    long long number = 0;      // subquery number, INDEX n, row count of constant rows
    bool correlated = false;
    std::string op;  // compound operator: UNION ALL, UNION, EXCEPT, INTERSECT
    TempPurpose purpose = TempPurpose::Other;
    std::optional<double> estimatedRows;  // old "(~N rows)" suffix
};

// Takes one detail line apart. Never fails: an unrecognised line comes back
// as DetailKind::Unknown with its text.
Detail parseDetail(std::string_view text);

// Parses the inside of "(a=? AND ANY(b) AND c>?)" (without the outer
// parentheses).
KeyTerms parseKeyTerms(std::string_view inner);

}  // namespace localengine::explain
