#include "ZRSingleApplication.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>
#include <QWidget>
#include <string>

#include "AppConstants.h"
#include "RunFolder.h"
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
    QLocalSocket socket;
    socket.connectToServer(serverName, QIODevice::ReadWrite);
    if (socket.waitForConnected(AppConstants::kConnectWaitMs)) {
        QTextStream stream(&socket);
        stream << (argument != nullptr ? QString::fromLocal8Bit(argument) : QString());
        stream.flush();
        socket.flush();
        socket.waitForBytesWritten(AppConstants::kWriteWaitMs);
    }
}

void ZRSingleApplication::newLocalServer() {
    localServer = new QLocalServer(this);
    connect(localServer, SIGNAL(newConnection()), this, SLOT(_newLocalConnection()));
    if (localServer->listen(serverName)) {
        return;
    }
    // This process holds the instance lock, so a socket file left at the name belongs
    // to an instance that has ended: it is removed and listening tried once more.
    if (localServer->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(serverName);
        localServer->listen(serverName);
    }
}

void ZRSingleApplication::_newLocalConnection() {
    QLocalSocket* socket = localServer->nextPendingConnection();
    if (socket == nullptr) {
        return;
    }
    socket->waitForReadyRead(AppConstants::kReadWaitMs);
    QTextStream stream(socket);
    stream.readAll();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (auto* client = qobject_cast<ZRVPNClient*>(widget)) {
            client->bringToFront();
        }
    }
    delete socket;
}

void ZRSingleApplication::activateMainWindow() {
    if (mainWindow != nullptr) {
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}
