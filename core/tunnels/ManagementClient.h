// The client side of openvpn's management interface on 127.0.0.1: connects once after
// a connect and asks for the traffic counters ("load-stats") once a second.
#pragma once

#include <QString>
#include <QTcpSocket>

class ManagementClient {
public:
    ManagementClient();
    ~ManagementClient();
    ManagementClient(const ManagementClient&) = delete;
    ManagementClient& operator=(const ManagementClient&) = delete;

    // Drops any earlier connection and connects to 127.0.0.1:port within 5000 ms.
    bool Connect(int port);
    // Sends "load-stats" and a line feed.
    void RequestLoadStats();
    // Everything that has arrived and was not read before; never waits.
    QString ReadReply();
    // Ends the connection; the next Connect makes a new one.
    void Close();

private:
    QTcpSocket socket;
};
