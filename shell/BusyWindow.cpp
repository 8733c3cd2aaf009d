#include "BusyWindow.h"

#include "ColorRef.h"
#include "Fonts.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QtGlobal>

frmSearch::frmSearch(QWidget* main)
    : QWidget(main, Qt::Tool | Qt::FramelessWindowHint), m_main(main) {
    setObjectName(QStringLiteral("frmSearch"));
    // Never visible: the window has no caption bar.
    setWindowTitle(QStringLiteral("Form1"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(platform::twipsToPixels(2880), platform::twipsToPixels(480));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(platform::twipsRect(0, 0, 3000, 480));
    Picture1->setAutoFillBackground(true);
    QPalette pal = Picture1->palette();
    pal.setColor(QPalette::Window, platform::systemColor(0x80000005u));
    Picture1->setPalette(pal);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(busyPicture());
}

frmSearch::~frmSearch() = default;

QPixmap frmSearch::busyPicture() {
    QPixmap pm(200, 32);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 200, 0);
    g.setColorAt(0.0, QColor(255, 140, 0));
    g.setColorAt(1.0, QColor(255, 240, 80));
    p.fillRect(pm.rect(), g);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f = platform::gothicFont(platform::proportionalGothic(), 14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(255, 0, 0));
    p.drawText(QRect(12, 0, 188, 32), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("解析中･･･"));
    p.end();
    return pm;
}

void frmSearch::Form_Load() {
    winId();
    if (m_main)
        platform::centreOver(this, m_main);
    QApplication::processEvents();
    show();
    QApplication::processEvents();
}

std::unique_ptr<frmSearch> frmSearch::Load(QWidget* main) {
    try {
        auto busy = std::make_unique<frmSearch>(main);
        busy->Form_Load();
        return busy;
    } catch (...) {
        // The busy window is only a courtesy; the analysis goes on without it.
        qWarning("frmSearch: the busy window could not be shown");
        return nullptr;
    }
}

void frmSearch::Unload(std::unique_ptr<frmSearch>& busy) {
    try {
        if (busy)
            busy->hide();
        busy.reset();
    } catch (...) {
        qWarning("frmSearch: the busy window could not be taken down");
    }
}
