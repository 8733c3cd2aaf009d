// Anonymous PL/SQL blocks: what they print through DBMS_OUTPUT, what they
// leave in the tables, the errors they raise, what is refused before
// anything runs, and how COMMIT and failures end their work. Expected values
// follow Oracle's PL/SQL Language Reference (predefined exceptions, SQLCODE
// +100 for NO_DATA_FOUND, VALUE_ERROR's texts, loop and cursor semantics).

#include "EngineTestUtil.h"
#include "LocalEngine.h"
#include "PlsqlBlock.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;
using enginetest::firstColumn;

class TestPlsqlBlock : public QObject {
    Q_OBJECT

private slots:
    void init();
    void output_data();
    void output();
    void errors_data();
    void errors();
    void refusals_data();
    void refusals();
    void variablesAreBoundNotSpliced();
    void failureUndoesSinceLastCommit();
    void handledErrorKeepsEarlierWork();
    void executeImmediateRunsDdl();
    void outputOnlyWhileEnabled();
    void runawayLoopIsStopped();
    void deepNestingIsRefused();
    void isAnonymousBlockReadsTheFirstWord();
    void gatheringStatistics();
    void randomTestData();

private:
    QStringList lines(const std::string& block);
    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;
};

void TestPlsqlBlock::init() {
    m_db.reset();
    const QString path = m_dir.filePath("blocks.db");
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_db = Connection::open(path.toStdString(), "scott");
    m_db->execute("CREATE TABLE regions (region_id NUMBER PRIMARY KEY, region_name VARCHAR2(25))");
    m_db->execute(
        "CREATE TABLE emp (empno NUMBER(4) PRIMARY KEY, ename VARCHAR2(10), "
        "sal NUMBER(7,2), deptno NUMBER(2), hiredate DATE)");
    m_db->execute("INSERT INTO emp VALUES (7369, 'SMITH', 800, 20, DATE '1980-12-17')");
    m_db->execute("INSERT INTO emp VALUES (7499, 'ALLEN', 1600, 30, DATE '1981-02-20')");
    m_db->execute("INSERT INTO emp VALUES (7521, 'WARD', 1250, 30, DATE '1981-02-22')");
    m_db->setServerOutput(true);
}

QStringList TestPlsqlBlock::lines(const std::string& block) {
    m_db->execute(block);
    QStringList out;
    for (const std::string& line : m_db->takeServerOutput())
        out << QString::fromStdString(line);
    return out;
}

