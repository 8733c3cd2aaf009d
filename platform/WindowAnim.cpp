#include "WindowAnim.h"

#include "ColorRef.h"
#include "Twips.h"
#include "WindowFrame.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace platform {
namespace {

bool g_animationsEnabled = true;

AnimationHook& animationHook() {
    static AnimationHook hook;
    return hook;
}

bool platformHasRealWindows() {
    const QString name = QGuiApplication::platformName();
    return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

// A frameless caption-coloured bar that is moved through the frames of one
// animation.
class CaptionBar : public QWidget {
public:
    CaptionBar()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, palette().color(QPalette::Highlight));
        g.setColorAt(1, palette().color(QPalette::Highlight).lighter(160));
        p.fillRect(rect(), g);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

int lerp(int a, int b, double t) {
    return static_cast<int>(std::lround(a + (b - a) * t));
}

}  // namespace

WinRect mirroredRect(const WinRect& r, int dx, int dy) {
    return WinRect{r.right + dx, r.bottom + dy, r.left + dx, r.top + dy};
}

WinRect pointRect(const QPoint& p) {
    return WinRect{p.x(), p.y(), p.x(), p.y()};
}

WinRect windowRect(QWidget* w) {
    const QRect f = outerRect(w);
    // The window system's right and bottom lie one past the last pixel.
    return WinRect{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
}

QPoint cursorPos() {
    return QCursor::pos();
}

void setAnimationsEnabled(bool on) {
    g_animationsEnabled = on;
}
bool animationsEnabled() {
    return g_animationsEnabled && platformHasRealWindows();
}

void setAnimationHook(AnimationHook hook) {
    animationHook() = std::move(hook);
}

void animateRects(const WinRect& from, const WinRect& to) {
    if (animationHook())
        animationHook()(from, to);
    if (!animationsEnabled())
        return;
    constexpr int kFrames = 10;
    constexpr int kBudgetMs = 200;
    const int captionHeight = 20;

    CaptionBar bar;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i <= kFrames; ++i) {
        const double t = static_cast<double>(i) / kFrames;
        const int l = lerp(from.left, to.left, t);
        const int r = lerp(from.right, to.right, t);
        const int top = lerp(from.top, to.top, t);
        const int bottom = lerp(from.bottom, to.bottom, t);
        const int x = std::min(l, r);
        const int y = std::min(top, bottom);
        const int w = std::max(2, std::abs(r - l));
        const int h = std::max(2, std::min(captionHeight, std::abs(bottom - top)));
        bar.setGeometry(x, y, w, h);
        if (!bar.isVisible())
            bar.show();
        bar.repaint();
        QApplication::sendPostedEvents();
        if (clock.elapsed() >= kBudgetMs)
            break;
        QThread::msleep(static_cast<unsigned long>(kBudgetMs / (kFrames + 2)));
    }
    bar.hide();
}

void ZoomFromPointer(QWidget* w, const QPoint& pointer) {
    animateRects(pointRect(pointer), windowRect(w));
}
void ZoomFromPointer(QWidget* w) {
    ZoomFromPointer(w, cursorPos());
}
void ZoomToPointer(QWidget* w) {
    animateRects(windowRect(w), pointRect(cursorPos()));
}
void ZoomFromMirror(QWidget* w, int dx, int dy) {
    const WinRect r = windowRect(w);
    animateRects(mirroredRect(r, dx, dy), r);
}
void ZoomToMirror(QWidget* w) {
    const WinRect r = windowRect(w);
    animateRects(r, mirroredRect(r));
}

void centreOver(QWidget* w, QWidget* main) {
    const QRect m = outerRect(main);
    const QSize own = outerRect(w).size();
    const double top =
        pixelsToTwips(m.height()) / 2 + pixelsToTwips(m.top()) - pixelsToTwips(own.height()) / 2;
    const double left =
        pixelsToTwips(m.width()) / 2 + pixelsToTwips(m.left()) - pixelsToTwips(own.width()) / 2;
    moveFrameTo(w, QPoint(twipsToPixels(left), twipsToPixels(top)));
}

void centreOnScreen(QWidget* w) {
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect s = screen->geometry();
    const QSize own = outerRect(w).size();
    moveFrameTo(w, QPoint(s.left() + (s.width() - own.width()) / 2,
                          s.top() + (s.height() - own.height()) / 2));
}

void openCentred(QWidget* w, QWidget* main, const OpeningZoom& zoom) {
    if (main)
        centreOver(w, main);
    else
        centreOnScreen(w);
    if (zoom.mirrored)
        ZoomFromMirror(w, zoom.dx, zoom.dy);
    else
        ZoomFromPointer(w, zoom.pointer);
}

namespace {

class EtchedRule : public QWidget {
public:
    explicit EtchedRule(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("etchedTopLine"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        QScreen* screen = parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
        const int screenWidth = screen ? screen->geometry().width() : 4096;
        // Shadow at y 0, highlight at 10 twips below it.
        setGeometry(0, 0, screenWidth, twipsToPixels(10) + 1);
        raise();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(systemColor(0x80000010u));
        p.drawLine(0, 0, width(), 0);
        p.setPen(systemColor(0x80000014u));
        const int y = twipsToPixels(10);
        p.drawLine(0, y, width(), y);
    }
};

}  // namespace

void DrawEtchedTopLine(QWidget* f) {
    // A child that paints the rule keeps it on the window through every
    // repaint, like persistent drawing on the window itself.
    if (f->findChild<QWidget*>(QStringLiteral("etchedTopLine"), Qt::FindDirectChildrenOnly))
        return;
    auto* rule = new EtchedRule(f);
    rule->show();
}

QColor systemColor(unsigned ref) {
    if ((ref & 0x80000000u) == 0)
        return fromColorRef(ref);
    const QPalette pal = QApplication::palette();
    switch (ref & 0xFF) {
        case 0x04:  // menu
            return pal.color(QPalette::Window);
        case 0x05:  // window
            return pal.color(QPalette::Base);
        case 0x0F:  // button face
            return pal.color(QPalette::Button);
        case 0x10:  // button shadow
            return pal.color(QPalette::Dark);
        case 0x12:  // button text
            return pal.color(QPalette::ButtonText);
        case 0x14:  // 3D highlight
            return pal.color(QPalette::Light);
        default:
            return pal.color(QPalette::Window);
    }
}

}  // namespace platform
