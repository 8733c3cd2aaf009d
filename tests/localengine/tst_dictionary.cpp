// The data dictionary views, read with the schema browser's queries and
// others, on the sample database and on tables created at run time.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <QRegularExpression>
#include <QtTest>

using namespace localengine;
using enginetest::column;
using enginetest::firstColumn;

namespace {

std::string keyQuery(const std::string& table) {
    return "SELECT c.column_name P_KEY FROM user_cons_columns c, user_constraints t Where "
           "c.table_name = upper('" +
           table +
           "') AND t.constraint_type = 'P' AND c.table_name = t.table_name AND c.constraint_name = "
           "t.constraint_name";
}

std::string existsQuery(const std::string& table) {
    return "SELECT count(table_name) tbl FROM user_tables t WHERE t.table_name = '" + table + "'";
}

const QRegularExpression kGenerated("^SYS_C\\d{7}$");

}  // namespace

class TestDictionary : public QObject {
    Q_OBJECT

    std::unique_ptr<Connection> m_db;

private slots:
    void initTestCase() { m_db = Connection::open("", "scott"); }

    void tableListing() {
        const ResultTable t = m_db->query("SELECT table_name tbl FROM user_tables t");
        QCOMPARE(enginetest::columnNames(t), QStringList{"TBL"});
        const QStringList names = column(t);
        for (const char* expected :
             {"REGIONS", "COUNTRIES", "DEPARTMENTS", "EMPLOYEES", "CUSTOMERS", "CATEGORIES",
              "PRODUCTS", "WAREHOUSES", "INVENTORIES", "ORDERS", "ORDER_ITEMS", "SALES_HISTORY"})
            QVERIFY2(names.contains(expected), expected);
        for (const QString& n : names)
            QVERIFY2(!n.startsWith("SQLITE_", Qt::CaseInsensitive), qPrintable(n));
        QVERIFY(!names.contains("PLAN_TABLE"));  // the sample starts without it
    }

