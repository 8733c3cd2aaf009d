// Failures the local engine cannot produce, injected by a component that
// fails on demand: a session object that cannot be created, a close that
// fails, and a delete of own rows that fails at disconnect and at exit.
#include "FakeOra.h"
#include "LogonState.h"
#include "MainWindow.h"
#include "MsgBoxRecorder.h"
#include "SessionKit.h"

#include <QAction>
#include <QTest>

using namespace basEXPLAIN;

class tst_Faults : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void sessionCannotBeCreated();
    void laterSessionStaysAfterCreationFailure();
    void closeFails();
    void deleteFailsAtDisconnect();
    void deleteFailsAtExit();
    void creationWithoutTable_data();
    void creationWithoutTable();

private:
    void connect();
    std::unique_ptr<FaultyComponent> m_component;
    std::unique_ptr<frmEXPLAIN> m_w;
    std::unique_ptr<MsgBoxRecorder> m_boxes;
};

void tst_Faults::init() {
    reset();
    auto db = kit::open();
    kit::setPlanTable(*db, true);
    m_component = std::make_unique<FaultyComponent>();
    m_boxes = std::make_unique<MsgBoxRecorder>();
    m_w = std::make_unique<frmEXPLAIN>();
    m_w->show();
    m_w->StatementId = QStringLiteral("10.0.0.5");
}

void tst_Faults::cleanup() {
    m_w->Connected = 0;
    m_w.reset();
    m_boxes.reset();
    m_component.reset();
    reset();
}

void tst_Faults::connect() {
    auto seen = kit::onLogonDialog(kit::logon(kit::kUser, QStringLiteral("tiger"), QString()));
    m_w->mnuDBLogIn->trigger();
    QVERIFY(seen.ran());
    QCOMPARE(m_w->Connected, qint16(-1));
}

void tst_Faults::sessionCannotBeCreated() {
    m_component->plan.failCreate = true;
    auto seen = kit::onLogonDialog(kit::logon(kit::kUser, QStringLiteral("tiger"), QString()));
    m_w->mnuDBLogIn_Click();
    QVERIFY(seen.ran());
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, FaultyComponent::createFailure());
    QCOMPARE(m_boxes->last().style, 48);
    QCOMPARE(m_boxes->last().title, platform::exeName());
    QVERIFY(!OraSes);
    QVERIFY(!OraDB);
    QCOMPARE(m_w->Connected, qint16(0));
    QVERIFY(m_w->mnuDBLogIn->isEnabled());
}

void tst_Faults::laterSessionStaysAfterCreationFailure() {
    // A refused logon leaves a session with a server error; the next
    // attempt cannot create its session and reports its own failure, not
    // the stale server text.
    QString stale;
    auto first = kit::onLogonDialog([&](fdlgOraLogon& d) {
        d.txtUsrID->setText(kit::kUser);
        d.txtHost->setText(QStringLiteral("/no/such/dir/x.db"));
        d.cmdOK->click();
        stale = OraSes ? OraSes->LastServerErrText() : QString();
        m_component->plan.failCreate = true;
        d.cmdOK->click();
        d.cmdCancel->click();
    });
    m_w->mnuDBLogIn_Click();
    QVERIFY(first.ran());
    QVERIFY(!stale.isEmpty());
    QCOMPARE(m_boxes->count(), 2);
    QCOMPARE(m_boxes->asked()[0].prompt, stale);
    QCOMPARE(m_boxes->asked()[1].prompt, FaultyComponent::createFailure());
    QVERIFY(OraSes);  // the earlier session stays
    QVERIFY(!OraDB);
}

