// The front end end to end: Oracle statements translated and run on SQLite
// with the engine's functions, answers checked against what Oracle's
// documentation says they are; the refusals with their Oracle errors; and
// the SQLite text of the statements whose text others see.

#include "dialect/Error.h"
#include "dialect/Translator.h"
#include "functions/CoreFunctions.h"
#include "functions/EngineFunctions.h"
#include "schema/SqliteCatalog.h"

#include <sqlite3.h>

#include <QtTest>

using namespace localengine;
using namespace localengine::dialect;

namespace {

// A small company, rows stored in this order: ROWNUM and the sibling order
// of hierarchies follow it.
const char* const kSchema[] = {
    "create table dept (deptno number(2) constraint dept_pk primary key, dname varchar2(14), "
    "loc varchar2(13))",
    "create table emp (empno number(4) primary key, ename varchar2(10) not null, job "
    "varchar2(9), mgr number(4), hiredate date, sal number(7,2) check (sal > 0), comm "
    "number(7,2), deptno number(2) references dept (deptno))",
    "insert into dept values (10, 'ACCOUNTING', 'NEW YORK'), (20, 'RESEARCH', 'DALLAS'), (30, "
    "'SALES', 'CHICAGO'), (40, 'OPERATIONS', 'BOSTON')",
    "insert into emp values (7839, 'KING', 'PRESIDENT', null, date '1981-11-17', 5000, null, 10)",
    "insert into emp values (7566, 'JONES', 'MANAGER', 7839, date '1981-04-02', 2975, null, 20)",
    "insert into emp values (7698, 'BLAKE', 'MANAGER', 7839, date '1981-05-01', 2850, null, 30)",
    "insert into emp values (7782, 'CLARK', 'MANAGER', 7839, date '1981-06-09', 2450, null, 10)",
    "insert into emp values (7788, 'SCOTT', 'ANALYST', 7566, date '1987-04-19', 3000, null, 20)",
    "insert into emp values (7499, 'ALLEN', 'SALESMAN', 7698, date '1981-02-20', 1600, 300, 30)",
    "insert into emp values (7521, 'WARD', 'SALESMAN', 7698, date '1981-02-22', 1250, 500, 30)",
    "insert into emp values (7369, 'SMITH', 'CLERK', 7788, date '1980-12-17', 800, null, 20)",
};

int oraCodeOf(const std::function<void()>& run, QString* message = nullptr) {
    try {
        run();
    } catch (const DialectError& e) {
        if (message)
            *message = e.what();
        return e.oraCode();
    }
    return -1;
}

}  // namespace

class TestDialectEmitter : public QObject {
    Q_OBJECT

    sqlite3* m_db = nullptr;
    std::unique_ptr<schema::SqliteCatalog> m_catalog;

    std::string translate(const std::string& oracle) {
        m_catalog->clear();
        return translateStatement(oracle, m_catalog.get(), "SCOTT").sql;
    }

    // The rows of a statement, values joined by '|', NULL as <null>.
    QStringList run(const std::string& oracle) {
        std::string sql;
        try {
            sql = translate(oracle);
        } catch (const DialectError& e) {
            return {QString("refused: ") + e.what()};
        }
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            qWarning() << sql.c_str();
            return {QString("prepare failed: ") + sqlite3_errmsg(m_db)};
        }
        QStringList rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                switch (sqlite3_column_type(st, c)) {
                    case SQLITE_NULL:
                        values << "<null>";
                        break;
                    case SQLITE_FLOAT:
                        values << QString::fromStdString(
                            functions::displayNumberText(sqlite3_column_double(st, c)));
                        break;
                    default:
                        values << QString::fromUtf8(
                            reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
                }
            }
            rows << values.join('|');
        }
        if (rc != SQLITE_DONE)
            rows << QString("step failed: ") + sqlite3_errmsg(m_db);
        sqlite3_finalize(st);
        return rows;
    }

