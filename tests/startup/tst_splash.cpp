// The splash: its refusal of a second copy, and the hand-over to the main
// window exactly once, however long the logon keeps the thread.
#include "LogonDialog.h"
#include "LogonState.h"
#include "MainWindow.h"
#include "ModalDialogs.h"
#include "MsgBoxRecorder.h"
#include "Splash.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

bool anyVisibleWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return true;
    return false;
}

// A stand-in for the logon dialog: modal, open for `ms` milliseconds.
void holdModalDialog(int ms) {
    QDialog logon;
    logon.setModal(true);
    QTimer::singleShot(ms, &logon, &QDialog::accept);
    logon.exec();
}

}  // namespace

class tst_splash : public QObject {
    Q_OBJECT
private slots:
    void design() {
        FrmStart s;
        QCOMPARE(s.windowTitle(), QStringLiteral("Form1"));
        QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
        // A splash window has no task bar entry.
        QCOMPARE(s.windowType(), Qt::SplashScreen);
        QCOMPARE(s.size(), QSize(401, 250));
        QCOMPARE(s.Picture1->geometry(), QRect(0, 0, 402, 250));
        QCOMPARE(s.Picture1->pixmap().size(), QSize(400, 250));
        QCOMPARE(s.Timer1->interval(), 1500);
    }

    void artworkIsOnADarkRedBrownGround() {
        const QImage img = FrmStart::splashArtwork().toImage();
        QCOMPARE(img.size(), QSize(400, 250));
        for (const QPoint p : {QPoint(2, 2), QPoint(397, 3), QPoint(3, 246), QPoint(200, 230)}) {
            const QColor c = img.pixelColor(p);
            QVERIFY2(c.red() > c.green() + 20 && c.red() > c.blue() + 20 && c.value() < 0x90,
                     qPrintable(c.name()));
        }
        // Something is drawn on it: the picture is not one flat colour.
        int differing = 0;
        const QRgb ground = img.pixel(200, 125);
        for (int y = 0; y < img.height(); y += 5)
            for (int x = 0; x < img.width(); x += 5)
                differing += img.pixel(x, y) != ground;
        QVERIFY(differing > 100);
    }

    void secondCopyIsRefused() {
        MsgBoxRecorder rec;
        int started = 0;
        auto* s = new FrmStart;
        QPointer<FrmStart> alive(s);
        s->setAttribute(Qt::WA_DeleteOnClose);
        s->setInstanceCheck([] { return true; });
        s->setMainWindowStarter([&] { ++started; });
        s->Timer1->setInterval(20);

        QVERIFY(!s->Form_Load());

        QCOMPARE(rec.count(), 1);
        QCOMPARE(rec.last().prompt, QStringLiteral("このアプリケーションはすでに開かれています。"));
        QCOMPARE(rec.last().style, 48);
        QCOMPARE(rec.last().title, QStringLiteral("APP Load Error"));
        QVERIFY(!anyVisibleWindow());
        QVERIFY(!s->Timer1->isActive());
        QTRY_VERIFY(alive.isNull());  // the splash is unloaded, its timer with it
        QCoreApplication::processEvents();
        QCOMPARE(started, 0);
    }

    void firstCopyShowsTheSplashCentred() {
        MsgBoxRecorder rec;
        FrmStart s;
        int checks = 0;
        s.setInstanceCheck([&] {
            ++checks;
            return false;
        });
        s.setMainWindowStarter([] {});
        QVERIFY(s.Form_Load());
        QCOMPARE(checks, 1);
        QCOMPARE(rec.count(), 0);
        QVERIFY(s.isVisible());
        QVERIFY(s.Timer1->isActive());
        QCOMPARE(s.Timer1->interval(), 1500);
        const QRect screen = s.screen()->geometry();
        const QRect own = s.frameGeometry();
        QCOMPARE(own.left(), screen.left() + (screen.width() - own.width()) / 2);
        QCOMPARE(own.top(), screen.top() + (screen.height() - own.height()) / 2);
    }

    void tickIsHandledOnceWhileTheLogonIsOpen() {
        MsgBoxRecorder rec;
        auto* s = new FrmStart;
        QPointer<FrmStart> alive(s);
        s->setAttribute(Qt::WA_DeleteOnClose);
        s->setInstanceCheck([] { return false; });
        int started = 0;
        bool splashUpDuringLogon = false;
        s->setMainWindowStarter([&] {
            ++started;
            // The logon stays open for many timer intervals.
            holdModalDialog(600);
            splashUpDuringLogon = !alive.isNull() && alive->isVisible();
        });
        s->Timer1->setInterval(40);
        QVERIFY(s->Form_Load());
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 5000);
        QCOMPARE(started, 1);
        QVERIFY(splashUpDuringLogon);
        // The splash is gone with its timer: no tick can come any more.
        QCoreApplication::processEvents();
        QCOMPARE(started, 1);
        QCOMPARE(rec.count(), 0);
    }

    void aFailingHandOverStillClosesTheSplash() {
        auto* s = new FrmStart;
        QPointer<FrmStart> alive(s);
        s->setAttribute(Qt::WA_DeleteOnClose);
        s->setInstanceCheck([] { return false; });
        int started = 0;
        s->setMainWindowStarter([&] {
            ++started;
            throw std::runtime_error("main window could not be created");
        });
        s->Timer1->setInterval(20);
        QVERIFY(s->Form_Load());
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(started, 1);
    }

    void cancelledLogonLeavesTheMainWindowOpen() {
        MsgBoxRecorder rec;
        basEXPLAIN::reset();
        auto* s = new FrmStart;
        QPointer<FrmStart> alive(s);
        s->setAttribute(Qt::WA_DeleteOnClose);
        s->setInstanceCheck([] { return false; });
        s->Timer1->setInterval(20);
        // Cancel every logon dialog as soon as it is up.
        bool splashUpDuringLogon = false;
        auto logons = onEachModal<fdlgOraLogon>([&](fdlgOraLogon& d) {
            splashUpDuringLogon = !alive.isNull();
            d.cmdCancel->click();
        });
        QVERIFY(s->Form_Load());
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 10000);
        QCOMPARE(logons.count(), 1);
        QVERIFY(splashUpDuringLogon);

        frmEXPLAIN* main = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<frmEXPLAIN*>(w); m && m->isVisible())
                main = m;
        QVERIFY(main);
        QVERIFY(!basEXPLAIN::OraDB);
        QVERIFY(!main->StatementId.isEmpty());
        QPointer<frmEXPLAIN> mainAlive(main);
        main->close();
        QTRY_VERIFY(mainAlive.isNull());
    }
};

QTEST_MAIN(tst_splash)
#include "tst_splash.moc"
