// EXPLAIN PLAN of Oracle statements through the engine's face: the plan
// shapes Oracle shows for hierarchies and ROWNUM, the 10g plan table's
// columns, and DBMS_XPLAN.DISPLAY as a table function. The layout of
// DBMS_XPLAN is checked line by line on made-up rows.

#include <sqlite3.h>

#include <QTemporaryDir>
#include <QtTest>

#include "../EngineTestUtil.h"
#include "LocalEngine.h"
#include "explain/PlanDisplay.h"

using namespace localengine;
using enginetest::cellText;
using enginetest::firstColumn;

namespace {

// A small schema as users write them: Oracle types, named constraints, a
// self-referencing manager key with its index, and one table without any
// index.
const char* const kSchema[] = {
    "CREATE TABLE dept (deptno NUMBER(2) CONSTRAINT pk_dept PRIMARY KEY,"
    " dname VARCHAR2(14), loc VARCHAR2(13))",
    "CREATE TABLE emp (empno NUMBER(4) CONSTRAINT pk_emp PRIMARY KEY, ename VARCHAR2(10),"
    " job VARCHAR2(9), mgr NUMBER(4), hiredate DATE, sal NUMBER(7,2),"
    " deptno NUMBER(2) CONSTRAINT fk_deptno REFERENCES dept)",
    "CREATE INDEX emp_mgr ON emp (mgr)",
    "CREATE TABLE parts (id NUMBER, parent_id NUMBER, name VARCHAR2(20))",
    "INSERT INTO dept VALUES (10, 'ACCOUNTING', 'NEW YORK')",
    "INSERT INTO dept VALUES (20, 'RESEARCH', 'DALLAS')",
    "INSERT INTO dept VALUES (30, 'SALES', 'CHICAGO')",
    "INSERT INTO emp VALUES (7839, 'KING', 'PRESIDENT', NULL, DATE '1981-11-17', 5000, 10)",
    "INSERT INTO emp SELECT 7000 + LEVEL, 'E' || LEVEL, 'CLERK', 7839, DATE '1990-01-01' + LEVEL,"
    " 1000 + LEVEL, 10 * (MOD(LEVEL, 3) + 1) FROM dual CONNECT BY LEVEL <= 300",
    "INSERT INTO parts SELECT LEVEL, NULLIF(TRUNC(LEVEL / 2), 0), 'P' || LEVEL FROM dual"
    " CONNECT BY LEVEL <= 200",
    "CREATE TABLE PLAN_TABLE (statement_id VARCHAR2(30), plan_id NUMBER, timestamp DATE,"
    " remarks VARCHAR2(4000), operation VARCHAR2(30), options VARCHAR2(255),"
    " object_node VARCHAR2(128), object_owner VARCHAR2(30), object_name VARCHAR2(30),"
    " object_alias VARCHAR2(65), object_instance NUMBER, object_type VARCHAR2(30),"
    " optimizer VARCHAR2(255), search_columns NUMBER, id NUMBER, parent_id NUMBER, depth NUMBER,"
    " position NUMBER, cost NUMBER, cardinality NUMBER, bytes NUMBER, other_tag VARCHAR2(255),"
    " partition_start VARCHAR2(255), partition_stop VARCHAR2(255), partition_id NUMBER,"
    " other LONG, distribution VARCHAR2(30), cpu_cost NUMBER, io_cost NUMBER, temp_space NUMBER,"
    " access_predicates VARCHAR2(4000), filter_predicates VARCHAR2(4000),"
    " projection VARCHAR2(4000), time NUMBER, qblock_name VARCHAR2(30), other_xml CLOB)",
};

}  // namespace

class TestOraclePlans : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void oracleShapes_data();
    void oracleShapes();
    void planTableColumns();
    void sessionPlanTable();
    void topNPredicates_data();
    void topNPredicates();
    void planDisplayLayout();
    void planDisplayQuantities();
    void planDisplayFromSql();

private:
    // "<2 blanks per depth>OPERATION OPTIONS NAME" of each row, in id order.
    QStringList explain(const QString& sql);

    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;
};

