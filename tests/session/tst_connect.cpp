// Connect, disconnect and the plan table commands of the main window, on
// the local engine.
#include "HostAddress.h"
#include "LogonState.h"
#include "MainWindow.h"
#include "MsgBoxRecorder.h"
#include "SessionKit.h"

#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace basEXPLAIN;

namespace {

const QString kId = QStringLiteral("10.0.0.5");
const QString kOtherId = QStringLiteral("10.0.0.6");
const QString kMissingQuestion =
    QStringLiteral("PLAN_TABLEが接続先のDBに存在しません。\r　　　　　　　作成しますか？");
const QString kDisconnectQuestion = QStringLiteral(
    "あなたが作成したPLAN_TABLEが削除されていません。\r　　　　　　　削除しますか？");
const QString kExitQuestion = QStringLiteral(
    "あなたが作成したPLAN_TABLEが削除されていません。\r　　　　　　　削除して終了ますか？");
const QString kDropQuestion = QStringLiteral(
    "接続時に存在したPLAN_TABLEを削除しようとしています。\r　　　　　　　削除してよろしいですか？");

}  // namespace

class tst_Connect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpOpensLogon();
    void cancelChangesNothing();
    void connectWithPlanTable();
    void connectMissingYes();
    void connectMissingNo();
    void tableCreatedElsewhereWhileAsking();
    void creationRefusedAtConnect();
    void panelFourShowsTrimmedLogon_data();
    void panelFourShowsTrimmedLogon();
    void secondOpeningIsEmpty();
    void disconnectAfterCreate_data();
    void disconnectAfterCreate();
    void disconnectFoundDeletesOwnRows();
    void disconnectAfterDropAsksNothing();

    void createWhilePresent();
    void createOnReadOnlyDatabase();
    void dropFoundAtConnect_data();
    void dropFoundAtConnect();
    void dropWithoutQuestion();
    void dropWithoutTable();
    void failingDropKeepsState();
    void failingCheckAtConnect();

    void exitWhileDisconnected();
    void exitFound();
    void exitCreated_data();
    void exitCreated();

private:
    void connectAs(const QString& user = kit::kUser, const QString& host = QString());
    void expectDisconnected();
    std::shared_ptr<oraobj::OraDatabase> m_db;
    std::unique_ptr<frmEXPLAIN> m_w;
    std::unique_ptr<MsgBoxRecorder> m_boxes;
};

void tst_Connect::initTestCase() {
    m_db = kit::open();
}

void tst_Connect::init() {
    reset();
    kit::setPlanTable(*m_db, true);
    m_db->DbExecuteSQL(PlanTable::deleteRowsStatement(kId));
    m_db->DbExecuteSQL(PlanTable::deleteRowsStatement(kOtherId));
    m_boxes = std::make_unique<MsgBoxRecorder>();
    m_w = std::make_unique<frmEXPLAIN>();
    m_w->show();
    m_w->StatementId = kId;
}

void tst_Connect::cleanup() {
    m_w->Connected = 0;
    m_w.reset();
    m_boxes.reset();
    reset();
}

void tst_Connect::connectAs(const QString& user, const QString& host) {
    auto seen = kit::onLogonDialog(kit::logon(user, QStringLiteral("tiger"), host));
    m_w->mnuDBLogIn->trigger();
    QVERIFY(seen.ran());
}

void tst_Connect::expectDisconnected() {
    QVERIFY(m_w->mnuDBLogIn->isEnabled());
    QVERIFY(!m_w->mnuCut->isEnabled());
    QVERIFY(!m_w->mnuPCreate->isEnabled());
    QVERIFY(!m_w->mnuPDrop->isEnabled());
    QCOMPARE(m_w->Connected, qint16(0));
    QCOMPARE(m_w->panelText(1), QStringLiteral("- DB未接続 -"));
    QCOMPARE(m_w->panelText(2), QString());
    QCOMPARE(m_w->panelText(4), QString());
    QCOMPARE(LogonOK, False);
    QVERIFY(!OraDB);
}

