// Which database a host string opens: the shared sample database, an
// SQLite file (read-write or read-only), or nothing of this engine.

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;
using enginetest::firstColumn;

namespace {

// Creates an SQLite file holding one table, in lower case as other tools
// write them.
void makeDatabase(const QString& path) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db,
                          "create table items (id integer primary key, label text);"
                          "insert into items values (1, 'one'), (2, 'two');",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);
}

}  // namespace

class TestEngineRoutes : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void handles_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("handled");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("prefixed path") << "sqlite:/no/such/file.db" << true;
        QTest::newRow("tns alias") << "ORCL" << false;
        QTest::newRow("easy connect") << "dbhost:1521/orcl" << false;
        QTest::newRow("missing path") << "/no/such/file.db" << false;
    }
    void handles() {
        QFETCH(QString, host);
        QFETCH(bool, handled);
        QCOMPARE(Connection::handles(host.toStdString()), handled);
    }

    void foreignHostErrorNamesIt() {
        try {
            Connection::open("PRODDB", "scott");
            QFAIL("expected an error");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).contains("PRODDB"), e.what());
            QVERIFY(e.code() != 0);
        }
    }

    void missingFileIsNotCreated() {
        const QString path = m_dir.filePath("missing.db");
        for (const QString& host : {path, "sqlite:" + path})
            QVERIFY_THROWS_EXCEPTION(EngineError, Connection::open(host.toStdString(), "scott"));
        QVERIFY(!QFile::exists(path));
    }

    void notADatabase() {
        const QString path = m_dir.filePath("text.db");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is no database, just some text that is long enough to have a header");
        f.close();
        try {
            Connection::open(path.toStdString(), "scott");
            QFAIL("expected an error");
        } catch (const EngineError& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith("\"" + path + "\" is not an SQLite database file"),
                     qPrintable(text));
            QCOMPARE(e.code(), SQLITE_NOTADB);
        }
    }

    void fileReadWrite_data() {
        QTest::addColumn<bool>("prefixed");
        QTest::newRow("plain path") << false;
        QTest::newRow("sqlite: prefix") << true;
    }
    void fileReadWrite() {
        QFETCH(bool, prefixed);
        const QString path = m_dir.filePath(prefixed ? "rw2.db" : "rw1.db");
        makeDatabase(path);
        const std::string host = (prefixed ? "sqlite:" : "") + path.toStdString();
        QVERIFY(Connection::handles(host));
        auto db = Connection::open(host, "Scott");
        QCOMPARE(QString::fromStdString(db->owner()), QString("SCOTT"));
        QCOMPARE(db->execute("insert into ITEMS values (3, 'three')"), std::int64_t(1));
        QCOMPARE(firstColumn(*db, "select label from items order by id"),
                 QStringList({"one", "two", "three"}));
        // Lower-case names show upper case in the dictionary and results.
        QCOMPARE(firstColumn(*db, "SELECT table_name tbl FROM user_tables t"),
                 QStringList{"ITEMS"});
        QCOMPARE(enginetest::columnNames(db->query("select * from items")),
                 QStringList({"ID", "LABEL"}));
        db->close();
        auto again = Connection::open(host, "scott");
        QCOMPARE(firstColumn(*again, "select count(*) from items"), QStringList{"3"});
    }

    void readOnlyFileRefusesWrites() {
        const QString path = m_dir.filePath("ro.db");
        makeDatabase(path);
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        auto db = Connection::open(path.toStdString(), "scott");
        QCOMPARE(firstColumn(*db, "select count(*) from items"), QStringList{"2"});
        // Dictionary reads work on a read-only file too.
        QCOMPARE(
            firstColumn(
                *db,
                "SELECT count(table_name) tbl FROM user_tables t WHERE t.table_name = 'ITEMS'"),
            QStringList{"1"});
        try {
            db->execute("create table PLAN_TABLE (statement_id varchar2(30))");
            QFAIL("expected the read-only error");
        } catch (const EngineError& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith("the database file \"" + path + "\" is read-only"),
                     qPrintable(text));
            QCOMPARE(e.code() & 0xff, SQLITE_READONLY);
        }
        QCOMPARE(
            firstColumn(*db, "SELECT count(*) FROM user_tables WHERE table_name = 'PLAN_TABLE'"),
            QStringList{"0"});
    }

    void sampleDatabaseIsSharedAndOutlivesClose() {
        auto a = Connection::open("", "scott");
        a->execute("create table SHARED_PROBE (who varchar2(10))");
        a->execute("insert into SHARED_PROBE values ('a')");
        auto b = Connection::open("", "hr");
        b->execute("insert into SHARED_PROBE values ('b')");
        QCOMPARE(firstColumn(*a, "select who from SHARED_PROBE order by who"),
                 QStringList({"a", "b"}));
        a->close();
        b->close();
        QVERIFY_THROWS_EXCEPTION(EngineError, a->query("select 1 from dual"));
        auto c = Connection::open("", "scott");
        QCOMPARE(firstColumn(*c, "select count(*) from SHARED_PROBE"), QStringList{"2"});
        c->execute("drop table SHARED_PROBE");
    }

    void sampleDatabaseHasData() {
        auto db = Connection::open("", "scott");
        QCOMPARE(firstColumn(*db, "select count(*) from order_items").at(0).toInt() > 1000, true);
        QCOMPARE(firstColumn(*db, "select count(*) from sqlite_stat1").at(0).toInt() > 0, true);
        // Deterministic: the same data in every run.
        QCOMPARE(firstColumn(*db, "select count(*) from employees where manager_id is null"),
                 QStringList{"1"});
    }
};

QTEST_GUILESS_MAIN(TestEngineRoutes)
#include "tst_engineroutes.moc"
