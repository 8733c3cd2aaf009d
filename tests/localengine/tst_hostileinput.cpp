// Statements written to hurt the engine: stray bytes, arithmetic at the
// edges of the integer range, dates outside the calendar, results larger
// than memory, nesting deeper than the stack. Each row is one statement and
// what must come of it: Oracle's error, the right rows, or (for what used
// to run away) an answer at all; a row that hangs fails by the test's time
// limit. Rows name observable behaviour only, so that they hold any front
// end of the engine to the same standard.

#include "EngineTestUtil.h"
#include "LocalEngine.h"
#include "sqlite/SqliteGuard.h"

#include <sqlite3.h>

#include <QtTest>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

using namespace localengine;

namespace {

const std::string kCreatePlanTable =
    "create table PLAN_TABLE (statement_id varchar2(30), timestamp date, remarks varchar2(80), "
    "operation varchar2(30), options varchar2(30), object_node varchar2(128), "
    "object_owner varchar2(30), object_name varchar2(30), object_instance numeric, "
    "object_type varchar2(30), optimizer varchar2(255), search_columns number, id numeric, "
    "parent_id numeric, position numeric, cost numeric, cardinality numeric, bytes numeric, "
    "other_tag varchar2(255), partition_start varchar2(255), partition_stop varchar2(255), "
    "partition_id numeric, other long)";

QByteArray repeated(const QByteArray& piece, int times) {
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// prefix1 separator prefix2 separator ... prefixN: "1, 2, 3" by default.
QByteArray listOf(const QByteArray& prefix, int count, const QByteArray& separator = ", ") {
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += (i > 1 ? separator : QByteArray()) + prefix + QByteArray::number(i);
    return out;
}

QByteArray nestedParentheses(int depth) {
    return "SELECT " + repeated("(", depth) + "1" + repeated(")", depth) + " FROM dual";
}

QByteArray nestedSubqueries(int depth) {
    return repeated("SELECT * FROM (", depth) + "SELECT 1 FROM dual" + repeated(")", depth);
}

// Hierarchical queries nested in the PRIOR operand (or the path) of the
// next: each level counts the chain 1..10 of HOSTILE_T.
QByteArray nestedPrior(int depth) {
    QByteArray q = "SELECT 0 FROM dual";
    for (int k = 0; k < depth; ++k)
        q = "SELECT COUNT(*) FROM (SELECT id FROM HOSTILE_T START WITH id = 1 CONNECT BY "
            "PRIOR (id + 1 + (" +
            q + ") * 0) = id)";
    return q;
}
QByteArray nestedPath(int depth) {
    QByteArray q = "SELECT 'x' FROM dual";
    for (int k = 0; k < depth; ++k)
        q = "SELECT MAX(LENGTH(SYS_CONNECT_BY_PATH((" + q +
            "), '/'))) FROM HOSTILE_T START WITH id = 1 CONNECT BY PRIOR id = parent";
    return q;
}

// An SQL function that throws what its argument asks for.
void throwing(sqlite3_context*, int, sqlite3_value** argv) {
    switch (sqlite3_value_int(argv[0])) {
        case 0:
            throw std::bad_alloc();
        case 1:
            throw EngineError("ORA-01722: invalid number", SQLITE_ERROR);
        case 2:
            throw std::out_of_range("vector");
        default:
            throw 42;
    }
}

}  // namespace

class TestHostileInput : public QObject {
    Q_OBJECT

    std::unique_ptr<Connection> m_db;

