// quorvel-sql as its users run it: the built program, fed statements on
// standard input.

#include "Product.h"
#include "Pty.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QString g_odbcDir;

// Where the program's /dev/tty leads: nowhere (a session of its own without a
// terminal), or the slave side of a test's pseudo-terminal.
struct Terminal {
    Pty* pty = nullptr;
};

// Starts quorvel-sql with standard input, output and error on pipes. Its
// controlling terminal is `terminal` in every case, never the one the tests
// were started from, so that no prompt can wait for a person.
void startConsole(QProcess& process, const QStringList& args, Terminal terminal) {
    const QByteArray slave = terminal.pty ? terminal.pty->slaveName() : QByteArray();
    process.setChildProcessModifier([slave] {
        ::setsid();
        if (!slave.isEmpty()) {
            const int fd = ::open(slave.constData(), O_RDWR);
            ::ioctl(fd, TIOCSCTTY, 0);
            ::close(fd);
        }
    });
    process.start(QStringLiteral(QUORVEL_SQL_PATH), args);
}

Run finish(QProcess& process, Run run = {}) {
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not finish");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run runConsole(const QStringList& args, const QString& input) {
    QProcess process;
    // unixODBC reads the test's own configuration: one SQLite driver, one data
    // source, no Oracle driver.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ODBCSYSINI"), g_odbcDir);
    env.insert(QStringLiteral("ODBCINI"), g_odbcDir + QStringLiteral("/odbc.ini"));
    process.setProcessEnvironment(env);
    startConsole(process, args, {});
    Run run;
    if (!process.waitForStarted(10000)) {
        run.err = QStringLiteral("did not start");
        return run;
    }
    process.write(input.toUtf8());
    process.closeWriteChannel();
    return finish(process);
}

}  // namespace

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void scripts_data();
    void scripts();
    void hostMayBeAFilePath();
    void changesReachTheFile();
    void refusedLogonEndsAtOnce();
    void reachesAnOdbcDataSource();
    void usage();
    void scriptFiles_data();
    void scriptFiles();
    void unreadableScriptIsACommandLineError();
    void publishedStyleSchemaLoads();
    void newerStyleSchemaLoads();
    void plsqlBlocksPrintServerOutput();
    void autotraceShowsThePlan();
    void helpAndVersion();
    void passwordAskedOnTheTerminal_data();
    void passwordAskedOnTheTerminal();
    void unusableFileRefusedAtLogon_data();
    void unusableFileRefusedAtLogon();
    void interruptedPromptRestoresEcho();
    void noTerminalToAskOn();

private:
    QTemporaryDir m_dir;
};