void TestPlsqlBlock::output_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<QStringList>("printed");

    QTest::newRow("FOR loop, REVERSE, PUT and NEW_LINE")
        << "BEGIN\n FOR i IN 1 .. 3 LOOP DBMS_OUTPUT.PUT(i || ' '); END LOOP;\n"
           " DBMS_OUTPUT.NEW_LINE;\n"
           " FOR i IN REVERSE 1..3 LOOP DBMS_OUTPUT.PUT_LINE(i); END LOOP;\n"
           " FOR i IN 3 .. 1 LOOP DBMS_OUTPUT.PUT_LINE('never'); END LOOP;\nEND;"
        << QStringList{"1 2 3 ", "3", "2", "1"};
    QTest::newRow("declarations, defaults, constants, %TYPE")
        << "DECLARE\n c CONSTANT NUMBER := 2;\n n NUMBER(6,2) := 10 / 3;\n"
           " s VARCHAR2(10) DEFAULT 'ab';\n t s%TYPE;\n e emp.ename%TYPE;\n k INTEGER := 2.5;\n"
           " p PLS_INTEGER := -2.5;\n u NUMBER;\nBEGIN\n t := s || c;\n"
           " DBMS_OUTPUT.PUT_LINE(n || '|' || t || '|' || k || '|' || p || '|' || NVL(u, -1));\n"
           " SELECT ename INTO e FROM emp WHERE empno = 7499;\n DBMS_OUTPUT.PUT_LINE(e);\nEND;"
        << QStringList{"3.33|ab2|3|-3|-1", "ALLEN"};
    QTest::newRow("IF ELSIF ELSE, NULL is neither true nor false")
        << "DECLARE x NUMBER;\nBEGIN\n FOR i IN 1 .. 3 LOOP\n"
           "  IF i = 1 THEN DBMS_OUTPUT.PUT_LINE('one');\n"
           "  ELSIF i = 2 THEN DBMS_OUTPUT.PUT_LINE('two');\n"
           "  ELSE DBMS_OUTPUT.PUT_LINE('other'); END IF;\n END LOOP;\n"
           " IF x > 0 THEN DBMS_OUTPUT.PUT_LINE('gt'); ELSIF NOT (x > 0) THEN "
           "DBMS_OUTPUT.PUT_LINE('le'); ELSE DBMS_OUTPUT.PUT_LINE('unknown'); END IF;\nEND;"
        << QStringList{"one", "two", "other", "unknown"};
    QTest::newRow("WHILE, LOOP EXIT WHEN, CONTINUE, labelled EXIT")
        << "DECLARE n PLS_INTEGER := 0; done BOOLEAN := FALSE;\nBEGIN\n"
           " WHILE NOT done LOOP n := n + 1; done := n >= 3; END LOOP;\n"
           " LOOP n := n + 1; EXIT WHEN n = 5; END LOOP;\n DBMS_OUTPUT.PUT_LINE(n);\n"
           " <<outer>> FOR i IN 1 .. 3 LOOP\n  FOR j IN 1 .. 3 LOOP\n"
           "   CONTINUE WHEN j = 1;\n   EXIT outer WHEN i = 2;\n"
           "   DBMS_OUTPUT.PUT_LINE(i || j);\n  END LOOP;\n END LOOP outer;\nEND;"
        << QStringList{"5", "12", "13"};
    QTest::newRow("cursor FOR loop reads rows as the loop starts")
        << "BEGIN\n FOR r IN (SELECT ename, sal * 2 AS dbl FROM emp WHERE deptno = 30 "
           "ORDER BY empno) LOOP\n  INSERT INTO emp (empno, ename, deptno) VALUES (r.dbl, "
           "r.ename, 30);\n  DBMS_OUTPUT.PUT_LINE(r.ename || ' ' || r.dbl);\n END LOOP;\nEND;"
        << QStringList{"ALLEN 3200", "WARD 2500"};
    QTest::newRow("a DATE column in a record and a DATE variable keep their type")
        << "DECLARE d DATE := DATE '2024-01-31';\nBEGIN\n"
           " FOR r IN (SELECT hiredate FROM emp WHERE empno = 7369) LOOP\n"
           "  DBMS_OUTPUT.PUT_LINE(TO_CHAR(r.hiredate + 1, 'YYYY-MM-DD'));\n END LOOP;\n"
           " DBMS_OUTPUT.PUT_LINE(TO_CHAR(ADD_MONTHS(d, 1), 'YYYY-MM-DD'));\nEND;"
        << QStringList{"1980-12-18", "2024-02-29"};
    QTest::newRow("SQL%ROWCOUNT after UPDATE, DELETE and SELECT INTO")
        << "DECLARE n NUMBER;\nBEGIN\n UPDATE emp SET sal = sal + 1 WHERE deptno = 30;\n"
           " DBMS_OUTPUT.PUT_LINE(SQL%ROWCOUNT);\n DELETE FROM emp WHERE deptno = 99;\n"
           " DBMS_OUTPUT.PUT_LINE(SQL%ROWCOUNT);\n"
           " IF SQL%NOTFOUND THEN DBMS_OUTPUT.PUT_LINE('none'); END IF;\n"
           " SELECT COUNT(*) INTO n FROM emp;\n DBMS_OUTPUT.PUT_LINE(SQL%ROWCOUNT || ' ' || n);\n"
           "END;"
        << QStringList{"2", "0", "none", "1 3"};
    QTest::newRow("handlers: SQLCODE and SQLERRM")
        << "DECLARE n NUMBER;\nBEGIN\n BEGIN SELECT sal INTO n FROM emp WHERE empno = 1;\n"
           " EXCEPTION WHEN NO_DATA_FOUND THEN DBMS_OUTPUT.PUT_LINE(SQLCODE || ' ' || SQLERRM); "
           "END;\n BEGIN SELECT sal INTO n FROM emp;\n"
           " EXCEPTION WHEN TOO_MANY_ROWS THEN DBMS_OUTPUT.PUT_LINE(SQLCODE); END;\n"
           " BEGIN n := 1 / 0;\n EXCEPTION WHEN ZERO_DIVIDE THEN DBMS_OUTPUT.PUT_LINE(SQLERRM); "
           "END;\n BEGIN INSERT INTO emp (empno) VALUES (7369);\n"
           " EXCEPTION WHEN DUP_VAL_ON_INDEX THEN DBMS_OUTPUT.PUT_LINE(SQLCODE); END;\n"
           " BEGIN RAISE_APPLICATION_ERROR(-20042, 'custom');\n"
           " EXCEPTION WHEN OTHERS THEN DBMS_OUTPUT.PUT_LINE(SQLCODE || ' ' || SQLERRM); END;\n"
           " DBMS_OUTPUT.PUT_LINE(SQLCODE);\nEND;"
        << QStringList{
               "100 ORA-01403: no data found", "-1422", "ORA-01476: divisor is equal to zero", "-1",
               "-20042 ORA-20042: custom",     "0"};
    QTest::newRow("EXECUTE IMMEDIATE with USING and INTO")
        << "DECLARE n NUMBER; s VARCHAR2(20);\nBEGIN\n"
           " EXECUTE IMMEDIATE 'UPDATE emp SET sal = :1 WHERE empno = :2' USING 999, 7369;\n"
           " EXECUTE IMMEDIATE 'SELECT ename, sal FROM emp WHERE empno = :e' INTO s, n "
           "USING 7369;\n DBMS_OUTPUT.PUT_LINE(s || ' ' || n);\nEND;"
        << QStringList{"SMITH 999"};
    QTest::newRow("a column name wins over a variable of the same name")
        << "DECLARE ename VARCHAR2(10) := 'nobody'; n NUMBER;\nBEGIN\n"
           " SELECT COUNT(*) INTO n FROM emp WHERE ename = ename;\n"
           " DBMS_OUTPUT.PUT_LINE(n);\nEND;"
        << QStringList{"3"};
    QTest::newRow("EXIT in a handler leaves the loop around its block")
        << "BEGIN\n FOR i IN 1 .. 5 LOOP\n  BEGIN\n   IF i = 3 THEN RAISE NO_DATA_FOUND; END IF;\n"
           "   DBMS_OUTPUT.PUT_LINE(i);\n  EXCEPTION WHEN NO_DATA_FOUND THEN EXIT;\n  END;\n"
           " END LOOP;\n DBMS_OUTPUT.PUT_LINE('after');\nEND;"
        << QStringList{"1", "2", "after"};
    QTest::newRow("aliases named like variables stay aliases")
        << "DECLARE n NUMBER; e NUMBER := 5;\nBEGIN\n"
           " SELECT COUNT(*) n INTO n FROM emp e WHERE e.deptno = 30;\n"
           " DBMS_OUTPUT.PUT_LINE(n || ' ' || e);\nEND;"
        << QStringList{"2 5"};
    QTest::newRow("explicit cursor with a parameter: OPEN, FETCH, CLOSE, attributes, FOR")
        << "DECLARE\n CURSOR c (p_dept NUMBER) IS SELECT ename, sal FROM emp WHERE deptno = "
           "p_dept ORDER BY empno;\n v_name emp.ename%TYPE;\n v_sal emp.sal%TYPE;\n"
           " r c%ROWTYPE;\nBEGIN\n OPEN c(30);\n LOOP\n  FETCH c INTO v_name, v_sal;\n"
           "  EXIT WHEN c%NOTFOUND;\n"
           "  DBMS_OUTPUT.PUT_LINE(c%ROWCOUNT || ' ' || v_name || ' ' || v_sal);\n END LOOP;\n"
           " CLOSE c;\n IF NOT c%ISOPEN THEN DBMS_OUTPUT.PUT_LINE('closed'); END IF;\n"
           " OPEN c(20); FETCH c INTO r; CLOSE c;\n DBMS_OUTPUT.PUT_LINE(r.ename);\n"
           " FOR x IN c(30) LOOP DBMS_OUTPUT.PUT_LINE(x.ename); END LOOP;\nEND;"
        << QStringList{"1 ALLEN 1600", "2 WARD 1250", "closed", "SMITH", "ALLEN", "WARD"};
    QTest::newRow("a table's %ROWTYPE record takes SELECT * INTO")
        << "DECLARE e emp%ROWTYPE;\nBEGIN\n SELECT * INTO e FROM emp WHERE empno = 7521;\n"
           " DBMS_OUTPUT.PUT_LINE(e.ename || ' ' || e.sal || ' ' || "
           "TO_CHAR(e.hiredate, 'YYYY-MM-DD'));\nEND;"
        << QStringList{"WARD 1250 1981-02-22"};
    QTest::newRow("SELECT INTO converts as Oracle does implicitly")
        << "DECLARE s VARCHAR2(20); d DATE; n NUMBER;\nBEGIN\n"
           " SELECT hiredate, hiredate, TO_CHAR(sal) INTO s, d, n FROM emp WHERE empno = 7369;\n"
           " DBMS_OUTPUT.PUT_LINE(s || ' ' || TO_CHAR(d, 'YYYY-MM-DD') || ' ' || (n + 1));\nEND;"
        << QStringList{"17-DEC-80 1980-12-17 801"};
    QTest::newRow("CASE expression over variables")
        << "DECLARE a NUMBER := 2; b NUMBER := 2; s VARCHAR2(5);\nBEGIN\n"
           " s := CASE a WHEN b THEN 'same' ELSE 'diff' END;\n DBMS_OUTPUT.PUT_LINE(s);\nEND;"
        << QStringList{"same"};
    QTest::newRow("CASE statements, searched and simple")
        << "DECLARE g VARCHAR2(1) := 'B';\nBEGIN\n FOR i IN 1 .. 3 LOOP\n"
           "  CASE WHEN i = 1 THEN DBMS_OUTPUT.PUT_LINE('first');\n"
           "  WHEN i > 1 AND i < 3 THEN DBMS_OUTPUT.PUT_LINE('middle');\n"
           "  ELSE DBMS_OUTPUT.PUT_LINE('last'); END CASE;\n END LOOP;\n"
           " CASE g WHEN 'A' THEN DBMS_OUTPUT.PUT_LINE('A'); WHEN 'B' THEN "
           "DBMS_OUTPUT.PUT_LINE('B'); END CASE;\nEND;"
        << QStringList{"first", "middle", "last", "B"};
    QTest::newRow("declared exceptions, RAISE and EXCEPTION_INIT")
        << "DECLARE\n e_mine EXCEPTION;\n e_no_table EXCEPTION;\n"
           " PRAGMA EXCEPTION_INIT(e_no_table, -942);\n e_app EXCEPTION;\n"
           " PRAGMA EXCEPTION_INIT(e_app, -20001);\nBEGIN\n"
           " BEGIN RAISE e_mine;\n EXCEPTION WHEN e_mine THEN "
           "DBMS_OUTPUT.PUT_LINE(SQLCODE || ' ' || SQLERRM); END;\n"
           " BEGIN EXECUTE IMMEDIATE 'DROP TABLE no_such_table';\n"
           " EXCEPTION WHEN e_no_table THEN DBMS_OUTPUT.PUT_LINE('no table ' || SQLCODE); END;\n"
           " BEGIN RAISE_APPLICATION_ERROR(-20001, 'low balance');\n"
           " EXCEPTION WHEN e_app THEN DBMS_OUTPUT.PUT_LINE(SQLERRM); END;\n"
           " BEGIN BEGIN RAISE e_mine; EXCEPTION WHEN OTHERS THEN RAISE; END;\n"
           " EXCEPTION WHEN e_mine THEN DBMS_OUTPUT.PUT_LINE('re-raised'); END;\nEND;"
        << QStringList{"1 User-Defined Exception", "no table -942", "ORA-20001: low balance",
                       "re-raised"};
    QTest::newRow("RAISE re-raises into the outer handler")
        << "BEGIN\n BEGIN RAISE NO_DATA_FOUND;\n EXCEPTION WHEN OTHERS THEN "
           "DBMS_OUTPUT.PUT_LINE('inner'); RAISE; END;\n"
           "EXCEPTION WHEN NO_DATA_FOUND THEN DBMS_OUTPUT.PUT_LINE('outer ' || SQLCODE);\nEND;"
        << QStringList{"inner", "outer 100"};
}