private slots:
    void initTestCase() {
        QCOMPARE(sqlite3_open(":memory:", &m_db), SQLITE_OK);
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        functions::registerOracleFunctions(m_db);
        QVERIFY(functions::registerEngineFunctions(m_db));
        QCOMPARE(sqlite3_exec(m_db, "CREATE VIEW DUAL AS SELECT 'X' AS DUMMY", nullptr, nullptr,
                              nullptr),
                 SQLITE_OK);
        m_catalog = std::make_unique<schema::SqliteCatalog>(m_db);
        for (const char* statement : kSchema)
            QCOMPARE(run(statement), QStringList{});
    }

    void cleanupTestCase() {
        m_catalog.reset();
        sqlite3_close(m_db);
    }

    void queries_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        // ROWNUM numbers the rows FROM and WHERE give, before ORDER BY.
        QTest::newRow("ROWNUM before ORDER BY")
            << "select ename from emp where rownum <= 3 order by ename"
            << QStringList{"BLAKE", "JONES", "KING"};
        QTest::newRow("ROWNUM < n and n > ROWNUM")
            << "select count(*) from emp where rownum < 3 and 5 > rownum" << QStringList{"2"};
        QTest::newRow("ROWNUM = 1")
            << "select ename from emp where rownum = 1" << QStringList{"KING"};
        QTest::newRow("ROWNUM with a fraction, zero and below")
            << "select (select count(*) from emp where rownum <= 2.5), (select count(*) from emp "
               "where rownum <= 0), (select count(*) from emp where rownum < -3) from dual"
            << QStringList{"2|0|0"};
        QTest::newRow("ROWNUM after the block's other conditions")
            << "select ename from emp where deptno = 30 and rownum <= 2 order by ename"
            << QStringList{"ALLEN", "BLAKE"};
        QTest::newRow("ROWNUM before grouping")
            << "select count(*), max(sal) from emp where rownum <= 4" << QStringList{"4|5000"};
        QTest::newRow("top-N through an inline view")
            << "select ename from (select ename from emp order by sal desc) where rownum <= 3"
            << QStringList{"KING", "SCOTT", "JONES"};
        QTest::newRow("ROWNUM over a join that does not sort")
            << "select count(*) from (select e.ename from emp e, dept d where e.deptno = "
               "d.deptno and rownum <= 4)"
            << QStringList{"4"};
        QTest::newRow("ROWNUM in each member of a UNION ALL")
            << "select ename from emp where rownum <= 1 union all select dname from dept where "
               "rownum <= 1"
            << QStringList{"KING", "ACCOUNTING"};
        QTest::newRow("FETCH FIRST after OFFSET")
            << "select ename from emp order by sal desc offset 1 rows fetch next 2 rows only"
            << QStringList{"SCOTT", "JONES"};
        QTest::newRow("ROWNUM, then ORDER BY, then FETCH FIRST")
            << "select ename from emp where rownum <= 3 order by ename fetch first 2 rows only"
            << QStringList{"BLAKE", "JONES"};
        // The (+) marker: the marked table is the optional side.
        QTest::newRow("(+) outer join")
            << "select d.dname, e.ename from dept d, emp e where d.deptno = e.deptno(+) and "
               "d.deptno in (10, 40) order by 1, 2"
            << QStringList{"ACCOUNTING|CLARK", "ACCOUNTING|KING", "OPERATIONS|<null>"};
        QTest::newRow("(+) on a constant condition joins, not filters")
            << "select d.dname, e.ename from dept d, emp e where e.deptno(+) = d.deptno and "
               "e.job(+) = 'MANAGER' and d.deptno in (10, 40) order by 1"
            << QStringList{"ACCOUNTING|CLARK", "OPERATIONS|<null>"};
        QTest::newRow("(+) and IS NULL: the departments without employees")
            << "select d.dname from dept d, emp e where d.deptno = e.deptno(+) and e.empno is null"
            << QStringList{"OPERATIONS"};
        // Expressions with Oracle's rules.
        QTest::newRow("|| treats NULL as empty; all NULL is NULL")
            << "select 'a' || null || 'b', null || null, concat('a', null) from dual"
            << QStringList{"ab|<null>|a"};
        QTest::newRow("|| binds as + and -, below * and /")
            << "select 1 || 2 * 3, 1 + 2 || 'x', '1' || '2' + 1 from dual"
            << QStringList{"16|3x|13"};
        QTest::newRow("a long chain of ||")
            << "select length('x'" + QString("||'x'").repeated(150) + ") from dual"
            << QStringList{"151"};
        QTest::newRow("exact division") << "select 10 / 4, 7 / 7 from dual" << QStringList{"2.5|1"};
        QTest::newRow("'' is NULL")
            << "select nvl('', 'x'), nvl2('', 1, 2) from dual" << QStringList{"x|2"};
        QTest::newRow("DATE literal")
            << "select count(*) from emp where hiredate < date '1981-01-01'" << QStringList{"1"};
        QTest::newRow("CASE, both forms")
            << "select case deptno when 10 then 'A' when 20 then 'R' else 'O' end, case when "
               "sal > 2900 then 'high' end from emp where ename in ('KING', 'SMITH') order by 1"
            << QStringList{"A|high", "R|<null>"};
        QTest::newRow("= ANY is IN, <> ALL is NOT IN")
            << "select ename from emp where deptno = any (select deptno from dept where loc = "
               "'DALLAS') and job <> all ('CLERK', 'ANALYST')"
            << QStringList{"JONES"};
        QTest::newRow("IN with pairs")
            << "select ename from emp where (deptno, job) in ((10, 'MANAGER'), (30, 'MANAGER')) "
               "order by 1"
            << QStringList{"BLAKE", "CLARK"};
        QTest::newRow("LIKE with ESCAPE")
            << "select count(*) from dual where 'a%b' like 'a\\%b' escape '\\' and 'axb' not "
               "like 'a\\%b' escape '\\'"
            << QStringList{"1"};
        QTest::newRow("EXTRACT, TRIM, CAST")
            << "select extract(year from hiredate), extract(month from hiredate), trim(both 'x' "
               "from 'xxaxx'), trim('   '), trim(leading 'a' from 'aab'), cast(12 as varchar2(5)) "
               "|| 'x', cast('3' as number) + 1 from emp where ename = 'SCOTT'"
            << QStringList{"1987|4|a|<null>|b|12x|4"};
        QTest::newRow("correlated subquery")
            << "select ename from emp e where sal > (select avg(sal) from emp where deptno = "
               "e.deptno) order by 1"
            << QStringList{"BLAKE", "JONES", "KING", "SCOTT"};
        QTest::newRow("scalar subquery in the select list")
            << "select (select dname from dept d where d.deptno = e.deptno) from emp e where "
               "ename = 'KING'"
            << QStringList{"ACCOUNTING"};
        QTest::newRow("analytic function")
            << "select ename, rank() over (partition by deptno order by sal desc) from emp where "
               "deptno = 20 order by 2"
            << QStringList{"SCOTT|1", "JONES|2", "SMITH|3"};
        QTest::newRow("explicit NULLS FIRST")
            << "select comm from emp where deptno = 30 order by comm nulls first"
            << QStringList{"<null>", "300", "500"};
        // Queries as wholes.
        QTest::newRow("MINUS") << "select deptno from dept minus select deptno from emp"
                               << QStringList{"40"};
        QTest::newRow("a parenthesised set operation as a member")
            << "select dname from dept where deptno = 10 union all (select dname from dept where "
               "deptno = 20 union select dname from dept where deptno = 30) order by 1"
            << QStringList{"ACCOUNTING", "RESEARCH", "SALES"};
        QTest::newRow("WITH") << "with rich as (select ename from emp where sal > 2900) select "
                                 "count(*) from rich"
                              << QStringList{"3"};
        QTest::newRow("GROUP BY, HAVING, UNIQUE")
            << "select unique deptno, count(*) from emp group by deptno having count(*) > 2 "
               "order by deptno"
            << QStringList{"20|3", "30|3"};
        QTest::newRow("ANSI joins")
            << "select (select count(*) from emp join dept using (deptno) where loc = 'CHICAGO'), "
               "(select count(*) from emp e full join dept d on d.deptno = e.deptno), (select "
               "count(*) from emp e right join dept d on d.deptno = e.deptno) from dual"
            << QStringList{"3|9|9"};
        QTest::newRow("the owner's schema") << "select count(*) from scott.emp where scott.emp.sal "
                                               "> 2900"
                                            << QStringList{"3"};
        // Hierarchies: depth first, siblings in stored order.
        QTest::newRow("hierarchy with LEVEL")
            << "select lpad(' ', level - 1) || ename from emp start with mgr is null connect by "
               "prior empno = mgr"
            << QStringList{"KING",   " JONES",  "  SCOTT", "   SMITH",
                           " BLAKE", "  ALLEN", "  WARD",  " CLARK"};
        QTest::newRow("SYS_CONNECT_BY_PATH, CONNECT_BY_ROOT, CONNECT_BY_ISLEAF, LEVEL in WHERE")
            << "select sys_connect_by_path(ename, '/'), connect_by_root ename, connect_by_isleaf "
               "from emp where level = 3 start with ename = 'KING' connect by prior empno = mgr"
            << QStringList{"/KING/JONES/SCOTT|KING|0", "/KING/BLAKE/ALLEN|KING|1",
                           "/KING/BLAKE/WARD|KING|1"};
        QTest::newRow("ORDER SIBLINGS BY")
            << "select ename from emp start with mgr is null connect by prior empno = mgr order "
               "siblings by ename"
            << QStringList{"KING", "BLAKE", "ALLEN", "WARD", "CLARK", "JONES", "SCOTT", "SMITH"};
        QTest::newRow("up the hierarchy")
            << "select ename from emp start with ename = 'SMITH' connect by empno = prior mgr"
            << QStringList{"SMITH", "SCOTT", "JONES", "KING"};
        QTest::newRow("hierarchy as a member of a set operation")
            << "select 'x' from dual union all select ename from emp where level = 2 start with "
               "mgr is null connect by prior empno = mgr"
            << QStringList{"x", "JONES", "BLAKE", "CLARK"};
        QTest::newRow("hierarchy over an inline view, * of its columns")
            << "select * from (select empno, mgr from emp where deptno = 20) start with mgr = "
               "7839 connect by prior empno = mgr"
            << QStringList{"7566|7839", "7788|7566", "7369|7788"};
        QTest::newRow("row generator")
            << "select level from dual connect by level <= 3" << QStringList{"1", "2", "3"};
    }
    void queries() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        QCOMPARE(run(sql.toStdString()), rows);
    }

    // What is parsed but not translated is refused with Oracle's error,
    // never handed to SQLite half understood.
    void refusals_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("names");
        QTest::newRow("MERGE with DELETE WHERE")
            << "merge into emp e using dept d on (e.deptno = d.deptno) when "
               "matched then update set e.sal = 1 delete where d.loc = 'X'"
            << 3001 << "DELETE WHERE";
        QTest::newRow("NEXTVAL twice in a row")
            << "select s.nextval, s.currval from dual" << 3001 << "NEXTVAL";
        QTest::newRow("ROLLUP with analytic functions")
            << "select deptno, rank() over (order by count(*)) from emp group by rollup (deptno)"
            << 3001 << "ROLLUP";
        QTest::newRow("> ANY of a subquery of two columns")
            << "select 1 from emp where sal > any (select sal, empno from emp)" << 913
            << "too many values";
        QTest::newRow("WITHIN GROUP")
            << "select percentile_cont(0.5) within group (order by sal) from emp" << 3001
            << "WITHIN GROUP";
        QTest::newRow("TABLE()") << "select * from table(f(1))" << 3001 << "TABLE";
        QTest::newRow("package function call")
            << "select dbms_crypto.randombytes(16) from dual" << 3001 << "package";
        QTest::newRow("ROWNUM > a bind parameter")
            << "select ename from emp where rownum > :n" << 3001 << "ROWNUM";
        QTest::newRow("ROWNUM over a sorted join")
            << "select e.ename from emp e, dept d where e.deptno = d.deptno and rownum <= 2 "
               "order by 1"
            << 3001 << "ROWNUM";
        QTest::newRow("(+) with an ANSI join")
            << "select 1 from emp e join dept d on 1 = 1, dept x where x.deptno = e.deptno(+)"
            << 25156 << "ANSI";
        QTest::newRow("(+) under OR")
            << "select 1 from emp e, dept d where d.deptno = e.deptno(+) or e.sal > 1" << 1719
            << "OR";
        QTest::newRow("(+) on two tables")
            << "select 1 from emp e, dept d where d.deptno(+) = e.deptno(+)" << 1468
            << "outer-joined";
        QTest::newRow("tables outer-joined to each other")
            << "select 1 from emp e, dept d where d.deptno(+) = e.deptno and e.deptno(+) = "
               "d.deptno"
            << 1416 << "each other";
        QTest::newRow("(+) in the select list")
            << "select e.ename(+) from emp e" << 30563 << "not allowed";
        QTest::newRow("LEVEL outside a hierarchy")
            << "select level from emp" << 1788 << "CONNECT BY";
        QTest::newRow("PRIOR outside a hierarchy")
            << "select prior ename from emp" << 1788 << "PRIOR";
        QTest::newRow("a name two columns of an inline view have")
            << "select a from (select 1 a, 2 a from dual)" << 918 << "ambiguously";
        QTest::newRow("PRIOR in a hierarchy's select list")
            << "select ename, prior ename from emp start with mgr is null "
               "connect by prior empno = mgr"
            << 3001 << "PRIOR outside CONNECT BY";
        QTest::newRow("ORDER SIBLINGS BY without a hierarchy")
            << "select ename from emp order siblings by ename" << 30929 << "SIBLINGS";
        QTest::newRow("FETCH ... PERCENT")
            << "select ename from emp fetch first 10 percent rows only" << 3001 << "PERCENT";
        QTest::newRow("DEFAULT in VALUES")
            << "insert into dept values (50, default, 'X')" << 3001 << "DEFAULT";
        QTest::newRow("RENAME CONSTRAINT")
            << "alter table emp rename constraint a to b" << 3001 << "RENAME CONSTRAINT";
    }
    void refusals() {
        QFETCH(QString, sql);
        QFETCH(int, code);
        QFETCH(QString, names);
        QString message;
        QCOMPARE(oraCodeOf([&] { translate(sql.toStdString()); }, &message), code);
        if (code >= 0)
            QVERIFY2(message.contains(names), qPrintable(message));
    }

    void texts_data() {
        QTest::addColumn<QString>("oracle");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("DELETE without FROM") << "DELETE PLAN_TABLE WHERE STATEMENT_ID='x'"
                                             << "DELETE FROM PLAN_TABLE WHERE STATEMENT_ID = 'x'";
        QTest::newRow("UPDATE with an alias and a qualified target")
            << "update emp e set e.sal = e.sal * 2 where e.empno = :id"
            << "UPDATE EMP AS E SET SAL = ORA_STORE_NUMBER(ORA_ARITH('vv*', E.SAL, 2), 7, 2) WHERE "
               "E.EMPNO = :id";
        QTest::newRow("names that are SQLite's keywords are quoted")
            << "select key, t.plan from t"
            << "SELECT \"KEY\" AS \"KEY\", T.\"PLAN\" AS \"PLAN\" FROM T";
        QTest::newRow("Oracle's column types")
            << "create global temporary table t (a number(*,2), b long, c long raw, d "
               "varchar2(10 char) default sysdate, e number default -1) on commit delete rows"
            << "CREATE TEMP TABLE T (A NUMBER(38, 2), B LONG VARCHAR, C BLOB, D VARCHAR2(10 "
               "/*CHAR*/) "
               "DEFAULT (/*(DATETIME('now', 'localtime'))*/ "
               "ORA_STORE_TEXT(ORA_TO_CHAR_DATE(DATETIME('now', 'localtime')), 10, 1, "
               "'\"SCOTT\".\"T\".\"D\"')), E NUMBER DEFAULT -1)";
        QTest::newRow("DROP ... CASCADE CONSTRAINTS PURGE")
            << "drop table scott.t cascade constraints purge"
            << "DROP TABLE T";
        QTest::newRow("COMMIT WORK") << "commit work"
                                     << "COMMIT";
    }
    void texts() {
        QFETCH(QString, oracle);
        QFETCH(QString, sqlite);
        QCOMPARE(QString::fromStdString(translate(oracle.toStdString())), sqlite);
    }

    // The constraints written in Oracle's words hold in SQLite.
    void constraintsAreEnforced() {
        QStringList failed = run("insert into emp (empno, ename, sal) values (1, null, 1)");
        QVERIFY2(failed.value(0).contains("NOT NULL"), qPrintable(failed.join(' ')));
        failed = run("insert into emp (empno, ename, sal) values (1, 'X', -5)");
        QVERIFY2(failed.value(0).contains("CHECK"), qPrintable(failed.join(' ')));
        failed = run("insert into dept (deptno) values (10)");
        QVERIFY2(failed.value(0).contains("UNIQUE"), qPrintable(failed.join(' ')));
        QCOMPARE(run("select count(*) from emp"), QStringList{"8"});
    }

    void explainNamesItsParts() {
        const Translation t = translateStatement(
            "EXPLAIN PLAN SET STATEMENT_ID = 'q' INTO scott.my_plan FOR select * from emp ; ",
            m_catalog.get(), "SCOTT");
        QCOMPARE(t.kind, Translation::Kind::ExplainPlan);
        QCOMPARE(t.statementId, std::string("q"));
        QCOMPARE(t.planTable, std::string("MY_PLAN"));
        QCOMPARE(t.innerOracleSql, std::string("select * from emp"));
        // each SELECT names its Oracle query block for the plan mapper
        QCOMPARE(t.sql, std::string("SELECT/*SEL$1*/ * FROM EMP"));
    }
};

QTEST_GUILESS_MAIN(TestDialectEmitter)
#include "tst_dialectemitter.moc"
