// quorvel-sql user[/password][@host]
// Runs the statements read from standard input on the database named by the
// host string (empty: the built-in sample database; an SQLite file path; or an
// Oracle server) and prints query rows tab-separated, one per line.

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
    if (!console::askMissingPassword(invocation.logon, err))
        return 1;
    return console::runConsole(invocation.logon, in, out, err);
}
