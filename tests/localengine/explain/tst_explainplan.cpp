// EXPLAIN PLAN of the local engine: SQLite's plan lines mapped to Oracle
// plan steps, written to PLAN_TABLE. The database tests run on small
// in-memory schemas; the mapper tests feed made-up plan lines.

#include <sqlite3.h>

#include <QtTest>

#include "explain/ExplainPlan.h"
#include "schema/Constraints.h"
#include "schema/Dictionary.h"
#include "sqlite/StatementCache.h"

using namespace localengine;
using namespace localengine::explain;
using localengine::schema::generatedConstraintName;
using localengine::schema::installDictionary;
using localengine::schema::refreshDictionary;

namespace {

const char* const kPlanTable =
    "CREATE TABLE PLAN_TABLE(statement_id, timestamp, remarks, operation, options, object_node, "
    "object_owner, object_name, object_instance, object_type, optimizer, search_columns, id, "
    "parent_id, position, cost, cardinality, bytes, other_tag, partition_start, partition_stop, "
    "partition_id, other)";

// The layout of Oracle 10g and later, with the estimates' parts, the
// predicates and the query block names.
const char* const kPlanTable10g =
    "CREATE TABLE PLAN_TABLE(statement_id, plan_id, timestamp, remarks, operation, options,"
    " object_node, object_owner, object_name, object_alias, object_instance, object_type,"
    " optimizer, search_columns, id, parent_id, depth, position, cost, cardinality, bytes,"
    " other_tag, partition_start, partition_stop, partition_id, other, distribution, cpu_cost,"
    " io_cost, temp_space, access_predicates, filter_predicates, projection, time, qblock_name,"
    " other_xml)";

// Small schema, no statistics: keys, unique and composite indexes, a
// WITHOUT ROWID table, a table without a key, a view. The indexed columns
// are NOT NULL: an index of nullable columns cannot give Oracle every row.
const char* const kPlainSchema =
    "CREATE TABLE dept(deptno INTEGER PRIMARY KEY, dname TEXT, loc TEXT);"
    "CREATE TABLE emp(empno INTEGER PRIMARY KEY, ename TEXT NOT NULL, job TEXT NOT NULL, mgr INT,"
    " hiredate TEXT, sal REAL, comm REAL, deptno INT NOT NULL REFERENCES dept);"
    "CREATE INDEX emp_dept ON emp(deptno);"
    "CREATE UNIQUE INDEX emp_ename ON emp(ename);"
    "CREATE INDEX emp_job_sal ON emp(job, sal);"
    "CREATE TABLE wr(a INT, b INT, c TEXT, CONSTRAINT wr_pk PRIMARY KEY(a, b)) WITHOUT ROWID;"
    "CREATE TABLE grade(lo INT, hi INT, name TEXT UNIQUE);"
    "CREATE TABLE nopk(x INT, y INT);"
    "CREATE VIEW v_emp AS SELECT e.ename, d.dname FROM emp e JOIN dept d ON d.deptno = e.deptno;"
    "INSERT INTO dept VALUES (10, 'ACCOUNTING', 'NEW YORK'), (20, 'RESEARCH', 'DALLAS');"
    "INSERT INTO emp(empno, ename, job, sal, deptno) VALUES (7369, 'SMITH', 'CLERK', 800, 20);";

// Analysed schema: the planner uses skip scans, Bloom filters and partial
// automatic indexes only when statistics say so.
const char* const kAnalysedSchema =
    "CREATE TABLE big(id INTEGER PRIMARY KEY, a INT NOT NULL, b INT, c INT);"
    "CREATE INDEX big_ab ON big(a, b);"
    "CREATE INDEX big_c ON big(c);"
    "CREATE TABLE small(k INT, v INT);"
    "CREATE TABLE mid(m INTEGER PRIMARY KEY, big_id INT, w INT);"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)"
    " INSERT INTO big SELECT i, i % 3, i % 100, i FROM n;"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50)"
    " INSERT INTO small SELECT i, i FROM n;"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)"
    " INSERT INTO mid SELECT i, i % 5000, i % 7 FROM n;"
    "CREATE VIRTUAL TABLE docs USING fts5(body);"
    "ANALYZE;";

struct Row {
    int id = -1;
    QVariant parent, position, cost, cardinality, instance;
    QString operation, options, owner, name, type, optimizer, other, statementId, timestamp;
};

class PlanDb {
public:
    explicit PlanDb(const char* schema, const char* planTable = kPlanTable) {
        sqlite3_open(":memory:", &m_db);
        exec(schema);
        exec(planTable);
    }
    ~PlanDb() { sqlite3_close(m_db); }
    sqlite3* db() const { return m_db; }

    void exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            QString text = error;
            sqlite3_free(error);
            QFAIL(qPrintable(text));
        }
    }

    qint64 scalar(const char* sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr);
        qint64 v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        return v;
    }

    std::int64_t explain(const QString& sql, const char* id = "t") {
        ExplainTarget target;
        target.statementId = id;
        target.owner = "SCOTT";
        std::string text = sql.toStdString();
        return explainPlan(m_db, text, text, target);
    }

    // The rows of one statement id in id order (the ids are depth first).
    QList<Row> rows(const char* id = "t") {
        QList<Row> out;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(
            m_db,
            "SELECT id, parent_id, position, cost, cardinality, object_instance, operation,"
            " options, object_owner, object_name, object_type, optimizer, other,"
            " statement_id, timestamp FROM PLAN_TABLE WHERE statement_id = ?1 ORDER BY id",
            -1, &s, nullptr);
        sqlite3_bind_text(s, 1, id, -1, SQLITE_TRANSIENT);
        auto value = [&](int i) -> QVariant {
            return sqlite3_column_type(s, i) == SQLITE_NULL ? QVariant()
                                                            : QVariant(sqlite3_column_int64(s, i));
        };
        auto text = [&](int i) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
        };
        while (sqlite3_step(s) == SQLITE_ROW) {
            Row r;
            r.id = sqlite3_column_int(s, 0);
            r.parent = value(1);
            r.position = value(2);
            r.cost = value(3);
            r.cardinality = value(4);
            r.instance = value(5);
            r.operation = text(6);
            r.options = text(7);
            r.owner = text(8);
            r.name = text(9);
            r.type = text(10);
            r.optimizer = text(11);
            r.other = text(12);
            r.statementId = text(13);
            r.timestamp = text(14);
            out.append(r);
        }
        sqlite3_finalize(s);
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};

// Checks the tree shape of the rows (ids 0..n-1 depth first, every parent
// before its children, positions 1.. among siblings) and renders each row
// as "<2 blanks per depth>OPERATION OPTIONS NAME TYPE".
QStringList render(const QList<Row>& rows) {
    QStringList out;
    QList<int> depth;
    QMap<int, int> childCount;
    for (int i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        if (r.id != i) {
            qWarning() << "ids are not 0.." << i << r.id;
            return {"<bad ids>"};
        }
        int d = 0;
        if (i == 0) {
            if (!r.parent.isNull())
                return {"<root has a parent>"};
        } else {
            int p = r.parent.toInt();
            // depth first: the parent is the nearest earlier row one level up
            if (r.parent.isNull() || p >= i || p < 0)
                return {"<bad parent>"};
            for (int k = p + 1; k < i; ++k)
                if (depth[k] <= depth[p])
                    return {"<not depth first>"};
            d = depth[p] + 1;
            if (r.position.toInt() != ++childCount[p])
                return {QString("<bad position at id %1>").arg(i)};
        }
        depth.append(d);
        QStringList parts{r.operation};
        for (const QString& s : {r.options, r.name, r.type})
            if (!s.isEmpty())
                parts << s;
        out << QString(2 * d, ' ') + parts.join(' ');
    }
    return out;
}

