// One suite of the component's behaviour, run against each back end: the
// embedded engine (sample database and an SQLite file) and the Qt SQL route
// over a real ODBC driver (SQLite's), with a data source that this program
// configures in a private odbc.ini.

#include <sqlite3.h>

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include "OraObjects.h"
#include "SqlRoute.h"

using namespace oraobj;

namespace {

const char* const kProgId = "OracleInProcServer.XOraSession";

// Runs `call` and returns the OraError it raised; fails the test when it
// raises none.
template <typename Call>
OraError raised(Call&& call) {
    try {
        call();
    } catch (const OraError& error) {
        return error;
    }
    return OraError(QStringLiteral("<nothing was raised>"), -12345);
}

}  // namespace

// The suite. A back end names the host of a database the suite may write to,
// and a host whose open it refuses with a message of its own.
class ComponentContract : public QObject {
    Q_OBJECT

protected:
    virtual QString host() const = 0;
    virtual QString refusedHost() const = 0;
    virtual QString refusedMessage() const = 0;
    // Sets NAME of row 2 to the empty text (not null), however the back end
    // can hold one: Oracle's SQL turns a '' literal into null.
    virtual void putEmptyText() = 0;
    virtual bool canHoldEmptyText() const { return true; }

    std::shared_ptr<OraDatabase> open() {
        return CreateObject(kProgId)->DbOpenDatabase(host(), QStringLiteral("scott/tiger"), 3);
    }

    void createFixture();

    std::shared_ptr<OraDatabase> m_db;

private slots:
    void init();
    void cleanup();

    void statementsReportRowsProcessed();
    void dynasetWalksRowsKeepingNullApartFromEmpty();
    void numbersReadAsTextAndAsIntegers();
    void emptyResultIsAtEofAtOnce();
    void recordCountKeepsThePosition();
    void fieldsOutsideTheRowAreRefused();
    void failedStatementLeavesCodeAndTextUntilReset();
    void refusedOpenReportsTheBackEndsMessage();
    void closedDatabaseRefusesFurtherWork();
};

void ComponentContract::init() {
    try {
        createFixture();
    } catch (const OraError& error) {
        QFAIL(qPrintable(error.description()));
    }
}

void ComponentContract::createFixture() {
    m_db = open();
    try {
        m_db->ExecuteSQL(QStringLiteral("DROP TABLE CONTRACT_ITEMS"));
    } catch (const OraError&) {
        // Not there yet.
    }
    m_db->ExecuteSQL(QStringLiteral(
        "CREATE TABLE CONTRACT_ITEMS (ID NUMBER(10), NAME VARCHAR2(20), NOTE VARCHAR2(20))"));
    m_db->DbExecuteSQL("INSERT INTO CONTRACT_ITEMS (ID, NAME, NOTE) VALUES (1, 'alpha', NULL)");
    m_db->DbExecuteSQL("INSERT INTO CONTRACT_ITEMS (ID, NAME, NOTE) VALUES (2, 'beta', 'two')");
    m_db->DbExecuteSQL("INSERT INTO CONTRACT_ITEMS (ID, NAME, NOTE) VALUES (3, 'gamma', 'three')");
    m_db->LastServerErrReset();
}

void ComponentContract::cleanup() {
    try {
        open()->ExecuteSQL(QStringLiteral("DROP TABLE CONTRACT_ITEMS"));
    } catch (const OraError&) {
    }
    m_db.reset();
}

void ComponentContract::statementsReportRowsProcessed() {
    QCOMPARE(m_db->DbExecuteSQL("UPDATE CONTRACT_ITEMS SET NOTE = 'n' WHERE ID >= 2"), 2);
    QCOMPARE(m_db->DbExecuteSQL("UPDATE CONTRACT_ITEMS SET NOTE = 'n' WHERE ID > 99"), 0);
    QCOMPARE(m_db->DbExecuteSQL("INSERT INTO CONTRACT_ITEMS (ID) VALUES (4)"), 1);
    QCOMPARE(m_db->DbExecuteSQL("DELETE FROM CONTRACT_ITEMS WHERE ID IN (1, 4)"), 2);
    // The change is there for another connection at once: no transaction is
    // left open.
    auto other = open()->DbCreateDynaset("SELECT COUNT(*) FROM CONTRACT_ITEMS", 12);
    QCOMPARE(other->Fields(0).Value().toInt(), 2);
}

