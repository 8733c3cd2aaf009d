// The one reader of a database's schema and statistics, and the
// constraints read out of CREATE TABLE texts.

#include <sqlite3.h>

#include <QtTest>

#include "schema/Constraints.h"
#include "schema/SchemaReader.h"
#include "schema/SqliteCatalog.h"
#include "schema/Statistics.h"
#include "sqlite/Statement.h"
#include "sqlite/StatementCache.h"

using namespace localengine;
using namespace localengine::schema;

namespace {

class MemoryDb {
public:
    explicit MemoryDb(const char* schema) {
        sqlite3_open(":memory:", &m_db);
        sqlite::exec(m_db, schema);
    }
    ~MemoryDb() { sqlite3_close(m_db); }
    sqlite3* db() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

const char* const kSchema =
    "CREATE TABLE emp(empno INTEGER PRIMARY KEY, ename TEXT NOT NULL, sal REAL DEFAULT 0,"
    " deptno INT, CONSTRAINT emp_uk UNIQUE (ename, deptno));"
    "CREATE INDEX emp_sal ON emp(sal DESC, upper(ename));"
    "CREATE INDEX Emp_Dept ON emp(deptno) WHERE deptno IS NOT NULL;"
    "CREATE TABLE wr(a TEXT, b INT, c, PRIMARY KEY (b, a)) WITHOUT ROWID;"
    "CREATE TABLE pair(x INTEGER, y INTEGER, PRIMARY KEY (x, y));"
    "CREATE VIEW v AS SELECT ename FROM emp;";

QStringList describe(const std::vector<IndexDef>& indexes) {
    QStringList out;
    for (const IndexDef& ix : indexes) {
        QStringList cols;
        for (const IndexColumn& c : ix.columns)
            cols << (c.expression ? QString("<expr>") : QString::fromStdString(c.name)) +
                        (c.descending ? " DESC" : "");
        out << QString::fromStdString(ix.name) + (ix.unique ? " unique " : " ") +
                   QString::fromStdString(ix.origin) + " (" + cols.join(", ") + ")";
    }
    return out;
}

}  // namespace

class TestSchemaReader : public QObject {
    Q_OBJECT

private slots:
    void objectsColumnsAndIndexes() {
        MemoryDb m(kSchema);
        SchemaReader reader(m.db());
        QStringList objects;
        for (const SchemaObject& o : reader.objects())
            if (o.type != "index" || o.sql.empty() == false)
                objects << QString::fromStdString(o.type + " " + o.name + " " + o.table);
        QCOMPARE(objects, (QStringList{"table emp emp", "index emp_sal emp", "index Emp_Dept emp",
                                       "table wr wr", "table pair pair", "view v v"}));

        const std::vector<ColumnDef> cols = reader.columns("EMP");
        QCOMPARE(int(cols.size()), 4);
        QCOMPARE(cols[0].primaryKeyPosition, 1);
        QCOMPARE(cols[1].notNull, true);
        QCOMPARE(cols[2].declaredType, std::string("REAL"));
        QCOMPARE(cols[2].defaultValue, std::string("0"));
        QCOMPARE(rowidAliasOf(cols), std::string("empno"));
        QCOMPARE(int(reader.columns("v").size()), 1);

        // by name regardless of case; expressions and descending keys kept
        QCOMPARE(describe(reader.indexes("emp")),
                 (QStringList{"Emp_Dept c (deptno)", "emp_sal c (sal DESC, <expr>)",
                              "sqlite_autoindex_emp_1 unique u (ename, deptno)"}));
        // a WITHOUT ROWID table's key, in key order, is an index too
        QCOMPARE(describe(reader.indexes("wr")),
                 (QStringList{"sqlite_autoindex_wr_1 unique pk (b, a)"}));
        QVERIFY(reader.indexes("nosuch").empty());
    }