// The index Oracle would have for a table's INTEGER PRIMARY KEY, as the
// dictionary views name it: "INDEX UNIQUE SCAN SYS_C... INDEX (UNIQUE)".
QString keyIndex(const char* scan, const char* table, const char* column) {
    return QString("%1 %2 INDEX (UNIQUE)")
        .arg(scan, QString::fromStdString(generatedConstraintName(table, 'P', {column}, {})));
}

QStringList explainAndRender(PlanDb& db, const QString& sql) {
    db.exec("DELETE FROM PLAN_TABLE");
    db.explain(sql);
    return render(db.rows());
}

std::vector<EqpRow> eqp(std::initializer_list<EqpRow> rows) {
    return rows;
}

StaticSchema handSchema() {
    StaticSchema s;
    s.addTable({"emp", TableInfo::Kind::Table, false, {}, {}, "empno"});
    s.addTable({"dept", TableInfo::Kind::Table, false, {}, {}, "deptno"});
    s.addIndex({"emp_dept", "emp", false, false, {"deptno"}, {}});
    s.addIndex({"emp_ename", "emp", true, false, {"ename"}, {}});
    return s;
}

QStringList renderSteps(const std::vector<PlanRow>& rows) {
    QList<Row> converted;
    for (const auto& r : rows) {
        Row c;
        c.id = r.id;
        if (r.parentId)
            c.parent = *r.parentId;
        if (r.position)
            c.position = static_cast<qint64>(*r.position);
        c.operation = QString::fromStdString(r.operation);
        c.options = QString::fromStdString(r.options);
        c.name = QString::fromStdString(r.objectName);
        c.type = QString::fromStdString(r.objectType);
        converted.append(c);
    }
    return render(converted);
}

}  // namespace

class TestExplainPlan : public QObject {
    Q_OBJECT

private slots:
    void mapsPlanForms_data();
    void mapsPlanForms();
    void mapsAnalysedPlanForms_data();
    void mapsAnalysedPlanForms();
    void rowColumns();
    void costFromStatistics();
    void numbersOnEveryRow_data();
    void numbersOnEveryRow();
    void costModelProperties();
    void estimatesFollowTheData();
    void aliasesResolveToTables();
    void constraintIndexesShowDictionaryNames();
    void schemaAndStatisticsChangesAreSeen();
    void connectionWritesTheSameRows();
    void explainingChangesNoData_data();
    void explainingChangesNoData();
    void invalidStatementIsRefused_data();
    void invalidStatementIsRefused();
    void missingPlanTable();
    void unknownFormStillGivesRows();
    void olderReleaseForms();
    void reuseAndInOperatorLines();
    void parsesDetailLines_data();
    void parsesDetailLines();
    void statementShape();
};

