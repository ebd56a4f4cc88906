// What the X server shows, read back from the server itself: the tests of the real-display
// lane compare it with what a widget paints (grab(), which paints the widget afresh), and
// ask the server whether a window is mapped, minimised or above another.
//
// The tests run under tests/display/xdisplay.sh, on an Xvfb of their own with Qt's xcb
// platform, without a window manager ("bare") or with openbox ("openbox"). The same test
// programs also run offscreen, where there is no server to read: the screen checks then
// report that and the tests skip them.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace screen {

// "bare" (Xvfb alone), "openbox" (Xvfb with openbox), or empty (offscreen).
QString displayKind();
// True when Qt draws on an X server (the xcb platform).
bool onDisplay();

// A connection to the X server of its own, apart from Qt's: what it reads is what the
// server holds, whatever Qt still has to send.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool connected() const { return connection != nullptr; }
    // The screen's pixels in that area (global coordinates), as RGB32.
    QImage picture(const QRect& area) const;
    // The window and all its ancestors are mapped.
    bool viewable(quint32 window) const;
    // The ICCCM WM_STATE a window manager gives a client window: 1 normal, 3 iconic (minimised);
    // -1 where it set none (no window manager).
    int wmState(quint32 window) const;
    // Mapped on the screen, or minimised by a window manager.
    bool mappedOrMinimised(quint32 window) const;
    // The children of the root window from the bottom of the stack to its top.
    std::vector<quint32> stack() const;
    // The child of the root window that holds the window: the window itself, or the frame a
    // window manager put around it.
    quint32 topLevelOf(quint32 window) const;
    // Asks for the window to be raised to the top of the stack, as a click on it does under
    // a window manager (which decides what follows it up).
    void raise(quint32 window) const;
    // Returns once the window manager has handled every request this connection sent before
    // (a raise it decides on): it is asked for a scratch window's frame extents, which it
    // answers after what came before; true at once where no window manager runs, false
    // when no answer came within timeoutMs.
    bool syncWindowManager(int timeoutMs = 30000) const;
    // Where the window's top-left corner lies on the screen, as the server has placed it.
    QPoint origin(quint32 window) const;
    // True when `upper` lies above `lower` in the stack of the root's children.
    bool stackedAbove(quint32 upper, quint32 lower) const;
    // Gives the root window a plain background of that colour, so that what shows where no
    // window paints is plainly not black.
    void setRootColour(QRgb colour) const;

private:
    xcb_connection_t* connection = nullptr;
    quint32 root = 0;
};

// How a picture a widget paints and the screen at the widget's place differ, over the
// pixels the widget paints opaque (its translucent shadow margins show whatever lies
// beneath and are left out).
struct Difference {
    int compared = 0;
    int differing = 0;
    // True when at most a few scattered pixels differ (a text cursor's blink).
    bool same() const;
};
Difference compare(const QImage& painted, const QImage& shown);

// The widget's rectangle on the screen, from its window's place as the server has it.
QRect placeOnScreen(QWidget* widget, const XServer& server);
// What the widget's window paints at the widget's place now (grab() of the window).
QImage paintedNow(QWidget* widget);
// Compares that picture with the screen at the widget's place.
Difference widgetOnScreen(QWidget* widget, const XServer& server);

// Processes events until the screen shows what the widget paints now; false when it still
// does not after timeoutMs. On a failure both pictures are written into the working
// folder as screen-<name>.png and painted-<name>.png, and `report` says where.
// The limit is generous: a busy machine takes seconds to bring a window to the screen.
bool waitShown(QWidget* widget, const XServer& server, const QString& name, QString* report = nullptr,
               int timeoutMs = 30000);

// Processes events until `condition` holds; false when it still does not after timeoutMs.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// Returns once the X server has carried out every request Qt has sent it so far: a round
// trip on Qt's own connection (a one-pixel read of the screen), after which what the test's
// connection reads already shows them.
void syncQt();

} // namespace screen
