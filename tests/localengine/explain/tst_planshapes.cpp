// The plans the engine writes for the statements tuners write, row by row
// (depth, operation, options, object), against the shapes Oracle's SQL
// Tuning Guide and DBMS_XPLAN examples show for the same statement, over
// the sample database and a small schema of our own. Every plan of the set
// is also checked for the cost model's properties and for a DBMS_XPLAN
// display that agrees with its rows.

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "../EngineTestUtil.h"
#include "LocalEngine.h"

using namespace localengine;
using enginetest::cellText;
using enginetest::firstColumn;

namespace {

const char* const kPlanTable =
    "CREATE TABLE PLAN_TABLE (statement_id VARCHAR2(30), plan_id NUMBER, timestamp DATE,"
    " remarks VARCHAR2(4000), operation VARCHAR2(30), options VARCHAR2(255),"
    " object_node VARCHAR2(128), object_owner VARCHAR2(30), object_name VARCHAR2(30),"
    " object_alias VARCHAR2(65), object_instance NUMBER, object_type VARCHAR2(30),"
    " optimizer VARCHAR2(255), search_columns NUMBER, id NUMBER, parent_id NUMBER, depth NUMBER,"
    " position NUMBER, cost NUMBER, cardinality NUMBER, bytes NUMBER, other_tag VARCHAR2(255),"
    " partition_start VARCHAR2(255), partition_stop VARCHAR2(255), partition_id NUMBER,"
    " other LONG, distribution VARCHAR2(30), cpu_cost NUMBER, io_cost NUMBER, temp_space NUMBER,"
    " access_predicates VARCHAR2(4000), filter_predicates VARCHAR2(4000),"
    " projection VARCHAR2(4000), time NUMBER, qblock_name VARCHAR2(30), other_xml CLOB)";

// A schema as a user's script makes it: an INTEGER primary key under a
// constraint name, a named unique constraint, a composite key, a
// self-referencing parent key with its index, and a table with no index.
const char* const kOwnSchema[] = {
    "CREATE TABLE item (item_id INTEGER CONSTRAINT pk_item PRIMARY KEY,"
    " code VARCHAR2(10) NOT NULL, name VARCHAR2(40), parent_id INTEGER,"
    " price NUMBER(8,2), CONSTRAINT uk_item_code UNIQUE (code))",
    "CREATE INDEX item_parent_ix ON item (parent_id)",
    "CREATE TABLE stock (store_id NUMBER(4), item_id INTEGER, qty NUMBER(6),"
    " CONSTRAINT pk_stock PRIMARY KEY (store_id, item_id))",
    "CREATE TABLE audit_log (logged DATE, who VARCHAR2(30), what VARCHAR2(200))",
    "CREATE TABLE price_list (code VARCHAR2(8), price NUMBER(6))",
    "INSERT INTO item SELECT LEVEL, 'C' || LEVEL, 'Item ' || LEVEL,"
    " NULLIF(TRUNC(LEVEL / 3), 0), MOD(LEVEL * 7, 500) FROM dual CONNECT BY LEVEL <= 600",
    "INSERT INTO stock SELECT MOD(LEVEL, 20) + 1, LEVEL, MOD(LEVEL, 90) FROM dual"
    " CONNECT BY LEVEL <= 600",
    "INSERT INTO audit_log SELECT DATE '2024-01-01' + LEVEL, 'U' || MOD(LEVEL, 7), 'x'"
    " FROM dual CONNECT BY LEVEL <= 900",
};

// A plan as rows "<2 blanks per depth>OPERATION OPTIONS OBJECT"; a
// temporary table's generated name reads SYS_TEMP.
using Plan = QStringList;

}  // namespace

class TestPlanShapes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sampleShapes_data();
    void sampleShapes();
    void ownSchemaShapes_data();
    void ownSchemaShapes();
    void plansInFull_data();
    void plansInFull();
    void materialisedWithQuery();
    void scalarSubqueryBlocksAndConditions();
    void costModelOverEveryPlan();

private:
    static void addSampleRows();
    static void addOwnRows();
    Plan explain(Connection& db, const QString& sql);
    // The same with each row's query block, alias and predicates:
    // "<indent>OPERATION OPTIONS OBJECT|QBLOCK|ALIAS|ACCESS|FILTER".
    Plan explainInFull(Connection& db, const QString& sql);
    Plan withConstraintNames(Connection& db, const Plan& plan);
    // The names the dictionary gives the primary key and unique constraints.
    QString constraintName(Connection& db, const QString& table, const QString& type);

    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_sample;
    std::unique_ptr<Connection> m_own;
    QStringList m_explained;  // every statement of the set, "sample:" or "own:" first
};

void TestPlanShapes::initTestCase() {
    m_sample = Connection::open("", "scott");
    m_sample->execute(kPlanTable);
    const QString path = m_dir.filePath("own.db");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_own = Connection::open(path.toStdString(), "scott");
    for (const char* sql : kOwnSchema)
        m_own->execute(sql);
    m_own->execute(kPlanTable);
}

Plan TestPlanShapes::explain(Connection& db, const QString& sql) {
    m_explained << (&db == m_sample.get() ? "sample:" : "own:") + sql;
    db.execute("DELETE FROM plan_table WHERE statement_id = 'shape'");
    db.execute("EXPLAIN PLAN SET STATEMENT_ID = 'shape' FOR " + sql.toStdString());
    const ResultTable t = db.query(
        "SELECT depth, operation, options, object_name FROM plan_table"
        " WHERE statement_id = 'shape' ORDER BY id");
    static const QRegularExpression temporary("^SYS_TEMP_0FD9D66[0-9A-F]{2}_[0-9A-F]+$");
    Plan out;
    for (const auto& row : t.rows) {
        QStringList parts;
        for (std::size_t c = 1; c < 4; ++c)
            if (!row[c].isNull() && !row[c].text.empty())
                parts << QString::fromStdString(row[c].text).replace(temporary, "SYS_TEMP");
        out << QString(2 * cellText(row[0]).toInt(), ' ') + parts.join(' ');
    }
    return out;
}

