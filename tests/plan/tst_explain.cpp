// One analysis on the main window, on the local engine's sample database.
#include "BusyWindow.h"
#include "ExplainRunner.h"
#include "LogonState.h"
#include "MainWindow.h"
#include "MsgBoxRecorder.h"
#include "RichTextBox.h"
#include "SessionKit.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace basEXPLAIN;

namespace {

const QString kId = QStringLiteral("10.0.0.5");
const QString kOtherId = QStringLiteral("10.0.0.6");

QList<int> redBold(RichTextBox* box) {
    QList<int> marked;
    QTextCursor c(box->document());
    for (int pos = 0; pos < box->TextLength(); ++pos) {
        c.setPosition(pos);
        c.setPosition(pos + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat f = c.charFormat();
        if (f.fontWeight() == QFont::Bold && f.foreground().color() == QColor(255, 0, 0))
            marked << pos;
    }
    return marked;
}

QList<int> fullPositions(const QString& text) {
    QList<int> marked;
    for (qsizetype at = text.indexOf(QLatin1String("FULL"), 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(QLatin1String("FULL"), at + 4, Qt::CaseInsensitive))
        for (int i = 0; i < 4; ++i)
            marked << int(at) + i;
    return marked;
}

bool busyWindowShown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmSearch*>(w) && w->isVisible())
            return true;
    return false;
}

// What the engine says to a statement.
QString engineError(oraobj::OraDatabase& db, const QString& sql) {
    try {
        db.DbExecuteSQL(sql);
    } catch (const oraobj::OraError& e) {
        return e.description();
    }
    return QString();
}

}  // namespace

class tst_Explain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void plans_data();
    void plans();
    void twoRunsGiveTheSameText();
    void readBackOfStoredRows();
    void menuEntryRunsIt();
    void onlyOwnRowsAreReplaced();
    void emptySourcePane();
    void missingPlanTable();
    void unusablePlanTable();
    void guardWhileDisconnected();
    void guardDoesNotResumeAfterLogon();

private:
    void run();
    std::shared_ptr<oraobj::OraDatabase> m_db;  // a second connection, for looking
    std::unique_ptr<frmEXPLAIN> m_w;
    std::unique_ptr<MsgBoxRecorder> m_boxes;
};

void tst_Explain::initTestCase() {
    m_db = kit::open();
}

void tst_Explain::init() {
    reset();
    kit::setPlanTable(*m_db, true);
    m_boxes = std::make_unique<MsgBoxRecorder>();
    m_w = std::make_unique<frmEXPLAIN>();
    m_w->show();
    m_w->StatementId = kId;
    OraDB = kit::open();
}

void tst_Explain::cleanup() {
    m_w->Connected = 0;  // no clean-up questions on the way out
    m_w.reset();
    m_boxes.reset();
    reset();
}

void tst_Explain::run() {
    m_w->cmdEXPAIN_Click();
}

void tst_Explain::plans_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("plan");
    QTest::newRow("full scan") << "  select * from customers  "
                               << " SELECT STATEMENT    Cost=9\r\n"
                                  "  2.1 TABLE ACCESS FULL CUSTOMERS TABLE \r\n";
    QTest::newRow("index plan, several lines")
        << "select *\nfrom customers\nwhere customer_id = 5\n"
        << " SELECT STATEMENT    Cost=2\r\n"
           "  2.1 TABLE ACCESS BY INDEX ROWID CUSTOMERS TABLE \r\n"
           "    3.1 INDEX UNIQUE SCAN PK_CUSTOMERS INDEX (UNIQUE) \r\n";
    QTest::newRow("join") << "select o.order_id, c.cust_name from orders o, customers c "
                             "where o.customer_id = c.customer_id"
                          << " SELECT STATEMENT    Cost=18011\r\n"
                             "  2.1 NESTED LOOPS    \r\n"
                             "    3.1 TABLE ACCESS FULL CUSTOMERS TABLE \r\n"
                             "    3.2 TABLE ACCESS BY INDEX ROWID ORDERS TABLE \r\n"
                             "      4.1 INDEX RANGE SCAN ORD_CUSTOMER_IX INDEX \r\n";
}

