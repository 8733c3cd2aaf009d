#pragma once
// Window placement and the zoom animations of opening and closing windows.
//
// Rectangles are screen pixels with left, top, right, bottom as the window
// system reports a window's outer rectangle; a "mirrored" rectangle swaps
// left with right and top with bottom, which a plain QRect cannot hold.

#include <QPoint>
#include <functional>

class QWidget;

namespace platform {

struct WinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const WinRect&) const = default;
};

// (R.right + dx, R.bottom + dy, R.left + dx, R.top + dy).
WinRect mirroredRect(const WinRect& r, int dx = 0, int dy = 0);
WinRect pointRect(const QPoint& p);
// The outer (frame) rectangle of a window in screen pixels, also before it
// is shown (see WindowFrame.h).
WinRect windowRect(QWidget* w);
QPoint cursorPos();

// Draws a caption-coloured rectangle flying from `from` to `to`, for at most
// 200 ms, synchronously. Nothing is drawn on a platform without real
// windows (offscreen, minimal) or when animations are switched off.
void animateRects(const WinRect& from, const WinRect& to);
void setAnimationsEnabled(bool on);
bool animationsEnabled();

// Sees every animation asked for, before it is drawn or left out (for
// tests: which window zooms from where, and when). Empty: none.
using AnimationHook = std::function<void(const WinRect& from, const WinRect& to)>;
void setAnimationHook(AnimationHook hook);

void ZoomFromPointer(QWidget* w, const QPoint& pointer);
void ZoomFromPointer(QWidget* w);
void ZoomToPointer(QWidget* w);
void ZoomFromMirror(QWidget* w, int dx, int dy);
void ZoomToMirror(QWidget* w);

// Centres `w` over `main` by outer sizes, frames included: top = main top +
// main height / 2 - own height / 2, left likewise. Works in twips like the
// window system did, so the result is the same pixel for pixel.
void centreOver(QWidget* w, QWidget* main);
// Centres `w` on its screen by outer size, frame included.
void centreOnScreen(QWidget* w);

// Where the opening zoom of a window starts: the pointer position read when
// the window began to open, or the window's own rectangle mirrored and
// shifted by (dx, dy).
struct OpeningZoom {
    static OpeningZoom fromPointer(const QPoint& pointer) { return {false, pointer, 0, 0}; }
    static OpeningZoom fromMirror(int dx, int dy) { return {true, QPoint(), dx, dy}; }
    bool mirrored = false;
    QPoint pointer;
    int dx = 0;
    int dy = 0;
};

// How a window opens: centred over `main` by outer sizes (on its screen
// when `main` is null), then the opening zoom onto its place. Call before
// the window is shown.
void openCentred(QWidget* w, QWidget* main, const OpeningZoom& zoom);

// The etched rule along the top of a window's client area: a shadow line at
// y 0 and a highlight line at 10 twips, reaching past the right edge. The
// widget draws it in its paint handler by calling this with its painter.
void DrawEtchedTopLine(QWidget* f);

}  // namespace platform
