// The main window's layout arithmetic in twips: the split limits, the pane
// and button positions derived from the window's sizes, and the drag bar.
#include "Layout.h"

#include <QTest>

using shell::MainLayout;
using shell::TwipsRect;
using shell::WindowSizes;

namespace QTest {
template <>
char* toString(const TwipsRect& r) {
    return qstrdup(QByteArray("(") + QByteArray::number(r.left) + ", " + QByteArray::number(r.top) +
                   ", " + QByteArray::number(r.width) + ", " + QByteArray::number(r.height) + ")");
}
}  // namespace QTest

namespace {

WindowSizes sizes(double outerWidth, double outerHeight, double clientHeight) {
    WindowSizes s;
    s.outerWidth = outerWidth;
    s.outerHeight = outerHeight;
    s.clientHeight = clientHeight;
    s.titlesTop = 0;
    s.titlesHeight = 420;
    s.statusHeight = 270;
    s.statusVisible = true;
    return s;
}

}  // namespace

class tst_layout : public QObject {
    Q_OBJECT
private slots:
    void workedExample() {
        MainLayout l = shell::designLayout();
        shell::SizeControls(l, 4080.0f, sizes(9000, 7000, 6330));

        QCOMPARE(l.txtSQL, (TwipsRect{0, 400, 4080, 5040}));
        QCOMPARE(l.imgSplitter, (TwipsRect{4080, 120, 150, 5310}));
        QCOMPARE(l.txtResults, (TwipsRect{4140, 400, 4750, 5040}));
        QCOMPARE(l.lblTitle0, (TwipsRect{0, 120, 4070, 270}));
        QCOMPARE(l.lblTitle1, (TwipsRect{4160, 120, 4710, 270}));
        QCOMPARE(l.cmdEXPAIN, (TwipsRect{100, 5530, 1215, 375}));
        QCOMPARE(l.cmdCr, (TwipsRect{1540, 5530, 1215, 375}));
        QCOMPARE(l.Command1, (TwipsRect{7575, 5530, 1215, 375}));
        QCOMPARE(l.Label1, (TwipsRect{-120, 6000, 9120, 50}));
        QCOMPARE(l.lineX2, 90000.0);
    }

    // The split keeps 1500 from the client's left and from the outer right
    // edge; the plan pane follows it.
    void splitClamp_data() {
        QTest::addColumn<double>("outerWidth");
        QTest::addColumn<float>("x");
        QTest::addColumn<double>("split");
        QTest::addColumn<double>("planWidth");
        QTest::newRow("6000, far left") << 6000.0 << 100.0f << 1500.0 << 4330.0;
        QTest::newRow("6000, at 1500") << 6000.0 << 1500.0f << 1500.0 << 4330.0;
        QTest::newRow("6000, inside") << 6000.0 << 3000.0f << 3000.0 << 2830.0;
        QTest::newRow("6000, at 4500") << 6000.0 << 4500.0f << 4500.0 << 1330.0;
        QTest::newRow("6000, far right") << 6000.0 << 5900.0f << 4500.0 << 1330.0;
        QTest::newRow("narrowed below the split") << 8000.0 << 7000.0f << 6500.0 << 1330.0;
        QTest::newRow("negative") << 9000.0 << -300.0f << 1500.0 << 7330.0;
    }
    void splitClamp() {
        QFETCH(double, outerWidth);
        QFETCH(float, x);
        QFETCH(double, split);
        QFETCH(double, planWidth);
        MainLayout l = shell::designLayout();
        shell::SizeControls(l, x, sizes(outerWidth, 6000, 5400));
        QCOMPARE(l.imgSplitter.left, split);
        QCOMPARE(l.txtSQL.width, split);
        QCOMPARE(l.txtResults.left, split + 60);
        QCOMPARE(l.txtResults.width, planWidth);
        // The exit button stays 100 inside the plan pane's right edge.
        QCOMPARE(l.Command1.left + l.Command1.width + 100, l.txtResults.left + l.txtResults.width);
    }

    // The smallest window still has room for everything.
    void smallestWindow() {
        MainLayout l = shell::designLayout();
        // Outer 6000 x 5000, client height with caption, menu and frame off.
        shell::SizeControls(l, 4080.0f, sizes(6000, 5000, 4300));
        QCOMPARE(l.imgSplitter.left, 4080.0);
        QCOMPARE(l.txtResults.width, 6000 - (4080.0 + 170));
        QCOMPARE(l.txtSQL.height, 4300 - 690 - 600.0);
        QCOMPARE(l.cmdEXPAIN.top, 400 + 3010 + 90.0);
        QCOMPARE(l.Label1.top, 3990.0);  // 40 above the status bar
        QVERIFY(l.cmdEXPAIN.top + l.cmdEXPAIN.height < l.Label1.top);
    }

