// A connection keeps the statements it has translated and prepared; what
// another connection does to the schema in between must still be seen by
// the next statement, and a kept statement must hold no lock.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <sqlite3.h>

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;
using enginetest::column;
using enginetest::columnNames;
using enginetest::firstColumn;

namespace {

const char* const kPlanTable =
    "create table PLAN_TABLE (statement_id varchar2(30), timestamp date, remarks varchar2(80),"
    " operation varchar2(30), options varchar2(30), object_node varchar2(128),"
    " object_owner varchar2(30), object_name varchar2(30), object_instance numeric,"
    " object_type varchar2(30), optimizer varchar2(255), search_columns number, id numeric,"
    " parent_id numeric, position numeric, cost numeric, cardinality numeric, bytes numeric,"
    " other_tag varchar2(255), partition_start varchar2(255), partition_stop varchar2(255),"
    " partition_id numeric, other long)";

const std::string kExplain =
    "EXPLAIN PLAN SET STATEMENT_ID='r' INTO PLAN_TABLE FOR SELECT label FROM items WHERE code = 7";
const std::string kPlanSteps =
    "SELECT operation || ' ' || options FROM PLAN_TABLE WHERE statement_id = 'r' ORDER BY id";

}  // namespace

class TestStatementReuse : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Connection> m_a, m_b;  // two connections on one file