void TestOraclePlans::initTestCase() {
    const QString path = m_dir.filePath("plans.db");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_db = Connection::open(path.toStdString(), "scott");
    for (const char* sql : kSchema)
        m_db->execute(sql);
}

QStringList TestOraclePlans::explain(const QString& sql) {
    m_db->execute("DELETE FROM plan_table");
    m_db->execute("EXPLAIN PLAN SET STATEMENT_ID = 'q' FOR " + sql.toStdString());
    const ResultTable t = m_db->query(
        "SELECT depth, operation, options, object_name, object_alias, qblock_name FROM plan_table"
        " WHERE statement_id = 'q' ORDER BY id");
    QStringList out;
    for (const auto& row : t.rows) {
        QStringList parts;
        for (std::size_t c = 1; c < 4; ++c)
            if (!row[c].isNull())
                parts << QString::fromStdString(row[c].text);
        out << QString(2 * cellText(row[0]).toInt(), ' ') + parts.join(' ');
        // No row names what the engine made up to run the statement.
        for (std::size_t c = 3; c < 6; ++c) {
            const QString text = QString::fromStdString(row[c].text);
            if (text.startsWith("__") || text.contains("@__") || text.contains("(subquery") ||
                text.contains("sqlite_", Qt::CaseInsensitive) || text.contains("$rebuild"))
                qWarning() << "working name in the plan:" << text;
            if (text.startsWith("__") || text.contains("@__") || text.contains("(subquery") ||
                text.contains("sqlite_", Qt::CaseInsensitive))
                return {"<working name " + text + ">"};
        }
    }
    return out;
}

void TestOraclePlans::oracleShapes_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("plan");
    const QString root = "SELECT STATEMENT";
    // The children of each level are looked up through the manager index:
    // Oracle filters level by level.
    QTest::newRow("connect by through an index")
        << "SELECT empno, ename, LEVEL FROM emp START WITH empno = 7839"
           " CONNECT BY PRIOR empno = mgr"
        << QStringList{root,
                       "  CONNECT BY WITH FILTERING",
                       "    TABLE ACCESS BY INDEX ROWID EMP",
                       "      INDEX UNIQUE SCAN PK_EMP",
                       "    NESTED LOOPS",
                       "      CONNECT BY PUMP",
                       "      TABLE ACCESS BY INDEX ROWID EMP",
                       "        INDEX RANGE SCAN EMP_MGR"};
    // Without an index on the parent key, Oracle reads the table once.
    QTest::newRow("connect by over a full scan")
        << "SELECT name, LEVEL FROM parts START WITH parent_id IS NULL"
           " CONNECT BY PRIOR id = parent_id"
        << QStringList{root, "  CONNECT BY NO FILTERING WITH START-WITH",
                       "    TABLE ACCESS FULL PARTS"};
    QTest::newRow("connect by with a where clause")
        << "SELECT name FROM parts WHERE name LIKE 'P1%' START WITH id = 1"
           " CONNECT BY PRIOR id = parent_id"
        << QStringList{root, "  FILTER", "    CONNECT BY NO FILTERING WITH START-WITH",
                       "      TABLE ACCESS FULL PARTS"};
    QTest::newRow("rownum limit") << "SELECT * FROM parts WHERE ROWNUM <= 10"
                                  << QStringList{root, "  COUNT STOPKEY",
                                                 "    TABLE ACCESS FULL PARTS"};
    QTest::newRow("rownum top-n")
        << "SELECT * FROM (SELECT * FROM parts ORDER BY name DESC) WHERE ROWNUM <= 10"
        << QStringList{root, "  COUNT STOPKEY", "    VIEW", "      SORT ORDER BY STOPKEY",
                       "        TABLE ACCESS FULL PARTS"};
    QTest::newRow("rownum in the select list")
        << "SELECT ROWNUM, name FROM parts"
        << QStringList{root, "  COUNT", "    TABLE ACCESS FULL PARTS"};
    QTest::newRow("fetch first") << "SELECT name FROM parts ORDER BY name FETCH FIRST 5 ROWS ONLY"
                                 << QStringList{root, "  VIEW", "    WINDOW SORT PUSHED RANK",
                                                "      TABLE ACCESS FULL PARTS"};
    QTest::newRow("rank top-n")
        << "SELECT * FROM (SELECT ename, sal, RANK() OVER (ORDER BY sal DESC) r FROM emp)"
           " WHERE r <= 3"
        << QStringList{root, "  VIEW", "    WINDOW SORT PUSHED RANK",
                       "      TABLE ACCESS FULL EMP"};
    QTest::newRow("analytic function")
        << "SELECT ename, SUM(sal) OVER (PARTITION BY deptno) FROM emp"
        << QStringList{root, "  WINDOW SORT", "    TABLE ACCESS FULL EMP"};
    QTest::newRow("exists as a semi-join")
        << "SELECT * FROM dept d WHERE EXISTS (SELECT 1 FROM emp e WHERE e.deptno = d.deptno)"
        << QStringList{root, "  HASH JOIN SEMI", "    TABLE ACCESS FULL DEPT",
                       "    TABLE ACCESS FULL EMP"};
    QTest::newRow("not in as a null-aware anti-join")
        << "SELECT * FROM dept WHERE deptno NOT IN (SELECT deptno FROM emp)"
        << QStringList{root, "  HASH JOIN ANTI NA", "    TABLE ACCESS FULL DEPT",
                       "    TABLE ACCESS FULL EMP"};
    QTest::newRow("with query merged")
        << "WITH w AS (SELECT deptno FROM emp WHERE sal > 3000) SELECT * FROM w"
        << QStringList{root, "  TABLE ACCESS FULL EMP"};
    QTest::newRow("primary key lookup")
        << "SELECT ename FROM emp WHERE empno = 7839"
        << QStringList{root, "  TABLE ACCESS BY INDEX ROWID EMP", "    INDEX UNIQUE SCAN PK_EMP"};
}