    QStringList firstColumn(const std::string& sql) { return enginetest::firstColumn(*m_db, sql); }

private slots:
    void initTestCase() {
        m_db = Connection::open("", "scott");
        m_db->execute("create table HOSTILE_T (id number, name varchar2(20), parent number)");
        m_db->execute(
            "insert into HOSTILE_T select level, 'row ' || level, level - 1 from dual "
            "connect by level <= 10");
        m_db->execute(kCreatePlanTable);
        // A chain 100,000 deep, and the same rows closed into one loop.
        for (const char* table : {"HOSTILE_CHAIN", "HOSTILE_CYCLE"}) {
            m_db->execute(std::string("create table ") + table + " (id number, parent number)");
            m_db->execute(std::string("insert into ") + table +
                          " select level, level - 1 from dual connect by level <= 100000");
        }
        m_db->execute("update HOSTILE_CYCLE set parent = 100000 where id = 1");
        // Keys that hold the characters a text encoding of keys might use as
        // separators: no two rows have the same key.
        m_db->execute("create table HOSTILE_KEYS (id varchar2(20), parent varchar2(20))");
        m_db->execute("insert into HOSTILE_KEYS values ('x', null)");
        m_db->execute("insert into HOSTILE_KEYS values ('y', 'x')");
        m_db->execute(
            "insert into HOSTILE_KEYS values ('x' || chr(31) || chr(29) || chr(30) || "
            "'Ty', 'y')");
        m_db->execute(
            "insert into HOSTILE_KEYS values (chr(30) || 'Tx' || chr(31), 'x' || "
            "chr(31) || chr(29) || chr(30) || 'Ty')");
    }

    void cleanupTestCase() {
        for (const char* table :
             {"HOSTILE_T", "PLAN_TABLE", "HOSTILE_CHAIN", "HOSTILE_CYCLE", "HOSTILE_KEYS"})
            m_db->execute(std::string("drop table ") + table);
    }

