// Queries answered as Oracle answers them, through the engine's face: NULL
// order, ROWNUM in every place Oracle allows it, single-row subqueries,
// grouping rules, and SQLite's failures reported with Oracle's codes and
// texts. Expected values follow from the rules in Oracle's SQL Language
// Reference (ORDER BY, ROWNUM pseudocolumn, scalar subqueries, GROUP BY)
// and the texts from Oracle's Database Error Messages.

#include "EngineTestUtil.h"
#include "LocalEngine.h"
#include "OracleErrors.h"

#include <sqlite3.h>

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;

namespace {

// Rows stored in this order: ROWNUM and the hierarchy's sibling order
// follow it. CLARK earns a commission of 0, KING, JONES, SCOTT and SMITH none.
const char* const kSchema[] = {
    "CREATE TABLE dept (deptno NUMBER(2) CONSTRAINT dept_pk PRIMARY KEY, dname VARCHAR2(14), "
    "loc VARCHAR2(13))",
    "CREATE TABLE emp (empno NUMBER(4) PRIMARY KEY, ename VARCHAR2(10) NOT NULL, job "
    "VARCHAR2(9), mgr NUMBER(4), hiredate DATE, sal NUMBER(7,2) CHECK (sal > 0), comm "
    "NUMBER(7,2), deptno NUMBER(2) REFERENCES dept (deptno))",
    "INSERT INTO dept VALUES (10, 'ACCOUNTING', 'NEW YORK')",
    "INSERT INTO dept VALUES (20, 'RESEARCH', 'DALLAS')",
    "INSERT INTO dept VALUES (30, 'SALES', 'CHICAGO')",
    "INSERT INTO dept VALUES (40, 'OPERATIONS', 'BOSTON')",
    "INSERT INTO emp VALUES (7839, 'KING', 'PRESIDENT', NULL, DATE '1981-11-17', 5000, NULL, 10)",
    "INSERT INTO emp VALUES (7566, 'JONES', 'MANAGER', 7839, DATE '1981-04-02', 2975, NULL, 20)",
    "INSERT INTO emp VALUES (7698, 'BLAKE', 'MANAGER', 7839, DATE '1981-05-01', 2850, 100, 30)",
    "INSERT INTO emp VALUES (7782, 'CLARK', 'MANAGER', 7839, DATE '1981-06-09', 2450, 0, 10)",
    "INSERT INTO emp VALUES (7788, 'SCOTT', 'ANALYST', 7566, DATE '1987-04-19', 3000, NULL, 20)",
    "INSERT INTO emp VALUES (7499, 'ALLEN', 'SALESMAN', 7698, DATE '1981-02-20', 1600, 300, 30)",
    "INSERT INTO emp VALUES (7521, 'WARD', 'SALESMAN', 7698, DATE '1981-02-22', 1250, 500, 30)",
    "INSERT INTO emp VALUES (7369, 'SMITH', 'CLERK', 7788, DATE '1980-12-17', 800, NULL, 20)",
    "CREATE TABLE codes (c CHAR(5), v VARCHAR2(5))",
    "INSERT INTO codes VALUES ('ab', 'ab')",
};

}  // namespace

class TestOracleQueries : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;

    // Every row, values joined by '|'; a failure as its message.
    QStringList rows(const QString& sql) {
        try {
            const ResultTable t = m_db->query(sql.toStdString());
            QStringList out;
            for (const auto& row : t.rows) {
                QStringList values;
                for (const Cell& c : row)
                    values << enginetest::cellText(c);
                out << values.join('|');
            }
            return out;
        } catch (const EngineError& e) {
            return {QString::fromUtf8(e.what())};
        }
    }

    static void addRows(const char* name, const char* sql, const QStringList& expected) {
        QTest::newRow(name) << QString(sql) << expected;
    }

