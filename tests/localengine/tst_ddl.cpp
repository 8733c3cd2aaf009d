// Oracle DDL that SQLite cannot run itself: ALTER TABLE (constraints added,
// dropped, disabled and enabled, columns added, changed, dropped and
// renamed), sequences and identity columns, comments, views replaced or
// read-only, synonyms, TRUNCATE, DROP TABLE ... CASCADE CONSTRAINTS and
// ALTER SESSION. A change that the rows refuse gets Oracle's error and
// leaves the table as it was.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;
using enginetest::firstColumn;

class TestDdl : public QObject {
    Q_OBJECT

private slots:
    void init();
    void alterTable_data();
    void alterTable();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void disabledConstraintIsNotEnforced();
    void dropsWithDependents();
    void sequences();
    void identityColumns();
    void commentsViewsAndSynonyms();
    void viewsOverDualAndDroppedTables();
    void globalTemporaryTables();
    void sessionAndServerStatements();

private:
    QString error(const std::string& sql);
    QStringList rows(const std::string& sql) { return firstColumn(*m_db, sql); }

    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;
};

void TestDdl::init() {
    m_db.reset();
    const QString path = m_dir.filePath("ddl.db");
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_db = Connection::open(path.toStdString(), "scott");
    for (const char* sql :
         {"CREATE TABLE dept (deptno NUMBER(2), dname VARCHAR2(14 CHAR), loc VARCHAR2(13))",
          "CREATE TABLE emp (empno NUMBER(4), ename VARCHAR2(10), job VARCHAR2(9),"
          " mgr NUMBER(4), sal NUMBER(7,2), comm NUMBER(7,2), deptno NUMBER(2))",
          "CREATE INDEX emp_job_ix ON emp (job)",
          "INSERT INTO dept VALUES (10, 'ACCOUNTING', 'NEW YORK')",
          "INSERT INTO dept VALUES (20, 'RESEARCH', 'DALLAS')",
          "INSERT INTO emp VALUES (7839, 'KING', 'PRESIDENT', NULL, 5000, NULL, 10)",
          "INSERT INTO emp VALUES (7566, 'JONES', 'MANAGER', 7839, 2975, NULL, 20)",
          "INSERT INTO emp VALUES (7788, 'SCOTT', 'ANALYST', 7566, 3000, NULL, 20)",
          "INSERT INTO emp VALUES (7902, 'FORD', 'ANALYST', 7566, 3000, 0, 20)", "COMMIT"})
        m_db->execute(sql);
}