void TestPlsqlBlock::output() {
    QFETCH(QString, block);
    QTEST(lines(block.toStdString()), "printed");
}

void TestPlsqlBlock::errors_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("error");  // the whole message

    QTest::newRow("no data found")
        << "DECLARE n NUMBER;\nBEGIN\n SELECT sal INTO n FROM emp WHERE empno = 1;\nEND;"
        << "ORA-01403: no data found\nORA-06512: at line 3";
    QTest::newRow("too many rows")
        << "DECLARE n NUMBER;\nBEGIN\n SELECT sal INTO n FROM emp;\nEND;"
        << "ORA-01422: exact fetch returns more than requested number of rows\n"
           "ORA-06512: at line 3";
    QTest::newRow("VARCHAR2 too small")
        << "DECLARE s VARCHAR2(3);\nBEGIN\n s := 'abcd';\nEND;"
        << "ORA-06502: PL/SQL: numeric or value error: character string buffer too small\n"
           "ORA-06512: at line 3";
    QTest::newRow("NUMBER(p,s) precision")
        << "DECLARE n NUMBER(3,1);\nBEGIN\n n := 123.4;\nEND;"
        << "ORA-06502: PL/SQL: numeric or value error: number precision too large\n"
           "ORA-06512: at line 3";
    QTest::newRow("text that is no number")
        << "DECLARE n NUMBER;\nBEGIN\n n := 'abc';\nEND;"
        << "ORA-06502: PL/SQL: numeric or value error: character to number conversion error\n"
           "ORA-06512: at line 3";
    QTest::newRow("NOT NULL given NULL")
        << "DECLARE n NUMBER NOT NULL := 1;\nBEGIN\n n := NULL;\nEND;"
        << "ORA-06502: PL/SQL: numeric or value error\nORA-06512: at line 3";
    QTest::newRow("RAISE_APPLICATION_ERROR")
        << "BEGIN\n IF 1 = 1 THEN\n  RAISE_APPLICATION_ERROR(-20001, 'Balance ' || 5);\n END IF;\n"
           "END;"
        << "ORA-20001: Balance 5\nORA-06512: at line 3";
    QTest::newRow("RAISE_APPLICATION_ERROR out of range")
        << "BEGIN\n RAISE_APPLICATION_ERROR(-1, 'x');\nEND;"
        << "ORA-21000: error number argument to raise_application_error of -1 is out of range\n"
           "ORA-06512: at line 2";
    QTest::newRow("FETCH from a cursor not open")
        << "DECLARE CURSOR c IS SELECT 1 FROM dual; n NUMBER;\nBEGIN\n FETCH c INTO n;\nEND;"
        << "ORA-01001: invalid cursor\nORA-06512: at line 3";
    QTest::newRow("OPEN of an open cursor")
        << "DECLARE CURSOR c IS SELECT 1 FROM dual;\nBEGIN\n OPEN c;\n OPEN c;\nEND;"
        << "ORA-06511: PL/SQL: cursor already open\nORA-06512: at line 4";
    QTest::newRow("declared exception not handled")
        << "DECLARE\n e EXCEPTION;\nBEGIN\n RAISE e;\nEND;"
        << "ORA-06510: PL/SQL: unhandled user-defined exception\nORA-06512: at line 4";
    QTest::newRow("CASE statement without a match")
        << "DECLARE n NUMBER := 3;\nBEGIN\n CASE n WHEN 1 THEN NULL; WHEN 2 THEN NULL; END CASE;\n"
           "END;"
        << "ORA-06592: CASE not found while executing CASE statement\nORA-06512: at line 3";
    QTest::newRow("EXIT outside a loop")
        << "BEGIN\n NULL;\n EXIT;\nEND;"
        << "ORA-06550: line 3: PLS-00376: illegal EXIT/CONTINUE statement; it must appear "
           "inside a loop";
    QTest::newRow("a handler for another error does not take it")
        << "BEGIN\n INSERT INTO emp (empno) VALUES (7369);\n"
           "EXCEPTION WHEN NO_DATA_FOUND THEN NULL;\nEND;"
        << "";
}