    void rowidAliasAndWithoutRowid() {
        MemoryDb m(kSchema);
        SchemaReader reader(m.db());
        QCOMPARE(rowidAliasOf(reader.columns("pair")), std::string());  // a composite key
        QCOMPARE(rowidAliasOf(reader.columns("wr")), std::string());
        QVERIFY(isWithoutRowid("CREATE TABLE wr(a, PRIMARY KEY (a)) WITHOUT ROWID"));
        QVERIFY(isWithoutRowid("CREATE TABLE wr(a PRIMARY KEY) STRICT, without  rowid"));
        QVERIFY(!isWithoutRowid("CREATE TABLE t(note TEXT DEFAULT 'WITHOUT ROWID')"));
    }

    // The front end's catalog: what a name in a statement stands for, as
    // SQLite resolves it (temporary before main), with the columns * gives.
    void catalogFindsTablesAsSqliteResolvesThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");  // kind rowid alias: columns; "" when none
        QTest::newRow("rowid table, any case") << "EMP"
                                               << "table rowid empno: empno ename sal deptno";
        QTest::newRow("without rowid") << "wr"
                                       << "table - : a b c";
        QTest::newRow("composite key aliases nothing") << "pair"
                                                       << "table rowid : x y";
        QTest::newRow("view") << "V"
                              << "view - : ename";
        QTest::newRow("temporary before main") << "twin"
                                               << "table rowid : fromtemp";
        QTest::newRow("own column named ROWID") << "r"
                                                << "table - : RowId a";
        QTest::newRow("generated column kept") << "g"
                                               << "table rowid : a b";
        QTest::newRow("hidden columns left out") << "ft"
                                                 << "table - : body";
        QTest::newRow("index is no table") << "emp_sal"
                                           << "";
        QTest::newRow("nothing") << "nosuch"
                                 << "";
    }
    void catalogFindsTablesAsSqliteResolvesThem() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        MemoryDb m(kSchema);
        sqlite::exec(m.db(),
                     "CREATE TABLE twin(frommain INT); CREATE TEMP TABLE twin(fromtemp INT);"
                     "CREATE TABLE r(RowId INT, a INTEGER PRIMARY KEY);"
                     "CREATE TABLE g(a INT, b INT GENERATED ALWAYS AS (a * 2));"
                     "CREATE VIRTUAL TABLE ft USING fts5(body)");
        SqliteCatalog catalog(m.db());
        const auto info = catalog.findTable(name.toStdString());
        QString got;
        if (info) {
            got = QString(info->kind == dialect::TableInfo::Kind::View ? "view" : "table") +
                  (info->hasRowid ? " rowid " : " - ") + QString::fromStdString(info->rowidAlias) +
                  ":";
            for (const dialect::ColumnInfo& c : info->columns)
                got += " " + QString::fromStdString(c.name);
        }
        QCOMPARE(got, expected);
        QVERIFY(catalog.findTable(name.toStdString()) == info);  // kept until clear()
    }

    void statisticsFromAnalyse() {
        MemoryDb m(kSchema);
        sqlite::StatementCache cache(m.db());
        QVERIFY(Statistics::read(m.db()).empty());  // never analysed
        QVERIFY(Statistics::read(m.db(), &cache).empty());
        sqlite::exec(m.db(),
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)"
                     " INSERT INTO emp SELECT i, 'e' || i, i % 4, CASE WHEN i <= 10 THEN i % 2 END"
                     " FROM n; ANALYZE");
        const Statistics stats = Statistics::read(m.db());
        QVERIFY(!stats.empty());
        // the partial index counts only its own 10 rows; the table has 40
        QCOMPARE(stats.tableRows("EMP"), std::optional<double>(40));
        QCOMPARE(stats.rowsPerKey("emp_dept", 0), std::optional<double>(10));
        QCOMPARE(stats.rowsPerKey("EMP_DEPT", 1), std::optional<double>(5));
        QCOMPARE(stats.rowsPerKey("emp_sal", 1), std::optional<double>(10));
        QCOMPARE(stats.rowsPerKey("emp_sal", 3), std::optional<double>());
        QCOMPARE(stats.tableRows("wr"), std::optional<double>());
        QVERIFY(Statistics::read(m.db(), &cache) == stats);
    }

    void statisticsLines_data() {
        QTest::addColumn<QString>("stat");
        QTest::addColumn<QList<double>>("numbers");
        QTest::newRow("plain") << "1400 100 2" << QList<double>{1400, 100, 2};
        QTest::newRow("flags after") << "10 5 unordered sz=12" << QList<double>{10, 5};
        QTest::newRow("no number") << "unordered" << QList<double>{};
        QTest::newRow("empty") << "" << QList<double>{};
    }
    void statisticsLines() {
        QFETCH(QString, stat);
        QFETCH(QList<double>, numbers);
        Statistics s;
        s.add("t", "i", stat.toStdString());
        const std::vector<double>* read = s.indexNumbers("I");
        QCOMPARE(read ? QList<double>(read->begin(), read->end()) : QList<double>{}, numbers);
        QCOMPARE(s.empty(), numbers.isEmpty());
        // a table's own line counts as much as its indexes' lines
        s.add("T", "", "2000");
        QCOMPARE(s.tableRows("t"), std::optional<double>(2000));
    }

    void declaredConstraintParsing() {
        const auto list = declaredConstraints(
            "CREATE TABLE t (a INTEGER CONSTRAINT t_pk PRIMARY KEY, b TEXT NOT NULL UNIQUE,"
            " c INT REFERENCES other (x), CONSTRAINT chk CHECK (a > 0 AND (b <> 'x')), UNIQUE (c, "
            "b))");
        QCOMPARE(int(list.size()), 6);
        QCOMPARE(list[0].name, std::string("T_PK"));
        QCOMPARE(list[0].type, 'P');
        QCOMPARE(list[1].type, 'C');
        QCOMPARE(list[1].condition, std::string("\"B\" IS NOT NULL"));
        QCOMPARE(list[2].type, 'U');
        QVERIFY(list[2].name.empty());
        QCOMPARE(list[3].type, 'R');
        QCOMPARE(list[3].condition, std::string("OTHER"));
        QCOMPARE(list[4].name, std::string("CHK"));
        QCOMPARE(list[4].condition, std::string("a > 0 AND (b <> 'x')"));
        QCOMPARE(list[5].columns, (std::vector<std::string>{"C", "B"}));
        QVERIFY(generatedConstraintName("T", 'U', {"B"}, "") !=
                generatedConstraintName("T", 'U', {"C", "B"}, ""));
    }

    void tableLevelKeysAndQuotedNames() {
        const auto list = declaredConstraints(
            "CREATE TABLE \"Odd\" (\"Id\" INT, k INT,"
            " CONSTRAINT \"Odd_PK\" PRIMARY KEY (\"Id\", k),"
            " FOREIGN KEY (k) REFERENCES parent (id) ON DELETE CASCADE,"
            " CHECK (k IN (1, 2)))");
        QCOMPARE(int(list.size()), 3);
        QCOMPARE(list[0].name, std::string("Odd_PK"));
        QCOMPARE(list[0].columns, (std::vector<std::string>{"Id", "K"}));
        QCOMPARE(list[1].type, 'R');
        QCOMPARE(list[1].columns, (std::vector<std::string>{"K"}));
        QCOMPARE(list[1].condition, std::string("PARENT"));
        QVERIFY(list[1].name.empty());
        QCOMPARE(list[2].condition, std::string("k IN (1, 2)"));
        QVERIFY(list[2].columns.empty());
        QVERIFY(declaredConstraints("CREATE VIEW v AS SELECT 1").empty());
    }
};

QTEST_GUILESS_MAIN(TestSchemaReader)
#include "tst_schemareader.moc"