QString TestDdl::error(const std::string& sql) {
    try {
        m_db->execute(sql);
    } catch (const EngineError& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// Each row: the statements, then a query and what it answers afterwards.
void TestDdl::alterTable_data() {
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QStringList>("expected");

    const QString constraints =
        "SELECT constraint_name || ' ' || constraint_type || ' ' || status FROM user_constraints "
        "WHERE table_name = 'EMP' ORDER BY 1";
    QTest::newRow("out-of-line keys in one ADD, parentheses around the list")
        << QStringList{"ALTER TABLE dept ADD CONSTRAINT dept_pk PRIMARY KEY (deptno)",
                       "ALTER TABLE emp ADD (CONSTRAINT emp_pk PRIMARY KEY (empno),"
                       " CONSTRAINT emp_dept_fk FOREIGN KEY (deptno) REFERENCES dept (deptno)"
                       " ON DELETE CASCADE, CONSTRAINT emp_sal_ck CHECK (sal > 0))"}
        << constraints
        << QStringList{"EMP_DEPT_FK R ENABLED", "EMP_PK P ENABLED", "EMP_SAL_CK C ENABLED"};
    QTest::newRow("columns of an added key, in key order")
        << QStringList{"ALTER TABLE emp ADD CONSTRAINT emp_uk UNIQUE (ename, job)"}
        << "SELECT column_name || ' ' || position FROM user_cons_columns "
           "WHERE constraint_name = 'EMP_UK' ORDER BY position"
        << QStringList{"ENAME 1", "JOB 2"};
    QTest::newRow("a foreign key without columns references the primary key")
        << QStringList{"ALTER TABLE emp ADD CONSTRAINT emp_pk PRIMARY KEY (empno)",
                       "ALTER TABLE emp ADD CONSTRAINT emp_mgr_fk FOREIGN KEY (mgr) "
                       "REFERENCES emp"}
        << "SELECT r_constraint_name FROM user_constraints WHERE constraint_name = 'EMP_MGR_FK'"
        << QStringList{"EMP_PK"};
    QTest::newRow("rows and indexes survive the rebuild")
        << QStringList{"ALTER TABLE emp ADD CONSTRAINT emp_pk PRIMARY KEY (empno)"}
        << "SELECT index_name FROM user_indexes WHERE table_name = 'EMP' ORDER BY 1"
        << QStringList{"EMP_JOB_IX", "EMP_PK"};
    QTest::newRow("dropped constraint and primary key")
        << QStringList{"ALTER TABLE emp ADD CONSTRAINT emp_pk PRIMARY KEY (empno)",
                       "ALTER TABLE emp ADD CONSTRAINT emp_sal_ck CHECK (sal > 0)",
                       "ALTER TABLE emp DROP CONSTRAINT emp_sal_ck",
                       "ALTER TABLE emp DROP PRIMARY KEY"}
        << constraints << QStringList{};
    QTest::newRow("column added with a default fills the rows")
        << QStringList{"ALTER TABLE emp ADD (bonus NUMBER(5) DEFAULT 100 NOT NULL)"}
        << "SELECT DISTINCT bonus FROM emp" << QStringList{"100"};
    QTest::newRow("column modified: type, default, NOT NULL")
        << QStringList{"ALTER TABLE emp MODIFY (ename VARCHAR2(30) NOT NULL, job DEFAULT 'CLERK')",
                       "INSERT INTO emp (empno, ename) VALUES (1, 'NEW')"}
        << "SELECT data_type || '(' || data_length || ') ' || nullable FROM user_tab_columns "
           "WHERE table_name = 'EMP' AND column_name = 'ENAME' UNION ALL "
           "SELECT job FROM emp WHERE empno = 1"
        << QStringList{"VARCHAR2(30) N", "CLERK"};
    QTest::newRow("column back to NULL")
        << QStringList{"ALTER TABLE emp MODIFY ename NOT NULL", "ALTER TABLE emp MODIFY ename NULL"}
        << "SELECT nullable FROM user_tab_columns WHERE table_name = 'EMP' AND column_name = "
           "'ENAME'"
        << QStringList{"Y"};
    QTest::newRow("dropped column takes its index")
        << QStringList{"ALTER TABLE emp DROP COLUMN job"}
        << "SELECT index_name FROM user_indexes WHERE table_name = 'EMP' UNION ALL "
           "SELECT TO_CHAR(count(*)) FROM user_tab_columns WHERE table_name = 'EMP'"
        << QStringList{"6"};
    QTest::newRow("renamed column and table")
        << QStringList{"ALTER TABLE emp RENAME COLUMN sal TO salary",
                       "ALTER TABLE emp RENAME TO employees"}
        << "SELECT SUM(salary) FROM employees" << QStringList{"13975"};
    QTest::newRow("storage clauses only") << QStringList{"ALTER TABLE emp PCTFREE 20 NOLOGGING"}
                                          << "SELECT count(*) FROM emp" << QStringList{"4"};
}

void TestDdl::alterTable() {
    QFETCH(QStringList, statements);
    QFETCH(QString, check);
    QFETCH(QStringList, expected);
    for (const QString& s : statements)
        QCOMPARE(error(s.toStdString()), QString());
    QCOMPARE(rows(check.toStdString()), expected);
}

// Each row: a statement that must fail with Oracle's error, and the table
// exactly as it was afterwards (its rows and its constraints).
void TestDdl::refusalsChangeNothing_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");

    QTest::newRow("duplicate keys for a primary key")
        << "ALTER TABLE emp ADD CONSTRAINT emp_sal_pk PRIMARY KEY (sal)"
        << "ORA-02437: cannot validate (SCOTT.EMP_SAL_PK) - primary key violated";
    QTest::newRow("duplicate keys for a unique key")
        << "ALTER TABLE emp ADD CONSTRAINT emp_job_uk UNIQUE (job)"
        << "ORA-02299: cannot validate (SCOTT.EMP_JOB_UK) - duplicate keys found";
    QTest::newRow("rows against a check")
        << "ALTER TABLE emp ADD CONSTRAINT emp_rich CHECK (sal > 4000)"
        << "ORA-02293: cannot validate (SCOTT.EMP_RICH) - check constraint violated";
    QTest::newRow("referenced columns are no key")
        << "ALTER TABLE emp ADD CONSTRAINT emp_mgr_fk FOREIGN KEY (mgr) REFERENCES emp (empno)"
        << "ORA-02270: no matching unique or primary key for this column-list";
    QTest::newRow("parent table missing")
        << "ALTER TABLE emp ADD CONSTRAINT emp_x_fk FOREIGN KEY (deptno) REFERENCES nowhere"
        << "ORA-00942: table or view does not exist";
    QTest::newRow("parent without a primary key")
        << "ALTER TABLE emp ADD CONSTRAINT emp_d_fk FOREIGN KEY (deptno) REFERENCES dept"
        << "ORA-02268: referenced table does not have a primary key";
    QTest::newRow("unknown column") << "ALTER TABLE emp ADD CONSTRAINT emp_x_uk UNIQUE (nosuch)"
                                    << "ORA-00904: \"NOSUCH\": invalid identifier";
    QTest::newRow("mandatory column on rows")
        << "ALTER TABLE emp ADD (hired DATE NOT NULL)"
        << "ORA-01758: table must be empty to add mandatory (NOT NULL) column";
    QTest::newRow("NOT NULL over null values")
        << "ALTER TABLE emp MODIFY (comm CONSTRAINT emp_comm_nn NOT NULL)"
        << "ORA-02296: cannot enable (SCOTT.EMP_COMM_NN) - null values found";
    QTest::newRow("column added twice") << "ALTER TABLE emp ADD (ename VARCHAR2(5))"
                                        << "ORA-01430: column being added already exists in table";
    QTest::newRow("constraint that does not exist")
        << "ALTER TABLE emp DROP CONSTRAINT nothing_like_it"
        << "ORA-02443: Cannot drop constraint  - nonexistent constraint";
    QTest::newRow("primary key that does not exist")
        << "ALTER TABLE emp DROP PRIMARY KEY"
        << "ORA-02441: Cannot drop nonexistent primary key";
    QTest::newRow("NULL column made NULL")
        << "ALTER TABLE emp MODIFY (comm NULL)"
        << "ORA-01451: column to be modified to NULL cannot be modified to NULL";
    QTest::newRow("table that does not exist")
        << "ALTER TABLE nosuch ADD CONSTRAINT x_pk PRIMARY KEY (a)"
        << "ORA-00942: table or view does not exist";
}

void TestDdl::refusalsChangeNothing() {
    QFETCH(QString, statement);
    QFETCH(QString, error);
    const std::string queries[] = {
        "SELECT constraint_name FROM user_constraints ORDER BY 1",
        "SELECT column_name || ' ' || data_type || ' ' || nullable FROM user_tab_columns "
        "WHERE table_name = 'EMP' ORDER BY column_id",
        "SELECT empno || ename || NVL(TO_CHAR(comm), '-') FROM emp ORDER BY 1",
        "SELECT index_name FROM user_indexes ORDER BY 1"};
    std::vector<QStringList> was;
    for (const std::string& q : queries)
        was.push_back(rows(q));
    QCOMPARE(this->error(statement.toStdString()), error);
    for (std::size_t i = 0; i < was.size(); ++i)
        QCOMPARE(rows(queries[i]), was[i]);
}

void TestDdl::disabledConstraintIsNotEnforced() {
    m_db->execute("ALTER TABLE dept ADD CONSTRAINT dept_pk PRIMARY KEY (deptno)");
    m_db->execute(
        "ALTER TABLE emp ADD CONSTRAINT emp_dept_fk FOREIGN KEY (deptno) "
        "REFERENCES dept");
    m_db->execute("ALTER TABLE emp ADD CONSTRAINT emp_sal_ck CHECK (sal > 0)");
    const QString missing =
        "ORA-02291: integrity constraint (SCOTT.EMP_DEPT_FK) violated - parent key not found";
    QCOMPARE(error("INSERT INTO emp (empno, deptno, sal) VALUES (1, 99, 10)"), missing);

    m_db->execute("ALTER TABLE emp DISABLE CONSTRAINT emp_dept_fk");
    QCOMPARE(rows("SELECT status FROM user_constraints WHERE constraint_name = 'EMP_DEPT_FK'"),
             QStringList{"DISABLED"});
    QCOMPARE(rows("SELECT column_name FROM user_cons_columns "
                  "WHERE constraint_name = 'EMP_DEPT_FK'"),
             QStringList{"DEPTNO"});
    QCOMPARE(error("INSERT INTO emp (empno, deptno, sal) VALUES (1, 99, 10)"), QString());

    // Enabling checks the rows; the orphan keeps it disabled.
    QCOMPARE(
        error("ALTER TABLE emp ENABLE CONSTRAINT emp_dept_fk"),
        QStringLiteral("ORA-02298: cannot enable (SCOTT.EMP_DEPT_FK) - parent keys not found"));
    QCOMPARE(rows("SELECT status FROM user_constraints WHERE constraint_name = 'EMP_DEPT_FK'"),
             QStringList{"DISABLED"});
    m_db->execute("DELETE FROM emp WHERE empno = 1");
    QCOMPARE(error("ALTER TABLE emp ENABLE VALIDATE CONSTRAINT emp_dept_fk"), QString());
    QCOMPARE(error("INSERT INTO emp (empno, deptno, sal) VALUES (1, 99, 10)"), missing);

    // Added DISABLE: kept, not checked, until enabled.
    m_db->execute("ALTER TABLE emp ADD CONSTRAINT emp_big CHECK (sal > 2000) DISABLE");
    QCOMPARE(error("INSERT INTO emp (empno, deptno, sal) VALUES (2, 10, 10)"), QString());
    QCOMPARE(rows("SELECT status || ' ' || search_condition FROM user_constraints "
                  "WHERE constraint_name = 'EMP_BIG'"),
             QStringList{"DISABLED SAL > 2000"});
    QCOMPARE(error("ALTER TABLE emp DROP CONSTRAINT emp_big"), QString());
    QCOMPARE(rows("SELECT count(*) FROM user_constraints WHERE constraint_name = 'EMP_BIG'"),
             QStringList{"0"});

    // A parent key that foreign keys depend on.
    QCOMPARE(error("ALTER TABLE dept DISABLE CONSTRAINT dept_pk"),
             QStringLiteral("ORA-02297: cannot disable constraint (SCOTT.DEPT_PK) - dependencies "
                            "exist"));
}

void TestDdl::dropsWithDependents() {
    m_db->execute("ALTER TABLE dept ADD CONSTRAINT dept_pk PRIMARY KEY (deptno)");
    m_db->execute(
        "ALTER TABLE emp ADD CONSTRAINT emp_dept_fk FOREIGN KEY (deptno) "
        "REFERENCES dept");
    QCOMPARE(
        error("ALTER TABLE dept DROP PRIMARY KEY"),
        QStringLiteral("ORA-02273: this unique/primary key is referenced by some foreign keys"));
    QCOMPARE(error("TRUNCATE TABLE dept"),
             QStringLiteral("ORA-02266: unique/primary keys in table referenced by enabled "
                            "foreign keys"));
    QCOMPARE(error("DROP TABLE dept"),
             QStringLiteral("ORA-02449: unique/primary keys in table referenced by foreign keys"));
    QCOMPARE(rows("SELECT count(*) FROM dept"), QStringList{"2"});

    QCOMPARE(error("ALTER TABLE dept DROP CONSTRAINT dept_pk CASCADE"), QString());
    QCOMPARE(rows("SELECT count(*) FROM user_constraints"), QStringList{"0"});
    m_db->execute("ALTER TABLE dept ADD CONSTRAINT dept_pk PRIMARY KEY (deptno)");
    m_db->execute(
        "ALTER TABLE emp ADD CONSTRAINT emp_dept_fk FOREIGN KEY (deptno) "
        "REFERENCES dept");
    QCOMPARE(error("DROP TABLE dept CASCADE CONSTRAINTS PURGE"), QString());
    QCOMPARE(rows("SELECT count(*) FROM emp"), QStringList{"4"});
    QCOMPARE(rows("SELECT count(*) FROM user_constraints WHERE constraint_type = 'R'"),
             QStringList{"0"});
    QCOMPARE(error("TRUNCATE TABLE emp"), QString());
    QCOMPARE(rows("SELECT count(*) FROM emp"), QStringList{"0"});
}

void TestDdl::sequences() {
    m_db->execute("CREATE SEQUENCE emp_seq START WITH 8000 INCREMENT BY 10 NOCACHE");
    m_db->execute("INSERT INTO emp (empno, ename) VALUES (emp_seq.NEXTVAL, 'ONE')");
    m_db->execute("INSERT INTO emp (empno, ename) VALUES (emp_seq.nextval, 'TWO')");
    QCOMPARE(rows("SELECT empno FROM emp WHERE empno >= 8000 ORDER BY 1"),
             (QStringList{"8000", "8010"}));
    QCOMPARE(rows("SELECT emp_seq.CURRVAL FROM dual"), QStringList{"8010"});
    // One value per row of a query, as Oracle hands them out.
    QCOMPARE(rows("SELECT emp_seq.NEXTVAL FROM emp WHERE empno >= 8000"),
             (QStringList{"8020", "8030"}));
    QCOMPARE(rows("SELECT sequence_name || ' ' || min_value || ' ' || increment_by || ' ' || "
                  "cycle_flag || ' ' || cache_size || ' ' || last_number FROM user_sequences"),
             QStringList{"EMP_SEQ 1 10 N 0 8040"});

    m_db->execute("ALTER SEQUENCE emp_seq INCREMENT BY 1 MAXVALUE 8041");
    QCOMPARE(rows("SELECT emp_seq.NEXTVAL FROM dual"), QStringList{"8031"});
    m_db->execute("ALTER SEQUENCE emp_seq RESTART START WITH 8041");
    QCOMPARE(rows("SELECT emp_seq.NEXTVAL FROM dual"), QStringList{"8041"});
    QCOMPARE(error("SELECT emp_seq.NEXTVAL FROM dual"),
             QStringLiteral("ORA-08004: sequence EMP_SEQ.NEXTVAL exceeds MAXVALUE and cannot be "
                            "instantiated"));
    m_db->execute("ALTER SEQUENCE emp_seq MINVALUE 1 CYCLE");
    QCOMPARE(rows("SELECT emp_seq.NEXTVAL FROM dual"), QStringList{"1"});

    QCOMPARE(error("CREATE SEQUENCE emp_seq"),
             QStringLiteral("ORA-00955: name is already used by an existing object"));
    QCOMPARE(error("CREATE SEQUENCE s2 INCREMENT BY 0"),
             QStringLiteral("ORA-04002: INCREMENT must be a non-zero integer"));
    QCOMPARE(error("CREATE SEQUENCE s2 START WITH 5 MAXVALUE 4"),
             QStringLiteral("ORA-04008: START WITH cannot be more than MAXVALUE"));
    QCOMPARE(error("ALTER SEQUENCE emp_seq START WITH 5"),
             QStringLiteral("ORA-02283: cannot alter starting sequence number"));
    m_db->execute("CREATE SEQUENCE down_seq INCREMENT BY -1");
    QCOMPARE(rows("SELECT down_seq.NEXTVAL FROM dual"), QStringList{"-1"});

    // CURRVAL before NEXTVAL in a new session; a missing sequence.
    auto other = Connection::open(m_dir.filePath("ddl.db").toStdString(), "scott");
    try {
        other->query("SELECT emp_seq.CURRVAL FROM dual");
        QFAIL("CURRVAL answered");
    } catch (const EngineError& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("ORA-08002: sequence EMP_SEQ.CURRVAL is not yet defined in this "
                                "session"));
    }
    QCOMPARE(error("SELECT nosuch.NEXTVAL FROM dual"),
             QStringLiteral("ORA-02289: sequence does not exist"));
    // Two references in one row would differ here; Oracle gives one value.
    QVERIFY(error("SELECT emp_seq.NEXTVAL, emp_seq.CURRVAL FROM dual").startsWith("ORA-03001"));

    m_db->execute("DROP SEQUENCE emp_seq");
    QCOMPARE(error("DROP SEQUENCE emp_seq"), QStringLiteral("ORA-02289: sequence does not exist"));
}