void tst_Connect::startUpOpensLogon() {
    basGetIP::Resolver r;
    r.hostName = [] { return std::optional<std::string>("ws01"); };
    r.lookup = [](const std::string&) {
        return std::optional(std::vector<basGetIP::IPv4>{{10, 0, 0, 5}, {127, 0, 1, 1}});
    };
    r.interfaces = [] { return std::vector<basGetIP::IPv4>{}; };
    basGetIP::setResolver(r);
    m_w = std::make_unique<frmEXPLAIN>();
    QString idDuringLogon = QStringLiteral("?");
    auto seen = kit::onLogonDialog([&](fdlgOraLogon& d) {
        idDuringLogon = m_w->StatementId;
        d.cmdCancel->click();
    });
    m_w->Form_Load();
    basGetIP::setResolver(std::nullopt);
    QVERIFY(seen.ran());
    QCOMPARE(idDuringLogon, QString());  // set only after the connect returned
    QCOMPARE(m_w->StatementId, QStringLiteral("10.0.0.5"));
    expectDisconnected();
}

void tst_Connect::cancelChangesNothing() {
    m_w->PlanTableState = PlanTable::DroppedHere;
    auto seen = kit::onLogonDialog(kit::cancel());
    m_w->mnuDBLogIn_Click();
    QVERIFY(seen.ran());
    expectDisconnected();
    QCOMPARE(m_w->PlanTableState, PlanTable::DroppedHere);
    QCOMPARE(m_boxes->count(), 0);
}

void tst_Connect::connectWithPlanTable() {
    connectAs();
    QCOMPARE(m_boxes->count(), 0);  // no question
    QVERIFY(!m_w->mnuDBLogIn->isEnabled());
    QVERIFY(m_w->mnuCut->isEnabled());
    QVERIFY(m_w->mnuPCreate->isEnabled());
    QVERIFY(m_w->mnuPDrop->isEnabled());
    QCOMPARE(m_w->Connected, qint16(-1));
    QCOMPARE(m_w->panelText(1), QStringLiteral("- DB接続中 -"));
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE有 -"));
    QCOMPARE(m_w->panelText(4), QStringLiteral("scott / "));
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);

    m_w->mnuCut->trigger();
    expectDisconnected();
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);  // left as it was
}

void tst_Connect::connectMissingYes() {
    kit::setPlanTable(*m_db, false);
    m_boxes->answerNext(platform::vbYes);
    connectAs();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, kMissingQuestion);
    QCOMPARE(m_boxes->last().style, 36);
    QCOMPARE(m_boxes->last().title, QStringLiteral("PLAN_TABLE情報"));
    QVERIFY(kit::planTableExists(*m_db));
    QCOMPARE(m_w->PlanTableState, PlanTable::CreatedHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE有 -"));
}

void tst_Connect::connectMissingNo() {
    kit::setPlanTable(*m_db, false);
    connectAs();  // the question is answered No
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_w->PlanTableState, PlanTable::AbsentHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE無 -"));
    QVERIFY(!kit::planTableExists(*m_db));

    // Someone else creates it meanwhile: the disconnect leaves it and its rows.
    kit::setPlanTable(*m_db, true);
    kit::addRow(*m_db, kId);
    m_w->mnuCut->trigger();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(kit::rowsOf(*m_db, kId), 1);
    expectDisconnected();
}