private slots:
    void init() {
        static int serial = 0;
        m_path = m_dir.filePath(QStringLiteral("reuse%1.db").arg(++serial));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(m_path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "create table items (id integer primary key, code integer,"
                              " parent integer, label text);"
                              "insert into items values (1, 7, null, 'root'), (2, 7, 1, 'a'),"
                              " (3, 8, 1, 'b');",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        m_a = Connection::open(m_path.toStdString(), "scott");
        m_b = Connection::open(m_path.toStdString(), "scott");
    }

    void cleanup() {
        m_a.reset();
        m_b.reset();
    }

    // `*` of a hierarchical query is spelled out from the table's columns:
    // a column added by another connection shows in the next run.
    void hierarchicalStarSeesAddedColumn() {
        const std::string sql =
            "SELECT * FROM items START WITH parent IS NULL CONNECT BY PRIOR id = parent";
        QCOMPARE(columnNames(m_a->query(sql)), QStringList({"ID", "CODE", "PARENT", "LABEL"}));
        m_b->execute("ALTER TABLE items ADD note varchar2(10)");
        const ResultTable t = m_a->query(sql);
        QCOMPARE(columnNames(t), QStringList({"ID", "CODE", "PARENT", "LABEL", "NOTE"}));
        QCOMPARE(column(t, 3), QStringList({"root", "a", "b"}));
    }

    // The plan of the same statement follows an index created in between,
    // and a plan table dropped and created again with other columns.
    void explainFollowsSchemaChanges() {
        m_a->execute(kPlanTable);
        m_a->execute(kExplain);
        QVERIFY(firstColumn(*m_a, kPlanSteps).join('|').contains("TABLE ACCESS FULL"));

        m_b->execute("CREATE INDEX items_code ON items (code)");
        m_a->execute("DELETE PLAN_TABLE WHERE statement_id = 'r'");
        m_a->execute(kExplain);
        const QString withIndex = firstColumn(*m_a, kPlanSteps).join('|');
        QVERIFY2(withIndex.contains("INDEX RANGE SCAN"), qPrintable(withIndex));
        QVERIFY(!withIndex.contains("TABLE ACCESS FULL"));

        m_b->execute("DROP TABLE PLAN_TABLE");
        m_b->execute("CREATE TABLE PLAN_TABLE (statement_id varchar2(30), operation varchar2(30))");
        try {
            m_a->execute(kExplain);
            QFAIL("explained into a plan table without its columns");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).contains("has no column named"), e.what());
        }
        QCOMPARE(firstColumn(*m_a, "SELECT count(*) FROM PLAN_TABLE"), QStringList({"0"}));
    }

    // A second ANALYZE changes no schema, only the statistics: the plan
    // of the same statement must follow them.
    void explainFollowsNewStatistics() {
        const std::string explain =
            "EXPLAIN PLAN SET STATEMENT_ID='s' INTO PLAN_TABLE FOR SELECT label FROM items";
        const std::string rows =
            "SELECT cardinality FROM PLAN_TABLE WHERE statement_id = 's' AND operation = 'TABLE "
            "ACCESS'";
        m_a->execute(kPlanTable);
        m_b->execute("ANALYZE");
        m_a->execute(explain);
        QCOMPARE(firstColumn(*m_a, rows), QStringList({"3"}));
        m_b->execute("INSERT INTO items (id, code, label) SELECT id + 10, code, label FROM items");
        m_b->execute("ANALYZE");
        m_a->execute("DELETE PLAN_TABLE WHERE statement_id = 's'");
        m_a->execute(explain);
        QCOMPARE(firstColumn(*m_a, rows), QStringList({"6"}));
    }

    // ANALYZE on the explaining connection's own handle (the same
    // connection, or another one on the shared sample database) changes
    // neither the schema nor the data version: the next plan must still
    // read the new statistics.
    void explainFollowsStatisticsOfItsHandle_data() {
        QTest::addColumn<bool>("sample");
        QTest::newRow("same connection") << false;
        QTest::newRow("two connections on the sample database") << true;
    }

    void explainFollowsStatisticsOfItsHandle() {
        QFETCH(bool, sample);
        std::unique_ptr<Connection> ownA, ownB;
        Connection* a = m_a.get();
        Connection* b = m_a.get();
        std::string table = "items";
        if (sample) {
            ownA = Connection::open("", "scott");
            ownB = Connection::open("", "scott");
            a = ownA.get();
            b = ownB.get();
            table = "reuse_stat";
            b->execute("CREATE TABLE reuse_stat (id number, label varchar2(10))");
            b->execute(
                "INSERT INTO reuse_stat SELECT id, label FROM (SELECT 1 id, 'x' label "
                "FROM dual UNION ALL SELECT 2, 'y' FROM dual UNION ALL SELECT 3, 'z' FROM "
                "dual)");
        }
        a->execute(std::string(kPlanTable).replace(13, 10, "reuse_plan"));
        const std::string explain =
            "EXPLAIN PLAN SET STATEMENT_ID='h' INTO reuse_plan FOR SELECT label FROM " + table;
        const std::string rows =
            "SELECT cardinality FROM reuse_plan WHERE statement_id = 'h' AND operation = 'TABLE "
            "ACCESS'";
        b->execute("ANALYZE " + table);
        a->execute(explain);
        QCOMPARE(firstColumn(*a, rows), QStringList({"3"}));
        b->execute("INSERT INTO " + table + " (id, label) SELECT id + 10, label FROM " + table);
        a->execute(explain);  // the rows changed, the statistics not yet
        b->execute("ANALYZE " + table);
        a->execute("DELETE reuse_plan WHERE statement_id = 'h'");
        a->execute(explain);
        QCOMPARE(firstColumn(*a, rows), QStringList({"6"}));
        a->execute("DROP TABLE reuse_plan");
        if (sample)
            b->execute("DROP TABLE reuse_stat");
    }

    // A statement that failed because a table was missing runs once the
    // table is there; a second statement in one call is refused every time.
    void failuresAreNotKept() {
        const std::string sql = "SELECT count(*) FROM later";
        QVERIFY_THROWS_EXCEPTION(EngineError, m_a->query(sql));
        m_b->execute("CREATE TABLE later (x integer)");
        QCOMPARE(firstColumn(*m_a, sql), QStringList({"0"}));
        for (int i = 0; i < 2; ++i) {
            try {
                m_a->execute("DELETE FROM items WHERE id = 3; DELETE FROM items");
                QFAIL("two statements were run in one call");
            } catch (const EngineError& e) {
                QVERIFY(QString(e.what()).contains("one statement"));
            }
        }
        QCOMPARE(firstColumn(*m_a, "SELECT count(*) FROM items"), QStringList({"3"}));
    }

    // Connections on the built-in sample database share one handle: a
    // table dropped and created again with other columns by one connection
    // is read with its new columns by the other.
    void sampleDatabaseSharesSchemaChanges() {
        auto a = Connection::open("", "scott");
        auto b = Connection::open("", "scott");
        b->execute("CREATE TABLE REUSE_T (x number)");
        b->execute("INSERT INTO REUSE_T VALUES (1)");
        const std::string sql = "SELECT * FROM REUSE_T";
        QCOMPARE(columnNames(a->query(sql)), QStringList({"X"}));
        b->execute("DROP TABLE REUSE_T");
        b->execute("CREATE TABLE REUSE_T (y varchar2(5), z number)");
        b->execute("INSERT INTO REUSE_T VALUES ('q', 2)");
        const ResultTable t = a->query(sql);
        QCOMPARE(columnNames(t), QStringList({"Y", "Z"}));
        QCOMPARE(column(t, 0), QStringList({"q"}));
        a->execute("DROP TABLE REUSE_T");
        QVERIFY_THROWS_EXCEPTION(EngineError, b->query(sql));
    }

    // A query (also one stopped by an error) leaves no open read behind:
    // another connection can change the file at once.
    void keptStatementsHoldNoLock() {
        const std::string sql = "SELECT label FROM items ORDER BY id";
        QCOMPARE(firstColumn(*m_a, sql), QStringList({"root", "a", "b"}));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 m_a->query("SELECT to_number(label) FROM items ORDER BY id"));
        m_a->execute(kPlanTable);
        m_a->execute(kExplain);
        m_b->execute("DROP TABLE items");
        QVERIFY_THROWS_EXCEPTION(EngineError, m_a->query(sql));
    }
};

QTEST_GUILESS_MAIN(TestStatementReuse)
#include "tst_statementreuse.moc"
