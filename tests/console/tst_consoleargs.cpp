// quorvel-sql's command line and its password prompt, in process.

#include "ConsoleArgs.h"
#include "PasswordPrompt.h"
#include "Product.h"
#include "Pty.h"

#include <termios.h>
#include <QtTest>
#include <thread>

class TestConsoleArgs : public QObject {
    Q_OBJECT

private slots:
    void logon_data();
    void logon();
    void arguments_data();
    void arguments();
    void scriptAndItsArguments_data();
    void scriptAndItsArguments();
    void versionIsTheAboutBoxVersion();
    void passwordPrompt_data();
    void passwordPrompt();
    void noTerminalReadsNothing();
};

void TestConsoleArgs::logon_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("passwordGiven");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");

    QTest::newRow("user/password@host") << "scott/tiger@ORCL"
                                        << "scott" << true << "tiger"
                                        << "ORCL";
    QTest::newRow("user/password: sample database") << "scott/tiger"
                                                    << "scott" << true << "tiger"
                                                    << "";
    QTest::newRow("empty password given") << "scott/@ORCL"
                                          << "scott" << true << ""
                                          << "ORCL";
    QTest::newRow("password, file path host") << "scott/x@/data/sales.db"
                                              << "scott" << true << "x"
                                              << "/data/sales.db";
    QTest::newRow("password with @: split at the first") << "scott/p@ss@ORCL"
                                                         << "scott" << true << "p"
                                                         << "ss@ORCL";
    QTest::newRow("user alone") << "scott"
                                << "scott" << false << ""
                                << "";
    QTest::newRow("user@: sample database") << "scott@"
                                            << "scott" << false << ""
                                            << "";
    QTest::newRow("user@alias") << "scott@ORCL"
                                << "scott" << false << ""
                                << "ORCL";
    QTest::newRow("user@, easy connect with a slash") << "scott@dbhost:1521/ORCLPDB1"
                                                      << "scott" << false << ""
                                                      << "dbhost:1521/ORCLPDB1";
    QTest::newRow("user@, file path host") << "scott@/data/sales.db"
                                           << "scott" << false << ""
                                           << "/data/sales.db";
}

void TestConsoleArgs::logon() {
    QFETCH(QString, argument);
    const console::Logon logon = console::parseLogon(argument);
    QTEST(logon.user, "user");
    QTEST(logon.passwordGiven, "passwordGiven");
    QTEST(logon.password, "password");
    QTEST(logon.host, "host");
}

void TestConsoleArgs::arguments_data() {
    using Action = console::Invocation::Action;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("problem");

    QTest::newRow("nothing") << QStringList{} << int(Action::Usage) << false;
    QTest::newRow("logon") << QStringList{"scott@"} << int(Action::Run) << false;
    QTest::newRow("--help") << QStringList{"--help"} << int(Action::Help) << false;
    QTest::newRow("-h after a logon") << QStringList{"scott@", "-h"} << int(Action::Help) << false;
    QTest::newRow("--version") << QStringList{"--version"} << int(Action::Version) << false;
    QTest::newRow("-V") << QStringList{"-V"} << int(Action::Version) << false;
    QTest::newRow("unknown option") << QStringList{"-x", "scott@"} << int(Action::Usage) << true;
    QTest::newRow("logon and script") << QStringList{"a/b@", "extra"} << int(Action::Run) << false;
    QTest::newRow("-f without a file") << QStringList{"a/b@", "-f"} << int(Action::Usage) << true;
}

void TestConsoleArgs::arguments() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, problem);
    const console::Invocation invocation = console::parseArguments(arguments);
    QTEST(int(invocation.action), "action");
    QCOMPARE(!invocation.problem.isEmpty(), problem);
}

void TestConsoleArgs::scriptAndItsArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("scriptArguments");
    QTest::newRow("standard input") << QStringList{"a/b@"} << "" << QStringList{};
    QTest::newRow("file") << QStringList{"a/b@", "x.sql"} << "x.sql" << QStringList{};
    QTest::newRow("@file and arguments")
        << QStringList{"a/b@", "@x.sql", "1", "two"} << "x.sql" << QStringList{"1", "two"};
    QTest::newRow("-f first") << QStringList{"-f", "d/x.sql", "a/b@", "9"} << "d/x.sql"
                              << QStringList{"9"};
    QTest::newRow("-f after the logon")
        << QStringList{"a/b@", "-f", "x.sql"} << "x.sql" << QStringList{};
}

void TestConsoleArgs::scriptAndItsArguments() {
    QFETCH(QStringList, arguments);
    const console::Invocation invocation = console::parseArguments(arguments);
    QCOMPARE(int(invocation.action), int(console::Invocation::Action::Run));
    QCOMPARE(invocation.logon.user, QStringLiteral("a"));
    QTEST(invocation.script, "script");
    QTEST(invocation.scriptArguments, "scriptArguments");
}

void TestConsoleArgs::versionIsTheAboutBoxVersion() {
    QVERIFY(console::versionLine().endsWith(QStringLiteral(" 0.09J R3")));
    QVERIFY(console::versionLine().endsWith(product::versionText()));
}

void TestConsoleArgs::passwordPrompt_data() {
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("password");
    using Status = console::PasswordAnswer::Status;
    QTest::newRow("a line") << QByteArray("s3cret\n") << int(Status::Given) << "s3cret";
    QTest::newRow("Enter alone: empty password") << QByteArray("\n") << int(Status::Given) << "";
    QTest::newRow("non-ASCII") << QByteArray("pässwörd\n") << int(Status::Given) << "pässwörd";
    QTest::newRow("Ctrl+D at once: cancelled")
        << QByteArray("\x04") << int(Status::Cancelled) << "";
}

void TestConsoleArgs::passwordPrompt() {
    QFETCH(QByteArray, typed);
    Pty pty;
    QVERIFY(pty.isValid());
    console::PasswordAnswer answer;
    std::thread asking([&] { answer = console::readPassword(pty.slave(), "Enter password: "); });
    // Type only once the prompt is up: anything typed before it is dropped.
    const bool prompted = pty.readUntil("Enter password: ").contains("Enter password: ");
    if (prompted)
        pty.type(typed);
    else
        pty.type("\x04");
    asking.join();
    QVERIFY(prompted);
    QTEST(int(answer.status), "status");
    QTEST(answer.password, "password");

    // Nothing typed was shown, and the terminal echoes again afterwards.
    const QByteArray shown = pty.shown();
    const QByteArray line = typed.left(typed.indexOf('\n'));
    if (line.size() > 1)
        QVERIFY2(!shown.contains(line), shown.constData());
    termios after{};
    QCOMPARE(tcgetattr(pty.slave(), &after), 0);
    QVERIFY(after.c_lflag & ECHO);
}

void TestConsoleArgs::noTerminalReadsNothing() {
    int pipeFds[2];
    QCOMPARE(::pipe(pipeFds), 0);
    QCOMPARE(::write(pipeFds[1], "SELECT 1 FROM DUAL;\n", 20), ssize_t(20));
    const console::PasswordAnswer answer = console::readPassword(pipeFds[0], "Enter password: ");
    QCOMPARE(int(answer.status), int(console::PasswordAnswer::Status::NoTerminal));
    // The script on standard input is left for the statements.
    char buffer[32] = {};
    QCOMPARE(::read(pipeFds[0], buffer, sizeof buffer), ssize_t(20));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

QTEST_GUILESS_MAIN(TestConsoleArgs)
#include "tst_consoleargs.moc"
