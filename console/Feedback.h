#pragma once
// The line SQL*Plus prints after a statement that returns no rows, with
// FEEDBACK on: "Table created.", "3 rows updated.", "Commit complete.",
// "Explained." ...

#include <QString>

namespace console {

// The feedback for `statement` (an SQL statement, not a PL/SQL block) that
// affected `rows` rows.
QString feedbackFor(const QString& statement, qint64 rows);

}  // namespace console
