// Whether the screen of a window blends the window's translucent pixels with what lies
// beneath. On X11 that takes a compositing manager, which owns the selection
// _NET_WM_CM_S<screen number>; without one (a bare X server, a window manager alone, many
// lightweight or remote desktops) the server shows a translucent pixel as its colour over
// black, so a transparent margin shows black. Every other platform (Wayland, offscreen)
// blends.
//
// The selection's owner is asked through the xcb connection of Qt's xcb platform, at each
// call. A compositing manager that starts or stops while the program runs is followed:
// Qt's xcb platform has the server report every change of that selection's owner (XFixes),
// and such a report makes the check again and tells of a changed answer through changed().
#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QObject>

class QWidget;

class Compositing : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The watcher of the application (made on first use, in the GUI thread).
    static Compositing* instance();

    // True when the screen the window is on blends its translucent pixels.
    bool blendsFor(const QWidget* window);

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

signals:
    // A compositing manager started or stopped on a screen that was asked about.
    void changed();

private:
    Compositing();
    // The X screen number of the window's screen; -1 off X11.
    int screenNumberOf(const QWidget* window) const;
    // Asks the server whether the selection of that screen has an owner.
    bool managerRuns(int screenNumber);
    // Asks again for every screen asked about so far; emits changed() on a new answer.
    void checkAgain();

    void* connection = nullptr;   // Qt's xcb_connection_t, null off X11
    int selectionNotifyType = -1; // the XFixes SelectionNotify event's code, -1 without XFixes
    QHash<int, quint32> atoms;    // screen number -> _NET_WM_CM_S<n>
    QHash<int, bool> lastAnswers; // screen number -> a compositing manager ran at the last check
    bool checkQueued = false;
};