    void existenceTest_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("count");
        QTest::newRow("existing") << "ORDERS"
                                  << "1";
        QTest::newRow("lower case as typed") << "orders"
                                             << "0";
        QTest::newRow("empty") << ""
                               << "0";
        QTest::newRow("dictionary itself") << "USER_TABLES"
                                           << "0";
    }
    void existenceTest() {
        QFETCH(QString, name);
        QFETCH(QString, count);
        const ResultTable t = m_db->query(existsQuery(name.toStdString()));
        QCOMPARE(enginetest::columnNames(t), QStringList{"TBL"});
        QCOMPARE(column(t), QStringList{count});
    }

    void primaryKeys_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("named single") << "orders" << QStringList{"ORDER_ID"};
        QTest::newRow("rowid alias") << "EMPLOYEES" << QStringList{"EMPLOYEE_ID"};
        QTest::newRow("composite in declaration order")
            << "ORDER_ITEMS" << QStringList{"ORDER_ID", "LINE_ITEM_ID"};
        // Key order differs from column order: the key order counts.
        QTest::newRow("composite in key order")
            << "Inventories" << QStringList{"WAREHOUSE_ID", "PRODUCT_ID"};
        QTest::newRow("no key") << "SALES_HISTORY" << QStringList{};
        QTest::newRow("no table") << "NOPE" << QStringList{};
    }
    void primaryKeys() {
        QFETCH(QString, table);
        QFETCH(QStringList, keys);
        const ResultTable t = m_db->query(keyQuery(table.toStdString()));
        QCOMPARE(enginetest::columnNames(t), QStringList{"P_KEY"});
        QCOMPARE(column(t), keys);
    }

    void constraintNames_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");  // empty: a generated name
        QTest::newRow("named primary key") << "ORDERS"
                                           << "P"
                                           << "PK_ORDERS";
        QTest::newRow("named composite key") << "ORDER_ITEMS"
                                             << "P"
                                             << "PK_ORDER_ITEMS";
        QTest::newRow("unnamed primary key") << "DEPARTMENTS"
                                             << "P"
                                             << "";
        QTest::newRow("unnamed composite key") << "INVENTORIES"
                                               << "P"
                                               << "";
        QTest::newRow("named unique") << "EMPLOYEES"
                                      << "U"
                                      << "EMP_EMAIL_UK";
        QTest::newRow("unnamed unique") << "DEPARTMENTS"
                                        << "U"
                                        << "";
    }
    void constraintNames() {
        QFETCH(QString, table);
        QFETCH(QString, type);
        QFETCH(QString, name);
        const std::string sql =
            "select constraint_name from user_constraints where table_name = '" +
            table.toStdString() + "' and constraint_type = '" + type.toStdString() + "'";
        const QStringList names = firstColumn(*m_db, sql);
        QCOMPARE(names.size(), 1);
        if (name.isEmpty())
            QVERIFY2(kGenerated.match(names[0]).hasMatch(), qPrintable(names[0]));
        else
            QCOMPARE(names[0], name);
        // Stable: the same name on every reading.
        QCOMPARE(firstColumn(*m_db, sql), names);
    }

    void otherConstraintKinds() {
        const ResultTable t = m_db->query(
            "select constraint_type, search_condition, r_constraint_name from user_constraints "
            "where table_name = 'EMPLOYEES' and constraint_type in ('C', 'R') order by 1, 2, 3");
        const QStringList types = column(t, 0);
        QVERIFY(types.contains("R"));
        QVERIFY(column(t, 1).contains("SALARY > 0"));
        QVERIFY(column(t, 1).contains("\"LAST_NAME\" IS NOT NULL"));
        // Foreign keys point at the referenced table's key by name.
        QVERIFY(column(t, 2).contains("SYS_C" + column(t, 2).filter("SYS_C").value(0).mid(5)));
        QCOMPARE(firstColumn(
                     *m_db,
                     "select r_constraint_name from user_constraints where table_name = 'ORDERS' "
                     "and constraint_type = 'R' and r_constraint_name = 'PK_CUSTOMERS'"),
                 QStringList{"PK_CUSTOMERS"});
    }

    void indexes() {
        QCOMPARE(
            firstColumn(*m_db,
                        "select uniqueness from user_indexes where index_name = 'PROD_CODE_UK'"),
            QStringList{"UNIQUE"});
        QCOMPARE(firstColumn(
                     *m_db, "select uniqueness from user_indexes where index_name = 'ORD_DATE_IX'"),
                 QStringList{"NONUNIQUE"});
        // A key's index carries the key's name.
        QCOMPARE(
            firstColumn(*m_db,
                        "select table_name from user_indexes where index_name = 'PK_ORDER_ITEMS'"),
            QStringList{"ORDER_ITEMS"});
        QCOMPARE(firstColumn(*m_db,
                             "select column_name||column_position from user_ind_columns "
                             "where index_name = 'EMP_NAME_IX' order by column_position"),
                 QStringList({"LAST_NAME1", "FIRST_NAME2"}));
        QCOMPARE(
            firstColumn(*m_db, "select count(*) from user_indexes where index_name like 'SQLITE%'"),
            QStringList{"0"});
    }

    void columnsAndStatistics() {
        const ResultTable t = m_db->query(
            "select column_name, data_type, data_length, data_precision, data_scale, nullable, "
            "column_id "
            "from user_tab_columns where table_name = 'PRODUCTS' order by column_id");
        QCOMPARE(column(t, 0).first(), QString("PRODUCT_ID"));
        QCOMPARE(column(t, 1).at(1), QString("VARCHAR2"));
        QCOMPARE(column(t, 2).at(1), QString("12"));
        QCOMPARE(column(t, 3).at(4), QString("8"));
        QCOMPARE(column(t, 4).at(4), QString("2"));
        QCOMPARE(column(t, 5).at(0), QString("N"));
        QCOMPARE(column(t, 5).at(4), QString("Y"));
        QCOMPARE(column(t, 6).last(), QString("7"));
        QCOMPARE(firstColumn(*m_db, "select num_rows from user_tables where table_name = 'ORDERS'"),
                 QStringList{"10000"});
    }

    void tablesCreatedLaterAppear() {
        m_db->execute(
            "create table dict_probe (a number, b varchar2(3), constraint dp_pk primary key (b, "
            "a))");
        QCOMPARE(column(m_db->query(existsQuery("DICT_PROBE"))), QStringList{"1"});
        QCOMPARE(column(m_db->query(keyQuery("dict_probe"))), QStringList({"B", "A"}));
        QCOMPARE(
            firstColumn(
                *m_db,
                "select constraint_name from user_constraints where table_name = 'DICT_PROBE'"),
            QStringList{"DP_PK"});
        m_db->execute("drop table dict_probe");
        QCOMPARE(column(m_db->query(existsQuery("DICT_PROBE"))), QStringList{"0"});
    }

    // Oracle's ANALYZE gathers what USER_TABLES shows of a table loaded
    // after the statistics were taken; the forms that are not built say so.
    void analyzeGathersStatistics() {
        m_db->execute("create table stats_probe (id number primary key, d date)");
        m_db->execute(
            "insert into stats_probe select level, date '2024-01-01' + level from dual "
            "connect by level <= 40");
        m_db->execute("create index stats_probe_d on stats_probe (d)");
        const char* rows = "select num_rows from user_tables where table_name = 'STATS_PROBE'";
        QCOMPARE(firstColumn(*m_db, rows), QStringList{"<null>"});
        for (const char* sql :
             {"analyze table stats_probe compute statistics",
              "analyze table scott.stats_probe estimate statistics sample 10 percent",
              "analyze index stats_probe_d compute statistics",
              "analyze table stats_probe compute statistics for table for all indexes for all "
              "indexed columns size 254"}) {
            m_db->execute(sql);
            QCOMPARE(firstColumn(*m_db, rows), QStringList{"40"});
        }
        for (const char* sql : {"analyze table stats_probe delete statistics",
                                "analyze table stats_probe validate structure cascade"}) {
            try {
                m_db->execute(sql);
                QFAIL(sql);
            } catch (const EngineError& e) {
                QVERIFY2(QByteArray(e.what()).startsWith("ORA-03001: unimplemented feature: "),
                         e.what());
            }
        }
        m_db->execute("drop table stats_probe");
    }

    void ownerColumns() {
        auto other = Connection::open("", "hr");
        QCOMPARE(firstColumn(*other, "select distinct owner from user_constraints"),
                 QStringList{"HR"});
        QCOMPARE(firstColumn(*m_db, "select distinct owner from user_cons_columns"),
                 QStringList{"SCOTT"});
    }
};

QTEST_GUILESS_MAIN(TestDictionary)
#include "tst_dictionary.moc"
