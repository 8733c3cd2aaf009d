// Foreign keys are enforced, and a statement that breaks one gets Oracle's
// error naming it: ORA-02291 for a missing parent, ORA-02292 for a parent
// that still has children. The statement changes nothing.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;
using enginetest::firstColumn;

class TestForeignKeys : public QObject {
    Q_OBJECT

private slots:
    void init();
    void violations_data();
    void violations();
    void cascadesAndNulls();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;
};

void TestForeignKeys::init() {
    m_db.reset();
    const QString path = m_dir.filePath("keys.db");
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_db = Connection::open(path.toStdString(), "hr");
    for (const char* sql :
         {"CREATE TABLE departments (department_id NUMBER PRIMARY KEY, name VARCHAR2(30))",
          "CREATE TABLE locations (location_id NUMBER PRIMARY KEY)",
          "CREATE TABLE employees (employee_id NUMBER PRIMARY KEY,"
          " department_id NUMBER CONSTRAINT emp_dept_fk REFERENCES departments (department_id),"
          " location_id NUMBER REFERENCES locations (location_id),"
          " manager_id NUMBER CONSTRAINT emp_manager_fk REFERENCES employees (employee_id))",
          "INSERT INTO departments VALUES (10, 'Sales')",
          "INSERT INTO departments VALUES (20, 'IT')", "INSERT INTO locations VALUES (1)",
          "INSERT INTO employees VALUES (100, 10, 1, NULL)",
          "INSERT INTO employees VALUES (101, 10, 1, 100)"})
        m_db->execute(sql);
}

void TestForeignKeys::violations_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    QTest::newRow("insert without a parent")
        << "INSERT INTO employees VALUES (102, 30, 1, NULL)"
        << "ORA-02291: integrity constraint (HR.EMP_DEPT_FK) violated - parent key not found";
    QTest::newRow("the second foreign key of the row")
        << "INSERT INTO employees VALUES (102, 10, 1, 999)"
        << "ORA-02291: integrity constraint (HR.EMP_MANAGER_FK) violated - parent key not found";
    QTest::newRow("update to a missing parent")
        << "UPDATE employees SET department_id = 99 WHERE employee_id = 101"
        << "ORA-02291: integrity constraint (HR.EMP_DEPT_FK) violated - parent key not found";
    QTest::newRow("delete a parent with children")
        << "DELETE FROM departments WHERE department_id = 10"
        << "ORA-02292: integrity constraint (HR.EMP_DEPT_FK) violated - child record found";
    QTest::newRow("change a parent key with children")
        << "UPDATE departments SET department_id = 11 WHERE department_id = 10"
        << "ORA-02292: integrity constraint (HR.EMP_DEPT_FK) violated - child record found";
    QTest::newRow("delete a manager of the same table")
        << "DELETE FROM employees WHERE employee_id = 100"
        << "ORA-02292: integrity constraint (HR.EMP_MANAGER_FK) violated - child record found";
}

void TestForeignKeys::violations() {
    QFETCH(QString, statement);
    QFETCH(QString, error);
    try {
        m_db->execute(statement.toStdString());
        QFAIL("the statement ran");
    } catch (const EngineError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), error);
    }
    // Nothing changed, and nothing of the probe for the name stayed behind.
    QCOMPARE(firstColumn(*m_db,
                         "SELECT COUNT(*) || ',' || SUM(department_id) || ',' || "
                         "COUNT(manager_id) FROM employees"),
             QStringList{"2,20,1"});
    QCOMPARE(firstColumn(*m_db, "SELECT COUNT(*) FROM departments"), QStringList{"2"});
    m_db->execute("INSERT INTO departments VALUES (30, 'Ops')");
}

void TestForeignKeys::cascadesAndNulls() {
    m_db->execute(
        "CREATE TABLE badges (employee_id NUMBER REFERENCES employees (employee_id) "
        "ON DELETE CASCADE, code VARCHAR2(5))");
    m_db->execute("INSERT INTO badges VALUES (101, 'A')");
    m_db->execute("INSERT INTO badges VALUES (NULL, 'B')");  // no parent needed for a null
    m_db->execute("DELETE FROM employees WHERE employee_id = 101");
    QCOMPARE(firstColumn(*m_db, "SELECT code FROM badges"), QStringList{"B"});
    // An unnamed foreign key gets Oracle's generated name.
    try {
        m_db->execute("INSERT INTO employees VALUES (103, 10, 7, NULL)");
        QFAIL("the statement ran");
    } catch (const EngineError& e) {
        QVERIFY2(QString(e.what()).startsWith("ORA-02291: integrity constraint (HR.SYS_C"),
                 e.what());
    }
}

QTEST_GUILESS_MAIN(TestForeignKeys)
#include "tst_foreignkeys.moc"
