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
    Logon logon;      // for Run
    QString problem;  // for Usage: what was wrong, empty when nothing was given
};
// `arguments` without the program name.
Invocation parseArguments(const QStringList& arguments);

// The text of --help, the short usage shown after a bad command line, and the
// line --version prints.
QString helpText();
QString usageText();
QString versionLine();

}  // namespace console