void TestDdl::identityColumns() {
    m_db->execute(
        "CREATE TABLE orders (order_id INTEGER GENERATED ALWAYS AS IDENTITY "
        "(START WITH 100 INCREMENT BY 5), item VARCHAR2(20 CHAR) NOT NULL, "
        "qty NUMBER DEFAULT ON NULL 1, CONSTRAINT orders_pk PRIMARY KEY (order_id))");
    m_db->execute("INSERT INTO orders (item) VALUES ('pen')");
    m_db->execute("INSERT INTO orders (item, qty) VALUES ('ink', NULL)");
    QCOMPARE(rows("SELECT order_id || ' ' || item || ' ' || qty FROM orders ORDER BY 1"),
             (QStringList{"100 pen 1", "105 ink 1"}));
    QCOMPARE(rows("SELECT nullable FROM user_tab_columns WHERE table_name = 'ORDERS' "
                  "ORDER BY column_id"),
             (QStringList{"N", "N", "N"}));

    // Made identity afterwards: the sequence goes on past the rows.
    m_db->execute("CREATE TABLE notes (note_id NUMBER, text VARCHAR2(50))");
    m_db->execute("INSERT INTO notes VALUES (41, 'old')");
    m_db->execute("ALTER TABLE notes MODIFY note_id GENERATED BY DEFAULT ON NULL AS IDENTITY");
    m_db->execute("INSERT INTO notes (note_id, text) VALUES (NULL, 'new')");
    m_db->execute("INSERT INTO notes (text) VALUES ('newer')");
    QCOMPARE(rows("SELECT note_id FROM notes ORDER BY 1"), (QStringList{"41", "42", "43"}));

    // The table's sequences go with it.
    m_db->execute("DROP TABLE orders");
    QCOMPARE(rows("SELECT count(*) FROM user_sequences WHERE sequence_name LIKE 'ISEQ$$%'"),
             QStringList{"1"});
}

