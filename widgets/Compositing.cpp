#include "Compositing.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <QX11Info>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// XFixes' SelectionNotify event as it comes off the wire (the layout of the protocol).
struct SelectionNotifyEvent {
    uint8_t responseType;
    uint8_t subtype;
    uint16_t sequence;
    uint32_t window;
    uint32_t owner;
    uint32_t selection;
    uint32_t timestamp;
    uint32_t selectionTimestamp;
};
// SelectionNotify is the first event of the XFixes extension.
const int kSelectionNotifyOffset = 0;

xcb_connection_t* xcb(void* connection) {
    return static_cast<xcb_connection_t*>(connection);
}

} // namespace

Compositing* Compositing::instance() {
    // It belongs to the application (it answers for the application's connection); a
    // program that makes a new application gets a new one.
    static QPointer<Compositing> watcher;
    if (watcher.isNull()) {
        watcher = new Compositing;
    }
    return watcher;
}

Compositing::Compositing() : QObject(QCoreApplication::instance()) {
    if (!QX11Info::isPlatformX11() || QX11Info::connection() == nullptr) {
        return;
    }
    connection = QX11Info::connection();
    const char* const name = "XFIXES";
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
        xcb(connection), xcb_query_extension(xcb(connection), static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    if (reply != nullptr) {
        if (reply->present != 0) {
            selectionNotifyType = reply->first_event + kSelectionNotifyOffset;
        }
        std::free(reply);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

int Compositing::screenNumberOf(const QWidget*) const {
    // Qt puts every window of the program on the display's default X screen.
    return connection == nullptr ? -1 : QX11Info::appScreen();
}

bool Compositing::managerRuns(int screenNumber) {
    auto atom = atoms.constFind(screenNumber);
    if (atom == atoms.constEnd()) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            xcb(connection),
            xcb_intern_atom(xcb(connection), 0, static_cast<uint16_t>(name.size()), name.constData()),
            nullptr);
        if (reply == nullptr) {
            return false;
        }
        atom = atoms.insert(screenNumber, reply->atom);
        std::free(reply);
    }
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        xcb(connection), xcb_get_selection_owner(xcb(connection), *atom), nullptr);
    const bool runs = reply != nullptr && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    lastAnswers.insert(screenNumber, runs);
    return runs;
}

bool Compositing::blendsFor(const QWidget* window) {
    const int screenNumber = screenNumberOf(window);
    return screenNumber < 0 || managerRuns(screenNumber);
}

void Compositing::checkAgain() {
    checkQueued = false;
    bool news = false;
    const QHash<int, bool> before = lastAnswers;
    for (auto answer = before.constBegin(); answer != before.constEnd(); ++answer) {
        news = managerRuns(answer.key()) != answer.value() || news;
    }
    if (news) {
        emit changed();
    }
}

bool Compositing::nativeEventFilter(const QByteArray& eventType, void* message, long*) {
    if (selectionNotifyType < 0 || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != selectionNotifyType) {
        return false;
    }
    const auto* notify = static_cast<const SelectionNotifyEvent*>(message);
    bool watched = false;
    for (const quint32 atom : atoms) {
        watched = watched || notify->selection == atom;
    }
    // The check runs once the event has been handled, and once for a burst of them.
    if (watched && !checkQueued) {
        checkQueued = true;
        QMetaObject::invokeMethod(
            this, [this] { checkAgain(); }, Qt::QueuedConnection);
    }
    return false;
}
