#pragma once
// What the plan text of SQLite does not say but the statement does: the
// statement's verb and target, the aliases of its FROM items, and per
// SELECT block whether it aggregates, groups, sorts, is DISTINCT, has a
// LIMIT, and which columns it compares with an IN list or IN subquery.
//
// A light scanner, not a parser: it reads tokens and tracks parentheses,
// which is all that is needed to attach these facts to the right block.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite/SqliteText.h"

namespace localengine::explain {

struct FromItem {
    std::string schema;     // "main" in main.t1, else empty
    std::string name;       // table, view, CTE or function name; empty for a subquery
    std::string alias;      // empty when none
    bool subquery = false;  // (SELECT ...) [AS] alias
    bool function = false;  // table-valued function: name(...)
    int block = -1;         // index of the SELECT block it belongs to (-1: DML target)
    int ordinal = 0;        // 1-based order of appearance in the statement

    // The name SQLite prints for this item in SCAN/SEARCH lines.
    std::string printedName() const;
    // True when SQLite prints this item as `printed` (any case).
    bool printedAs(std::string_view printed) const;
};

struct SelectBlock {
    int depth = 0;       // parenthesis depth of its SELECT keyword
    int queryBlock = 0;  // the Oracle query block it carries (SEL$n), 0 when not told
    // The number SQLite gives the block as it parses it (its subquery
    // lines print it): blocks count up in the order they end, a subquery
    // before the block that holds it. 0 for a block that is not a SELECT.
    int sqliteNumber = 0;
    std::string part;            // of a block written in parts: START WITH, CONNECT BY, ...
    bool dml = false;            // an UPDATE's or DELETE's own block: its WHERE
    bool aggregate = false;      // an aggregate function outside a window
    bool countStarOnly = false;  // every aggregate is count(*)
    bool minMaxOnly = false;     // every aggregate is min() or max() of one argument
    bool groupBy = false;
    bool distinct = false;  // SELECT DISTINCT
    bool orderBy = false;
    bool limit = false;
    std::optional<long long> limitRows;  // LIMIT n with a literal n
    bool where = false;
    bool rowidCompared = false;               // ROWID (or _ROWID_, OID) in WHERE or ON
    std::set<std::string> inListColumns;      // lower case: col IN (1, 2, ...)
    std::set<std::string> inSubqueryColumns;  // lower case: col IN (SELECT ...)
};

struct StatementShape {
    std::string verb;          // SELECT, INSERT, UPDATE, DELETE, or e.g. "CREATE INDEX"
    std::string target;        // DML target table / CREATE TABLE or INDEX name
    std::string indexTable;    // CREATE INDEX ... ON <table>
    bool uniqueIndex = false;  // CREATE UNIQUE INDEX
    bool asSelect = false;     // CREATE TABLE ... AS SELECT
    std::vector<FromItem> from;
    std::vector<SelectBlock> blocks;
    std::vector<std::string> cteNames;
    bool compoundLimit = false;  // a top-level compound ending in LIMIT

    // The FROM item whose printed name (alias, or name) is `printed`,
    // searching `preferBlock` first; nullptr when none.
    const FromItem* findItem(std::string_view printed, int preferBlock = -2) const;
    bool isCte(std::string_view name) const;
};

// Scans one statement (SQLite dialect). Never fails; what it cannot place
// is left out.
StatementShape analyseStatement(std::string_view sql);

// Case-insensitive ASCII comparison and upper-casing used throughout the
// plan mapping (identifiers are compared as SQLite does for ASCII).
using sqlite::lowerName;
using sqlite::sameName;
using sqlite::upperName;

}  // namespace localengine::explain