void ComponentContract::dynasetWalksRowsKeepingNullApartFromEmpty() {
    if (!canHoldEmptyText()) {
        QSKIP("this database can hold no empty text");
    }
    putEmptyText();
    auto rows = m_db->DbCreateDynaset("SELECT ID, NAME, NOTE FROM CONTRACT_ITEMS ORDER BY ID", 12);
    QCOMPARE(rows->FieldsCount(), short(3));
    QStringList seen;
    QList<bool> noteNull;
    QList<bool> nameNull;
    while (!rows->EOF_()) {
        seen << rows->Fields(0).Value().toString() + ":" + rows->Fields(1).Value().toString() +
                    ":" + rows->Fields(2).Value().toString();
        nameNull << rows->Fields(1).Value().isNull();
        noteNull << rows->Fields(2).Value().isNull();
        rows->DbMoveNext();
    }
    QCOMPARE(seen, (QStringList{"1:alpha:", "2::two", "3:gamma:three"}));
    QCOMPARE(noteNull, (QList<bool>{true, false, false}));
    QCOMPARE(nameNull, (QList<bool>{false, false, false}));
    QVERIFY_THROWS_EXCEPTION(OraError, rows->DbMoveNext());
}

void ComponentContract::numbersReadAsTextAndAsIntegers() {
    auto rows =
        m_db->DbCreateDynaset("SELECT COUNT(*), SUM(ID), MAX(ID) * 1.5 FROM CONTRACT_ITEMS", 12);
    QCOMPARE(rows->Fields(0).Value().toString(), QStringLiteral("3"));
    QCOMPARE(rows->Fields(0).Value().toInt(), 3);
    QCOMPARE(rows->Fields(1).Value().toInt(), 6);
    QCOMPARE(rows->Fields(2).Value().toString(), QStringLiteral("4.5"));
    auto whole = m_db->DbCreateDynaset(
        "SELECT MAX(ID) * 2.0, 1000000.0 * 1000000000.0 FROM CONTRACT_ITEMS", 12);
    QCOMPARE(whole->Fields(0).Value().toString(), QStringLiteral("6"));
    QCOMPARE(whole->Fields(1).Value().toString(), QStringLiteral("1000000000000000"));
}

void ComponentContract::emptyResultIsAtEofAtOnce() {
    auto rows = m_db->DbCreateDynaset("SELECT NAME FROM CONTRACT_ITEMS WHERE ID > 99", 12);
    QVERIFY(rows->EOF_());
    QCOMPARE(rows->RecordCount(), 0);
    QCOMPARE(rows->FieldsCount(), short(1));
    QVERIFY_THROWS_EXCEPTION(OraError, rows->Fields(0));
}

void ComponentContract::recordCountKeepsThePosition() {
    auto rows = m_db->DbCreateDynaset("SELECT ID FROM CONTRACT_ITEMS ORDER BY ID", 12);
    rows->DbMoveNext();
    QCOMPARE(rows->RecordCount(), 3);
    QCOMPARE(rows->Fields(0).Value().toInt(), 2);
    rows->DbMoveNext();
    QCOMPARE(rows->Fields(0).Value().toInt(), 3);
    QCOMPARE(rows->RecordCount(), 3);
    rows->DbMoveNext();
    QVERIFY(rows->EOF_());
    QCOMPARE(rows->RecordCount(), 3);
}

void ComponentContract::fieldsOutsideTheRowAreRefused() {
    auto rows = m_db->DbCreateDynaset("SELECT ID, NAME FROM CONTRACT_ITEMS", 12);
    QVERIFY_THROWS_EXCEPTION(OraError, rows->Fields(2));
    QVERIFY_THROWS_EXCEPTION(OraError, rows->Fields(-1));
}

