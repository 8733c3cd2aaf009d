// Table definitions cut into their parts and edited, and tables rebuilt with
// their rows, indexes and triggers: all of it or, when the rows do not fit
// the new definition, none of it.

#include <sqlite3.h>

#include <QtTest>

#include "schema/TableRebuild.h"
#include "schema/TableText.h"
#include "sqlite/Statement.h"

using namespace localengine;
using namespace localengine::schema;

namespace {

class MemoryDb {
public:
    explicit MemoryDb(const char* schema) {
        sqlite3_open(":memory:", &m_db);
        sqlite::exec(m_db, schema);
    }
    ~MemoryDb() { sqlite3_close(m_db); }
    sqlite3* db() const { return m_db; }

    // One column of every row of `sql`, joined with ",".
    QString values(const char* sql) const {
        sqlite::Statement statement(m_db, sql);
        QStringList out;
        while (statement.step())
            out << QString::fromStdString(statement.isNull(0) ? "null" : statement.text(0));
        return out.join(',');
    }
    // The schema as sqlite_schema lists it.
    QString schema() const {
        return values(
            "SELECT type || ' ' || name || ': ' || coalesce(sql, '') FROM sqlite_schema"
            " ORDER BY type, name");
    }

private:
    sqlite3* m_db = nullptr;
};

QStringList texts(const TableText& table) {
    QStringList out;
    for (const TableDefinition& d : table.definitions())
        out << QString(d.kind == TableDefinition::Kind::Column ? "col " : "con ") +
                   QString::fromStdString(d.name) + ": " + QString::fromStdString(d.text);
    return out;
}

const char* const kSchema =
    "CREATE TABLE dept(deptno INTEGER PRIMARY KEY, dname TEXT);"
    "INSERT INTO dept VALUES (10, 'SALES'), (20, 'IT');"
    "CREATE TABLE emp(empno NUMBER NOT NULL, ename VARCHAR2(20) DEFAULT 'x',"
    " deptno NUMBER CONSTRAINT emp_dept_fk REFERENCES dept (deptno), sal NUMBER);"
    "INSERT INTO emp VALUES (1, 'KING', 10, 5000), (2, 'BLAKE', 20, 2850), (3, 'CLARK', 10, "
    "2450);"
    "CREATE INDEX emp_sal ON emp(sal);"
    "CREATE TABLE audit_log(what TEXT);"
    "CREATE TRIGGER emp_audit AFTER INSERT ON emp BEGIN INSERT INTO audit_log VALUES "
    "(new.ename); END;"
    "CREATE VIEW rich AS SELECT ename FROM emp WHERE sal > 2500;";

Rebuild rebuildOf(MemoryDb& m, const char* table) {
    Rebuild rebuild;
    rebuild.table = table;
    rebuild.revised = TableText::parse(
        m.values(
             ("SELECT sql FROM sqlite_schema WHERE name = '" + std::string(table) + "'").c_str())
            .toStdString());
    return rebuild;
}

}  // namespace

class TestTableRebuild : public QObject {
    Q_OBJECT

private slots:
    void cutIntoDefinitions() {
        const TableText t = TableText::parse(
            "CREATE TABLE \"Odd Name\" (ID INTEGER CONSTRAINT t_pk PRIMARY KEY, \"lower\" TEXT "
            "DEFAULT 'a,b', N NUMBER(10, 2) CHECK (N > 0), CONSTRAINT t_uk UNIQUE (\"lower\", N),"
            " CHECK (ID < 100)) WITHOUT ROWID");
        QCOMPARE(texts(t), (QStringList{"col ID: ID INTEGER CONSTRAINT t_pk PRIMARY KEY",
                                        "col lower: \"lower\" TEXT DEFAULT 'a,b'",
                                        "col N: N NUMBER(10, 2) CHECK (N > 0)",
                                        "con T_UK: CONSTRAINT t_uk UNIQUE (\"lower\", N)",
                                        "con : CHECK (ID < 100)"}));
        QCOMPARE(QString::fromStdString(t.options()), QStringLiteral("WITHOUT ROWID"));
        QCOMPARE(t.findColumn("LOWER"), 1);
        QVERIFY(t.hasConstraint("T_PK"));
        QVERIFY(t.hasConstraint("T_UK"));
        QVERIFY(!t.hasConstraint("T_CK"));
        // Written again, SQLite reads the same table.
        MemoryDb m(TableText::parse(t.sql("copy")).sql("copy").c_str());
        QCOMPARE(m.values("SELECT name FROM pragma_table_info('copy')"), "ID,lower,N");
    }

