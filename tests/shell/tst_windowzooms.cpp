// Which window zooms from where and when: every animation the program asks
// for, recorded through the animation hook while the windows are opened
// and closed the way the user does it.
#include "AboutBox.h"
#include "LogonDialog.h"
#include "LogonState.h"
#include "MainWindow.h"
#include "ModalDialogs.h"
#include "MsgBoxRecorder.h"
#include "RichTextBox.h"
#include "SchemaBrowser.h"
#include "SessionKit.h"
#include "Splash.h"
#include "TextSearchDialog.h"
#include "WindowAnim.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using platform::WinRect;

namespace {

const QPoint kPointer(901, 707);

WinRect frameOf(const QWidget* w) {
    const QRect f = w->frameGeometry();
    return WinRect{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
}

struct Zoom {
    WinRect from;
    WinRect to;
    QString line;  // "<window>: <from> -> <to>, <shown or hidden>"
};

// Names an end of a zoom: the window's own rectangle, the pointer, or the
// window's rectangle mirrored and shifted.
QString endName(const WinRect& end, const WinRect& window) {
    if (end == window)
        return QStringLiteral("window");
    if (end == platform::pointRect(kPointer))
        return QStringLiteral("pointer");
    for (const QPoint shift : {QPoint(0, 0), QPoint(-600, -350)}) {
        if (end == platform::mirroredRect(window, shift.x(), shift.y()))
            return shift.isNull() ? QStringLiteral("mirror")
                                  : QStringLiteral("mirror(%1,%2)").arg(shift.x()).arg(shift.y());
    }
    return QStringLiteral("somewhere else");
}

}  // namespace

class tst_windowzooms : public QObject {
    Q_OBJECT

    std::vector<Zoom> m_zooms;

    // The window a zoom opens or closes: the top-level window whose outer
    // rectangle is one of its ends.
    void record(const WinRect& from, const WinRect& to) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const WinRect r = platform::windowRect(w);
            if (r != from && r != to)
                continue;
            m_zooms.push_back(
                {from, to,
                 QStringLiteral("%1: %2 -> %3, %4")
                     .arg(QString::fromLatin1(w->metaObject()->className()), endName(from, r),
                          endName(to, r),
                          w->isVisible() ? QStringLiteral("shown") : QStringLiteral("hidden"))});
            return;
        }
        m_zooms.push_back({from, to, QStringLiteral("no window")});
    }

    QStringList lines() const {
        QStringList out;
        for (const Zoom& z : m_zooms)
            out << z.line;
        return out;
    }

private slots:
    void init() {
        basEXPLAIN::reset();
        QCursor::setPos(kPointer);
        m_zooms.clear();
        platform::setAnimationHook(
            [this](const WinRect& from, const WinRect& to) { record(from, to); });
    }
    void cleanup() {
        platform::setAnimationHook({});
        basEXPLAIN::reset();
    }

    // The table of the windows: the main window from the pointer and to its
    // mirror; the logon dialog from its shifted mirror and to the pointer;
    // the other dialogs from and to the pointer. Opening zooms come before
    // the window is shown and end on its frame as it is once shown; closing
    // zooms come while it is still up.
    void zoomsOfTheWindows() {
        QCOMPARE(QCursor::pos(), kPointer);
        MsgBoxRecorder boxes;
        frmEXPLAIN w;
        w.StatementId = QStringLiteral("10.0.0.5");
        WinRect logonFrame;
        auto logon = onNextModal<fdlgOraLogon>([&](fdlgOraLogon& d) {
            logonFrame = frameOf(&d);
            d.cmdCancel->click();
        });
        w.Form_Load();
        QVERIFY(logon.ran());
        QCOMPARE(m_zooms.size(), size_t(3));
        QCOMPARE(m_zooms[0].to, frameOf(&w));
        QCOMPARE(m_zooms[1].to, logonFrame);

        const auto opened = [this](const QWidget& dialog) {
            QVERIFY(!m_zooms.empty());
            QCOMPARE(m_zooms.back().to, frameOf(&dialog));
        };
        auto about = onNextModal<frmVersion>([&](frmVersion& d) {
            opened(d);
            d.Command1->click();
        });
        w.mnuVer->trigger();
        auto search = onNextModal<frmSeach>([&](frmSeach& d) {
            opened(d);
            d.close();
        });
        w.mnuStrken->trigger();
        auto browser = onNextModal<frm_mainkey>([&](frm_mainkey& d) {
            opened(d);
            d.mnuExit->trigger();
        });
        w.mnuMainkey->trigger();
        QVERIFY(about.ran() && search.ran() && browser.ran());

        // The busy window of an analysis does not zoom.
        const size_t before = m_zooms.size();
        basEXPLAIN::OraDB = kit::open();
        kit::setPlanTable(*basEXPLAIN::OraDB, true);
        w.txtSQL->setText(QStringLiteral("select * from customers"));
        w.cmdEXPAIN_Click();
        QVERIFY(w.txtResults->Text().contains(QLatin1String("CUSTOMERS")));
        QCOMPARE(m_zooms.size(), before);
        basEXPLAIN::OraDB.reset();

        w.close();
        QCOMPARE(lines(), QStringList({
                              QStringLiteral("frmEXPLAIN: pointer -> window, hidden"),
                              QStringLiteral("fdlgOraLogon: mirror(-600,-350) -> window, hidden"),
                              QStringLiteral("fdlgOraLogon: window -> pointer, shown"),
                              QStringLiteral("frmVersion: pointer -> window, hidden"),
                              QStringLiteral("frmVersion: window -> pointer, shown"),
                              QStringLiteral("frmSeach: pointer -> window, hidden"),
                              QStringLiteral("frmSeach: window -> pointer, shown"),
                              QStringLiteral("frm_mainkey: pointer -> window, hidden"),
                              QStringLiteral("frm_mainkey: window -> pointer, shown"),
                              QStringLiteral("frmEXPLAIN: window -> mirror, shown"),
                          }));
    }

    // The splash neither opens nor closes with a zoom.
    void splashDoesNotZoom() {
        MsgBoxRecorder boxes;
        FrmStart splash;
        splash.setInstanceCheck([] { return false; });
        splash.setMainWindowStarter([] {});
        QVERIFY(splash.Form_Load());
        splash.Timer1_Timer();
        QVERIFY(m_zooms.empty());
    }
};

QTEST_MAIN(tst_windowzooms)
#include "tst_windowzooms.moc"