void ComponentContract::failedStatementLeavesCodeAndTextUntilReset() {
    QCOMPARE(m_db->LastServerErr(), 0);
    const OraError error =
        raised([&] { m_db->DbCreateDynaset("SELECT X FROM NO_SUCH_TABLE", 12); });
    QVERIFY2(error.description().contains("no such table", Qt::CaseInsensitive) ||
                 error.description().startsWith("ORA-00942: table or view "),
             qPrintable(error.description()));
    QVERIFY(m_db->LastServerErr() != 0);
    QCOMPARE(m_db->LastServerErrText(), error.description());

    // A later success does not hide the failure; only the reset clears it.
    m_db->DbExecuteSQL("UPDATE CONTRACT_ITEMS SET NOTE = NULL WHERE ID = 1");
    QVERIFY(m_db->LastServerErr() != 0);
    m_db->LastServerErrReset();
    QCOMPARE(m_db->LastServerErr(), 0);
    QCOMPARE(m_db->LastServerErrText(), QString());

    QVERIFY_THROWS_EXCEPTION(OraError, m_db->DbExecuteSQL("UPDATE NO_SUCH_TABLE SET X = 1"));
    QVERIFY(m_db->LastServerErr() != 0);
    QVERIFY_THROWS_EXCEPTION(OraError, m_db->ExecuteSQL("DROP TABLE NO_SUCH_TABLE"));
}

void ComponentContract::refusedOpenReportsTheBackEndsMessage() {
    const std::shared_ptr<OraSession> session = CreateObject(kProgId);
    const OraError error =
        raised([&] { session->DbOpenDatabase(refusedHost(), "scott/secret-pw", 3); });
    QVERIFY2(error.description().contains(refusedMessage(), Qt::CaseInsensitive),
             qPrintable(error.description()));
    QVERIFY(!error.description().contains("secret-pw"));
    if (session->LastServerErr() != 0) {
        QCOMPARE(session->LastServerErrText(), error.description());
    }
    session->LastServerErrReset();
    QCOMPARE(session->LastServerErr(), 0);
    QCOMPARE(session->LastServerErrText(), QString());
    // The session stays usable for another try.
    QVERIFY(session->DbOpenDatabase(host(), "scott/tiger", 3));
}

void ComponentContract::closedDatabaseRefusesFurtherWork() {
    m_db->Close();
    QVERIFY_THROWS_EXCEPTION(OraError, m_db->DbExecuteSQL("DELETE FROM CONTRACT_ITEMS"));
    QVERIFY_THROWS_EXCEPTION(OraError, m_db->ExecuteSQL("DELETE FROM CONTRACT_ITEMS"));
    QVERIFY_THROWS_EXCEPTION(OraError, m_db->DbCreateDynaset("SELECT ID FROM CONTRACT_ITEMS", 12));
    QVERIFY_THROWS_EXCEPTION(OraError, m_db->Close());
    // Nothing was deleted through the closed database.
    QCOMPARE(open()->DbCreateDynaset("SELECT COUNT(*) FROM CONTRACT_ITEMS", 12)->RecordCount(), 1);
    QCOMPARE(open()
                 ->DbCreateDynaset("SELECT COUNT(*) FROM CONTRACT_ITEMS", 12)
                 ->Fields(0)
                 .Value()
                 .toInt(),
             3);
}

// The embedded engine on its sample database, and on an SQLite file.
class LocalEngineContract : public ComponentContract {
    Q_OBJECT

public:
    explicit LocalEngineContract(bool onFile) : m_onFile(onFile) {}

protected:
    QString host() const override {
        return m_onFile ? QStringLiteral("sqlite:") + m_dir.filePath("local.db") : QString();
    }
    QString refusedHost() const override { return m_dir.filePath("missing.db"); }
    QString refusedMessage() const override { return QStringLiteral("missing.db"); }
    void putEmptyText() override;
    bool canHoldEmptyText() const override { return m_onFile; }

private slots:
    void initTestCase();
    void emptyLiteralIsNull();
    void oracleErrorsCarryOraclesNumber();
    void oracleFormsAreAccepted();

private:
    bool m_onFile;
    QTemporaryDir m_dir;
};

