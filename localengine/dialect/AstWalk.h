#pragma once
// Visiting the direct sub-expressions of an expression. Subqueries are not
// entered: their expressions belong to their own query blocks.

#include "Ast.h"

#include <functional>

namespace localengine::dialect {

void forEachChild(const Expr& e, const std::function<void(const Expr&)>& visit);

}  // namespace localengine::dialect
