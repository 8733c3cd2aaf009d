#include "ConsoleArgs.h"

#include "Product.h"

#include <QFile>

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
    QStringList positional;
    QString scriptOption;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            invocation.action = Invocation::Action::Help;
            return invocation;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-V")) {
            invocation.action = Invocation::Action::Version;
            return invocation;
        }
        if (argument == QLatin1String("-f") || argument == QLatin1String("--file")) {
            if (i + 1 >= arguments.size() || !scriptOption.isEmpty()) {
                invocation.problem = QStringLiteral("-f needs one script file");
                return invocation;
            }
            scriptOption = arguments.at(++i);
            continue;
        }
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1 && positional.isEmpty()) {
            invocation.problem = QStringLiteral("unknown option \"%1\"").arg(argument);
            return invocation;
        }
        positional.append(argument);
    }
    if (positional.isEmpty())
        return invocation;
    invocation.action = Invocation::Action::Run;
    invocation.logon = parseLogon(positional.takeFirst());
    if (scriptOption.isEmpty() && !positional.isEmpty()) {
        scriptOption = positional.takeFirst();
        if (scriptOption.startsWith(QLatin1Char('@')))
            scriptOption.remove(0, 1);
    }
    invocation.script = scriptOption;
    invocation.scriptArguments = positional;
    return invocation;
}

QString scriptProblem(const Invocation& invocation) {
    if (invocation.script.isEmpty())
        return {};
    QFile file(invocation.script);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open script \"%1\": %2")
            .arg(invocation.script, file.errorString());
    return {};
}

QString usageText() {
    return QStringLiteral(
        "usage: quorvel-sql user[/password][@host] [[-f] script.sql [argument ...]]\n"
        "       quorvel-sql user[/password][@host] < script.sql\n"
        "       quorvel-sql --help | --version\n");
}

QString helpText() {
    return usageText() +
           QStringLiteral(
               "\n"
               "Runs an SQL*Plus script on a database and prints query rows tab-separated,\n"
               "one per line.\n"
               "\n"
               "  user[/password][@host]\n"
               "      host: empty for the built-in sample database, the path of an SQLite file,\n"
               "      or an Oracle server (TNS alias, Easy Connect string or ODBC data source).\n"
               "      Without a password, quorvel-sql asks for it on the terminal. A password on\n"
               "      the command line can be read by every user of the machine.\n"
               "  -f, --file FILE  run the script FILE\n"
               "  -h, --help       show this help and exit\n"
               "  -V, --version    show the version and exit\n"
               "\n"
               "The script is the file named after the logon (with or without a leading \"@\",\n"
               "or after -f), else standard input; further arguments are its &1, &2, ...\n"
               "It is read as SQL*Plus reads one: SQL*Plus commands on lines of their own\n"
               "(REM, PROMPT, SET, DEFINE, @file, @@file, START, WHENEVER SQLERROR, EXIT, ...),\n"
               "substitution variables (&name, &&name) unless SET DEFINE OFF, and comments\n"
               "anywhere. A statement ends with \";\" at the end of a line or with a line\n"
               "holding \"/\" alone; a PL/SQL block ends only with the \"/\" line.\n"
               "\n"
               "Errors name the script and line. A summary goes to standard error at the end.\n"
               "The exit status is 0 when every statement succeeded, 1 otherwise (unless\n"
               "WHENEVER SQLERROR CONTINUE or EXIT says otherwise), and 2 for a bad command "
               "line.\n");
}

QString versionLine() {
    return QStringLiteral("quorvel-sql (Ostrel Quorvel) ") + product::versionText();
}

}  // namespace console
