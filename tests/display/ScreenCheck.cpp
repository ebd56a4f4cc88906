#include "ScreenCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace screen {

namespace {

// A channel that differs by more than this counts as a different pixel: the two pictures
// come from the same painting code, so anything beyond rounding is a real difference.
constexpr int kChannelTolerance = 8;

template <typename T> struct FreeReply {
    void operator()(T* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply<T>>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

QString displayKind() {
    return QString::fromLocal8Bit(qgetenv("KORVA_TEST_DISPLAY"));
}

bool onDisplay() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

XServer::XServer() {
    if (!onDisplay()) {
        return;
    }
    int screenNumber = 0;
    xcb_connection_t* opened = xcb_connect(nullptr, &screenNumber);
    if (opened == nullptr || xcb_connection_has_error(opened) != 0) {
        if (opened != nullptr) {
            xcb_disconnect(opened);
        }
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(opened));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    connection = opened;
    root = screens.data->root;
}

XServer::~XServer() {
    if (connection != nullptr) {
        xcb_disconnect(connection);
    }
}

QImage XServer::picture(const QRect& area) const {
    if (connection == nullptr || area.isEmpty()) {
        return QImage();
    }
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<int16_t>(area.x()),
                      static_cast<int16_t>(area.y()), static_cast<uint16_t>(area.width()),
                      static_cast<uint16_t>(area.height()), ~0u),
        nullptr));
    if (!reply) {
        return QImage();
    }
    const int length = xcb_get_image_data_length(reply.get());
    if (length < area.width() * area.height() * 4) {
        return QImage();
    }
    // Depth 24 at 32 bits a pixel, the byte order of this machine: QImage's RGB32.
    QImage image(xcb_get_image_data(reply.get()), area.width(), area.height(), area.width() * 4,
                 QImage::Format_RGB32);
    return image.copy();
}

bool XServer::viewable(quint32 window) const {
    if (connection == nullptr) {
        return false;
    }
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

int XServer::wmState(quint32 window) const {
    if (connection == nullptr) {
        return -1;
    }
    const xcb_atom_t wmState = internAtom(connection, "WM_STATE");
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, wmState, wmState, 0, 2), nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) < 4) {
        return -1;
    }
    return static_cast<int>(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
}

void XServer::setRootColour(QRgb colour) const {
    if (connection == nullptr) {
        return;
    }
    // The screen is 24 bits deep in the RGB order of QImage's RGB32.
    const uint32_t pixel = colour & 0xFFFFFFu;
    xcb_change_window_attributes(connection, root, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(connection, 0, root, 0, 0, 0, 0);
    // A round trip: the server has done both once it answers.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool XServer::mappedOrMinimised(quint32 window) const {
    return viewable(window) || wmState(window) == 3;
}

std::vector<quint32> XServer::stack() const {
    std::vector<quint32> windows;
    if (connection == nullptr) {
        return windows;
    }
    Reply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (!reply) {
        return windows;
    }
    const xcb_window_t* children = xcb_query_tree_children(reply.get());
    windows.assign(children, children + xcb_query_tree_children_length(reply.get()));
    return windows;
}

quint32 XServer::topLevelOf(quint32 window) const {
    quint32 current = window;
    while (connection != nullptr) {
        Reply<xcb_query_tree_reply_t> reply(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, current), nullptr));
        if (!reply || reply->parent == XCB_WINDOW_NONE) {
            return 0;
        }
        if (reply->parent == root) {
            return current;
        }
        current = reply->parent;
    }
    return 0;
}

void XServer::raise(quint32 window) const {
    if (connection == nullptr) {
        return;
    }
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(connection);
}

bool XServer::syncWindowManager(int timeoutMs) const {
    if (connection == nullptr || displayKind() != QLatin1String("openbox")) {
        return true;
    }
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    const xcb_window_t scratch = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, scratch, root, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = scratch;
    request.type = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection);
    const bool answered = waitUntil(
        [&] {
            Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, scratch, extents, XCB_ATOM_CARDINAL, 0, 4),
                nullptr));
            return reply && xcb_get_property_value_length(reply.get()) >= 16;
        },
        timeoutMs);
    xcb_destroy_window(connection, scratch);
    xcb_flush(connection);
    return answered;
}

