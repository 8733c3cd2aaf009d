#pragma once
// The statements of one analysis: EXPLAIN PLAN for the user's statement
// under this workstation's tag, and the query that reads the plan back as
// an indented tree, one line per plan step.

#include "OraObjects.h"

#include <QString>

namespace ExplainRunner {

// Removes ordinary spaces at both ends; tabs and line breaks stay.
QString trimSpaces(const QString& text);
// EXPLAIN PLAN for the source text, trimmed of spaces at both ends.
QString explainStatement(const QString& statementId, const QString& source);
QString readBackQuery(const QString& statementId);
// The plan text: each row's first column followed by CR LF.
QString planText(oraobj::OraDynaset& rows);

}  // namespace ExplainRunner