void TestOraclePlans::oracleShapes() {
    QFETCH(QString, sql);
    QFETCH(QStringList, plan);
    QCOMPARE(explain(sql).join('\n'), plan.join('\n'));
}

// The columns of the 10g plan table: aliases and query blocks, predicates
// as Oracle prints them, depth, plan id and the estimates' parts.
void TestOraclePlans::planTableColumns() {
    explain("SELECT * FROM (SELECT * FROM parts ORDER BY name DESC) WHERE ROWNUM <= 10");
    const ResultTable t = m_db->query(
        "SELECT id, depth, qblock_name, object_alias, access_predicates, filter_predicates,"
        " cost, io_cost, cpu_cost, cardinality, bytes, time, position, plan_id"
        " FROM plan_table WHERE statement_id = 'q' ORDER BY id");
    QCOMPARE(t.rows.size(), std::size_t(5));
    auto at = [&](int row, int column) { return cellText(t.rows[row][column]); };
    // COUNT STOPKEY belongs to the outer query, the rest to the inline view
    QCOMPARE(at(1, 2), QString("SEL$1"));
    QCOMPARE(at(1, 5), QString("ROWNUM<=10"));
    QCOMPARE(at(2, 2), QString("SEL$2"));
    QCOMPARE(at(2, 3), QString("from$_subquery$_001@SEL$1"));
    QCOMPARE(at(3, 5), QString("ROWNUM<=10"));  // the sort stops there too
    QCOMPARE(at(4, 3), QString("PARTS@SEL$2"));
    QCOMPARE(at(1, 9), QString("10"));
    for (int r = 0; r < 5; ++r) {
        QCOMPARE(at(r, 1).toInt(), r);
        for (int c = 6; c < 12; ++c)
            QVERIFY2(at(r, c) != "<null>", qPrintable(QString("row %1 column %2").arg(r).arg(c)));
    }
    QCOMPARE(at(0, 12), at(0, 6));

    // a join: the join condition where the index applies it, the rest filters
    explain(
        "SELECT e.ename, d.dname FROM emp e, dept d WHERE e.deptno = d.deptno AND d.loc = 'DALLAS'"
        " AND e.sal > 2000");
    const ResultTable j = m_db->query(
        "SELECT operation || ' ' || options, object_alias, access_predicates, filter_predicates"
        " FROM plan_table WHERE statement_id = 'q' ORDER BY id");
    QStringList predicates;
    for (const auto& row : j.rows)
        predicates << cellText(row[0]) + " | " + cellText(row[1]) + " | " + cellText(row[2]) +
                          " | " + cellText(row[3]);
    QVERIFY2(predicates.join('\n').contains("\"D\".\"LOC\"='DALLAS'"),
             qPrintable(predicates.join('\n')));
    QVERIFY2(predicates.join('\n').contains("\"E\".\"SAL\">2000"),
             qPrintable(predicates.join('\n')));
    QVERIFY2(predicates.join('\n').contains("\"E\".\"DEPTNO\"=\"D\".\"DEPTNO\""),
             qPrintable(predicates.join('\n')));
    QVERIFY2(predicates.join('\n').contains("E@SEL$1") && predicates.join('\n').contains("D@SEL$1"),
             qPrintable(predicates.join('\n')));

    // a correlated EXISTS: its correlation is the semi-join's condition,
    // applied there only
    explain("SELECT * FROM dept d WHERE EXISTS (SELECT 1 FROM emp e WHERE e.deptno = d.deptno)");
    QCOMPARE(firstColumn(*m_db,
                         "SELECT count(*) FROM plan_table WHERE statement_id = 'q'"
                         " AND (access_predicates LIKE '%\"E\".\"DEPTNO\"=\"D\".\"DEPTNO\"%'"
                         " OR filter_predicates LIKE '%\"E\".\"DEPTNO\"=\"D\".\"DEPTNO\"%')"),
             QStringList{"1"});

    // each EXPLAIN PLAN is a plan of its own
    const QStringList ids = firstColumn(*m_db, "SELECT DISTINCT plan_id FROM plan_table");
    m_db->execute("EXPLAIN PLAN SET STATEMENT_ID = 'q2' FOR SELECT * FROM dept");
    QCOMPARE(firstColumn(*m_db, "SELECT count(DISTINCT plan_id) FROM plan_table"),
             QStringList{QString::number(ids.size() + 1)});
}

