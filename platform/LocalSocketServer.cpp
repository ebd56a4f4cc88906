#include "LocalSocketServer.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// How many connections the kernel keeps waiting for accept().
constexpr int kListenQueue = 50;

} // namespace

LocalSocketServer::LocalSocketServer(QObject* parent) : QObject(parent) {}

LocalSocketServer::~LocalSocketServer() {
    // Not inside the notifier's signal here: it goes at once.
    delete notifier;
    notifier = nullptr;
    stop();
}

LocalSocketServer::ListenResult LocalSocketServer::listen(const std::string& socketPath) {
    stop();
    lastError = 0;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof(address.sun_path)) {
        lastError = ENAMETOOLONG;
        return ListenResult::Failed;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int made = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (made < 0) {
        lastError = errno;
        return ListenResult::Failed;
    }
    if (bind(made, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        lastError = errno;
        close(made);
        return lastError == EADDRINUSE ? ListenResult::AddressInUse : ListenResult::Failed;
    }
    if (::listen(made, kListenQueue) != 0) {
        lastError = errno;
        close(made);
        unlink(socketPath.c_str());
        return ListenResult::Failed;
    }
    descriptor = made;
    path = socketPath;
    notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &LocalSocketServer::onListenerReadable);
    return ListenResult::Listening;
}

void LocalSocketServer::stop() {
    waiting.clear();
    if (descriptor < 0) {
        return;
    }
    // Deleted later: stop() may run inside the notifier's own signal.
    if (notifier != nullptr) {
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    close(descriptor);
    descriptor = -1;
    unlink(path.c_str());
    path.clear();
}

StreamSocket LocalSocketServer::nextConnection() {
    if (waiting.empty()) {
        return StreamSocket();
    }
    StreamSocket next = std::move(waiting.front());
    waiting.pop_front();
    return next;
}

bool LocalSocketServer::removeSocketFile(const std::string& socketPath) {
    // unlink() removes a link itself and refuses a folder.
    return unlink(socketPath.c_str()) == 0 || errno == ENOENT;
}

void LocalSocketServer::onListenerReadable() {
    int accepted;
    do {
        accepted = accept4(descriptor, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    } while (accepted < 0 && errno == EINTR);
    if (accepted < 0) {
        // A connection that went away before it was taken, or none after all: nothing to do.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) {
            return;
        }
        // Any other failure (no descriptors or memory left) would come back at every turn
        // of the event loop: the server stops.
        lastError = errno;
        stop();
        return;
    }
    waiting.emplace_back(accepted);
    emit newConnection();
}
