// The client side of openvpn's management interface on 127.0.0.1: connects once after
// a connect and asks for the traffic counters ("load-stats") once a second. The interface
// takes commands only after the password that the client gave openvpn, so that no other
// local user may read or control the tunnel through it.
#pragma once

#include <QString>

#include "StreamSocket.h"

class ManagementClient {
public:
    ManagementClient();
    ~ManagementClient();
    ManagementClient(const ManagementClient&) = delete;
    ManagementClient& operator=(const ManagementClient&) = delete;

    // Drops any earlier connection and connects to 127.0.0.1:port within 5000 ms; then sends
    // the password, when given, as the interface's first line (without waiting for its
    // prompt, so that the window never waits for openvpn; its answer is read with the
    // first reply).
    bool Connect(int port, const QString& password = QString());
    // Sends "load-stats" and a line feed.
    void RequestLoadStats();
    // Everything that has arrived and was not read before; never waits.
    QString ReadReply();
    // Ends the connection; the next Connect makes a new one.
    void Close();

private:
    StreamSocket socket;
};