// A user who never made a PLAN_TABLE explains and displays the plan as on
// Oracle 10g and later, where PLAN_TABLE is a public synonym of a temporary
// table: each session sees its own rows only, no dictionary view lists it,
// and a PLAN_TABLE the user makes takes its place.
void TestOraclePlans::sessionPlanTable() {
    const QString file = m_dir.filePath("noplantable.db");
    QFile empty(file);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    const std::string path = file.toStdString();
    auto a = Connection::open(path, "scott");
    a->execute("CREATE TABLE items (id NUMBER PRIMARY KEY, label VARCHAR2(20))");
    auto b = Connection::open(path, "scott");

    QCOMPARE(a->execute("EXPLAIN PLAN FOR SELECT * FROM items"), std::int64_t(2));
    const QString display =
        firstColumn(*a, "SELECT plan_table_output FROM TABLE(DBMS_XPLAN.DISPLAY)").join('\n');
    QVERIFY2(display.contains("|   1 |  TABLE ACCESS FULL| ITEMS"), qPrintable(display));
    QCOMPARE(firstColumn(*a, "SELECT count(*) FROM plan_table"), QStringList{"2"});
    QCOMPARE(firstColumn(*b, "SELECT count(*) FROM plan_table"), QStringList{"0"});
    QCOMPARE(firstColumn(*a, "SELECT count(*) FROM user_tables WHERE table_name = 'PLAN_TABLE'"),
             QStringList{"0"});
    try {
        a->execute("DROP TABLE plan_table");
        QFAIL("dropped the session's plan table");
    } catch (const EngineError& e) {
        QVERIFY2(QString(e.what()).startsWith("ORA-00942"), e.what());
    }

    // the user's own, made on another connection, replaces it on both
    b->execute(
        "CREATE TABLE plan_table (statement_id VARCHAR2(30), timestamp DATE, remarks "
        "VARCHAR2(80), operation VARCHAR2(30), options VARCHAR2(30), object_node VARCHAR2(128),"
        " object_owner VARCHAR2(30), object_name VARCHAR2(30), object_instance NUMBER,"
        " object_type VARCHAR2(30), optimizer VARCHAR2(255), search_columns NUMBER, id NUMBER,"
        " parent_id NUMBER, position NUMBER, cost NUMBER, cardinality NUMBER, bytes NUMBER,"
        " other_tag VARCHAR2(255), partition_start VARCHAR2(255), partition_stop"
        " VARCHAR2(255), partition_id NUMBER, other LONG)");
    QCOMPARE(firstColumn(*a, "SELECT count(*) FROM plan_table"), QStringList{"0"});
    QCOMPARE(firstColumn(*a, "SELECT count(*) FROM user_tables WHERE table_name = 'PLAN_TABLE'"),
             QStringList{"1"});
    a->execute("EXPLAIN PLAN SET STATEMENT_ID = 'mine' FOR SELECT * FROM items");
    QCOMPARE(firstColumn(*b, "SELECT count(*) FROM plan_table WHERE statement_id = 'mine'"),
             QStringList{"2"});
}