Plan TestPlanShapes::explainInFull(Connection& db, const QString& sql) {
    const Plan shape = explain(db, sql);
    const ResultTable t = db.query(
        "SELECT qblock_name, object_alias, access_predicates, filter_predicates FROM plan_table"
        " WHERE statement_id = 'shape' ORDER BY id");
    Plan out;
    for (std::size_t i = 0; i < t.rows.size() && i < static_cast<std::size_t>(shape.size()); ++i) {
        QStringList cells{shape[static_cast<int>(i)]};
        for (const auto& c : t.rows[i])
            cells << (c.isNull() ? QString() : cellText(c));
        out << cells.join('|');
    }
    return out;
}

// Fills in <PK TABLE> and <U TABLE>: the dictionary's names of unnamed
// constraints.
Plan TestPlanShapes::withConstraintNames(Connection& db, const Plan& plan) {
    Plan expected;
    static const QRegularExpression named("<(PK|U) (\\w+)>");
    for (QString row : plan) {
        const auto m = named.match(row);
        if (m.hasMatch())
            row.replace(m.captured(0),
                        constraintName(db, m.captured(2), m.captured(1) == "PK" ? "P" : "U"));
        expected << row;
    }
    return expected;
}

QString TestPlanShapes::constraintName(Connection& db, const QString& table, const QString& type) {
    const QStringList names = firstColumn(
        db, "SELECT constraint_name FROM user_constraints WHERE table_name = '" +
                table.toStdString() + "' AND constraint_type = '" + type.toStdString() + "'");
    return names.value(0);
}

