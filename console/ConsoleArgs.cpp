#include "ConsoleArgs.h"

#include "Product.h"

namespace console {

Logon parseLogon(const QString& argument) {
    Logon logon;
    const qsizetype slash = argument.indexOf(QLatin1Char('/'));
    const qsizetype at = argument.indexOf(QLatin1Char('@'));
    if (slash < 0 || (at >= 0 && at < slash)) {
        logon.user = at < 0 ? argument : argument.left(at);
        logon.host = at < 0 ? QString() : argument.mid(at + 1);
        return logon;
    }
    logon.user = argument.left(slash);
    logon.passwordGiven = true;
    const QString rest = argument.mid(slash + 1);
    const qsizetype hostAt = rest.indexOf(QLatin1Char('@'));
    logon.password = hostAt < 0 ? rest : rest.left(hostAt);
    logon.host = hostAt < 0 ? QString() : rest.mid(hostAt + 1);
    return logon;
}

Invocation parseArguments(const QStringList& arguments) {
    Invocation invocation;
    QStringList logons;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            invocation.action = Invocation::Action::Help;
            return invocation;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-V")) {
            invocation.action = Invocation::Action::Version;
            return invocation;
        }
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            invocation.problem = QStringLiteral("unknown option \"%1\"").arg(argument);
            return invocation;
        }
        logons.append(argument);
    }
    if (logons.size() > 1) {
        invocation.problem =
            QStringLiteral("one logon argument expected, %1 given").arg(logons.size());
        return invocation;
    }
    if (logons.isEmpty())
        return invocation;
    invocation.action = Invocation::Action::Run;
    invocation.logon = parseLogon(logons.front());
    return invocation;
}

QString usageText() {
    return QStringLiteral(
        "usage: quorvel-sql user[/password][@host] < statements.sql\n"
        "       quorvel-sql --help | --version\n");
}

QString helpText() {
    return usageText() +
           QStringLiteral(
               "\n"
               "Runs the SQL statements read from standard input on a database and prints\n"
               "query rows tab-separated, one per line.\n"
               "\n"
               "  user[/password][@host]\n"
               "      host: empty for the built-in sample database, the path of an SQLite file,\n"
               "      or an Oracle server (TNS alias, Easy Connect string or ODBC data source).\n"
               "      Without a password, quorvel-sql asks for it on the terminal. A password on\n"
               "      the command line can be read by every user of the machine.\n"
               "  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n"
               "\n"
               "Each statement ends with \";\" at the end of a line or with a line holding \"/\"\n"
               "alone. The exit status is 0 when every statement succeeded, 1 otherwise, and 2\n"
               "for a bad command line.\n");
}

QString versionLine() {
    return QStringLiteral("quorvel-sql (Ostrel Quorvel) ") + product::versionText();
}

}  // namespace console