// Another session creates PLAN_TABLE while the question is open: the create
// command finds it there, and the connect goes by that, not by a caption.
void tst_Connect::tableCreatedElsewhereWhileAsking() {
    kit::setPlanTable(*m_db, false);
    std::vector<AskedBox> boxes;
    platform::setMsgBoxHandler([&](const QString& prompt, int style, const QString& title) {
        boxes.push_back({prompt, style, title});
        if (prompt != kMissingQuestion)
            return int(platform::vbOK);
        kit::setPlanTable(*m_db, true);
        return int(platform::vbYes);
    });
    connectAs();
    QCOMPARE(boxes.size(), size_t(2));
    QCOMPARE(boxes[1].prompt, QStringLiteral("PLAN_TABLEは既に存在しています。"));
    QCOMPARE(m_w->PlanTableState, PlanTable::CreatedHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE有 -"));
}

// Yes to the offer, and the database refuses the creation: no message of
// its own, state 4, "- PLAN_TABLE無 -", still connected.
void tst_Connect::creationRefusedAtConnect() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.db"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    if (kit::readOnlyCopy(path).isEmpty()) {
        kit::makeWritable(path);
        QSKIP("this user can write to any file");
    }
    m_boxes->answerNext(platform::vbYes);
    connectAs(kit::kUser, path);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, kMissingQuestion);
    QCOMPARE(m_w->PlanTableState, PlanTable::AbsentHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE無 -"));
    QCOMPARE(m_w->Connected, qint16(-1));
    m_w->mnuCut->trigger();
    kit::makeWritable(path);
}

void tst_Connect::panelFourShowsTrimmedLogon_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("panel");
    QTest::newRow("blanks around the user ID") << "  scott\u3000"
                                               << "scott / ";
    QTest::newRow("blank-only user ID") << "   "
                                        << " / ";
}

void tst_Connect::panelFourShowsTrimmedLogon() {
    QFETCH(QString, user);
    QFETCH(QString, panel);
    connectAs(user, QStringLiteral("  "));
    QCOMPARE(m_w->panelText(4), panel);
}

void tst_Connect::secondOpeningIsEmpty() {
    auto first = kit::onLogonDialog([](fdlgOraLogon& d) {
        d.txtUsrID->setText(QStringLiteral("scott"));
        d.txtPasswd->setText(QStringLiteral("tiger"));
        d.txtHost->setText(QStringLiteral("somewhere"));
        d.cmdCancel->click();
    });
    m_w->mnuDBLogIn_Click();
    QStringList texts;
    auto second = kit::onLogonDialog([&](fdlgOraLogon& d) {
        texts << d.txtUsrID->text() << d.txtPasswd->text() << d.txtHost->text()
              << d.lblMessage->text();
        d.cmdCancel->click();
    });
    m_w->mnuDBLogIn_Click();
    QVERIFY(first.ran() && second.ran());
    QCOMPARE(texts, QStringList({QString(), QString(), QString(), QString()}));
}

void tst_Connect::disconnectAfterCreate_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Yes drops the table") << int(platform::vbYes);
    QTest::newRow("No deletes own rows") << int(platform::vbNo);
}

void tst_Connect::disconnectAfterCreate() {
    QFETCH(int, answer);
    kit::setPlanTable(*m_db, false);
    m_boxes->answerNext(platform::vbYes);
    connectAs();
    QCOMPARE(m_w->PlanTableState, PlanTable::CreatedHere);
    kit::addRow(*m_db, kId);
    kit::addRow(*m_db, kOtherId);

    m_boxes->clear();
    m_boxes->answerNext(answer);
    m_w->mnuCut->trigger();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, kDisconnectQuestion);
    QCOMPARE(m_boxes->last().style, 36);
    QCOMPARE(m_boxes->last().title, QStringLiteral("PLAN_TABLE情報"));
    if (answer == platform::vbYes) {
        QVERIFY(!kit::planTableExists(*m_db));
        QCOMPARE(m_w->PlanTableState, PlanTable::DroppedHere);
    } else {
        QVERIFY(kit::planTableExists(*m_db));
        QCOMPARE(kit::rowsOf(*m_db, kId), 0);
        QCOMPARE(kit::rowsOf(*m_db, kOtherId), 1);
        QCOMPARE(m_w->PlanTableState, PlanTable::CreatedHere);
    }
    expectDisconnected();
}

