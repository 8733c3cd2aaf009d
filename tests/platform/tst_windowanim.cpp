// The rectangles of the zoom animations, window placement and the etched
// rule.
#include "ColorRef.h"
#include "Twips.h"
#include "WindowAnim.h"
#include "WindowFrame.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

using platform::WinRect;

Q_DECLARE_METATYPE(platform::WinRect)

namespace QTest {
template <>
char* toString(const WinRect& r) {
    return qstrdup(QByteArray("(") + QByteArray::number(r.left) + ", " + QByteArray::number(r.top) +
                   ", " + QByteArray::number(r.right) + ", " + QByteArray::number(r.bottom) + ")");
}
}  // namespace QTest

class tst_windowanim : public QObject {
    Q_OBJECT
private slots:
    void mirrored_data() {
        QTest::addColumn<WinRect>("r");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<WinRect>("expected");
        QTest::newRow("unshifted")
            << WinRect{100, 50, 400, 250} << 0 << 0 << WinRect{400, 250, 100, 50};
        // The logon dialog: from the right and bottom edges, 600 left and 350 up.
        QTest::newRow("logon shift")
            << WinRect{300, 200, 700, 500} << -600 << -350 << WinRect{100, 150, -300, -150};
        QTest::newRow("shift right and down")
            << WinRect{0, 0, 10, 20} << 5 << 7 << WinRect{15, 27, 5, 7};
        QTest::newRow("empty rectangle") << WinRect{8, 9, 8, 9} << 0 << 0 << WinRect{8, 9, 8, 9};
        QTest::newRow("negative coordinates")
            << WinRect{-1920, -10, -1000, 590} << -600 << -350 << WinRect{-1600, 240, -2520, -360};
    }
    void mirrored() {
        QFETCH(WinRect, r);
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(WinRect, expected);
        QCOMPARE(platform::mirroredRect(r, dx, dy), expected);
        // Mirroring an unshifted mirror gives the window back.
        QCOMPARE(platform::mirroredRect(platform::mirroredRect(r)), r);
    }

    void pointRectangle() {
        QCOMPARE(platform::pointRect(QPoint(-5, 1200)), (WinRect{-5, 1200, -5, 1200}));
    }

    void windowRectangleIsTheOuterRectangle() {
        QWidget w;
        w.setGeometry(300, 200, 400, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect f = w.frameGeometry();
        // Right and bottom lie one past the last pixel, as the window system reports them.
        QCOMPARE(platform::windowRect(&w),
                 (WinRect{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()}));
        QCOMPARE(platform::windowRect(&w).right - platform::windowRect(&w).left, f.width());
    }

    void zoomsLeaveTheWindowAlone() {
        QWidget w;
        w.setGeometry(50, 60, 200, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect before = w.frameGeometry();
        platform::setAnimationsEnabled(true);
        QVERIFY(!platform::animationsEnabled());  // nothing is drawn offscreen
        platform::ZoomFromPointer(&w);
        platform::ZoomFromPointer(&w, QPoint(-3000, -3000));
        platform::ZoomToPointer(&w);
        platform::ZoomFromMirror(&w, -600, -350);
        platform::ZoomToMirror(&w);
        QCOMPARE(w.frameGeometry(), before);
        QVERIFY(w.isVisible());
        // No animation bar is left behind.
        for (QWidget* t : QApplication::topLevelWidgets())
            QVERIFY(t == &w || !t->isVisible());
    }

    // The rectangle a window is centred and zooms open on, before it is
    // shown, is the one it has once shown and framed.
    void outerRectangleBeforeShowing_data() {
        QTest::addColumn<bool>("frameless");
        QTest::newRow("framed") << false;
        QTest::newRow("frameless") << true;
    }
    void outerRectangleBeforeShowing() {
        QFETCH(bool, frameless);
        QWidget w(nullptr, frameless ? Qt::FramelessWindowHint : Qt::WindowFlags());
        w.setGeometry(300, 200, 240, 120);
        const WinRect before = platform::windowRect(&w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(before, platform::windowRect(&w));
        QCOMPARE(platform::outerRect(&w), w.frameGeometry());
        QCOMPARE(platform::outerRect(&w) == w.geometry(), frameless);
    }

    // Outer rectangles, frames included: the test gives each window the
    // client size that makes its outer size the one in the row.
    void centredOverInTwips_data() {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QSize>("own");
        QTest::addColumn<QPoint>("expected");
        // left = (main width / 2 + main left - own width / 2) twips, rounded to pixels.
        QTest::newRow("even") << QRect(200, 100, 600, 400) << QSize(200, 100) << QPoint(400, 250);
        QTest::newRow("odd main") << QRect(101, 51, 601, 401) << QSize(201, 101)
                                  << QPoint(301, 201);
        QTest::newRow("half pixel rounds away from zero")
            << QRect(0, 0, 600, 400) << QSize(201, 101) << QPoint(200, 150);
        QTest::newRow("larger than main")
            << QRect(100, 100, 200, 100) << QSize(400, 300) << QPoint(0, 0);
    }
    void centredOverInTwips() {
        QFETCH(QRect, main);
        QFETCH(QSize, own);
        QFETCH(QPoint, expected);
        QWidget m;
        const QMargins frame = platform::frameMargins(&m);
        m.setGeometry(main.marginsRemoved(frame));
        QWidget w;
        const QSize client = own.shrunkBy(platform::frameMargins(&w));
        w.resize(client);
        platform::centreOver(&w, &m);
        QCOMPARE(platform::outerRect(&w).topLeft(), expected);
        QCOMPARE(w.size(), client);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.frameGeometry().topLeft(), expected);
    }

    void centredOnTheScreen() {
        QWidget w;
        w.resize(401, 250);
        platform::centreOnScreen(&w);
        const QRect s = w.screen()->geometry();
        const QRect outer = platform::outerRect(&w);
        QCOMPARE(outer.left(), s.left() + (s.width() - outer.width()) / 2);
        QCOMPARE(outer.top(), s.top() + (s.height() - outer.height()) / 2);
    }

    void etchedRuleAcrossTheTop() {
        QWidget f;
        f.resize(259, 244);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        platform::DrawEtchedTopLine(&f);
        platform::DrawEtchedTopLine(&f);  // a second call adds nothing
        const auto rules = f.findChildren<QWidget*>(QStringLiteral("etchedTopLine"));
        QCOMPARE(rules.size(), 1);
        QWidget* rule = rules.first();
        QCOMPARE(rule->pos(), QPoint(0, 0));
        QVERIFY(rule->width() >= f.screen()->geometry().width());
        QVERIFY(rule->isVisible());
        const QImage img = f.grab().toImage();
        const int highlightY = platform::twipsToPixels(10);
        QVERIFY(highlightY > 0);
        QCOMPARE(img.pixel(20, 0), platform::systemColor(0x80000010u).rgb());
        QCOMPARE(img.pixel(20, highlightY), platform::systemColor(0x80000014u).rgb());
        QCOMPARE(img.pixel(f.width() - 1, 0), platform::systemColor(0x80000010u).rgb());
    }
};

QTEST_MAIN(tst_windowanim)
#include "tst_windowanim.moc"
