#pragma once
// Visiting the direct sub-expressions of an expression. Subqueries are not
// entered: their expressions belong to their own query blocks.

#include "Ast.h"

#include <functional>

namespace localengine::dialect {

void forEachChild(const Expr& e, const std::function<void(const Expr&)>& visit);

// The same, with the owning pointers, so that a visitor may replace a child.
void forEachChildSlot(Expr& e, const std::function<void(ExprPtr&)>& visit);

// The subqueries an expression holds directly (scalar, IN, EXISTS, ANY/ALL).
void forEachSubquery(Expr& e, const std::function<void(Query&)>& visit);

}  // namespace localengine::dialect