void tst_Faults::closeFails() {
    connect();
    m_component->plan.failClose = true;
    m_w->mnuCut->trigger();
    QCOMPARE(m_component->plan.closeCalls, 1);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, QStringLiteral("切断に失敗しました。"));
    QCOMPARE(m_boxes->last().style, 64);
    QCOMPARE(m_boxes->last().title, QStringLiteral("Quorvel"));
    // Still connected.
    QVERIFY(OraDB);
    QCOMPARE(m_w->Connected, qint16(-1));
    QCOMPARE(LogonOK, True);
    QVERIFY(!m_w->mnuDBLogIn->isEnabled());
    QVERIFY(m_w->mnuCut->isEnabled());
    QCOMPARE(m_w->panelText(1), QStringLiteral("- DB接続中 -"));
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE有 -"));
    QCOMPARE(m_w->panelText(4), QStringLiteral("scott / "));

    // Once the close works again, the disconnect goes through.
    m_component->plan.failClose = false;
    m_w->mnuCut->trigger();
    QVERIFY(!OraDB);
    QCOMPARE(m_w->Connected, qint16(0));
}

void tst_Faults::deleteFailsAtDisconnect() {
    connect();
    m_component->plan.failDelete = true;
    m_w->mnuCut->trigger();
    QCOMPARE(m_component->plan.deleteCalls, 1);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, FaultyComponent::deleteFailure());
    QCOMPARE(m_boxes->last().style, 16);
    QCOMPARE(m_boxes->last().title, QStringLiteral("SQLｴﾗｰ"));
    QCOMPARE(m_component->plan.closeCalls, 1);  // closed all the same
    QVERIFY(!OraDB);
    QCOMPARE(m_w->Connected, qint16(0));
    QCOMPARE(m_w->PlanTableState, PlanTable::FoundAtConnect);
    QCOMPARE(m_w->panelText(1), QStringLiteral("- DB未接続 -"));
    QVERIFY(m_w->mnuDBLogIn->isEnabled());
}

void tst_Faults::deleteFailsAtExit() {
    connect();
    m_component->plan.failDelete = true;
    QVERIFY(m_w->close());
    QCOMPARE(m_component->plan.deleteCalls, 1);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, FaultyComponent::deleteFailure());
    QCOMPARE(m_boxes->last().style, 16);
    QCOMPARE(m_boxes->last().title, QStringLiteral("SQLｴﾗｰ"));
    QVERIFY(!m_w->isVisible());
}

// A creation statement that the database accepts without making the table:
// the two-line notice, state 4 and "- PLAN_TABLE無 -", from the create
// command and from the offer at connect.
void tst_Faults::creationWithoutTable_data() {
    QTest::addColumn<bool>("atConnect");
    QTest::newRow("create command") << false;
    QTest::newRow("offered at connect") << true;
}

void tst_Faults::creationWithoutTable() {
    QFETCH(bool, atConnect);
    kit::setPlanTable(*kit::open(), false);
    m_component->plan.ignoreCreate = true;
    if (atConnect)
        m_boxes->answerNext(platform::vbYes);
    connect();
    if (!atConnect) {
        m_boxes->clear();
        m_w->PlanTableState = PlanTable::FoundAtConnect;
        m_w->setPanelText(2, QStringLiteral("- PLAN_TABLE有 -"));
        m_w->mnuPCreate->trigger();
    }
    QCOMPARE(m_boxes->count(), atConnect ? 2 : 1);  // at connect, the question first
    QCOMPARE(m_boxes->last().prompt,
             QStringLiteral(
                 "PLAN_TABLEの作成に失敗しました。\rﾃｰﾌﾞﾙ作成権限が有るか確認してください。"));
    QCOMPARE(m_boxes->last().style, 64);
    QCOMPARE(m_boxes->last().title, QStringLiteral("PLAN_TABLE情報"));
    QCOMPARE(m_w->PlanTableState, PlanTable::AbsentHere);
    QCOMPARE(m_w->panelText(2), QStringLiteral("- PLAN_TABLE無 -"));
    QVERIFY(!kit::planTableExists(*kit::open()));
    kit::setPlanTable(*kit::open(), true);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
