// The text search dialog and the clear-highlight command on a plan pane
// marked the way an analysis leaves it.
#include "ColorRef.h"
#include "ColorRichSearch.h"
#include "ModalDialogs.h"
#include "MsgBoxRecorder.h"
#include "RichTextBox.h"
#include "TextSearchDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <functional>

namespace {

const QString kPlan = QStringLiteral(
    "SELECT STATEMENT   Cost = 7\n"
    "  HASH JOIN\n"
    "    TABLE ACCESS FULL DEPT\n"
    "    TABLE ACCESS BY INDEX ROWID EMP\n"
    "      INDEX RANGE SCAN EMP_DEPT_IX\n"
    "    TABLE ACCESS FULL BONUS");

// Every run of marked characters as "start+length:#rrggbb" (bold runs only,
// which is how the highlighter marks), in document order; neighbouring
// fragments of the same format are merged.
QStringList marks(const RichTextBox& box) {
    QStringList out;
    int runStart = -1, runEnd = -1;
    QString runColor;
    auto flush = [&] {
        if (runStart >= 0)
            out << QStringLiteral("%1+%2:%3").arg(runStart).arg(runEnd - runStart).arg(runColor);
        runStart = -1;
    };
    for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            const bool marked = cf.fontWeight() >= QFont::Bold;
            const QString color = cf.foreground().color().name();
            if (!marked) {
                flush();
                continue;
            }
            if (runStart >= 0 && runEnd == f.position() && runColor == color) {
                runEnd = f.position() + f.length();
                continue;
            }
            flush();
            runStart = f.position();
            runEnd = f.position() + f.length();
            runColor = color;
        }
    }
    flush();
    return out;
}

// The state after an analysis: the plan with FULL in red and bold, and the
// snapshot holding the same.
void analysisRun(RichTextBox& results, RichTextBox& snapshot, const QString& plan = kPlan) {
    results.setText(plan);
    ColorRichSearch::ColorAllMatches(results, QStringLiteral("FULL"), QStringLiteral("255"), 0);
    snapshot.setTextRTF(results.TextRTF());
}

// Opens the dialog modally, as the menu entry does, and runs `act` on it
// once it is up. Returns when the dialog has closed.
void openDialog(RichTextBox& results, QWidget* main, const std::function<void(frmSeach&)>& act) {
    frmSeach dialog(results, main);
    auto watch = onNextModal<frmSeach>(act);
    dialog.exec();
    QVERIFY(watch.ran());
}

}  // namespace

class tst_textsearch : public QObject {
    Q_OBJECT

    QWidget* m_main = nullptr;
    RichTextBox* m_sql = nullptr;
    RichTextBox* m_results = nullptr;
    RichTextBox* m_snapshot = nullptr;

private slots:
    void init() {
        m_main = new QWidget;
        m_main->setGeometry(100, 80, 547, 422);
        m_sql = new RichTextBox(m_main);
        m_results = new RichTextBox(m_main);
        m_snapshot = new RichTextBox(m_main);
        m_snapshot->hide();
        m_main->show();
        m_sql->setText(
            QStringLiteral("SELECT * FROM emp e, dept d\nWHERE e.deptno = d.deptno -- FULL"));
    }
    void cleanup() {
        delete m_main;
        m_main = nullptr;
    }