void TestPlsqlBlock::errors() {
    QFETCH(QString, block);
    QFETCH(QString, error);
    try {
        m_db->execute(block.toStdString());
        QFAIL("the block ran");
    } catch (const EngineError& e) {
        if (error.isEmpty())
            QVERIFY2(QString(e.what()).startsWith("ORA-00001: "), e.what());
        else
            QCOMPARE(QString::fromUtf8(e.what()), error);
    }
}

void TestPlsqlBlock::refusals_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("named");
    const QString insert = "INSERT INTO regions VALUES (1, 'Europe');\n";
    QTest::newRow("cursor variable") << "DECLARE\n c SYS_REFCURSOR;\nBEGIN\n" + insert + "END;"
                                     << "variables of type SYS_REFCURSOR";
    QTest::newRow("collection type")
        << "DECLARE\n TYPE t IS TABLE OF NUMBER;\nBEGIN\n" + insert + "END;"
        << "user-defined types";
    QTest::newRow("procedure call") << "BEGIN\n" + insert + "  my_proc(1);\nEND;"
                                    << "the call of MY_PROC";
    QTest::newRow("BULK COLLECT") << "DECLARE n NUMBER;\nBEGIN\n" + insert +
                                         " SELECT 1 BULK COLLECT INTO n FROM dual;\nEND;"
                                  << "BULK COLLECT";
    QTest::newRow("other DBMS_STATS procedures")
        << "BEGIN\n" + insert + "  DBMS_STATS.DELETE_TABLE_STATS(USER, 'EMP');\nEND;"
        << "the call of DBMS_STATS.DELETE_TABLE_STATS";
    QTest::newRow("named notation outside DBMS_STATS")
        << "BEGIN\n" + insert + "  DBMS_OUTPUT.PUT_LINE(a => 'x');\nEND;"
        << "named notation in the call of DBMS_OUTPUT.PUT_LINE";
    QTest::newRow("GOTO") << "BEGIN\n" + insert + "  GOTO done;\nEND;"
                          << "GOTO statements";
    QTest::newRow("other pragmas")
        << "DECLARE\n PRAGMA AUTONOMOUS_TRANSACTION;\nBEGIN\n" + insert + "END;"
        << "PRAGMA AUTONOMOUS_TRANSACTION";
    QTest::newRow("client bind variable")
        << "BEGIN\n" + insert + " UPDATE regions SET region_name = :name;\nEND;"
        << "bind variable :name";
    QTest::newRow("record field assignment")
        << "DECLARE\n r emp%ROWTYPE;\nBEGIN\n" + insert + " r.ename := 'x';\nEND;"
        << "assignment to a record field";
}

