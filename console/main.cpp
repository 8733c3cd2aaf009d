// quorvel-sql user[/password][@host] [[-f] script.sql [argument ...]]
// Runs an SQL*Plus script (the file given, else standard input) on the
// database named by the host string (empty: the built-in sample database; an
// SQLite file path; or an Oracle server) and prints query rows tab-separated.

#include <QCoreApplication>
#include <QTextStream>

#include "ConsoleArgs.h"
#include "PasswordPrompt.h"
#include "SqlConsole.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);
    console::Invocation invocation = console::parseArguments(QCoreApplication::arguments().mid(1));
    switch (invocation.action) {
        case console::Invocation::Action::Help:
            out << console::helpText();
            return 0;
        case console::Invocation::Action::Version:
            out << console::versionLine() << '\n';
            return 0;
        case console::Invocation::Action::Usage:
            if (!invocation.problem.isEmpty())
                err << "quorvel-sql: " << invocation.problem << '\n';
            err << console::usageText();
            return 2;
        case console::Invocation::Action::Run:
            break;
    }
    if (const QString problem = console::scriptProblem(invocation); !problem.isEmpty()) {
        err << "quorvel-sql: " << problem << '\n' << console::usageText();
        return 2;
    }
    if (!console::askMissingPassword(invocation.logon, err))
        return 1;
    return console::runConsole(invocation, in, out, err);
}
