// The engine's SQLite layer: statements that clean up after themselves,
// failures carrying SQLite's message and code, and the per-connection
// cache lending statements and taking them back.

#include <sqlite3.h>

#include <QtTest>

#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"
#include "sqlite/StatementCache.h"

using namespace localengine;
using namespace localengine::sqlite;

namespace {

class MemoryDb {
public:
    MemoryDb() {
        sqlite3_open(":memory:", &m_db);
        sqlite3_extended_result_codes(m_db, 1);
        exec(m_db, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT UNIQUE, v REAL)");
    }
    ~MemoryDb() { sqlite3_close(m_db); }
    sqlite3* db() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

}  // namespace

class TestSqliteLayer : public QObject {
    Q_OBJECT

private slots:
    void failuresCarryMessageAndCode_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        QTest::newRow("prepare") << "SELECT nosuch FROM t"
                                 << "no such column: nosuch" << SQLITE_ERROR;
        QTest::newRow("step") << "INSERT INTO t VALUES (1, 'a', 0), (2, 'a', 0)"
                              << "UNIQUE constraint failed: t.name" << SQLITE_CONSTRAINT_UNIQUE;
    }
    void failuresCarryMessageAndCode() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        QFETCH(int, code);
        MemoryDb m;
        for (bool viaExec : {false, true}) {
            try {
                if (viaExec)
                    exec(m.db(), sql.toUtf8().constData());
                else
                    Statement(m.db(), sql.toStdString()).run();
                QFAIL("no error");
            } catch (const EngineError& e) {
                QCOMPARE(QString(e.what()), message);
                QCOMPARE(e.code(), code);
            }
        }
        QVERIFY(!execQuietly(m.db(), sql.toUtf8().constData()));
    }

    void bindsAndReadsValues() {
        MemoryDb m;
        Statement ins(m.db(), "INSERT INTO t VALUES (?1, ?2, ?3)");
        ins.bind(1, std::int64_t{1}).bind(2, std::string_view()).bind(3, 2.5).run();
        // after run() the parameters are cleared: unbound ones are NULL
        ins.bind(1, 2).run();
        ins.bind(1, std::optional<std::int64_t>(3)).bindTextOrNull(2, "").run();
        Statement q(m.db(), "SELECT id, name, v FROM t ORDER BY id");
        QVERIFY(q.step());
        QCOMPARE(q.integer(0), std::int64_t{1});
        QVERIFY(!q.isNull(1));  // an empty view binds the empty text, not NULL
        QCOMPARE(q.text(1), std::string());
        QCOMPARE(q.real(2), 2.5);
        QVERIFY(q.step());
        QVERIFY(q.isNull(1) && q.isNull(2));
        QCOMPARE(q.columnType(2), SQLITE_NULL);
        QVERIFY(q.step());
        QVERIFY(q.isNull(1));
        QVERIFY(!q.step());
        QCOMPARE(q.columnName(1), std::string("name"));
        QVERIFY(q.readOnly());
        QVERIFY(!ins.readOnly());
        // a blob keeps its zero bytes
        Statement b(m.db(), "SELECT X'00FF00'");
        QVERIFY(b.step());
        QCOMPARE(b.blob(0), std::string_view("\0\xff\0", 3));
    }

    void tailAndEmptyText() {
        MemoryDb m;
        Statement two(m.db(), "SELECT 1; SELECT 2");
        QCOMPARE(two.tail(), std::string(" SELECT 2"));
        Statement blank(m.db(), "  -- nothing\n");
        QVERIFY(!blank);
        QVERIFY(Statement(m.db(), "SELECT 1").tail().empty());
    }

    void cacheLendsTheSameStatementReset() {
        MemoryDb m;
        exec(m.db(), "INSERT INTO t VALUES (1, 'a', 0), (2, 'b', 0)");
        StatementCache cache(m.db());
        sqlite3_stmt* first = nullptr;
        {
            Statement s = cache.statement("SELECT name FROM t WHERE id >= ?1 ORDER BY id");
            first = s.get();
            s.bind(1, 1);
            QVERIFY(s.step());
            QCOMPARE(s.text(0), std::string("a"));
            // given back in the middle of its rows
        }
        Statement again = cache.statement("SELECT name FROM t WHERE id >= ?1 ORDER BY id");
        QCOMPARE(again.get(), first);
        QVERIFY(!sqlite3_stmt_busy(again.get()));
        // the parameter was cleared: NULL matches nothing
        QVERIFY(!again.step());
        // a statement that does not prepare is reported and not kept
        QVERIFY_THROWS_EXCEPTION(EngineError, cache.statement("SELECT nosuch FROM t"));
        QVERIFY(!cache.statement("   "));
    }

    void fullCacheKeepsStatementsThatAreOut() {
        // A cache that starts over while one of its statements is in use
        // would finalize it under its user.
        MemoryDb m;
        exec(m.db(), "INSERT INTO t VALUES (1, 'a', 0)");
        StatementCache cache(m.db());
        Statement held = cache.statement("SELECT name FROM t");
        for (int i = 0; i < 100; ++i)
            cache.statement("SELECT " + std::to_string(i)).run();
        QVERIFY(held.step());
        QCOMPARE(held.text(0), std::string("a"));
    }

    void schemaChangesAreSeenOnce() {
        MemoryDb m;
        StatementCache cache(m.db());
        QVERIFY(cache.schemaChanged());  // the first call has nothing to compare with
        QVERIFY(!cache.schemaChanged());
        exec(m.db(), "CREATE TEMP TABLE x(a)");
        QVERIFY(cache.schemaChanged());
        QVERIFY(!cache.schemaChanged());
        exec(m.db(), "CREATE INDEX t_v ON t(v)");
        QVERIFY(cache.schemaChanged());
    }

    void sqliteTextTokens() {
        std::deque<std::string> store;
        const std::string sql =
            "CREATE TABLE \"a\"\"b\" (x -- note\n, [y z] /* c */ 'it''s', 12.5)";
        const auto toks = tokenizeSqlite(sql, store);
        QStringList kinds;
        for (const SqlToken& t : toks)
            kinds << QString::fromStdString(std::string(t.text)) + "/" +
                         QString::number(static_cast<int>(t.kind));
        QCOMPARE(kinds, (QStringList{"CREATE/0", "TABLE/0", "a\"b/1", "(/4", "x/0", ",/4", "y z/1",
                                     "it's/2", ",/4", "12.5/3", ")/4", "/5"}));
        // offsets point at the token as written, quotes included
        QCOMPARE(sql.substr(toks[2].begin, toks[2].end - toks[2].begin), std::string("\"a\"\"b\""));
        QCOMPARE(toks[0].name(), std::string("CREATE"));
        QCOMPARE(toks[2].name(), std::string("a\"b"));
        QCOMPARE(quoteName("a\"b"), std::string("\"a\"\"b\""));
        QVERIFY(sameName("Émp_1", "éMP_1") == false);  // only ASCII folds
        QVERIFY(sameName("emp_1", "EMP_1"));
    }
};

QTEST_GUILESS_MAIN(TestSqliteLayer)
#include "tst_sqlitelayer.moc"