void LocalEngineContract::initTestCase() {
    QVERIFY(m_dir.isValid());
    // An empty file is an empty SQLite database; the engine never creates one.
    QFile file(m_dir.filePath("local.db"));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void LocalEngineContract::putEmptyText() {
    // Written by another program: SQLite itself keeps '' apart from null.
    sqlite3* file = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(m_dir.filePath("local.db")).constData(), &file),
             SQLITE_OK);
    const int rc = sqlite3_exec(file, "UPDATE CONTRACT_ITEMS SET NAME = '' WHERE ID = 2", nullptr,
                                nullptr, nullptr);
    sqlite3_close(file);
    QCOMPARE(rc, SQLITE_OK);
}

void LocalEngineContract::emptyLiteralIsNull() {
    QCOMPARE(m_db->DbExecuteSQL("UPDATE CONTRACT_ITEMS SET NOTE = '' WHERE ID = 3"), 1);
    auto rows = m_db->DbCreateDynaset("SELECT NOTE FROM CONTRACT_ITEMS WHERE ID = 3", 12);
    QVERIFY(rows->Fields(0).Value().isNull());
}

void LocalEngineContract::oracleErrorsCarryOraclesNumber() {
    const OraError error =
        raised([&] { m_db->DbCreateDynaset("SELECT X FROM NO_SUCH_TABLE", 12); });
    QCOMPARE(error.description(),
             QStringLiteral("ORA-00942: table or view \"SCOTT\".\"NO_SUCH_TABLE\" does not exist"));
    QCOMPARE(m_db->LastServerErr(), 942);
    QCOMPARE(m_db->LastServerErrText(), error.description());
}

void LocalEngineContract::oracleFormsAreAccepted() {
    QCOMPARE(m_db->DbExecuteSQL("DELETE CONTRACT_ITEMS WHERE ID = 3"), 1);
    auto rows = m_db->DbCreateDynaset(
        "SELECT NVL(NOTE, 'none') || '/' || NAME FROM CONTRACT_ITEMS "
        "WHERE ID = 1",
        12);
    QCOMPARE(rows->Fields(0).Value().toString(), QStringLiteral("none/alpha"));
    auto dual = m_db->DbCreateDynaset("SELECT 'x' || NULL FROM DUAL", 12);
    QCOMPARE(dual->Fields(0).Value().toString(), QStringLiteral("x"));
}

// The Qt SQL route through the ODBC driver of SQLite, by data source name.
class OdbcRouteContract : public ComponentContract {
    Q_OBJECT

protected:
    QString host() const override { return QStringLiteral("QuorvelContract"); }
    QString refusedHost() const override { return QStringLiteral("QuorvelMissing"); }
    QString refusedMessage() const override { return QStringLiteral("connect failed"); }
    void putEmptyText() override {
        m_db->DbExecuteSQL("UPDATE CONTRACT_ITEMS SET NAME = '' WHERE ID = 2");
    }

private slots:
    void initTestCase();
    void connectionKeepsNoPassword();
    void closeRemovesTheConnectionAndEndsItsDynasets();
    void eachOpenHasItsOwnConnection();
    void unconfiguredHostGivesTheClearError();
    void databaseMayOutliveTheApplication();
};

// Held like the program's own open database, which is not closed at exit:
// destroyed after the application object, which must not crash the process.
std::shared_ptr<OraDatabase> g_heldAtExit;

void OdbcRouteContract::databaseMayOutliveTheApplication() {
    g_heldAtExit = open();
    QCOMPARE(g_heldAtExit->DbCreateDynaset("SELECT ID FROM CONTRACT_ITEMS", 12)->RecordCount(), 3);
}

void OdbcRouteContract::initTestCase() {
    if (!QSqlDatabase::isDriverAvailable("QODBC")) {
        QFAIL("Qt's ODBC driver is not installed (libqt6sql6-odbc)");
    }
    if (QSqlDatabase::isDriverAvailable("QOCI")) {
        QSKIP("Qt's OCI driver is installed: every server host goes to it");
    }
}

