// Oracle's functions through the engine's face: the statements of a user,
// translated and run on the sample database, answer as Oracle documents.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <QtTest>

using namespace localengine;

class TestEngineFunctions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_connection = Connection::open("", "scott"); }
    void answers_data();
    void answers();
    void errors_data();
    void errors();

private:
    std::unique_ptr<Connection> m_connection;
};

void TestEngineFunctions::answers_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ROUND to tens") << "SELECT ROUND(15.193, -1) FROM dual"
                                   << "20";
    QTest::newRow("SUBSTR from 0") << "SELECT SUBSTR('ABCDEFG', 0, 2) FROM dual"
                                   << "AB";
    QTest::newRow("empty SUBSTR is NULL") << "SELECT NVL(SUBSTR('ABCDEFG', 3, 0), 'null') FROM dual"
                                          << "null";
    QTest::newRow("number format") << "SELECT TO_CHAR(24000, 'FM99,999.00') FROM dual"
                                   << "24,000.00";
    QTest::newRow("number with groups") << "SELECT TO_NUMBER('1,234.50', '9,999.99') FROM dual"
                                        << "1234.5";
    QTest::newRow("ADD_MONTHS last day")
        << "SELECT ADD_MONTHS(TO_DATE('2009-02-28', 'YYYY-MM-DD'), 1) FROM dual"
        << "2009-03-31 00:00:00";
    QTest::newRow("MONTHS_BETWEEN")
        << "SELECT ROUND(MONTHS_BETWEEN(TO_DATE('02-02-1995', 'MM-DD-YYYY'), "
           "TO_DATE('01-01-1995', 'MM-DD-YYYY')), 8) FROM dual"
        << "1.03225806";
    QTest::newRow("fm month") << "SELECT TO_CHAR(TO_DATE('2013-02-17', 'YYYY-MM-DD'), "
                                 "'fmMonth DD, YYYY') FROM dual"
                              << "February 17, 2013";
    QTest::newRow("TRUNC to the month")
        << "SELECT TRUNC(TO_DATE('2013-02-17 10:00', 'YYYY-MM-DD HH24:MI'), 'MM') FROM dual"
        << "2013-02-01 00:00:00";
    QTest::newRow("REGEXP_SUBSTR")
        << "SELECT REGEXP_SUBSTR('500 Oracle Parkway, Redwood Shores, CA', ',[^,]+,') FROM dual"
        << ", Redwood Shores,";
}

void TestEngineFunctions::answers() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(enginetest::firstColumn(*m_connection, sql.toStdString()), QStringList{expected});
}

void TestEngineFunctions::errors_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");
    QTest::newRow("square root of -1") << "SELECT SQRT(-1) FROM dual"
                                       << "ORA-01428: argument '-1' is out of range";
    QTest::newRow("30 February") << "SELECT TO_DATE('2009-02-30', 'YYYY-MM-DD') FROM dual"
                                 << "ORA-01839: date not valid for month specified";
    QTest::newRow("unknown date element")
        << "SELECT TO_CHAR(TO_DATE('2009-02-03', 'YYYY-MM-DD'), 'YYYY-XX') FROM dual"
        << "ORA-01821: date format not recognized";
}

void TestEngineFunctions::errors() {
    QFETCH(QString, sql);
    QFETCH(QString, error);
    try {
        m_connection->query(sql.toStdString());
        QFAIL("no error");
    } catch (const EngineError& e) {
        QCOMPARE(QString::fromStdString(e.what()), error);
    }
}

QTEST_APPLESS_MAIN(TestEngineFunctions)
#include "tst_enginefunctions.moc"