void tst_Connect::disconnectFoundDeletesOwnRows() {
    connectAs();
    kit::addRow(*m_db, kId);
    kit::addRow(*m_db, kOtherId);
    m_w->mnuCut->trigger();
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(kit::rowsOf(*m_db, kId), 0);
    QCOMPARE(kit::rowsOf(*m_db, kOtherId), 1);
    expectDisconnected();
}

void tst_Connect::disconnectAfterDropAsksNothing() {
    connectAs();
    m_boxes->answerNext(platform::vbYes);
    m_w->mnuPDrop->trigger();
    QCOMPARE(m_w->PlanTableState, PlanTable::DroppedHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE無 -"));
    kit::setPlanTable(*m_db, true);  // back by someone else, with our rows
    kit::addRow(*m_db, kId);
    m_boxes->clear();
    m_w->mnuCut->trigger();
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(kit::rowsOf(*m_db, kId), 1);
    expectDisconnected();
}

void tst_Connect::createWhilePresent() {
    connectAs();
    m_w->mnuPCreate->trigger();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, QStringLiteral("PLAN_TABLEは既に存在しています。"));
    QCOMPARE(m_boxes->last().style, 64);
    QCOMPARE(m_boxes->last().title, QStringLiteral("PLAN_TABLE情報"));
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE有 -"));
}

void tst_Connect::createOnReadOnlyDatabase() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.db"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));  // an empty file is an empty database
    }
    if (kit::readOnlyCopy(path).isEmpty()) {
        kit::makeWritable(path);
        QSKIP("this user can write to any file");
    }
    connectAs(kit::kUser, path);  // missing: answered No
    QCOMPARE(m_w->PlanTableState, PlanTable::AbsentHere);
    m_boxes->clear();
    m_w->PlanTableState = PlanTable::FoundAtConnect;
    m_w->setPanelText(2, QStringLiteral("something else"));
    m_w->mnuPCreate->trigger();
    QCOMPARE(m_boxes->count(), 0);  // refused creation: no box
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE無 -"));
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);
    m_w->mnuCut->trigger();
    kit::makeWritable(path);
}

void tst_Connect::dropFoundAtConnect_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("No changes nothing") << int(platform::vbNo);
    QTest::newRow("Yes drops") << int(platform::vbYes);
}

void tst_Connect::dropFoundAtConnect() {
    QFETCH(int, answer);
    connectAs();
    m_boxes->answerNext(answer);
    m_w->mnuPDrop->trigger();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, kDropQuestion);
    QCOMPARE(m_boxes->last().style, 36);
    QCOMPARE(m_boxes->last().title, QStringLiteral("PLAN_TABLE情報"));
    const bool dropped = answer == platform::vbYes;
    QCOMPARE(kit::planTableExists(*m_db), !dropped);
    QCOMPARE(m_w->PlanTableState, dropped ? PlanTable::DroppedHere : PlanTable::FoundAtConnect);
    QCOMPARE(m_w->panelText(2),
             dropped ? QStringLiteral("- PLAN_TABLE無 -") : QStringLiteral("- PLAN_TABLE有 -"));
}

void tst_Connect::dropWithoutQuestion() {
    kit::setPlanTable(*m_db, false);
    connectAs();  // No: state 4
    kit::setPlanTable(*m_db, true);
    m_boxes->clear();
    m_w->mnuPDrop->trigger();
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(!kit::planTableExists(*m_db));
    QCOMPARE(m_w->PlanTableState, PlanTable::DroppedHere);
}

void tst_Connect::dropWithoutTable() {
    kit::setPlanTable(*m_db, false);
    connectAs();
    m_boxes->clear();
    m_w->PlanTableState = PlanTable::FoundAtConnect;
    m_w->setPanelText(2, QStringLiteral("as it was"));
    m_w->mnuPDrop->trigger();
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);
    QCOMPARE(m_w->panelText(2), QStringLiteral("as it was"));
}

