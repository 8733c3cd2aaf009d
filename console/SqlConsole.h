#pragma once
// quorvel-sql: reads statements from a text stream, runs each through the
// session component and prints query rows, rows processed and errors.

#include "ConsoleArgs.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace console {

// Collects input lines into statements. A statement ends with a line whose
// last non-blank character is ";" (that ";" is dropped) or with a line holding
// "/" alone. A ";" inside a line stays in the statement. A PL/SQL block
// (BEGIN, DECLARE, CREATE [OR REPLACE] PROCEDURE/FUNCTION/PACKAGE/TRIGGER/TYPE)
// holds ";" of its own and ends only with the "/" line. Blank lines and "--"
// comment lines between statements are skipped.
class StatementSplitter {
public:
    // Adds one line; returns the statement it completes, if any.
    std::optional<QString> addLine(const QString& line);
    // The statement left unfinished at the end of the input, if any.
    std::optional<QString> finish();
    // The input line on which the statement being collected began.
    int statementLine() const { return m_startLine; }

private:
    std::optional<QString> take();

    QStringList m_lines;
    bool m_block = false;
    int m_lineNumber = 0;
    int m_startLine = 0;
};

// True for a statement that returns rows (SELECT or WITH first).
bool isQuery(const QString& statement);

// Opens the database and runs every statement of `in`. Returns the exit
// status: 0 when everything succeeded, 1 after any failure (the run goes on
// to the end of the input after a failed statement).
int runConsole(const Logon& logon, QTextStream& in, QTextStream& out, QTextStream& err);

}  // namespace console
