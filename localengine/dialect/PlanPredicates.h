#pragma once
// The facts of a query block that the plan mapper reads beside SQLite's
// plan: its tables and its conditions, the conditions printed as Oracle
// prints them in a plan's ACCESS_PREDICATES and FILTER_PREDICATES.
//
// Oracle's way of printing a condition, as DBMS_XPLAN shows it:
//  - names in double quotes, a column qualified by its table's alias when
//    the block reads more than one table: "E"."DEPTNO"="D"."DEPTNO";
//  - no blanks around operators: "SAL">1000, "ENAME" LIKE 'S%';
//  - BETWEEN as two comparisons, an IN list as comparisons joined by OR;
//  - a DATE literal as TO_DATE(' 1981-01-01 00:00:00', 'syyyy-mm-dd
//    hh24:mi:ss'); a bind variable compared with a number as TO_NUMBER(:X)
//    (EXPLAIN PLAN takes every bind as text), text compared with a number
//    as TO_NUMBER("C");
//  - a subquery as EXISTS (SELECT 0 FROM "EMP" "E" WHERE ...), the
//    enclosing block's columns in it as :B1, :B2 ..., and so in the
//    subquery's own conditions ("E"."DEPTNO"=:B1) when it runs per row.

#include "Ast.h"
#include "PlanFacts.h"

#include <map>

namespace localengine::dialect {

// Table numbers (OBJECT_INSTANCE) of the statement's named tables, by node.
using TableInstances = std::map<const TableRef*, int>;

// Numbers every named table of the statement in text order from 1.
TableInstances numberTables(const Statement& statement);

// Fills `facts.tables`, `facts.predicates` and `facts.rankColumns` from the
// block's FROM, WHERE, hierarchy and select list; `owner`, the query the
// block is the only block of (may be null), for its FETCH FIRST.
void describeBlock(const SelectBlock& block, const Query* owner, const TableInstances& instances,
                   QueryBlockFacts& facts);

// The same for a DML statement's own block (UPD$1, DEL$1): its target
// table and the conditions of its WHERE; `reads`, the other expressions
// whose columns it reads (the values an UPDATE assigns).
void describeDmlBlock(const NamedTable& target, const Expr* where, std::vector<const Expr*> reads,
                      const TableInstances& instances, QueryBlockFacts& facts);

// Oracle's text of one condition of `block` (exposed for tests).
std::string predicateText(const Expr& condition, const SelectBlock& block);

}  // namespace localengine::dialect