QPoint XServer::origin(quint32 window) const {
    if (connection == nullptr) {
        return QPoint();
    }
    Reply<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr));
    return reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint();
}

bool XServer::stackedAbove(quint32 upper, quint32 lower) const {
    const quint32 upperTop = topLevelOf(upper);
    const quint32 lowerTop = topLevelOf(lower);
    int upperAt = -1;
    int lowerAt = -1;
    const std::vector<quint32> windows = stack();
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i] == upperTop) {
            upperAt = static_cast<int>(i);
        }
        if (windows[i] == lowerTop) {
            lowerAt = static_cast<int>(i);
        }
    }
    return upperAt >= 0 && lowerAt >= 0 && upperAt > lowerAt;
}

bool Difference::same() const {
    // A text cursor that blinked between the two pictures is some 30 pixels.
    return compared > 0 && differing <= std::max(40, compared / 1000);
}

Difference compare(const QImage& painted, const QImage& shown) {
    Difference result;
    if (painted.isNull() || shown.isNull() || painted.size() != shown.size()) {
        return result;
    }
    const QImage a = painted.convertToFormat(QImage::Format_ARGB32);
    const QImage b = shown.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (qAlpha(pa[x]) != 255) {
                continue;
            }
            ++result.compared;
            if (std::abs(qRed(pa[x]) - qRed(pb[x])) > kChannelTolerance ||
                std::abs(qGreen(pa[x]) - qGreen(pb[x])) > kChannelTolerance ||
                std::abs(qBlue(pa[x]) - qBlue(pb[x])) > kChannelTolerance) {
                ++result.differing;
            }
        }
    }
    return result;
}

namespace {} // namespace

QRect placeOnScreen(QWidget* widget, const XServer& server) {
    // The window's place as the server has it: a window manager moves windows, and Qt's
    // own idea of a window's place can lag behind or be lost (a dialog under openbox at 0,0).
    QWidget* window = widget->window();
    const QPoint origin = server.connected() ? server.origin(static_cast<quint32>(window->winId()))
                                             : window->mapToGlobal(QPoint(0, 0));
    return QRect(origin + widget->mapTo(window, QPoint(0, 0)), widget->size());
}

QImage paintedNow(QWidget* widget) {
    // The window paints the widget's place: a child alone would be drawn without the
    // backgrounds and shadows of the widgets behind it.
    QWidget* window = widget->window();
    return window->grab(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size())).toImage();
}

Difference widgetOnScreen(QWidget* widget, const XServer& server) {
    return compare(paintedNow(widget), server.picture(placeOnScreen(widget, server)));
}

bool waitShown(QWidget* widget, const XServer& server, const QString& name, QString* report, int timeoutMs) {
    Difference last;
    const bool shown = waitUntil(
        [&] {
            // Qt may still hold requests the server has not had (the unmap of a window closed a
            // moment ago, which would be read back over this one): they are carried out first.
            syncQt();
            last = widgetOnScreen(widget, server);
            return last.same();
        },
        timeoutMs);
    if (!shown) {
        const QString screenFile = QStringLiteral("screen-%1.png").arg(name);
        const QString paintedFile = QStringLiteral("painted-%1.png").arg(name);
        server.picture(placeOnScreen(widget, server)).save(screenFile);
        paintedNow(widget).save(paintedFile);
        // The whole screen too, to see where the widget went.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            server.picture(screen->geometry()).save(QStringLiteral("screen-whole-%1.png").arg(name));
        }
        if (report != nullptr) {
            *report =
                QStringLiteral("%1 of %2 pixels differ on the screen (%3 on %4); pictures %5 and %6 in %7")
                    .arg(last.differing)
                    .arg(last.compared)
                    .arg(name, displayKind(), screenFile, paintedFile, QDir::currentPath()) +
                QStringLiteral(" (at %1,%2; Qt has %3,%4)")
                    .arg(placeOnScreen(widget, server).x())
                    .arg(placeOnScreen(widget, server).y())
                    .arg(widget->mapToGlobal(QPoint(0, 0)).x())
                    .arg(widget->mapToGlobal(QPoint(0, 0)).y());
        }
    }
    return shown;
}

void syncQt() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        (void)screen->grabWindow(0, 0, 0, 1, 1);
    }
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

} // namespace screen
