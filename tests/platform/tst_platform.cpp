// The platform seams: twips, colour references, the message box mapping,
// window rectangles and centring.
#include "ColorRef.h"
#include "MsgBox.h"
#include "MsgBoxRecorder.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QMessageBox>
#include <QTest>
#include <QWidget>
#include <memory>

class tst_platform : public QObject {
    Q_OBJECT
private slots:
    void twips() {
        QCOMPARE(platform::twipsToPixels(8205), 547);
        QCOMPARE(platform::twipsToPixels(15), 1);
        QCOMPARE(platform::twipsToPixels(0), 0);
        QCOMPARE(platform::twipsToPixels(-120), -8);
        QCOMPARE(platform::pixelsToTwips(400), 6000.0);
    }

    void colorRefs() {
        QCOMPARE(platform::fromColorRef(255), QColor(255, 0, 0));
        QCOMPARE(platform::fromColorRef(0xC0FFFF), QColor(255, 255, 0xC0));
        QCOMPARE(platform::toColorRef(QColor(0, 128, 0)), 0x008000u);
    }

    void messageBoxStyles_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("yesNo");
        QTest::newRow("critical") << 16 << int(QMessageBox::Critical) << false;
        QTest::newRow("question") << 36 << int(QMessageBox::Question) << true;
        QTest::newRow("exclamation") << 48 << int(QMessageBox::Warning) << false;
        QTest::newRow("information") << 64 << int(QMessageBox::Information) << false;
    }
    void messageBoxStyles() {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(bool, yesNo);
        std::unique_ptr<QMessageBox> box(
            platform::buildMessageBox(QStringLiteral("a\rb"), style, QString()));
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->windowTitle(), QStringLiteral("Quorvel"));
        QCOMPARE(box->text(), QStringLiteral("a\nb"));
        const auto buttons = box->standardButtons();
        QCOMPARE(bool(buttons & QMessageBox::Yes), yesNo);
        QCOMPARE(bool(buttons & QMessageBox::No), yesNo);
        QCOMPARE(bool(buttons & QMessageBox::Ok), !yesNo);
    }

    void seamAnswersAndRecords() {
        MsgBoxRecorder rec;
        rec.answerNext(platform::vbYes);
        QCOMPARE(platform::MsgBox(QStringLiteral("q"), 36, QStringLiteral("t")), 6);
        QCOMPARE(platform::MsgBox(QStringLiteral("q2"), 36, QStringLiteral("t")), 7);
        QCOMPARE(platform::MsgBox(QStringLiteral("n"), 64), 1);
        QCOMPARE(rec.count(), 3);
        QCOMPARE(rec.last().title, QStringLiteral("Quorvel"));
        unsigned chosen = 0;
        QVERIFY(!platform::ChooseColor(255, chosen));
        QCOMPARE(chosen, 255u);
        rec.chooseColorNext(0x00FF00);
        QVERIFY(platform::ChooseColor(255, chosen));
        QCOMPARE(chosen, 0x00FF00u);
    }

    void rectangles() {
        const platform::WinRect r{100, 50, 400, 250};
        QCOMPARE(platform::mirroredRect(r), (platform::WinRect{400, 250, 100, 50}));
        QCOMPARE(platform::mirroredRect(r, -600, -350),
                 (platform::WinRect{-200, -100, -500, -300}));
        QCOMPARE(platform::pointRect(QPoint(7, 9)), (platform::WinRect{7, 9, 7, 9}));
    }

    void noAnimationOffscreen() { QVERIFY(!platform::animationsEnabled()); }
};

QTEST_MAIN(tst_platform)
#include "tst_platform.moc"
