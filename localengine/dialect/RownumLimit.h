#pragma once
// Rewrite stage: ROWNUM as a row limit. Oracle numbers the rows that FROM
// and WHERE give, before grouping and sorting, so `WHERE ROWNUM <= n`
// (also ROWNUM < n, ROWNUM = 1, and n >= ROWNUM ...) among conditions
// joined by AND stops the block after n rows. Over one table or inline
// view the limited rows become the block's source:
//     FROM (SELECT * FROM t AS "T" WHERE <other conditions> LIMIT n) "T"
// so grouping and sorting come after the limit, as in Oracle. Over a join
// the limit ends the block, which is only the same when nothing groups or
// sorts after it; otherwise the statement is refused.

#include "Ast.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace localengine::dialect {

struct RownumLimit {
    const Expr* bound = nullptr;    // n, a number literal or a bind parameter; null: no limit
    bool lessThan = false;          // ROWNUM < n: n - 1 rows
    std::vector<const Expr*> rest;  // WHERE's other conditions, in order

    bool found() const { return bound != nullptr; }
    // The number of rows when n is a literal (never negative).
    std::optional<std::int64_t> rows() const;
};

// Looks for the limit among the conditions of `b`'s WHERE.
RownumLimit findRownumLimit(const SelectBlock& b);

}  // namespace localengine::dialect