void TestDdl::commentsViewsAndSynonyms() {
    m_db->execute("COMMENT ON TABLE emp IS 'Employees of the company'");
    m_db->execute("COMMENT ON COLUMN emp.sal IS 'Monthly salary'");
    m_db->execute("COMMENT ON COLUMN scott.emp.sal IS 'Monthly salary in dollars'");
    QCOMPARE(rows("SELECT table_type || ' ' || comments FROM user_tab_comments "
                  "WHERE table_name = 'EMP'"),
             QStringList{"TABLE Employees of the company"});
    QCOMPARE(rows("SELECT column_name || ': ' || comments FROM user_col_comments "
                  "WHERE table_name = 'EMP' AND comments IS NOT NULL"),
             QStringList{"SAL: Monthly salary in dollars"});
    QCOMPARE(error("COMMENT ON COLUMN emp.nosuch IS 'x'"),
             QStringLiteral("ORA-00904: \"NOSUCH\": invalid identifier"));
    // The comments follow a renamed column and leave with a dropped one.
    m_db->execute("ALTER TABLE emp RENAME COLUMN sal TO salary");
    QCOMPARE(rows("SELECT column_name FROM user_col_comments WHERE comments IS NOT NULL"),
             QStringList{"SALARY"});

    m_db->execute(
        "CREATE OR REPLACE VIEW analysts AS SELECT empno, ename FROM emp "
        "WHERE job = 'ANALYST' WITH READ ONLY");
    m_db->execute(
        "CREATE OR REPLACE VIEW analysts (id, name, pay) AS "
        "SELECT empno, ename, salary FROM emp WHERE job = 'ANALYST' WITH CHECK OPTION");
    QCOMPARE(rows("SELECT name FROM analysts ORDER BY 1"), (QStringList{"FORD", "SCOTT"}));
    QCOMPARE(rows("SELECT view_name || ' ' || read_only FROM user_views"),
             QStringList{"ANALYSTS N"});
    m_db->execute("CREATE OR REPLACE VIEW analysts AS SELECT empno FROM emp WITH READ ONLY");
    QCOMPARE(rows("SELECT read_only FROM user_views"), QStringList{"Y"});
    QVERIFY(!error("DELETE FROM analysts").isEmpty());
    QCOMPARE(error("CREATE VIEW analysts AS SELECT 1 x FROM dual"),
             QStringLiteral("ORA-00955: name is already used by an existing object"));

    m_db->execute("CREATE SYNONYM staff FOR scott.emp");
    QCOMPARE(rows("SELECT count(*) FROM staff"), QStringList{"4"});
    QCOMPARE(rows("SELECT synonym_name || ' ' || table_owner || ' ' || table_name "
                  "FROM user_synonyms"),
             QStringList{"STAFF SCOTT EMP"});
    QCOMPARE(error("CREATE SYNONYM staff FOR dept"),
             QStringLiteral("ORA-00955: name is already used by an existing object"));
    m_db->execute("CREATE OR REPLACE SYNONYM staff FOR dept");
    QCOMPARE(rows("SELECT count(*) FROM staff"), QStringList{"2"});
    m_db->execute("DROP SYNONYM staff");
    QCOMPARE(error("DROP SYNONYM staff"),
             QStringLiteral("ORA-01434: private synonym to be dropped does not exist"));
    // None of the engine's own tables shows as the user's.
    QCOMPARE(rows("SELECT count(*) FROM user_tables WHERE table_name LIKE 'QUORVEL%'"),
             QStringList{"0"});
}

