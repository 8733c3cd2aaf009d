// The Oracle dialect as the engine answers it: expressions, functions,
// hierarchical queries, the one-statement rule, and the plan table
// statements that Quorvel sends.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <QRegularExpression>
#include <QtTest>

using namespace localengine;
using enginetest::column;
using enginetest::firstColumn;

namespace {

const std::string kCreatePlanTable =
    "create table PLAN_TABLE (statement_id  varchar2(30),timestamp     date,remarks       "
    "varchar2(80),"
    "operation     varchar2(30),options        varchar2(30),object_node   varchar2(128),"
    "object_owner  varchar2(30),object_name   varchar2(30),object_instance numeric,"
    "object_type     varchar2(30),optimizer       varchar2(255),search_columns  number,id  numeric,"
    "parent_id numeric,position numeric,cost  numeric,cardinality numeric,bytes  numeric,"
    "other_tag       varchar2(255),partition_start varchar2(255),partition_stop  varchar2(255),"
    "partition_id    numeric,other  long)";

std::string readBack(const std::string& id) {
    return "SELECT DECODE(id,0,'',LPAD(' ',2*(LEVEL-1))||level||'.'||position)||' '||operation||' "
           "'||options||' '||"
           "object_name||' '||object_type||' '||DECODE(id,0,'Cost='||position) QUERY_PLAN FROM "
           "PLAN_TABLE "
           "START WITH id=0 AND statement_id ='" +
           id + "' CONNECT BY PRIOR id=parent_id AND statement_id='" + id + "'";
}

}  // namespace

class TestSqlTranslator : public QObject {
    Q_OBJECT

    std::unique_ptr<Connection> m_db;

    QString scalar(const std::string& expression) {
        const ResultTable t = m_db->query("SELECT " + expression + " FROM DUAL");
        return enginetest::cellText(t.rows.at(0).at(0));
    }

private slots:
    void initTestCase() {
        m_db = Connection::open("", "scott");
        // A small tree: 1 has children 2 and 3 (in that order of insertion),
        // 2 has 4 and 6, 3 has 5; 7 is a second root.
        m_db->execute("create table TREE (id number, parent number, name varchar2(10))");
        const char* rows[] = {"1, null, 'root'", "2, 1, 'a'",  "3, 1, 'b'",       "4, 2, 'a1'",
                              "5, 3, 'b1'",      "6, 2, 'a2'", "7, null, 'other'"};
        for (const char* r : rows)
            m_db->execute(std::string("insert into TREE values (") + r + ")");
        // Children stored in an order that neither their ids nor their
        // names follow.
        m_db->execute("create table SHUFFLED (name varchar2(10), id number, parent number)");
        for (const char* r : {"'r', 1, null", "'m', 3, 1", "'z', 2, 1", "'a', 4, 1", "'m1', 5, 3"})
            m_db->execute(std::string("insert into SHUFFLED values (") + r + ")");
        // The same tree through a view, and in a table without row ids.
        m_db->execute("create view TREE_V as select * from TREE");
        m_db->execute(
            "create table TREE_W (id integer primary key, parent number, name varchar2(10)) "
            "without rowid");
        m_db->execute("insert into TREE_W select id, parent, name from TREE");
        // 2 -> 3 -> 4 -> 2 is a loop; 1 stands alone.
        m_db->execute("create table LOOPED (id number, parent number)");
        for (const char* r : {"1, null", "2, 4", "3, 2", "4, 3"})
            m_db->execute(std::string("insert into LOOPED values (") + r + ")");
    }