// The conditions of a top-N as Oracle prints them: the enclosing query's
// VIEW keeps its own condition, the window sort stops at the analytic
// function's bound (a descending key as INTERNAL_FUNCTION(key) DESC).
void TestOraclePlans::topNPredicates_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("filters");  // "id: filter" of the rows that have one
    QTest::newRow("rank")
        << "SELECT * FROM (SELECT e.*, RANK() OVER (ORDER BY sal DESC) r FROM emp e) WHERE r <= 3"
        << QStringList{"1: \"R\"<=3",
                       "2: RANK() OVER ( ORDER BY INTERNAL_FUNCTION(\"SAL\") DESC )<=3"};
    QTest::newRow("row_number = 1 per partition")
        << "SELECT * FROM (SELECT ename, ROW_NUMBER() OVER (PARTITION BY deptno ORDER BY sal DESC,"
           " hiredate) rn FROM emp) WHERE rn = 1"
        << QStringList{"1: \"RN\"=1",
                       "2: ROW_NUMBER() OVER ( PARTITION BY \"DEPTNO\" ORDER BY "
                       "INTERNAL_FUNCTION(\"SAL\") DESC ,\"HIREDATE\")<=1"};
    QTest::newRow("dense_rank below a bound")
        << "SELECT * FROM (SELECT ename, DENSE_RANK() OVER (ORDER BY sal) d FROM emp) WHERE d < 4"
        << QStringList{"1: \"D\"<4", "2: DENSE_RANK() OVER ( ORDER BY \"SAL\")<4"};
    QTest::newRow("fetch first")
        << "SELECT ename FROM emp ORDER BY sal DESC FETCH FIRST 5 ROWS ONLY"
        << QStringList{"1: \"from$_subquery$_002\".\"rowlimit_$$_rownumber\"<=5",
                       "2: ROW_NUMBER() OVER ( ORDER BY INTERNAL_FUNCTION(\"SAL\") DESC )<=5"};
    QTest::newRow("offset and fetch")
        << "SELECT ename FROM emp ORDER BY empno OFFSET 10 ROWS FETCH NEXT 5 ROWS ONLY"
        << QStringList{
               "1: \"from$_subquery$_002\".\"rowlimit_$$_rownumber\"<=15 AND "
               "\"from$_subquery$_002\".\"rowlimit_$$_rownumber\">10",
               "2: ROW_NUMBER() OVER ( ORDER BY \"EMPNO\")<=15"};
}

