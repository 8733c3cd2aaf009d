#pragma once
// quorvel-sql's command line: the logon argument and the few options.

#include <QString>
#include <QStringList>

namespace console {

// The parts of the logon argument "user[/password][@host]". An "@" before any
// "/" ends the user name: "scott@dbhost:1521/ORCL" and "scott@/data/sales.db"
// carry no password and the rest is the host. Otherwise the argument is split
// at the first "/" and the rest at its first "@", so that a host may be a file
// path ("scott/x@/data/sales.db"). An empty host is the built-in sample database.
struct Logon {
    QString user;
    QString password;
    QString host;
    // False when the argument held no password; it is then asked for.
    bool passwordGiven = false;
};
Logon parseLogon(const QString& argument);

// What the command line asks for.
struct Invocation {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Usage;
    Logon logon;                  // for Run
    QString script;               // for Run: the script file; empty for standard input
    QStringList scriptArguments;  // for Run: &1, &2, ... of the script
    QString problem;              // for Usage: what was wrong, empty when nothing was given
};
// `arguments` without the program name: options, the logon, then the script
// (`-f FILE`, `FILE` or `@FILE`) and its arguments.
Invocation parseArguments(const QStringList& arguments);

// What is wrong with the script the command line names (it cannot be read),
// or an empty text.
QString scriptProblem(const Invocation& invocation);

// The text of --help, the short usage shown after a bad command line, and the
// line --version prints.
QString helpText();
QString usageText();
QString versionLine();

}  // namespace console
