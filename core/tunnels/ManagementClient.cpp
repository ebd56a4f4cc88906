#include "ManagementClient.h"

#include "TunnelPaths.h"
#include "zrwlog.h"

#include <cstring>

namespace {

// How long a connect may take, and how long a request may wait to be sent.
constexpr int kConnectTimeLimitMs = 5000;
constexpr int kSendTimeLimitMs = 30000;

} // namespace

ManagementClient::ManagementClient() = default;

ManagementClient::~ManagementClient() {
    socket.Close();
}

bool ManagementClient::Connect(int port, const QString& password) {
    const bool connected = socket.ConnectTcp(TunnelPaths::kManagementHost, port, kConnectTimeLimitMs);
    if (connected && !password.isEmpty()) {
        const QByteArray line = password.toUtf8() + "\n";
        socket.Send(line.constData(), static_cast<size_t>(line.size()));
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
    if (!socket.IsOpen()) {
        return;
    }
    socket.Send(TunnelPaths::kLoadStatsRequest, std::strlen(TunnelPaths::kLoadStatsRequest));
    socket.WaitSent(kSendTimeLimitMs);
}

QString ManagementClient::ReadReply() {
    const std::string reply = socket.ReadAvailable();
    return QString::fromUtf8(reply.data(), static_cast<int>(reply.size()));
}

void ManagementClient::Close() {
    socket.Close();
}