void TestConsole::initTestCase() {
    QVERIFY(m_dir.isValid());
    // An empty file is an empty SQLite database.
    QFile file(m_dir.filePath("sales.db"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    g_odbcDir = m_dir.path();
    QString driver;
    for (const char* path :
         {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so"}) {
        if (QFile::exists(path)) {
            driver = QString::fromLatin1(path);
        }
    }
    QVERIFY2(!driver.isEmpty(), "SQLite's ODBC driver (libsqliteodbc) is not installed");
    QFile drivers(m_dir.filePath("odbcinst.ini"));
    QVERIFY(drivers.open(QIODevice::WriteOnly));
    // DontDLClose keeps the driver loaded until the end, so that a leak
    // checker can still name the driver's memory (.ci/lsan.supp).
    drivers.write(("[QuorvelSQLite3]\nDriver=" + driver + "\nDontDLClose=1\n").toUtf8());
    QFile sources(m_dir.filePath("odbc.ini"));
    QVERIFY(sources.open(QIODevice::WriteOnly));
    sources.write(
        ("[QuorvelConsole]\nDriver=QuorvelSQLite3\nDatabase=" + m_dir.filePath("odbc.db") + "\n")
            .toUtf8());
}

void TestConsole::scripts_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errContains");

    const QString table = QStringLiteral(
        "CREATE TABLE T (ID NUMBER, NAME VARCHAR2(10), NOTE VARCHAR2(10));\n"
        "INSERT INTO T (ID, NAME, NOTE) VALUES (1, 'a', NULL);\n"
        "INSERT INTO T (ID, NAME, NOTE) VALUES (2, '', 'x');\n");
    const QString made = QStringLiteral("Table created.\n1 row created.\n1 row created.\n");

    QTest::newRow("rows tab-separated, null and empty both empty")
        << table + "SELECT ID, NAME, NOTE FROM T ORDER BY ID;\n"
        << made + "1\ta\t\n2\t\tx\n"
        << 0 << "";
    QTest::newRow("DESCRIBE a table, and one that is not there")
        << table + "DESC t\nDESCRIBE no_such_table\n"
        << made +
               " Name                                      Null?    Type\n"
               " ----------------------------------------- -------- ----------------\n"
               " ID                                                 NUMBER\n"
               " NAME                                               VARCHAR2(10)\n"
               " NOTE                                               VARCHAR2(10)\n"
        << 1 << "ORA-04043: object no_such_table does not exist";
    QTest::newRow("RAW values shown as hexadecimal digits")
        << "SELECT HEXTORAW('7d0a'), UTL_RAW.CAST_TO_RAW('AB') FROM DUAL;\n"
        << "7D0A\t4142\n"
        << 0 << "";
    QTest::newRow("rows updated and deleted")
        << table + "UPDATE T SET NOTE = 'y';\nDELETE FROM T WHERE ID = 9;\n"
        << made + "2 rows updated.\n0 rows deleted.\n"
        << 0 << "";
    QTest::newRow("statement over lines, ended by a slash line")
        << "SELECT 'x'\n  || 'y'\nFROM DUAL\n/\n"
        << "xy\n"
        << 0 << "";
    QTest::newRow("semicolon inside a line stays in the statement")
        << "SELECT 1 FROM DUAL; SELECT 2 FROM DUAL;\nSELECT 3 FROM DUAL;\n"
        << "3\n"
        << 1 << "ERROR at line 1";
    QTest::newRow("error reported, later statements still run")
        << "SELECT 1 FROM DUAL;\n\nSELECT X FROM NO_SUCH_TABLE;\nSELECT 2 FROM DUAL;\n"
        << "1\n2\n"
        << 1 << "ERROR at line 3";
    QTest::newRow("semicolon inside text at mid-line") << "SELECT 'a;b' FROM DUAL;\n"
                                                       << "a;b\n"
                                                       << 0 << "";
    QTest::newRow("a block ends only with the slash line")
        << "CREATE TABLE B (ID NUMBER);\nBEGIN\n  INSERT INTO B VALUES (1);\n  INSERT INTO B "
           "VALUES (2);\n"
           "END;\n/\nSELECT COUNT(*) FROM B;\n"
        << "Table created.\nPL/SQL procedure successfully completed.\n2\n"
        << 0 << "";
    QTest::newRow("a block that fails runs none of its statements")
        << "CREATE TABLE B (ID NUMBER CHECK (ID < 2));\nBEGIN\n  INSERT INTO B VALUES (1);\n"
           "  INSERT INTO B VALUES (2);\nEND;\n/\nSELECT COUNT(*) FROM B;\n"
        << "Table created.\n0\n"
        << 1 << "ERROR at line 2";
    QTest::newRow("last statement without terminator runs") << "SELECT 5 FROM DUAL"
                                                            << "5\n"
                                                            << 0 << "";
    QTest::newRow("a query headed by a comment prints its rows")
        << "/* the count */\nSELECT 6 FROM DUAL;\n-- again\n/* x */ SELECT 7 FROM DUAL\n/\n"
        << "6\n7\n"
        << 0 << "";
    QTest::newRow("SQL*Plus lines between statements")
        << "REM header\nPROMPT Loading -\n  now\nSET FEEDBACK OFF\nCOLUMN X FORMAT A10\n"
           "CREATE TABLE P (ID NUMBER);\nSET FEEDBACK ON\nSELECT COUNT(*) FROM P;\n"
        << "Loading now\n0\n"
        << 0 << "";
    QTest::newRow("substitution variables, then SET DEFINE OFF")
        << "DEFINE who = 'R and D'\nSELECT '&who' FROM DUAL;\nSET DEFINE OFF\nSELECT 'R&D' FROM "
           "DUAL;\n"
        << "R and D\nR&D\n"
        << 0 << "";
    QTest::newRow("an undefined variable fails its statement only")
        << "SELECT '&nobody' FROM DUAL;\nSELECT 2 FROM DUAL;\n"
        << "2\n"
        << 1 << "ERROR at line 1: substitution variable &NOBODY is not defined";
    QTest::newRow("WHENEVER SQLERROR EXIT stops with its status")
        << "WHENEVER SQLERROR EXIT 3\nSELECT 1 FROM DUAL;\nSELECT X FROM NO_SUCH_TABLE;\n"
           "SELECT 2 FROM DUAL;\n"
        << "1\n"
        << 3 << "ERROR at line 3";
    QTest::newRow("WHENEVER SQLERROR CONTINUE: failures do not fail the run")
        << "WHENEVER SQLERROR CONTINUE\nSELECT X FROM NO_SUCH_TABLE;\nSELECT 2 FROM DUAL;\n"
        << "2\n"
        << 0 << "ERROR at line 2";
    QTest::newRow("EXIT ends the script with its status")
        << "SELECT 1 FROM DUAL;\nEXIT 4\nSELECT 2 FROM DUAL;\n"
        << "1\n"
        << 4 << "";
    QTest::newRow("commands without a meaning here are reported, the script goes on")
        << "SPOOL out.log\nHOST rm -rf /\nSELECT 1 FROM DUAL;\n"
        << "1\n"
        << 0 << "";
    QTest::newRow("comments and blank lines between statements")
        << "-- a comment;\n\n   \nSELECT 6 FROM DUAL;\n"
        << "6\n"
        << 0 << "";
}

void TestConsole::scripts() {
    QFETCH(QString, input);
    QFETCH(int, exitCode);
    QFETCH(QString, errContains);
    const Run run = runConsole({QStringLiteral("scott/tiger@")}, input);
    QTEST(run.out, "out");
    QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
    // Every script here has at most one failing statement.
    QCOMPARE(run.err.count(QStringLiteral("ERROR")), errContains.isEmpty() ? 0 : 1);
    QCOMPARE(run.exitCode, exitCode);
}

void TestConsole::scriptFiles_data() {
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("nested");  // data/nested.sql beside main.sql's folder
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");

    QTest::newRow("@@ beside the calling script, with an argument")
        << "PROMPT main\n@@data/nested one\nSELECT '&1' FROM DUAL;\n"
        << "PROMPT nested &1\n@@more.sql\n"
        << "main\nnested one\nmore\none\n"
        << 0 << "quorvel-sql: 1 statement run, 0 failed.\n";
    QTest::newRow("errors name the script and the line")
        << "SELECT 1 FROM DUAL;\n@@data/nested.sql\n"
        << "\n\nSELECT X FROM NO_SUCH_TABLE;\n"
        << "1\n"
        << 1 << "ERROR at line 3 of data/nested.sql: ";
    QTest::newRow("a missing script is an error, the run goes on")
        << "@@data/absent\nSELECT 1 FROM DUAL;\n"
        << ""
        << "1\n"
        << 1
        << "ERROR at line 1 of scripts/main.sql: SP2-0310: unable to open file \"data/absent.sql\"";
    QTest::newRow("EXIT in a nested script ends everything")
        << "@@data/nested\nSELECT 1 FROM DUAL;\n"
        << "EXIT 7\n"
        << "" << 7 << "quorvel-sql: 0 statements run, 0 failed.\n";
    QTest::newRow("a script calling itself stops at the nesting limit") << "@@data/nested\n"
                                                                        << "@@nested\n"
                                                                        << "" << 1 << "SP2-0309";
}

void TestConsole::scriptFiles() {
    QFETCH(QString, main);
    QFETCH(QString, nested);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("scripts/data"));
    auto write = [&](const QString& name, const QString& text) {
        QFile file(dir.filePath("scripts/" + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    };
    write("main.sql", main);
    if (!nested.isEmpty())
        write("data/nested.sql", nested);
    write("data/more.sql", "PROMPT more\n");
    // Run from elsewhere: "@@" finds the scripts beside the one calling them.
    QProcess process;
    process.setWorkingDirectory(dir.path());
    startConsole(process, {"scott/tiger@", "scripts/main.sql"}, {});
    QVERIFY(process.waitForStarted(10000));
    process.closeWriteChannel();
    const Run run = finish(process);
    QTEST(run.out, "out");
    QTEST(run.exitCode, "exitCode");
    QFETCH(QString, err);
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

void TestConsole::unreadableScriptIsACommandLineError() {
    const Run run = runConsole({"scott/tiger@", "-f", m_dir.filePath("none.sql")}, QString());
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("cannot open script"), qPrintable(run.err));
}

// SET AUTOTRACE as the SQL*Plus User's Guide describes it: ON EXPLAIN prints
// a query's rows and then its plan, TRACEONLY EXPLAIN the plan alone, OFF
// neither; STATISTICS has nothing to show here and says so.
void TestConsole::autotraceShowsThePlan() {
    const Run run = runConsole({"scott/tiger"},
                               "CREATE TABLE T (ID NUMBER PRIMARY KEY, NAME VARCHAR2(10));\n"
                               "INSERT INTO T VALUES (1, 'first');\n"
                               "SET AUTOTRACE TRACEONLY EXPLAIN\n"
                               "SELECT NAME FROM T WHERE ID = 1;\n"
                               "SET AUTOTRACE ON EXPLAIN\n"
                               "SELECT NAME FROM T;\n"
                               "UPDATE T SET NAME = 'second';\n"
                               "SET AUTOTRACE OFF\n"
                               "SELECT NAME FROM T;\n"
                               "SET AUTOT ON\n");
    QCOMPARE(run.exitCode, 0);
    const QString heading = "\nExecution Plan\n" + QString(58, '-') + "\nPlan hash value: ";
    const QStringList parts = run.out.split(heading);
    QCOMPARE(parts.size(), 4);  // three plans
    QCOMPARE(parts[0], QStringLiteral("Table created.\n1 row created.\n"));
    // the plan alone, then the row of the next query (ON EXPLAIN)
    QVERIFY2(parts[1].contains("INDEX UNIQUE SCAN") && parts[1].count("first") == 1 &&
                 parts[1].endsWith(")\n\nfirst\n"),
             qPrintable(parts[1]));
    QVERIFY2(parts[2].contains("TABLE ACCESS FULL") && parts[2].endsWith("1 row updated.\n"),
             qPrintable(parts[2]));
    QVERIFY2(parts[3].contains("UPDATE STATEMENT") && parts[3].endsWith("second\n"),
             qPrintable(parts[3]));
    QVERIFY2(run.err.contains("AUTOTRACE STATISTICS is not supported"), qPrintable(run.err));
    QVERIFY2(run.err.endsWith("quorvel-sql: 6 statements run, 0 failed.\n"), qPrintable(run.err));
}

void TestConsole::plsqlBlocksPrintServerOutput() {
    // Test data built by PL/SQL blocks with loops, a cursor loop and a
    // handler; SET SERVEROUTPUT ON prints each block's DBMS_OUTPUT lines
    // before its completion message, OFF stops them.
    const QString script =
        qEnvironmentVariable("QUORVEL_TEST_DATA") + "/plsqlblocks/acct_build.sql";
    Run run = runConsole({"scott/tiger", "@" + script}, QString());
    QCOMPARE(run.err, QStringLiteral("quorvel-sql: 6 statements run, 0 failed.\n"));
    QCOMPARE(run.exitCode, 0);
    const QString expected = QStringLiteral(
        "******  Creating T_BRANCH and T_ACCT ....\n"
        "Table created.\n"
        "Table created.\n"
        "******  Populating ....\n"
        "Accounts created: 1000\n"
        "PL/SQL procedure successfully completed.\n"
        "******  Counting ....\n"
        "Branch 1: 250 accounts\n"
        "Branch 2: 250 accounts\n"
        "Branch 3: 250 accounts\n"
        "Branch 4: 250 accounts\n"
        "Total balance: 470,250.00\n"
        "No account 0 (ORA-01403: no data found)\n"
        "PL/SQL procedure successfully completed.\n"
        "PL/SQL procedure successfully completed.\n");
    QVERIFY2(run.out.startsWith(expected), qPrintable(run.out));
    QVERIFY2(run.out.contains("1\t250\n2\t250\n3\t250\n4\t250"), qPrintable(run.out));
    QVERIFY2(!run.out.contains("not shown"), qPrintable(run.out));
}

void TestConsole::publishedStyleSchemaLoads() {
    // A master script calling the others with @@, SQL*Plus headers and SET
    // lines, tables with named constraints, data in BEGIN/END blocks with
    // TO_DATE and an "&" under SET DEFINE OFF, indexes and a view.
    const QString script = qEnvironmentVariable("QUORVEL_TEST_DATA") + "/libschema/lib_main.sql";
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("library.db");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString logon = "lib/x@" + path;
    Run run = runConsole({logon, "@" + script, "USERS"}, QString());
    QCOMPARE(run.err, QStringLiteral("quorvel-sql: 23 statements run, 0 failed.\n"));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("Creating the LIBRARY sample schema (tablespace USERS) ..."),
             qPrintable(run.out));
    QVERIFY2(run.out.endsWith("LIBRARY sample schema created.\n"), qPrintable(run.out));

    // SQLite itself sees every table, row, key and index.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
             SQLITE_OK);
    auto values = [db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        QStringList out;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return QStringList{QString::fromUtf8(sqlite3_errmsg(db))};
        while (sqlite3_step(statement) == SQLITE_ROW)
            out << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return out;
    };
    QCOMPARE(values("SELECT (SELECT count(*) FROM regions) || ' ' || (SELECT count(*) FROM "
                    "countries) || ' ' || (SELECT count(*) FROM branches) || ' ' || (SELECT "
                    "count(*) FROM members) || ' ' || (SELECT count(*) FROM authors) || ' ' || "
                    "(SELECT count(*) FROM books) || ' ' || (SELECT count(*) FROM loans)"),
             QStringList{"4 8 6 30 20 40 60"});
    QCOMPARE(values("SELECT author_name FROM authors WHERE author_id IN (518, 519) ORDER BY 1"),
             (QStringList{"Barnes & Noble Editors", "O'Brien, Flann"}));
    QCOMPARE(values("SELECT \"table\" FROM pragma_foreign_key_list('LOANS') ORDER BY 1"),
             (QStringList{"BOOKS", "MEMBERS"}));
    QCOMPARE(values("SELECT count(*) FROM pragma_foreign_key_check"), QStringList{"0"});
    QCOMPARE(values("SELECT name FROM pragma_index_list('LOANS') WHERE origin = 'c' ORDER BY 1"),
             (QStringList{"LOAN_BOOK_IX", "LOAN_MEMBER_IX", "LOAN_OPEN_IX"}));
    QCOMPARE(values("SELECT count(*) FROM loans WHERE returned_date IS NULL"), QStringList{"12"});
    sqlite3_close(db);

    // Through the component: the dictionary names the declared constraints,
    // the view answers, and the foreign keys hold.
    run = runConsole({logon},
                     "SELECT constraint_name || ' ' || constraint_type FROM user_constraints\n"
                     " WHERE table_name = 'LOANS' ORDER BY 1;\n"
                     "SELECT COUNT(*) FROM open_loans;\n"
                     "DELETE FROM books;\n");
    QCOMPARE(run.out,
             QStringLiteral("LOAN_BOOK_FK R\nLOAN_BOOK_NN C\nLOAN_DATE_NN C\nLOAN_DUE_CK C\n"
                            "LOAN_DUE_NN C\nLOAN_ID_PK P\nLOAN_MEMBER_FK R\n"
                            "LOAN_MEMBER_NN C\nLOAN_RETURNED_CK C\n12\n"));
    QVERIFY2(run.err.contains("ERROR at line 4: ORA-02292: integrity constraint (LIB.LOAN_BOOK_FK) "
                              "violated - child record found"),
             qPrintable(run.err));
    QCOMPARE(run.exitCode, 1);
}

void TestConsole::newerStyleSchemaLoads() {
    // Lower-case DDL of a newer schema: identity columns (also made identity
    // by ALTER TABLE ... MODIFY), VARCHAR2(n CHAR), DEFAULT ON NULL, keys and
    // JSON checks added out of line, a constraint added DISABLE and enabled
    // once the rows are right, a sequence, comments, a read-only view, and
    // sample queries headed by comments.
    const QString data = qEnvironmentVariable("QUORVEL_TEST_DATA") + "/venueschema/";
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("venue.db");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString logon = "venue/x@" + path;
    Run run = runConsole({logon, "@" + data + "venue_install.sql"}, QString());
    QCOMPARE(run.err, QStringLiteral("quorvel-sql: 33 statements run, 0 failed.\n"));
    QCOMPARE(run.exitCode, 0);

    // SQLite itself: the rows, the identity values and the enforced keys.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
             SQLITE_OK);
    auto values = [db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        QStringList out;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return QStringList{QString::fromUtf8(sqlite3_errmsg(db))};
        while (sqlite3_step(statement) == SQLITE_ROW)
            out << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return out;
    };
    QCOMPARE(values("SELECT group_concat(venue_id) FROM (SELECT venue_id FROM venues ORDER BY 1)"),
             QStringList{"1,2,3"});
    QCOMPARE(values("SELECT group_concat(customer_id) FROM (SELECT customer_id FROM customers "
                    "ORDER BY 1)"),
             QStringList{"1000,1001,1002"});
    QCOMPARE(values("SELECT group_concat(booking_id || ':' || invoice_no) FROM "
                    "(SELECT * FROM bookings ORDER BY 1)"),
             QStringList{"1:INV-5003,2:INV-5004,3:INV-5001,4:INV-5002"});
    QCOMPARE(values("SELECT base_price FROM events WHERE title = 'Fado Night'"), QStringList{"0"});
    QCOMPARE(values("SELECT \"table\" FROM pragma_foreign_key_list('BOOKINGS') ORDER BY 1"),
             (QStringList{"CUSTOMERS", "EVENTS"}));
    QCOMPARE(values("SELECT count(*) FROM pragma_foreign_key_check"), QStringList{"0"});
    sqlite3_close(db);

    // Through the component: the dictionary and the sample queries.
    run = runConsole({logon},
                     "SELECT constraint_name || ' ' || constraint_type || ' ' || status\n"
                     "  FROM user_constraints WHERE table_name = 'BOOKINGS'\n"
                     "   AND constraint_name NOT LIKE 'SYS%' ORDER BY 1;\n"
                     "SELECT sequence_name || ' ' || last_number FROM user_sequences\n"
                     " WHERE sequence_name NOT LIKE 'ISEQ%';\n"
                     "SELECT column_name || ': ' || comments FROM user_col_comments\n"
                     " WHERE comments IS NOT NULL ORDER BY 1;\n"
                     "SELECT view_name || ' ' || read_only FROM user_views;\n"
                     "INSERT INTO customers (email_address, full_name, preferences)\n"
                     "  VALUES ('x@example.com', 'X', 'not json');\n"
                     "INSERT INTO bookings (customer_id, event_id, booked_at, seats)\n"
                     "  VALUES (999, 1, SYSDATE, 1);\n");
    QCOMPARE(run.out, QStringLiteral("BOOKINGS_CUSTOMER_FK R ENABLED\n"
                                     "BOOKINGS_DETAILS_JSON C ENABLED\n"
                                     "BOOKINGS_EVENT_FK R ENABLED\n"
                                     "BOOKINGS_INVOICE_C C ENABLED\n"
                                     "BOOKINGS_PK P ENABLED\n"
                                     "BOOKINGS_SEATS_C C ENABLED\n"
                                     "INVOICE_SEQ 5005\n"
                                     "CAPACITY: Seats available for one event\n"
                                     "DETAILS: JSON: seat numbers and ticket kinds\n"
                                     "EVENT_SALES Y\n"));
    QVERIFY2(run.err.contains("ERROR at line 9:") && run.err.contains("CUSTOMERS_PREFS_JSON"),
             qPrintable(run.err));
    QVERIFY2(run.err.contains("ERROR at line 11: ORA-02291: integrity constraint "
                              "(VENUE.BOOKINGS_CUSTOMER_FK) violated - parent key not found"),
             qPrintable(run.err));

    run = runConsole({logon, "@" + data + "venue_queries.sql"}, QString());
    QCOMPARE(run.out, QStringLiteral("Summer Open Air\tPark Stage\t6\n"
                                     "Folk Session\tThe Old Mill\t4\n"
                                     "Spring Quartet\tHarbour Hall\t2\n"
                                     "Fado Night\tHarbour Hall\t1\n"
                                     "Ana Sousa\nMei Lin\n"
                                     "INV-5003\nINV-5004\nINV-5001\nINV-5002\n"));
    QCOMPARE(run.exitCode, 0);
}