    void reproducers_data() {
        QTest::addColumn<QByteArray>("statement");
        // A part of the error message expected (its ORA code where Oracle has
        // one); empty when the statement must succeed; "*" when it may end
        // either way, as long as it ends (with the rows given, or an Oracle
        // error: SQLite's own limits too are told in Oracle's terms).
        QTest::addColumn<QString>("error");
        // The first column of the result when it succeeds.
        QTest::addColumn<QStringList>("rows");
        // A query run afterwards, and its first column: what must not have
        // changed.
        QTest::addColumn<QString>("check");
        QTest::addColumn<QStringList>("checkRows");
        const QString count = "select count(*) from HOSTILE_T";
        const QStringList ten{"10"};
        const QString planRows = "select count(*) from PLAN_TABLE";
        const QStringList none{"0"};

        // A NUL or another control character ends nothing: the statement is
        // refused as a whole, and nothing of it runs.
        QTest::newRow("NUL in a DELETE") << QByteArray("DELETE FROM HOSTILE_T \0 WHERE id = 1", 37)
                                         << "ORA-00911" << QStringList{} << count << ten;
        QTest::newRow("NUL in a literal")
            << QByteArray("DELETE FROM HOSTILE_T WHERE name = 'x\0' OR 1 = 1", 49) << "ORA-00911"
            << QStringList{} << count << ten;
        QTest::newRow("NUL in a comment")
            << QByteArray("DELETE FROM HOSTILE_T /*\0*/ WHERE id = 1", 40) << "ORA-00911"
            << QStringList{} << count << ten;
        QTest::newRow("NUL in an anonymous block")
            << QByteArray("BEGIN\n  DELETE FROM HOSTILE_T \0 WHERE id = 1;\nEND;", 50)
            << "ORA-00911" << QStringList{} << count << ten;
        QTest::newRow("control character between tokens")
            << QByteArray("DELETE FROM HOSTILE_T \x01 WHERE id = 1") << "ORA-00911" << QStringList{}
            << count << ten;
        QTest::newRow("form feed between tokens")
            << QByteArray("DELETE FROM HOSTILE_T\f WHERE id = 1") << "ORA-00911" << QStringList{}
            << count << ten;
        QTest::newRow("control character in a literal is data")
            << QByteArray("SELECT LENGTH('a\x01\x1f' || 'b') FROM dual") << QString()
            << QStringList{"4"} << count << ten;
        QTest::newRow("EXPLAIN PLAN of a statement with a NUL")
            << QByteArray("EXPLAIN PLAN FOR DELETE FROM HOSTILE_T \0 WHERE id = 1", 54)
            << "ORA-00911" << QStringList{} << planRows << none;

        // Integer arithmetic at the edges of the 64-bit range.
        QTest::newRow("MOD of the smallest integer by -1")
            << QByteArray("SELECT MOD(-9223372036854775808, -1) FROM dual") << QString()
            << QStringList{"0"} << count << ten;
        QTest::newRow("MOD keeps the sign of the dividend")
            << QByteArray("SELECT MOD(-9223372036854775808, 10) || ' ' || MOD(-11, 0) FROM dual")
            << QString() << QStringList{"-8 -11"} << count << ten;
        // 9223372036854775808 has 19 digits and no 64-bit integer: Oracle's
        // NUMBER keeps it, the engine refuses it rather than round it.
        QTest::newRow("ABS of the smallest integer")
            << QByteArray("SELECT ABS(-9223372036854775808) FROM dual") << "ORA-03001"
            << QStringList{} << count << ten;
        QTest::newRow("minus the smallest integer")
            << QByteArray("SELECT -(-9223372036854775808) FROM dual") << "ORA-03001"
            << QStringList{} << count << ten;
        QTest::newRow("the smallest integer is a literal")
            << QByteArray("SELECT -9223372036854775808 + 1 FROM dual") << QString()
            << QStringList{"-9223372036854775807"} << count << ten;
        QTest::newRow("ROUND and TRUNC with digits beyond 32 bits")
            << QByteArray(
                   "SELECT ROUND(15.193, 4000000000) || ' ' || ROUND(15.193, -4000000000) "
                   "|| ' ' || TRUNC(15.79, 4294967297) FROM dual")
            << QString() << QStringList{"15.193 0 15.79"} << count << ten;
        QTest::newRow("ROUND of the largest integer to tens")  // 9223372036854775810
            << QByteArray(
                   "SELECT CASE WHEN ROUND(9223372036854775807, -1) > 9223372036854775807 "
                   "THEN 'up' END FROM dual")
            << "ORA-03001" << QStringList{} << count << ten;
        QTest::newRow("POWER exact in 64 bits")
            << QByteArray("SELECT POWER(2, 62) FROM dual") << QString()
            << QStringList{"4611686018427387904"} << count << ten;
        QTest::newRow("POWER beyond Oracle's numbers")
            << QByteArray("SELECT POWER(10, 400) FROM dual") << "ORA-01426" << QStringList{}
            << count << ten;
        QTest::newRow("POWER of a negative base to a fraction")
            << QByteArray("SELECT POWER(-8, 1/3) FROM dual") << "ORA-01428" << QStringList{}
            << count << ten;

        // Dates outside Oracle's calendar are refused, never garbled (text
        // in the engine's stored form is no date to CAST or the date
        // functions, which read text by NLS_DATE_FORMAT: ORA-01843).
        QTest::newRow("ADD_MONTHS back into the years BC")
            << QByteArray("SELECT ADD_MONTHS(DATE '2000-01-01', -24002) FROM dual") << QString()
            << QStringList{"-0002-11-01 00:00:00"} << count << ten;
        QTest::newRow("ADD_MONTHS from a year beyond 32 bits")
            << QByteArray("SELECT ADD_MONTHS(CAST('2147483647-01-01' AS DATE), 1) FROM dual")
            << "ORA-01843" << QStringList{} << count << ten;
        QTest::newRow("ADD_MONTHS past 9999")
            << QByteArray("SELECT ADD_MONTHS(DATE '9999-12-01', 1) FROM dual") << "ORA-01841"
            << QStringList{} << count << ten;
        QTest::newRow("ADD_MONTHS before 4712 BC")
            << QByteArray("SELECT ADD_MONTHS(TO_DATE('-4712-01-31', 'SYYYY-MM-DD'), -1) FROM dual")
            << "ORA-01841" << QStringList{} << count << ten;
        QTest::newRow("ADD_MONTHS by a huge count")
            << QByteArray("SELECT ADD_MONTHS(DATE '2000-01-31', 1e18) FROM dual") << "ORA-01841"
            << QStringList{} << count << ten;
        QTest::newRow("year 0 does not exist")
            << QByteArray("SELECT TO_DATE('0000-03-10', 'YYYY-MM-DD') FROM dual") << "ORA-01841"
            << QStringList{} << count << ten;

        // Padding: continuation bytes are characters too, and the result is
        // measured before it is built.
        QTest::newRow("LPAD with a filler of stray continuation bytes")
            << QByteArray(
                   "SELECT LENGTH(LPAD('x', 1000000, 'a' || RPAD(CHR(128), 10000, "
                   "CHR(128)))) FROM dual")
            << QString() << QStringList{"1000000"} << count << ten;
        QTest::newRow("LPAD wider than a million characters")
            << QByteArray("SELECT LENGTH(RPAD('x', 2000000, 'ab')) FROM dual") << QString()
            << QStringList{"2000000"} << count << ten;
        QTest::newRow("LPAD wider than the longest text")
            << QByteArray("SELECT LPAD('x', 2000000000, 'ab') FROM dual") << "too big"
            << QStringList{} << count << ten;
        QTest::newRow("RPAD to an astronomical width")
            << QByteArray("SELECT RPAD('x', 1e300) FROM dual") << "too big" << QStringList{}
            << count << ten;

        // Nesting: refused with Oracle's error before the stack runs out,
        // and translated without copying what lies below each level.
        QTest::newRow("parentheses 5,000 deep")
            << nestedParentheses(5000) << "ORA-03095" << QStringList{} << count << ten;
        QTest::newRow("parentheses as deep as SQLite takes")
            << nestedParentheses(90) << QString() << QStringList{"1"} << count << ten;
        QTest::newRow("CASE 300 deep") << "SELECT " + repeated("CASE WHEN 1 = 1 THEN ", 300) + "1" +
                                              repeated(" END", 300) + " FROM dual"
                                       << "ORA-03095" << QStringList{} << count << ten;
        QTest::newRow("subqueries 2,000 deep")
            << nestedSubqueries(2000) << "ORA-03095" << QStringList{} << count << ten;
        QTest::newRow("parentheses as deep as the engine takes")
            << nestedParentheses(255) << "*" << QStringList{"1"} << count << ten;
        QTest::newRow("subqueries as deep as the engine takes")
            << nestedSubqueries(250) << "*" << QStringList{"1"} << count << ten;
        QTest::newRow("subqueries 60 deep")
            << nestedSubqueries(60) << "*" << QStringList{"1"} << count << ten;
        QTest::newRow("NOT 150 times")
            << "SELECT 1 FROM dual WHERE " + repeated("NOT ", 150) + "1 = 2"
            << "*" << QStringList{"1"} << count << ten;
        QTest::newRow("subqueries 15 deep")
            << nestedSubqueries(15) << QString() << QStringList{"1"} << count << ten;
        QTest::newRow("EXPLAIN PLAN of EXPLAIN PLAN, 20,000 times")
            << repeated("EXPLAIN PLAN FOR ", 20000) + "SELECT 1 FROM dual"
            << "cannot explain" << QStringList{} << planRows << none;
        // Arithmetic is one call of the engine's (decimal NUMBER), which
        // takes a little more of SQLite's parser stack than its operators.
        QTest::newRow("hierarchies nested in PRIOR, 2 deep")
            << nestedPrior(2) << QString() << QStringList{"10"} << count << ten;
        QTest::newRow("hierarchies nested in PRIOR, 3 deep")
            << nestedPrior(3) << "*" << QStringList{"10"} << count << ten;
        QTest::newRow("hierarchies nested in PRIOR, 8 deep")
            << nestedPrior(8) << "*" << QStringList{"10"} << count << ten;
        QTest::newRow("hierarchies nested in SYS_CONNECT_BY_PATH, 3 deep")
            << nestedPath(3) << QString() << QStringList{"30"} << count << ten;
        QTest::newRow("hierarchies nested in SYS_CONNECT_BY_PATH, 8 deep")
            << nestedPath(8) << "*" << QStringList{"30"} << count << ten;
        QTest::newRow("80,000 owner-qualified columns")
            << "SELECT COUNT(*) FROM scott.HOSTILE_T WHERE scott.HOSTILE_T.id IN (" +
                   repeated("scott.HOSTILE_T.id, ", 80000) + "0)"
            << QString() << QStringList{"10"} << count << ten;

        // Long lists: Oracle's bounds, or SQLite's told in Oracle's terms,
        // before the work grows out of proportion.
        QTest::newRow("IN list of 100,000 values")
            << "SELECT COUNT(*) FROM HOSTILE_T WHERE id IN (" + listOf("", 100000) + ")"
            << QString() << QStringList{"10"} << count << ten;
        QTest::newRow("AND of 2,000 conditions")
            << "SELECT COUNT(*) FROM HOSTILE_T WHERE " + listOf("id <> -", 2000, " AND ") << "*"
            << QStringList{"10"} << count << ten;
        QTest::newRow("OR of 1,100 conditions")
            << "SELECT COUNT(*) FROM HOSTILE_T WHERE " + listOf("id = ", 1100, " OR ") << "*"
            << QStringList{"10"} << count << ten;
        QTest::newRow("+ of 1,199 terms, the tallest tree the parser builds")
            << "SELECT " + listOf("", 1199, " + ") + " FROM dual"
            << "*" << QStringList{"719400"} << count << ten;
        QTest::newRow("|| of 1,199 terms")
            << "SELECT LENGTH(" + listOf("", 1199, " || ") + ") FROM dual"
            << "*" << QStringList{"3689"} << count << ten;
        QTest::newRow("UNION ALL of 1,000 branches")
            << "SELECT COUNT(*) FROM (SELECT 0 FROM dual" +
                   repeated(" UNION ALL SELECT 1 FROM dual", 999) + ")"
            << "*" << QStringList{"1000"} << count << ten;
        QTest::newRow("CASE of 32,768 branches")
            << "SELECT CASE " + listOf("WHEN id = ", 32768, " THEN 1 ") + " THEN 1 END FROM dual"
            << "ORA-00939" << QStringList{} << count << ten;
        QTest::newRow("DECODE of 201 arguments")
            << "SELECT DECODE(1, " + listOf("", 200) + ") FROM dual"
            << "*" << QStringList{"2"} << count << ten;
        QTest::newRow("2,001 columns") << "SELECT " + listOf("", 2001) + " FROM dual"
                                       << "*" << QStringList{"1"} << count << ten;
        QTest::newRow("65 tables in a join")
            << "SELECT COUNT(*) FROM HOSTILE_T t0" + listOf(" JOIN HOSTILE_T t", 64, " ON 1 = 0") +
                   " ON 1 = 0"
            << "*" << QStringList{"0"} << count << ten;
        QTest::newRow("a text literal of 4 MB")
            << "SELECT LENGTH('" + QByteArray(4 << 20, 'x') + "') FROM dual" << QString()
            << QStringList{QString::number(4 << 20)} << count << ten;

        // Hierarchies: linear in their depth, loops found by comparing keys.
        QTest::newRow("chain 100,000 deep")
            << QByteArray(
                   "SELECT MAX(lvl) FROM (SELECT LEVEL lvl FROM HOSTILE_CHAIN "
                   "START WITH id = 1 CONNECT BY PRIOR id = parent)")
            << QString() << QStringList{"100000"} << count << ten;
        QTest::newRow("loop 100,000 rows long")
            << QByteArray(
                   "SELECT COUNT(*) FROM (SELECT id FROM HOSTILE_CYCLE START WITH id = 1 "
                   "CONNECT BY PRIOR id = parent)")
            << "ORA-01436" << QStringList{} << count << ten;
        QTest::newRow("loop 100,000 rows long under NOCYCLE")
            << QByteArray(
                   "SELECT COUNT(*) FROM (SELECT id FROM HOSTILE_CYCLE START WITH id = 1 "
                   "CONNECT BY NOCYCLE PRIOR id = parent)")
            << QString() << QStringList{"100000"} << count << ten;
        QTest::newRow("keys holding separator characters")
            << QByteArray(
                   "SELECT LEVEL FROM HOSTILE_KEYS START WITH id = 'x' "
                   "CONNECT BY PRIOR id = parent")
            << QString() << QStringList{"1", "2", "3", "4"} << count << ten;
        QTest::newRow("row generator beyond 100,000")
            << QByteArray("SELECT COUNT(*), MAX(LEVEL) FROM dual CONNECT BY LEVEL <= 250000")
            << QString() << QStringList{"250000"} << count << ten;
    }

