#pragma once
// Splits an SQL*Plus script into what SQL*Plus would run: its own commands
// (one line each, or several joined by a trailing " -"), SQL statements and
// PL/SQL blocks, each with the line it starts on. Knows nothing of the
// database: the console runs what it returns.
//
// The rules, as SQL*Plus applies them to a script:
//  - Between statements, a line whose first word is an SQL*Plus command
//    (`REM`, `PROMPT`, `SET ...`, `@file`, ...) is that command. Inside a
//    statement every line belongs to the statement (`SET` in an UPDATE).
//  - `--` lines and `/* */` comments between statements are skipped; a
//    comment that stands before a statement's first word stays with the
//    statement, which is still classified by that first word.
//  - An SQL statement ends with the SQL terminator (";") as the last thing on
//    a line outside quotes and comments, or with a line holding "/" alone.
//    The terminator is dropped. A ";" followed by more text stays in the
//    statement.
//  - A PL/SQL block (DECLARE, BEGIN, CREATE [OR REPLACE] FUNCTION, PROCEDURE,
//    PACKAGE, TRIGGER, TYPE, LIBRARY, JAVA) keeps every ";" and ends only
//    with the "/" line.
//  - A line holding the block terminator (".") alone ends a statement without
//    running it; "/" on its own with nothing collected runs the last one
//    again.
//  - Blank lines inside a statement are kept in it (SQL*Plus needs
//    SET SQLBLANKLINES ON for that; scripts that rely on it load here as they
//    are written).

#include <QChar>
#include <QString>
#include <QStringList>
#include <optional>

namespace console {

struct ScriptItem {
    enum class Kind {
        Command,   // an SQL*Plus command line (continuations joined)
        Sql,       // an SQL statement to run
        Block,     // a PL/SQL block to run
        Buffered,  // a statement ended by the block terminator: kept, not run
        RunAgain,  // "/" with no statement collected: run the last one again
    };
    Kind kind = Kind::Sql;
    QString text;
    int line = 0;  // the line the item starts on, from 1
};

class ScriptReader {
public:
    // QChar() turns a terminator off.
    void setSqlTerminator(QChar terminator) { m_sqlTerminator = terminator; }
    void setBlockTerminator(QChar terminator) { m_blockTerminator = terminator; }

    // Adds the next line; returns the item it completes, if any.
    std::optional<ScriptItem> addLine(const QString& line);
    // The item left open at the end of the script, if any: a statement
    // without its terminator is run as it stands.
    std::optional<ScriptItem> finish();

private:
    enum class Quote { None, Single, Double, QQuote, BlockComment };
    // Scans `line` from `from` with the lexical state carried over from the
    // lines before; records the statement's first words and returns the
    // offset just past the last significant character (0 for none).
    qsizetype scan(const QString& line, qsizetype from = 0);
    void scanQuoted(const QString& line, qsizetype& i, qsizetype& end);
    void noteWord(const QString& word);
    bool isBlock() const;
    std::optional<ScriptItem> take(ScriptItem::Kind kind);
    std::optional<ScriptItem> commandLine(const QString& line);

    QChar m_sqlTerminator = QLatin1Char(';');
    QChar m_blockTerminator = QLatin1Char('.');

    int m_lineNumber = 0;
    int m_startLine = 0;
    QStringList m_lines;       // the statement being collected
    QStringList m_firstWords;  // its first few words, upper case
    Quote m_quote = Quote::None;
    QChar m_qClose;                  // closing delimiter of a q'...' literal
    bool m_skippingComment = false;  // in a /* */ comment between statements
    QString m_command;               // an SQL*Plus command continued with " -"
    int m_commandLine = 0;
    bool m_lastWasTerminator = false;  // the significant text ended with the terminator
};

// The first word of a statement after comments, blanks and opening
// parentheses, upper case ("SELECT" for "/* c */ (select ...").
QString firstWord(const QString& statement);

// True for a statement that returns rows (SELECT or WITH first).
bool isQuery(const QString& statement);

// True for a statement AUTOTRACE explains: a query, INSERT, UPDATE, DELETE
// or MERGE.
bool isTraceable(const QString& statement);

}  // namespace console