    void expressions_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        // || treats null as empty text and is null only when all is empty
        QTest::newRow("null right") << "'a'||NULL"
                                    << "a";
        QTest::newRow("numbers, nulls and text") << "1.5||'x'||NULL||-3||0.25"
                                                 << "1.5x-3.25";
        QTest::newRow("more pieces than fit inline")
            << "'a'||1||'b'||2||'c'||3||'d'||4||'e'||5||'f'||6||'g'||7||'h'||8||'i'||9"
            << "a1b2c3d4e5f6g7h8i9";
        QTest::newRow("lpad with a longer filler") << "lpad('x', 6, 'ab')"
                                                   << "ababax";
        QTest::newRow("lpad with a multibyte filler") << "lpad('x', 4, 'éü')"
                                                      << "éüéx";
        QTest::newRow("null left") << "NULL||'b'"
                                   << "b";
        QTest::newRow("all null") << "NULL||NULL"
                                  << "<null>";
        QTest::newRow("empty is null") << "''||''"
                                       << "<null>";
        QTest::newRow("empty literal") << "''"
                                       << "<null>";
        QTest::newRow("number text") << "'x'||1||'.'||2"
                                     << "x1.2";
        QTest::newRow("fraction like oracle") << "'x'||0.5"
                                              << "x.5";
        QTest::newRow("integral real") << "'x'||2.0"
                                       << "x2";
        // Oracle: || on the level of + and -, below * and /
        QTest::newRow("times binds tighter") << "1||2*3"
                                             << "16";
        QTest::newRow("plus left to right") << "1+2||'x'"
                                            << "3x";
        QTest::newRow("concat then plus") << "'1'||'2'+1"
                                          << "13";
        QTest::newRow("unary minus") << "-1||'a'"
                                     << "-1a";
        QTest::newRow("in parentheses") << "('a'||NULL)||('b')"
                                        << "ab";
        QTest::newRow("case operand") << "CASE WHEN 1=1 THEN 'y'||NULL END||'z'"
                                      << "yz";
        QTest::newRow("concat function") << "CONCAT('a', NULL)"
                                         << "a";
        QTest::newRow("exact division") << "10/4"
                                        << "2.5";
        QTest::newRow("whole division") << "10/5"
                                        << "2";
        // DECODE: NULL matches NULL, text meets numbers, default or null
        QTest::newRow("decode null match") << "DECODE(NULL, NULL, 'n', 'o')"
                                           << "n";
        QTest::newRow("decode second pair") << "DECODE(2, 1, 'one', 2, 'two')"
                                            << "two";
        QTest::newRow("decode default") << "DECODE(3, 1, 'one', 'dflt')"
                                        << "dflt";
        QTest::newRow("decode no default") << "DECODE(3, 1, 'one')"
                                           << "<null>";
        QTest::newRow("decode text number") << "DECODE('1', 1, 'ok', 'no')"
                                            << "ok";
        QTest::newRow("decode empty result") << "DECODE(0, 0, '', 'x')"
                                             << "<null>";
        QTest::newRow("nvl null") << "NVL(NULL, 'x')"
                                  << "x";
        QTest::newRow("nvl value") << "NVL('v', 'x')"
                                   << "v";
        QTest::newRow("nvl2 value") << "NVL2(1, 'y', 'z')"
                                    << "y";
        QTest::newRow("nvl2 null") << "NVL2(NULL, 'y', 'z')"
                                   << "z";
        QTest::newRow("lpad") << "LPAD('ab', 5, '*')"
                              << "***ab";
        QTest::newRow("lpad default blank") << "LPAD('ab', 4)||'|'"
                                            << "  ab|";
        QTest::newRow("lpad truncates") << "LPAD('abcdef', 3)"
                                        << "abc";
        QTest::newRow("lpad zero is null") << "LPAD(' ', 0)"
                                           << "<null>";
        QTest::newRow("lpad repeats pattern") << "LPAD('x', 6, 'ab')"
                                              << "ababax";
        QTest::newRow("lpad counts characters") << "LPAD('日本', 3, '*')"
                                                << "*日本";
        QTest::newRow("rpad") << "RPAD('ab', 5, '*')"
                              << "ab***";
        QTest::newRow("rpad null pad") << "RPAD('ab', 5, NULL)"
                                       << "<null>";
        QTest::newRow("quoted quote") << "'it''s'"
                                      << "it's";
        QTest::newRow("q quote") << "q'[it's]'"
                                 << "it's";
        QTest::newRow("date literal") << "TO_CHAR(DATE '2020-01-31', 'YYYY-MM-DD HH24:MI:SS')"
                                      << "2020-01-31 00:00:00";
        QTest::newRow("comment") << "1 /* one */ + -- two\n 1"
                                 << "2";
        QTest::newRow("mod") << "MOD(7, 3)"
                             << "1";
        QTest::newRow("date round trip")
            << "TO_CHAR(TO_DATE('07-DEC-2026 13:05', 'DD-MON-YYYY HH24:MI'), 'YYYY/MM/DD HH:MI PM')"
            << "2026/12/07 01:05 PM";
        QTest::newRow("bad date") << "NVL2(TO_DATE('2026-13-01', 'YYYY-MM-DD'), 1, 0)"
                                  << "error";
        QTest::newRow("add months to month end") << "ADD_MONTHS(DATE '2024-01-31', 1)"
                                                 << "2024-02-29 00:00:00";
        QTest::newRow("add months from a month end") << "ADD_MONTHS(DATE '2024-02-29', 1)"
                                                     << "2024-03-31 00:00:00";
        QTest::newRow("add months into a leap February before 1582")
            << "ADD_MONTHS(DATE '1500-01-31', 1)"
            << "1500-02-29 00:00:00";
        // ROUND and TRUNC on decimal digits, halves away from zero
        QTest::newRow("round one place") << "ROUND(15.193, 1)"
                                         << "15.2";
        QTest::newRow("round to tens") << "ROUND(15.193, -1)"
                                       << "20";
        QTest::newRow("round half away from zero") << "ROUND(-2.5)||' '||ROUND(2.675, 2)"
                                                   << "-3 2.68";
        QTest::newRow("trunc one place") << "TRUNC(15.79, 1)"
                                         << "15.7";
        QTest::newRow("trunc to tens") << "TRUNC(15.79, -1)"
                                       << "10";
        QTest::newRow("round text that is a number") << "ROUND('12.5')"
                                                     << "13";
        QTest::newRow("abs of text that is no number") << "ABS('abc')"
                                                       << "error";
        QTest::newRow("greatest") << "GREATEST(1, 5, 3)"
                                  << "5";
        QTest::newRow("least text") << "LEAST('b', 'a')"
                                    << "a";
        QTest::newRow("greatest with null") << "GREATEST(1, NULL)"
                                            << "<null>";
        QTest::newRow("initcap") << "INITCAP('hello wORLD')"
                                 << "Hello World";
        QTest::newRow("user is the owner") << "USER"
                                           << "SCOTT";
        QTest::newRow("dual has one row") << "(SELECT COUNT(*) FROM DUAL)"
                                          << "1";
    }
    void expressions() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        if (expected == "error")
            QVERIFY_THROWS_EXCEPTION(EngineError, scalar(expression.toStdString()));
        else
            QCOMPARE(scalar(expression.toStdString()), expected);
    }

    void sysdateIsCurrentDateTime() {
        const QString now = scalar("SYSDATE");
        QVERIFY2(
            QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(now).hasMatch(),
            qPrintable(now));
        QCOMPARE(now.left(4).toInt(), QDate::currentDate().year());
    }

    void columnHeadings() {
        const ResultTable t = m_db->query(
            "select name, t.id, id*2, name n, name \"Mixed\", count(*) over () from TREE t where "
            "id = 1");
        QCOMPARE(enginetest::columnNames(t),
                 QStringList({"NAME", "ID", "ID*2", "N", "Mixed", "COUNT(*)OVER()"}));
        QCOMPARE(enginetest::columnNames(m_db->query("select * from TREE where 1 = 0")),
                 QStringList({"ID", "PARENT", "NAME"}));
    }

    void hierarchies_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("depth first, siblings in table order")
            << "select name from TREE start with id = 1 connect by prior id = parent"
            << QStringList{"root", "a", "a1", "a2", "b", "b1"};
        QTest::newRow("siblings in stored order, not by id or name")
            << "select name from SHUFFLED start with id = 1 connect by prior id = parent"
            << QStringList{"r", "m", "m1", "z", "a"};
        QTest::newRow("level and indentation")
            << "select lpad(' ', 2*(level-1))||level||':'||name from TREE start with parent is "
               "null "
               "connect by prior id = parent"
            << QStringList{"1:root", "  2:a",    "    3:a1", "    3:a2",
                           "  2:b",  "    3:b1", "1:other"};
        QTest::newRow("prior on the right walks up")
            << "select name from TREE start with id = 4 connect by id = prior parent"
            << QStringList{"a1", "a", "root"};
        QTest::newRow("further condition prunes a subtree")
            << "select name from TREE start with id = 1 connect by prior id = parent and name <> "
               "'a'"
            << QStringList{"root", "b", "b1"};
        QTest::newRow("where filters rows, keeps their children")
            << "select name from TREE where name <> 'a' start with id = 1 connect by prior id = "
               "parent"
            << QStringList{"root", "a1", "a2", "b", "b1"};
        QTest::newRow("level in where")
            << "select name from TREE where level = 2 start with id = 1 "
               "connect by prior id = parent"
            << QStringList{"a", "b"};
        QTest::newRow("level in connect by") << "select name from TREE start with id = 1 "
                                                "connect by prior id = parent and level <= 2"
                                             << QStringList{"root", "a", "b"};
        QTest::newRow("no start with: every row is a root")
            << "select count(*) from (select id from TREE connect by prior id = parent)"
            << QStringList{"15"};
        QTest::newRow("siblings ordered")
            << "select name from TREE start with id = 1 connect by prior id = parent "
               "order siblings by name desc"
            << QStringList{"root", "b", "b1", "a", "a2", "a1"};
        QTest::newRow("order by after the hierarchy")
            << "select name from TREE start with id = 1 connect by prior id = parent order by name"
            << QStringList{"a", "a1", "a2", "b", "b1", "root"};
        QTest::newRow("alias qualified")
            << "select t.name from TREE t start with t.id = 3 connect by prior t.id = t.parent"
            << QStringList{"b", "b1"};
        QTest::newRow("row generator")
            << "select level from dual connect by level <= 4" << QStringList{"1", "2", "3", "4"};
        QTest::newRow("in a subquery")
            << "select count(*) from TREE where id in (select id from TREE start with id = 2 "
               "connect by prior id = parent)"
            << QStringList{"3"};
        QTest::newRow("in a union")
            << "select 'x' from dual union all select name from TREE start with id = 3 "
               "connect by prior id = parent"
            << QStringList{"x", "b", "b1"};
        QTest::newRow("path, root and leaf")
            << "select sys_connect_by_path(name, '/')||' '||connect_by_root name||' "
               "'||connect_by_isleaf "
               "from TREE start with id = 1 connect by prior id = parent"
            << QStringList{"/root root 0",      "/root/a root 0", "/root/a/a1 root 1",
                           "/root/a/a2 root 1", "/root/b root 0", "/root/b/b1 root 1"};
        QTest::newRow("leaves only")
            << "select name from TREE where connect_by_isleaf = 1 start with id = 2 "
               "connect by prior id = parent"
            << QStringList{"a1", "a2"};
        QTest::newRow("owner-qualified table")
            << "select scott.TREE.name from SCOTT.TREE start with id = 3 "
               "connect by prior id = parent"
            << QStringList{"b", "b1"};
        QTest::newRow("prior on an expression and on a second column")
            << "select name from TREE start with id = 1 "
               "connect by prior id + 0 = parent and prior name <> 'a'"
            << QStringList{"root", "a", "b", "b1"};
        QTest::newRow("alias star")
            << "select t.* from TREE t start with t.id = 3 connect by prior t.id = t.parent"
            << QStringList{"3", "5"};
        QTest::newRow("leaves through an alias")
            << "select t.name from TREE t where connect_by_isleaf = 1 start with t.id = 1 "
               "connect by prior t.id = t.parent"
            << QStringList{"a1", "a2", "b1"};
        QTest::newRow("over a view")
            << "select name||level from TREE_V start with id = 2 connect by prior id = parent "
               "order by 1"
            << QStringList{"a1", "a12", "a22"};
        QTest::newRow("table without row ids")
            << "select name||level from TREE_W start with id = 2 connect by prior id = parent "
               "order by 1"
            << QStringList{"a1", "a12", "a22"};
        QTest::newRow("nocycle stops at the loop")
            << "select id||'/'||level from LOOPED start with id = 1 connect by nocycle prior id = "
               "parent"
            << QStringList{"1/1"};
        QTest::newRow("nocycle inside a loop") << "select id||'/'||level from LOOPED start with id "
                                                  "= 2 connect by nocycle prior id = parent"
                                               << QStringList{"2/1", "3/2", "4/3"};
    }
    void hierarchies() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(firstColumn(*m_db, sql.toStdString()), expected);
    }

    void hierarchyStarListsTableColumnsOnly() {
        const ResultTable t =
            m_db->query("select * from TREE start with id = 3 connect by prior id = parent");
        QCOMPARE(enginetest::columnNames(t), QStringList({"ID", "PARENT", "NAME"}));
        QCOMPARE(column(t, 2), QStringList({"b", "b1"}));
    }

    void loopWithoutNocycleIsAnError() {
        try {
            m_db->query("select id from LOOPED start with id = 2 connect by prior id = parent");
            QFAIL("a loop must be reported");
        } catch (const EngineError& e) {
            QVERIFY(QString(e.what()).contains("CONNECT BY loop"));
            QVERIFY(e.code() != 0);
        }
    }

    void endlessRowGeneratorStops() {
        // Without PRIOR nothing repeats; the engine still ends (rows counted,
        // not kept: there are millions before the end).
        try {
            m_db->execute("select level from dual connect by 1 = 1");
            QFAIL("an endless hierarchy must end in an error");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).startsWith("ORA-30009"), e.what());
        }
    }

    void secondStatementIsRefused_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("two inserts")
            << "insert into TREE values (90, null, 'x'); insert into TREE values (91, null, 'y')";
        QTest::newRow("insert then drop")
            << "insert into TREE values (92, null, 'x'); drop table TREE";
        QTest::newRow("two semicolons") << "insert into TREE values (93, null, 'x');;";
        QTest::newRow("comment hides nothing")
            << "insert into TREE values (94, null, 'x'); -- c\n select 1 from dual";
    }
    void secondStatementIsRefused() {
        QFETCH(QString, sql);
        const QString before = firstColumn(*m_db, "select count(*) from TREE").at(0);
        try {
            m_db->execute(sql.toStdString());
            QFAIL("a second statement must be refused");
        } catch (const EngineError& e) {
            QVERIFY(QString(e.what()).contains("one statement"));
        }
        QCOMPARE(firstColumn(*m_db, "select count(*) from TREE").at(0), before);
    }

    void trailingSemicolonAndQuotedSemicolon() {
        QCOMPARE(firstColumn(*m_db, "select 'a;b' from dual ;  "), QStringList{"a;b"});
        QCOMPARE(m_db->query("select 1 from dual;\n").rows.size(), std::size_t(1));
    }

    void dmlCountsAndOracleForms() {
        m_db->execute("create table SCRATCH (k number, v varchar2(5))");
        for (int i = 1; i <= 5; ++i)
            m_db->execute("insert into SCRATCH values (" + std::to_string(i) + ", 'v')");
        QCOMPARE(m_db->execute("update SCRATCH s set s.v = 'w' where s.k > 3"), std::int64_t(2));
        QCOMPARE(m_db->execute("DELETE SCRATCH WHERE k = 1"), std::int64_t(1));
        QCOMPARE(m_db->execute("delete from SCRATCH x where x.k = 2"), std::int64_t(1));
        QCOMPARE(firstColumn(*m_db, "select k from SCRATCH where rownum <= 2 order by k"),
                 QStringList({"3", "4"}));
        // ROWNUM counts rows before aggregation
        QCOMPARE(firstColumn(*m_db, "select count(*) from SCRATCH where rownum <= 2"),
                 QStringList{"2"});
        QCOMPARE(firstColumn(*m_db, "select count(*) from SCRATCH where rownum < 2 and k > 3"),
                 QStringList{"1"});
        QCOMPARE(firstColumn(*m_db, "select k from SCRATCH order by k fetch first 1 rows only"),
                 QStringList{"3"});
        QCOMPARE(
            firstColumn(*m_db, "select k from SCRATCH minus select k from SCRATCH where v = 'w'"),
            QStringList{"3"});
        QCOMPARE(m_db->execute("select k from SCRATCH"), std::int64_t(3));
        QCOMPARE(m_db->execute("commit"), std::int64_t(0));
        QCOMPARE(m_db->execute("drop table SCRATCH purge"), std::int64_t(0));
    }

    void outerJoinMarker_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("optional children")
            << "select p.name||'>'||c.name from TREE p, TREE c where p.id = c.parent(+) and p.id "
               "in (2, 4) order by 1"
            << QStringList{"a1>", "a>a1", "a>a2"};
        QTest::newRow("filter on the optional side")
            << "select p.name||'>'||c.name from TREE p, TREE c where c.parent(+) = p.id and "
               "c.name(+) = 'a2' "
               "and p.id in (2, 3) order by 1"
            << QStringList{"a>a2", "b>"};
        QTest::newRow("anti join") << "select p.name from TREE p, TREE c where p.id = c.parent(+) "
                                      "and c.id is null and p.id < 4 order by 1"
                                   << QStringList{};
    }
    void outerJoinMarker() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(firstColumn(*m_db, sql.toStdString()), expected);
        QVERIFY_THROWS_EXCEPTION(
            EngineError,
            m_db->query("select 1 from TREE p, TREE c where p.id = c.parent(+) or p.id = 1"));
    }

    void errorsCarryOracleMessages() {
        try {
            m_db->query("select * from NO_SUCH_TABLE");
            QFAIL("expected an error");
        } catch (const EngineError& e) {
            QCOMPARE(
                QString(e.what()),
                QString("ORA-00942: table or view \"SCOTT\".\"NO_SUCH_TABLE\" does not exist"));
            QCOMPARE(e.code(), 1);
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, m_db->query("select 'open from dual"));
        QVERIFY_THROWS_EXCEPTION(EngineError, m_db->query(""));
        QVERIFY_THROWS_EXCEPTION(EngineError, m_db->query("select (1 from dual"));
    }

    // The statements Quorvel sends, exactly as it sends them.
    void planTableRoundTrip() {
        auto db = Connection::open("", "scott");
        const std::string check = "SELECT * from user_tables WHERE  table_name = 'PLAN_TABLE'";
        QCOMPARE(db->query(check).rows.size(), std::size_t(0));
        QCOMPARE(db->execute(kCreatePlanTable), std::int64_t(0));
        QCOMPARE(db->query(check).rows.size(), std::size_t(1));
        // The long column keeps text as text.
        db->execute("insert into PLAN_TABLE (statement_id, other) values ('t', '007')");
        QCOMPARE(firstColumn(*db, "select other from PLAN_TABLE where statement_id = 't'"),
                 QStringList{"007"});
        QCOMPARE(db->execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='t'"), std::int64_t(1));

        const std::string id = "192.168.0.10";
        QStringList first;
        for (int run = 0; run < 2; ++run) {
            db->execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='" + id + "'");
            const std::int64_t written =
                db->execute("EXPLAIN PLAN SET STATEMENT_ID='" + id +
                            "' INTO PLAN_TABLE FOR SELECT * FROM ORDERS o, CUSTOMERS c WHERE "
                            "o.CUSTOMER_ID = c.CUSTOMER_ID");
            const QStringList lines = firstColumn(*db, readBack(id));
            QCOMPARE(std::int64_t(lines.size()), written);
            QVERIFY(lines.size() >= 2);
            QVERIFY2(lines[0].startsWith(" SELECT STATEMENT") && lines[0].contains("Cost="),
                     qPrintable(lines[0]));
            QVERIFY2(lines[1].startsWith("  2.1 "), qPrintable(lines[1]));
            QVERIFY(lines[1].endsWith(' '));
            if (run == 0)
                first = lines;
            else
                QCOMPARE(lines, first);  // deleted first: no doubling
        }
        // Rows of another statement id stay apart.
        db->execute(
            "EXPLAIN PLAN SET STATEMENT_ID='other' INTO PLAN_TABLE FOR SELECT * FROM REGIONS");
        QCOMPARE(firstColumn(*db, readBack(id)), first);
        QVERIFY(db->execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='other'") > 0);

        QCOMPARE(db->execute("drop table PLAN_TABLE "), std::int64_t(0));
        QCOMPARE(db->query(check).rows.size(), std::size_t(0));
    }

    void explainRunsNothing_data() {
        QTest::addColumn<QString>("statement");
        QTest::newRow("delete") << "DELETE FROM TREE";
        QTest::newRow("update") << "UPDATE TREE SET name = 'z'";
        QTest::newRow("insert") << "INSERT INTO TREE VALUES (99, NULL, 'new')";
        QTest::newRow("insert select")
            << "INSERT INTO TREE SELECT id + 100, parent, name FROM TREE";
        QTest::newRow("drop") << "DROP TABLE TREE";
    }
    void explainRunsNothing() {
        QFETCH(QString, statement);
        m_db->execute(kCreatePlanTable);
        const QStringList before = firstColumn(*m_db, "select id||name from TREE");
        const std::int64_t rows = m_db->execute(
            "EXPLAIN PLAN SET STATEMENT_ID='dml' INTO PLAN_TABLE FOR " + statement.toStdString());
        QCOMPARE(firstColumn(*m_db, "select count(*) from PLAN_TABLE where statement_id = 'dml'"),
                 QStringList{QString::number(rows)});
        QCOMPARE(firstColumn(*m_db, "select id||name from TREE"), before);
        m_db->execute("drop table PLAN_TABLE ");
    }

    void translationIsVisible() {
        QCOMPARE(
            QString::fromStdString(translateToSqlite("DELETE PLAN_TABLE WHERE STATEMENT_ID='x'")),
            QString("DELETE FROM PLAN_TABLE WHERE STATEMENT_ID = 'x'"));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 translateToSqlite("select 1 from dual; select 2 from dual"));
    }
};

QTEST_GUILESS_MAIN(TestSqlTranslator)
#include "tst_sqltranslator.moc"