    void opensInItsDesignedState() {
        MsgBoxRecorder rec;
        // Change everything in one opening...
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("文字列検索"));
            QCOMPARE(d.Command1->text(), QStringLiteral("検 索"));
            QCOMPARE(d.Label2->text(), QStringLiteral("検索文字列"));
            QCOMPARE(d.Label3->text(), QStringLiteral("表示色"));
            QCOMPARE(d.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
            QCOMPARE(d.size(), QSize(209, 76));
            QCOMPARE(d.minimumSize(), d.maximumSize());
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.Text1));
            QCOMPARE(d.Text1->selectedText(), QStringLiteral("FULL"));
            d.Text1->setText(QStringLiteral("INDEX"));
            rec.chooseColorNext(0x008000);
            d.Label1_Click();
            QCOMPARE(d.displayColor(), 0x008000u);
            d.close();
        });
        // ...and the next opening starts again from "FULL" and red.
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            QCOMPARE(d.Text1->text(), QStringLiteral("FULL"));
            QCOMPARE(d.displayColor(), 255u);
            QCOMPARE(d.Label1->palette().color(QPalette::Window), QColor(255, 0, 0));
            d.close();
        });
    }

    void centredOverTheMainWindow() {
        frmSeach d(*m_results, m_main);
        const QRect m = m_main->frameGeometry();
        const QRect own = d.frameGeometry();
        QVERIFY(qAbs(own.center().x() - m.center().x()) <= 1);
        QVERIFY(qAbs(own.center().y() - m.center().y()) <= 1);
    }

    void presetSearchRepeatsTheRunsMarks() {
        analysisRun(*m_results, *m_snapshot);
        const QStringList before = marks(*m_results);
        QCOMPARE(before.size(), 2);
        QVERIFY(before.first().endsWith(QStringLiteral("#ff0000")));
        openDialog(*m_results, m_main, [](frmSeach& d) { d.Command1->click(); });
        QCOMPARE(marks(*m_results), before);
        QCOMPARE(m_results->Text(), kPlan);
    }

    void searchesAccumulateEachInItsColour() {
        MsgBoxRecorder rec;
        analysisRun(*m_results, *m_snapshot);
        // Lower case finds the upper-case text; the colour reference 0x00FF8040
        // (blue FF, green 80, red 40) must reach the pane as #4080ff.
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            d.Text1->setText(QStringLiteral("index"));
            rec.chooseColorNext(0x00FF8040);
            d.Label1_Click();
            d.Command1->click();
        });
        QCOMPARE(rec.lastColorInitial(), 255u);
        const QStringList m = marks(*m_results);
        const int full1 = kPlan.indexOf(QStringLiteral("FULL"));
        const int index1 = kPlan.indexOf(QStringLiteral("INDEX"));
        const int index2 = kPlan.indexOf(QStringLiteral("INDEX"), index1 + 1);
        const int full2 = kPlan.lastIndexOf(QStringLiteral("FULL"));
        QCOMPARE(m, (QStringList{QStringLiteral("%1+4:#ff0000").arg(full1),
                                 QStringLiteral("%1+5:#4080ff").arg(index1),
                                 QStringLiteral("%1+5:#4080ff").arg(index2),
                                 QStringLiteral("%1+4:#ff0000").arg(full2)}));

        // An overlapping search: the later colour wins where they overlap.
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            d.Text1->setText(QStringLiteral("ACCESS FULL"));
            rec.chooseColorNext(0x00FF0000);
            d.Label1_Click();
            d.Command1->click();
        });
        const QStringList after = marks(*m_results);
        QVERIFY(after.contains(QStringLiteral("%1+11:#0000ff").arg(full1 - 7)));
        QVERIFY(after.contains(QStringLiteral("%1+5:#4080ff").arg(index1)));
        QVERIFY(!after.contains(QStringLiteral("%1+4:#ff0000").arg(full1)));
    }

    void clearHighlightGoesBackToTheRun() {
        MsgBoxRecorder rec;
        analysisRun(*m_results, *m_snapshot);
        const QStringList run = marks(*m_results);
        for (const QString& what : {QStringLiteral("EMP"), QStringLiteral("SCAN")}) {
            openDialog(*m_results, m_main, [&](frmSeach& d) {
                d.Text1->setText(what);
                rec.chooseColorNext(0x00008000);
                d.Label1_Click();
                d.Command1->click();
            });
        }
        QVERIFY(marks(*m_results).size() > run.size());
        texttools::ClearHighlight(*m_results, *m_snapshot);
        QCOMPARE(m_results->Text(), kPlan);
        QCOMPARE(marks(*m_results), run);
        // Restoring again changes nothing.
        texttools::ClearHighlight(*m_results, *m_snapshot);
        QCOMPARE(marks(*m_results), run);
    }

    void clearHighlightWithoutARunEmptiesThePane_data() {
        QTest::addColumn<bool>("afterClearCommand");
        QTest::newRow("before any run") << false;
        QTest::newRow("after the clear command") << true;
    }
    void clearHighlightWithoutARunEmptiesThePane() {
        QFETCH(bool, afterClearCommand);
        if (afterClearCommand) {
            analysisRun(*m_results, *m_snapshot);
            // The main window's clear command empties pane and snapshot.
            m_results->setText(QString());
            m_snapshot->setText(QString());
        }
        // Text typed into the plan pane since then does not survive either.
        m_results->setText(QStringLiteral("typed by hand"));
        texttools::ClearHighlight(*m_results, *m_snapshot);
        QCOMPARE(m_results->Text(), QString());
        QVERIFY(marks(*m_results).isEmpty());
    }

    void colourChoice_data() {
        QTest::addColumn<QList<int>>("answers");  // -1 cancels
        QTest::addColumn<unsigned>("swatch");
        QTest::newRow("cancelled at once") << QList<int>{-1} << 255u;
        QTest::newRow("chosen") << QList<int>{0x00FF00} << 0x00FF00u;
        QTest::newRow("chosen then cancelled") << QList<int>{0xFF0000, -1} << 0xFF0000u;
        QTest::newRow("black is a colour") << QList<int>{0} << 0u;
    }
    void colourChoice() {
        QFETCH(QList<int>, answers);
        QFETCH(unsigned, swatch);
        MsgBoxRecorder rec;
        frmSeach d(*m_results, m_main);
        unsigned shownBefore = 255;
        for (int a : answers) {
            rec.chooseColorNext(a < 0 ? std::nullopt : std::optional<unsigned>(unsigned(a)));
            d.Label1_Click();
            // The chooser opens on the colour the swatch showed.
            QCOMPARE(rec.lastColorInitial(), shownBefore);
            shownBefore = d.displayColor();
        }
        QCOMPARE(rec.colorRequests(), int(answers.size()));
        QCOMPARE(d.displayColor(), swatch);
        QCOMPARE(d.Label1->palette().color(QPalette::Window), platform::fromColorRef(swatch));
    }

    void clickOnTheSwatchOpensTheChooser() {
        MsgBoxRecorder rec;
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            rec.chooseColorNext(0x0000FFFF);
            QTest::mouseClick(d.Label1, Qt::LeftButton);
            QCOMPARE(d.displayColor(), 0x0000FFFFu);
            d.close();
        });
        QCOMPARE(rec.colorRequests(), 1);
    }

    void closingWithoutSearchingChangesNothing_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close box") << false;
        QTest::newRow("escape and enter, then close box") << true;
    }
    void closingWithoutSearchingChangesNothing() {
        QFETCH(bool, escape);
        MsgBoxRecorder rec;
        analysisRun(*m_results, *m_snapshot);
        const QString before = m_results->TextRTF();
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            d.Text1->setText(QStringLiteral("HASH"));
            if (escape) {
                QTest::keyClick(&d, Qt::Key_Escape);
                QVERIFY(d.isVisible());  // no cancel button: Escape does not close
                QTest::keyClick(d.Text1, Qt::Key_Return);
                QVERIFY(d.isVisible());  // nor does Enter in the search field search
            }
            d.close();
        });
        QCOMPARE(m_results->TextRTF(), before);
        QCOMPARE(rec.colorRequests(), 0);
    }

    void oddSearchStringsColourNothingAndCloseTheDialog_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("empty") << QString();
        QTest::newRow("absent") << QStringLiteral("NESTED LOOPS");
        QTest::newRow("blanks kept") << QStringLiteral(" FULL  ");
    }
    void oddSearchStringsColourNothingAndCloseTheDialog() {
        QFETCH(QString, what);
        analysisRun(*m_results, *m_snapshot);
        const QStringList before = marks(*m_results);
        bool closed = false;
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            d.Text1->setText(what);
            d.Command1->click();
            closed = !d.isVisible();
        });
        QVERIFY(closed);
        QCOMPARE(marks(*m_results), before);
        QCOMPARE(m_results->Text(), kPlan);
    }

    void theSqlPaneIsNeverColoured() {
        MsgBoxRecorder rec;
        const QString sqlBefore = m_sql->TextRTF();
        analysisRun(*m_results, *m_snapshot);
        openDialog(*m_results, m_main, [&](frmSeach& d) {
            d.Text1->setText(QStringLiteral("deptno"));
            rec.chooseColorNext(0x00FF0000);
            d.Label1_Click();
            d.Command1->click();
        });
        openDialog(*m_results, m_main, [](frmSeach& d) { d.Command1->click(); });
        texttools::ClearHighlight(*m_results, *m_snapshot);
        QCOMPARE(m_sql->TextRTF(), sqlBefore);
        QVERIFY(marks(*m_sql).isEmpty());
    }
};

QTEST_MAIN(tst_textsearch)
#include "tst_textsearch.moc"
