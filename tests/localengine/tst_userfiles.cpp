// The local engine on database files the user did not write: hostile
// schemas and statements, damaged files, and files that another program
// locks, that vanish or whose disk fills up while connected. Every failure is
// a clear message naming the file, and the file stays as it was.

#include "EngineTestUtil.h"
#include "FailingVfs.h"
#include "LocalEngine.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using enginetest::firstColumn;
using localengine::Connection;
using localengine::EngineError;

namespace {

constexpr int kRows = 2000;

// Runs `sql` on a raw SQLite handle, as another program would.
bool rawExec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// An SQLite file of another tool: a table of kRows rows over several pages,
// an index, and whatever `schema` adds.
bool makeDatabase(const QString& path, const QString& schema = QString()) {
    QFile::remove(path);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
              rawExec(db,
                      "CREATE TABLE items (id INTEGER PRIMARY KEY, label TEXT NOT NULL);"
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                      "WHERE i < 2000) INSERT INTO items SELECT i, 'item ' || i FROM n;"
                      "CREATE INDEX items_label ON items (label);") &&
              (schema.isEmpty() || rawExec(db, schema.toUtf8().constData()));
    sqlite3_close(db);
    return ok;
}

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The root page of a table or index, read by a plain SQLite connection.
int rootPage(const QString& path, const char* name) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    int page = 0;
    if (sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_schema WHERE name = ?", -1, &st,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW)
            page = sqlite3_column_int(st, 0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return page;
}

constexpr qint64 kPageSize = 4096;  // SQLite's default, which makeDatabase keeps

bool invertByte(const QString& path, qint64 offset) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset))
        return false;
    char c = 0;
    if (!f.getChar(&c) || !f.seek(offset))
        return false;
    return f.putChar(static_cast<char>(~c));
}

// The message of the EngineError that `work` throws; empty when it throws none.
template <typename Work>
QString failure(Work&& work) {
    try {
        work();
    } catch (const EngineError& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

}  // namespace

class TestUserFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void untrustedSchema_data();
    void untrustedSchema();
    void hostileStatements_data();
    void hostileStatements();
    void damagedFile_data();
    void damagedFile();
    void lockedByAnotherProgram_data();
    void lockedByAnotherProgram();
    void vanishedWhileConnected_data();
    void vanishedWhileConnected();
    void diskFull_data();
    void diskFull();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestUserFiles::untrustedSchema_data() {
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("refusal");  // empty: the statement works

    // pragma_database_list reveals where the user's files are: a view or a
    // trigger stored in a file may not read it (such a view cannot be read
    // at all, which Oracle calls a view with errors).
    QTest::newRow("view reading the file list")
        << "CREATE VIEW paths AS SELECT file FROM pragma_database_list"
        << "SELECT file FROM paths"
        << "ORA-04063: view \"SCOTT.PATHS\" has errors";
    QTest::newRow("trigger reading the file list")
        << "CREATE TABLE seen (f TEXT); CREATE TRIGGER spy AFTER INSERT ON items BEGIN "
           "INSERT INTO seen SELECT file FROM pragma_database_list; END"
        << "INSERT INTO items VALUES (9999, 'x')"
        << "unsafe use of virtual table";
    // The Oracle functions have no side effects: the file's views use them.
    QTest::newRow("view using Oracle functions")
        << "CREATE VIEW labels AS SELECT NVL(NULL, label) l, DECODE(id, 1, 'one', 'other') d, "
           "LPAD(id, 4, '0') p FROM items WHERE id = 1"
        << "SELECT l || ' ' || d || ' ' || p FROM labels"
        << "";
}

void TestUserFiles::untrustedSchema() {
    QFETCH(QString, schema);
    QFETCH(QString, statement);
    QFETCH(QString, refusal);
    const QString file = path("schema.db");
    QVERIFY(makeDatabase(file, schema));
    auto db = Connection::open(file.toStdString(), "scott");
    if (refusal.isEmpty()) {
        QCOMPARE(firstColumn(*db, statement.toStdString()), QStringList{"item 1 one 0001"});
        return;
    }
    const QByteArray before = digest(file);
    const QString message = failure([&] { db->query(statement.toStdString()); });
    QVERIFY2(message.contains(refusal), qPrintable(message));
    db->close();
    QCOMPARE(digest(file), before);
}

void TestUserFiles::hostileStatements_data() {
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("refusal");
    // Defensive mode: ordinary SQL cannot corrupt the file.
    QTest::newRow("rewriting the schema table")
        << QStringList{"PRAGMA writable_schema = ON",
                       "UPDATE sqlite_schema SET sql = 'CREATE TABLE items (x)' WHERE name = "
                       "'items'"}
        << "may not be modified";
    QTest::newRow("loading a shared library")
        << QStringList{"SELECT load_extension('libc.so.6') FROM DUAL"} << "not authorized";
}

void TestUserFiles::hostileStatements() {
    QFETCH(QStringList, statements);
    QFETCH(QString, refusal);
    const QString file = path("hostile.db");
    QVERIFY(makeDatabase(file));
    const QByteArray before = digest(file);
    auto db = Connection::open(file.toStdString(), "scott");
    QString message;
    for (const QString& statement : statements)
        message = failure([&] { db->query(statement.toStdString()); });
    QVERIFY2(message.contains(refusal), qPrintable(message));
    // Turning the journal off is defensive mode's too: it stays on.
    QCOMPARE(firstColumn(*db, "PRAGMA journal_mode = OFF"), QStringList{"delete"});
    QCOMPARE(firstColumn(*db, "SELECT count(*) FROM items"), QStringList{QString::number(kRows)});
    db->close();
    QCOMPARE(digest(file), before);
}

void TestUserFiles::damagedFile_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");
    const QString notADatabase = QStringLiteral("is not an SQLite database file");
    const QString damaged = QStringLiteral("is damaged");
    QTest::newRow("text file") << "text" << notADatabase;
    QTest::newRow("header inverted") << "header" << notADatabase;
    QTest::newRow("truncated inside the first page") << "truncate 1000" << damaged;
    QTest::newRow("truncated after the first page") << "truncate 4096" << damaged;
    QTest::newRow("truncated by one page") << "truncate -4096" << damaged;
    QTest::newRow("table page inverted") << "page items" << damaged;
    QTest::newRow("index page inverted") << "page items_label" << damaged;
    QTest::newRow("last page inverted") << "page last" << damaged;
}