void TestConsole::hostMayBeAFilePath() {
    // Split at the first "/" and then at the first "@": the rest is the path.
    const QString path = m_dir.filePath("missing/nothing.db");
    const Run run = runConsole({"scott/x@" + path}, "SELECT 1 FROM DUAL;\n");
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("cannot log on"), qPrintable(run.err));
    // The engine's own message about the file, not the missing Oracle client.
    QVERIFY2(!run.err.contains("Instant Client"), qPrintable(run.err));
}

void TestConsole::changesReachTheFile() {
    const QString logon = "scott/x@" + m_dir.filePath("sales.db");
    Run run = runConsole({logon}, "CREATE TABLE KEPT (ID NUMBER);\nINSERT INTO KEPT VALUES (7);\n");
    QCOMPARE(run.exitCode, 0);
    run = runConsole({logon}, "SELECT ID FROM KEPT;\n");
    QCOMPARE(run.out, QStringLiteral("7\n"));
    QCOMPARE(run.exitCode, 0);
}

void TestConsole::refusedLogonEndsAtOnce() {
    // No Oracle client here: a server host gets the component's clear error.
    const Run run = runConsole({"scott/tiger@NO_SUCH_ALIAS_QV"}, "SELECT 1 FROM DUAL;\n");
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("NO_SUCH_ALIAS_QV"), qPrintable(run.err));
}

