#include "Splash.h"

#include "MainWindow.h"
#include "MsgBox.h"
#include "SingleInstance.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QFont>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

namespace {

void startMainWindow() {
    // The main window lives until the user closes it; closing it ends the
    // program, so it deletes itself then.
    auto* main = new frmEXPLAIN;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->Form_Load();
}

// The product's name and version as the about box shows them.
const char16_t kMaker[] = u"Ostrel";
const char16_t kProduct[] = u"Quorvel";
const char16_t kVersion[] = u"Version 0.09J R3";

}  // namespace

FrmStart::FrmStart(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_anotherCopyRunning([] { return !SingleInstance::application().tryAcquire(); }),
      m_startMainWindow(startMainWindow) {
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(platform::twipsToPixels(6015), platform::twipsToPixels(3750));

    Picture1 = new QLabel(this);
    Picture1->setGeometry(platform::twipsRect(0, 0, 6030, 3750));
    Picture1->setPixmap(splashArtwork());
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The picture box is a little wider than the picture; its own ground
    // continues the picture's dark edge.
    Picture1->setAutoFillBackground(true);
    QPalette pal = Picture1->palette();
    pal.setColor(QPalette::Window, QColor(0x38, 0x0E, 0x08));
    Picture1->setPalette(pal);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1500);
    connect(Timer1, &QTimer::timeout, this, &FrmStart::Timer1_Timer);
    Timer1->start();
}

FrmStart::~FrmStart() = default;

bool FrmStart::Form_Load() {
    platform::centreOnScreen(this);
    Timer1->stop();
    if (m_anotherCopyRunning && m_anotherCopyRunning()) {
        platform::MsgBox(QStringLiteral("このアプリケーションはすでに開かれています。"),
                         platform::vbExclamation, QStringLiteral("APP Load Error"));
        close();
        return false;
    }
    Timer1->start();
    show();
    return true;
}

void FrmStart::Timer1_Timer() {
    // The hand-over keeps the thread in the logon dialog for as long as the
    // user needs; the timer is stopped first so that no tick arriving in
    // the meantime opens the main window again or closes the splash early.
    Timer1->stop();
    if (m_handedOver)
        return;
    m_handedOver = true;
    try {
        if (m_startMainWindow)
            m_startMainWindow();
    } catch (...) {
        // The main window reports its own failures; whatever escapes must
        // not keep the splash up or end the program here.
    }
    Timer1->stop();
    close();
}

QPixmap FrmStart::splashArtwork() {
    constexpr int kWidth = 400;
    constexpr int kHeight = 250;
    QPixmap pm(kWidth, kHeight);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    // Dark red-brown ground, a little lighter at the top.
    QLinearGradient ground(0, 0, 0, kHeight);
    ground.setColorAt(0.0, QColor(0x6B, 0x24, 0x18));
    ground.setColorAt(1.0, QColor(0x38, 0x0E, 0x08));
    p.fillRect(pm.rect(), ground);

    // A thin inset frame.
    p.setPen(QPen(QColor(0xC8, 0x9A, 0x6A), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(6.5, 6.5, kWidth - 13, kHeight - 13));

    // The logo: a small indented plan tree, one step marked like a full scan.
    const QColor step(0xE8, 0xD5, 0xB5);
    const struct {
        int indent;
        int length;
        bool full;
    } steps[] = {{0, 70, false}, {12, 58, false}, {24, 46, true}, {24, 40, false}, {36, 30, true}};
    int y = 48;
    for (const auto& s : steps) {
        p.setPen(Qt::NoPen);
        p.setBrush(s.full ? QColor(0xFF, 0x40, 0x30) : step);
        p.drawRoundedRect(QRectF(36 + s.indent, y, s.length, 7), 2, 2);
        y += 15;
    }

    // Product name and a line saying what it is.
    QFont maker(QStringLiteral("Sans Serif"));
    maker.setPixelSize(13);
    maker.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(maker);
    p.setPen(QColor(0xE0, 0xC8, 0xA8));
    p.drawText(QRect(142, 28, 240, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf16(kMaker));

    QFont name(QStringLiteral("Serif"));
    name.setPixelSize(46);
    name.setBold(true);
    p.setFont(name);
    p.setPen(QColor(0xF6, 0xEA, 0xD6));
    p.drawText(QRect(140, 34, 240, 70), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quorvel"));

    QFont small(QStringLiteral("ＭＳ Ｐゴシック"));
    small.setPixelSize(13);
    p.setFont(small);
    p.setPen(QColor(0xE0, 0xC8, 0xA8));
    p.drawText(QRect(142, 100, 240, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("SQL 実行計画 解析ツール"));

    p.setPen(QPen(QColor(0xC8, 0x9A, 0x6A), 1));
    p.drawLine(QPointF(36, 150.5), QPointF(kWidth - 36, 150.5));

    QFont ver(QStringLiteral("Sans Serif"));
    ver.setPixelSize(14);
    p.setFont(ver);
    p.setPen(QColor(0xF6, 0xEA, 0xD6));
    p.drawText(QRect(36, 160, kWidth - 72, 24), Qt::AlignRight | Qt::AlignVCenter,
               QString::fromUtf16(kVersion));

    QFont note(QStringLiteral("Sans Serif"));
    note.setPixelSize(11);
    p.setFont(note);
    p.setPen(QColor(0xB8, 0x90, 0x70));
    p.drawText(QRect(36, kHeight - 44, kWidth - 72, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("for Oracle"));
    p.end();
    return pm;
}