void TestExplainPlan::mapsPlanForms_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("plan");
    const QString root = "SELECT STATEMENT";
    // An INTEGER PRIMARY KEY is SQLite's rowid; Oracle reads a primary key
    // through its index.
    const QString empKey = keyIndex("INDEX UNIQUE SCAN", "EMP", "EMPNO");
    const QString empKeyRange = keyIndex("INDEX RANGE SCAN", "EMP", "EMPNO");
    const QString deptKey = keyIndex("INDEX UNIQUE SCAN", "DEPT", "DEPTNO");

    QTest::newRow("rowid lookup") << "SELECT * FROM emp e WHERE e.empno = 1"
                                  << QStringList{root, "  TABLE ACCESS BY INDEX ROWID EMP TABLE",
                                                 "    " + empKey};
    QTest::newRow("rowid range") << "SELECT * FROM emp WHERE empno BETWEEN 1 AND 5"
                                 << QStringList{root, "  TABLE ACCESS BY INDEX ROWID EMP TABLE",
                                                "    " + empKeyRange};
    QTest::newRow("user rowid") << "SELECT * FROM nopk WHERE rowid = 1"
                                << QStringList{root, "  TABLE ACCESS BY USER ROWID NOPK TABLE"};
    QTest::newRow("full scan, nested loops")
        << "SELECT * FROM emp e, dept d WHERE e.deptno = d.deptno"
        << QStringList{root, "  NESTED LOOPS", "    TABLE ACCESS FULL EMP TABLE",
                       "    TABLE ACCESS BY INDEX ROWID DEPT TABLE", "      " + deptKey};
    QTest::newRow("unique index equality")
        << "SELECT * FROM emp WHERE ename = 'x'"
        << QStringList{root, "  TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "    INDEX UNIQUE SCAN EMP_ENAME INDEX (UNIQUE)"};
    QTest::newRow("covering range")
        << "SELECT ename FROM emp WHERE ename > 'x'"
        << QStringList{root, "  INDEX RANGE SCAN EMP_ENAME INDEX (UNIQUE)"};
    QTest::newRow("prefix of composite index")
        << "SELECT * FROM emp WHERE job = 'x'"
        << QStringList{root, "  TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "    INDEX RANGE SCAN EMP_JOB_SAL INDEX"};
    QTest::newRow("in list") << "SELECT * FROM emp WHERE job IN ('a', 'b')"
                             << QStringList{root, "  INLIST ITERATOR",
                                            "    TABLE ACCESS BY INDEX ROWID EMP TABLE",
                                            "      INDEX RANGE SCAN EMP_JOB_SAL INDEX"};
    QTest::newRow("in list on rowid")
        << "SELECT * FROM emp e WHERE e.empno IN (1, 2, 3)"
        << QStringList{root, "  INLIST ITERATOR", "    TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "      " + empKey};
    QTest::newRow("index walk for order")
        << "SELECT * FROM emp ORDER BY deptno, hiredate"
        << QStringList{root, "  SORT ORDER BY", "    TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "      INDEX FULL SCAN EMP_DEPT INDEX"};
    QTest::newRow("without rowid, full")
        << "SELECT * FROM wr" << QStringList{root, "  INDEX FULL SCAN WR_PK INDEX (UNIQUE)"};
    QTest::newRow("without rowid, range")
        << "SELECT * FROM wr WHERE a = 1"
        << QStringList{root, "  INDEX RANGE SCAN WR_PK INDEX (UNIQUE)"};
    QTest::newRow("without rowid, unique")
        << "SELECT * FROM wr WHERE a = 1 AND b = 2"
        << QStringList{root, "  INDEX UNIQUE SCAN WR_PK INDEX (UNIQUE)"};
    QTest::newRow("without rowid, max")
        << "SELECT max(b) FROM wr"
        << QStringList{root, "  SORT AGGREGATE",
                       "    INDEX FULL SCAN (MIN/MAX) WR_PK INDEX (UNIQUE)"};
    QTest::newRow("max by index") << "SELECT max(sal) FROM emp"
                                  << QStringList{root, "  SORT AGGREGATE",
                                                 "    INDEX FULL SCAN (MIN/MAX) EMP_JOB_SAL INDEX"};
    QTest::newRow("max after equality")
        << "SELECT max(sal) FROM emp WHERE job = 'x'"
        << QStringList{root, "  SORT AGGREGATE",
                       "    INDEX RANGE SCAN (MIN/MAX) EMP_JOB_SAL INDEX"};
    QTest::newRow("max without index")
        << "SELECT max(x) FROM nopk"
        << QStringList{root, "  SORT AGGREGATE", "    TABLE ACCESS FULL NOPK TABLE"};
    QTest::newRow("count(*)") << "SELECT count(*) FROM emp"
                              << QStringList{root, "  SORT AGGREGATE",
                                             "    INDEX FAST FULL SCAN EMP_DEPT INDEX"};
    QTest::newRow("left join, automatic index")
        << "SELECT * FROM emp LEFT JOIN nopk ON x = empno"
        << QStringList{root, "  HASH JOIN RIGHT OUTER", "    TABLE ACCESS FULL NOPK TABLE",
                       "    TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("automatic index")
        << "SELECT * FROM nopk a, nopk b WHERE a.x = b.y"
        << QStringList{root, "  HASH JOIN", "    TABLE ACCESS FULL NOPK TABLE",
                       "    TABLE ACCESS FULL NOPK TABLE"};
    QTest::newRow("or by two indexes")
        << "SELECT * FROM emp WHERE ename = 'a' OR job = 'b'"
        << QStringList{root,
                       "  CONCATENATION",
                       "    TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "      INDEX UNIQUE SCAN EMP_ENAME INDEX (UNIQUE)",
                       "    TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "      INDEX RANGE SCAN EMP_JOB_SAL INDEX"};
    QTest::newRow("constant row") << "SELECT 1" << QStringList{root, "  FAST DUAL"};
    QTest::newRow("constant rows") << "VALUES (1), (2)" << QStringList{root, "  FAST DUAL"};
    QTest::newRow("order by") << "SELECT * FROM emp ORDER BY hiredate"
                              << QStringList{root, "  SORT ORDER BY",
                                             "    TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("group by in index order")
        << "SELECT job, count(*) FROM emp GROUP BY job"
        << QStringList{root, "  SORT GROUP BY NOSORT", "    INDEX FULL SCAN EMP_JOB_SAL INDEX"};
    // 10gR2 on: GROUP BY and DISTINCT hash the rows; they sort only when
    // ORDER BY wants the groups in order
    QTest::newRow("group by hashed")
        << "SELECT loc, count(*) FROM dept GROUP BY loc"
        << QStringList{root, "  HASH GROUP BY", "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("group by in the order asked")
        << "SELECT loc, count(*) FROM dept GROUP BY loc ORDER BY loc"
        << QStringList{root, "  SORT GROUP BY", "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("group by ordered by an aggregate")
        << "SELECT loc, count(*) FROM dept GROUP BY loc ORDER BY 2"
        << QStringList{root, "  SORT ORDER BY", "    HASH GROUP BY",
                       "      TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("distinct") << "SELECT DISTINCT loc FROM dept"
                              << QStringList{root, "  HASH UNIQUE",
                                             "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("distinct in order")
        << "SELECT DISTINCT loc FROM dept ORDER BY loc"
        << QStringList{root, "  SORT UNIQUE", "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("count distinct")
        << "SELECT count(DISTINCT loc) FROM dept"
        << QStringList{root, "  SORT GROUP BY", "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("limit") << "SELECT * FROM emp LIMIT 5"
                           << QStringList{root, "  COUNT STOPKEY",
                                          "    TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("order by and limit")
        << "SELECT * FROM emp ORDER BY hiredate LIMIT 5"
        << QStringList{root, "  COUNT STOPKEY", "    SORT ORDER BY STOPKEY",
                       "      TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("recursive with")
        << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 10) SELECT * "
           "FROM c"
        << QStringList{root, "  VIEW C VIEW", "    UNION ALL (RECURSIVE WITH) BREADTH FIRST",
                       "      FAST DUAL", "      RECURSIVE WITH PUMP"};
    QTest::newRow("union") << "SELECT ename FROM emp UNION SELECT dname FROM dept"
                           << QStringList{root, "  SORT UNIQUE", "    UNION-ALL",
                                          "      INDEX FULL SCAN EMP_ENAME INDEX (UNIQUE)",
                                          "      TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("union all of three")
        << "SELECT ename FROM emp UNION ALL SELECT dname FROM dept UNION ALL SELECT loc FROM dept"
        << QStringList{root, "  UNION-ALL", "    INDEX FULL SCAN EMP_ENAME INDEX (UNIQUE)",
                       "    TABLE ACCESS FULL DEPT TABLE", "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("except") << "SELECT ename FROM emp EXCEPT SELECT dname FROM dept"
                            << QStringList{root,
                                           "  MINUS",
                                           "    SORT UNIQUE",
                                           "      INDEX FULL SCAN EMP_ENAME INDEX (UNIQUE)",
                                           "    SORT UNIQUE",
                                           "      TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("intersect, merged in order")
        << "SELECT ename FROM emp INTERSECT SELECT dname FROM dept ORDER BY 1"
        << QStringList{root,
                       "  SORT ORDER BY",
                       "    INTERSECTION",
                       "      SORT UNIQUE",
                       "        INDEX FULL SCAN EMP_ENAME INDEX (UNIQUE)",
                       "      SORT UNIQUE",
                       "        TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("union all, merged in order")
        << "SELECT ename FROM emp UNION ALL SELECT dname FROM dept ORDER BY 1"
        << QStringList{root,
                       "  SORT ORDER BY",
                       "    UNION-ALL",
                       "      INDEX FULL SCAN EMP_ENAME INDEX (UNIQUE)",
                       "      SORT ORDER BY",
                       "        TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("flattened view")
        << "SELECT * FROM v_emp"
        << QStringList{root, "  NESTED LOOPS", "    TABLE ACCESS FULL EMP TABLE",
                       "    TABLE ACCESS BY INDEX ROWID DEPT TABLE", "      " + deptKey};
    QTest::newRow("co-routine")
        << "SELECT * FROM (SELECT * FROM emp e, dept d WHERE e.deptno = d.deptno LIMIT 3) x"
           " WHERE x.sal > 1"
        << QStringList{root,
                       "  VIEW X VIEW",
                       "    COUNT STOPKEY",
                       "      NESTED LOOPS",
                       "        TABLE ACCESS FULL EMP TABLE",
                       "        TABLE ACCESS BY INDEX ROWID DEPT TABLE",
                       "          " + deptKey};
    QTest::newRow("materialized cte read twice")
        << "WITH m AS MATERIALIZED (SELECT deptno, count(*) c FROM emp GROUP BY deptno)"
           " SELECT * FROM m a, m b WHERE a.deptno = b.deptno"
        << QStringList{root,
                       "  HASH JOIN",
                       "    VIEW M VIEW",
                       "    VIEW M VIEW",
                       "      SORT GROUP BY NOSORT",
                       "        INDEX FULL SCAN EMP_DEPT INDEX"};
    QTest::newRow("scalar subquery")
        << "SELECT *, (SELECT max(sal) FROM emp) FROM dept"
        << QStringList{root, "  SORT AGGREGATE", "    INDEX FULL SCAN (MIN/MAX) EMP_JOB_SAL INDEX",
                       "  TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("correlated exists")
        << "SELECT * FROM dept d WHERE EXISTS (SELECT 1 FROM emp e WHERE e.deptno = d.deptno)"
        << QStringList{root, "  FILTER", "    TABLE ACCESS FULL DEPT TABLE",
                       "    INDEX RANGE SCAN EMP_DEPT INDEX"};
    QTest::newRow("in subquery drives the probe")
        << "SELECT * FROM emp WHERE deptno IN (SELECT deptno FROM dept WHERE loc = 'x')"
        << QStringList{root,
                       "  NESTED LOOPS",
                       "    SORT UNIQUE",
                       "      TABLE ACCESS FULL DEPT TABLE",
                       "    TABLE ACCESS BY INDEX ROWID EMP TABLE",
                       "      INDEX RANGE SCAN EMP_DEPT INDEX"};
    QTest::newRow("in subquery filters")
        << "SELECT * FROM emp WHERE sal IN (SELECT x FROM nopk)"
        << QStringList{root, "  FILTER", "    TABLE ACCESS FULL EMP TABLE",
                       "    TABLE ACCESS FULL NOPK TABLE"};
    QTest::newRow("rowid probe for not in")
        << "SELECT * FROM emp WHERE deptno NOT IN (SELECT deptno FROM dept)"
        << QStringList{root, "  FILTER", "    TABLE ACCESS FULL EMP TABLE", "    " + deptKey};
    QTest::newRow("index probe for in")
        << "SELECT * FROM dept WHERE loc IN (SELECT ename FROM emp)"
        << QStringList{root, "  FILTER", "    TABLE ACCESS FULL DEPT TABLE",
                       "    INDEX UNIQUE SCAN EMP_ENAME INDEX (UNIQUE)"};
    QTest::newRow("right join") << "SELECT * FROM emp RIGHT JOIN dept ON dept.deptno = emp.deptno"
                                << QStringList{root, "  HASH JOIN RIGHT OUTER",
                                               "    TABLE ACCESS FULL EMP TABLE",
                                               "    TABLE ACCESS BY INDEX ROWID DEPT TABLE",
                                               "      " + deptKey};
    QTest::newRow("full join") << "SELECT * FROM emp e FULL JOIN dept d ON d.deptno = e.deptno"
                               << QStringList{root, "  HASH JOIN FULL OUTER",
                                              "    TABLE ACCESS FULL EMP TABLE",
                                              "    TABLE ACCESS BY INDEX ROWID DEPT TABLE",
                                              "      " + deptKey};
    QTest::newRow("table-valued function")
        << "SELECT * FROM json_each('[1,2]')"
        << QStringList{root, "  COLLECTION ITERATOR PICKLER FETCH JSON_EACH"};
    QTest::newRow("schema-qualified name")
        << "SELECT * FROM main.emp" << QStringList{root, "  TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("insert select")
        << "INSERT INTO nopk SELECT deptno, deptno FROM dept"
        << QStringList{"INSERT STATEMENT", "  LOAD TABLE CONVENTIONAL NOPK TABLE",
                       "    TABLE ACCESS FULL DEPT TABLE"};
    QTest::newRow("insert one row")
        << "INSERT INTO nopk VALUES (1, 2)"
        << QStringList{"INSERT STATEMENT", "  LOAD TABLE CONVENTIONAL NOPK TABLE"};
    QTest::newRow("insert rows") << "INSERT INTO nopk VALUES (1, 2), (3, 4)"
                                 << QStringList{"INSERT STATEMENT",
                                                "  LOAD TABLE CONVENTIONAL NOPK TABLE",
                                                "    FAST DUAL"};
    // The rows an UPDATE or DELETE finds through an index are changed by
    // their rowids: the index step is right under the statement's.
    QTest::newRow("update") << "UPDATE emp SET sal = 1 WHERE empno = 3"
                            << QStringList{"UPDATE STATEMENT", "  UPDATE EMP TABLE",
                                           "    " + empKey};
    QTest::newRow("delete") << "DELETE FROM emp WHERE job = 'x'"
                            << QStringList{"DELETE STATEMENT", "  DELETE EMP TABLE",
                                           "    INDEX RANGE SCAN EMP_JOB_SAL INDEX"};
    QTest::newRow("delete all") << "DELETE FROM emp"
                                << QStringList{"DELETE STATEMENT", "  DELETE EMP TABLE",
                                               "    TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("create table as select")
        << "CREATE TABLE zz AS SELECT * FROM emp"
        << QStringList{"CREATE TABLE STATEMENT", "  LOAD AS SELECT ZZ TABLE",
                       "    TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("create index") << "CREATE UNIQUE INDEX zz ON emp(hiredate)"
                                  << QStringList{"CREATE INDEX STATEMENT",
                                                 "  INDEX BUILD UNIQUE ZZ INDEX (UNIQUE)",
                                                 "    SORT CREATE INDEX",
                                                 "      TABLE ACCESS FULL EMP TABLE"};
    QTest::newRow("drop table") << "DROP TABLE nopk" << QStringList{"DROP TABLE STATEMENT"};
}

void TestExplainPlan::mapsPlanForms() {
    QFETCH(QString, sql);
    QFETCH(QStringList, plan);
    PlanDb db(kPlainSchema);
    QCOMPARE(explainAndRender(db, sql).join('\n'), plan.join('\n'));
}

void TestExplainPlan::mapsAnalysedPlanForms_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("plan");
    const QString root = "SELECT STATEMENT";
    QTest::newRow("skip scan") << "SELECT * FROM big WHERE b = 5"
                               << QStringList{root, "  TABLE ACCESS BY INDEX ROWID BIG TABLE",
                                              "    INDEX SKIP SCAN BIG_AB INDEX"};
    QTest::newRow("bloom filter on rowid")
        << "SELECT * FROM mid, big WHERE mid.big_id = big.id AND big.a = 1"
        << QStringList{root,
                       "  NESTED LOOPS",
                       "    TABLE ACCESS FULL MID TABLE",
                       "    JOIN FILTER USE :BF0000",
                       "      TABLE ACCESS BY INDEX ROWID BIG TABLE",
                       "        " + keyIndex("INDEX UNIQUE SCAN", "BIG", "ID")};
    QTest::newRow("bloom filter on index")
        << "SELECT * FROM mid, big WHERE mid.big_id = big.c AND big.b = 7"
        << QStringList{root,
                       "  NESTED LOOPS",
                       "    TABLE ACCESS FULL MID TABLE",
                       "    JOIN FILTER USE :BF0000",
                       "      TABLE ACCESS BY INDEX ROWID BIG TABLE",
                       "        INDEX RANGE SCAN BIG_C INDEX"};
    QTest::newRow("partial automatic index")
        << "SELECT * FROM mid m, small s WHERE m.w = s.k AND s.v = 3"
        << QStringList{root, "  HASH JOIN", "    TABLE ACCESS FULL SMALL TABLE",
                       "    TABLE ACCESS FULL MID TABLE"};
    QTest::newRow("group by hashed over a covering index")
        << "SELECT a, count(*) FROM big GROUP BY b"
        << QStringList{root, "  HASH GROUP BY", "    INDEX FULL SCAN BIG_AB INDEX"};
    QTest::newRow("partial sort") << "SELECT * FROM big WHERE a = 1 ORDER BY b, c"
                                  << QStringList{root, "  SORT ORDER BY",
                                                 "    TABLE ACCESS BY INDEX ROWID BIG TABLE",
                                                 "      INDEX RANGE SCAN BIG_AB INDEX"};
    QTest::newRow("full text") << "SELECT * FROM docs WHERE docs MATCH 'x'"
                               << QStringList{root, "  DOMAIN INDEX DOCS INDEX"};
}

void TestExplainPlan::mapsAnalysedPlanForms() {
    QFETCH(QString, sql);
    QFETCH(QStringList, plan);
    PlanDb db(kAnalysedSchema);
    QCOMPARE(explainAndRender(db, sql).join('\n'), plan.join('\n'));
}

void TestExplainPlan::rowColumns() {
    PlanDb db(kPlainSchema);
    QCOMPARE(db.explain("SELECT * FROM emp e WHERE e.ename = 'x'", "10.0.0.1"), std::int64_t(3));
    const QList<Row> rows = db.rows("10.0.0.1");
    QCOMPARE(rows.size(), 3);
    for (const Row& r : rows) {
        QCOMPARE(r.statementId, QString("10.0.0.1"));
        QVERIFY(QDateTime::fromString(r.timestamp, "yyyy-MM-dd HH:mm:ss").isValid());
    }
    QCOMPARE(rows[0].optimizer, QString("ALL_ROWS"));
    QVERIFY(rows[0].owner.isEmpty());
    QCOMPARE(rows[1].owner, QString("SCOTT"));
    QCOMPARE(rows[2].owner, QString("SCOTT"));
    QVERIFY(rows[1].optimizer.isEmpty());
    QCOMPARE(rows[1].instance, QVariant(qint64(1)));
    // where each step came from stays readable
    QCOMPARE(rows[1].other, QString("SEARCH e USING INDEX emp_ename (ename=?)"));

    // a second statement id leaves the first one's rows alone
    db.explain("SELECT 1", "other");
    QCOMPARE(db.rows("10.0.0.1").size(), 3);
    QCOMPARE(db.rows("other").size(), 2);
}

void TestExplainPlan::costFromStatistics() {
    PlanDb db(kAnalysedSchema);
    db.explain("SELECT * FROM mid, big WHERE mid.big_id = big.id AND big.a = 1");
    const QList<Row> rows = db.rows();
    QVERIFY(!rows[0].cost.isNull());
    QVERIFY(rows[0].cost.toLongLong() > 0);
    QCOMPARE(rows[0].position, rows[0].cost);
    // the full scan's cardinality is the analysed row count
    bool found = false;
    for (const Row& r : rows) {
        QVERIFY(!r.cost.isNull());
        if (r.operation == "TABLE ACCESS" && r.options == "FULL") {
            QCOMPARE(r.cardinality, QVariant(qint64(20000)));
            found = true;
        }
    }
    QVERIFY(found);

    // a bigger table costs more to scan; a unique probe is cheaper than a scan
    db.exec("DELETE FROM PLAN_TABLE");
    db.explain("SELECT * FROM small");
    qint64 small = db.rows()[0].cost.toLongLong();
    db.exec("DELETE FROM PLAN_TABLE");
    db.explain("SELECT * FROM mid");
    qint64 mid = db.rows()[0].cost.toLongLong();
    db.exec("DELETE FROM PLAN_TABLE");
    db.explain("SELECT * FROM mid WHERE m = 5");
    qint64 probe = db.rows()[0].cost.toLongLong();
    QVERIFY2(small < mid, qPrintable(QString("%1 %2").arg(small).arg(mid)));
    QVERIFY(probe < mid);

    db.exec("DELETE FROM PLAN_TABLE");
    db.explain("SELECT * FROM big ORDER BY c LIMIT 10");
    QCOMPARE(db.rows()[1].operation, QString("COUNT"));
    QCOMPARE(db.rows()[1].cardinality, QVariant(qint64(10)));
}

void TestExplainPlan::numbersOnEveryRow_data() {
    QTest::addColumn<bool>("analysed");
    QTest::addColumn<QString>("sql");
    // Without statistics the engine samples the tables itself.
    QTest::newRow("join, sampled")
        << false << "SELECT * FROM emp e, dept d WHERE e.deptno = d.deptno";
    QTest::newRow("outer join, sampled")
        << false << "SELECT * FROM emp LEFT JOIN nopk ON x = empno";
    QTest::newRow("aggregate, sampled")
        << false << "SELECT job, count(*) FROM emp GROUP BY job ORDER BY 2";
    QTest::newRow("subquery, sampled")
        << false
        << "SELECT * FROM dept d WHERE EXISTS (SELECT 1 FROM emp e WHERE e.deptno = d.deptno)";
    QTest::newRow("union, sampled")
        << false << "SELECT ename FROM emp UNION SELECT dname FROM dept";
    QTest::newRow("without rowid, sampled") << false << "SELECT * FROM wr WHERE a = 1";
    QTest::newRow("update, sampled") << false << "UPDATE emp SET sal = 1 WHERE job = 'x'";
    QTest::newRow("empty table") << false << "SELECT * FROM grade";
    QTest::newRow("join, analysed")
        << true << "SELECT * FROM mid, big WHERE mid.big_id = big.id AND big.a = 1";
    QTest::newRow("hash join, analysed")
        << true << "SELECT * FROM mid m, small s WHERE m.w = s.k AND s.v = 3";
    QTest::newRow("top-n, analysed") << true << "SELECT * FROM big ORDER BY c LIMIT 10";
    QTest::newRow("recursive with") << true
                                    << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                       "FROM c WHERE x < 10) SELECT * FROM c";
}

// COST, IO_COST, CPU_COST, CARDINALITY, BYTES and TIME on every row, with
// or without statistics; the root's POSITION is the plan's cost; no step
// costs less than what runs below it; the same statement on the same data
// gives the same numbers.
void TestExplainPlan::numbersOnEveryRow() {
    QFETCH(bool, analysed);
    QFETCH(QString, sql);
    PlanDb db(analysed ? kAnalysedSchema : kPlainSchema, kPlanTable10g);
    const char* const query =
        "SELECT id, parent_id, position, cost, io_cost, cpu_cost, cardinality, bytes, time, depth"
        " FROM PLAN_TABLE WHERE statement_id = ?1 ORDER BY id";
    auto numbers = [&](const char* id) {
        db.explain(sql, id);
        QList<QList<QVariant>> out;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db.db(), query, -1, &s, nullptr);
        sqlite3_bind_text(s, 1, id, -1, SQLITE_STATIC);
        while (sqlite3_step(s) == SQLITE_ROW) {
            QList<QVariant> row;
            for (int c = 0; c < 10; ++c)
                row << (sqlite3_column_type(s, c) == SQLITE_NULL
                            ? QVariant()
                            : QVariant(sqlite3_column_int64(s, c)));
            out << row;
        }
        sqlite3_finalize(s);
        return out;
    };
    const auto rows = numbers("first");
    QVERIFY(rows.size() >= 2);
    QMap<qint64, qint64> costs;
    for (const auto& r : rows) {
        for (int c = 3; c < 10; ++c)
            QVERIFY2(!r[c].isNull(),
                     qPrintable(QString("row %1 column %2").arg(r[0].toInt()).arg(c)));
        QVERIFY(r[4].toLongLong() >= 0 && r[5].toLongLong() >= 0);
        QVERIFY(r[6].toLongLong() >= 1 && r[8].toLongLong() >= 1);
        costs[r[0].toLongLong()] = r[3].toLongLong();
    }
    QCOMPARE(rows[0][2], rows[0][3]);  // the statement row's POSITION is the cost
    QVERIFY(rows[0][3].toLongLong() > 0);
    for (const auto& r : rows)
        if (!r[1].isNull())
            QVERIFY2(costs[r[1].toLongLong()] >= r[3].toLongLong(),
                     qPrintable(QString("row %1 costs more than its parent").arg(r[0].toInt())));
    QCOMPARE(numbers("second"), rows);
}

void TestExplainPlan::costModelProperties() {
    for (const bool analysed : {false, true}) {
        // the same shapes, once sampled and once from sqlite_stat1
        PlanDb db(
            "CREATE TABLE t(id INTEGER PRIMARY KEY, code TEXT, seq INT, pad TEXT);"
            "CREATE UNIQUE INDEX t_code ON t(code);"
            "CREATE INDEX t_seq ON t(seq);"
            "CREATE TABLE small(id INTEGER PRIMARY KEY, v INT);"
            "CREATE TABLE k(a INT, b INT, c TEXT, PRIMARY KEY(a, b)) WITHOUT ROWID;"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000)"
            " INSERT INTO t SELECT i, 'C' || i, i, printf('%.40c', 'x') FROM n;"
            "INSERT INTO small SELECT id, seq FROM t WHERE id <= 300;"
            "INSERT INTO k SELECT id % 100, id, 'x' FROM t WHERE id <= 5000;",
            kPlanTable10g);
        if (analysed)
            db.exec("ANALYZE");
        const QString label = analysed ? "analysed: " : "sampled: ";
        auto plan = [&](const char* sql) {
            db.exec("DELETE FROM PLAN_TABLE");
            db.explain(sql);
            return db.rows();
        };
        auto rowOf = [](const QList<Row>& rows, const QString& operation) {
            for (const Row& r : rows)
                if ((r.operation + " " + r.options).startsWith(operation))
                    return r;
            return Row{};
        };
        // an equality on a unique key finds one row, whatever the key is
        for (const char* sql :
             {"SELECT * FROM t WHERE id = 42", "SELECT * FROM t WHERE code = 'C7'",
              "SELECT * FROM k WHERE a = 3 AND b = 103"}) {
            const QList<Row> rows = plan(sql);
            QVERIFY2(rowOf(rows, "INDEX UNIQUE SCAN").id > 0, qPrintable(label + sql));
            QCOMPARE(rows[0].cardinality, QVariant(qint64(1)));
        }
        // a larger table costs more to scan in full
        const qint64 smallScan = plan("SELECT * FROM small")[0].cost.toLongLong();
        const qint64 bigScan = plan("SELECT * FROM t")[0].cost.toLongLong();
        QVERIFY2(smallScan < bigScan,
                 qPrintable(label + QString("%1 %2").arg(smallScan).arg(bigScan)));
        // a selective range through an index costs less than reading the
        // whole table for it (a unary + keeps SQLite off the index)
        const QList<Row> ranged = plan("SELECT * FROM t WHERE seq BETWEEN 100 AND 159");
        QVERIFY2(rowOf(ranged, "INDEX RANGE SCAN").id > 0, qPrintable(label));
        const QList<Row> full = plan("SELECT * FROM t WHERE +seq BETWEEN 100 AND 159");
        QVERIFY2(rowOf(full, "TABLE ACCESS FULL").id > 0, qPrintable(label));
        QVERIFY2(
            ranged[0].cost.toLongLong() < full[0].cost.toLongLong(),
            qPrintable(
                label +
                QString("%1 %2").arg(ranged[0].cost.toLongLong()).arg(full[0].cost.toLongLong())));
        // a small share of the rows either way (60 of 30000; the share of
        // a closed range where no statistics tell the values' spread)
        QVERIFY2(
            ranged[0].cardinality.toLongLong() >= 20 && ranged[0].cardinality.toLongLong() <= 200,
            qPrintable(label + ranged[0].cardinality.toString()));
        // the full scan's rows are the table's (counted or sampled)
        const qint64 tableRows = plan("SELECT * FROM t")[1].cardinality.toLongLong();
        QVERIFY2(qAbs(tableRows - 30000) <= 1500, qPrintable(label + QString::number(tableRows)));
    }
}

// Sampled estimates are kept between explains while the data stays the
// same, and made again once rows are written.
void TestExplainPlan::estimatesFollowTheData() {
    PlanDb db(
        "CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)"
        " INSERT INTO t SELECT i, 'v' || i FROM n;");
    auto rowsOfScan = [&]() {
        db.exec("DELETE FROM PLAN_TABLE");
        db.explain("SELECT * FROM t");
        return db.rows()[1].cardinality.toLongLong();
    };
    QCOMPARE(rowsOfScan(), qint64(200));
    db.exec("INSERT INTO t(v) SELECT v FROM t");
    QCOMPARE(rowsOfScan(), qint64(400));
    db.exec("DELETE FROM t WHERE id > 100");
    QCOMPARE(rowsOfScan(), qint64(100));
}

void TestExplainPlan::aliasesResolveToTables() {
    PlanDb db(kPlainSchema);
    // the alias shadows a table of the same name; the view's own aliases
    // (e, d) resolve through its definition
    db.explain(
        "SELECT * FROM dept nopk, emp dept, v_emp v WHERE nopk.deptno = dept.deptno AND v.ename = "
        "dept.ename");
    QStringList tables;
    for (const Row& r : db.rows())
        if (r.operation == "TABLE ACCESS")
            tables << r.name;
    tables.sort();
    QCOMPARE(tables, (QStringList{"DEPT", "DEPT", "EMP", "EMP"}));
    for (const Row& r : db.rows())
        QVERIFY2(r.name != "NOPK" && r.name != "E" && r.name != "D" && r.name != "V",
                 qPrintable(r.name));
}

void TestExplainPlan::constraintIndexesShowDictionaryNames() {
    // An unnamed UNIQUE constraint's index appears under the same generated
    // name as in the dictionary views.
    PlanDb db(kPlainSchema);
    installDictionary(db.db());
    refreshDictionary(db.db(), "SCOTT");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db.db(),
                       "SELECT index_name FROM temp.USER_INDEXES WHERE table_name = 'GRADE'", -1,
                       &s, nullptr);
    QCOMPARE(sqlite3_step(s), SQLITE_ROW);
    const QString dictionaryName = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    QVERIFY(!dictionaryName.contains("AUTOINDEX", Qt::CaseInsensitive));
    QCOMPARE(explainAndRender(db, "SELECT * FROM grade WHERE name = 'A'"),
             (QStringList{"SELECT STATEMENT", "  TABLE ACCESS BY INDEX ROWID GRADE TABLE",
                          "    INDEX UNIQUE SCAN " + dictionaryName + " INDEX (UNIQUE)"}));
}

void TestExplainPlan::schemaAndStatisticsChangesAreSeen() {
    // What the engine remembers of a schema between explains must follow
    // every change: a new index, an index replaced under the same name, new
    // statistics, and a new database at a reused address.
    for (int round = 0; round < 2; ++round) {
        PlanDb db(kPlainSchema);
        const QString sql = "SELECT * FROM nopk WHERE x = 1";
        QCOMPARE(explainAndRender(db, sql).value(1), QString("  TABLE ACCESS FULL NOPK TABLE"));
        db.exec("CREATE UNIQUE INDEX nopk_x ON nopk(x)");
        QCOMPARE(explainAndRender(db, sql).value(2),
                 QString("    INDEX UNIQUE SCAN NOPK_X INDEX (UNIQUE)"));
        db.exec("DROP INDEX nopk_x; CREATE INDEX nopk_x ON nopk(x, y)");
        QCOMPARE(explainAndRender(db, sql).value(1), QString("  INDEX RANGE SCAN NOPK_X INDEX"));

        db.exec(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)"
            " INSERT INTO nopk SELECT i, i FROM n; ANALYZE");
        explainAndRender(db, "SELECT * FROM nopk");
        QCOMPARE(db.rows()[1].cardinality, QVariant(qint64(40)));
        db.exec("INSERT INTO nopk SELECT x + 40, y FROM nopk; ANALYZE");
        explainAndRender(db, "SELECT * FROM nopk");
        QCOMPARE(db.rows()[1].cardinality, QVariant(qint64(80)));
    }
}

void TestExplainPlan::connectionWritesTheSameRows() {
    // A connection's explains (with its statement cache) write the rows in
    // batches of 16, 8, 4 and 2 rows and one by one, and a statement
    // explained again is served from what was kept: every way gives the
    // rows an explain without a cache writes, one insert per row.
    std::string schema;
    for (int i = 1; i <= 12; ++i)
        schema += "CREATE TABLE c" + std::to_string(i) + "(id INTEGER PRIMARY KEY, p INT);";
    PlanDb db(schema.c_str());
    sqlite::StatementCache cache(db.db());
    auto written = [&](const char* id) {
        QStringList out;
        for (const Row& r : db.rows(id))
            out << QString("%1 %2 %3 %4 %5 %6 %7 %8 %9")
                       .arg(r.id)
                       .arg(r.parent.toString(), r.position.toString(), r.cost.toString(),
                            r.cardinality.toString(), r.operation, r.options, r.name, r.other);
        return out;
    };
    ExplainTarget target;
    target.owner = "SCOTT";
    for (int tables = 1; tables <= 12; ++tables) {
        std::string sql = "SELECT * FROM c1";
        for (int i = 2; i <= tables; ++i)
            sql += " JOIN c" + std::to_string(i) + " ON c" + std::to_string(i) + ".p = c" +
                   std::to_string(i - 1) + ".id";
        db.exec("DELETE FROM PLAN_TABLE");
        target.statementId = "one";
        const std::int64_t rows = explainPlan(db.db(), sql, sql, target);
        for (const char* id : {"first", "again", "third"}) {
            target.statementId = id;
            QCOMPARE(explainPlan(db.db(), sql, sql, target, &cache), rows);
            QCOMPARE(written(id), written("one"));
        }
        QCOMPARE(written("one").size(), int(rows));
    }
}

void TestExplainPlan::explainingChangesNoData_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("insert") << "INSERT INTO emp(empno, ename) VALUES (1, 'X')";
    QTest::newRow("insert select") << "INSERT INTO nopk SELECT deptno, deptno FROM dept";
    QTest::newRow("update") << "UPDATE emp SET sal = 0";
    QTest::newRow("delete") << "DELETE FROM emp";
    QTest::newRow("delete where") << "DELETE FROM dept WHERE deptno = 10";
    QTest::newRow("drop") << "DROP TABLE emp";
    QTest::newRow("create") << "CREATE TABLE made(x)";
    QTest::newRow("create as select") << "CREATE TABLE made AS SELECT * FROM emp";
}

void TestExplainPlan::explainingChangesNoData() {
    QFETCH(QString, sql);
    PlanDb db(kPlainSchema);
    const char* fingerprint =
        "SELECT (SELECT count(*) FROM emp) * 1000 + (SELECT count(*) FROM dept) * 100 +"
        " (SELECT count(*) FROM nopk) * 10 + (SELECT count(*) FROM sqlite_schema) +"
        " (SELECT total(sal) FROM emp) * 100000";
    qint64 before = db.scalar(fingerprint);
    QVERIFY(db.explain(sql) >= 1);
    QCOMPARE(db.scalar(fingerprint), before);
}

void TestExplainPlan::invalidStatementIsRefused_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown table") << "SELECT * FROM nosuch"
                                   << "no such table: nosuch";
    QTest::newRow("unknown column") << "SELECT nosuch FROM emp"
                                    << "no such column: nosuch";
    QTest::newRow("syntax") << "SELEC 1"
                            << "near \"SELEC\": syntax error";
    QTest::newRow("empty") << ""
                           << "incomplete input";
    QTest::newRow("existing table") << "CREATE TABLE emp(x)"
                                    << "table emp already exists";
    // preparing a PRAGMA already applies it; it is refused instead
    QTest::newRow("pragma") << "PRAGMA foreign_keys = ON"
                            << "invalid SQL statement: a PRAGMA cannot be explained";
}

void TestExplainPlan::invalidStatementIsRefused() {
    QFETCH(QString, sql);
    QFETCH(QString, message);
    PlanDb db(kPlainSchema);
    try {
        db.explain(sql);
        QFAIL("no error");
    } catch (const EngineError& e) {
        QCOMPARE(QString(e.what()), message);
        QVERIFY(e.code() != 0);
    }
    QCOMPARE(db.scalar("SELECT count(*) FROM PLAN_TABLE"), qint64(0));
    QCOMPARE(db.scalar("PRAGMA foreign_keys"), qint64(0));
}

// Oracle gives every session a PLAN_TABLE (a public synonym of a temporary
// table): without one of the user's, the plan goes into the connection's
// own, which the user's PLAN_TABLE replaces as soon as there is one.
void TestExplainPlan::missingPlanTable() {
    PlanDb db(kPlainSchema);
    db.exec("DROP TABLE PLAN_TABLE");
    const qint64 rows = qint64(db.explain("SELECT * FROM emp"));
    QVERIFY(rows >= 2);
    QCOMPARE(db.scalar("SELECT count(*) FROM PLAN_TABLE"), rows);
    QCOMPARE(db.scalar("SELECT count(*) FROM temp.PLAN_TABLE WHERE cost IS NOT NULL"), rows);
    QCOMPARE(db.scalar("SELECT count(*) FROM main.sqlite_master WHERE name = 'PLAN_TABLE'"),
             qint64(0));

    // the user's own takes over, and the temporary one no longer hides it
    db.exec(kPlanTable);
    QCOMPARE(qint64(db.explain("SELECT * FROM emp", "u")), rows);
    QCOMPARE(db.scalar("SELECT count(*) FROM temp.sqlite_master WHERE name = 'PLAN_TABLE'"),
             qint64(0));
    QCOMPARE(db.scalar("SELECT count(*) FROM PLAN_TABLE WHERE statement_id = 'u'"), rows);

    // an owner prefix naming the user reaches the same table
    ExplainTarget target{"s", "scott.plan_table", "SCOTT"};
    QCOMPARE(explainPlan(db.db(), "SELECT 1", "SELECT 1", target), std::int64_t(2));
    QCOMPARE(db.scalar("SELECT count(*) FROM main.PLAN_TABLE WHERE statement_id = 's'"), qint64(2));
}

void TestExplainPlan::unknownFormStillGivesRows() {
    StaticSchema schema = handSchema();
    PlanMapper mapper(schema, "SELECT * FROM emp", "SCOTT");
    auto rows = mapper.rows(eqp({{2, 0, "FROBNICATE emp WITH MAGIC"},
                                 {3, 2, "SCAN emp"},
                                 {4, 0, "SCAN emp"},
                                 {5, 99, "ORPHAN LINE"}}));
    QStringList plan = renderSteps(rows);
    // nothing is dropped: the unknown lines come out by their own text,
    // with their subtree
    QVERIFY2(plan.contains("    FROBNICATE EMP WITH MAGIC"), qPrintable(plan.join('|')));
    QVERIFY(plan.contains("      TABLE ACCESS FULL EMP TABLE"));
    QVERIFY(plan.contains("    ORPHAN LINE"));
    QCOMPARE(plan.size(), 5);
    bool kept = false;
    for (const auto& r : rows)
        kept = kept || r.other == "FROBNICATE emp WITH MAGIC";
    QVERIFY(kept);
    // nothing known of the tables: still numbers on every row
    for (const auto& r : rows)
        QVERIFY(r.cardinality >= 1 && r.time >= 1);
}

void TestExplainPlan::olderReleaseForms() {
    StaticSchema schema = handSchema();
    schema.addStat("emp", "emp_dept", "1400 100");
    PlanMapper mapper(schema, "SELECT * FROM emp e, dept d WHERE e.deptno = d.deptno ORDER BY 1",
                      "SCOTT");
    auto rows = mapper.rows(
        eqp({{1, 0, "SCAN TABLE emp AS e (~1400 rows)"},
             {2, 0, "SEARCH TABLE dept AS d USING INTEGER PRIMARY KEY (rowid=?) (~1 rows)"},
             {3, 0, "USE TEMP B-TREE FOR LAST 2 TERMS OF ORDER BY"}}));
    QCOMPARE(renderSteps(rows),
             (QStringList{"SELECT STATEMENT", "  SORT ORDER BY", "    NESTED LOOPS",
                          "      TABLE ACCESS FULL EMP TABLE",
                          "      TABLE ACCESS BY INDEX ROWID DEPT TABLE",
                          "        " + keyIndex("INDEX UNIQUE SCAN", "DEPT", "DEPTNO")}));
    QCOMPARE(rows[3].cardinality, 1400);

    PlanMapper sub(schema, "SELECT * FROM emp WHERE sal > (SELECT avg(sal) FROM emp)", "SCOTT");
    auto subRows = sub.rows(
        eqp({{1, 0, "SCAN emp"}, {2, 0, "EXECUTE SCALAR SUBQUERY 1"}, {3, 2, "SCAN emp"}}));
    QCOMPARE(renderSteps(subRows),
             (QStringList{"SELECT STATEMENT", "  SORT AGGREGATE", "    TABLE ACCESS FULL EMP TABLE",
                          "  TABLE ACCESS FULL EMP TABLE"}));

    PlanMapper values(schema, "SELECT * FROM (VALUES (1), (2), (3)) v", "SCOTT");
    auto valueRows = values.rows(eqp(
        {{1, 0, "CO-ROUTINE 1"}, {2, 1, "SCAN 3-ROW VALUES CLAUSE"}, {3, 0, "SCAN SUBQUERY 1"}}));
    QCOMPARE(renderSteps(valueRows), (QStringList{"SELECT STATEMENT", "  VIEW", "    FAST DUAL"}));
}

void TestExplainPlan::reuseAndInOperatorLines() {
    StaticSchema schema = handSchema();
    PlanMapper mapper(schema,
                      "SELECT * FROM emp e RIGHT JOIN dept d ON d.deptno = e.deptno WHERE e.job IN "
                      "(SELECT loc FROM dept)",
                      "SCOTT");
    auto rows = mapper.rows(eqp({{1, 0, "SCAN e"},
                                 {2, 0, "SEARCH d USING INTEGER PRIMARY KEY (rowid=?)"},
                                 {3, 0, "LIST SUBQUERY 1"},
                                 {4, 3, "SCAN dept"},
                                 {5, 0, "RIGHT-JOIN dept"},
                                 {6, 5, "SCAN d"},
                                 {7, 6, "REUSE LIST SUBQUERY 1"}}));
    QCOMPARE(renderSteps(rows),
             (QStringList{"SELECT STATEMENT", "  FILTER", "    HASH JOIN RIGHT OUTER",
                          "      TABLE ACCESS FULL EMP TABLE",
                          "      TABLE ACCESS BY INDEX ROWID DEPT TABLE",
                          "        " + keyIndex("INDEX UNIQUE SCAN", "DEPT", "DEPTNO"),
                          "    TABLE ACCESS FULL DEPT TABLE"}));
}

void TestExplainPlan::parsesDetailLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("access");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("equal");
    QTest::addColumn<QStringList>("skipped");
    QTest::addColumn<bool>("bounded");
    QTest::addColumn<bool>("leftJoin");
    const int access = int(DetailKind::TableAccess);
    QTest::newRow("names with blanks")
        << "SEARCH a b USING INDEX my idx (odd col>?)" << access << int(AccessPath::Index) << "a b"
        << "my idx" << QStringList{} << QStringList{} << true << false;
    QTest::newRow("skip scan") << "SEARCH t USING INDEX i (ANY(a) AND b=?)" << access
                               << int(AccessPath::Index) << "t"
                               << "i" << QStringList{"b"} << QStringList{"a"} << false << false;
    QTest::newRow("row value bound") << "SEARCH t USING COVERING INDEX i (a=? AND (b,c)>(?,?))"
                                     << access << int(AccessPath::CoveringIndex) << "t"
                                     << "i" << QStringList{"a"} << QStringList{} << true << false;
    QTest::newRow("min/max probe")
        << "SEARCH t USING COVERING INDEX i" << access << int(AccessPath::CoveringIndex) << "t"
        << "i" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("left join suffix")
        << "SEARCH nopk USING AUTOMATIC COVERING INDEX (x=?) LEFT-JOIN" << access
        << int(AccessPath::AutoIndex) << "nopk"
        << "" << QStringList{"x"} << QStringList{} << false << true;
    QTest::newRow("partial automatic")
        << "SEARCH s USING AUTOMATIC PARTIAL COVERING INDEX (v=? AND k=?)" << access
        << int(AccessPath::AutoPartialIndex) << "s"
        << "" << QStringList{"v", "k"} << QStringList{} << false << false;
    QTest::newRow("virtual table") << "SCAN json_each VIRTUAL TABLE INDEX 1:" << access
                                   << int(AccessPath::VirtualTable) << "json_each"
                                   << "" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("old form") << "SCAN TABLE emp AS e USING INDEX emp_dept" << access
                              << int(AccessPath::Index) << "e"
                              << "emp_dept" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("name containing USING")
        << "SCAN x USING y" << access << int(AccessPath::Table) << "x USING y"
        << "" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("bloom filter") << "BLOOM FILTER ON big (id=?)" << int(DetailKind::BloomFilter)
                                  << 0 << "big"
                                  << "" << QStringList{"id"} << QStringList{} << false << false;
    QTest::newRow("compound arm") << "EXCEPT USING TEMP B-TREE" << int(DetailKind::CompoundArm) << 0
                                  << ""
                                  << "" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("in-operator") << "USING INDEX emp_ename FOR IN-OPERATOR"
                                 << int(DetailKind::IndexInOperator) << 0 << ""
                                 << "emp_ename" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("correlated") << "CORRELATED SCALAR SUBQUERY 3" << int(DetailKind::ScalarSubquery)
                                << 0 << ""
                                << "" << QStringList{} << QStringList{} << false << false;
    QTest::newRow("unknown") << "SCANNING THE HORIZON" << int(DetailKind::Unknown) << 0 << ""
                             << "" << QStringList{} << QStringList{} << false << false;
}

void TestExplainPlan::parsesDetailLines() {
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(int, access);
    QFETCH(QString, name);
    QFETCH(QString, index);
    QFETCH(QStringList, equal);
    QFETCH(QStringList, skipped);
    QFETCH(bool, bounded);
    QFETCH(bool, leftJoin);
    Detail d = parseDetail(line.toStdString());
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(d.text, line.toStdString());
    if (kind != int(DetailKind::TableAccess) && kind != int(DetailKind::BloomFilter)) {
        QCOMPARE(QString::fromStdString(d.index), index);
        return;
    }
    if (kind == int(DetailKind::TableAccess))
        QCOMPARE(int(d.access), access);
    QCOMPARE(QString::fromStdString(d.name), name);
    QCOMPARE(QString::fromStdString(d.index), index);
    QStringList eq, sk;
    for (const auto& c : d.keys.equal)
        eq << QString::fromStdString(c);
    for (const auto& c : d.keys.skipped)
        sk << QString::fromStdString(c);
    QCOMPARE(eq, equal);
    QCOMPARE(sk, skipped);
    QCOMPARE(d.keys.lower || d.keys.upper, bounded);
    QCOMPARE(d.leftJoin, leftJoin);
}

void TestExplainPlan::statementShape() {
    StatementShape s = analyseStatement(
        "SELECT a.x, (SELECT max(y) FROM t2 WHERE t2.k = a.k) FROM t1 a JOIN (SELECT k, count(*) "
        "FROM t3 GROUP BY k) q"
        " ON q.k = a.k, t4 LEFT JOIN main.t5 AS \"X y\" ON (x.id IN (1, 2) AND x.z = a.z)"
        " WHERE a.id IN (SELECT id FROM t6) ORDER BY 1 LIMIT 3");
    QCOMPARE(s.verb, std::string("SELECT"));
    QStringList items;
    for (const auto& f : s.from)
        items << QString("%1:%2:%3")
                     .arg(f.block)
                     .arg(QString::fromStdString(f.name), QString::fromStdString(f.printedName()));
    QCOMPARE(items, (QStringList{"1:t2:t2", "0:t1:a", "2:t3:t3", "0::q", "0:t4:t4", "0:t5:X y",
                                 "3:t6:t6"}));
    QCOMPARE(s.blocks.size(), std::size_t(4));
    QVERIFY(s.blocks[0].limit && s.blocks[0].orderBy && !s.blocks[0].aggregate);
    QCOMPARE(s.blocks[0].limitRows.value_or(0), 3);
    QVERIFY(s.blocks[0].inListColumns.count("id"));
    QVERIFY(s.blocks[0].inSubqueryColumns.count("id"));
    QVERIFY(s.blocks[1].aggregate && s.blocks[1].minMaxOnly);
    QVERIFY(s.blocks[2].aggregate && s.blocks[2].countStarOnly && s.blocks[2].groupBy);

    // scalar max() of two arguments and window functions are no aggregates
    StatementShape w = analyseStatement("SELECT max(a, b), count(*) OVER (PARTITION BY c) FROM t");
    QVERIFY(!w.blocks[0].aggregate);

    StatementShape u =
        analyseStatement("UPDATE OR IGNORE emp AS e SET sal = 1 WHERE e.job IN ('a')");
    QCOMPARE(u.verb, std::string("UPDATE"));
    QCOMPARE(u.target, std::string("emp"));
    QCOMPARE(QString::fromStdString(u.findItem("e")->name), QString("emp"));
    QVERIFY(u.blocks.at(0).inListColumns.count("job"));

    StatementShape c = analyseStatement("CREATE UNIQUE INDEX IF NOT EXISTS i ON t(a)");
    QCOMPARE(c.verb, std::string("CREATE INDEX"));
    QVERIFY(c.uniqueIndex);
    QCOMPARE(c.indexTable, std::string("t"));
}

QTEST_GUILESS_MAIN(TestExplainPlan)
#include "tst_explainplan.moc"