void tst_Connect::failingDropKeepsState() {
    // A read-only file that holds PLAN_TABLE: the drop is refused.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.db"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    {
        auto db = kit::open(path);
        db->ExecuteSQL(PlanTable::createStatement());
        db->Close();
    }
    if (kit::readOnlyCopy(path).isEmpty()) {
        kit::makeWritable(path);
        QSKIP("this user can write to any file");
    }
    connectAs(kit::kUser, path);
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);
    m_boxes->answerNext(platform::vbYes);
    m_w->mnuPDrop->trigger();
    QCOMPARE(m_boxes->count(), 2);  // the question, then the failure
    QCOMPARE(m_boxes->last().style, 16);
    QCOMPARE(m_boxes->last().title, QStringLiteral("SQLｴﾗｰ"));
    QVERIFY(!m_boxes->last().prompt.isEmpty());
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE有 -"));
    m_boxes->clear();
    m_w->mnuCut->trigger();  // the delete of own rows fails as well; still disconnected
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().title, QStringLiteral("SQLｴﾗｰ"));
    expectDisconnected();
    kit::makeWritable(path);
}

void tst_Connect::failingCheckAtConnect() {
    // A database file that stops being a database right after the logon
    // has opened it: the check that follows fails.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.db"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    auto seen = kit::onLogonDialog([&](fdlgOraLogon& d) {
        d.txtUsrID->setText(kit::kUser);
        d.txtHost->setText(path);
        d.cmdOK->click();
        QFile f(path);
        if (f.open(QIODevice::ReadWrite))
            f.write(QByteArray(8192, 'x'));
        if (d.isVisible())
            d.cmdCancel->click();
    });
    m_w->mnuDBLogIn_Click();
    QVERIFY(seen.ran());
    QVERIFY(OraDB);
    QCOMPARE(m_boxes->count(), 1);  // the failure, and no question
    QCOMPARE(m_boxes->last().style, 16);
    QCOMPARE(m_boxes->last().title, QStringLiteral("SQLｴﾗｰ"));
    QCOMPARE(m_w->Connected, qint16(-1));
    QCOMPARE(m_w->PlanTableState, PlanTable::AbsentHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE無 -"));
    QCOMPARE(m_w->panelText(1), QStringLiteral("- DB接続中 -"));

    // The broken connection can still be left.
    m_w->mnuCut->trigger();
    expectDisconnected();
}

void tst_Connect::exitWhileDisconnected() {
    // Never asks, never touches the database, whatever the state.
    kit::addRow(*m_db, kId);
    m_w->PlanTableState = PlanTable::CreatedHere;
    m_w->close();
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(kit::planTableExists(*m_db));
    QCOMPARE(kit::rowsOf(*m_db, kId), 1);
}

void tst_Connect::exitFound() {
    connectAs();
    kit::addRow(*m_db, kId);
    kit::addRow(*m_db, kOtherId);
    m_w->close();
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(kit::rowsOf(*m_db, kId), 0);
    QCOMPARE(kit::rowsOf(*m_db, kOtherId), 1);
    QVERIFY(!m_w->isVisible());
}

void tst_Connect::exitCreated_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Yes drops") << int(platform::vbYes);
    QTest::newRow("No deletes own rows") << int(platform::vbNo);
}

void tst_Connect::exitCreated() {
    QFETCH(int, answer);
    kit::setPlanTable(*m_db, false);
    m_boxes->answerNext(platform::vbYes);
    connectAs();
    kit::addRow(*m_db, kId);
    kit::addRow(*m_db, kOtherId);
    m_boxes->clear();
    m_boxes->answerNext(answer);
    m_w->close();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, kExitQuestion);
    QCOMPARE(m_boxes->last().style, 36);
    QVERIFY(!m_w->isVisible());
    if (answer == platform::vbYes) {
        QVERIFY(!kit::planTableExists(*m_db));
    } else {
        QCOMPARE(kit::rowsOf(*m_db, kId), 0);
        QCOMPARE(kit::rowsOf(*m_db, kOtherId), 1);
    }
}

QTEST_MAIN(tst_Connect)
#include "tst_connect.moc"