void TestUserFiles::damagedFile() {
    QFETCH(QString, damage);
    QFETCH(QString, message);
    const QString file = path("damaged.db");
    QVERIFY(makeDatabase(file));
    const qint64 size = QFileInfo(file).size();
    const QStringList words = damage.split(' ');
    if (words[0] == "text") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("CREATE TABLE items (id NUMBER);\n").repeated(200));
    } else if (words[0] == "header") {
        QVERIFY(invertByte(file, 0));
    } else if (words[0] == "truncate") {
        const qint64 keep = words[1].toLongLong();
        QVERIFY(QFile::resize(file, keep > 0 ? keep : size + keep));
    } else {
        // A b-tree page's first byte is its type: inverted, it is no type at all.
        const int page = words[1] == "last" ? int(size / kPageSize)
                                            : rootPage(file, words[1].toUtf8().constData());
        QVERIFY(page > 1);
        QVERIFY(invertByte(file, (page - 1) * kPageSize));
    }
    const QByteArray before = digest(file);

    // Refused at logon, before anything could be written into it.
    const QString text = failure([&] { Connection::open(file.toStdString(), "scott"); });
    QVERIFY2(text.contains(message) && text.contains(file), qPrintable(text));
    QVERIFY2(text.contains("the file was not changed"), qPrintable(text));
    QCOMPARE(digest(file), before);
}

void TestUserFiles::lockedByAnotherProgram_data() {
    QTest::addColumn<bool>("whileConnected");
    QTest::newRow("writing while another program writes") << true;
    QTest::newRow("logging on while another program commits") << false;
}

void TestUserFiles::lockedByAnotherProgram() {
    QFETCH(bool, whileConnected);
    const QString file = path("locked.db");
    QVERIFY(makeDatabase(file));
    std::unique_ptr<Connection> db;
    if (whileConnected)
        db = Connection::open(file.toStdString(), "scott");

    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(file.toUtf8().constData(), &other), SQLITE_OK);
    // A writer holds the file: RESERVED while it writes, EXCLUSIVE while it commits.
    QVERIFY(rawExec(other, whileConnected ? "BEGIN IMMEDIATE; DELETE FROM items WHERE id = 1"
                                          : "BEGIN EXCLUSIVE; DELETE FROM items WHERE id = 1"));
    const QString text = failure([&] {
        if (whileConnected)
            db->execute("INSERT INTO items VALUES (9999, 'mine')");
        else
            Connection::open(file.toStdString(), "scott");
    });
    QVERIFY2(text.startsWith("ORA-00054: resource busy") && text.contains(file), qPrintable(text));
    QVERIFY(rawExec(other, "COMMIT"));
    sqlite3_close(other);

    // The other program's change is there, the refused one is not, and the
    // file takes writes again.
    if (!db)
        db = Connection::open(file.toStdString(), "scott");
    QCOMPARE(firstColumn(*db, "SELECT count(*) FROM items WHERE id IN (1, 9999)"),
             QStringList{"0"});
    QCOMPARE(db->execute("INSERT INTO items VALUES (9999, 'mine')"), std::int64_t(1));
}