// A view over DUAL works as any other, also on the next connection. A
// view whose table was dropped is invalid (ORA-04063, "view has errors" in
// Oracle's Error Messages), and using it spoils nothing else.
void TestDdl::viewsOverDualAndDroppedTables() {
    m_db->execute("CREATE VIEW today AS SELECT 'X' flag, dummy, 42 answer FROM dual");
    m_db->execute("CREATE VIEW aliased AS SELECT d.dummy FROM sys.dual d");
    QCOMPARE(rows("SELECT flag || dummy || answer FROM today"), QStringList{"XX42"});
    QCOMPARE(rows("SELECT t.answer || a.dummy FROM today t, aliased a"), QStringList{"42X"});

    m_db->execute("CREATE TABLE bonus (ename VARCHAR2(10), amount NUMBER)");
    m_db->execute("CREATE VIEW big_bonus AS SELECT ename FROM bonus WHERE amount > 100");
    m_db->execute("DROP TABLE bonus");
    const QString invalid = QStringLiteral("ORA-04063: view \"SCOTT.BIG_BONUS\" has errors");
    for (int attempt = 0; attempt < 2; ++attempt) {
        QCOMPARE(error("SELECT * FROM big_bonus"), invalid);
        QCOMPARE(rows("SELECT count(*) FROM dept"), QStringList{"2"});
        QCOMPARE(rows("SELECT answer FROM today"), QStringList{"42"});
    }
    // recreating the table makes the view valid again
    m_db->execute("CREATE TABLE bonus (ename VARCHAR2(10), amount NUMBER)");
    m_db->execute("INSERT INTO bonus VALUES ('KING', 500)");
    QCOMPARE(rows("SELECT ename FROM big_bonus"), QStringList{"KING"});

    m_db.reset();
    m_db = Connection::open(m_dir.filePath("ddl.db").toStdString(), "scott");
    QCOMPARE(rows("SELECT flag || answer FROM today"), QStringList{"X42"});
}

