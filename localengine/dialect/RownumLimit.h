#pragma once
// Rewrite stage: ROWNUM as a row limit. Oracle numbers the rows that FROM
// and WHERE give, before grouping and sorting, so `WHERE ROWNUM <= n`
// (also ROWNUM < n, ROWNUM = 1, and n >= ROWNUM ...) among conditions
// joined by AND stops the block after n rows. Over one table or inline
// view the limited rows become the block's source:
//     FROM (SELECT * FROM t AS "T" WHERE <other conditions> LIMIT n OFFSET 0) "T"
// so grouping and sorting come after the limit, as in Oracle (OFFSET 0
// keeps SQLite from merging the subquery into the query and so taking
// the first n rows of its ORDER BY instead). Over a join
// the limit ends the block, which is only the same when nothing groups or
// sorts after it; otherwise the statement is refused.

#include "Ast.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace localengine::dialect {

struct RownumLimit {
    struct Bound {
        const Expr* value = nullptr;  // n: a number literal, signed or not, or a bind parameter
        bool lessThan = false;        // ROWNUM < n: n - 1 rows
    };
    std::vector<Bound> bounds;      // several limit the block to the smallest
    std::vector<const Expr*> rest;  // WHERE's other conditions, in order

    bool found() const { return !bounds.empty(); }
    // The number of rows when every bound is a literal (never negative).
    std::optional<std::int64_t> rows() const;
};

// Looks for the limit among the conditions of `b`'s WHERE.
RownumLimit findRownumLimit(const SelectBlock& b);

}  // namespace localengine::dialect