    void reproducers() {
        QFETCH(QByteArray, statement);
        QFETCH(QString, error);
        QFETCH(QStringList, rows);
        QFETCH(QString, check);
        QFETCH(QStringList, checkRows);
        const std::string sql(statement.constData(), static_cast<std::size_t>(statement.size()));
        if (error == "*") {
            try {
                QCOMPARE(firstColumn(sql), rows);
            } catch (const EngineError& e) {
                QVERIFY2(QString::fromUtf8(e.what()).startsWith("ORA-"), e.what());
                QVERIFY(e.code() != 0);
            }
        } else if (error.isEmpty()) {
            QCOMPARE(firstColumn(sql), rows);
        } else {
            try {
                m_db->query(sql);
                QFAIL(qPrintable("expected an error containing " + error));
            } catch (const EngineError& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(error), e.what());
                QVERIFY(e.code() != 0);
            }
        }
        QCOMPARE(firstColumn(check.toStdString()), checkRows);
    }

    // A function that throws reports an error through SQLite instead of
    // unwinding through it; the handle stays usable, also from another
    // thread (a mutex left held would block it).
    void exceptionsStopAtSqlite_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("out of memory") << 0 << SQLITE_NOMEM << "out of memory";
        QTest::newRow("engine error") << 1 << SQLITE_ERROR << "ORA-01722: invalid number";
        QTest::newRow("standard exception") << 2 << SQLITE_ERROR << "vector";
        QTest::newRow("anything else") << 3 << SQLITE_ERROR << "internal error";
    }
    void exceptionsStopAtSqlite() {
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(QString, message);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                                 nullptr),
                 SQLITE_OK);
        QCOMPARE(sqlite3_create_function_v2(db, "THROWS", 1, SQLITE_UTF8, nullptr,
                                            guardedFunction<throwing>, nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "SELECT THROWS(?1)", -1, &st, nullptr), SQLITE_OK);
        sqlite3_bind_int(st, 1, kind);
        QCOMPARE(sqlite3_step(st), code);
        QVERIFY2(QString(sqlite3_errmsg(db)).contains(message), sqlite3_errmsg(db));
        sqlite3_finalize(st);
        int answer = 0;
        std::thread other([&] {
            sqlite3_exec(
                db, "SELECT 7",
                [](void* out, int, char** values, char**) {
                    *static_cast<int*>(out) = std::atoi(values[0]);
                    return 0;
                },
                &answer, nullptr);
        });
        other.join();
        QCOMPARE(answer, 7);
        QCOMPARE(sqlite3_close(db), SQLITE_OK);
    }
};

QTEST_GUILESS_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
