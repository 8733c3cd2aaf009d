#pragma once
// TABLE(DBMS_XPLAN.DISPLAY[(table_name[, statement_id[, format]])]) in
// FROM: the plan table's rows laid out as Oracle prints them. The engine
// provides it as the table function ORA_DBMS_XPLAN_DISPLAY(table_name,
// statement_id, format) with the one column PLAN_TABLE_OUTPUT; missing
// arguments take DBMS_XPLAN's defaults ('PLAN_TABLE', the latest plan,
// 'TYPICAL').

#include <vector>

#include "Ast.h"

namespace localengine::dialect {

inline constexpr char kPlanDisplayFunction[] = "ORA_DBMS_XPLAN_DISPLAY";
inline constexpr char kPlanDisplayColumn[] = "PLAN_TABLE_OUTPUT";

// True when `e` names DBMS_XPLAN.DISPLAY (SYS.DBMS_XPLAN.DISPLAY too), with
// or without an argument list.
bool isPlanDisplay(const Expr& e);

// Its arguments, in order (none without an argument list). Refuses more
// than DISPLAY takes with Oracle's PLS-00306.
std::vector<const Expr*> planDisplayArguments(const Expr& e);

}  // namespace localengine::dialect