void TestPlsqlBlock::refusals() {
    QFETCH(QString, block);
    QFETCH(QString, named);
    try {
        m_db->execute(block.toStdString());
        QFAIL("the block ran");
    } catch (const EngineError& error) {
        const QString message = QString::fromUtf8(error.what());
        QVERIFY2(message.startsWith("ORA-03001: unimplemented feature: "), qPrintable(message));
        QVERIFY2(message.contains(named), qPrintable(message));
    }
    // The insert before the refused part did not run.
    QCOMPARE(firstColumn(*m_db, "SELECT COUNT(*) FROM regions"), QStringList{"0"});
}

void TestPlsqlBlock::variablesAreBoundNotSpliced() {
    // A value with quotes and SQL in it goes in as a value.
    m_db->execute(
        "DECLARE s VARCHAR2(25) := 'x''); DROP TABLE emp; --';\nBEGIN\n"
        " INSERT INTO regions VALUES (1, s);\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT region_name FROM regions"),
             QStringList{"x'); DROP TABLE emp; --"});
    QCOMPARE(firstColumn(*m_db, "SELECT COUNT(*) FROM emp"), QStringList{"3"});
    // A value written to a typed column is kept by the column's rules.
    m_db->execute(
        "DECLARE n NUMBER := 1.005;\nBEGIN\n UPDATE emp SET sal = n * 100 WHERE "
        "empno = 7369;\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT sal FROM emp WHERE empno = 7369"), QStringList{"100.5"});
}

