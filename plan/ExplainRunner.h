#pragma once
// The statements of one analysis: EXPLAIN PLAN for the user's statement
// under this workstation's tag, and the query that reads the plan back as
// an indented tree, one line per plan step.

#include "OraObjects.h"

#include <QString>
#include <optional>

namespace ExplainRunner {

// Removes ordinary spaces at both ends; tabs and line breaks stay.
QString trimSpaces(const QString& text);
// EXPLAIN PLAN for the source text, trimmed of spaces at both ends.
QString explainStatement(const QString& statementId, const QString& source);
QString readBackQuery(const QString& statementId);
// The plan text: each row's first column followed by CR LF.
QString planText(oraobj::OraDynaset& rows);

// What one analysis gave: the plan text, or the failure that stopped it.
struct Outcome {
    QString planText;
    std::optional<QString> failure;  // as the "SQLｴﾗｰ" box shows it
};

// The database's part of an analysis: deletes this workstation's plan
// rows, explains `source` under `statementId` and reads the plan back. On
// a failure the rows already deleted stay deleted, and the rows of an
// EXPLAIN that ran stay in the table.
Outcome analyse(oraobj::OraDatabase& db, const QString& statementId, const QString& source);

}  // namespace ExplainRunner
