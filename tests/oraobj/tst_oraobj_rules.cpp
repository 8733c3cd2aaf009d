// The component's pure rules (connect strings, which host goes where, the
// driver choice for servers) and the factory behind CreateObject.

#include <QtTest>

#include "OraObjects.h"
#include "Routing.h"

using namespace oraobj;

class TestComponentRules : public QObject {
    Q_OBJECT

private slots:
    void splitsConnectAtFirstSlash_data();
    void splitsConnectAtFirstSlash();
    void localHosts_data();
    void localHosts();
    void serverRoute_data();
    void serverRoute();
    void noRouteNamesHostAndWhatToInstall_data();
    void noRouteNamesHostAndWhatToInstall();
    void oracleCodes_data();
    void oracleCodes();

    void unknownProgIdIsAMissingComponent();
    void replacedFactoryFailsOnDemand();
    void emptyFactoryRestoresTheRealOne();
};

void TestComponentRules::splitsConnectAtFirstSlash_data() {
    QTest::addColumn<QString>("connect");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "scott/tiger"
                           << "scott"
                           << "tiger";
    QTest::newRow("slash in password") << "scott/ti/ger"
                                       << "scott"
                                       << "ti/ger";
    QTest::newRow("no password") << "scott/"
                                 << "scott"
                                 << "";
    QTest::newRow("no slash") << "scott"
                              << "scott"
                              << "";
    QTest::newRow("no user") << "/tiger"
                             << ""
                             << "tiger";
    QTest::newRow("at sign stays") << "scott/p@ss"
                                   << "scott"
                                   << "p@ss";
}

void TestComponentRules::splitsConnectAtFirstSlash() {
    QFETCH(QString, connect);
    const Credentials c = splitConnect(connect);
    QTEST(c.user, "user");
    QTEST(c.password, "password");
}

void TestComponentRules::localHosts_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("local");
    QTest::newRow("empty: sample database") << "" << true;
    QTest::newRow("sqlite prefix, missing file") << "sqlite:/nowhere/x.db" << true;
    QTest::newRow("absolute path, missing file") << "/nowhere/sales.db" << true;
    QTest::newRow("relative path") << "./sales.db" << true;
    QTest::newRow("home path") << "~/sales.db" << true;
    QTest::newRow("easy connect") << "dbhost:1521/ORCLPDB1" << false;
    QTest::newRow("easy connect with //") << "//dbhost:1521/ORCLPDB1" << false;
    QTest::newRow("tns alias") << "ORCL" << false;
    QTest::newRow("dotted alias") << "orcl.example.com" << false;
}

void TestComponentRules::localHosts() {
    QFETCH(QString, host);
    QTEST(isLocalHost(host), "local");
}

void TestComponentRules::serverRoute_data() {
    QTest::addColumn<bool>("oci");
    QTest::addColumn<QStringList>("dataSources");
    QTest::addColumn<QStringList>("drivers");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("databaseName");
    const QStringList oracleDriver{"SQLite3", "Oracle 21 ODBC driver"};
    QTest::newRow("oci first, even with a data source")
        << true << QStringList{"ORCL"} << oracleDriver << "ORCL"
        << "QOCI"
        << "ORCL";
    QTest::newRow("data source, any case")
        << false << QStringList{"Sales", "ORCL"} << oracleDriver << "orcl"
        << "QODBC"
        << "ORCL";
    QTest::newRow("dsn-less to the oracle driver")
        << false << QStringList{"Sales"} << oracleDriver << "dbhost:1521/ORCLPDB1"
        << "QODBC"
        << "DRIVER={Oracle 21 ODBC driver};DBQ=dbhost:1521/ORCLPDB1";
    QTest::newRow("host that would end the attribute is braced")
        << false << QStringList{} << oracleDriver << "a;UID=x"
        << "QODBC"
        << "DRIVER={Oracle 21 ODBC driver};DBQ={a;UID=x}";
}

void TestComponentRules::serverRoute() {
    QFETCH(bool, oci);
    QFETCH(QStringList, dataSources);
    QFETCH(QStringList, drivers);
    QFETCH(QString, host);
    const ServerRoute route = chooseServerRoute(host, {oci, true, dataSources, drivers});
    QTEST(route.driver, "driver");
    QTEST(route.databaseName, "databaseName");
}

void TestComponentRules::noRouteNamesHostAndWhatToInstall_data() {
    QTest::addColumn<bool>("odbc");
    QTest::addColumn<QStringList>("dataSources");
    QTest::addColumn<QStringList>("drivers");
    QTest::newRow("no dsn, no oracle driver")
        << true << QStringList{"Other"} << QStringList{"SQLite3"};
    QTest::newRow("nothing configured") << true << QStringList{} << QStringList{};
    QTest::newRow("no odbc plugin") << false << QStringList{"ORCL"} << QStringList{"Oracle 21"};
}

void TestComponentRules::noRouteNamesHostAndWhatToInstall() {
    QFETCH(bool, odbc);
    QFETCH(QStringList, dataSources);
    QFETCH(QStringList, drivers);
    try {
        chooseServerRoute(QStringLiteral("ORCL"), {false, odbc, dataSources, drivers});
        QFAIL("a route was chosen");
    } catch (const OraError& error) {
        QVERIFY2(error.description().contains("\"ORCL\""), qPrintable(error.description()));
        QVERIFY(error.description().contains("Instant Client"));
        QVERIFY(error.description().contains("QOCI"));
        QCOMPARE(error.code(), 0);
    }
}

void TestComponentRules::oracleCodes_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");
    QTest::newRow("odbc prefix") << "[Oracle][ODBC][Ora]ORA-00942: table or view does not exist"
                                 << 942;
    QTest::newRow("oci") << "ORA-12154: TNS:could not resolve the connect identifier" << 12154;
    QTest::newRow("none") << "no such table: T" << 0;
}

void TestComponentRules::oracleCodes() {
    QFETCH(QString, message);
    QTEST(oracleCodeIn(message), "code");
}

void TestComponentRules::unknownProgIdIsAMissingComponent() {
    try {
        CreateObject(QStringLiteral("OracleInProcServer.NoSuchThing"));
        QFAIL("an object was created");
    } catch (const OraError& error) {
        QVERIFY(error.description().contains("OracleInProcServer.NoSuchThing"));
    }
}

void TestComponentRules::replacedFactoryFailsOnDemand() {
    SetSessionFactory([](const QString&) -> std::shared_ptr<OraSession> {
        throw OraError(QStringLiteral("component missing"));
    });
    QVERIFY_THROWS_EXCEPTION(OraError, CreateObject("OracleInProcServer.XOraSession"));
    // A factory that yields nothing is a failure too, never a null session.
    SetSessionFactory([](const QString&) { return std::shared_ptr<OraSession>(); });
    QVERIFY_THROWS_EXCEPTION(OraError, CreateObject("OracleInProcServer.XOraSession"));
    SetSessionFactory({});
}

void TestComponentRules::emptyFactoryRestoresTheRealOne() {
    SetSessionFactory([](const QString&) -> std::shared_ptr<OraSession> {
        throw OraError(QStringLiteral("component missing"));
    });
    SetSessionFactory({});
    const std::shared_ptr<OraSession> session = CreateObject("OracleInProcServer.XOraSession");
    QVERIFY(session);
    QCOMPARE(session->LastServerErr(), 0);
}

QTEST_GUILESS_MAIN(TestComponentRules)
#include "tst_oraobj_rules.moc"