// DBMS_STATS gathers what USER_TABLES shows, with the owner and the table
// given by position or by name and the sampling parameters read past.
void TestPlsqlBlock::gatheringStatistics() {
    const char* rows = "SELECT num_rows FROM user_tables WHERE table_name = 'EMP'";
    QCOMPARE(firstColumn(*m_db, rows), QStringList{"<null>"});
    m_db->execute("BEGIN\n DBMS_STATS.GATHER_TABLE_STATS(USER, 'emp');\nEND;");
    QCOMPARE(firstColumn(*m_db, rows), QStringList{"3"});
    m_db->execute("INSERT INTO emp VALUES (7566, 'JONES', 2975, 20, DATE '1981-04-02')");
    m_db->execute(
        "BEGIN\n DBMS_STATS.GATHER_TABLE_STATS(ownname => USER, tabname => 'EMP',\n"
        "   estimate_percent => DBMS_STATS.AUTO_SAMPLE_SIZE, cascade => TRUE,\n"
        "   method_opt => 'FOR ALL COLUMNS SIZE AUTO');\nEND;");
    QCOMPARE(firstColumn(*m_db, rows), QStringList{"4"});
    m_db->execute("INSERT INTO emp VALUES (7698, 'BLAKE', 2850, 30, DATE '1981-05-01')");
    m_db->execute("BEGIN\n DBMS_STATS.GATHER_SCHEMA_STATS('SCOTT');\nEND;");
    QCOMPARE(firstColumn(*m_db, rows), QStringList{"5"});
    for (const char* block : {"BEGIN\n DBMS_STATS.GATHER_TABLE_STATS(USER, 'NOSUCH');\nEND;",
                              "BEGIN\n DBMS_STATS.GATHER_TABLE_STATS(USER);\nEND;"}) {
        try {
            m_db->execute(block);
            QFAIL(block);
        } catch (const EngineError& e) {
            const QByteArray what(e.what());
            QVERIFY2(what.startsWith("ORA-00942") || what.contains("PLS-00306"), e.what());
        }
    }
}