    void constraintsRemoved_data() {
        QTest::addColumn<QString>("create");
        QTest::addColumn<QString>("constraint");  // empty: the primary key
        QTest::addColumn<QStringList>("after");
        const QString t = "CREATE TABLE t (";
        QTest::newRow("table constraint by name")
            << t + "A INT, CONSTRAINT t_uk UNIQUE (A), CHECK (A > 0))"
            << "T_UK" << QStringList{"col A: A INT", "con : CHECK (A > 0)"};
        QTest::newRow("named clause of a column, other clauses kept")
            << t + "A INT CONSTRAINT a_nn NOT NULL DEFAULT 5 CHECK (A > 0))"
            << "A_NN" << QStringList{"col A: A INT DEFAULT 5 CHECK (A > 0)"};
        QTest::newRow("a column's reference with its actions")
            << t + "A INT CONSTRAINT a_fk REFERENCES p (id) ON DELETE SET NULL NOT NULL)"
            << "A_FK" << QStringList{"col A: A INT NOT NULL"};
        QTest::newRow("a column's check with nested parentheses")
            << t + "A INT CONSTRAINT a_ck CHECK (A IN (1, 2)) UNIQUE)"
            << "A_CK" << QStringList{"col A: A INT UNIQUE"};
        QTest::newRow("primary key of a column")
            << t + "A INT PRIMARY KEY ASC NOT NULL, B INT)"
            << "" << QStringList{"col A: A INT NOT NULL", "col B: B INT"};
        QTest::newRow("named primary key over columns")
            << t + "A INT, B INT, CONSTRAINT t_pk PRIMARY KEY (A, B))"
            << "" << QStringList{"col A: A INT", "col B: B INT"};
    }

    void constraintsRemoved() {
        QFETCH(QString, create);
        QFETCH(QString, constraint);
        TableText table = TableText::parse(create.toStdString());
        QVERIFY(constraint.isEmpty() ? table.removePrimaryKey()
                                     : table.removeConstraint(constraint.toStdString()));
        QTEST(texts(table), "after");
        QVERIFY(constraint.isEmpty() ? !table.removePrimaryKey()
                                     : !table.removeConstraint(constraint.toStdString()));
    }

    void columnsChanged() {
        TableText table =
            TableText::parse("CREATE TABLE t (A INT, B INT, C INT, UNIQUE (A, B), CHECK (C > 0))");
        table.addColumn("D", "D TEXT DEFAULT 'd'");
        table.removeColumn(table.findColumn("B"));
        table.replaceColumn(table.findColumn("A"), "A NUMBER NOT NULL");
        QCOMPARE(texts(table), (QStringList{"col A: A NUMBER NOT NULL", "col C: C INT",
                                            "col D: D TEXT DEFAULT 'd'", "con : CHECK (C > 0)"}));
    }

