#include "WindowFrame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <optional>

#ifdef QUORVEL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#endif

namespace platform {
namespace {

#ifdef QUORVEL_HAVE_XCB

// On X11 the X server is asked directly: Qt's idea of a window's place lags
// behind while the window manager frames it, and it knows no frame before.

// Marks a window whose window manager did not answer, so that it is asked
// only once.
constexpr char kNoAnswer[] = "quorvel_frameUnknown";

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* x11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// _NET_FRAME_EXTENTS of the window (left, right, top, bottom), set by the
// window manager when it frames the window or answers a request for it.
std::optional<QMargins> frameExtents(xcb_connection_t* c, xcb_window_t window) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16)
        return std::nullopt;
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

// Whether the window manager says it supports `what` (_NET_SUPPORTED).
bool supported(xcb_connection_t* c, xcb_window_t root, xcb_atom_t what) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 1024),
        nullptr));
    if (!reply || reply->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int n = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(atoms, atoms + n, what) != atoms + n;
}

// Asks the window manager what frame it will give the window
// (_NET_REQUEST_FRAME_EXTENTS) and waits briefly for the answer.
std::optional<QMargins> askWindowManager(xcb_connection_t* c, xcb_window_t window) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    if (!supported(c, root, request))
        return std::nullopt;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    // The window manager answers at once, unless it is very busy.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000) {
        if (auto answer = frameExtents(c, window))
            return answer;
        QThread::msleep(2);
    }
    return std::nullopt;
}

std::optional<QMargins> x11Frame(QWidget* w) {
    xcb_connection_t* c = x11Connection();
    if (!c || w->property(kNoAnswer).toBool())
        return std::nullopt;
    const auto window = static_cast<xcb_window_t>(w->winId());
    if (auto known = frameExtents(c, window))
        return known;
    if (auto answer = askWindowManager(c, window))
        return answer;
    w->setProperty(kNoAnswer, true);
    return std::nullopt;
}

// The client rectangle where the X server has the shown window now.
std::optional<QRect> x11ClientRect(QWidget* w) {
    xcb_connection_t* c = x11Connection();
    if (!c || !w->isVisible() || w->devicePixelRatioF() != 1.0)
        return std::nullopt;
    const auto window = static_cast<xcb_window_t>(w->winId());
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!geometry)
        return std::nullopt;
    const Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, geometry->root, 0, 0), nullptr));
    if (!origin)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

// Whether the X server has the shown window where Qt put it, framed and
// viewable: the window manager has done with it. True where the window
// manager frames nothing.
bool x11Settled(QWidget* w) {
    xcb_connection_t* c = x11Connection();
    if (!c)
        return true;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (!supported(c, root, atom(c, "_NET_FRAME_EXTENTS")))
        return true;
    const auto window = static_cast<xcb_window_t>(w->winId());
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
           frameExtents(c, window) && x11ClientRect(w) == w->geometry();
}

#else

bool x11Settled(QWidget*) {
    return true;
}
std::optional<QMargins> x11Frame(QWidget*) {
    return std::nullopt;
}
std::optional<QRect> x11ClientRect(QWidget*) {
    return std::nullopt;
}

#endif

}  // namespace

QMargins frameMargins(QWidget* w) {
    if (!w->isWindow() || (w->windowFlags() & Qt::FramelessWindowHint))
        return QMargins();
    if (auto m = x11Frame(w))
        return *m;
    // Elsewhere: the frame Qt knows of a shown window, else what the
    // platform window says before it is shown.
    if (w->isVisible() && w->frameGeometry() != w->geometry()) {
        const QRect outer = w->frameGeometry();
        const QRect inner = w->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    w->winId();
    return w->windowHandle() ? w->windowHandle()->frameMargins() : QMargins();
}

QRect outerRect(QWidget* w) {
    const QMargins m = frameMargins(w);
    return x11ClientRect(w).value_or(w->geometry()).marginsAdded(m);
}

void awaitFramed(QWidget* w) {
    QElapsedTimer clock;
    clock.start();
    while (w->isVisible() && !x11Settled(w) && clock.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
}

void moveFrameTo(QWidget* w, const QPoint& topLeft) {
    // The client's corner is what every platform places the same way, shown
    // or not; the window manager puts the frame around it.
    const QMargins m = frameMargins(w);
    w->setGeometry(QRect(topLeft + QPoint(m.left(), m.top()), w->size()));
}

}  // namespace platform