// A global temporary table as the SQL Language Reference describes it: the
// definition is the database's and visible to every session, the rows are
// each session's own; TRUNCATE and DROP reach it, and its name is taken.
void TestDdl::globalTemporaryTables() {
    const std::string path = m_dir.filePath("ddl.db").toStdString();
    m_db->execute(
        "CREATE GLOBAL TEMPORARY TABLE work_ids (id NUMBER PRIMARY KEY, note VARCHAR2(10))"
        " ON COMMIT PRESERVE ROWS");
    m_db->execute("INSERT INTO work_ids VALUES (1, 'mine')");
    auto other = Connection::open(path, "scott");
    QCOMPARE(firstColumn(*other, "SELECT count(*) FROM work_ids"), QStringList{"0"});
    other->execute("INSERT INTO work_ids VALUES (2, 'theirs')");
    QCOMPARE(rows("SELECT note FROM work_ids"), QStringList{"mine"});
    QCOMPARE(error("CREATE TABLE work_ids (x NUMBER)"),
             QStringLiteral("ORA-00955: name is already used by an existing object"));
    QCOMPARE(error("CREATE GLOBAL TEMPORARY TABLE work_ids (x NUMBER)"),
             QStringLiteral("ORA-00955: name is already used by an existing object"));

    QCOMPARE(error("TRUNCATE TABLE work_ids"), QString());
    QCOMPARE(rows("SELECT count(*) FROM work_ids"), QStringList{"0"});
    QCOMPARE(firstColumn(*other, "SELECT note FROM work_ids"), QStringList{"theirs"});

    // the definition outlives the connection that made it
    m_db.reset();
    m_db = Connection::open(path, "scott");
    m_db->execute("INSERT INTO work_ids VALUES (3, 'again')");
    m_db->execute("EXPLAIN PLAN SET STATEMENT_ID = 'g' FOR SELECT note FROM work_ids WHERE id = 3");
    QVERIFY(rows("SELECT count(*) FROM plan_table WHERE statement_id = 'g'")[0].toInt() >= 2);

    QCOMPARE(error("DROP TABLE work_ids"), QString());
    QVERIFY2(error("SELECT * FROM work_ids").startsWith("ORA-00942"),
             qPrintable(error("SELECT * FROM work_ids")));
    other.reset();
    other = Connection::open(path, "scott");
    QVERIFY(QString::fromStdString([&] {
                try {
                    other->query("SELECT * FROM work_ids");
                } catch (const EngineError& e) {
                    return std::string(e.what());
                }
                return std::string();
            }())
                .startsWith("ORA-00942"));
}