private slots:
    void initTestCase() {
        const QString path = m_dir.filePath("queries.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_db = Connection::open(path.toStdString(), "scott");
        for (const char* sql : kSchema)
            m_db->execute(sql);
    }

    // NULL sorts above every value: last ascending, first descending.
    void nullOrder_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("ascending", "select ename from emp where deptno = 10 order by comm",
                {"CLARK", "KING"});
        addRows("descending", "select ename from emp where deptno = 10 order by comm desc",
                {"KING", "CLARK"});
        addRows("NULLS FIRST ascending",
                "select ename from emp where deptno = 10 order by comm nulls first",
                {"KING", "CLARK"});
        addRows("NULLS LAST descending",
                "select ename from emp where deptno = 10 order by comm desc nulls last",
                {"CLARK", "KING"});
        addRows("by position, over a set operation",
                "select comm from emp where deptno = 10 union all select null from dual "
                "order by 1 desc",
                {"<null>", "<null>", "0"});
        addRows("analytic ORDER BY",
                "select ename, row_number() over (order by comm) from emp where deptno = 10 "
                "order by 2",
                {"CLARK|1", "KING|2"});
        addRows("analytic ORDER BY ... DESC",
                "select ename, rank() over (order by comm desc) from emp where deptno = 10 "
                "order by 2",
                {"KING|1", "CLARK|2"});
        addRows("ORDER SIBLINGS BY",
                "select ename from emp start with mgr is null connect by prior empno = mgr "
                "order siblings by comm",
                {"KING", "CLARK", "BLAKE", "ALLEN", "WARD", "JONES", "SCOTT", "SMITH"});
    }
    void nullOrder() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // ROWNUM numbers the rows FROM and WHERE give, and a row that fails a
    // condition on ROWNUM does not use up its number.
    void rownum_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("> 1: none", "select count(*) from emp where rownum > 1", {"0"});
        addRows("> 0: all", "select count(*) from emp where rownum > 0", {"8"});
        addRows(">= 1 and >= 2",
                "select (select count(*) from emp where rownum >= 1), (select count(*) from emp "
                "where rownum >= 2) from dual",
                {"8|0"});
        addRows("= 1: exactly one row", "select ename from emp where rownum = 1", {"KING"});
        addRows("= 2: none", "select count(*) from emp where rownum = 2", {"0"});
        addRows("<> 3: the rows before", "select ename from emp where rownum <> 3",
                {"KING", "JONES"});
        addRows("BETWEEN", "select count(*) from emp where rownum between 1 and 3", {"3"});
        addRows("BETWEEN from 2: none", "select count(*) from emp where rownum between 2 and 3",
                {"0"});
        addRows("in the select list, numbered before ORDER BY",
                "select rownum, ename from emp where deptno = 20 order by ename desc",
                {"3|SMITH", "2|SCOTT", "1|JONES"});
        addRows("in a scalar subquery",
                "select (select count(*) from emp where rownum < 4) from dual", {"3"});
        addRows("top-N over a sorted inline view",
                "select ename from (select ename from emp order by sal desc) where rownum <= 3",
                {"KING", "SCOTT", "JONES"});
        addRows("in each branch of a compound query",
                "select ename from emp where rownum = 1 union all select dname from dept where "
                "rownum <= 2",
                {"KING", "ACCOUNTING", "RESEARCH"});
        addRows("hierarchy: numbered in the hierarchy's order",
                "select rownum, ename from emp where level <= 2 start with mgr is null connect "
                "by prior empno = mgr",
                {"1|KING", "2|JONES", "3|BLAKE", "4|CLARK"});
        addRows("hierarchy: a limit counted after the hierarchy and WHERE",
                "select ename, level from emp where level > 1 and rownum <= 3 start with mgr is "
                "null connect by prior empno = mgr",
                {"JONES|2", "SCOTT|3", "SMITH|4"});
        addRows("hierarchy: ROWNUM > 1 gives none",
                "select count(*) from (select ename from emp where rownum > 1 start with mgr is "
                "null connect by prior empno = mgr)",
                {"0"});
    }
    void rownum() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // A scalar subquery gives at most one row; none is NULL.
    void singleRowSubqueries_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        const QString tooMany = "ORA-01427: single-row subquery returns more than one row";
        addRows("one row", "select (select ename from emp where empno = 7839) from dual", {"KING"});
        addRows("no row is NULL", "select (select ename from emp where empno = 1) from dual",
                {"<null>"});
        addRows("correlated, one row each",
                "select ename, (select dname from dept d where d.deptno = e.deptno) from emp e "
                "where sal > 2900 order by 1",
                {"JONES|RESEARCH", "KING|ACCOUNTING", "SCOTT|RESEARCH"});
        addRows("an aggregate", "select (select max(sal) from emp) from dual", {"5000"});
        addRows("a constant over a one-row table",
                "select (select 1 from dept where deptno = "
                "10) from dual",
                {"1"});
        addRows("two rows in the select list",
                "select (select ename from emp where deptno = 10) from dual", {tooMany});
        addRows("two rows in a comparison",
                "select ename from emp where sal > (select sal from emp where deptno = 20)",
                {tooMany});
        addRows("two rows of a constant", "select (select 1 from emp) from dual", {tooMany});
        addRows("two groups", "select (select count(*) from emp group by deptno) from dual",
                {tooMany});
        addRows("two rows of a set operation",
                "select (select 1 from dual union all select 2 from dual) from dual", {tooMany});
        addRows("two rows of an UPDATE's value",
                "update emp set sal = (select sal from emp where deptno = 30) where empno = 7839",
                {tooMany});
    }
    void singleRowSubqueries() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // LISTAGG, KEEP and RATIO_TO_REPORT as the SQL Language Reference
    // describes them; RATIO_TO_REPORT with the reference's own example rows.
    void aggregates_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("LISTAGG WITHIN GROUP",
                "select listagg(ename, '; ') within group (order by hiredate) from emp where "
                "deptno = 20",
                {"SMITH; JONES; SCOTT"});
        addRows("LISTAGG per group, descending",
                "select deptno, listagg(ename, ',') within group (order by sal desc) from emp "
                "group by deptno order by deptno",
                {"10|KING,CLARK", "20|SCOTT,JONES,SMITH", "30|BLAKE,ALLEN,WARD"});
        addRows("LISTAGG: NULL keys first descending, then the next key",
                "select listagg(ename, ',') within group (order by comm desc, ename) from emp "
                "where deptno in (10, 20)",
                {"JONES,KING,SCOTT,SMITH,CLARK"});
        addRows("LISTAGG without a separator",
                "select listagg(job) within group (order by job) from emp where deptno = 10",
                {"MANAGERPRESIDENT"});
        addRows("LISTAGG over a partition",
                "select ename, listagg(ename, ',') within group (order by ename) over "
                "(partition by deptno) from emp where deptno = 10 order by ename",
                {"CLARK|CLARK,KING", "KING|CLARK,KING"});
        const char* const longRows =
            " from (select rpad('a', 3000, 'a') s from dual union all select rpad('b', 3000, "
            "'b') from dual)";
        addRows("LISTAGG past 4000 bytes",
                qPrintable(QString("select listagg(s, ',') within group (order by s)") + longRows),
                {"ORA-01489: result of string concatenation is too long"});
        addRows("LISTAGG ON OVERFLOW TRUNCATE: indicator and count",
                qPrintable(QString("select length(x), substr(x, -8) from (select listagg(s, ',' "
                                   "on overflow truncate) within group (order by s) x") +
                           longRows + ")"),
                {"3007|a,...(1)"});
        addRows("LISTAGG ON OVERFLOW TRUNCATE WITHOUT COUNT",
                qPrintable(QString("select substr(listagg(s, ',' on overflow truncate '~' "
                                   "without count) within group (order by s desc), -3)") +
                           longRows),
                {"b,~"});
        addRows("KEEP FIRST and LAST, NULL last ascending",
                "select deptno, min(sal) keep (dense_rank first order by comm), max(sal) keep "
                "(dense_rank last order by comm) from emp group by deptno order by deptno",
                {"10|2450|5000", "20|800|3000", "30|2850|1250"});
        addRows("COUNT(*) KEEP", "select count(*) keep (dense_rank last order by comm) from emp",
                {"4"});
        addRows("RATIO_TO_REPORT",
                "select ename, round(ratio_to_report(sal) over () * 1e9) from (select 'ALLEN' "
                "ename, 1600 sal from dual union all select 'WARD', 1250 from dual union all "
                "select 'MARTIN', 1250 from dual union all select 'TURNER', 1500 from dual)",
                {"ALLEN|285714286", "WARD|223214286", "MARTIN|223214286", "TURNER|267857143"});
        addRows(
            "RATIO_TO_REPORT per partition, NULL for NULL",
            "select ename, round(ratio_to_report(comm) over (partition by deptno) * 100) "
            "from emp where deptno in (20, 30) order by ename",
            {"ALLEN|33", "BLAKE|11", "JONES|<null>", "SCOTT|<null>", "SMITH|<null>", "WARD|56"});
    }
    void aggregates() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // NUMBER is decimal (SQL Language Reference, Data Types: NUMBER holds
    // fixed-point values of up to 38 decimal digits), so sums, products and
    // differences of decimal values are exact, and compare equal to the
    // literal that writes them. MOD keeps the sign of n2 (n2 - n1 *
    // TRUNC(n2/n1)) and REMAINDER is n2 - n1 * ROUND(n2/n1) (their
    // reference pages), on those decimals.
    // Equality is asked in the statement: the display alone rounds to 15
    // digits and would hide a binary remainder.
    void decimalArithmetic_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("a sum of decimals equals its literal",
                "select case when 0.1 + 0.2 = 0.3 then 'equal' else 'different' end from dual",
                {"equal"});
        addRows("a salary raise found by its value", "select ename from emp where sal * 1.1 = 2695",
                {"CLARK"});
        addRows("products and differences that come out whole",
                "select 0.7 * 3 * 10 - 21, 0.1 * 3 - 0.3, 3.3 / 1.1 from dual", {"0|0|3"});
        addRows("a chain of fifty terms",
                qPrintable("select case when " + QStringList(50, "0.1").join(" + ") +
                           " = 5 then 'five' end, " + QStringList(40, "2").join(" * ") +
                           " / 1e12 - " + QStringList(45, "1").join(" - ") + " from dual"),
                {"five|-43.900488372224"});
        addRows("NULL in any place of a chain",
                "select 1 + null + 2, 2 * 3 * null, 5 - comm from emp where ename = 'KING'",
                {"<null>|<null>|<null>"});
        addRows("whole numbers stay exact past 2^53",
                "select 9007199254740993 + 2 - 1, 3037000499 * 3037000499 from dual",
                {"9007199254740994|9223372030926249001"});
        addRows("MOD and REMAINDER of decimals",
                "select mod(0.3, 0.1), remainder(0.3, 0.1), mod(11.6, 2.1), mod(-11.6, 2.1), "
                "remainder(11.6, 2.1) from dual",
                {"0|0|1.1|-1.1|-1"});
        addRows("SUM of amounts in cents, and a HAVING on it",
                "select sum(x), count(*) from (select 0.1 x from dual connect by level <= 10) "
                "having sum(x) = 1",
                {"1|10"});
        addRows("SUM of many amounts keeps its cents",
                "select case when sum(19.99 + level / 100) = 104985 then 'exact' end "
                "from dual connect by level <= 3000",
                {"exact"});
        addRows("AVG of decimals",
                "select case when avg(x) = 0.15 then 'exact' end from "
                "(select 0.1 x from dual union all select 0.2 from dual)",
                {"exact"});
        addRows("SUM and AVG of whole numbers are whole, NULL without rows",
                "select sum(sal), avg(sal), sum(comm) from emp where ename in ('KING', 'SCOTT')",
                {"8000|4000|<null>"});
        addRows(
            "a moving window takes rows away again",
            "select k, to_char(sum(x) over (order by k rows between 1 preceding and current row)) "
            "from "
            "(select level k, level / 10 x from dual connect by level <= 4) order by k",
            {"1|.1", "2|.3", "3|.5", "4|.7"});
        addRows("SUM and AVG of DISTINCT values",
                "select to_char(sum(distinct x)), to_char(avg(distinct x)), count(distinct x) from "
                "(select 0.1 x "
                "from dual union all select 0.1 from dual union all select 0.2 from dual)",
                {".3|.15|2"});
        addRows("SUM and AVG kept for the first rows",
                "select case when sum(x) keep (dense_rank first order by k) = 0.3 then 'exact' "
                "end, case when avg(x) keep (dense_rank first order by k) = 0.1 then 'exact' end "
                "from (select 1 k, 0.1 x from dual connect by level <= 3 union all select 2, 5 "
                "from dual)",
                {"exact|exact"});
        addRows(
            "whole sums past 64 bits",
            "select to_char(sum(x)), avg(x) from (select 9000000000000000000 x from dual union all "
            "select 9000000000000000000 from dual)",
            {"18000000000000000000|9000000000000000000"});
        addRows("SUM of text that is not a number", "select sum(ename) from emp",
                {"ORA-01722: invalid number"});
    }
    void decimalArithmetic() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // Answers an audit against the SQL Language Reference found wrong:
    // - "Data Type Comparison Rules": CHAR against CHAR (or a text literal)
    //   compares blank-padded; IN is "= ANY", a simple CASE compares
    //   "expr = comparison_expr", NULLIF is CASE WHEN e1 = e2 ...
    // - LN: n > 0; LOG: m positive and not 1, n positive; ACOS/ASIN: n in
    //   [-1, 1] (ORA-01428); EXP past NUMBER's range (ORA-01426)
    // - TRIM: the trim character is one character (ORA-30001)
    // - ROUND/TRUNC (date): "always of data type DATE"
    // - UPPER/LOWER/INITCAP change every letter, not only ASCII's
    // - ORDER BY n beyond the select list: ORA-01785
    void auditedAnswers_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("CHAR IN literals", "select count(*) from codes where c in ('ab', 'zz')", {"1"});
        addRows("CHAR NOT IN literals", "select count(*) from codes where c not in ('ab', 'zz')",
                {"0"});
        addRows("CHAR = ANY", "select count(*) from codes where c = any ('ab', 'zz')", {"1"});
        addRows("VARCHAR2 IN stays non-padded", "select count(*) from codes where v in ('ab ')",
                {"0"});
        addRows("simple CASE of CHAR",
                "select case c when 'ab' then 'hit' else 'miss' end from codes", {"hit"});
        addRows("simple CASE of VARCHAR2",
                "select case v when 'ab ' then 'hit' else 'miss' end from codes", {"miss"});
        addRows("NULLIF of CHAR values", "select count(*) from codes where nullif(c, 'ab') is null",
                {"1"});
        addRows("NULLIF keeps the first value", "select '[' || nullif(c, 'zz') || ']' from codes",
                {"[ab   ]"});
        addRows("LN of 0", "select ln(0) from dual", {"ORA-01428: argument '0' is out of range"});
        addRows("LOG to base 1", "select log(1, 10) from dual",
                {"ORA-01428: argument '1' is out of range"});
        addRows("LOG of a negative number", "select log(10, -5) from dual",
                {"ORA-01428: argument '-5' is out of range"});
        addRows("ACOS past 1", "select acos(2) from dual",
                {"ORA-01428: argument '2' is out of range"});
        addRows("ASIN past -1", "select asin(-2) from dual",
                {"ORA-01428: argument '-2' is out of range"});
        addRows("EXP past NUMBER's range", "select exp(1000) from dual",
                {"ORA-01426: numeric overflow"});
        addRows("functions inside their domains",
                "select ln(1), exp(0), log(10, 100), acos(1), asin(0), log(2, null) from dual",
                {"0|1|2|0|0|<null>"});
        addRows("TRIM of two characters", "select trim('ab' from 'abc') from dual",
                {"ORA-30001: trim set should have only one character"});
        addRows("TRIM of one character", "select trim(leading 'x' from 'xxyx') from dual", {"yx"});
        addRows("TRUNC of a TIMESTAMP is a DATE",
                "select trunc(timestamp '2009-10-15 10:30:00.5') - date '2009-10-14' from dual",
                {"1"});
        addRows(
            "ROUND of a TIMESTAMP is a DATE",
            "select (round(timestamp '2009-10-15 13:30:00') - date '2009-10-14') * 24 from dual",
            {"48"});
        addRows("case beyond ASCII",
                "select upper('éàü') || ' ' || lower('ÄBÇ') || ' ' || initcap('élan vital') "
                "from dual",
                {"ÉÀÜ äbç Élan Vital"});
        addRows("ORDER BY past the select list", "select ename from emp order by 2",
                {"ORA-01785: ORDER BY item must be the number of a SELECT-list expression"});
        addRows("a row where one value belongs",
                "select count(*) from emp where sal = (select sal, comm from emp where rownum = 1)",
                {"ORA-00913: too many values"});
    }
    void auditedAnswers() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // ROLLUP, CUBE and GROUPING SETS: one group per grouping set, the
    // expressions a set leaves out NULL, GROUPING and GROUPING_ID telling
    // them apart.
    void groupingSets_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("ROLLUP",
                "select deptno, job, sum(sal) from emp group by rollup (deptno, job) "
                "order by deptno, job",
                {"10|MANAGER|2450", "10|PRESIDENT|5000", "10|<null>|7450", "20|ANALYST|3000",
                 "20|CLERK|800", "20|MANAGER|2975", "20|<null>|6775", "30|MANAGER|2850",
                 "30|SALESMAN|2850", "30|<null>|5700", "<null>|<null>|19925"});
        addRows("CUBE with GROUPING and GROUPING_ID",
                "select deptno, job, grouping(deptno), grouping(job), grouping_id(deptno, job), "
                "count(*) from emp where deptno = 10 group by cube (deptno, job) order by 5, 2",
                {"10|MANAGER|0|0|0|1", "10|PRESIDENT|0|0|0|1", "10|<null>|0|1|1|2",
                 "<null>|MANAGER|1|0|2|1", "<null>|PRESIDENT|1|0|2|1", "<null>|<null>|1|1|3|2"});
        addRows("GROUPING SETS with the empty set and HAVING",
                "select deptno, job, count(*) from emp group by grouping sets ((deptno), (job), "
                "()) having count(*) > 2 order by 1, 2",
                {"20|<null>|3", "30|<null>|3", "<null>|MANAGER|3", "<null>|<null>|8"});
        addRows("HAVING on GROUPING",
                "select deptno, sum(sal) from emp group by rollup (deptno) having "
                "grouping(deptno) = 1",
                {"<null>|19925"});
        addRows("a composite column counts as one",
                "select count(*) from (select deptno, job from emp group by rollup ((deptno, "
                "job)))",
                {"8"});
        addRows("plain GROUP BY: GROUPING is 0",
                "select deptno, grouping(deptno) from emp group by deptno order by 1",
                {"10|0", "20|0", "30|0"});
        addRows("a column beside ROLLUP combines with each of its sets",
                "select deptno, job, count(*) from emp where deptno = 10 group by deptno, "
                "rollup (job) order by job",
                {"10|MANAGER|1", "10|PRESIDENT|1", "10|<null>|2"});
        addRows("analytic functions are refused",
                "select deptno, rank() over (order by sum(sal)) from emp group by rollup (deptno)",
                {"ORA-03001: unimplemented feature: analytic functions in a query with ROLLUP, "
                 "CUBE or GROUPING SETS"});
    }
    void groupingSets() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // PIVOT: a group per value of the columns the clause does not name.
    void pivot_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("one aggregate, values with and without aliases",
                "select * from (select job, deptno, sal from emp) pivot (sum(sal) for deptno in "
                "(10 as accounting, 20, 30 as sales)) order by job",
                {"ANALYST|<null>|3000|<null>", "CLERK|<null>|800|<null>", "MANAGER|2450|2975|2850",
                 "PRESIDENT|5000|<null>|<null>", "SALESMAN|<null>|<null>|2850"});
        addRows("the columns' names",
                "select accounting, \"20\" from (select job, deptno, sal from emp) pivot (sum(sal) "
                "for deptno in (10 as accounting, 20)) where job = 'MANAGER'",
                {"2450|2975"});
        addRows("two aggregates named value_aggregate, text values",
                "select d10_n, d10_s, \"'ANALYST'_N\" from (select job, sal from emp) pivot "
                "(count(*) as n, sum(sal) as s for job in ('MANAGER' as d10, 'ANALYST'))",
                {"3|8275|1"});
        addRows("a table with an alias, grouped by every other column",
                "select count(*) from emp e pivot (max(e.sal) for deptno in (10, 20)) p", {"8"});
    }
    void pivot() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // UNPIVOT: one row per IN item of each source row, with the columns the
    // clause does not name; rows whose values are all null left out unless
    // INCLUDE NULLS; an item without AS is labelled with its column's name.
    // In department 10 KING has no commission and CLARK one of 0.
    void unpivot_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        const char* dept10 = "(select ename, sal, comm from emp where deptno = 10)";
        addRows("EXCLUDE NULLS by default, the columns' names as labels",
                qPrintable(QString("select ename, kind, amount from %1 unpivot (amount for kind "
                                   "in (sal, comm)) order by ename, kind")
                               .arg(dept10)),
                {"CLARK|COMM|0", "CLARK|SAL|2450", "KING|SAL|5000"});
        addRows("INCLUDE NULLS, labels given",
                qPrintable(QString("select ename, kind, amount from %1 unpivot include nulls "
                                   "(amount for kind in (sal as 'S', comm as 'C')) order by 1, 2")
                               .arg(dept10)),
                {"CLARK|C|0", "CLARK|S|2450", "KING|C|<null>", "KING|S|5000"});
        addRows("number labels compare as numbers",
                qPrintable(QString("select ename, k, amount from %1 unpivot (amount for k in (sal "
                                   "as 1, comm as 2)) where k > 1")
                               .arg(dept10)),
                {"CLARK|2|0"});
        addRows("several value columns, the columns in the result's order",
                "select * from (select empno, ename, job, sal, comm from emp where empno = 7499) "
                "unpivot ((t, n) for which in ((ename, sal) as 'A', (job, comm) as 'B')) "
                "order by which",
                {"7499|A|ALLEN|1600", "7499|B|SALESMAN|300"});
        addRows("a table, the result under an alias",
                "select count(*), count(u.v) from emp unpivot (v for c in (sal, comm)) u",
                {"12|12"});
        addRows("items of two type families", "select * from emp unpivot (v for c in (ename, sal))",
                {"ORA-01790: expression must have same datatype as corresponding expression"});
        addRows("not shown by EXPLAIN PLAN",
                "explain plan for select * from emp unpivot (v for c in (sal, comm))",
                {"ORA-03001: unimplemented feature: EXPLAIN PLAN of UNPIVOT"});
    }
    void unpivot() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // What Oracle refuses before running, and SQLite's failures, with
    // Oracle's codes and texts. A text ending in "..." is a prefix.
    void errors_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("number");
        auto add = [](const char* name, const char* sql, const char* message) {
            QTest::newRow(name) << QString(sql) << QString(message) << oracleErrorNumber(message);
        };
        add("no such table", "select * from nosuch",
            "ORA-00942: table or view \"SCOTT\".\"NOSUCH\" does not exist");
        add("no such column", "select nosuch from emp",
            "ORA-00904: \"NOSUCH\": invalid identifier");
        add("no such qualified column", "select e.nosuch from emp e",
            "ORA-00904: \"E\".\"NOSUCH\": invalid identifier");
        add("no such function", "select nosuch(1) from dual",
            "ORA-00904: \"NOSUCH\": invalid identifier");
        add("ambiguous column", "select deptno from emp, dept",
            "ORA-00918: column ambiguously defined");
        add("named unique constraint", "insert into dept values (10, 'X', 'Y')",
            "ORA-00001: unique constraint (SCOTT.DEPT_PK) violated");
        add("unnamed primary key", "insert into emp (empno, ename) values (7839, 'X')",
            "ORA-00001: unique constraint (SCOTT.SYS_C...");
        add("NULL inserted", "insert into emp (empno) values (1)",
            "ORA-01400: cannot insert NULL into (\"SCOTT\".\"EMP\".\"ENAME\")");
        add("NULL updated", "update emp set ename = null where empno = 7839",
            "ORA-01407: cannot update (\"SCOTT\".\"EMP\".\"ENAME\") to NULL");
        add("unnamed check", "update emp set sal = -1 where empno = 7839",
            "ORA-02290: check constraint (SCOTT.SYS_C...");
        add("name already used", "create table dept (x number)",
            "ORA-00955: name is already used by an existing object");
        add("set operation of a number and text",
            "select deptno from dept union select dname from dept",
            "ORA-01790: expression must have same datatype as corresponding expression");
        add("set operation of a date and a number",
            "select hiredate from emp minus select sal from emp",
            "ORA-01790: expression must have same datatype as corresponding expression");
        add("aggregate beside a column", "select ename, count(*) from emp",
            "ORA-00937: not a single-group group function");
        add("column not grouped", "select ename, count(*) from emp group by deptno",
            "ORA-00979: not a GROUP BY expression");
        add("MATCH_RECOGNIZE",
            "select * from emp match_recognize (order by sal pattern (a) "
            "define a as 1 = 1)",
            "ORA-03001: unimplemented feature: MATCH_RECOGNIZE in FROM");
        add("PIVOT XML",
            "select * from (select deptno, sal from emp) pivot xml (sum(sal) for "
            "deptno in (any))",
            "ORA-03001: unimplemented feature: PIVOT XML");
        add("PIVOT of other than an aggregate",
            "select * from (select deptno, sal from emp) pivot (sal for deptno in (10))",
            "ORA-56902: expect aggregate function inside pivot operation");
        add("MODEL",
            "select empno, sal from emp model dimension by (empno) measures (sal) "
            "rules (sal[1] = 0)",
            "ORA-03001: unimplemented feature: MODEL clause");
        add("HAVING on a column not grouped",
            "select deptno from emp group by deptno having sal > 1",
            "ORA-00979: not a GROUP BY expression");
        // Stored PL/SQL is refused whole, however many ";" its body holds.
        add("stored procedure",
            "create or replace procedure raise_sal (p_empno number) as begin "
            "update emp set sal = sal * 1.1 where empno = p_empno; commit; end;",
            "ORA-03001: unimplemented feature: CREATE PROCEDURE");
        add("stored function",
            "create function dept_count (p number) return number is n number; begin "
            "select count(*) into n from emp where deptno = p; return n; end;",
            "ORA-03001: unimplemented feature: CREATE FUNCTION");
        add("package body", "create or replace package body pkg as end pkg;",
            "ORA-03001: unimplemented feature: CREATE PACKAGE BODY");
        add("editionable package", "create editionable package pkg as end pkg;",
            "ORA-03001: unimplemented feature: CREATE PACKAGE");
        add("row trigger filling a key",
            "create or replace trigger emp_bi before insert on emp for each row begin "
            "if :new.empno is null then :new.empno := 1; end if; end;",
            "ORA-03001: unimplemented feature: CREATE TRIGGER with a PL/SQL body");
        add("trigger without OR REPLACE",
            "create trigger emp_bu before update on emp for each row begin "
            "select sysdate into :new.hiredate from dual; end;",
            "ORA-03001: unimplemented feature: CREATE TRIGGER with a PL/SQL body");
        add("trigger body of PL/SQL only",
            "create trigger emp_ai after insert on emp begin null; end;",
            "ORA-03001: unimplemented feature: CREATE TRIGGER with a PL/SQL body");
    }
    void errors() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        QFETCH(int, number);
        const QStringList got = rows(sql);
        QCOMPARE(got.size(), 1);
        if (message.endsWith("..."))
            QVERIFY2(got[0].startsWith(message.chopped(3)), qPrintable(got[0]));
        else
            QCOMPARE(got[0], message);
        QCOMPARE(oracleErrorNumber(got[0].toStdString()), number);
        QCOMPARE(rows("select count(*) from emp where sal > 0 and ename is not null"),
                 QStringList{"8"});
    }

    // Grouped queries that Oracle accepts pass the checks.
    void groupingAccepted_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("qualified and unqualified",
                "select e.deptno, count(*) from emp e group by deptno order by 1",
                {"10|2", "20|3", "30|3"});
        addRows("an expression of grouped columns",
                "select deptno * 2, max(sal) - min(sal) from emp group by deptno having "
                "count(*) > 2 order by 1",
                {"40|2200", "60|1600"});
        addRows("the grouped expression itself",
                "select substr(job, 1, 3), count(*) from emp group by substr(job, 1, 3) order by 1",
                {"ANA|1", "CLE|1", "MAN|3", "PRE|1", "SAL|2"});
        addRows("a grouped CASE with IN, BETWEEN and LIKE",
                "select case when job in ('CLERK', 'ANALYST') then 'T' when sal between 2000 and "
                "3000 then 'M' when ename like 'K%' then 'K' else 'O' end, count(*) from emp "
                "group by case when job in ('CLERK', 'ANALYST') then 'T' when sal between 2000 "
                "and 3000 then 'M' when ename like 'K%' then 'K' else 'O' end order by 1",
                {"K|1", "M|3", "O|2", "T|2"});
        addRows("constants beside an aggregate", "select 'n', count(*) from emp", {"n|8"});
        addRows("set operation of numbers and NULL",
                "select deptno from dept where deptno = 10 union all select null from dual",
                {"10", "<null>"});
    }
    void groupingAccepted() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // LIKE tells upper from lower case; % stands for any run of characters
    // and _ for one; after the ESCAPE character they stand for themselves,
    // and anything else after it is ORA-01424.
    void like_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        addRows("case is told apart", "select count(*) from emp where ename like 'k%'", {"0"});
        addRows("% and _", "select ename from emp where ename like '_L%' order by 1",
                {"ALLEN", "BLAKE", "CLARK"});
        addRows("NOT LIKE", "select count(*) from emp where ename not like '%A%'", {"4"});
        addRows("GLOB's own characters are plain",
                "select count(*) from dual where 'a*c' like 'a*%'", {"1"});
        addRows("... and match only themselves", "select count(*) from dual where 'abc' like 'a*%'",
                {"0"});
        addRows("a bracket", "select count(*) from dual where 'a[b]' like 'a[b%'", {"1"});
        addRows("ESCAPE", "select count(*) from dual where '50%' like '50\\%' escape '\\'", {"1"});
        addRows("ESCAPE: the % is no wildcard",
                "select count(*) from dual where '500' like '50\\%' escape '\\'", {"0"});
        addRows("a pattern from a column",
                "select e.ename from emp e, dept d where d.deptno = 10 and e.ename like "
                "substr(d.dname, 1, 1) || '%'",
                {"ALLEN"});
        addRows("a pattern from a column, in lower case",
                "select count(*) from emp e where e.ename like lower(substr(e.ename, 1, 1)) || '%'",
                {"0"});
        addRows("a pattern from a column, NOT LIKE",
                "select count(*) from emp e where e.ename not like substr(e.ename, 1, 2) || '%'",
                {"0"});
        addRows("a NULL pattern",
                "select count(*) from emp where ename like (select null from dual)", {"0"});
        addRows("escape followed by a plain letter",
                "select count(*) from dual where 'ab' like 'a\\b' escape '\\'",
                {"ORA-01424: missing or illegal character following the escape character"});
        addRows("escape of two characters",
                "select count(*) from emp where ename like ename escape 'ab'",
                {"ORA-01425: escape character must be character string of length 1"});
    }
    void like() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(sql), expected);
    }

    // A file's own CHECK constraints and views may call SQLite's LIKE: it
    // stays the built-in function, which the file is allowed to use.
    void likeInTheFilesOwnSchema() {
        const QString path = m_dir.filePath("ownlike.db");
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw,
                              "CREATE TABLE codes (code TEXT CHECK (code LIKE 'C%'));"
                              "CREATE VIEW c_codes AS SELECT code FROM codes WHERE code LIKE 'C%';",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        auto db = Connection::open(path.toStdString(), "scott");
        db->execute("insert into codes values ('C1')");
        const ResultTable t = db->query("select count(*) from c_codes");
        QCOMPARE(enginetest::cellText(t.rows.at(0).at(0)), QString("1"));
    }

    // MERGE as the SQL Language Reference describes it: matched rows are
    // updated (those the update's WHERE accepts), the source rows without a
    // match inserted (those the insert's WHERE accepts); a target row that
    // two source rows match is ORA-30926, a column of the ON condition may
    // not be updated (ORA-38104); a failure leaves the target as it was.
    // The target starts as KING (comm 100) and SCOTT (no comm).
    void merge_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("outcome");  // rows changed, or the error's start
        QTest::addColumn<QStringList>("after");
        const QString into = "merge into bonus b using ";
        QTest::newRow("update and insert")
            << into +
                   "(select ename, sal from emp where deptno = 20) e on (b.ename = e.ename) "
                   "when matched then update set b.comm = nvl(b.comm, 0) + e.sal * 0.1 "
                   "when not matched then insert (b.ename, b.comm) values (e.ename, e.sal * 0.01)"
            << "3" << QStringList{"JONES|29.75", "KING|100", "SCOTT|300", "SMITH|8"};
        QTest::newRow("update with a WHERE, from a table")
            << into +
                   "emp e on (b.ename = e.ename) when matched then update set comm = 1 where "
                   "e.sal > 4000"
            << "1" << QStringList{"KING|1", "SCOTT|<null>"};
        QTest::newRow("insert with a WHERE, all columns")
            << into +
                   "emp e on (e.ename = b.ename) when not matched then insert values "
                   "(e.ename, 0) where e.job = 'SALESMAN'"
            << "2" << QStringList{"ALLEN|0", "KING|100", "SCOTT|<null>", "WARD|0"};
        QTest::newRow("two source rows for one target row")
            << into +
                   "(select 'KING' ename from dual union all select 'KING' from dual) e on "
                   "(b.ename = e.ename) when matched then update set b.comm = 5"
            << "ORA-30926: unable to get a stable set of rows in the source tables"
            << QStringList{"KING|100", "SCOTT|<null>"};
        QTest::newRow("a column of the ON condition updated")
            << into + "emp e on (b.ename = e.ename) when matched then update set b.ename = 'X'"
            << "ORA-38104: Columns referenced in the ON Clause cannot be updated: "
               "\"BONUS\".\"ENAME\""
            << QStringList{"KING|100", "SCOTT|<null>"};
        QTest::newRow("a failing insert takes the update back")
            << into +
                   "(select 'KING' ename from dual union all select 'NEW' from dual union "
                   "all select 'NEW' from dual) e on (b.ename = e.ename) when matched then "
                   "update set b.comm = 7 when not matched then insert values (e.ename, 1)"
            << "ORA-00001" << QStringList{"KING|100", "SCOTT|<null>"};
        QTest::newRow("DELETE WHERE")
            << into +
                   "emp e on (b.ename = e.ename) when matched then update set b.comm = 2 "
                   "delete where e.sal > 4000"
            << "ORA-03001: unimplemented feature: MERGE ... DELETE WHERE"
            << QStringList{"KING|100", "SCOTT|<null>"};
    }
    void merge() {
        QFETCH(QString, sql);
        QFETCH(QString, outcome);
        QFETCH(QStringList, after);
        m_db->execute("create table bonus (ename varchar2(10) primary key, comm number(7,2))");
        m_db->execute("insert into bonus values ('KING', 100)");
        m_db->execute("insert into bonus values ('SCOTT', null)");
        QString result;
        try {
            result = QString::number(m_db->execute(sql.toStdString()));
        } catch (const EngineError& e) {
            result = QString::fromUtf8(e.what());
        }
        const QStringList rowsAfter = rows("select ename, comm from bonus order by ename");
        m_db->execute("drop table bonus");
        QVERIFY2(result.startsWith(outcome), qPrintable(result));
        QCOMPARE(rowsAfter, after);
    }

    // INSERT ALL | FIRST as the SQL Language Reference describes it: each
    // row of the subquery goes through every INTO (no WHEN), through the
    // INTOs of each WHEN whose condition is true (ALL) or of the first one
    // only (FIRST), and through the ELSE INTOs when no condition is true; an
    // INTO without VALUES takes the subquery's columns in order. One
    // statement: the rows inserted into all tables are its count, and a
    // failure in any INTO leaves every table as it was. SMALL starts as (1, 10).
    void multitableInsert_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("outcome");  // rows inserted, or the error's start
        QTest::addColumn<QStringList>("after");
        const QString start = "S|1|10";
        QTest::newRow("unconditional rows from dual")
            << "insert all into small values (2, 20) into small (total, id) values (30, 3) "
               "select * from dual"
            << "2" << QStringList{start, "S|2|20", "S|3|30"};
        QTest::newRow("the subquery's columns by position and by name")
            << "insert all into small into large (total, id) values (sal, empno) "
               "select empno, sal from emp where deptno = 10"
            << "4"
            << QStringList{start, "S|7782|2450", "S|7839|5000", "L|7782|2450", "L|7839|5000"};
        QTest::newRow("ALL: every true WHEN, ELSE when none")
            << "insert all when sal < 1000 then into small values (empno, sal) "
               "when sal < 2000 then into small values (empno, sal) into large values (empno, sal) "
               "else into large values (empno, 0) select empno, sal from emp where deptno = 20"
            << "5"
            << QStringList{start, "S|7369|800", "S|7369|800", "L|7369|800", "L|7566|0", "L|7788|0"};
        QTest::newRow("FIRST: the first true WHEN only")
            << "insert first when sal < 1000 then into small values (empno, sal) "
               "when sal < 2000 then into small values (empno, sal) into large values (empno, sal) "
               "else into large values (empno, 0) select empno, sal from emp where deptno = 20"
            << "3" << QStringList{start, "S|7369|800", "L|7566|0", "L|7788|0"};
        QTest::newRow("a NULL condition is not true")
            << "insert first when comm > 0 then into small values (empno, comm) "
               "else into large values (empno, comm) select empno, comm from emp where deptno = 10"
            << "2" << QStringList{start, "L|7782|0", "L|7839|<null>"};
        QTest::newRow("the subquery is read once, before any INTO")
            << "insert all into small values (id + 100, total) into small values (id + 200, total) "
               "select id, total from small"
            << "2" << QStringList{start, "S|101|10", "S|201|10"};
        QTest::newRow("WITH in the subquery, values stored by the column's type")
            << "insert all into small values (n, t) with q as (select 4 n, 2.346 t from dual) "
               "select n, t from q"
            << "1" << QStringList{start, "S|4|2.35"};
        QTest::newRow("a failing INTO takes the others back")
            << "insert all into small values (5, 50) into large values (6, 123456) select * from "
               "dual"
            << "ORA-01438: value larger than specified precision allowed for this column"
            << QStringList{start};
        QTest::newRow("too many values")
            << "insert all into small values (5, 50, 1) select * from dual"
            << "ORA-00913: too many values" << QStringList{start};
        QTest::newRow("FIRST needs WHEN")
            << "insert first into small values (5, 50) select * from dual"
            << "ORA-00905: missing keyword" << QStringList{start};
        QTest::newRow("no subquery") << "insert all into small values (5, 50)"
                                     << "ORA-00928: missing SELECT keyword" << QStringList{start};
        QTest::newRow("no plan for it")
            << "explain plan for insert all into small values (5, 50) select * from dual"
            << "ORA-03001: unimplemented feature: EXPLAIN PLAN FOR a multitable INSERT"
            << QStringList{start};
    }
    void multitableInsert() {
        QFETCH(QString, sql);
        QFETCH(QString, outcome);
        QFETCH(QStringList, after);
        m_db->execute("create table small (id number(4), total number(7,2))");
        m_db->execute("create table large (id number(4), total number(5))");
        m_db->execute("insert into small values (1, 10)");
        QString result;
        try {
            result = QString::number(m_db->execute(sql.toStdString()));
        } catch (const EngineError& e) {
            result = QString::fromUtf8(e.what());
        }
        const QStringList rowsAfter = rows(
            "select 'S', id, total from small union all select 'L', id, total from large "
            "order by 1 desc, 2, 3");
        m_db->execute("drop table small");
        m_db->execute("drop table large");
        QVERIFY2(result.startsWith(outcome), qPrintable(result));
        QCOMPARE(rowsAfter, after);
    }

    // Oracle's ROLLBACK undoes what the transaction changed since its last
    // COMMIT; DDL commits (Concepts, Transactions). The engine commits each
    // statement that runs outside a transaction opened by SAVEPOINT, so a
    // ROLLBACK after such changes is refused rather than answered as if it
    // had undone them; inside a SAVEPOINT's transaction it undoes them.
    void rollback_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("outcome");  // of the last ROLLBACK; "" for none
        const QString update = "update emp set comm = comm where deptno = 10";
        const QString refused = "ORA-03001: unimplemented feature: ROLLBACK of changes";
        QTest::newRow("after an UPDATE") << QStringList{update, "rollback"} << refused;
        QTest::newRow("a second ROLLBACK") << QStringList{update, "rollback", "rollback"} << "";
        QTest::newRow("after COMMIT") << QStringList{update, "commit", "rollback"} << "";
        QTest::newRow("an UPDATE of no rows")
            << QStringList{"update emp set comm = 1 where 1 = 0", "rollback"} << "";
        QTest::newRow("after DDL, which commits")
            << QStringList{update, "create table scratch (n number)", "drop table scratch",
                           "rollback"}
            << "";
        QTest::newRow("after a block of inserts")
            << QStringList{"begin insert into dept values (50, 'TEMP', 'X'); delete from dept "
                           "where deptno = 50; end;",
                           "rollback"}
            << refused;
        QTest::newRow("inside a SAVEPOINT's transaction")
            << QStringList{"savepoint before_raise", update, "rollback"} << "";
    }
    void rollback() {
        QFETCH(QStringList, statements);
        QFETCH(QString, outcome);
        QString last;
        for (const QString& sql : statements) {
            last.clear();
            try {
                m_db->execute(sql.toStdString());
            } catch (const EngineError& e) {
                last = QString::fromUtf8(e.what());
            }
        }
        QVERIFY2(outcome.isEmpty() ? last.isEmpty() : last.startsWith(outcome), qPrintable(last));
    }

    void rollbackInsideASavepointUndoes() {
        m_db->execute("savepoint before_raise");
        m_db->execute("update emp set sal = sal * 2 where ename = 'SMITH'");
        QCOMPARE(rows("select sal from emp where ename = 'SMITH'"), QStringList{"1600"});
        m_db->execute("rollback");
        QCOMPARE(rows("select sal from emp where ename = 'SMITH'"), QStringList{"800"});
    }

    // A failure Oracle has no counterpart for keeps SQLite's words after
    // the engine's own code, SQLite's extended result code
    // (SQLITE_CONSTRAINT_DATATYPE, 3091, of a STRICT table). (Text into a
    // NUMBER column is Oracle's ORA-01722, and into a BLOB ORA-01465 unless
    // it is hexadecimal digits, from VALUES and queries alike.)
    void otherFailuresCarryOwnCode() {
        m_db->execute("create table ids (id blob) strict");
        QCOMPARE(rows("insert into ids select 'x' from dual"),
                 QStringList{"ORA-01465: invalid hex number"});
        QCOMPARE(rows("insert into ids select 1 from dual"),
                 QStringList{"QVL-03091: cannot store INT value in BLOB column IDS.ID"});
    }
};

QTEST_GUILESS_MAIN(TestOracleQueries)
#include "tst_oraclequeries.moc"