    void rebuildKeepsRowsIndexesTriggersAndViews() {
        MemoryDb m(kSchema);
        sqlite::exec(m.db(), "PRAGMA foreign_keys = ON");
        Rebuild rebuild = rebuildOf(m, "emp");
        rebuild.revised.addConstraint("EMP_PK", "CONSTRAINT emp_pk PRIMARY KEY (empno)");
        QCOMPARE(int(rebuildTable(m.db(), rebuild).outcome), int(RebuildOutcome::Done));

        QCOMPARE(m.values("SELECT ename FROM emp ORDER BY empno"), "KING,BLAKE,CLARK");
        QCOMPARE(m.values("SELECT name FROM sqlite_schema WHERE tbl_name = 'emp' ORDER BY name"),
                 "emp,emp_audit,emp_sal,sqlite_autoindex_emp_1");
        QCOMPARE(m.values("SELECT ename FROM rich ORDER BY ename"), "BLAKE,KING");
        sqlite::exec(m.db(), "INSERT INTO emp VALUES (4, 'FORD', 20, 3000)");
        QCOMPARE(m.values("SELECT what FROM audit_log"), "FORD");
        // The new key and the foreign key hold; enforcement is back on.
        QCOMPARE(m.values("PRAGMA foreign_keys"), "1");
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 sqlite::exec(m.db(), "INSERT INTO emp VALUES (4, 'X', 10, 1)"));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 sqlite::exec(m.db(), "INSERT INTO emp VALUES (5, 'X', 99, 1)"));
        QCOMPARE(m.values("SELECT count(*) FROM sqlite_schema WHERE name LIKE 'quorvel%'"), "0");
    }

    void rowsThatDoNotFitChangeNothing_data() {
        QTest::addColumn<QString>("constraint");
        QTest::addColumn<bool>("checkForeignKeys");
        QTest::addColumn<int>("outcome");
        QTest::newRow("duplicate primary key") << "CONSTRAINT emp_pk PRIMARY KEY (deptno)" << false
                                               << int(RebuildOutcome::PrimaryKeyViolated);
        QTest::newRow("duplicate unique key")
            << "CONSTRAINT emp_uk UNIQUE (deptno)" << false << int(RebuildOutcome::UniqueViolated);
        QTest::newRow("check") << "CONSTRAINT emp_sal_ck CHECK (sal > 2500)" << false
                               << int(RebuildOutcome::CheckViolated);
        QTest::newRow("parent key missing")
            << "CONSTRAINT emp_boss_fk FOREIGN KEY (sal) REFERENCES dept (deptno)" << true
            << int(RebuildOutcome::ForeignKeyViolated);
    }

    void rowsThatDoNotFitChangeNothing() {
        QFETCH(QString, constraint);
        QFETCH(bool, checkForeignKeys);
        MemoryDb m(kSchema);
        sqlite::exec(m.db(), "PRAGMA foreign_keys = ON");
        const QString before = m.schema();
        Rebuild rebuild = rebuildOf(m, "emp");
        rebuild.revised.addConstraint("C", constraint.toStdString());
        rebuild.checkForeignKeys = checkForeignKeys;
        QTEST(int(rebuildTable(m.db(), rebuild).outcome), "outcome");
        QCOMPARE(m.schema(), before);
        QCOMPARE(m.values("SELECT ename FROM emp ORDER BY empno"), "KING,BLAKE,CLARK");
        QCOMPARE(m.values("PRAGMA foreign_keys"), "1");
        QVERIFY(sqlite3_get_autocommit(m.db()));
    }

    void columnsDroppedAndRetyped() {
        MemoryDb m(kSchema);
        Rebuild rebuild = rebuildOf(m, "emp");
        rebuild.revised.removeColumn(rebuild.revised.findColumn("SAL"));
        rebuild.revised.replaceColumn(rebuild.revised.findColumn("ENAME"),
                                      "ename VARCHAR2(20) NOT NULL");
        rebuild.revised.addColumn("HIRED", "hired DATE DEFAULT '2000-01-01 00:00:00'");
        rebuild.sources["ENAME"] = "lower(ename)";
        rebuild.droppedIndexes = {"EMP_SAL"};
        QCOMPARE(int(rebuildTable(m.db(), rebuild).outcome), int(RebuildOutcome::Done));
        QCOMPARE(m.values("SELECT ename || ' ' || hired FROM emp ORDER BY empno"),
                 "king 2000-01-01 00:00:00,blake 2000-01-01 00:00:00,clark 2000-01-01 00:00:00");
        QCOMPARE(m.values("SELECT name FROM pragma_index_list('emp')"), "");
        QCOMPARE(m.values("SELECT \"notnull\" FROM pragma_table_info('emp') WHERE name = 'ename'"),
                 "1");
    }

    void notNullOnNullsChangesNothing() {
        MemoryDb m(kSchema);
        sqlite::exec(m.db(), "UPDATE emp SET sal = NULL WHERE empno = 2");
        Rebuild rebuild = rebuildOf(m, "emp");
        rebuild.revised.replaceColumn(rebuild.revised.findColumn("SAL"), "sal NUMBER NOT NULL");
        QCOMPARE(int(rebuildTable(m.db(), rebuild).outcome), int(RebuildOutcome::NotNullViolated));
        QCOMPARE(m.values("SELECT coalesce(sal, 'null') FROM emp ORDER BY empno"),
                 "5000,null,2450");
    }

    void openTransactionIsCommittedFirst() {
        MemoryDb m(kSchema);
        sqlite::exec(m.db(), "BEGIN; INSERT INTO dept VALUES (30, 'OPS')");
        Rebuild rebuild = rebuildOf(m, "dept");
        rebuild.revised.addConstraint("DEPT_UK", "CONSTRAINT dept_uk UNIQUE (dname)");
        QCOMPARE(int(rebuildTable(m.db(), rebuild).outcome), int(RebuildOutcome::Done));
        QVERIFY(sqlite3_get_autocommit(m.db()));
        QCOMPARE(m.values("SELECT dname FROM dept ORDER BY deptno"), "SALES,IT,OPS");
    }

    void definitionSqliteRefusesIsAnErrorAndChangesNothing() {
        MemoryDb m(kSchema);
        const QString before = m.schema();
        Rebuild rebuild = rebuildOf(m, "emp");
        rebuild.revised.addConstraint("BAD", "CONSTRAINT bad CHECK (no_such_column > 0)");
        QVERIFY_THROWS_EXCEPTION(EngineError, rebuildTable(m.db(), rebuild));
        QCOMPARE(m.schema(), before);
        QVERIFY(sqlite3_get_autocommit(m.db()));
    }
};

QTEST_GUILESS_MAIN(TestTableRebuild)
#include "tst_tablerebuild.moc"
