#pragma once
// Which words the parser treats as keywords where a name could also stand.

#include "Lexer.h"

namespace localengine::dialect {

// Oracle's reserved words (SQL Language Reference, "Oracle SQL Reserved
// Words"), and the words that follow a name in FROM or a select list
// (JOIN, LEFT, FETCH ...): none of them is taken as an alias.
bool endsAlias(const Token& t);

// Words that cannot begin an expression (FROM, WHERE, AND ...): meeting
// one where an expression is expected is "missing expression".
bool cannotStartExpression(const Token& t);

}  // namespace localengine::dialect