void TestOraclePlans::topNPredicates() {
    QFETCH(QString, sql);
    QFETCH(QStringList, filters);
    explain(sql);
    const ResultTable t = m_db->query(
        "SELECT id, filter_predicates, operation, cardinality FROM plan_table"
        " WHERE statement_id = 'q' AND filter_predicates IS NOT NULL ORDER BY id");
    QStringList got;
    for (const auto& row : t.rows)
        got << cellText(row[0]) + ": " + cellText(row[1]);
    QCOMPARE(got.join('\n'), filters.join('\n'));
    // the window numbers every row; only the view keeps fewer
    const QStringList rows = firstColumn(
        *m_db, "SELECT cardinality FROM plan_table WHERE statement_id = 'q' ORDER BY id");
    QVERIFY2(rows.size() >= 4 && rows[1].toInt() < rows[2].toInt() && rows[2] == rows[3],
             qPrintable(rows.join(' ')));
}

// Oracle's layout, from the example in DBMS_XPLAN's documentation: the
// plan hash value, a rule, the headings, a rule, one line per step with '*'
// on those with predicates, a rule, then the predicates by step id.
void TestOraclePlans::planDisplayLayout() {
    using explain::DisplayRow;
    std::vector<DisplayRow> rows(3);
    rows[0] = {0, 0, "SELECT STATEMENT", "", "", "", "", "", "", 1, 8, 1, 1, 1};
    rows[1] = {
        1, 1, "TABLE ACCESS", "BY INDEX ROWID", "PERSON", "PERSON@SEL$1", "SEL$1", "", "", 1, 8, 1,
        1, 1};
    rows[2] = {2,
               2,
               "INDEX",
               "UNIQUE SCAN",
               "SYS_C0010997",
               "PERSON@SEL$1",
               "SEL$1",
               "\"PERSON_ID\"=3",
               "",
               1,
               std::nullopt,
               0,
               0,
               1};
    const auto format = explain::parseDisplayFormat("TYPICAL");
    QVERIFY(format);
    const std::vector<std::string> lines = explain::formatPlan(rows, *format);
    QStringList got;
    for (const auto& l : lines)
        got << QString::fromStdString(l);
    const QString rule(92, '-');
    const QStringList expected{QString("Plan hash value: %1").arg(explain::planHashValue(rows)),
                               "",
                               rule,
                               "| Id  | Operation                   | Name         | Rows  | Bytes "
                               "| Cost (%CPU)| Time     |",
                               rule,
                               "|   0 | SELECT STATEMENT            |              |     1 |     8 "
                               "|     1   (0)| 00:00:01 |",
                               "|   1 |  TABLE ACCESS BY INDEX ROWID| PERSON       |     1 |     8 "
                               "|     1   (0)| 00:00:01 |",
                               "|*  2 |   INDEX UNIQUE SCAN         | SYS_C0010997 |     1 |       "
                               "|     0   (0)| 00:00:01 |",
                               rule,
                               "",
                               "Predicate Information (identified by operation id):",
                               "---------------------------------------------------",
                               "",
                               "   2 - access(\"PERSON_ID\"=3)"};
    QCOMPARE(got.join('\n'), expected.join('\n'));

    // BASIC: Id, Operation and Name only, no predicates
    const std::vector<std::string> basic =
        explain::formatPlan(rows, *explain::parseDisplayFormat("BASIC"));
    QCOMPARE(QString::fromStdString(basic.at(3)),
             QString("| Id  | Operation                   | Name         |"));
    QCOMPARE(QString::fromStdString(basic.back()), QString(52, '-'));

    // ALL adds the query blocks and aliases before the predicates
    std::vector<std::string> all = explain::formatPlan(rows, *explain::parseDisplayFormat("ALL"));
    QStringList allText;
    for (const auto& l : all)
        allText << QString::fromStdString(l);
    const int qb = allText.indexOf("Query Block Name / Object Alias (identified by operation id):");
    QVERIFY(qb > 0);
    QCOMPARE(allText.mid(qb + 3, 2),
             (QStringList{"   1 - SEL$1 / PERSON@SEL$1", "   2 - SEL$1 / PERSON@SEL$1"}));
    QVERIFY(!explain::parseDisplayFormat("FANCY"));
    QVERIFY(explain::parseDisplayFormat("ALL -BYTES +PREDICATE"));

    // the plan hash follows the steps, not the estimates
    std::vector<DisplayRow> cheaper = rows;
    cheaper[1].cost = 7;
    QCOMPARE(explain::planHashValue(cheaper), explain::planHashValue(rows));
    cheaper[2].objectName = "OTHER";
    QVERIFY(explain::planHashValue(cheaper) != explain::planHashValue(rows));
}