void TestPlsqlBlock::failureUndoesSinceLastCommit() {
    // An unhandled error undoes the block's work since its last COMMIT;
    // what was committed stays, as in Oracle.
    try {
        m_db->execute(
            "BEGIN\n INSERT INTO regions VALUES (1, 'Europe');\n COMMIT;\n"
            " INSERT INTO regions VALUES (2, 'Asia');\n"
            " INSERT INTO regions VALUES (1, 'Dup');\nEND;");
        QFAIL("a duplicate key went through");
    } catch (const EngineError& error) {
        QVERIFY2(QString(error.what()).endsWith("\nORA-06512: at line 5"), error.what());
    }
    QCOMPARE(firstColumn(*m_db, "SELECT region_name FROM regions ORDER BY region_id"),
             QStringList{"Europe"});
    // Without a COMMIT nothing of the block stays.
    QVERIFY_THROWS_EXCEPTION(EngineError,
                             m_db->execute("BEGIN\n FOR i IN 2 .. 5 LOOP\n"
                                           "  INSERT INTO regions VALUES (i, 'r' || i);\n"
                                           " END LOOP;\n RAISE_APPLICATION_ERROR(-20000, 'no');\n"
                                           "END;"));
    QCOMPARE(firstColumn(*m_db, "SELECT COUNT(*) FROM regions"), QStringList{"1"});
    // ROLLBACK in the block undoes back to its last COMMIT.
    m_db->execute(
        "BEGIN\n INSERT INTO regions VALUES (7, 'x');\n ROLLBACK;\n"
        " INSERT INTO regions VALUES (8, 'y');\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT region_id FROM regions ORDER BY 1"),
             (QStringList{"1", "8"}));
}

void TestPlsqlBlock::handledErrorKeepsEarlierWork() {
    // A handled error undoes only the failed statement.
    m_db->execute(
        "BEGIN\n INSERT INTO regions VALUES (1, 'Europe');\n"
        " INSERT INTO regions VALUES (1, 'Again');\n INSERT INTO regions VALUES (2, 'x');\n"
        "EXCEPTION WHEN OTHERS THEN NULL;\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT region_name FROM regions"), QStringList{"Europe"});
    // The usual "drop it if it is there".
    m_db->execute(
        "BEGIN EXECUTE IMMEDIATE 'DROP TABLE no_such_table'; "
        "EXCEPTION WHEN OTHERS THEN NULL; END;");
}

void TestPlsqlBlock::executeImmediateRunsDdl() {
    m_db->execute(
        "BEGIN\n EXECUTE IMMEDIATE 'CREATE TABLE countries (id NUMBER)';\n"
        " INSERT INTO countries VALUES (7);\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT id FROM countries"), QStringList{"7"});
    // DDL commits what came before it, as Oracle's does.
    QVERIFY_THROWS_EXCEPTION(EngineError,
                             m_db->execute("BEGIN\n INSERT INTO regions VALUES (1, 'kept');\n"
                                           " EXECUTE IMMEDIATE 'DROP TABLE countries';\n"
                                           " INSERT INTO regions VALUES (1, 'dup');\nEND;"));
    QCOMPARE(firstColumn(*m_db, "SELECT region_name FROM regions"), QStringList{"kept"});
    QVERIFY_THROWS_EXCEPTION(EngineError, m_db->query("SELECT id FROM countries"));
}

void TestPlsqlBlock::outputOnlyWhileEnabled() {
    m_db->setServerOutput(false);
    QCOMPARE(lines("BEGIN DBMS_OUTPUT.PUT_LINE('lost'); END;"), QStringList{});
    QCOMPARE(lines("BEGIN DBMS_OUTPUT.ENABLE(NULL); DBMS_OUTPUT.PUT_LINE('kept'); "
                   "DBMS_OUTPUT.PUT('half'); END;"),
             QStringList{"kept"});
    QCOMPARE(lines("BEGIN DBMS_OUTPUT.PUT_LINE(' line'); END;"), QStringList{"half line"});
}

void TestPlsqlBlock::runawayLoopIsStopped() {
    try {
        m_db->execute(
            "BEGIN\n LOOP\n  NULL;\n END LOOP;\n"
            "EXCEPTION WHEN OTHERS THEN NULL;\nEND;");
        QFAIL("the loop ended");
    } catch (const EngineError& e) {
        QVERIFY2(QString(e.what()).startsWith("ORA-01013: "), e.what());
    }
}

void TestPlsqlBlock::deepNestingIsRefused() {
    std::string block;
    for (int i = 0; i < 5000; ++i)
        block += "BEGIN ";
    block += "NULL; ";
    for (int i = 0; i < 5000; ++i)
        block += "END; ";
    QVERIFY_THROWS_EXCEPTION(EngineError, m_db->execute(block));
    std::string ifs;
    for (int i = 0; i < 5000; ++i)
        ifs += "IF 1 = 1 THEN ";
    QVERIFY_THROWS_EXCEPTION(EngineError, m_db->execute("BEGIN " + ifs + "NULL;"));
}

void TestPlsqlBlock::isAnonymousBlockReadsTheFirstWord() {
    QVERIFY(isAnonymousBlock("  -- note\n/* c */ declare x number; begin null; end;"));
    QVERIFY(isAnonymousBlock("BEGIN NULL; END;"));
    QVERIFY(!isAnonymousBlock("BEGINNING"));
    QVERIFY(!isAnonymousBlock("SELECT 1 FROM dual"));
}