// The sample database: EMPLOYEES' key is an INTEGER PRIMARY KEY (the
// rowid), DEPARTMENTS' an unnamed NUMBER key, CUSTOMERS' a named one;
// EMP_MANAGER_IX and EMP_DEPARTMENT_IX index the employees' parent keys.
// The names of unnamed constraints are the dictionary's; a test row
// writes them <PK EMPLOYEES> and is filled in when it runs.
void TestPlanShapes::sampleShapes_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Plan>("plan");
    const QString root = "SELECT STATEMENT";

    // Index unique scan (SQL Tuning Guide, "Index Unique Scans"): the
    // primary key's index, then the row by its rowid.
    QTest::newRow("integer primary key equality")
        << "SELECT last_name FROM employees WHERE employee_id = 120"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "    INDEX UNIQUE SCAN <PK EMPLOYEES>"};
    QTest::newRow("integer primary key range")
        << "SELECT last_name FROM employees WHERE employee_id BETWEEN 120 AND 130"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "    INDEX RANGE SCAN <PK EMPLOYEES>"};
    QTest::newRow("named primary key") << "SELECT cust_name FROM customers WHERE customer_id = 42"
                                       << Plan{root, "  TABLE ACCESS BY INDEX ROWID CUSTOMERS",
                                               "    INDEX UNIQUE SCAN PK_CUSTOMERS"};
    QTest::newRow("unnamed primary key")
        << "SELECT department_name FROM departments WHERE department_id = 10"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID DEPARTMENTS",
                "    INDEX UNIQUE SCAN <PK DEPARTMENTS>"};
    QTest::newRow("unnamed unique constraint")
        << "SELECT department_id FROM departments WHERE department_name = 'Sales'"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID DEPARTMENTS",
                "    INDEX UNIQUE SCAN <U DEPARTMENTS>"};
    QTest::newRow("nonunique index range")
        << "SELECT last_name FROM employees WHERE department_id = 50"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "    INDEX RANGE SCAN EMP_DEPARTMENT_IX"};
    // A B-tree index keeps no entry whose key is null: IS NULL on the
    // column of a one-column index reads the table.
    QTest::newRow("is null is a full scan")
        << "SELECT last_name FROM employees WHERE manager_id IS NULL"
        << Plan{root, "  TABLE ACCESS FULL EMPLOYEES"};
    // A full scan keeps no order; the first rows in key order come from
    // the key's index (12c's row limiting clause without a sort).
    QTest::newRow("fetch first in key order")
        << "SELECT last_name FROM employees ORDER BY employee_id FETCH FIRST 5 ROWS ONLY"
        << Plan{root, "  VIEW", "    WINDOW NOSORT STOPKEY",
                "      TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "        INDEX FULL SCAN <PK EMPLOYEES>"};
    // Index fast full scan (SQL Tuning Guide, "Index Fast Full Scans": a
    // COUNT(*) under SORT AGGREGATE): SQLite counts the entries of its
    // smallest index, whose every row has an entry.
    QTest::newRow("count through an index")
        << "SELECT COUNT(*) FROM employees"
        << Plan{root, "  SORT AGGREGATE", "    INDEX FAST FULL SCAN EMP_DEPARTMENT_IX"};
    QTest::newRow("full scan") << "SELECT * FROM sales_history WHERE channel = 'WEB'"
                               << Plan{root, "  TABLE ACCESS FULL SALES_HISTORY"};

    // An index of nullable columns has no entry for a row whose key is
    // null: it cannot hand over every row (in order, or grouped); one on a
    // NOT NULL column can.
    QTest::newRow("order by a nullable indexed column")
        << "SELECT last_name FROM employees ORDER BY manager_id"
        << Plan{root, "  SORT ORDER BY", "    TABLE ACCESS FULL EMPLOYEES"};
    QTest::newRow("group by a nullable indexed column")
        << "SELECT department_id, COUNT(*) FROM employees GROUP BY department_id"
        << Plan{root, "  HASH GROUP BY", "    TABLE ACCESS FULL EMPLOYEES"};
    QTest::newRow("order by a not null indexed column")
        << "SELECT last_name FROM employees ORDER BY last_name"
        << Plan{root, "  INDEX FULL SCAN EMP_NAME_IX"};

    // Hierarchical query: the start rows (MANAGER_ID IS NULL finds no
    // entry of a B-tree index: a full scan), then level by level the
    // children through the parent key's index.
    QTest::newRow("connect by through the parent key's index")
        << "SELECT employee_id, last_name, LEVEL FROM employees START WITH manager_id IS NULL"
           " CONNECT BY PRIOR employee_id = manager_id"
        << Plan{root,
                "  CONNECT BY WITH FILTERING",
                "    TABLE ACCESS FULL EMPLOYEES",
                "    NESTED LOOPS",
                "      CONNECT BY PUMP",
                "      TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "        INDEX RANGE SCAN EMP_MANAGER_IX"};

    // ROWNUM (SQL Language Reference, "ROWNUM Pseudocolumn"; the top-N
    // of an ordered inline view stops its sort at n rows).
    QTest::newRow("rownum limit") << "SELECT * FROM sales_history WHERE ROWNUM <= 10"
                                  << Plan{root, "  COUNT STOPKEY",
                                          "    TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("rownum top-n")
        << "SELECT * FROM (SELECT * FROM sales_history ORDER BY amount_sold DESC)"
           " WHERE ROWNUM <= 10"
        << Plan{root, "  COUNT STOPKEY", "    VIEW", "      SORT ORDER BY STOPKEY",
                "        TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("rownum in the select list")
        << "SELECT ROWNUM, channel FROM sales_history"
        << Plan{root, "  COUNT", "    TABLE ACCESS FULL SALES_HISTORY"};

    // Row limiting clause (12c): ROW_NUMBER() in a window sort that
    // stops at n, under a view that keeps the first n.
    QTest::newRow("fetch first")
        << "SELECT channel, amount_sold FROM sales_history ORDER BY amount_sold DESC"
           " FETCH FIRST 5 ROWS ONLY"
        << Plan{root, "  VIEW", "    WINDOW SORT PUSHED RANK",
                "      TABLE ACCESS FULL SALES_HISTORY"};

    // Analytic functions: a sort for PARTITION BY / ORDER BY, a buffer for
    // an empty OVER (), a sort that stops at the ranks kept.
    QTest::newRow("window sort")
        << "SELECT channel, SUM(amount_sold) OVER (PARTITION BY channel) FROM sales_history"
        << Plan{root, "  WINDOW SORT", "    TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("window buffer")
        << "SELECT channel, SUM(amount_sold) OVER () FROM sales_history"
        << Plan{root, "  WINDOW BUFFER", "    TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("rank top-n")
        << "SELECT * FROM (SELECT s.*, RANK() OVER (ORDER BY amount_sold DESC) r"
           " FROM sales_history s) WHERE r <= 3"
        << Plan{root, "  VIEW", "    WINDOW SORT PUSHED RANK",
                "      TABLE ACCESS FULL SALES_HISTORY"};

    // WITH: a query name read once is merged into the query that reads it.
    QTest::newRow("with query read once")
        << "WITH web AS (SELECT * FROM sales_history WHERE channel = 'WEB')"
           " SELECT product_id FROM web WHERE amount_sold > 100"
        << Plan{root, "  TABLE ACCESS FULL SALES_HISTORY"};
    // Read twice, it is loaded once into a temporary table and read back
    // at each place (the plan of a materialised WITH query in Oracle's
    // examples: TEMP TABLE TRANSFORMATION, LOAD AS SELECT, VIEWs over the
    // temporary table).
    QTest::newRow("with query read twice")
        << "WITH big AS (SELECT customer_id, amount_sold FROM sales_history"
           " WHERE amount_sold > 100) SELECT a.customer_id FROM big a, big b"
           " WHERE a.customer_id = b.customer_id"
        << Plan{root,
                "  TEMP TABLE TRANSFORMATION",
                "    LOAD AS SELECT (CURSOR DURATION MEMORY) SYS_TEMP",
                "      TABLE ACCESS FULL SALES_HISTORY",
                "    HASH JOIN",
                "      VIEW",
                "        TABLE ACCESS FULL SYS_TEMP",
                "      VIEW",
                "        TABLE ACCESS FULL SYS_TEMP"};

    // Semi- and anti-joins (SQL Tuning Guide, "Semijoins" and
    // "Antijoins"): the subquery's rows found through the index on the
    // join column, or hashed when there is none; NOT IN null-aware.
    QTest::newRow("exists through an index")
        << "SELECT department_name FROM departments d WHERE EXISTS"
           " (SELECT 1 FROM employees e WHERE e.department_id = d.department_id)"
        << Plan{root, "  NESTED LOOPS SEMI", "    TABLE ACCESS FULL DEPARTMENTS",
                "    INDEX RANGE SCAN EMP_DEPARTMENT_IX"};
    QTest::newRow("in through an index")
        << "SELECT department_name FROM departments WHERE department_id IN"
           " (SELECT department_id FROM employees)"
        << Plan{root, "  NESTED LOOPS SEMI", "    TABLE ACCESS FULL DEPARTMENTS",
                "    INDEX RANGE SCAN EMP_DEPARTMENT_IX"};
    QTest::newRow("not exists through an index")
        << "SELECT department_name FROM departments d WHERE NOT EXISTS"
           " (SELECT 1 FROM employees e WHERE e.department_id = d.department_id)"
        << Plan{root, "  NESTED LOOPS ANTI", "    TABLE ACCESS FULL DEPARTMENTS",
                "    INDEX RANGE SCAN EMP_DEPARTMENT_IX"};
    QTest::newRow("not in without an index")
        << "SELECT product_name FROM products WHERE product_id NOT IN"
           " (SELECT product_id FROM sales_history WHERE channel = 'WEB')"
        << Plan{root, "  HASH JOIN ANTI NA", "    TABLE ACCESS FULL PRODUCTS",
                "    TABLE ACCESS FULL SALES_HISTORY"};

    // An uncorrelated scalar subquery of WHERE runs once, under the step
    // that applies its condition: the scan it filters, or the index step
    // whose key it gives (Oracle's plans of "sal > (SELECT AVG(sal) ...)").
    // One in the select list runs ahead of the query, at the top.
    QTest::newRow("scalar subquery filters the scan")
        << "SELECT last_name FROM employees WHERE salary > (SELECT AVG(salary) FROM employees)"
        << Plan{root, "  TABLE ACCESS FULL EMPLOYEES", "    SORT AGGREGATE",
                "      TABLE ACCESS FULL EMPLOYEES"};
    QTest::newRow("scalar subquery gives the index key")
        << "SELECT last_name FROM employees WHERE department_id ="
           " (SELECT department_id FROM departments WHERE department_name = 'Sales')"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "    INDEX RANGE SCAN EMP_DEPARTMENT_IX",
                "      TABLE ACCESS BY INDEX ROWID DEPARTMENTS",
                "        INDEX UNIQUE SCAN <U DEPARTMENTS>"};
    QTest::newRow("scalar subqueries of the select list and of where")
        << "SELECT last_name, (SELECT MAX(salary) FROM employees) FROM employees"
           " WHERE salary > (SELECT AVG(salary) FROM employees WHERE department_id = 50)"
        << Plan{root,
                "  SORT AGGREGATE",
                "    TABLE ACCESS FULL EMPLOYEES",
                "  TABLE ACCESS FULL EMPLOYEES",
                "    SORT AGGREGATE",
                "      TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "        INDEX RANGE SCAN EMP_DEPARTMENT_IX"};
    QTest::newRow("correlated scalar subquery of the select list")
        << "SELECT d.department_name, (SELECT COUNT(*) FROM employees e"
           " WHERE e.department_id = d.department_id) FROM departments d"
        << Plan{root, "  SORT AGGREGATE", "    INDEX RANGE SCAN EMP_DEPARTMENT_IX",
                "  TABLE ACCESS FULL DEPARTMENTS"};
    // Correlated, it runs per row: FILTER over the rows and the subquery.
    QTest::newRow("correlated scalar subquery")
        << "SELECT last_name FROM employees e WHERE salary >"
           " (SELECT AVG(salary) FROM employees i WHERE i.department_id = e.department_id)"
        << Plan{root,
                "  FILTER",
                "    TABLE ACCESS FULL EMPLOYEES",
                "    SORT AGGREGATE",
                "      TABLE ACCESS BY INDEX ROWID EMPLOYEES",
                "        INDEX RANGE SCAN EMP_DEPARTMENT_IX"};

    // GROUP BY and DISTINCT hash the rows (10gR2 on); they sort when ORDER
    // BY wants the groups in the order of their keys, and a sort of the
    // groups follows for an ORDER BY of anything else.
    QTest::newRow("group by hashed")
        << "SELECT channel, COUNT(*) FROM sales_history GROUP BY channel"
        << Plan{root, "  HASH GROUP BY", "    TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("group by in key order")
        << "SELECT channel, COUNT(*) FROM sales_history GROUP BY channel ORDER BY channel"
        << Plan{root, "  SORT GROUP BY", "    TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("group by ordered by the count")
        << "SELECT channel, COUNT(*) FROM sales_history GROUP BY channel ORDER BY COUNT(*) DESC"
        << Plan{root, "  SORT ORDER BY", "    HASH GROUP BY",
                "      TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("having filters the groups")
        << "SELECT channel, AVG(amount_sold) FROM sales_history GROUP BY channel"
           " HAVING AVG(amount_sold) > 100"
        << Plan{root, "  FILTER", "    HASH GROUP BY", "      TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("group by without aggregates")
        << "SELECT channel FROM sales_history GROUP BY channel"
        << Plan{root, "  HASH GROUP BY", "    TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("distinct hashed")
        << "SELECT DISTINCT channel FROM sales_history"
        << Plan{root, "  HASH UNIQUE", "    TABLE ACCESS FULL SALES_HISTORY"};

    // A DML plan reads the rows it changes; the foreign keys it touches are
    // checked outside the plan (no row for ORDER_ITEMS' key).
    QTest::newRow("delete through an index")
        << "DELETE FROM orders WHERE order_date < DATE '2020-01-01'"
        << Plan{"DELETE STATEMENT", "  DELETE ORDERS", "    INDEX RANGE SCAN ORD_DATE_IX"};

    // Set operations: UNION removes duplicates by sorting the branches'
    // rows together.
    QTest::newRow("union") << "SELECT customer_id FROM sales_history WHERE channel = 'WEB'"
                              " UNION SELECT customer_id FROM sales_history WHERE channel = 'SHOP'"
                           << Plan{root, "  SORT UNIQUE", "    UNION-ALL",
                                   "      TABLE ACCESS FULL SALES_HISTORY",
                                   "      TABLE ACCESS FULL SALES_HISTORY"};
    QTest::newRow("union all")
        << "SELECT customer_id FROM sales_history WHERE channel = 'WEB'"
           " UNION ALL SELECT customer_id FROM sales_history WHERE channel = 'SHOP'"
        << Plan{root, "  UNION-ALL", "    TABLE ACCESS FULL SALES_HISTORY",
                "    TABLE ACCESS FULL SALES_HISTORY"};
}

void TestPlanShapes::sampleShapes() {
    QFETCH(QString, sql);
    QFETCH(Plan, plan);
    QCOMPARE(explain(*m_sample, sql).join('\n'), withConstraintNames(*m_sample, plan).join('\n'));
}

// UPDATE and DELETE plans as Oracle shows them (the shapes of the SELECT
// rows above; DBMS_XPLAN's "Predicate Information" for the conditions):
// the statement's own query block is UPD$1 or DEL$1, numbered apart from
// its subqueries' SEL$n (Oracle's query block prefixes: SEL$, UPD$, DEL$,
// INS$); rows found through an index are changed by their rowids, so the
// index step is right under the UPDATE or DELETE unless a condition is
// checked on the row; subqueries of WHERE are semi- and anti-joins as in a
// SELECT; foreign keys are checked outside the plan (no row for the
// employees' own manager key).
void TestPlanShapes::plansInFull_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Plan>("plan");
    QTest::newRow("update through an index")
        << "UPDATE employees SET salary = salary * 1.1 WHERE department_id = 50"
        << Plan{"UPDATE STATEMENT||||", "  UPDATE EMPLOYEES|UPD$1|||",
                "    INDEX RANGE SCAN EMP_DEPARTMENT_IX|UPD$1|EMPLOYEES@UPD$1|"
                "\"DEPARTMENT_ID\"=50|"};
    QTest::newRow("update with a condition on the row")
        << "UPDATE employees e SET salary = 1 WHERE department_id = 50 AND salary > 5000"
        << Plan{"UPDATE STATEMENT||||", "  UPDATE EMPLOYEES|UPD$1|||",
                "    TABLE ACCESS BY INDEX ROWID EMPLOYEES|UPD$1|E@UPD$1||\"SALARY\">5000",
                "      INDEX RANGE SCAN EMP_DEPARTMENT_IX|UPD$1|E@UPD$1|"
                "\"DEPARTMENT_ID\"=50|"};
    QTest::newRow("delete by primary key")
        << "DELETE FROM employees WHERE employee_id = 120"
        << Plan{"DELETE STATEMENT||||", "  DELETE EMPLOYEES|DEL$1|||",
                "    INDEX UNIQUE SCAN <PK EMPLOYEES>|DEL$1|EMPLOYEES@DEL$1|"
                "\"EMPLOYEE_ID\"=120|"};
    QTest::newRow("delete of every row")
        << "DELETE FROM sales_history"
        << Plan{"DELETE STATEMENT||||", "  DELETE SALES_HISTORY|DEL$1|||",
                "    TABLE ACCESS FULL SALES_HISTORY|DEL$1|SALES_HISTORY@DEL$1||"};
    QTest::newRow("delete where in a subquery")
        << "DELETE FROM departments WHERE department_id IN (SELECT department_id FROM employees)"
        << Plan{"DELETE STATEMENT||||", "  DELETE DEPARTMENTS|DEL$1|||",
                "    NESTED LOOPS SEMI|DEL$1|||",
                "      TABLE ACCESS FULL DEPARTMENTS|DEL$1|DEPARTMENTS@DEL$1||",
                "      INDEX RANGE SCAN EMP_DEPARTMENT_IX|SEL$1|EMPLOYEES@SEL$1|"
                "\"DEPARTMENTS\".\"DEPARTMENT_ID\"=\"EMPLOYEES\".\"DEPARTMENT_ID\"|"};
    QTest::newRow("delete where not exists")
        << "DELETE FROM departments d WHERE NOT EXISTS"
           " (SELECT 1 FROM employees e WHERE e.department_id = d.department_id)"
        << Plan{"DELETE STATEMENT||||", "  DELETE DEPARTMENTS|DEL$1|||",
                "    NESTED LOOPS ANTI|DEL$1|||",
                "      TABLE ACCESS FULL DEPARTMENTS|DEL$1|D@DEL$1||",
                "      INDEX RANGE SCAN EMP_DEPARTMENT_IX|SEL$1|E@SEL$1|"
                "\"E\".\"DEPARTMENT_ID\"=\"D\".\"DEPARTMENT_ID\"|"};
    // A correlated subquery of SET runs for each row found, under the
    // UPDATE after the step that finds them; the row's value is a bind of
    // each run (:B1), as in the FILTER of a correlated subquery.
    QTest::newRow("update set from a correlated subquery")
        << "UPDATE departments d SET manager_id = (SELECT MAX(employee_id) FROM employees e"
           " WHERE e.department_id = d.department_id)"
        << Plan{"UPDATE STATEMENT||||", "  UPDATE DEPARTMENTS|UPD$1|||",
                "    TABLE ACCESS FULL DEPARTMENTS|UPD$1|D@UPD$1||", "    SORT AGGREGATE|SEL$1|||",
                "      INDEX RANGE SCAN EMP_DEPARTMENT_IX|SEL$1|E@SEL$1|"
                "\"E\".\"DEPARTMENT_ID\"=:B1|"};
    QTest::newRow("correlated subquery filter")
        << "SELECT last_name FROM employees e WHERE salary >"
           " (SELECT AVG(salary) FROM employees i WHERE i.department_id = e.department_id)"
        << Plan{"SELECT STATEMENT||||",
                "  FILTER|SEL$1|||\"SALARY\"> (SELECT AVG(\"SALARY\") FROM \"EMPLOYEES\" \"I\""
                " WHERE \"DEPARTMENT_ID\"=:B1)",
                "    TABLE ACCESS FULL EMPLOYEES|SEL$1|E@SEL$1||",
                "    SORT AGGREGATE|SEL$2|||",
                "      TABLE ACCESS BY INDEX ROWID EMPLOYEES|SEL$2|I@SEL$2||",
                "        INDEX RANGE SCAN EMP_DEPARTMENT_IX|SEL$2|I@SEL$2|"
                "\"I\".\"DEPARTMENT_ID\"=:B1|"};
    // HAVING filters the groups: one FILTER over the grouping, its
    // subqueries under it (run once, or once per group when correlated),
    // as the FILTER of a WHERE subquery runs over the rows.
    QTest::newRow("having with a subquery")
        << "SELECT department_id, COUNT(*) FROM employees GROUP BY department_id"
           " HAVING COUNT(*) > (SELECT AVG(salary) / 1000 FROM employees)"
        << Plan{"SELECT STATEMENT||||",
                "  FILTER|SEL$1|||COUNT(*)> (SELECT AVG(\"SALARY\")/1000 FROM \"EMPLOYEES\""
                " \"EMPLOYEES\")",
                "    HASH GROUP BY|SEL$1|||",
                "      TABLE ACCESS FULL EMPLOYEES|SEL$1|EMPLOYEES@SEL$1||",
                "    SORT AGGREGATE|SEL$2|||",
                "      TABLE ACCESS FULL EMPLOYEES|SEL$2|EMPLOYEES@SEL$2||"};
    QTest::newRow("having in a subquery")
        << "SELECT department_id FROM employees GROUP BY department_id"
           " HAVING department_id IN (SELECT department_id FROM departments"
           " WHERE country_id = 'US')"
        << Plan{"SELECT STATEMENT||||",
                "  FILTER|SEL$1||| EXISTS (SELECT 0 FROM \"DEPARTMENTS\" \"DEPARTMENTS\" WHERE"
                " \"COUNTRY_ID\"='US' AND \"DEPARTMENT_ID\"=:B1)",
                "    HASH GROUP BY|SEL$1|||",
                "      TABLE ACCESS FULL EMPLOYEES|SEL$1|EMPLOYEES@SEL$1||",
                "    TABLE ACCESS FULL DEPARTMENTS|SEL$2|DEPARTMENTS@SEL$2||"
                "\"COUNTRY_ID\"='US'"};
    QTest::newRow("insert of a query")
        << "INSERT INTO sales_history SELECT * FROM sales_history WHERE channel = 'WEB'"
        << Plan{"INSERT STATEMENT||||", "  LOAD TABLE CONVENTIONAL SALES_HISTORY|INS$1|||",
                "    TABLE ACCESS FULL SALES_HISTORY|SEL$1|SALES_HISTORY@SEL$1||"
                "\"CHANNEL\"='WEB'"};
}

void TestPlanShapes::plansInFull() {
    QFETCH(QString, sql);
    QFETCH(Plan, plan);
    QCOMPARE(explainInFull(*m_sample, sql).join('\n'),
             withConstraintNames(*m_sample, plan).join('\n'));
}

void TestPlanShapes::ownSchemaShapes_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Plan>("plan");
    const QString root = "SELECT STATEMENT";
    QTest::newRow("integer key under its constraint's name")
        << "SELECT name FROM item WHERE item_id = 7"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID ITEM", "    INDEX UNIQUE SCAN PK_ITEM"};
    QTest::newRow("integer key in a list")
        << "SELECT name FROM item WHERE item_id IN (7, 8, 9)"
        << Plan{root, "  INLIST ITERATOR", "    TABLE ACCESS BY INDEX ROWID ITEM",
                "      INDEX UNIQUE SCAN PK_ITEM"};
    QTest::newRow("named unique constraint")
        << "SELECT name FROM item WHERE code = 'C7'"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID ITEM", "    INDEX UNIQUE SCAN UK_ITEM_CODE"};
    QTest::newRow("composite key, both columns")
        << "SELECT qty FROM stock WHERE store_id = 3 AND item_id = 42"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID STOCK", "    INDEX UNIQUE SCAN PK_STOCK"};
    QTest::newRow("composite key, leading column")
        << "SELECT qty FROM stock WHERE store_id = 3"
        << Plan{root, "  TABLE ACCESS BY INDEX ROWID STOCK", "    INDEX RANGE SCAN PK_STOCK"};
    QTest::newRow("join through the inner key")
        << "SELECT i.name, s.qty FROM stock s, item i WHERE i.item_id = s.item_id AND s.qty > 80"
        << Plan{root, "  NESTED LOOPS", "    TABLE ACCESS FULL STOCK",
                "    TABLE ACCESS BY INDEX ROWID ITEM", "      INDEX UNIQUE SCAN PK_ITEM"};
    QTest::newRow("connect by from a key") << "SELECT name, LEVEL FROM item START WITH item_id = 1"
                                              " CONNECT BY PRIOR item_id = parent_id"
                                           << Plan{root,
                                                   "  CONNECT BY WITH FILTERING",
                                                   "    TABLE ACCESS BY INDEX ROWID ITEM",
                                                   "      INDEX UNIQUE SCAN PK_ITEM",
                                                   "    NESTED LOOPS",
                                                   "      CONNECT BY PUMP",
                                                   "      TABLE ACCESS BY INDEX ROWID ITEM",
                                                   "        INDEX RANGE SCAN ITEM_PARENT_IX"};
    QTest::newRow("rownum top-n in key order")
        << "SELECT * FROM (SELECT name FROM item ORDER BY item_id) WHERE ROWNUM <= 5"
        << Plan{root, "  COUNT STOPKEY", "    VIEW", "      TABLE ACCESS BY INDEX ROWID ITEM",
                "        INDEX FULL SCAN PK_ITEM"};
    QTest::newRow("order by a nullable indexed column")
        << "SELECT name FROM item ORDER BY parent_id"
        << Plan{root, "  SORT ORDER BY", "    TABLE ACCESS FULL ITEM"};
    // Without an index SQLite counts the table's rows.
    QTest::newRow("count of a table without an index")
        << "SELECT COUNT(*) FROM audit_log"
        << Plan{root, "  SORT AGGREGATE", "    TABLE ACCESS FULL AUDIT_LOG"};
    QTest::newRow("rownum top-n of a table without an index")
        << "SELECT * FROM (SELECT who, logged FROM audit_log ORDER BY logged DESC)"
           " WHERE ROWNUM <= 5"
        << Plan{root, "  COUNT STOPKEY", "    VIEW", "      SORT ORDER BY STOPKEY",
                "        TABLE ACCESS FULL AUDIT_LOG"};
    // The rows an INSERT stores go straight into the load, also when they
    // are grouped or made distinct first.
    QTest::newRow("insert of distinct rows")
        << "INSERT INTO price_list SELECT DISTINCT who, 1 FROM audit_log"
        << Plan{"INSERT STATEMENT", "  LOAD TABLE CONVENTIONAL PRICE_LIST", "    HASH UNIQUE",
                "      TABLE ACCESS FULL AUDIT_LOG"};
    QTest::newRow("insert of groups")
        << "INSERT INTO price_list SELECT who, COUNT(*) FROM audit_log GROUP BY who"
        << Plan{"INSERT STATEMENT", "  LOAD TABLE CONVENTIONAL PRICE_LIST", "    HASH GROUP BY",
                "      TABLE ACCESS FULL AUDIT_LOG"};
    // DISTINCT over a unique key of NOT NULL columns keeps every row:
    // Oracle drops it (distinct elimination).
    QTest::newRow("distinct of a unique key")
        << "SELECT DISTINCT code, price FROM item"
        << Plan{"SELECT STATEMENT", "  TABLE ACCESS FULL ITEM"};
    QTest::newRow("with query read in a subquery too")
        << "WITH recent AS (SELECT who, what, logged FROM audit_log"
           " WHERE logged > DATE '2025-06-01') SELECT r.who FROM recent r"
           " WHERE r.who IN (SELECT who FROM recent WHERE what = 'x')"
        << Plan{root,
                "  TEMP TABLE TRANSFORMATION",
                "    LOAD AS SELECT (CURSOR DURATION MEMORY) SYS_TEMP",
                "      TABLE ACCESS FULL AUDIT_LOG",
                "    HASH JOIN SEMI",
                "      VIEW",
                "        TABLE ACCESS FULL SYS_TEMP",
                "      VIEW",
                "        TABLE ACCESS FULL SYS_TEMP"};
}

void TestPlanShapes::ownSchemaShapes() {
    QFETCH(QString, sql);
    QFETCH(Plan, plan);
    QCOMPARE(explain(*m_own, sql).join('\n'), plan.join('\n'));
}

// The rows of a materialised WITH query: one temporary table, owned by SYS,
// loaded once and scanned at each read; the statement's cost includes the
// load once.
void TestPlanShapes::materialisedWithQuery() {
    explain(*m_sample,
            "WITH d AS (SELECT department_id, AVG(salary) a FROM employees GROUP BY department_id)"
            " SELECT d1.department_id, d2.a FROM d d1 JOIN d d2 ON d1.department_id ="
            " d2.department_id");
    const ResultTable t = m_sample->query(
        "SELECT id, parent_id, operation, options, object_owner, object_name, object_type,"
        " object_alias, cost, cardinality FROM plan_table WHERE statement_id = 'shape' ORDER BY "
        "id");
    QStringList temporary, owners, types;
    int loads = 0, scans = 0;
    for (const auto& row : t.rows) {
        const QString name = cellText(row[5]);
        if (!name.startsWith("SYS_TEMP_"))
            continue;
        temporary << name;
        owners << cellText(row[4]);
        types << cellText(row[6]);
        loads += cellText(row[2]) == "LOAD AS SELECT";
        scans += cellText(row[2]) == "TABLE ACCESS" && cellText(row[3]) == "FULL";
    }
    QCOMPARE(loads, 1);
    QCOMPARE(scans, 2);
    QCOMPARE(temporary.size(), 3);
    QCOMPARE(temporary.filter(temporary.front()).size(), 3);  // one table
    QCOMPARE(owners.filter("SYS").size(), 3);
    QCOMPARE(types.filter("TABLE (TEMP)").size(), 3);
    QCOMPARE(cellText(t.rows[1][2]), QString("TEMP TABLE TRANSFORMATION"));
    // the views are read under the names the query gives them
    QStringList aliases;
    for (const auto& row : t.rows)
        if (cellText(row[2]) == "VIEW")
            aliases << cellText(row[7]);
    QCOMPARE(aliases, (QStringList{"D1@SEL$2", "D2@SEL$2"}));
    // no row is named after the query name
    for (const auto& row : t.rows)
        QVERIFY2(cellText(row[5]) != "D", "a row names the WITH query as if it were a table");

    // DBMS_XPLAN shows the load with its option and the table's name
    const QStringList display = firstColumn(
        *m_sample,
        "SELECT plan_table_output FROM TABLE(DBMS_XPLAN.DISPLAY('PLAN_TABLE', 'shape', 'BASIC'))");
    QVERIFY2(display.filter(QRegularExpression("^\\|   2 \\|   LOAD AS SELECT \\(CURSOR DURATION "
                                               "MEMORY\\)\\| " +
                                               QRegularExpression::escape(temporary.front())))
                     .size() == 1,
             qPrintable(display.join('\n')));
}

// Scalar subqueries keep the query block names of their place in the text
// (SEL$2 the select list's, SEL$3 the one of WHERE, whichever SQLite runs
// first), and the step that runs a subquery of WHERE carries its condition:
// a filter of the scan, or the access of the index whose key it gives.
void TestPlanShapes::scalarSubqueryBlocksAndConditions() {
    auto rows = [&](const QString& sql) {
        explain(*m_sample, sql);
        const ResultTable t = m_sample->query(
            "SELECT operation || ' ' || options, qblock_name, access_predicates,"
            " filter_predicates FROM plan_table WHERE statement_id = 'shape' ORDER BY id");
        QStringList out;
        for (const auto& r : t.rows) {
            QStringList cells;
            for (const auto& c : r)
                cells << (c.isNull() ? QString() : cellText(c));
            out << cells.join('|');
        }
        return out;
    };
    QStringList plan = rows(
        "SELECT last_name, (SELECT MAX(salary) FROM employees) FROM employees"
        " WHERE salary > (SELECT AVG(salary) FROM employees WHERE department_id = 50)");
    QCOMPARE(plan.filter("SORT AGGREGATE"),
             (QStringList{"SORT AGGREGATE|SEL$2||", "SORT AGGREGATE|SEL$3||"}));
    QCOMPARE(plan.value(3), QString("TABLE ACCESS FULL|SEL$1||\"SALARY\"> (SELECT AVG(\"SALARY\")"
                                    " FROM \"EMPLOYEES\" \"EMPLOYEES\" WHERE"
                                    " \"DEPARTMENT_ID\"=50)"));
    QCOMPARE(plan.value(6), QString("INDEX RANGE SCAN|SEL$3|\"DEPARTMENT_ID\"=50|"));

    // two subqueries of WHERE over the same table: the key's (SEL$3) under
    // the index step, the filter's (SEL$2) under the table step after it
    plan = rows(
        "SELECT last_name FROM employees WHERE hire_date > (SELECT MIN(hire_date) FROM"
        " employees WHERE department_id = 50) AND department_id = (SELECT MAX(department_id)"
        " FROM employees)");
    QCOMPARE(plan.filter("SORT AGGREGATE").join(','),
             QString("SORT AGGREGATE|SEL$3||,SORT AGGREGATE|SEL$2||"));
    QCOMPARE(plan.value(3), QString("SORT AGGREGATE|SEL$3||"));
    QVERIFY2(plan.value(1).startsWith("TABLE ACCESS BY INDEX ROWID|SEL$1||\"HIRE_DATE\">"),
             qPrintable(plan.join('\n')));
    QVERIFY2(plan.value(2).startsWith("INDEX RANGE SCAN|SEL$1|\"DEPARTMENT_ID\"= (SELECT"),
             qPrintable(plan.join('\n')));

    // HAVING: the filter above the grouping
    plan = rows(
        "SELECT department_id FROM employees GROUP BY department_id"
        " HAVING COUNT(*) > 5 AND MAX(salary) < 9000");
    QCOMPARE(plan.value(1), QString("FILTER |SEL$1||COUNT(*)>5 AND MAX(\"SALARY\")<9000"));
}

// Over every statement of the set, on both schemas: numbers on every row,
// the root's POSITION is the plan's cost, a parent costs at least what
// each child costs, ids and depths agree with the parents, a unique scan
// finds one row, a second EXPLAIN gives the same rows, and DBMS_XPLAN
// shows each row once, at its depth, marked when it has predicates.
void TestPlanShapes::costModelOverEveryPlan() {
    if (m_explained.isEmpty())
        QSKIP("runs over the statements of the shape tests: run them first");
    for (const QString& entry : m_explained) {
        const bool sample = entry.startsWith("sample:");
        Connection& db = sample ? *m_sample : *m_own;
        const QString sql = entry.mid(entry.indexOf(':') + 1);
        auto rowsOf = [&] {
            db.execute("DELETE FROM plan_table WHERE statement_id = 'prop'");
            db.execute("EXPLAIN PLAN SET STATEMENT_ID = 'prop' FOR " + sql.toStdString());
            return db.query(
                "SELECT id, parent_id, depth, position, cost, io_cost, cpu_cost, cardinality,"
                " bytes, time, operation, options, access_predicates, filter_predicates"
                " FROM plan_table WHERE statement_id = 'prop' ORDER BY id");
        };
        const ResultTable t = rowsOf();
        const QByteArray what = sql.toUtf8();
        QVERIFY2(!t.rows.empty(), what);
        std::map<int, double> cost;
        std::map<int, int> depth;
        for (std::size_t i = 0; i < t.rows.size(); ++i) {
            const auto& r = t.rows[i];
            QCOMPARE(cellText(r[0]).toInt(), static_cast<int>(i));
            for (int c : {4, 5, 6, 7, 8, 9})
                QVERIFY2(!r[c].isNull(), what + " row " + QByteArray::number(int(i)));
            const int id = cellText(r[0]).toInt();
            cost[id] = cellText(r[4]).toDouble();
            depth[id] = cellText(r[2]).toInt();
            if (i == 0) {
                QVERIFY2(r[1].isNull(), what);
                QCOMPARE(cellText(r[3]), cellText(r[4]));
                QCOMPARE(depth[id], 0);
                continue;
            }
            const int parent = cellText(r[1]).toInt();
            QVERIFY2(parent < id && cost.count(parent), what);
            QVERIFY2(cost[parent] >= cost[id], what + " row " + QByteArray::number(id));
            QCOMPARE(depth[id], depth[parent] + 1);
            if (cellText(r[10]) == "INDEX" && cellText(r[11]) == "UNIQUE SCAN")
                QVERIFY2(cellText(r[7]) == "1", what);
        }
        // the same numbers again
        const ResultTable again = rowsOf();
        QCOMPARE(again.rows.size(), t.rows.size());
        for (std::size_t i = 0; i < t.rows.size(); ++i)
            for (std::size_t c = 0; c < t.rows[i].size(); ++c)
                QVERIFY2(cellText(again.rows[i][c]) == cellText(t.rows[i][c]), what);

        // the display: one line per row, "*" where there are predicates,
        // the operation indented by its depth
        const QStringList display = firstColumn(
            db,
            "SELECT plan_table_output FROM TABLE(DBMS_XPLAN.DISPLAY('PLAN_TABLE', 'prop',"
            " 'TYPICAL'))");
        static const QRegularExpression line("^\\|([* ])\\s*(\\d+) \\|( *)(\\S.*?)\\s*\\|");
        int lines = 0;
        for (const QString& l : display) {
            const auto m = line.match(l);
            if (!m.hasMatch())
                continue;
            const auto& r = t.rows.at(static_cast<std::size_t>(m.captured(2).toInt()));
            const bool predicates = !r[12].isNull() || !r[13].isNull();
            QVERIFY2((m.captured(1) == "*") == predicates, qPrintable(l));
            QCOMPARE(m.captured(3).size(), 1 + cellText(r[2]).toInt());
            QVERIFY2(m.captured(4).startsWith(cellText(r[10])), qPrintable(l));
            ++lines;
        }
        QVERIFY2(lines == static_cast<int>(t.rows.size()), qPrintable(display.join('\n')));
    }
}

QTEST_GUILESS_MAIN(TestPlanShapes)
#include "tst_planshapes.moc"
