// What the front end does by the types of values: date and timestamp
// arithmetic, interval literals, implicit conversions (text to DATE and
// NUMBER, dates to text in NLS_DATE_FORMAT), type-routed TRUNC, ROUND,
// TO_CHAR, EXTRACT and CAST, blank-padded CHAR comparison, values stored
// into typed columns, and the plans of date predicates. Expected values
// are those of Oracle's SQL Language Reference (its examples where it has
// them); dates are read back through TO_CHAR with an explicit format.

#include "../EngineTestUtil.h"
#include "LocalEngine.h"
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

const char* const kSchema[] = {
    ("create table emp (empno number(4) primary key, ename varchar2(10), hiredate date, sal "
     "number(7,2), code char(5))"),
    "create index emp_hiredate_ix on emp (hiredate)",
    "insert into emp values (7839, 'KING', date '1981-11-17', 5000, 'K')",
    "insert into emp values (7566, 'JONES', date '1981-04-02', 2975, 'J')",
    "insert into emp values (7788, 'SCOTT', date '1987-04-19', 3000, 'S')",
    "insert into emp values (7499, 'ALLEN', date '1981-02-20', 1600, 'A')",
    "insert into emp values (7521, 'WARD', date '1981-02-22', 1250, 'W')",
    "create table typed (d date, ts timestamp(3), n number, v varchar2(30))",
    "create table spans (id number, span interval day(3) to second(2), term interval year to "
    "month)",
    "insert into spans values (1, interval '-2' day, interval '-1-6' year to month)",
    "insert into spans values (2, interval '1 12:00:00' day to second, interval '2' year)",
    "insert into spans values (3, interval '-10' minute, interval '-3' month)",
    "insert into spans values (4, interval '100' day(3), interval '0-11' year to month)",
    "insert into spans values (5, numtodsinterval(-36, 'HOUR'), numtoyminterval(-1, 'YEAR'))",
};

}  // namespace

class TestDialectTypes : public QObject {
    Q_OBJECT

    sqlite3* m_db = nullptr;
    std::unique_ptr<schema::SqliteCatalog> m_catalog;
    std::shared_ptr<functions::SessionSettings> m_settings =
        std::make_shared<functions::SessionSettings>();

    std::string translate(const std::string& oracle) {
        m_catalog->clear();
        return translateStatement(oracle, m_catalog.get(), "SCOTT").sql;
    }

