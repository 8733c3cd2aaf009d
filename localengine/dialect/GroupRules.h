#pragma once
// Oracle's rules for grouped query blocks and set operations, checked on
// the bound tree, where SQLite would answer instead of refusing:
//   ORA-00937  an aggregate without GROUP BY beside a plain column
//   ORA-00979  a column that is neither grouped nor inside an aggregate
//   ORA-01790  members of a set operation giving different types
// Each check raises only when it is sure: an expression it cannot compare
// (an unresolved name, a construct it does not know) passes.

#include "Ast.h"

#include <vector>

namespace localengine::dialect {

// Whether `a` and `b` are the same expression once bound: the same columns
// of the same sources, the same functions, operators and literals.
bool sameExpression(const Expr& a, const Expr& b);

// The plain expressions of GROUP BY, those inside ROLLUP, CUBE and
// GROUPING SETS included.
void groupingExpressions(const std::vector<GroupingElement>& groupBy,
                         std::vector<const Expr*>& out);

// ORA-00937 / ORA-00979 for the select list and HAVING of `b`.
void checkGrouping(const SelectBlock& b);

// The same for the ORDER BY of a grouped block: an item may name a
// select-list item (position, heading, or the same expression), a grouped
// expression, or aggregates.
void checkGroupedOrderBy(const SelectBlock& b, const std::vector<OrderItem>& orderBy);

// ORA-01790 when a column of `left` and the same column of `right` are of
// different type families (numbers, character data, dates).
void checkSetOperationTypes(const std::vector<OracleType>& left,
                            const std::vector<OracleType>& right);

}  // namespace localengine::dialect