void TestConsole::reachesAnOdbcDataSource() {
    const Run run = runConsole({"scott/tiger@QuorvelConsole"},
                               "CREATE TABLE T (ID INTEGER, NAME TEXT);\n"
                               "INSERT INTO T VALUES (1, NULL);\n"
                               "SELECT ID, NAME FROM T;\n");
    QCOMPARE(run.err, QStringLiteral("quorvel-sql: 3 statements run, 0 failed.\n"));
    QCOMPARE(run.out, QStringLiteral("Table created.\n1 row created.\n1\t\n"));
    QCOMPARE(run.exitCode, 0);
}

void TestConsole::usage() {
    QCOMPARE(runConsole({}, QString()).exitCode, 2);
    const Run extra = runConsole({"a/b@", "extra"}, QString());
    QCOMPARE(extra.exitCode, 2);
    QVERIFY2(extra.err.contains("usage: quorvel-sql"), qPrintable(extra.err));
    QVERIFY(extra.out.isEmpty());
}

void TestConsole::helpAndVersion() {
    const Run help = runConsole({"--help"}, QString());
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.startsWith("usage: quorvel-sql"), qPrintable(help.out));
    QVERIFY(help.err.isEmpty());

    const Run version = runConsole({"--version"}, QString());
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, "quorvel-sql (Ostrel Quorvel) " + product::versionText() + "\n");
}