void tst_Explain::plans() {
    QFETCH(QString, sql);
    QFETCH(QString, plan);
    m_w->txtSQL->setText(sql);
    run();
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(m_w->txtResults->PlainTextCRLF(), plan);
    QCOMPARE(redBold(m_w->txtResults), fullPositions(m_w->txtResults->Text()));
    QCOMPARE(m_w->txtResults->SelStart(), m_w->txtResults->TextLength());
    // The snapshot holds the same text with the same marks.
    QCOMPARE(m_w->RichTextBox1->PlainTextCRLF(), plan);
    QCOMPARE(redBold(m_w->RichTextBox1), redBold(m_w->txtResults));
    QCOMPARE(m_w->panelText(3), QString());
    QVERIFY(!busyWindowShown());
    QCOMPARE(kit::rowsOf(*m_db, kId), plan.count(QLatin1String("\r\n")));
}

void tst_Explain::twoRunsGiveTheSameText() {
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    run();
    const QString first = m_w->txtResults->TextRTF();
    const int rows = kit::rowsOf(*m_db, kId);
    run();
    QCOMPARE(m_w->txtResults->TextRTF(), first);
    QCOMPARE(kit::rowsOf(*m_db, kId), rows);
    QCOMPARE(m_boxes->count(), 0);
}

// The read-back query over rows as the server might store them: a root step
// without a cost ends its line with "Cost=", null columns leave their
// blanks, and the tree comes depth first.
void tst_Explain::readBackOfStoredRows() {
    const QString id = QStringLiteral("10.9.9.9");
    m_db->DbExecuteSQL(PlanTable::deleteRowsStatement(id));
    const QString insert = QStringLiteral(
        "INSERT INTO PLAN_TABLE (statement_id, id, parent_id, position, operation, options, "
        "object_name, object_type) VALUES ('%1', %2)");
    for (const char* values :
         {"0, NULL, NULL, 'SELECT STATEMENT', NULL, NULL, NULL",
          "1, 0, 1, 'SORT', 'ORDER BY', NULL, NULL",
          "2, 1, 1, 'TABLE ACCESS', 'FULL', 'EMP', 'TABLE'", "3, 0, 2, 'VIEW', NULL, 'V1', NULL"})
        m_db->DbExecuteSQL(insert.arg(id, QLatin1String(values)));
    auto rows = m_db->DbCreateDynaset(ExplainRunner::readBackQuery(id), 12);
    QCOMPARE(ExplainRunner::planText(*rows),
             QStringLiteral(" SELECT STATEMENT    Cost=\r\n"
                            "  2.1 SORT ORDER BY   \r\n"
                            "    3.1 TABLE ACCESS FULL EMP TABLE \r\n"
                            "  2.2 VIEW  V1  \r\n"));
    m_db->DbExecuteSQL(PlanTable::deleteRowsStatement(id));
}

void tst_Explain::menuEntryRunsIt() {
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    m_w->mnuPractice->trigger();
    QVERIFY(m_w->txtResults->Text().contains(QLatin1String("TABLE ACCESS FULL CUSTOMERS")));
}

void tst_Explain::onlyOwnRowsAreReplaced() {
    kit::addRow(*m_db, kOtherId);
    kit::addRow(*m_db, kId);
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    run();
    QCOMPARE(kit::rowsOf(*m_db, kOtherId), 1);
    QCOMPARE(kit::rowsOf(*m_db, kId), 2);
    m_db->DbExecuteSQL(PlanTable::deleteRowsStatement(kOtherId));
}

void tst_Explain::emptySourcePane() {
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    run();
    const QString before = m_w->txtResults->TextRTF();
    const QString snapshot = m_w->RichTextBox1->TextRTF();

    // While the box is up, the run has not finished yet.
    QString panelDuringBox;
    bool busyDuringBox = false;
    std::vector<AskedBox> boxes;
    platform::setMsgBoxHandler([&](const QString& p, int style, const QString& title) {
        panelDuringBox = m_w->panelText(3);
        busyDuringBox = busyWindowShown();
        boxes.push_back({p, style, title});
        return int(platform::vbOK);
    });
    m_w->txtSQL->setText(QStringLiteral("   "));
    run();

    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].style, 16);
    QCOMPARE(boxes[0].title, QStringLiteral("SQLｴﾗｰ"));
    QCOMPARE(boxes[0].prompt,
             engineError(*m_db,
                         QStringLiteral("EXPLAIN PLAN SET STATEMENT_ID='x' INTO PLAN_TABLE FOR ")));
    QVERIFY(!boxes[0].prompt.isEmpty());
    QCOMPARE(panelDuringBox, QStringLiteral("解析中･･･"));
    QVERIFY(busyDuringBox);

    QCOMPARE(m_w->txtResults->TextRTF(), before);
    QCOMPARE(m_w->RichTextBox1->TextRTF(), snapshot);
    QCOMPARE(kit::rowsOf(*m_db, kId), 0);  // the old rows went first
    QCOMPARE(m_w->panelText(3), QString());
    QVERIFY(!busyWindowShown());
}