void OdbcRouteContract::connectionKeepsNoPassword() {
    const QString name = serverConnectionName(*m_db);
    QVERIFY(!name.isEmpty());
    const QSqlDatabase db = QSqlDatabase::database(name, false);
    QVERIFY(db.isOpen());
    QCOMPARE(db.userName(), QStringLiteral("scott"));
    QCOMPARE(db.password(), QString());
    QVERIFY(!db.databaseName().contains("tiger"));
    QVERIFY(!db.connectOptions().contains("tiger"));
}

void OdbcRouteContract::closeRemovesTheConnectionAndEndsItsDynasets() {
    const QString name = serverConnectionName(*m_db);
    auto rows = m_db->DbCreateDynaset("SELECT ID FROM CONTRACT_ITEMS ORDER BY ID", 12);
    m_db->Close();
    QVERIFY(!QSqlDatabase::contains(name));
    QVERIFY_THROWS_EXCEPTION(OraError, rows->DbMoveNext());
}

void OdbcRouteContract::eachOpenHasItsOwnConnection() {
    const std::shared_ptr<OraDatabase> second = open();
    QVERIFY(serverConnectionName(*second) != serverConnectionName(*m_db));
    second->Close();
    // Closing one leaves the other working.
    QCOMPARE(
        m_db->DbCreateDynaset("SELECT COUNT(*) FROM CONTRACT_ITEMS", 12)->Fields(0).Value().toInt(),
        3);
}

void OdbcRouteContract::unconfiguredHostGivesTheClearError() {
    const std::shared_ptr<OraSession> session = CreateObject(kProgId);
    const OraError error =
        raised([&] { session->DbOpenDatabase("dbhost:1521/ORCLPDB1", "scott/tiger", 3); });
    QVERIFY2(error.description().contains("\"dbhost:1521/ORCLPDB1\""),
             qPrintable(error.description()));
    QVERIFY(error.description().contains("Instant Client"));
}

namespace {

// Finds Debian's SQLite ODBC driver (its folder depends on the architecture).
QString sqliteOdbcDriver() {
    const QStringList candidates{"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                                 "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                                 "/usr/lib/i386-linux-gnu/odbc/libsqlite3odbc.so",
                                 "/usr/lib/odbc/libsqlite3odbc.so"};
    for (const QString& path : candidates) {
        if (QFile::exists(path)) {
            return path;
        }
    }
    return QString();
}

bool writeFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

}  // namespace

int main(int argc, char** argv) {
    // unixODBC reads its configuration from these variables, so they are set
    // before anything loads it: one driver (SQLite's, no Oracle driver) and two
    // data sources, one of which the driver refuses to open.
    QTemporaryDir odbcDir;
    const QString driver = sqliteOdbcDriver();
    if (!odbcDir.isValid() || driver.isEmpty()) {
        qCritical("SQLite's ODBC driver (libsqliteodbc) is not installed");
        return 1;
    }
    // DontDLClose keeps the driver loaded until the end, so that a leak
    // checker can still name the driver's memory (.ci/lsan.supp).
    writeFile(odbcDir.filePath("odbcinst.ini"),
              QStringLiteral("[QuorvelSQLite3]\nDescription=SQLite3\nDriver=%1\nDontDLClose=1\n")
                  .arg(driver));
    writeFile(odbcDir.filePath("odbc.ini"),
              QStringLiteral("[QuorvelContract]\nDriver=QuorvelSQLite3\nDatabase=%1\n\n"
                             "[QuorvelMissing]\nDriver=QuorvelSQLite3\nDatabase=%2\nNoCreat=1\n")
                  .arg(odbcDir.filePath("contract.db"), odbcDir.filePath("nowhere/missing.db")));
    qputenv("ODBCSYSINI", QFile::encodeName(odbcDir.path()));
    qputenv("ODBCINI", QFile::encodeName(odbcDir.filePath("odbc.ini")));

    QCoreApplication app(argc, argv);
    int failures = 0;
    {
        LocalEngineContract sample(false);
        failures += QTest::qExec(&sample, argc, argv);
    }
    {
        LocalEngineContract file(true);
        failures += QTest::qExec(&file, argc, argv);
    }
    {
        OdbcRouteContract odbc;
        failures += QTest::qExec(&odbc, argc, argv);
    }
    return failures;
}

#include "tst_oraobj_contract.moc"
