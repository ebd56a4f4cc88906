#include "ManagementClient.h"

#include "TunnelPaths.h"
#include "zrwlog.h"

ManagementClient::ManagementClient() : socket(nullptr) {}

ManagementClient::~ManagementClient() {
    socket.close();
}

bool ManagementClient::Connect(int port, const QString& password) {
    socket.abort();
    socket.connectToHost(QString::fromLatin1(TunnelPaths::kManagementHost), static_cast<quint16>(port),
                         QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    bool connected = socket.waitForConnected(5000);
    if (connected && !password.isEmpty()) {
        socket.write(password.toUtf8() + "\n");
        socket.flush();
    }
    if (connected) {
        ZRWLog(6, 3, "Connect to management {127.0.0.1:%d} success!\n", port);
    } else {
        ZRWLog(6, 3, "Connect to management {127.0.0.1:%d} falied!!\n", port);
    }
    return connected;
}

void ManagementClient::RequestLoadStats() {
    // A connection whose peer has gone takes no request.
    if (socket.state() != QAbstractSocket::ConnectedState) {
        return;
    }
    socket.write(QString::fromLatin1(TunnelPaths::kLoadStatsRequest).toUtf8());
    socket.waitForBytesWritten(30000);
}

QString ManagementClient::ReadReply() {
    // Without an event loop the socket learns of new data only when asked.
    socket.waitForReadyRead(0);
    return QString::fromUtf8(socket.readAll());
}

void ManagementClient::Close() {
    socket.abort();
}