void TestDdl::sessionAndServerStatements() {
    QCOMPARE(error("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD' NLS_LANGUAGE = AMERICAN"),
             QString());
    QCOMPARE(rows("SELECT TO_CHAR(TO_DATE('2024-02-29')) FROM dual"), QStringList{"2024-02-29"});
    QCOMPARE(error("ALTER SESSION SET CURRENT_SCHEMA = scott"), QString());
    QCOMPARE(error("ALTER SESSION SET no_such_parameter = 1"),
             QStringLiteral("ORA-02248: invalid option for ALTER SESSION"));
    for (const char* sql : {"GRANT SELECT ON emp TO public", "REVOKE SELECT ON emp FROM public",
                            "CREATE USER app IDENTIFIED BY x", "ALTER SYSTEM FLUSH SHARED_POOL",
                            "CREATE TABLESPACE data1 DATAFILE 'x.dbf' SIZE 10M"}) {
        const QString message = error(sql);
        QVERIFY2(message.startsWith("ORA-03001") && message.contains("one-user database file"),
                 qPrintable(message));
    }
    // Index-organized: a table without rowid on its primary key.
    m_db->execute(
        "CREATE TABLE codes (code VARCHAR2(5) CONSTRAINT codes_pk PRIMARY KEY, "
        "label VARCHAR2(30)) ORGANIZATION INDEX TABLESPACE users PCTTHRESHOLD 20");
    QCOMPARE(rows("SELECT iot_type FROM user_tables WHERE table_name = 'CODES'"),
             QStringList{"IOT"});
}

QTEST_GUILESS_MAIN(TestDdl)
#include "tst_ddl.moc"
