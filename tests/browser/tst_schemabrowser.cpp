// The schema browser on the local engine: its layout, the guard, the table
// listing and the key search, and how it reports failures.
#include "LogonState.h"
#include "MainkeySql.h"
#include "ModalDialogs.h"
#include "MsgBoxRecorder.h"
#include "OraObjects.h"
#include "SchemaBrowser.h"

#include <sqlite3.h>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

const QString kBusy = QStringLiteral("検索中･･･");
const QString kNoTable = QStringLiteral("ﾃｰﾌﾞﾙが存在しません");
const QString kNoKey = QStringLiteral("主ｷｰが設定されてません");

bool runSqlite(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

std::shared_ptr<oraobj::OraDatabase> openDatabase(const QString& host) {
    return oraobj::CreateObject(QStringLiteral("OracleInProcServer.XOraSession"))
        ->DbOpenDatabase(host, QStringLiteral("SCOTT/x"), 3);
}

QStringList items(const QComboBox* c) {
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// ---- A component that fails on demand, for failures the engine cannot
// produce at a chosen point (a connection lost in the middle of a result).

struct Probe {
    int liveResults = 0;
    QStringList sql;
    QList<qint32> options;
    std::function<void()> onQuery;
};

class FakeResult : public oraobj::OraDynaset {
public:
    FakeResult(Probe& probe, QVariantList rows, int failOnMoveTo = -1)
        : m_probe(probe), m_rows(std::move(rows)), m_failOnMoveTo(failOnMoveTo) {
        ++m_probe.liveResults;
    }
    ~FakeResult() override { --m_probe.liveResults; }
    bool EOF_() const override { return m_row >= m_rows.size(); }
    oraobj::OraField Fields(short) const override {
        if (EOF_())
            throw oraobj::OraError(QStringLiteral("No current row."));
        return oraobj::OraField(m_rows[m_row]);
    }
    void DbMoveNext() override {
        if (m_row + 1 == m_failOnMoveTo)
            throw oraobj::OraError(
                QStringLiteral("ORA-03113: end-of-file on communication channel"), 3113);
        ++m_row;
    }
    qint32 RecordCount() override { return qint32(m_rows.size()); }

private:
    Probe& m_probe;
    QVariantList m_rows;
    int m_failOnMoveTo;
    int m_row = 0;
};

class FakeDatabase : public oraobj::OraDatabase {
public:
    using Answer = std::function<std::unique_ptr<oraobj::OraDynaset>(const QString& sql)>;
    FakeDatabase(Probe& probe, Answer answer) : m_probe(probe), m_answer(std::move(answer)) {}
    qint32 DbExecuteSQL(const QString&) override {
        throw oraobj::OraError(QStringLiteral("unused"));
    }
    void ExecuteSQL(QString) override { throw oraobj::OraError(QStringLiteral("unused")); }
    std::unique_ptr<oraobj::OraDynaset> DbCreateDynaset(const QString& sql,
                                                        qint32 options) override {
        m_probe.sql << sql;
        m_probe.options << options;
        if (m_probe.onQuery)
            m_probe.onQuery();
        return m_answer(sql);
    }
    void Close() override {}
    qint32 LastServerErr() const override { return 0; }
    QString LastServerErrText() const override { return {}; }
    void LastServerErrReset() override {}

private:
    Probe& m_probe;
    Answer m_answer;
};

}  // namespace

class tst_schemabrowser : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_schema;  // tables with one-column, two-column and no keys
    QString m_empty;   // a user who owns no tables
    QWidget* m_main = nullptr;
    int m_connectCalls = 0;
    std::function<void()> m_onConnect;

    std::unique_ptr<frm_mainkey> makeBrowser() {
        return std::make_unique<frm_mainkey>(m_main, [this] {
            ++m_connectCalls;
            if (m_onConnect)
                m_onConnect();
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_schema = m_dir.filePath(QStringLiteral("schema.db"));
        m_empty = m_dir.filePath(QStringLiteral("empty.db"));
        QVERIFY(runSqlite(
            m_schema,
            "CREATE TABLE DEPT (DEPTNO INTEGER PRIMARY KEY, DNAME TEXT);"
            "CREATE TABLE ORDER_LINES (LINE_NO INTEGER, ORDER_ID INTEGER, QTY INTEGER,"
            "  CONSTRAINT PK_ORDER_LINES PRIMARY KEY (ORDER_ID, LINE_NO));"
            "CREATE TABLE NOTES (BODY TEXT);"
            "CREATE TABLE \"O'BRIEN\" (ID INTEGER, CONSTRAINT PK_OBRIEN PRIMARY KEY (ID));"));
        QVERIFY(runSqlite(m_empty, "PRAGMA user_version = 1;"));
    }

    void init() {
        basEXPLAIN::reset();
        m_connectCalls = 0;
        m_onConnect = nullptr;
        m_main = new QWidget;
        m_main->setGeometry(120, 90, 547, 422);
        m_main->show();
    }
    void cleanup() {
        basEXPLAIN::reset();
        delete m_main;
        m_main = nullptr;
    }

    void layoutAndMenus() {
        auto b = makeBrowser();
        QCOMPARE(b->windowTitle(), QStringLiteral("主ｷｰ検索"));
        QCOMPARE(b->minimumSize(), b->maximumSize());
        QCOMPARE(b->client->size(), QSize(259, 244));
        QCOMPARE(b->Label2->text(), QStringLiteral("ﾃｰﾌﾞﾙ名 ："));
        QCOMPARE(b->cmdAllTeble->text(), QStringLiteral("全ﾃｰﾌﾞﾙ検索"));
        QCOMPARE(b->cmdMainkey->text(), QStringLiteral("主ｷｰ検索"));
        QCOMPARE(b->Frame1->title(), QStringLiteral("主ｷｰ一覧"));
        QVERIFY(b->cmbTableList->isEditable());
        QCOMPARE(b->cmbTableList->count(), 0);
        QCOMPARE(b->cmbTableList->currentText(), QString());
        QCOMPARE(b->Text2->Text(), QString());
        QCOMPARE(b->Label1->text(), QString());

        const QList<QAction*> top = b->menuBar->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->text(), QStringLiteral("検索(&S)"));
        QCOMPARE(top[0]->menu(), b->mnuSearch);
        QCOMPARE(top[1], b->munE);
        QCOMPARE(b->munE->text(), QStringLiteral("終了(&X)"));
        QVERIFY(!b->munE->menu());
        const QList<QAction*> sub = b->mnuSearch->actions();
        QCOMPARE(sub.size(), 4);
        QCOMPARE(sub[0]->text(), QStringLiteral("全ﾃｰﾌﾞﾙ検索(&A)"));
        QCOMPARE(sub[1]->text(), QStringLiteral("主ｷｰ検索(&M)"));
        QVERIFY(sub[2]->isSeparator());
        QCOMPARE(sub[3]->text(), QStringLiteral("終了(&X)"));

        // Centred over the main window, with the etched rule on the client area.
        const QRect m = m_main->frameGeometry();
        QVERIFY(qAbs(b->frameGeometry().center().x() - m.center().x()) <= 1);
        QVERIFY(qAbs(b->frameGeometry().center().y() - m.center().y()) <= 1);
        QVERIFY(b->client->findChild<QWidget*>(QStringLiteral("etchedTopLine")));
    }

    void tabOrderAndClosing_data() {
        QTest::addColumn<int>("how");  // 0 menu 終了 under 検索, 1 top-level 終了, 2 close box
        QTest::newRow("mnuExit") << 0;
        QTest::newRow("munE") << 1;
        QTest::newRow("close box") << 2;
    }
    void tabOrderAndClosing() {
        QFETCH(int, how);
        auto b = makeBrowser();
        QWidgetList visited;
        bool escapeKeptOpen = false;
        auto watch = onNextModal<frm_mainkey>([&](frm_mainkey&) {
            if (!QTest::qWaitForWindowActive(b.get()))
                return;
            for (int i = 0; i < 4; ++i) {
                QWidget* f = QApplication::focusWidget();
                visited << f;
                // Enter in the name field does nothing; on a button it presses it.
                QTest::keyClick(f, Qt::Key_Return);
                QTest::keyClick(f, Qt::Key_Tab);
            }
            QTest::keyClick(b.get(), Qt::Key_Escape);
            escapeKeptOpen = b->isVisible();
            if (how == 0)
                b->mnuExit->trigger();
            else if (how == 1)
                b->munE->trigger();
            else
                b->close();
        });
        b->exec();
        QVERIFY(watch.ran());
        QVERIFY(!b->isVisible());
        QVERIFY(escapeKeptOpen);
        QCOMPARE(m_connectCalls, 2);  // both buttons, each through the guard
        QCOMPARE(visited.size(), 4);
        // The name field (its edit part) has the focus on opening.
        QVERIFY(visited[0] == b->cmbTableList ||
                visited[0] == static_cast<QWidget*>(b->cmbTableList->lineEdit()));
        QCOMPARE(visited[1], static_cast<QWidget*>(b->cmdAllTeble));
        QCOMPARE(visited[2], static_cast<QWidget*>(b->cmdMainkey));
        QCOMPARE(visited[3], static_cast<QWidget*>(b->Text2));
    }

    void guardOnlyRunsTheLogon_data() {
        QTest::addColumn<int>("trigger");  // 0 button list, 1 button key, 2 menu list, 3 menu key
        QTest::addColumn<bool>("logonSucceeds");
        QTest::newRow("list button") << 0 << false;
        QTest::newRow("key button") << 1 << false;
        QTest::newRow("list menu") << 2 << false;
        QTest::newRow("key menu") << 3 << false;
        QTest::newRow("list, logon succeeds") << 0 << true;
        QTest::newRow("key, logon succeeds") << 1 << true;
    }
    void guardOnlyRunsTheLogon() {
        QFETCH(int, trigger);
        QFETCH(bool, logonSucceeds);
        MsgBoxRecorder rec;
        if (logonSucceeds)
            m_onConnect = [this] { basEXPLAIN::OraDB = openDatabase(m_schema); };
        auto b = makeBrowser();
        b->cmbTableList->addItem(QStringLiteral("EARLIER"));
        b->cmbTableList->setEditText(QStringLiteral("DEPT"));
        b->Text2->setText(QStringLiteral("keys shown before\r\n"));
        b->Label1->setText(QStringLiteral("ﾃｰﾌﾞﾙ総数 : 9件"));
        switch (trigger) {
            case 0:
                b->cmdAllTeble->click();
                break;
            case 1:
                b->cmdMainkey->click();
                break;
            case 2:
                b->mnuAllTebleSearch->trigger();
                break;
            default:
                b->mnuMeinkeySearch->trigger();
                break;
        }
        QCOMPARE(m_connectCalls, 1);
        QCOMPARE(items(b->cmbTableList), QStringList{QStringLiteral("EARLIER")});
        QCOMPARE(b->cmbTableList->currentText(), QStringLiteral("DEPT"));
        QCOMPARE(b->Text2->Text(), QStringLiteral("keys shown before\r\n"));
        QCOMPARE(b->Label1->text(), QStringLiteral("ﾃｰﾌﾞﾙ総数 : 9件"));
        QCOMPARE(rec.count(), 0);
        QCOMPARE(bool(basEXPLAIN::OraDB), logonSucceeds);
    }

    void listingTwiceAppends() {
        MsgBoxRecorder rec;
        basEXPLAIN::OraDB = openDatabase(m_schema);
        auto b = makeBrowser();
        b->Text2->setText(QStringLiteral("DEPTNO\r\n"));
        b->cmdAllTeble->click();
        const QStringList first = items(b->cmbTableList);
        QCOMPARE(first.size(), 4);
        QVERIFY(first.contains(QStringLiteral("O'BRIEN")));
        QVERIFY(first.contains(QStringLiteral("ORDER_LINES")));
        QCOMPARE(b->cmbTableList->currentIndex(), 0);
        QCOMPARE(b->cmbTableList->currentText(), first[0]);
        QCOMPARE(b->Label1->text(), QStringLiteral("ﾃｰﾌﾞﾙ総数 : 4件"));
        QCOMPARE(b->Text2->Text(), QString());  // a key list shown before is gone

        b->cmbTableList->setEditText(QStringLiteral("typed"));
        b->mnuAllTebleSearch->trigger();
        QCOMPARE(items(b->cmbTableList), first + first);
        QCOMPARE(b->cmbTableList->currentIndex(), 0);
        QCOMPARE(b->cmbTableList->currentText(), first[0]);
        QCOMPARE(b->Label1->text(), QStringLiteral("ﾃｰﾌﾞﾙ総数 : 4件"));
        QCOMPARE(rec.count(), 0);

        // A key search right after the listing looks up the first table.
        b->cmdMainkey->click();
        QVERIFY(b->Text2->Text() != QString());
        QVERIFY(b->Text2->Text() != kNoTable);
        QCOMPARE(rec.count(), 0);
    }

    void userWithoutTables() {
        MsgBoxRecorder rec;
        basEXPLAIN::OraDB = openDatabase(m_empty);
        auto b = makeBrowser();
        b->Label1->setText(QStringLiteral("unchanged"));
        b->cmdAllTeble->click();
        QCOMPARE(rec.count(), 1);
        QCOMPARE(rec.last().style, 16);
        QCOMPARE(rec.last().title, QStringLiteral("SQLｴﾗｰ"));
        QVERIFY(!rec.last().prompt.isEmpty());
        QCOMPARE(b->cmbTableList->count(), 0);
        QCOMPARE(b->Label1->text(), QStringLiteral("unchanged"));
        QCOMPARE(b->Text2->Text(), QString());
    }

    void keySearch_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text2");
        QTest::newRow("one-column key") << QStringLiteral("DEPT") << QStringLiteral("DEPTNO\r\n");
        QTest::newRow("two-column key, declared order")
            << QStringLiteral("ORDER_LINES") << QStringLiteral("ORDER_ID\r\nLINE_NO\r\n");
        QTest::newRow("no key") << QStringLiteral("NOTES") << kNoKey;
        QTest::newRow("lower case") << QStringLiteral("dept") << kNoTable;
        QTest::newRow("trailing blank") << QStringLiteral("DEPT ") << kNoTable;
        QTest::newRow("empty name") << QString() << kNoTable;
        QTest::newRow("unknown") << QStringLiteral("NO_SUCH_TABLE") << kNoTable;
        QTest::newRow("quote in an existing name")
            << QStringLiteral("O'BRIEN") << QStringLiteral("ID\r\n");
        QTest::newRow("quote in an unknown name") << QStringLiteral("DEPT'") << kNoTable;
        QTest::newRow("crafted name") << QStringLiteral("X' OR '1'='1") << kNoTable;
    }
    void keySearch() {
        QFETCH(QString, name);
        QFETCH(QString, text2);
        MsgBoxRecorder rec;
        basEXPLAIN::OraDB = openDatabase(m_schema);
        auto b = makeBrowser();
        b->cmbTableList->setEditText(name);
        b->cmdMainkey->click();
        QCOMPARE(b->Text2->Text(), text2);
        QCOMPARE(rec.count(), 0);
        // The same again from the menu.
        b->Text2->setText(QString());
        b->mnuMeinkeySearch->trigger();
        QCOMPARE(b->Text2->Text(), text2);
        QCOMPARE(b->cmbTableList->currentText(), name);
    }

    void keyAddedByAlterTable() {
        // A schema script's usual order: the table first, its key afterwards,
        // through the component as the script would run it.
        const QString path = m_dir.filePath(QStringLiteral("altered.db"));
        QVERIFY(runSqlite(path, "PRAGMA user_version = 1;"));
        {
            auto db = openDatabase(path);
            db->DbExecuteSQL(
                QStringLiteral("CREATE TABLE loans (loan_id NUMBER(10), "
                               "book_id NUMBER(8), due DATE)"));
            db->DbExecuteSQL(QStringLiteral("INSERT INTO loans VALUES (1, 7, NULL)"));
            db->DbExecuteSQL(QStringLiteral(
                "ALTER TABLE loans ADD CONSTRAINT loans_pk PRIMARY KEY (book_id, loan_id)"));
        }
        MsgBoxRecorder rec;
        basEXPLAIN::OraDB = openDatabase(path);
        auto b = makeBrowser();
        b->cmbTableList->setEditText(QStringLiteral("LOANS"));
        b->cmdMainkey->click();
        QCOMPARE(b->Text2->Text(), QStringLiteral("BOOK_ID\r\nLOAN_ID\r\n"));
        QCOMPARE(rec.count(), 0);
    }

    void compositeKeyInTheServersOrder() {
        // Whatever order the server gives, the list keeps it line for line.
        basEXPLAIN::OraDB = openDatabase(m_schema);
        auto rs = basEXPLAIN::OraDB->DbCreateDynaset(
            MainkeySql::primaryKeySql(QStringLiteral("ORDER_LINES")), 12);
        QString expected;
        for (; !rs->EOF_(); rs->DbMoveNext())
            expected += rs->Fields(0).Value().toString() + QStringLiteral("\r\n");
        rs.reset();
        auto b = makeBrowser();
        b->cmbTableList->setEditText(QStringLiteral("ORDER_LINES"));
        b->cmdMainkey_Click();
        QCOMPARE(b->Text2->Text(), expected);
        QCOMPARE(expected.count(QStringLiteral("\r\n")), 2);
    }

    void sampleDatabaseListing() {
        MsgBoxRecorder rec;
        basEXPLAIN::OraDB = openDatabase(QString());
        auto b = makeBrowser();
        b->cmdAllTeble_Click();
        QCOMPARE(rec.count(), 0);
        const QStringList names = items(b->cmbTableList);
        QVERIFY(!names.isEmpty());
        QCOMPARE(b->Label1->text(), MainkeySql::tableCountText(qint32(names.size())));
        // Every listed table can be looked up without a failure.
        for (const QString& n : names) {
            b->cmbTableList->setEditText(n);
            b->cmdMainkey_Click();
            QVERIFY2(b->Text2->Text() != kNoTable && !b->Text2->Text().isEmpty(), qPrintable(n));
        }
        QCOMPARE(rec.count(), 0);
    }

    void busyTextAndResultRelease_data() {
        QTest::addColumn<bool>("listing");
        QTest::newRow("listing") << true;
        QTest::newRow("key search") << false;
    }
    void busyTextAndResultRelease() {
        QFETCH(bool, listing);
        MsgBoxRecorder rec;
        Probe probe;
        basEXPLAIN::OraDB = std::make_shared<FakeDatabase>(probe, [&](const QString& sql) {
            if (sql.startsWith(QStringLiteral("SELECT count")))
                return std::unique_ptr<oraobj::OraDynaset>(new FakeResult(probe, {QVariant(1)}));
            return std::unique_ptr<oraobj::OraDynaset>(
                new FakeResult(probe, {QStringLiteral("A"), QVariant(), QStringLiteral("C")}));
        });
        auto b = makeBrowser();
        QStringList seen;
        probe.onQuery = [&] { seen << b->Text2->Text(); };
        b->cmbTableList->setEditText(QStringLiteral("T"));
        if (listing)
            b->cmdAllTeble->click();
        else
            b->cmdMainkey->click();
        QVERIFY(!seen.isEmpty());
        for (const QString& s : seen)
            QCOMPARE(s, kBusy);
        for (qint32 o : probe.options)
            QCOMPARE(o, 12);
        QCOMPARE(probe.liveResults, 0);
        QCOMPARE(rec.count(), 0);
        if (listing) {
            // A null name gives an empty entry.
            QCOMPARE(items(b->cmbTableList),
                     (QStringList{QStringLiteral("A"), QString(), QStringLiteral("C")}));
            QCOMPARE(b->Label1->text(), QStringLiteral("ﾃｰﾌﾞﾙ総数 : 3件"));
            QCOMPARE(b->Text2->Text(), QString());
        } else {
            QCOMPARE(probe.sql, (QStringList{MainkeySql::tableExistsSql(QStringLiteral("T")),
                                             MainkeySql::primaryKeySql(QStringLiteral("T"))}));
            QCOMPARE(b->Text2->Text(), QStringLiteral("A\r\n\r\nC\r\n"));
        }
    }

    void failuresAreReportedOnce_data() {
        QTest::addColumn<bool>("listing");
        QTest::addColumn<int>("failAt");  // which query fails (0, 1), or -1: a move in the middle
        QTest::newRow("listing, query refused") << true << 0;
        QTest::newRow("listing, lost in the middle") << true << -1;
        QTest::newRow("key search, existence test refused") << false << 0;
        QTest::newRow("key search, key query refused") << false << 1;
        QTest::newRow("key search, lost in the middle") << false << -1;
    }
    void failuresAreReportedOnce() {
        QFETCH(bool, listing);
        QFETCH(int, failAt);
        MsgBoxRecorder rec;
        Probe probe;
        const QString refused = QStringLiteral("ORA-00942: table or view does not exist");
        int call = 0;
        basEXPLAIN::OraDB = std::make_shared<FakeDatabase>(probe, [&](const QString& sql) {
            if (call++ == failAt)
                throw oraobj::OraError(refused, 942);
            if (sql.startsWith(QStringLiteral("SELECT count")))
                return std::unique_ptr<oraobj::OraDynaset>(new FakeResult(probe, {QVariant(1)}));
            return std::unique_ptr<oraobj::OraDynaset>(new FakeResult(
                probe, {QStringLiteral("NEW1"), QStringLiteral("NEW2"), QStringLiteral("NEW3")},
                2));
        });
        auto b = makeBrowser();
        b->show();
        b->cmbTableList->addItem(QStringLiteral("OLD"));
        b->cmbTableList->setEditText(QStringLiteral("T"));
        b->Label1->setText(QStringLiteral("ﾃｰﾌﾞﾙ総数 : 1件"));
        b->Text2->setText(QStringLiteral("K\r\n"));
        if (listing)
            b->cmdAllTeble_Click();
        else
            b->cmdMainkey_Click();

        QCOMPARE(rec.count(), 1);
        QCOMPARE(rec.last().style, 16);
        QCOMPARE(rec.last().title, QStringLiteral("SQLｴﾗｰ"));
        QCOMPARE(rec.last().prompt,
                 failAt < 0 ? QStringLiteral("ORA-03113: end-of-file on communication channel")
                            : refused);
        QCOMPARE(b->Text2->Text(), QString());
        QCOMPARE(probe.liveResults, 0);
        QVERIFY(b->isVisible());
        QVERIFY(basEXPLAIN::OraDB);
        if (listing) {
            // Entries added before the failure stay; the count line is not updated.
            const QStringList expected =
                failAt < 0 ? QStringList{QStringLiteral("OLD"), QStringLiteral("NEW1"),
                                         QStringLiteral("NEW2")}
                           : QStringList{QStringLiteral("OLD")};
            QCOMPARE(items(b->cmbTableList), expected);
            QCOMPARE(b->Label1->text(), QStringLiteral("ﾃｰﾌﾞﾙ総数 : 1件"));
        }
    }
};

QTEST_MAIN(tst_schemabrowser)
#include "tst_schemabrowser.moc"