void TestOraclePlans::planDisplayQuantities() {
    // five characters at most: K, M, G ... by thousands (bytes by 1024)
    QCOMPARE(explain::formatQuantity(99999, 1000), std::string("99999"));
    QCOMPARE(explain::formatQuantity(100000, 1000), std::string("100K"));
    QCOMPARE(explain::formatQuantity(913000, 1000), std::string("913K"));
    QCOMPARE(explain::formatQuantity(26000000, 1024), std::string("25M"));
    QCOMPARE(explain::formatQuantity(8075 * 1024LL, 1024), std::string("8075K"));
    QCOMPARE(explain::formatQuantity(5000000000000LL, 1000), std::string("5000G"));
    QCOMPARE(explain::formatTime(1), std::string("00:00:01"));
    QCOMPARE(explain::formatTime(3725), std::string("01:02:05"));
}

// TABLE(DBMS_XPLAN.DISPLAY ...) in a query: the plan just explained, or the
// one of a statement id, in the format asked for.
void TestOraclePlans::planDisplayFromSql() {
    m_db->execute("EXPLAIN PLAN SET STATEMENT_ID = 'x1' FOR SELECT * FROM emp WHERE sal > 4000");
    const QStringList typical = firstColumn(
        *m_db,
        "SELECT plan_table_output FROM TABLE(DBMS_XPLAN.DISPLAY('PLAN_TABLE', 'x1', 'TYPICAL'))");
    QVERIFY2(typical.size() > 8, qPrintable(typical.join('\n')));
    QVERIFY(typical[0].startsWith("Plan hash value: "));
    QVERIFY2(typical.contains(
                 "| Id  | Operation         | Name | Rows  | Bytes | Cost (%CPU)| Time     |"),
             qPrintable(typical.join('\n')));
    QVERIFY2(typical.filter(QRegularExpression("^\\|\\*  1 \\|  TABLE ACCESS FULL\\| EMP  \\|"))
                     .size() == 1,
             qPrintable(typical.join('\n')));
    QVERIFY(typical.contains("   1 - filter(\"SAL\">4000)"));

    // no arguments: the latest plan, TYPICAL; SELECT * names the one column
    m_db->execute("EXPLAIN PLAN FOR SELECT dname FROM dept WHERE deptno = 10");
    const ResultTable latest = m_db->query("SELECT * FROM TABLE(DBMS_XPLAN.DISPLAY)");
    QCOMPARE(latest.columns, std::vector<std::string>{"PLAN_TABLE_OUTPUT"});
    const QStringList lines = enginetest::column(latest);
    QVERIFY2(lines.filter("INDEX UNIQUE SCAN").size() == 1, qPrintable(lines.join('\n')));
    QVERIFY(lines.contains("   2 - access(\"DEPTNO\"=10)"));

    const QStringList basic =
        firstColumn(*m_db, "SELECT * FROM TABLE(dbms_xplan.display(NULL, 'x1', 'BASIC'))");
    QVERIFY2(basic.contains("| Id  | Operation         | Name |"), qPrintable(basic.join('\n')));

    // refusals in Oracle's words
    try {
        m_db->query(
            "SELECT * FROM TABLE(DBMS_XPLAN.DISPLAY('PLAN_TABLE', 'x1', 'TYPICAL', NULL, 5))");
        QFAIL("five arguments were taken");
    } catch (const EngineError& e) {
        QVERIFY2(QString(e.what()).startsWith("ORA-06553: PLS-306: "), e.what());
    }
    try {
        m_db->query("SELECT * FROM TABLE(some_function(1))");
        QFAIL("another collection was taken");
    } catch (const EngineError& e) {
        QVERIFY2(QString(e.what()).startsWith("ORA-"), e.what());
    }
}

QTEST_GUILESS_MAIN(TestOraclePlans)
#include "tst_oracleplans.moc"