void TestUserFiles::vanishedWhileConnected_data() {
    QTest::addColumn<bool>("deleted");
    QTest::newRow("deleted") << true;
    QTest::newRow("renamed") << false;
}

void TestUserFiles::vanishedWhileConnected() {
    QFETCH(bool, deleted);
    const QString file = path("vanishing.db");
    const QString moved = path("moved.db");
    QFile::remove(moved);
    QVERIFY(makeDatabase(file));
    const QByteArray before = digest(file);
    auto db = Connection::open(file.toStdString(), "scott");
    QVERIFY(deleted ? QFile::remove(file) : QFile::rename(file, moved));

    const QString text = failure([&] { db->execute("INSERT INTO items VALUES (9999, 'lost')"); });
    QVERIFY2(text.contains("was moved or deleted while connected") && text.contains(file),
             qPrintable(text));
    // Nothing is recreated where the file was, and a moved file is untouched.
    QVERIFY(!QFile::exists(file));
    if (!deleted)
        QCOMPARE(digest(moved), before);
}

namespace {

// Doubles the table: many pages of the table and of its index change.
constexpr const char* kDoubling = "INSERT INTO items SELECT id + 2000, label || ' copy' FROM items";

}  // namespace

void TestUserFiles::diskFull_data() {
    // The disk fills up after perMille / 1000 of the writes the statement
    // needs, plus `plus`: from the journal's first write to the database
    // file's last.
    QTest::addColumn<int>("perMille");
    QTest::addColumn<int>("plus");
    QTest::newRow("full at the first write") << 0 << 0;
    QTest::newRow("full at the second write") << 0 << 1;
    QTest::newRow("full after a tenth of the writes") << 100 << 0;
    QTest::newRow("full after a quarter") << 250 << 0;
    QTest::newRow("full after half") << 500 << 0;
    QTest::newRow("full after three quarters") << 750 << 0;
    QTest::newRow("full at the last write") << 1000 << -1;
    QTest::newRow("room for every write") << 1000 << 0;
}

void TestUserFiles::diskFull() {
    QFETCH(int, perMille);
    QFETCH(int, plus);
    const QString file = path("full.db");
    int needed = 0;
    {
        QVERIFY(makeDatabase(file));
        FailingVfs vfs;
        auto db = Connection::open(file.toStdString(), "scott");
        vfs.failWritesAfter(-1);
        db->execute(kDoubling);
        needed = vfs.writes();
    }
    QVERIFY(needed > 10);
    const int allowed = needed * perMille / 1000 + plus;

    QVERIFY(makeDatabase(file));
    std::int64_t inserted = 0;
    QString text;
    {
        FailingVfs vfs;
        auto db = Connection::open(file.toStdString(), "scott");
        vfs.failWritesAfter(allowed);
        text = failure([&] { inserted = db->execute(kDoubling); });
        if (allowed < needed) {
            QVERIFY(vfs.failedWrites() > 0);
            QVERIFY2(text.startsWith("no space left to write the database file") &&
                         text.contains(file) && text.contains("the statement changed nothing"),
                     qPrintable(text));
        } else {
            QCOMPARE(text, QString());
            QCOMPARE(inserted, std::int64_t(kRows));
        }
        db->close();
    }
    // Opened again on the real disk (where SQLite rolls back any journal left
    // behind): the file is whole, with either all the new rows or none.
    auto again = Connection::open(file.toStdString(), "scott");
    QCOMPARE(firstColumn(*again, "SELECT count(*) FROM items"),
             QStringList{QString::number(allowed < needed ? kRows : 2 * kRows)});
    QCOMPARE(firstColumn(*again, "PRAGMA integrity_check"), QStringList{"ok"});
}

QTEST_GUILESS_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