    // The rows of a statement, values joined by '|', NULL as <null>; a
    // refusal or an error as its message.
    QStringList run(const std::string& oracle) {
        std::string sql;
        try {
            sql = translate(oracle);
        } catch (const DialectError& e) {
            return {QString("refused: ") + e.what()};
        }
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return {QString("prepare failed: ") + sqlite3_errmsg(m_db) + " in " + sql.c_str()};
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

    // SQLite's plan of the translated statement, details joined by '; '.
    QString queryPlan(const std::string& oracle) {
        const std::string sql = "EXPLAIN QUERY PLAN " + translate(oracle);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return QString("prepare failed: ") + sqlite3_errmsg(m_db);
        QStringList details;
        while (sqlite3_step(st) == SQLITE_ROW)
            details << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
        sqlite3_finalize(st);
        return details.join("; ");
    }

    void checkRows(const QString& sql, const QStringList& rows) {
        const QStringList got = run(sql.toStdString());
        if (rows.size() == 1 && (rows.front().startsWith("ORA-"))) {
            // An error: Oracle's code, refused by the front end or raised
            // by a function while running.
            QVERIFY2(got.size() >= 1 && got.back().contains(rows.front()),
                     qPrintable(got.join(" / ")));
            return;
        }
        QVERIFY2(got == rows, qPrintable(got.join(" / ")));
    }

private slots:
    void initTestCase() {
        QCOMPARE(sqlite3_open(":memory:", &m_db), SQLITE_OK);
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        functions::registerOracleFunctions(m_db);
        QVERIFY(functions::registerEngineFunctions(m_db, m_settings));
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

    // DATE and TIMESTAMP arithmetic, with the documented meaning of the
    // number: days, fractions of a day for hours and minutes.
    void datetimeArithmetic_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("date + 1 is the next day")
            << "select to_char(date '2009-02-28' + 1, 'YYYY-MM-DD') from dual"
            << QStringList{"2009-03-01"};
        QTest::newRow("1.5 days is 36 hours")
            << "select to_char(date '2020-01-01' + 1.5, 'YYYY-MM-DD HH24:MI') from dual"
            << QStringList{"2020-01-02 12:00"};
        QTest::newRow("10/1440 is ten minutes")
            << "select to_char(date '2020-01-01' + 10/1440, 'HH24:MI:SS') from dual"
            << QStringList{"00:10:00"};
        QTest::newRow("number + date, date - number")
            << "select to_char(30 + date '2020-01-01', 'YYYY-MM-DD'), to_char(date '2020-03-01' "
               "- 1, 'YYYY-MM-DD') from dual"
            << QStringList{"2020-01-31|2020-02-29"};
        QTest::newRow("date - date counts days")
            << "select date '2020-01-31' - date '2020-01-01', to_date('2020-01-02 12:00', "
               "'YYYY-MM-DD HH24:MI') - date '2020-01-01' from dual"
            << QStringList{"30|1.5"};
        QTest::newRow("a column in arithmetic")
            << "select ename, hiredate + 30 - hiredate from emp where hiredate + 30 > date "
               "'1987-05-01'"
            << QStringList{"SCOTT|30"};
        QTest::newRow("SYSDATE arithmetic")
            << "select sysdate - sysdate, count(*) from emp where hiredate < sysdate - 30"
            << QStringList{"0|5"};
        QTest::newRow("timestamp + number is a date without the fraction")
            << "select to_char(timestamp '2020-01-01 10:00:00.25' + 1, 'YYYY-MM-DD HH24:MI:SS') "
               "from dual"
            << QStringList{"2020-01-02 10:00:00"};
        QTest::newRow("timestamp - timestamp is an interval")
            << "select extract(day from (timestamp '2020-01-02 03:00:00' - timestamp '2020-01-01 "
               "00:00:00')), extract(hour from (timestamp '2020-01-02 03:00:00' - timestamp "
               "'2020-01-01 00:00:00')) from dual"
            << QStringList{"1|3"};
        QTest::newRow("SYSTIMESTAMP is a timestamp")
            << "select extract(second from (systimestamp - systimestamp)), count(*) from dual "
               "where systimestamp > timestamp '2000-01-01 00:00:00' and current_date <= sysdate "
               "+ 1"
            << QStringList{"0|1"};
        QTest::newRow("date + interval day")
            << "select to_char(date '2020-01-31' + interval '1' day, 'YYYY-MM-DD'), "
               "to_char(date '2020-01-31' - interval '1' day, 'YYYY-MM-DD') from dual"
            << QStringList{"2020-02-01|2020-01-30"};
        QTest::newRow("timestamp + interval day to second(3)")
            << "select to_char(timestamp '2020-01-01 00:00:00' + interval '4 5:12:10.222' day to "
               "second(3), 'YYYY-MM-DD HH24:MI:SS.FF3') from dual"
            << QStringList{"2020-01-05 05:12:10.222"};
        QTest::newRow("NUMTODSINTERVAL in arithmetic")
            << "select to_char(date '2020-01-01' + numtodsinterval(36, 'HOUR'), 'YYYY-MM-DD "
               "HH24:MI') from dual"
            << QStringList{"2020-01-02 12:00"};
        QTest::newRow("NUMTOYMINTERVAL to a month without the day")
            << "select date '2004-08-31' + numtoyminterval(1, 'MONTH') from dual"
            << QStringList{"ORA-01839"};
        QTest::newRow("interval - interval literal")
            << "select extract(day from interval '2' day - interval '12' hour), extract(hour from "
               "interval '2' day - interval '12' hour) from dual"
            << QStringList{"1|12"};
    }
    void datetimeArithmetic() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // The interval literals of the SQL Language Reference, read back with
    // EXTRACT.
    void intervalLiterals_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        auto ym = [](const char* literal) {
            return QString("select extract(year from %1), extract(month from %1) from dual")
                .arg(literal);
        };
        auto ds = [](const char* literal) {
            return QString(
                       "select extract(day from %1), extract(hour from %1), extract(minute from "
                       "%1), extract(second from %1) from dual")
                .arg(literal);
        };
        QTest::newRow("'123-2' YEAR(3) TO MONTH")
            << ym("interval '123-2' year(3) to month") << QStringList{"123|2"};
        QTest::newRow("'4' YEAR") << ym("interval '4' year") << QStringList{"4|0"};
        QTest::newRow("'50' MONTH") << ym("interval '50' month") << QStringList{"4|2"};
        QTest::newRow("'300' MONTH(3)") << ym("interval '300' month(3)") << QStringList{"25|0"};
        QTest::newRow("'5-3' + '20' MONTH")
            << ym("(interval '5-3' year to month + interval '20' month)") << QStringList{"6|11"};
        QTest::newRow("'400 5' DAY(3) TO HOUR")
            << ds("interval '400 5' day(3) to hour") << QStringList{"400|5|0|0"};
        QTest::newRow("'11:12:10.2222222' HOUR TO SECOND(7)")
            << ds("interval '11:12:10.2222222' hour to second(7)")
            << QStringList{"0|11|12|10.2222222"};
        QTest::newRow("'10:22' MINUTE TO SECOND")
            << ds("interval '10:22' minute to second") << QStringList{"0|0|10|22"};
        QTest::newRow("'25' HOUR") << ds("interval '25' hour") << QStringList{"1|1|0|0"};
        QTest::newRow("'120' HOUR(3)") << ds("interval '120' hour(3)") << QStringList{"5|0|0|0"};
        QTest::newRow("'30.12345' SECOND(2,4) rounds")
            << ds("interval '30.12345' second(2,4)") << QStringList{"0|0|0|30.1235"};
        QTest::newRow("negated")
            << "select to_char(date '2020-01-02' + -interval '1' day, 'YYYY-MM-DD') from dual"
            << QStringList{"2020-01-01"};
        QTest::newRow("'123' YEAR: precision 2")
            << ym("interval '123' year") << QStringList{"ORA-01873"};
        QTest::newRow("month 13") << ym("interval '1-13' year to month")
                                  << QStringList{"ORA-01867"};
        QTest::newRow("minute 60")
            << ds("interval '1:60' hour to minute") << QStringList{"ORA-01867"};
        QTest::newRow("not a number") << ds("interval 'x' day") << QStringList{"ORA-01867"};
    }
    void intervalLiterals() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // What Oracle refuses in datetime arithmetic, refused before running.
    void refusals_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("date + date")
            << "select hiredate + sysdate from emp" << QStringList{"ORA-00975"};
        QTest::newRow("date * number")
            << "select sysdate * 2 from dual" << QStringList{"ORA-00932"};
        QTest::newRow("number - date")
            << "select 1 - hiredate from emp" << QStringList{"ORA-00932"};
        QTest::newRow("date compared with a number")
            << "select 1 from emp where hiredate = 5" << QStringList{"ORA-00932"};
        QTest::newRow("interval + number")
            << "select interval '1' day + 1 from dual" << QStringList{"ORA-30081"};
        QTest::newRow("number / interval")
            << "select 1 / interval '1' day from dual" << QStringList{"ORA-30081"};
        QTest::newRow("CAST of a number to DATE")
            << "select cast(1 as date) from dual" << QStringList{"ORA-00932"};
    }
    void refusals() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        const QStringList got = run(sql.toStdString());
        QVERIFY2(got.size() == 1 && got.front().startsWith("refused: " + rows.front()),
                 qPrintable(got.join(" / ")));
    }

    // Intervals compare and sort by their value (negative ones included),
    // wherever they come from: literals, NUMTO*INTERVAL, differences of
    // timestamps, columns of interval types.
    void intervalOrder_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("negative literal below a positive one")
            << "select count(*) from dual where interval '-2' day < interval '1' day and "
               "interval '1' day > interval '-2' day and interval '-2' day < interval '-1' day"
            << QStringList{"1"};
        QTest::newRow("NUMTODSINTERVAL results")
            << "select count(*) from dual where numtodsinterval(-5, 'HOUR') < "
               "numtodsinterval(3, 'HOUR') and numtodsinterval(-5, 'HOUR') < "
               "numtodsinterval(-4, 'HOUR') and numtodsinterval(90, 'MINUTE') = interval "
               "'1:30' hour to minute"
            << QStringList{"1"};
        QTest::newRow("NUMTOYMINTERVAL results")
            << "select count(*) from dual where numtoyminterval(-2, 'YEAR') < "
               "numtoyminterval(-1, 'MONTH') and interval '1-1' year to month > interval '11' "
               "month"
            << QStringList{"1"};
        QTest::newRow("timestamp differences")
            << "select count(*) from dual where timestamp '2020-01-01 00:00:00' - timestamp "
               "'2020-01-03 00:00:00' < timestamp '2020-01-01 00:00:00' - timestamp '2020-01-02 "
               "00:00:00'"
            << QStringList{"1"};
        QTest::newRow("BETWEEN and IN")
            << "select count(*) from dual where numtodsinterval(-1, 'DAY') between interval '-2' "
               "day and interval '0' day and interval '-1' day in (interval '-3' day, "
               "numtodsinterval(-24, 'HOUR'))"
            << QStringList{"1"};
        QTest::newRow("column against a literal")
            << "select id from spans where span < interval '-1' day order by id"
            << QStringList{"1", "5"};
        QTest::newRow("ORDER BY a column")
            << "select id from spans order by span" << QStringList{"1", "5", "3", "2", "4"};
        QTest::newRow("ORDER BY DESC, a position and a heading")
            << "select id, term t from spans order by 2 desc, id"
            << QStringList{"2|+000000002-00", "4|+000000000-11", "3|-000000000-03",
                           "5|-000000001-00", "1|-000000001-06"};
        QTest::newRow("ORDER BY a heading over a compound query")
            << "select span s from spans where id < 3 union all select span from spans where id "
               "> 3 order by s desc"
            << QStringList{"+000000100 00:00:00.000000000", "+000000001 12:00:00.000000000",
                           "-000000001 12:00:00.000000000", "-000000002 00:00:00.000000000"};
        QTest::newRow("MIN and MAX")
            << "select min(span), max(span), min(term), max(term) from spans"
            << QStringList{
                   "-000000002 00:00:00.000000000|+000000100 00:00:00.000000000|-000000001-06|"
                   "+000000002-00"};
        QTest::newRow("analytic ORDER BY")
            << "select id, row_number() over (order by span desc) from spans order by id"
            << QStringList{"1|5", "2|2", "3|3", "4|1", "5|4"};
        QTest::newRow("DISTINCT and GROUP BY keep equal values together")
            << "select count(distinct x), count(*) from (select numtodsinterval(24, 'HOUR') x "
               "from dual union all select interval '1' day from dual union all select "
               "interval '-1' day from dual)"
            << QStringList{"2|3"};
    }
    void intervalOrder() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // interval * number, number * interval, interval / number (Oracle's
    // matrix of datetime arithmetic); other products and quotients of
    // intervals are not defined.
    void intervalArithmetic_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("DAY TO SECOND times a fraction")
            << "select interval '1' day * 1.5, 2 * interval '3 4' day to hour from dual"
            << QStringList{"+000000001 12:00:00.000000000|+000000006 08:00:00.000000000"};
        QTest::newRow("DAY TO SECOND divided")
            << "select interval '3 4' day to hour / 2, interval '1' day / 3, interval '-1' "
               "second / 4 from dual"
            << QStringList{
                   "+000000001 14:00:00.000000000|+000000000 08:00:00.000000000|-000000000 "
                   "00:00:00.250000000"};
        QTest::newRow("YEAR TO MONTH scaled")
            << "select interval '1' year * 1.5, interval '2-7' year to month * 2, interval '2' "
               "year / -4 from dual"
            << QStringList{"+000000001-06|+000000005-02|-000000000-06"};
        QTest::newRow("a column scaled and negated")
            << "select span * 2, -span, span - interval '1' day from spans where id = 2"
            << QStringList{
                   "+000000003 00:00:00.000000000|-000000001 12:00:00.000000000|+000000000 "
                   "12:00:00.000000000"};
        QTest::newRow("interval - interval of columns")
            << "select a.span - b.span from spans a, spans b where a.id = 2 and b.id = 1"
            << QStringList{"+000000003 12:00:00.000000000"};
        QTest::newRow("a datetime moved by a scaled interval")
            << "select to_char(date '2020-01-01' + interval '1' hour * 30, 'YYYY-MM-DD HH24:MI') "
               "from dual"
            << QStringList{"2020-01-02 06:00"};
        QTest::newRow("NULL factor") << "select nvl(to_char(interval '1' day * null), 'null') "
                                        "from dual"
                                     << QStringList{"null"};
        QTest::newRow("divided by zero")
            << "select interval '1' day / 0 from dual" << QStringList{"ORA-01476"};
        QTest::newRow("beyond nine digits of days")
            << "select interval '999999999' day(9) * 2 from dual" << QStringList{"ORA-01873"};
        QTest::newRow("number / interval")
            << "select 2 / interval '1' day from dual" << QStringList{"ORA-30081"};
        QTest::newRow("interval * interval")
            << "select interval '1' day * interval '1' day from dual" << QStringList{"ORA-30081"};
    }
    void intervalArithmetic() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // (expr1 - expr2) DAY [(p)] TO SECOND [(f)]: leading precision 2 and
    // fraction 6 unless written, an error for a value with more leading
    // digits (SQL Language Reference, "Interval Expressions"); CAST to the
    // interval types.
    void intervalExpression_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("DATE - DATE DAY TO SECOND")
            << "select (to_date('2020-01-02 12:30', 'YYYY-MM-DD HH24:MI') - date '2020-01-01') "
               "day to second from dual"
            << QStringList{"+000000001 12:30:00.000000000"};
        QTest::newRow("negative difference")
            << "select (date '2020-01-01' - date '2020-01-03') day to second from dual"
            << QStringList{"-000000002 00:00:00.000000000"};
        QTest::newRow("fractional seconds rounded to the precision")
            << "select (timestamp '2020-01-01 00:00:01.1256' - timestamp '2020-01-01 "
               "00:00:00') day to second(2) from dual"
            << QStringList{"+000000000 00:00:01.130000000"};
        QTest::newRow("a column over 99 days needs DAY(3)")
            << "select (date '1982-01-01' - hiredate) day(3) to second from emp where empno = "
               "7499"
            << QStringList{"+000000315 00:00:00.000000000"};
        QTest::newRow("more days than the default precision")
            << "select (date '1982-01-01' - hiredate) day to second from emp where empno = 7499"
            << QStringList{"ORA-01873"};
        QTest::newRow("compared and ordered as an interval")
            << "select ename from emp where (hiredate - date '1981-04-02') day(4) to second > "
               "interval '-1' day order by (hiredate - date '1981-04-02') day(4) to second desc"
            << QStringList{"SCOTT", "KING", "JONES"};
        QTest::newRow("DAY alone is a column alias")
            << "select (date '2020-01-02' - date '2020-01-01') day from dual" << QStringList{"1"};
        QTest::newRow("a difference of intervals")
            << "select (interval '1' day - interval '30' hour) day to second, (interval '2-1' "
               "year to month - interval '3' month) year to month from dual"
            << QStringList{"-000000000 06:00:00.000000000|+000000001-10"};
        QTest::newRow("YEAR TO MONTH of a difference is not translated")
            << "select (date '2020-03-01' - date '2020-01-01') year to month from dual"
            << QStringList{"ORA-03001"};
        QTest::newRow("CAST text to intervals")
            << "select cast('1 02:03:04.5' as interval day to second), cast('-1-2' as interval "
               "year to month) from dual"
            << QStringList{"+000000001 02:03:04.500000000|-000000001-02"};
        QTest::newRow("CAST to an interval with too small a precision")
            << "select cast('100 00:00:00' as interval day(2) to second) from dual"
            << QStringList{"ORA-01873"};
        QTest::newRow("CAST of a number to an interval")
            << "select cast(1 as interval day to second) from dual" << QStringList{"ORA-00932"};
    }
    void intervalExpression() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // IN lists, = ANY / SOME / ALL and IN subqueries bring the values to
    // one type as a comparison does: text compared with a number is
    // converted to a number.
    void quantifiedConversions_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("= ANY of a list with text")
            << "select count(*) from dual where 3 = any (1, 2, '3') and 3 = some ('3') and 3 in "
               "(1, '3')"
            << QStringList{"1"};
        QTest::newRow("<> ALL of a list with text")
            << "select count(*) from dual where 3 <> all (1, '3')" << QStringList{"0"};
        QTest::newRow("> ANY, < ALL")
            << "select count(*) from dual where 3 > any (5, '2') and 3 < all ('4', 10) and not 3 "
               "> all ('2', 4)"
            << QStringList{"1"};
        QTest::newRow("NULL in the list leaves ALL undecided")
            << "select count(*) from dual where 3 > all (1, null) or not 3 > all (1, null)"
            << QStringList{"0"};
        QTest::newRow("a number column against texts")
            << "select ename from emp where empno = any ('7839', '7788') order by empno"
            << QStringList{"SCOTT", "KING"};
        QTest::newRow("IN a subquery of texts")
            << "select ename from emp where empno in (select '7839' from dual) and sal not in "
               "(select '3000' from dual)"
            << QStringList{"KING"};
        QTest::newRow("a date column = ANY of texts")
            << "select ename from emp where hiredate = any ('17-NOV-81', '19-APR-87') order by "
               "empno"
            << QStringList{"SCOTT", "KING"};
        QTest::newRow("text that is no number")
            << "select count(*) from emp where empno = any ('x')" << QStringList{"ORA-01722"};
        QTest::newRow("> ANY, >= ALL of a subquery")
            << "select count(*), sum(case when sal >= all (select sal from emp) then 1 end) from "
               "emp where sal > any (select sal from emp)"
            << QStringList{"4|1"};
        QTest::newRow("ANY and ALL of a subquery of texts")
            << "select ename from emp where empno > any (select '7800' from dual) and empno < "
               "all (select '7840' from dual union all select '7900' from dual)"
            << QStringList{"KING"};
        QTest::newRow("ALL of no rows is true, ANY false")
            << "select count(*) from dual where 3 > all (select 1 from dual where 1 = 0) and not "
               "3 > any (select 1 from dual where 1 = 0)"
            << QStringList{"1"};
        QTest::newRow("a NULL row leaves ALL undecided")
            << "select count(*) from dual where 3 > all (select 1 from dual union all select null "
               "from dual) or not 3 > all (select 1 from dual union all select null from dual)"
            << QStringList{"0"};
        QTest::newRow("the outer row's columns inside the comparison")
            << "select ename from emp e where sal < any (select sal / 2 from emp where empno <> "
               "e.empno) order by ename"
            << QStringList{"ALLEN", "WARD"};
    }
    void quantifiedConversions() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // ORDER BY of a grouped query names grouped expressions, aggregates or
    // select-list items (ORA-00979 otherwise, ORA-00937 without GROUP BY).
    void groupedOrderBy_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("a column not grouped")
            << "select code from emp group by code order by ename" << QStringList{"ORA-00979"};
        QTest::newRow("an expression over a column not grouped")
            << "select count(*) from emp group by code order by sal + 1"
            << QStringList{"ORA-00979"};
        QTest::newRow("aggregate query without GROUP BY")
            << "select count(*) from emp order by ename" << QStringList{"ORA-00937"};
        QTest::newRow("grouped expression, aggregate, position, heading")
            << "select substr(ename, 1, 1) ini, count(*) n from emp group by substr(ename, 1, "
               "1) order by count(*) desc, max(sal), 1, ini"
            << QStringList{"W|1", "A|1", "J|1", "S|1", "K|1"};
        QTest::newRow("a heading that is also a column")
            << "select upper(ename) ename from emp group by upper(ename) order by ename"
            << QStringList{"ALLEN", "JONES", "KING", "SCOTT", "WARD"};
    }
    void groupedOrderBy() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // Functions choosing among values of different types convert them by
    // Oracle's rule for each: NVL to the first argument's type, NVL2 to the
    // second's, COALESCE to NUMBER when numbers meet text, DECODE the
    // compared values to the first search value's type and the results to
    // the first result's; GREATEST and LEAST by the first argument. CASE
    // and NULLIF take values of one type only (ORA-00932).
    void choiceConversions_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("NVL of text and a number gives text")
            << "select count(*) from dual where nvl(cast(null as varchar2(3)), 10) = '10'"
            << QStringList{"1"};
        QTest::newRow("NVL of a number and text gives a number")
            << "select nvl(cast(null as number), '5') + 1, nvl(sal, '0') from emp where empno = "
               "7839"
            << QStringList{"6|5000"};
        QTest::newRow("NVL of a number and text that is no number")
            << "select nvl(1, 'x') from dual" << QStringList{"ORA-01722"};
        QTest::newRow("NVL of a date and text in the session's format")
            << "select count(*) from dual where nvl(cast(null as date), '01-JAN-81') = date "
               "'1981-01-01'"
            << QStringList{"1"};
        QTest::newRow("NVL of a date and a number")
            << "select nvl(hiredate, 1) from emp" << QStringList{"ORA-00932"};
        QTest::newRow("NVL2 converts the third to the second's type")
            << "select count(*) from dual where nvl2(null, 'a', 10) = '10' and nvl2(1, 5, '7') "
               "+ 1 = 6"
            << QStringList{"1"};
        QTest::newRow("COALESCE of numbers and text")
            << "select coalesce(null, '5', 3) + 1 from dual" << QStringList{"6"};
        QTest::newRow("COALESCE of a date and text")
            << "select coalesce(hiredate, 'none') from emp" << QStringList{"ORA-00932"};
        QTest::newRow("DECODE compares as the first search value")
            << "select decode(1, '1', 'one', 'other'), decode('2', 2, 'two', 'other') from dual"
            << QStringList{"one|two"};
        QTest::newRow("DECODE returns the first result's type")
            << "select count(*) from dual where decode(2, 1, 'a', 20) = '20' and decode(1, 1, "
               "10, '7') + 1 = 11"
            << QStringList{"1"};
        QTest::newRow("DECODE converts only the value it returns")
            << "select decode(2, 1, 10, 'x') from dual" << QStringList{"ORA-01722"};
        QTest::newRow("GREATEST and LEAST by the first argument")
            << "select greatest('10', 9), greatest(10, '9'), to_char(least(hiredate, "
               "'01-JAN-81'), 'YYYY-MM-DD') from emp where empno = 7839"
            << QStringList{"9|10|1981-01-01"};
        QTest::newRow("GREATEST and LEAST of intervals")
            << "select greatest(interval '-2' day, interval '1' day), "
               "least(numtodsinterval(-5, 'HOUR'), numtodsinterval(-4, 'HOUR')) from dual"
            << QStringList{"+000000001 00:00:00.000000000|-000000000 05:00:00.000000000"};
        QTest::newRow("CASE results of two types")
            << "select case when sal > 1 then 'high' else 0 end from emp"
            << QStringList{"ORA-00932"};
        QTest::newRow("simple CASE comparing a number with text")
            << "select case empno when '7839' then 1 end from emp" << QStringList{"ORA-00932"};
        QTest::newRow("CASE of numbers, and of dates")
            << "select case when 1 = 1 then 1 else 2.5 end, to_char(case when 1 = 0 then date "
               "'2020-01-01' else sysdate end, 'YYYY') - to_char(sysdate, 'YYYY') from dual"
            << QStringList{"1|0"};
        QTest::newRow("NULLIF of a number and text")
            << "select nullif(1, '1') from dual" << QStringList{"ORA-00932"};
    }
    void choiceConversions() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // TO_DATE and TO_TIMESTAMP without a format read the text with the
    // session's format (here DD-MON-RR) under Oracle's string-to-date
    // rules: punctuation may differ or be left out when numbers have all
    // their digits, MON matches a month's full name, RR a four-digit year.
    // A date given to them is first text in the session's format.
    void defaultDateFormat_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("the session's format")
            << "select to_char(to_date('10-AUG-16'), 'YYYY-MM-DD') from dual"
            << QStringList{"2016-08-10"};
        QTest::newRow("other punctuation, a full month name, four-digit year")
            << "select to_char(to_date('15/JAN/1998'), 'YYYY-MM-DD'), "
               "to_char(to_date('10AUGUST2016'), 'YYYY-MM-DD') from dual"
            << QStringList{"1998-01-15|2016-08-10"};
        QTest::newRow("ISO text: DD takes 20, MON meets digits")
            << "select to_date('2020-01-05') from dual" << QStringList{"ORA-01843"};
        QTest::newRow("TO_TIMESTAMP too")
            << "select to_timestamp('2020-01-05 10:00:00') from dual" << QStringList{"ORA-018"};
        QTest::newRow("a date passes through the session's format")
            << "select to_char(to_date(to_date('2020-01-05 10:11', 'YYYY-MM-DD HH24:MI')), "
               "'YYYY-MM-DD HH24:MI') from dual"
            << QStringList{"2020-01-05 00:00"};
        QTest::newRow("implicit conversion of a column's text")
            << "select ename from emp where hiredate = '17-NOV-81'" << QStringList{"KING"};
        // ISO text against a DATE is read by DD-MON-RR too (String-to-Date
        // Conversion Rules): "2020" is no day of the month... DD takes
        // "20", MON meets "20".
        QTest::newRow("a DATE column against ISO text")
            << "select count(*) from emp where hiredate > '1981-01-05'" << QStringList{"ORA-01843"};
        QTest::newRow("BETWEEN ISO texts")
            << "select count(*) from emp where hiredate between '1981-01-01' and '1981-12-31'"
            << QStringList{"ORA-01843"};
        QTest::newRow("IN a list of ISO texts")
            << "select count(*) from emp where hiredate in ('1981-11-17')"
            << QStringList{"ORA-01843"};
        QTest::newRow("NVL of a DATE and ISO text")
            << "select nvl(hiredate, '1981-01-01') from emp" << QStringList{"ORA-01843"};
    }
    void defaultDateFormat() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD': ISO text is then a
    // date wherever text meets a DATE, and text in DD-MON-RR is not.
    void isoTextInTheSessionsFormat_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("comparison")
            << "select count(*) from emp where hiredate > '1981-04-02'" << QStringList{"2"};
        QTest::newRow("BETWEEN")
            << "select count(*) from emp where hiredate between '1981-02-01' and '1981-02-28'"
            << QStringList{"2"};
        QTest::newRow("CAST to DATE")
            << "select to_char(cast('2000-01-01' as date), 'DD.MM.YYYY') from dual"
            << QStringList{"01.01.2000"};
        QTest::newRow("DD-MON-RR text no longer read")
            << "select count(*) from emp where hiredate > '02-APR-81'" << QStringList{"ORA-01"};
    }
    void isoTextInTheSessionsFormat() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        struct Restore {
            functions::SessionSettings& settings;
            std::string saved;
            ~Restore() { settings.dateFormat = saved; }
        } restore{*m_settings, m_settings->dateFormat};
        m_settings->dateFormat = "YYYY-MM-DD";
        checkRows(sql, rows);
        // The column is compared with the converted constant: its index.
        const QString plan = queryPlan("select ename from emp where hiredate > '1981-04-02'");
        QVERIFY2(plan.contains("USING INDEX EMP_HIREDATE_IX (HIREDATE>?)"), qPrintable(plan));
    }

    // Comparisons bring both sides to one type as Oracle does: text to a
    // DATE with NLS_DATE_FORMAT (DD-MON-RR), DATE to TIMESTAMP, text to a
    // NUMBER (ORA-01722 when it is none); CHAR values blank-padded.
    void comparisons_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("DATE literal is midnight")
            << "select ename from emp where hiredate = date '1981-11-17'" << QStringList{"KING"};
        QTest::newRow("text in the session's date format")
            << "select ename from emp where hiredate = '17-NOV-81'" << QStringList{"KING"};
        QTest::newRow("BETWEEN a literal and TO_DATE")
            << "select ename from emp where hiredate between date '1981-02-01' and "
               "to_date('1981-02-28', 'YYYY-MM-DD') order by hiredate"
            << QStringList{"ALLEN", "WARD"};
        QTest::newRow("IN a list of texts")
            << "select count(*) from emp where hiredate in ('17-NOV-81', '02-APR-81')"
            << QStringList{"2"};
        QTest::newRow("DATE against TIMESTAMP")
            << "select count(*) from emp where hiredate = timestamp '1981-11-17 00:00:00' or "
               "hiredate > timestamp '1987-04-18 23:59:59.5'"
            << QStringList{"2"};
        QTest::newRow("number against text")
            << "select ename from emp where empno = '7839' or '7788' = empno order by empno"
            << QStringList{"SCOTT", "KING"};
        QTest::newRow("text that is no number")
            << "select count(*) from emp where sal = 'abc'" << QStringList{"ORA-01722"};
        QTest::newRow("text in arithmetic")
            << "select '5' * 2, -'3', 10 / '4' from dual" << QStringList{"10|-3|2.5"};
        QTest::newRow("text that is no number in arithmetic")
            << "select '1a' + 1 from dual" << QStringList{"ORA-01722"};
        QTest::newRow("text literals blank-padded")
            << "select count(*) from dual where 'a ' = 'a' and 'a' < 'a  b'" << QStringList{"1"};
        QTest::newRow("VARCHAR2 not padded")
            << "select count(*) from emp where ename = 'KING ' or cast('a' as varchar2(3)) = 'a "
               "'"
            << QStringList{"0"};
        QTest::newRow("CHAR column against a literal")
            << "select ename from emp where code = 'K   '" << QStringList{"KING"};
        QTest::newRow("empty results are NULL")
            << "select nvl('' || '', 'null'), nvl(substr('abc', 3, 0), 'null'), 'a' || '' "
               "from dual"
            << QStringList{"null|null|a"};
    }
    void comparisons() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // Functions whose meaning follows the argument's type, and dates where
    // text is wanted (NLS_DATE_FORMAT, which starts as DD-MON-RR).
    void typedFunctions_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("date to text")
            << "select to_char(hiredate), hiredate || '!', substr(hiredate, 4, 3), "
               "length(hiredate), cast(hiredate as varchar2(20)) from emp where empno = 7839"
            << QStringList{"17-NOV-81|17-NOV-81!|NOV|9|17-NOV-81"};
        QTest::newRow("TRUNC and ROUND of a date to the year")
            << "select to_char(trunc(date '1992-10-27', 'YEAR'), 'YYYY-MM-DD'), "
               "to_char(round(date '2000-10-27', 'YEAR'), 'YYYY-MM-DD') from dual"
            << QStringList{"1992-01-01|2001-01-01"};
        QTest::newRow("TRUNC of a date column to the day")
            << "select ename from emp where trunc(hiredate) = date '1981-11-17'"
            << QStringList{"KING"};
        QTest::newRow("TRUNC and ROUND of numbers")
            << "select trunc(15.79, 1), round(15.193, -1), trunc(sal / 7) from emp where empno "
               "= 7839"
            << QStringList{"15.7|20|714"};
        QTest::newRow("EXTRACT from a date")
            << "select extract(year from date '1998-03-07'), extract(month from hiredate) from "
               "emp where empno = 7839"
            << QStringList{"1998|11"};
        QTest::newRow("EXTRACT of a time field from a DATE")
            << "select extract(hour from hiredate) from emp" << QStringList{"ORA-30076"};
        QTest::newRow("TO_CHAR of text is the text")
            << "select to_char(cast('2020-01-01 00:00:00' as varchar2(30))), to_char(sal) from "
               "emp where empno = 7839"
            << QStringList{"2020-01-01 00:00:00|5000"};
        QTest::newRow("CAST text to DATE in the session's format")
            << "select to_char(cast('17-NOV-81' as date), 'YYYY-MM-DD') from dual"
            << QStringList{"1981-11-17"};
        QTest::newRow("CAST to TIMESTAMP")
            << "select to_char(cast(date '2020-01-01' as timestamp), 'YYYY-MM-DD "
               "HH24:MI:SS.FF6'), to_char(cast(timestamp '2020-01-01 10:00:00.123456789' as "
               "timestamp(3)), 'FF9') from dual"
            << QStringList{"2020-01-01 00:00:00.000000|123000000"};
        QTest::newRow("CAST text to NUMBER")
            << "select cast('12' as number) + 1 from dual" << QStringList{"13"};
        QTest::newRow("CAST of text that is no number")
            << "select cast('x' as number) from dual" << QStringList{"ORA-01722"};
        // Text is no datetime: TRUNC, ROUND and TO_CHAR with a format take
        // their NUMBER forms, which convert it implicitly (ROUND (number):
        // "any nonnumeric data type that can be implicitly converted to a
        // numeric data type"; TO_CHAR (character) has no format), and
        // EXTRACT's expr "must evaluate to" a datetime or an interval.
        QTest::newRow("TRUNC of text is TRUNC of a number")
            << "select trunc('15.79', 1), round('15.193', -1) from dual" << QStringList{"15.7|20"};
        QTest::newRow("TRUNC of a date's text")
            << "select trunc('2020-01-05') from dual" << QStringList{"ORA-01722"};
        QTest::newRow("ROUND of a date's text")
            << "select round('17-NOV-81', 'YEAR') from dual" << QStringList{"ORA-01722"};
        QTest::newRow("TO_CHAR of a date's text with a format")
            << "select to_char('2020-01-05', 'YYYY') from dual" << QStringList{"ORA-01722"};
        QTest::newRow("EXTRACT from text")
            << "select extract(year from '2020-01-05') from dual" << QStringList{"ORA-30076"};
        QTest::newRow("CAST of ISO text to DATE")
            << "select cast('2000-01-01' as date) from dual" << QStringList{"ORA-01843"};
        QTest::newRow("GREATEST of a DATE and text in the session's format")
            << "select to_char(greatest(hiredate, '01-JAN-90'), 'YYYY-MM-DD') from emp where "
               "empno = 7839"
            << QStringList{"1990-01-01"};
        QTest::newRow("GREATEST of a DATE and ISO text")
            << "select greatest(hiredate, '1990-01-01') from emp" << QStringList{"ORA-01843"};
    }
    void typedFunctions() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // SQL/JSON over SQLite's JSON functions: the SQL Language Reference's
    // examples, with their documents written as strict JSON. A missing
    // field is an error handled by ON ERROR when there is no ON EMPTY
    // (JSON Developer's Guide, "Empty-Field Clause").
    void json_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("JSON_VALUE")
            << "select json_value('{\"a\":100}', '$.a'), json_value('{\"a\":100}', '$.a' "
               "returning number) + 1, json_value('{\"a\":100}', '$.b' default 'none' on error) "
               "from dual"
            << QStringList{"100|101|none"};
        QTest::newRow("JSON_QUERY of an object in an array")
            << "select json_query('[{\"a\":100},{\"a\":200},{\"a\":300}]', '$[1]'), "
               "json_query('[{\"a\":100},{\"a\":200},{\"a\":300}]', '$[1]' with conditional "
               "wrapper), json_query('[{\"a\":100},{\"a\":200},{\"a\":300}]', '$[1]' with "
               "unconditional wrapper) from dual"
            << QStringList{"{\"a\":200}|{\"a\":200}|[{\"a\":200}]"};
        QTest::newRow("JSON_QUERY of scalars")
            << "select json_query('[0,1,2,3,4]', '$[3]' with wrapper), json_query('{\"a\":100, "
               "\"b\":200}', '$.a' with wrapper), json_query('{\"a\":100}', '$.a'), "
               "json_query('{\"a\":100}', '$.a' empty on error), json_query('not json', '$' "
               "empty object on error), json_query('{\"a\":100}', '$.b' empty on error) from "
               "dual"
            << QStringList{"[3]|[100]|<null>|[]|{}|[]"};
        QTest::newRow("JSON_EXISTS in a condition")
            << "select count(*) from dual where json_exists('{\"first\":\"John\", "
               "\"nothing\":null}', '$.first') and json_exists('{\"nothing\":null}', "
               "'$.nothing') and not json_exists('{\"a\":1}', '$.b') and not "
               "json_exists('oops', '$.a')"
            << QStringList{"1"};
        QTest::newRow("JSON_OBJECT with a date")
            << "select json_object('name' value ename, 'hireDate' value hiredate), "
               "json_object(key 'n' value sal, 'o' : json_object('x' value null)) from emp where "
               "empno = 7839"
            << QStringList{
                   "{\"name\":\"KING\",\"hireDate\":\"1981-11-17T00:00:00\"}|{\"n\":5000,"
                   "\"o\":{\"x\":null}}"};
        QTest::newRow("JSON_ARRAYAGG leaves NULLs out")
            << "select json_arrayagg(case when sal > 2900 then empno end) from emp where empno "
               "in (7839, 7499)"
            << QStringList{"[7839]"};
        QTest::newRow("IS JSON")
            << "select count(case when d is json then 1 end), count(case when d is not json then "
               "1 end) from (select '[ \"LIT192\", \"CS141\", \"HIS160\" ]' d from dual union "
               "all select '{ \"Name\": \"John\" }' from dual union all select '{ "
               "\"isEnrolled\" : true }' from dual union all select null from dual union all "
               "select 'This is not well-formed JSON data' from dual)"
            << QStringList{"3|1"};
        QTest::newRow("a path with a wildcard is refused")
            << "select json_query('[0,1]', '$[*]' with wrapper) from dual"
            << QStringList{"ORA-03001"};
    }
    void json() {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        checkRows(sql, rows);
    }

    // The session's NLS_DATE_FORMAT is read when the statement runs: the
    // same statement text follows a change of it.
    void sessionDateFormat() {
        const std::string query =
            "select to_char(hiredate), hiredate || '' from emp where hiredate = '17.11.1981'";
        const QStringList expected{"17.11.1981|17.11.1981"};
        QVERIFY(run(query) != expected);
        m_settings->dateFormat = "DD.MM.YYYY";
        const QStringList rows = run(query);
        m_settings->dateFormat = "DD-MON-RR";
        QCOMPARE(rows, expected);
    }

    // Values stored into typed columns are converted as Oracle converts
    // them; a TIMESTAMP(3) keeps three digits.
    void storedValues() {
        QCOMPARE(run("insert into typed (d, ts, n, v) values ('17-NOV-81', timestamp '2020-01-01 "
                     "10:00:00.12345', '42', sysdate)"),
                 QStringList{});
        QCOMPARE(run("select to_char(d, 'YYYY-MM-DD'), to_char(ts, 'HH24:MI:SS.FF9'), n + 1 from "
                     "typed"),
                 QStringList{"1981-11-17|10:00:00.123000000|43"});
        QCOMPARE(run("update typed set d = '01-JAN-20', ts = date '2020-02-03'"), QStringList{});
        QCOMPARE(run("select to_char(d, 'YYYY-MM-DD'), to_char(ts, 'YYYY-MM-DD HH24:MI:SS.FF3') "
                     "from typed"),
                 QStringList{"2020-01-01|2020-02-03 00:00:00.000"});
        const QStringList refused = run("insert into typed (n) values ('abc')");
        QVERIFY2(refused.size() == 1 && refused.front().contains("ORA-01722"),
                 qPrintable(refused.join(" / ")));
        QCOMPARE(run("select count(*) from typed"), QStringList{"1"});
    }

    // A DATE column compared with a date expression stays bare, so that
    // its index is searched; the conversions go on the other side.
    void plans_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("search");
        QTest::newRow("SYSDATE - 30") << "select ename from emp where hiredate > sysdate - 30"
                                      << "USING INDEX EMP_HIREDATE_IX (HIREDATE>?)";
        QTest::newRow("BETWEEN a DATE literal and TO_DATE")
            << "select ename from emp where hiredate between date '1981-01-01' and "
               "to_date('1981-12-31', 'YYYY-MM-DD')"
            << "USING INDEX EMP_HIREDATE_IX (HIREDATE>? AND HIREDATE<?)";
        QTest::newRow("text in the session's format")
            << "select ename from emp where hiredate = '17-NOV-81'"
            << "USING INDEX EMP_HIREDATE_IX (HIREDATE=?)";
        QTest::newRow("a number column = ANY of texts")
            << "select ename from emp where empno = any ('7839', '7788')"
            << "(EMPNO=?)";
        QTest::newRow("a number column IN a subquery of texts")
            << "select ename from emp where empno in (select '7839' from dual)"
            << "(EMPNO=?)";
        QTest::newRow("against a TIMESTAMP the column is converted")
            << "select ename from emp where hiredate = systimestamp"
            << "SCAN EMP";
    }
    void plans() {
        QFETCH(QString, sql);
        QFETCH(QString, search);
        const QString plan = queryPlan(sql.toStdString());
        QVERIFY2(plan.contains(search), qPrintable(plan));
    }

    // The engine's connection: LIKE tells case as Oracle's does, and a
    // date matched against a pattern is its text in NLS_DATE_FORMAT.
    void likeOnTheEngine() {
        auto db = Connection::open("", "SCOTT");
        QVERIFY(db);
        QCOMPARE(enginetest::firstColumn(
                     *db, "select count(*) from dual where 'abc' like 'ABC' or 'abc' like 'A%'"),
                 QStringList{"0"});
        QCOMPARE(enginetest::firstColumn(*db,
                                         "select count(*) from dual where 'abc' like 'a_c' and "
                                         "date '2020-11-17' like '17-NOV-%'"),
                 QStringList{"1"});
    }

    // The same through the engine's EXPLAIN PLAN on the sample database:
    // an index range scan of the date column's index.
    void explainPlanOfDatePredicate() {
        auto db = Connection::open("", "SCOTT");
        QVERIFY(db);
        try {
            db->execute("drop table plan_table");
        } catch (const EngineError&) {
        }
        db->execute(
            "create table plan_table (statement_id varchar2(30), plan_id number, timestamp date, "
            "remarks varchar2(4000), operation varchar2(30), options varchar2(255), object_node "
            "varchar2(128), object_owner varchar2(128), object_name varchar2(128), "
            "object_alias varchar2(261), object_instance number, object_type varchar2(30), "
            "optimizer varchar2(255), search_columns number, id number, parent_id number, "
            "depth number, position number, cost number, cardinality number, bytes number, "
            "other_tag varchar2(255), partition_start varchar2(255), partition_stop "
            "varchar2(255), partition_id number, other long, distribution varchar2(30), "
            "cpu_cost number, io_cost number, temp_space number, access_predicates "
            "varchar2(4000), filter_predicates varchar2(4000), projection varchar2(4000), time "
            "number, qblock_name varchar2(128), other_xml clob)");
        db->execute(
            "explain plan set statement_id = 'D' for select order_id from orders where "
            "order_date > sysdate - 30");
        const QStringList steps = enginetest::firstColumn(
            *db,
            "select operation || ' ' || options || ' ' || object_name from plan_table where "
            "statement_id = 'D' order by id");
        QVERIFY2(steps.contains("INDEX RANGE SCAN ORD_DATE_IX"), qPrintable(steps.join(" / ")));
        // Text compared with the column is converted once, by the session's
        // format: DD-MON-RR first, then YYYY-MM-DD; the index stays.
        for (const char* format : {"DD-MON-RR", "YYYY-MM-DD"}) {
            db->execute(std::string("alter session set nls_date_format = '") + format + "'");
            const std::string date =
                std::string(format) == "DD-MON-RR" ? "01-JUN-24" : "2024-06-01";
            db->execute("delete from plan_table");
            db->execute(
                "explain plan set statement_id = 'T' for select order_id from orders where "
                "order_date > '" +
                date + "'");
            const QStringList text = enginetest::firstColumn(
                *db,
                "select operation || ' ' || options || ' ' || object_name from plan_table where "
                "statement_id = 'T' order by id");
            QVERIFY2(text.contains("INDEX RANGE SCAN ORD_DATE_IX"), qPrintable(text.join(" / ")));
        }
    }
};

QTEST_GUILESS_MAIN(TestDialectTypes)
#include "tst_dialecttypes.moc"