void TestConsole::passwordAskedOnTheTerminal_data() {
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errContains");
    QTest::newRow("password typed") << QByteArray("s3cret\n") << "1\n" << 0 << "";
    QTest::newRow("Ctrl+D: nothing runs")
        << QByteArray("\x04") << "" << 1 << "quorvel-sql: no password given";
}

void TestConsole::passwordAskedOnTheTerminal() {
    QFETCH(QByteArray, typed);
    QFETCH(QString, errContains);
    Pty pty;
    QVERIFY(pty.isValid());
    QProcess process;
    // The script comes from standard input as ever; the password from the terminal.
    startConsole(process, {"scott@" + m_dir.filePath("sales.db")}, {&pty});
    QVERIFY(process.waitForStarted(10000));
    process.write("SELECT 1 FROM DUAL;\n");
    process.closeWriteChannel();
    const QByteArray prompt = pty.readUntil("Enter password: ");
    QVERIFY2(prompt.contains("Enter password: "), prompt.constData());
    pty.type(typed);
    const Run run = finish(process);
    QTEST(run.out, "out");
    QTEST(run.exitCode, "exitCode");
    QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
    QVERIFY2(!pty.shown().contains("s3cret"), pty.shown().constData());
}

void TestConsole::unusableFileRefusedAtLogon_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a database") << QByteArray("CREATE TABLE T (ID NUMBER);\n").repeated(300)
                                    << false << "is not an SQLite database file";
    QTest::newRow("locked by another program") << QByteArray() << true << "ORA-00054";
}

