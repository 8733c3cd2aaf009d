// quorvel-sql user/password@host
// Runs the statements read from standard input on the database named by the
// host string (empty: the built-in sample database; an SQLite file path; or an
// Oracle server) and prints query rows tab-separated, one per line.

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "SqlConsole.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 || args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h")) {
        err << "usage: quorvel-sql user/password@host < statements.sql\n"
               "  host: empty for the built-in sample database, the path of an SQLite file,\n"
               "        or an Oracle server (TNS alias, Easy Connect string or ODBC data source).\n"
               "  Each statement ends with \";\" at the end of a line or with a line holding "
               "\"/\" alone.\n";
        return 2;
    }
    return console::runConsole(console::parseLogon(args[1]), in, out, err);
}
