// The main window's text and browser commands driven from their menu
// entries, end to end: the clipboard, the colouring of the plan pane and
// its clearing, and the primary key search.
#include "LogonState.h"
#include "MainWindow.h"
#include "ModalDialogs.h"
#include "MsgBoxRecorder.h"
#include "RichTextBox.h"
#include "SchemaBrowser.h"
#include "SessionKit.h"
#include "TextSearchDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>

namespace {

const QString kSql = QStringLiteral("select *\nfrom customers");
const QString kPlan =
    QStringLiteral(" SELECT STATEMENT    Cost=61\n  2.1 TABLE ACCESS FULL CUSTOMERS TABLE \n");

// Positions whose character is bold in the given colour.
QList<int> marked(RichTextBox* box, const QColor& color) {
    QList<int> out;
    QTextCursor c(box->document());
    for (int pos = 0; pos < box->TextLength(); ++pos) {
        c.setPosition(pos);
        c.setPosition(pos + 1, QTextCursor::KeepAnchor);
        if (c.charFormat().fontWeight() == QFont::Bold &&
            c.charFormat().foreground().color() == color)
            out << pos;
    }
    return out;
}

QList<int> occurrences(const QString& text, const QString& what) {
    QList<int> out;
    for (qsizetype at = text.indexOf(what, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(what, at + 1, Qt::CaseInsensitive))
        for (int i = 0; i < what.size(); ++i)
            out << int(at) + i;
    return out;
}

}  // namespace

class tst_menucommands : public QObject {
    Q_OBJECT

    std::unique_ptr<frmEXPLAIN> w;
    std::unique_ptr<MsgBoxRecorder> boxes;

private slots:
    void init() {
        basEXPLAIN::reset();
        boxes = std::make_unique<MsgBoxRecorder>();
        w = std::make_unique<frmEXPLAIN>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->txtSQL->setText(kSql);
        w->txtResults->setText(kPlan);
    }
    void cleanup() {
        w.reset();
        boxes.reset();
        basEXPLAIN::reset();
    }

    // Each copy command puts its own pane on the clipboard, plain text with
    // CR LF, and changes neither pane.
    void copyCommands_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("copied");
        QTest::newRow("SQLｿｰｽ・ｺﾋﾟｰ") << "mnuCBSC" << QString(kSql).replace("\n", "\r\n");
        QTest::newRow("実行計画・ｺﾋﾟｰ") << "mnuCBPC" << QString(kPlan).replace("\n", "\r\n");
    }
    void copyCommands() {
        QFETCH(QString, entry);
        QFETCH(QString, copied);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        w->findChild<QAction*>(entry)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), copied);
        QCOMPARE(w->txtSQL->Text(), kSql);
        QCOMPARE(w->txtResults->Text(), kPlan);
    }

    void pasteCommand() {
        QApplication::clipboard()->setText(QStringLiteral("select 1\r\nfrom dual"));
        w->Command1->setFocus();
        w->mnuCBSI->trigger();
        QCOMPARE(w->txtSQL->PlainTextCRLF(), QStringLiteral("select 1\r\nfrom dual"));
        QTRY_VERIFY(w->txtSQL->hasFocus());
        QCOMPARE(w->txtResults->Text(), kPlan);
    }

    // 文字列検索 colours a string of the plan pane in the chosen colour;
    // 強調表示解除 puts back the pane as the last analysis left it.
    void highlightAndClear() {
        w->RichTextBox1->setText(kPlan);
        auto search = onNextModal<frmSeach>([&](frmSeach& d) {
            d.Text1->setText(QStringLiteral("customers"));
            boxes->chooseColorNext(0xFF0000);  // blue
            d.Label1_Click();
            d.Command1->click();
        });
        w->mnuStrken->trigger();
        QVERIFY(search.ran());
        QCOMPARE(marked(w->txtResults, Qt::blue), occurrences(kPlan, QStringLiteral("CUSTOMERS")));

        w->mnuStrkenD->trigger();
        QCOMPARE(w->txtResults->Text(), kPlan);
        QCOMPARE(marked(w->txtResults, Qt::blue), QList<int>());
    }

    // 主ｷｰ検索 opens the schema browser, whose search shows the key.
    void primaryKeyCommand() {
        basEXPLAIN::OraDB = kit::open();
        QString keys;
        auto browser = onNextModal<frm_mainkey>([&](frm_mainkey& b) {
            b.cmbTableList->setEditText(QStringLiteral("CUSTOMERS"));
            b.cmdMainkey->click();
            keys = b.Text2->Text();
            b.close();
        });
        w->mnuMainkey->trigger();
        QVERIFY(browser.ran());
        QCOMPARE(keys, QStringLiteral("CUSTOMER_ID\r\n"));
        QCOMPARE(boxes->count(), 0);
    }
};

QTEST_MAIN(tst_menucommands)
#include "tst_menucommands.moc"