// Test data as scripts make it with DBMS_RANDOM, as the PL/SQL Packages
// and Types Reference describes it: VALUE >= 0 and < 1 (or >= low and
// < high), STRING of the option's characters, NORMAL from the standard
// normal distribution, RANDOM >= -2^31 and < 2^31, SEED repeating the
// sequence; and SYS_GUID's 16 bytes (SQL Language Reference). Called
// without parentheses too, and anew on every row.
void TestPlsqlBlock::randomTestData() {
    m_db->execute(
        "CREATE TABLE acct (id NUMBER, code VARCHAR2(12), balance NUMBER(10,2), score NUMBER)");
    m_db->execute(
        "BEGIN\n  DBMS_RANDOM.SEED(42);\n  FOR i IN 1 .. 500 LOOP\n"
        "    INSERT INTO acct VALUES (i, DBMS_RANDOM.STRING('X', 12),\n"
        "      ROUND(DBMS_RANDOM.VALUE(100, 5000), 2), DBMS_RANDOM.NORMAL);\n"
        "  END LOOP;\n  COMMIT;\nEND;");
    auto one = [this](const char* sql) { return firstColumn(*m_db, sql).value(0); };
    QCOMPARE(one("SELECT count(*) FROM acct WHERE balance >= 100 AND balance <= 5000"),
             QString("500"));
    QCOMPARE(one("SELECT count(*) FROM acct WHERE REGEXP_LIKE(code, '^[A-Z0-9]{12}$')"),
             QString("500"));
    QVERIFY(one("SELECT count(DISTINCT code) FROM acct").toInt() >= 499);
    // 500 draws: the mean is within 0.2 of 0, the deviation within 0.2 of 1
    QCOMPARE(one("SELECT count(*) FROM acct HAVING abs(avg(score)) < 0.2"
                 " AND stddev(score) BETWEEN 0.8 AND 1.2"),
             QString("500"));

    QCOMPARE(one("SELECT CASE WHEN count(*) = 1000 AND count(DISTINCT v) > 990 AND min(v) >= 0"
                 " AND max(v) < 1 THEN 'ok' END FROM"
                 " (SELECT dbms_random.value v FROM dual CONNECT BY LEVEL <= 1000)"),
             QString("ok"));
    QCOMPARE(one("SELECT CASE WHEN min(r) >= -2147483648 AND max(r) < 2147483648"
                 " AND sum(mod(r, 1)) = 0 THEN 'ok' END FROM"
                 " (SELECT sys.dbms_random.random r FROM dual CONNECT BY LEVEL <= 200)"),
             QString("ok"));
    QCOMPARE(one("SELECT CASE WHEN REGEXP_LIKE(DBMS_RANDOM.STRING('U', 8), '^[A-Z]{8}$')"
                 " AND REGEXP_LIKE(DBMS_RANDOM.STRING('l', 8), '^[a-z]{8}$')"
                 " AND REGEXP_LIKE(DBMS_RANDOM.STRING('A', 8), '^[A-Za-z]{8}$')"
                 " AND length(DBMS_RANDOM.STRING('p', 8)) = 8"
                 " AND DBMS_RANDOM.STRING('U', 0) IS NULL THEN 'ok' END FROM dual"),
             QString("ok"));

    // SYS_GUID: 16 bytes, a new value on each row
    QCOMPARE(one("SELECT CASE WHEN count(DISTINCT g) = 50 AND min(length(g)) = 32 THEN 'ok' END"
                 " FROM (SELECT RAWTOHEX(SYS_GUID()) g FROM dual CONNECT BY LEVEL <= 50)"),
             QString("ok"));

    const QStringList seeded = lines(
        "DECLARE\n  a NUMBER;\n  b NUMBER;\nBEGIN\n  DBMS_RANDOM.SEED(7);\n"
        "  a := DBMS_RANDOM.VALUE;\n  DBMS_RANDOM.SEED(7);\n  b := DBMS_RANDOM.VALUE;\n"
        "  DBMS_OUTPUT.PUT_LINE(CASE WHEN a = b THEN 'same' ELSE 'different' END);\n"
        "  DBMS_RANDOM.SEED('seven');\n  a := DBMS_RANDOM.VALUE;\n"
        "  DBMS_RANDOM.SEED('seven');\n  b := DBMS_RANDOM.VALUE;\n"
        "  DBMS_OUTPUT.PUT_LINE(CASE WHEN a = b THEN 'same' ELSE 'different' END);\n"
        "  DBMS_RANDOM.TERMINATE;\nEND;");
    QCOMPARE(seeded, (QStringList{"same", "same"}));
}

QTEST_GUILESS_MAIN(TestPlsqlBlock)
#include "tst_plsqlblock.moc"
