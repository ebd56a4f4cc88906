#include "ZRSingleApplication.h"

#include <QWidget>
#include <string>

#include "AppConstants.h"
#include "LocalSocketServer.h"
#include "RunFolder.h"
#include "StreamSocket.h"
#include "SystemHelpers.h"
#include "ZRVPNClient.h"

ZRSingleApplication::ZRSingleApplication(int& argc, char** argv)
    : QApplication(argc, argv), mainWindow(nullptr), running(false), localServer(nullptr),
      serverName(localServerPath()) {
    initLocalConnection(argc > 1 ? argv[1] : nullptr);
}

ZRSingleApplication::~ZRSingleApplication() = default;

QString ZRSingleApplication::localServerPath() {
    const std::string folder = RunFolder();
    if (folder.empty()) {
        return QString();
    }
    return QString::fromLocal8Bit(folder.c_str()) + QLatin1Char('/') +
           QLatin1String(AppConstants::kLocalServerName);
}

bool ZRSingleApplication::isRunning() {
    return running;
}

void ZRSingleApplication::initLocalConnection(const char* argument) {
    running = false;
    std::string error;
    const int lock = TakeInstanceLock(AppConstants::kInstanceLockName, &error);
    if (lock < 0) {
        // Without the lock nothing tells whether another instance runs: this one does not
        // start, rather than run beside it.
        lockFailed = true;
        lockError = QString::fromLocal8Bit(error.c_str());
        return;
    }
    if (lock == 0) {
        newLocalServer();
        return;
    }
    running = true;
    // The message is the argument in the locale's encoding; the first instance reads and
    // drops it, and comes to the front.
    StreamSocket socket;
    if (socket.ConnectLocal(serverName.toLocal8Bit().toStdString(), AppConstants::kConnectWaitMs)) {
        const QByteArray message =
            (argument != nullptr ? QString::fromLocal8Bit(argument) : QString()).toLocal8Bit();
        socket.Send(message.constData(), static_cast<size_t>(message.size()));
        socket.WaitSent(AppConstants::kWriteWaitMs);
    }
}

void ZRSingleApplication::newLocalServer() {
    localServer = new LocalSocketServer(this);
    connect(localServer, &LocalSocketServer::newConnection, this, &ZRSingleApplication::_newLocalConnection);
    const std::string path = serverName.toLocal8Bit().toStdString();
    if (localServer->listen(path) != LocalSocketServer::ListenResult::AddressInUse) {
        return;
    }
    // This process holds the instance lock, so a socket file left at the name belongs
    // to an instance that has ended: it is removed and listening tried once more.
    LocalSocketServer::removeSocketFile(path);
    localServer->listen(path);
}

void ZRSingleApplication::_newLocalConnection() {
    StreamSocket socket = localServer->nextConnection();
    if (!socket.IsOpen()) {
        return;
    }
    socket.WaitReadable(AppConstants::kReadWaitMs);
    socket.ReadAvailable();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (auto* client = qobject_cast<ZRVPNClient*>(widget)) {
            client->bringToFront();
        }
    }
}

void ZRSingleApplication::activateMainWindow() {
    if (mainWindow != nullptr) {
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}
