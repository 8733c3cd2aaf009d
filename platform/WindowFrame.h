#pragma once
// The frame a window manager draws around a top-level window (border and
// caption). Qt reports it only once the window is shown and framed, but a
// window is centred and zooms open on its outer rectangle before it is
// shown; so the frame is asked for in advance: on X11 the window manager's
// estimate for the window (_NET_REQUEST_FRAME_EXTENTS), elsewhere what the
// platform window says.

#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

namespace platform {

// The frame of `w` as it is, or as it will be once the window is shown;
// zero for a child widget, a frameless window, or where no window manager
// answers.
QMargins frameMargins(QWidget* w);

// The outer rectangle of `w` in screen pixels, frame included, also before
// the window is shown.
QRect outerRect(QWidget* w);

// Waits, processing events but no input, until the window manager has
// framed the shown window `w` where it was asked to (at most a second):
// until then, where a window is and how large its frame is are still
// changing. Returns at once where no window manager frames windows.
void awaitFramed(QWidget* w);

// Moves `w` so that the top-left corner of its frame is at `topLeft`.
void moveFrameTo(QWidget* w, const QPoint& topLeft);

}  // namespace platform
