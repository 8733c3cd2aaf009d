#pragma once
// Rewrite stage: ROWNUM as a row limit. Oracle numbers the rows that FROM
// and WHERE give, before grouping and sorting, and a row that fails the
// condition does not use up its number: the next row is offered the same
// one. So a condition on ROWNUM among conditions joined by AND lets through
// the rows numbered 1, 2 ... up to the first number it rejects:
//     ROWNUM <= n, ROWNUM < n, n >= ROWNUM   the first n (n - 1) rows
//     ROWNUM = 1                             one row; = n for n other than 1: none
//     ROWNUM > n, ROWNUM >= n                none when n >= 1 (n > 1); else every row
//     ROWNUM <> n                            the first n - 1 rows for a whole n >= 1
//     ROWNUM BETWEEN a AND b                 the first b rows when a <= 1; else none
// Bind parameters are read for <= and < only. Over one table or inline
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
        const Expr* value = nullptr;  // a bind parameter: ROWNUM <= :n or ROWNUM < :n
        bool lessThan = false;        // ROWNUM < :n: n - 1 rows
        std::int64_t rows = 0;        // without a parameter: the rows let through
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