// No PLAN_TABLE of the user's (the offer to create one declined): the
// database gives the session one of its own, as an Oracle server does from
// 10g on, and the analysis shows the plan.
void tst_Explain::missingPlanTable() {
    m_w->txtResults->setText(QStringLiteral("earlier plan"));
    kit::setPlanTable(*m_db, false);
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    run();
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY2(m_w->txtResults->Text().contains(QLatin1String("TABLE ACCESS FULL CUSTOMERS")),
             qPrintable(m_w->txtResults->Text()));
    QCOMPARE(m_w->panelText(3), QString());
    QVERIFY(!busyWindowShown());
    QVERIFY(!kit::planTableExists(*m_db));
}

// A PLAN_TABLE that cannot take the plan: the failure is shown, the earlier
// plan stays.
void tst_Explain::unusablePlanTable() {
    m_w->txtResults->setText(QStringLiteral("earlier plan"));
    kit::setPlanTable(*m_db, false);
    m_db->DbExecuteSQL(
        QStringLiteral("CREATE VIEW PLAN_TABLE AS SELECT 'x' STATEMENT_ID FROM DUAL"));
    const QString expected = engineError(*m_db, PlanTable::deleteRowsStatement(kId));
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    run();
    m_db->DbExecuteSQL(QStringLiteral("DROP VIEW PLAN_TABLE"));
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, expected);
    QVERIFY(expected.contains(QLatin1String("PLAN_TABLE"), Qt::CaseInsensitive));
    QCOMPARE(m_boxes->last().style, 16);
    QCOMPARE(m_boxes->last().title, QStringLiteral("SQLｴﾗｰ"));
    QCOMPARE(m_w->txtResults->Text(), QStringLiteral("earlier plan"));
    QCOMPARE(m_w->panelText(3), QString());
    QVERIFY(!busyWindowShown());
}

void tst_Explain::guardWhileDisconnected() {
    OraDB.reset();
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    m_w->txtResults->setText(QStringLiteral("earlier plan"));
    bool busyWhileDialog = true;
    QString panelWhileDialog = QStringLiteral("?");
    auto seen = kit::onLogonDialog([&](fdlgOraLogon& d) {
        busyWhileDialog = busyWindowShown();
        panelWhileDialog = m_w->panelText(3);
        d.cmdCancel->click();
    });
    run();
    QVERIFY(seen.ran());
    QVERIFY(!busyWhileDialog);
    QCOMPARE(panelWhileDialog, QString());
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(m_w->txtResults->Text(), QStringLiteral("earlier plan"));
    QCOMPARE(m_w->RichTextBox1->Text(), QString());
    QVERIFY(!OraDB);
}

void tst_Explain::guardDoesNotResumeAfterLogon() {
    OraDB.reset();
    m_db->DbExecuteSQL(PlanTable::deleteRowsStatement(kId));
    m_w->txtSQL->setText(QStringLiteral("select * from customers"));
    auto seen = kit::onLogonDialog(kit::logon(kit::kUser, QStringLiteral("tiger"), QString()));
    run();
    QVERIFY(seen.ran());
    QVERIFY(OraDB);
    QCOMPARE(m_w->Connected, qint16(-1));
    QCOMPARE(m_w->txtResults->Text(), QString());
    QCOMPARE(kit::rowsOf(*m_db, kId), 0);  // no explain after the logon
    QCOMPARE(m_boxes->count(), 0);
}

QTEST_MAIN(tst_Explain)
#include "tst_explain.moc"