    // The rule stays between the buttons and the status bar whatever the
    // height of the desktop's frame: none (a bare X server), the one the
    // window was designed under, or a tall caption.
    void ruleBetweenButtonsAndStatusBar_data() {
        QTest::addColumn<double>("outerHeight");
        QTest::addColumn<double>("ruleTop");
        QTest::newRow("no frame, menu bar only") << 6705.0 << 5905.0;
        QTest::newRow("designed frame") << 7020.0 << 6020.0;
        QTest::newRow("tall caption") << 7400.0 << 6020.0;
    }
    void ruleBetweenButtonsAndStatusBar() {
        QFETCH(double, outerHeight);
        QFETCH(double, ruleTop);
        MainLayout l = shell::designLayout();
        shell::SizeControls(l, 4080.0f, sizes(9000, outerHeight, 6330));
        QCOMPARE(l.Label1.top, ruleTop);
        QVERIFY(l.cmdEXPAIN.top + l.cmdEXPAIN.height <= l.Label1.top);
    }

    void hiddenStatusBarIsLeftOut() {
        MainLayout l = shell::designLayout();
        WindowSizes s = sizes(9000, 7000, 6330);
        s.statusVisible = false;
        shell::SizeControls(l, 4080.0f, s);
        QCOMPARE(l.txtSQL.height, 6330 - 420 - 600.0);
        QCOMPARE(l.txtResults.height, l.txtSQL.height);
    }

    // A width or height that would become negative is refused: the control
    // keeps what it had and every other step still runs.
    void refusedStepsAreSkipped() {
        MainLayout l = shell::designLayout();
        shell::SizeControls(l, 1000.0f, sizes(1000, 900, 800));
        // Split clamped to 1000 - 1500 = -500 after the 1500 floor: the SQL
        // pane width is refused, the grab area still moves.
        QCOMPARE(l.imgSplitter.left, -500.0);
        QCOMPARE(l.txtSQL.width, 4050.0);
        QCOMPARE(l.txtResults.left, -440.0);
        QCOMPARE(l.txtResults.width, 3930.0);  // 1000 - 4220 refused
        QCOMPARE(l.lblTitle0.width, 4040.0);   // from the kept SQL width
        // Pane heights refused (800 - 690 - 600 < 0); positions follow the kept height.
        QCOMPARE(l.txtSQL.height, 4800.0);
        QCOMPARE(l.imgSplitter.height, 5070.0);
        QCOMPARE(l.cmdEXPAIN.top, 5290.0);
        QCOMPARE(l.Label1.top, -100.0);
        QCOMPARE(l.Label1.width, 1120.0);
    }

    void dragBarAtMouseDown_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("barWidth");
        QTest::newRow("design 150") << 150.0 << 75.0;
        QTest::newRow("odd 151") << 151.0 << 75.0;
        QTest::newRow("fraction rounds first") << 150.6 << 75.0;
        QTest::newRow("fraction 151.6") << 151.6 << 76.0;
    }
    void dragBarAtMouseDown() {
        QFETCH(double, width);
        QFETCH(double, barWidth);
        const TwipsRect bar = shell::dragBarAtMouseDown({4080, 120, width, 5310});
        QCOMPARE(bar, (TwipsRect{4080, 120, barWidth, 5290}));
    }

    void dragLimits_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("barLeft");
        QTest::newRow("inside") << 30.0 << 4110.0;
        QTest::newRow("far left") << -5000.0 << 500.0;
        QTest::newRow("exactly 500") << -3580.0 << 500.0;
        QTest::newRow("just right of 500") << -3579.0 << 501.0;
        QTest::newRow("far right") << 9000.0 << 8500.0;
        QTest::newRow("exactly outer - 500") << 4420.0 << 8500.0;
    }
    void dragLimits() {
        QFETCH(double, x);
        QFETCH(double, barLeft);
        QCOMPARE(shell::dragBarLeft(4080, x, 9000), barLeft);
    }

    // A bar released inside the drag limits but outside the layout limits
    // snaps to 1500 from that edge.
    void releaseSnapsToLayoutLimit() {
        MainLayout l = shell::designLayout();
        const double barLeft = shell::dragBarLeft(4080, -10000, 9000);
        shell::SizeControls(l, static_cast<float>(barLeft), sizes(9000, 7000, 6330));
        QCOMPARE(l.imgSplitter.left, 1500.0);
        const double right = shell::dragBarLeft(1500, 10000, 9000);
        shell::SizeControls(l, static_cast<float>(right), sizes(9000, 7000, 6330));
        QCOMPARE(l.imgSplitter.left, 7500.0);
    }
};

QTEST_APPLESS_MAIN(tst_layout)
#include "tst_layout.moc"
