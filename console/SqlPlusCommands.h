#pragma once
// The SQL*Plus commands a script may hold, recognised by their first word
// with the abbreviations SQL*Plus accepts (PRO for PROMPT, DEF for DEFINE,
// ...), and the pieces of their arguments the console needs.

#include <QString>
#include <QStringList>
#include <optional>

namespace console {

enum class Command {
    Remark,      // REM[ARK]
    Prompt,      // PRO[MPT] text
    Set,         // SET option value ...
    Show,        // SHO[W]
    Spool,       // SPO[OL]
    Define,      // DEF[INE]
    Undefine,    // UNDEF[INE]
    Whenever,    // WHENEVER SQLERROR|OSERROR ...
    Exit,        // EXIT, QUIT
    Connect,     // CONN[ECT]
    Disconnect,  // DISC[ONNECT]
    Start,       // @file, @@file, STA[RT] file
    Run,         // R[UN]
    Execute,     // EXEC[UTE] statement
    Accept,      // ACC[EPT] variable ...
    Describe,    // DESC[RIBE] [owner.]object
    Formatting,  // report layout: COLUMN, BREAK, TTITLE, CLEAR, PAUSE, ...
    Other,       // a command that means nothing without an SQL*Plus terminal or buffer
};

// The command a script line (already trimmed) starts with, or nothing for a
// line of SQL. "SET TRANSACTION", "SET ROLE" and "SET CONSTRAINT[S]" are SQL.
std::optional<Command> commandOf(const QString& line);

// The line split into words as SQL*Plus reads command arguments: blanks
// separate, and '...' or "..." keep a word together (the quotes removed).
QStringList commandWords(const QString& text);

// The text after the command word (and after "@"/"@@"), trimmed, without a
// trailing ";" (SQL*Plus drops the terminator from its commands).
QString commandArgument(const QString& line);

// True when `word` is `name` or one of its abbreviations of at least
// `shortest` letters (case-insensitive).
bool abbreviates(const QString& word, const char* name, int shortest);

}  // namespace console
