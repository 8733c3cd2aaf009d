// The main window driven offscreen: its controls, menus and status bar, the
// clear and exit commands and their menu twins, the closing sequence, the
// layout and splitter on the real widgets, the about box and the busy window.
#include "AboutBox.h"
#include "BusyWindow.h"
#include "Fonts.h"
#include "LineControl.h"
#include "LogonDialog.h"
#include "LogonState.h"
#include "MainWindow.h"
#include "ModalDialogs.h"
#include "MsgBoxRecorder.h"
#include "OraObjects.h"
#include "PlanTable.h"
#include "RichTextBox.h"
#include "Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <cmath>
#include <memory>

using platform::twipsToPixels;

namespace {

// Logs on to the sample database of the local engine in the logon dialog
// that comes up, or cancels it.
ModalWatch onLogon(bool logOn) {
    return onNextModal<fdlgOraLogon>([logOn](fdlgOraLogon& d) {
        if (logOn) {
            d.txtUsrID->setText(QStringLiteral("scott"));
            d.txtPasswd->setText(QStringLiteral("tiger"));
            d.txtHost->setText(QString());
            QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        } else {
            d.cmdCancel->click();
        }
    });
}

int countEndingWith(const MsgBoxRecorder& boxes, const QString& tail) {
    int n = 0;
    for (const AskedBox& b : boxes.asked())
        n += b.prompt.endsWith(tail);
    return n;
}

// "name|caption|enabled" for entries, "name|-" for separators, submenus
// indented by one blank per level.
void describeMenu(const QList<QAction*>& actions, int depth, QStringList& out) {
    const QString indent(depth, QLatin1Char(' '));
    for (QAction* a : actions) {
        if (a->isSeparator()) {
            out << indent + a->objectName() + QStringLiteral("|-");
        } else if (QMenu* m = a->menu()) {
            out << indent + m->objectName() + QLatin1Char('|') + m->title() + QLatin1Char('|') +
                       (a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0'));
            describeMenu(m->actions(), depth + 1, out);
        } else {
            out << indent + a->objectName() + QLatin1Char('|') + a->text() + QLatin1Char('|') +
                       (a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0'));
        }
    }
}

void sendMouse(QWidget* w, QEvent::Type type, int x) {
    const QPointF local(x, 5);
    QMouseEvent e(type, local, w->mapToGlobal(local), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class tst_mainwindow : public QObject {
    Q_OBJECT

    std::unique_ptr<frmEXPLAIN> w;

    // Puts the main window's outer rectangle (frame included) at `outer`.
    void placeFrame(const QRect& outer) {
        const QSize frame = w->frameGeometry().size() - w->size();
        w->resize(outer.size() - frame);
        w->move(outer.topLeft());
        QTRY_COMPARE(w->frameGeometry(), outer);
    }

    void showWindow() {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }

    void init() {
        w = std::make_unique<frmEXPLAIN>();
        showWindow();
    }
    void cleanup() { w.reset(); }

    void window() {
        QCOMPARE(w->windowTitle(), QStringLiteral("Quorvel"));
        QVERIFY(!w->windowIcon().isNull());
        // Design client area 8205 x 6330 below the menu bar.
        QCOMPARE(w->width(), twipsToPixels(8205));
        QCOMPARE(w->height() - w->centralWidget()->y(), twipsToPixels(6330));
        QCOMPARE(w->Connected, qint16(0));
        QCOMPARE(w->PlanTableState, PlanTable::FoundAtConnect);
        QVERIFY(!w->SplitterDragging);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("cmdEXPAIN") << "cmdEXPAIN"
                                   << "実　行"
                                   << "解析を実行";
        QTest::newRow("Command1") << "Command1"
                                  << "終 了"
                                  << "Quorvelの終了";
        QTest::newRow("cmdCr") << "cmdCr"
                               << "クリア"
                               << "画面のｸﾘｱ";
        QTest::newRow("lblTitle(0)") << "lblTitle(0)"
                                     << " SQLソース"
                                     << "";
        QTest::newRow("lblTitle(1)") << "lblTitle(1)"
                                     << " 実行計画"
                                     << "";
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tooltip);
        QWidget* c = w->findChild<QWidget*>(name);
        QVERIFY2(c, qPrintable(name));
        if (auto* b = qobject_cast<QPushButton*>(c))
            QCOMPARE(b->text(), caption);
        else
            QCOMPARE(qobject_cast<QLabel*>(c)->text(), caption);
        QCOMPARE(c->toolTip(), tooltip);
        QVERIFY(c->isVisible());
    }

    void titlesAndPanes() {
        for (QLabel* t : w->lblTitle) {
            QCOMPARE(t->parentWidget(), w->picTitles);
            QVERIFY(t->autoFillBackground());
            QCOMPARE(t->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xC0));
            QCOMPARE(t->frameShape(), QFrame::Box);
            QCOMPARE(t->lineWidth(), 1);
            QCOMPARE(t->y(), twipsToPixels(120));
            QCOMPARE(t->height(), twipsToPixels(270));
        }
        for (RichTextBox* box : {w->txtSQL, w->txtResults, w->RichTextBox1}) {
            QCOMPARE(box->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
            QCOMPARE(box->font().pointSize(), 9);
            QVERIFY(box->toPlainText().isEmpty());
        }
        QVERIFY(!w->RichTextBox1->isVisible());
        QVERIFY(!w->picSplitter->isVisible());
        QCOMPARE(w->picSplitter->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
        QCOMPARE(w->imgSplitter->cursor().shape(), Qt::SplitHCursor);
        // The etched rule: shadow over highlight, 15 twips apart, reaching
        // ten times the outer width.
        QCOMPARE(w->Line1->Y1(), 0.0);
        QCOMPARE(w->Line2->Y1(), 15.0);
        QCOMPARE(w->Line1->X2(), w->frameGeometry().width() * 150.0);
        QCOMPARE(w->Line2->X2(), w->Line1->X2());
        QVERIFY(w->Line1->BorderColor() != w->Line2->BorderColor());
        // The status bar and the title strip span the client width.
        QCOMPARE(w->picTitles->width(), w->width());
        QCOMPARE(w->sbStatusBar->width(), w->width());
    }

    // The grab area lies under the panes; only the 60-twip gap between
    // them can be pointed at.
    void grabAreaOnlyInTheGap() {
        QWidget* client = w->centralWidget();
        const int gapX = twipsToPixels(4080 + 30);
        const int midY = w->txtSQL->y() + w->txtSQL->height() / 2;
        QCOMPARE(client->childAt(gapX, midY), w->imgSplitter);
        QWidget* overSql = client->childAt(twipsToPixels(4000), midY);
        QVERIFY(overSql == w->txtSQL || w->txtSQL->isAncestorOf(overSql));
        QWidget* overPlan = client->childAt(twipsToPixels(4200), midY);
        QVERIFY(overPlan == w->txtResults || w->txtResults->isAncestorOf(overPlan));
    }

    void statusPanels_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<int>("designWidth");
        QTest::addColumn<QString>("longest");  // must fit in the panel
        QTest::newRow("1") << 1 << "- DB未接続 -"
                           << "DataBaseの接続状態を表示" << 1200 << "- DB接続中 -";
        QTest::newRow("2") << 2 << ""
                           << "PLAN_TABLEの有無を表示" << 1440 << "- PLAN_TABLE有 -";
        QTest::newRow("3") << 3 << ""
                           << "" << 900 << "解析中･･･";
        QTest::newRow("4") << 4 << ""
                           << "ﾛｸﾞｲﾝ情報を表示" << 0 << "";
    }
    void statusPanels() {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, tooltip);
        QFETCH(int, designWidth);
        QFETCH(QString, longest);
        QLabel* p = w->panel(index);
        QVERIFY(p);
        QCOMPARE(p->parentWidget(), w->sbStatusBar);
        QCOMPARE(w->panelText(index), text);
        QCOMPARE(p->toolTip(), tooltip);
        if (designWidth) {
            QVERIFY(p->width() >= twipsToPixels(designWidth));
            QVERIFY(p->fontMetrics().horizontalAdvance(longest) <= p->contentsRect().width());
        } else
            QVERIFY(p->width() >= twipsToPixels(1440));
        w->setPanelText(index, QStringLiteral("x / y"));
        QCOMPARE(w->panelText(index), QStringLiteral("x / y"));
    }

    void panelsOutOfRange() {
        QVERIFY(!w->panel(0));
        QVERIFY(!w->panel(5));
        w->setPanelText(0, QStringLiteral("lost"));
        w->setPanelText(5, QStringLiteral("lost"));
        QCOMPARE(w->panelText(5), QString());
        QCOMPARE(w->panelText(1), QStringLiteral("- DB未接続 -"));
    }

    void menuTree() {
        QStringList got;
        describeMenu(w->menuBar()->actions(), 0, got);
        const QStringList expected = {
            QStringLiteral("mnuL|接続(&L)|1"),
            QStringLiteral(" mnuDBLogIn|DB接続(&L)|1"),
            QStringLiteral(" mnuCut|DB切断(&C)|0"),
            QStringLiteral(" a|-"),
            QStringLiteral(" mnuEn|終了(&X)|1"),
            QStringLiteral("mnuE|編集(&E)|1"),
            QStringLiteral(" mnuPE|PLAN_TABLE(&P)|1"),
            QStringLiteral("  mnuPCreate|作成(&C)|0"),
            QStringLiteral("  mnuPDrop|削除(&D)|0"),
            QStringLiteral(" f|-"),
            QStringLiteral(" mnuPractice|実行(&P)|1"),
            QStringLiteral(" e|-"),
            QStringLiteral(" mnuCBSI|貼り付け(&P)|1"),
            QStringLiteral(" c|-"),
            QStringLiteral(" mnuCBSC|SQLｿｰｽ・ｺﾋﾟｰ(&S)|1"),
            QStringLiteral(" mnuCBPC|実行計画・ｺﾋﾟｰ(&P)|1"),
            QStringLiteral(" b|-"),
            QStringLiteral(" mnuCr|画面ｸﾘｱ(&C)|1"),
            QStringLiteral("ken|検索(&S)|1"),
            QStringLiteral(" mnuStrken|文字列検索(&S)|1"),
            QStringLiteral(" mnuStrkenD|強調表示解除(&D)|1"),
            QStringLiteral(" g|-"),
            QStringLiteral(" mnuMainkey|主ｷｰ検索(&M)|1"),
            QStringLiteral("mnuH|ヘルプ(&H)|1"),
            QStringLiteral(" mnuHelp|ヘルプ(&H)|0"),
            QStringLiteral(" mnuVer|ﾊﾞｰｼﾞｮﾝ情報(&V)|1"),
        };
        QCOMPARE(got, expected);
        // The public members are the entries of the tree.
        QCOMPARE(w->mnuCr->text(), QStringLiteral("画面ｸﾘｱ(&C)"));
        QCOMPARE(w->mnuPE->title(), QStringLiteral("PLAN_TABLE(&P)"));
    }

    void tabOrder() {
        w->txtSQL->setFocus();
        QTRY_VERIFY(w->txtSQL->hasFocus());
        const QList<QWidget*> expected = {w->cmdEXPAIN, w->txtResults, w->Command1, w->cmdCr};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Tab moves on from a pane instead of typing a tab into it.
        QVERIFY(w->txtSQL->toPlainText().isEmpty());
        QVERIFY(w->txtResults->toPlainText().isEmpty());
    }

    void clear_data() {
        QTest::addColumn<bool>("viaMenu");
        QTest::newRow("button クリア") << false;
        QTest::newRow("menu 画面ｸﾘｱ(&C)") << true;
    }
    void clear() {
        QFETCH(bool, viaMenu);
        w->txtSQL->setPlainText(QStringLiteral("select * from emp"));
        w->txtResults->setPlainText(QStringLiteral("SELECT STATEMENT\nTABLE ACCESS FULL EMP"));
        w->RichTextBox1->setPlainText(QStringLiteral("SELECT STATEMENT"));
        for (RichTextBox* box : {w->txtSQL, w->txtResults, w->RichTextBox1})
            QVERIFY(!box->Text().isEmpty());  // read once, as a search would
        // A red, bold mark left with the caret at its end.
        w->txtResults->selectAll();
        QTextCharFormat red;
        red.setForeground(QColor(255, 0, 0));
        red.setFontWeight(QFont::Bold);
        w->txtResults->setCurrentCharFormat(red);
        w->setPanelText(1, QStringLiteral("- DB接続中 -"));
        w->setPanelText(4, QStringLiteral("scott / orcl"));
        w->Command1->setFocus();

        if (viaMenu)
            w->mnuCr->trigger();
        else
            QTest::mouseClick(w->cmdCr, Qt::LeftButton);

        for (RichTextBox* box : {w->txtSQL, w->txtResults, w->RichTextBox1}) {
            QVERIFY(box->toPlainText().isEmpty());
            QCOMPARE(box->Text(), QString());
            QCOMPARE(box->TextLength(), 0);
        }
        QTRY_VERIFY(w->txtSQL->hasFocus());
        // Status panels untouched; what is typed next is not red.
        QCOMPARE(w->panelText(1), QStringLiteral("- DB接続中 -"));
        QCOMPARE(w->panelText(4), QStringLiteral("scott / orcl"));
        QTest::keyClicks(w->txtResults, QStringLiteral("x"));
        QTextCursor c(w->txtResults->document());
        c.movePosition(QTextCursor::End);
        QVERIFY(c.charFormat().foreground().color() != QColor(255, 0, 0));
        QVERIFY(c.charFormat().fontWeight() != QFont::Bold);
    }

    void closePaths_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("button 終 了") << "button";
        QTest::newRow("menu 終了(&X)") << "menu";
        QTest::newRow("close box") << "closebox";
        QTest::newRow("two requests at once") << "twice";
        QTest::newRow("a late request from the window system") << "late";
    }
    void closePaths() {
        QFETCH(QString, path);
        QSignalSpy unloads(w.get(), &frmEXPLAIN::queryUnload);
        if (path == QLatin1String("button")) {
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        } else if (path == QLatin1String("menu")) {
            w->mnuEn->trigger();
        } else if (path == QLatin1String("closebox")) {
            QVERIFY(w->close());
        } else if (path == QLatin1String("twice")) {
            w->Command1_Click();
            w->mnuEn_Click();
            w->close();
        } else {
            w->close();
            QCloseEvent late;
            QApplication::sendEvent(w.get(), &late);
            QVERIFY(late.isAccepted());
        }
        QVERIFY(!w->isVisible());
        QCOMPARE(unloads.count(), 1);
    }

    // A nested close request while the sequence runs (the user hits the
    // close box while it asks its question) neither repeats it nor is lost.
    void closeRequestDuringClosing() {
        QSignalSpy unloads(w.get(), &frmEXPLAIN::queryUnload);
        bool nestedAccepted = true;
        connect(
            w.get(), &frmEXPLAIN::queryUnload, this,
            [&] {
                QCloseEvent nested;
                QApplication::sendEvent(w.get(), &nested);
                nestedAccepted = nested.isAccepted();
            },
            Qt::SingleShotConnection);
        QVERIFY(w->close());
        QVERIFY(!nestedAccepted);
        QVERIFY(!w->isVisible());
        QCOMPARE(unloads.count(), 1);
    }

    void closedAndShownAgainClosesAgain() {
        QSignalSpy unloads(w.get(), &frmEXPLAIN::queryUnload);
        w->close();
        showWindow();
        w->close();
        QCOMPARE(unloads.count(), 2);
    }

    void aboutBox_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("OK") << 0;
        QTest::newRow("close box") << -1;
    }
    void aboutBox() {
        QFETCH(int, how);
        placeFrame(QRect(37, 61, 600, 400));

        QPoint pos;
        QString title;
        QString text;
        bool okDefault = false;
        bool fixed = false;
        auto about = onNextModal<frmVersion>([&](frmVersion& box) {
            pos = box.frameGeometry().topLeft();
            title = box.windowTitle();
            text = box.Text1->toPlainText();
            okDefault = box.Command1->isDefault();
            fixed = box.minimumSize() == box.maximumSize();
            if (how > 0)
                QTest::keyClick(&box, Qt::Key(how));
            else if (how == 0)
                QTest::mouseClick(box.Command1, Qt::LeftButton);
            else
                box.close();
        });
        w->mnuVer->trigger();  // returns when the box is gone

        QVERIFY(about.ran());
        // Centred over the main window in twips, on outer sizes: the box is
        // 2895 x 2190 twips (193 x 146 pixels) inside the offscreen frame of
        // 2 pixels a side, 197 x 150 pixels in all. Top 3000 + 915 - 1125 =
        // 2790 twips, 186 pixels; left 4500 + 555 - 1477.5 = 3577.5 twips,
        // 238.5 pixels, rounded away from zero.
        QCOMPARE(pos, QPoint(239, 186));
        QCOMPARE(title, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        QVERIFY(text.startsWith(QStringLiteral("Ostrel Quorvel\nVersion : 0.09J R3\n")));
        QCOMPARE(text.count(QLatin1Char('\n')), 2);
        QVERIFY(okDefault);
        QVERIFY(fixed);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!w->findChild<frmVersion*>());
    }

    void aboutText() {
        const QString t = frmVersion::aboutText();
        const QStringList lines = t.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("Ostrel Quorvel"));
        QCOMPARE(lines[1], QStringLiteral("Version : 0.09J R3"));
        QVERIFY(!lines[2].isEmpty());
        QVERIFY(lines[3].isEmpty());
        QVERIFY(!t.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    }

    void busyWindow() {
        placeFrame(QRect(120, 80, 600, 400));
        std::unique_ptr<frmSearch> busy = frmSearch::Load(w.get());
        QVERIFY(busy);
        QVERIFY(busy->isVisible());
        QVERIFY(busy->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY((busy->windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
        QVERIFY(!(busy->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(busy->size(), QSize(twipsToPixels(2880), twipsToPixels(480)));
        // 2880 x 480 twips over the main window: top 3000 + 1200 - 240 =
        // 3960 twips; left 4500 + 1800 - 1440 = 4860 twips.
        QCOMPARE(busy->frameGeometry().topLeft(), QPoint(324, 264));
        QCOMPARE(busy->Picture1->pixmap().size(), QSize(200, 32));
        // Red letters on the gradient: some pixels are pure-ish red.
        const QImage img = busy->Picture1->pixmap().toImage();
        int red = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
            }
        QVERIFY(red > 20);
        frmSearch::Unload(busy);
        QVERIFY(!busy);
        frmSearch::Unload(busy);  // empty: nothing happens
        QVERIFY(!busy);
    }

    // The window's own sizes fed to the layout: outer width 9000 and client
    // height 6330 give the worked example on the widgets.
    void layoutOnTheWindow() {
        const int frameW = w->frameGeometry().width() - w->width();
        w->resize(twipsToPixels(9000) - frameW, twipsToPixels(6330) + w->centralWidget()->y());
        QTRY_COMPARE(w->frameGeometry().width(), 600);
        const shell::WindowSizes s = w->windowSizes();
        QCOMPARE(s.outerWidth, 9000.0);
        QCOMPARE(s.clientHeight, 6330.0);
        QCOMPARE(s.titlesTop, 0.0);
        QCOMPARE(s.titlesHeight, 420.0);
        QCOMPARE(s.statusHeight, 270.0);
        const double expectHeight = 5040;
        const shell::MainLayout& l = w->layoutTwips();
        QCOMPARE(l.txtSQL.width, 4080.0);
        QCOMPARE(l.txtResults.left, 4140.0);
        QCOMPARE(l.txtResults.width, 4750.0);
        QCOMPARE(l.txtSQL.height, expectHeight);
        QCOMPARE(w->txtSQL->geometry(), QRect(0, 27, 272, twipsToPixels(expectHeight)));
        QCOMPARE(w->txtResults->geometry(),
                 QRect(276, 27, twipsToPixels(4750), twipsToPixels(expectHeight)));
        QCOMPARE(w->lblTitle[1]->geometry().left(), twipsToPixels(4160));
        QCOMPARE(w->Command1->x(), twipsToPixels(7575));
        QCOMPARE(w->cmdCr->x(), twipsToPixels(1540));
        QCOMPARE(w->cmdEXPAIN->y(), twipsToPixels(400 + expectHeight + 90));
    }

    void statusBarHasDesignHeight() {
        QCOMPARE(w->sbStatusBar->height(), twipsToPixels(270));
        QCOMPARE(w->sbStatusBar->y() + w->sbStatusBar->height(), w->height());
    }

    void minimumSize_data() {
        QTest::addColumn<QSize>("request");
        QTest::newRow("too narrow") << QSize(200, 500);
        QTest::newRow("too low") << QSize(700, 100);
        QTest::newRow("both") << QSize(10, 10);
    }
    void minimumSize() {
        QFETCH(QSize, request);
        w->resize(request);
        QApplication::processEvents();
        const QRect outer = w->frameGeometry();
        QVERIFY2(outer.width() * 15 >= 6000, qPrintable(QString::number(outer.width())));
        QVERIFY2(outer.height() * 15 >= 5000, qPrintable(QString::number(outer.height())));
        if (request.width() * 15 < 6000)
            QCOMPARE(outer.width(), 400);
        if (request.height() * 15 < 5000)
            QCOMPARE(outer.height(), 334);
        // Laid out for the new size: the exit button stays inside the plan pane.
        QCOMPARE(w->layoutTwips().txtResults.width,
                 outer.width() * 15.0 - (w->layoutTwips().txtSQL.width + 170));
    }

    void narrowingMovesTheSplit() {
        const int frameW = w->frameGeometry().width() - w->width();
        w->resize(twipsToPixels(9000) - frameW, w->height());
        QTRY_COMPARE(w->frameGeometry().width(), 600);
        w->resize(400 - frameW, w->height());  // outer 6000: the split 4080 fits
        QTRY_COMPARE(w->frameGeometry().width(), 400);
        QCOMPARE(w->layoutTwips().imgSplitter.left, 4080.0);
        QCOMPARE(w->layoutTwips().txtResults.width, 6000 - 4250.0);
    }

    void splitterDrag_data() {
        QTest::addColumn<int>("moveToPx");  // pointer x inside the grab area
        QTest::addColumn<double>("barLeft");
        QTest::addColumn<double>("split");
        QTest::newRow("far left") << -1000 << 500.0 << 1500.0;
        QTest::newRow("inside") << -100 << 4080.0 - 1500 << 2580.0;
        QTest::newRow("far right") << 1000 << -500.0 << -1500.0;  // from the outer width
        QTest::newRow("click without move") << 0 << 4080.0 << 4080.0;
    }
    void splitterDrag() {
        QFETCH(int, moveToPx);
        QFETCH(double, barLeft);
        QFETCH(double, split);
        const double outerWidth = w->frameGeometry().width() * 15.0;
        if (barLeft < 0) {
            barLeft += outerWidth;
            split += outerWidth;
        }
        const QRect sqlBefore = w->txtSQL->geometry();
        const QRect planBefore = w->txtResults->geometry();

        sendMouse(w->imgSplitter, QEvent::MouseButtonPress, 2);
        QVERIFY(w->SplitterDragging);
        QVERIFY(w->picSplitter->isVisible());
        QCOMPARE(w->dragBarTwips(),
                 (shell::TwipsRect{4080, 120, 75, w->layoutTwips().imgSplitter.height - 20}));
        QCOMPARE(w->picSplitter->geometry(),
                 platform::twipsRect(4080, 120, 75, w->dragBarTwips().height));

        if (moveToPx != 0)
            sendMouse(w->imgSplitter, QEvent::MouseMove, moveToPx);
        QCOMPARE(w->dragBarTwips().left, barLeft);
        QCOMPARE(w->picSplitter->x(), twipsToPixels(barLeft));
        // Only the bar moves during the drag.
        QCOMPARE(w->txtSQL->geometry(), sqlBefore);
        QCOMPARE(w->txtResults->geometry(), planBefore);

        sendMouse(w->imgSplitter, QEvent::MouseButtonRelease, moveToPx);
        QVERIFY(!w->SplitterDragging);
        QVERIFY(!w->picSplitter->isVisible());
        QCOMPARE(w->layoutTwips().imgSplitter.left, split);
        QCOMPARE(w->txtSQL->width(), twipsToPixels(split));
        QCOMPARE(w->txtResults->x(), twipsToPixels(split + 60));
    }

    void moveWithoutPressDoesNothing() {
        sendMouse(w->imgSplitter, QEvent::MouseMove, -100);
        QVERIFY(!w->picSplitter->isVisible());
        QCOMPARE(w->dragBarTwips().left, 8160.0);
    }

    void minimisedIsNotLaidOut() {
        sendMouse(w->imgSplitter, QEvent::MouseButtonPress, 2);
        sendMouse(w->imgSplitter, QEvent::MouseMove, -60);
        sendMouse(w->imgSplitter, QEvent::MouseButtonRelease, -60);
        const double split = w->layoutTwips().imgSplitter.left;
        QCOMPARE(split, 4080.0 - 900);
        w->showMinimized();
        QApplication::processEvents();
        if (!w->isMinimized())
            QSKIP("the platform does not minimise");
        const shell::MainLayout before = w->layoutTwips();
        w->resize(700, 500);
        QApplication::processEvents();
        QCOMPARE(w->layoutTwips().txtSQL, before.txtSQL);
        QCOMPARE(w->layoutTwips().Label1, before.Label1);
        w->showNormal();
        QTRY_VERIFY(!w->isMinimized());
        QCOMPARE(w->layoutTwips().imgSplitter.left, split);
        QCOMPARE(w->layoutTwips().txtResults.width,
                 w->frameGeometry().width() * 15.0 - (split + 170));
    }

    // Start-up with the logon cancelled: shown, centred on the screen,
    // disconnected, and the statement identifier set all the same.
    void startUpWithCancelledLogon() {
        w.reset();
        MsgBoxRecorder boxes;
        w = std::make_unique<frmEXPLAIN>();
        w->PlanTableState = PlanTable::AbsentHere;
        auto logon = onLogon(false);
        w->Form_Load();
        QVERIFY(logon.ran());

        QVERIFY(w->isVisible());
        QCOMPARE(w->PlanTableState, PlanTable::FoundAtConnect);
        QCOMPARE(w->Connected, qint16(0));
        QVERIFY(!basEXPLAIN::OraDB);
        QVERIFY(!w->StatementId.isEmpty());
        QVERIFY(w->StatementId == QStringLiteral("999.999.999.999") ||
                QHostAddress(w->StatementId).protocol() == QAbstractSocket::IPv4Protocol);
        QCOMPARE(w->panelText(1), QStringLiteral("- DB未接続 -"));
        QVERIFY(w->mnuDBLogIn->isEnabled());
        QVERIFY(!w->mnuCut->isEnabled());
        QVERIFY(!w->mnuPCreate->isEnabled());
        QVERIFY(!w->mnuPDrop->isEnabled());
        QVERIFY(!w->mnuHelp->isEnabled());

        const QRect screen = w->screen()->geometry();
        const QRect outer = w->frameGeometry();
        QVERIFY(std::abs(outer.left() - (screen.width() - outer.width()) / 2) <= 1);
        QVERIFY(std::abs(outer.top() - (screen.height() - outer.height()) / 2) <= 1);
        // The etched rule spans the window, shadow above highlight.
        QCOMPARE(w->Line1->Y1(), 0.0);
        QCOMPARE(w->Line2->Y1(), 15.0);
        QCOMPARE(w->Line1->BorderWidth(), 1);
        QVERIFY(w->Line1->X2() >= w->width() * 15.0);
    }

    // Connected, the close runs the plan table clean-up once, with the
    // exit wording, whichever way the window is closed.
    void closeWhileConnectedCleansUpOnce_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("button 終 了") << "button";
        QTest::newRow("menu 終了(&X)") << "menu";
        QTest::newRow("close box, twice") << "closebox";
    }
    void closeWhileConnectedCleansUpOnce() {
        QFETCH(QString, path);
        w.reset();
        basEXPLAIN::reset();
        {
            // Start without PLAN_TABLE, so that the connect offers to create it.
            auto db = oraobj::CreateObject(QStringLiteral("OracleInProcServer.XOraSession"))
                          ->DbOpenDatabase(QString(), QStringLiteral("scott/tiger"), 3);
            if (PlanTable::check(*db) != 0)
                db->ExecuteSQL(PlanTable::dropStatement());
        }
        MsgBoxRecorder boxes;
        boxes.answerNext(platform::vbYes);  // create PLAN_TABLE
        w = std::make_unique<frmEXPLAIN>();
        auto logon = onLogon(true);
        w->Form_Load();
        QVERIFY(logon.ran());
        QCOMPARE(w->Connected, qint16(-1));
        QCOMPARE(w->PlanTableState, PlanTable::CreatedHere);
        boxes.clear();

        QSignalSpy unloads(w.get(), &frmEXPLAIN::queryUnload);
        if (path == QLatin1String("button")) {
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        } else if (path == QLatin1String("menu")) {
            w->mnuEn->trigger();
        } else {
            w->close();
            w->close();
        }
        QVERIFY(!w->isVisible());
        QCOMPARE(unloads.count(), 1);
        QCOMPARE(countEndingWith(boxes, QStringLiteral("\r　　　　　　　削除して終了ますか？")), 1);
        w.reset();
        basEXPLAIN::reset();
    }
};

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