void TestConsole::unusableFileRefusedAtLogon() {
    QFETCH(QByteArray, content);
    QFETCH(bool, locked);
    QFETCH(QString, message);
    const QString path = m_dir.filePath("unusable.db");
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    sqlite3* other = nullptr;
    if (locked) {
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "CREATE TABLE T (ID)", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    // Read before locking: closing a descriptor of the file would drop this
    // process's locks on it.
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    if (locked) {
        // This test process is the other program, in the middle of a commit.
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO T VALUES (1)", nullptr, nullptr,
                              nullptr),
                 SQLITE_OK);
    }

    const Run run = runConsole({"scott/x@" + path}, "SELECT 1 FROM DUAL;\n");
    sqlite3_close(other);  // rolls the other program's change back
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(
        run.err.contains("cannot log on") && run.err.contains(message) && run.err.contains(path),
        qPrintable(run.err));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

void TestConsole::interruptedPromptRestoresEcho() {
    Pty pty;
    QVERIFY(pty.isValid());
    QProcess process;
    startConsole(process, {"scott@"}, {&pty});
    QVERIFY(process.waitForStarted(10000));
    QVERIFY(pty.readUntil("Enter password: ").contains("Enter password: "));
    pty.type("\x03");  // Ctrl+C: SIGINT to the program waiting at the prompt
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    termios after{};
    QCOMPARE(tcgetattr(pty.slave(), &after), 0);
    QVERIFY(after.c_lflag & ECHO);
}

void TestConsole::noTerminalToAskOn() {
    // Without a terminal the first line of the script is not taken for the
    // password: nothing runs, and the message says how to give it.
    const Run run = runConsole({"scott@"}, "SELECT 1 FROM DUAL;\n");
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("no terminal"), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
