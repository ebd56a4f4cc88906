// ManagementClient against a local fake management interface.
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "ManagementClient.h"
#include "TunnelTestSupport.h"

namespace {

int argc = 1;
char arg0[] = "test";
char* argv[] = {arg0, nullptr};
QCoreApplication* app() {
    static QCoreApplication instance(argc, argv);
    return &instance;
}

class ManagementClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        port = server.serverPort();
    }
    // The server side of the client's latest connection.
    QTcpSocket* Accept() {
        if (!server.hasPendingConnections()) {
            server.waitForNewConnection(5000);
        }
        return server.nextPendingConnection();
    }
    // Reads on the client until the text holds `needle` or 5 s have passed.
    QString ReadUntil(ManagementClient& client, const QString& needle) {
        QString all;
        (void)QTest::qWaitFor(
            [&] {
                all += client.ReadReply();
                return all.contains(needle);
            },
            5000);
        return all;
    }

    ProjectFolder project;
    QTcpServer server;
    int port = 0;
};

TEST_F(ManagementClientTest, ConnectsAndLogsSuccess) {
    ManagementClient client;
    EXPECT_TRUE(client.Connect(port));
    EXPECT_NE(project.Log().find("Connect to management {127.0.0.1:" + std::to_string(port) + "} success!\n"),
              std::string::npos);
}

TEST_F(ManagementClientTest, NoListenerGivesFalseAndTheFailureLine) {
    server.close();
    ManagementClient client;
    EXPECT_FALSE(client.Connect(port));
    EXPECT_NE(project.Log().find("Connect to management {127.0.0.1:" + std::to_string(port) + "} falied!!\n"),
              std::string::npos);
}

TEST_F(ManagementClientTest, SendsLoadStatsWithOneLineFeed) {
    ManagementClient client;
    ASSERT_TRUE(client.Connect(port));
    std::unique_ptr<QTcpSocket> peer(Accept());
    ASSERT_TRUE(peer);
    client.RequestLoadStats();
    client.RequestLoadStats();
    QByteArray got;
    for (int i = 0; i < 500 && got.size() < 22; ++i) {
        peer->waitForReadyRead(10);
        got += peer->readAll();
    }
    EXPECT_EQ(got, QByteArray("load-stats\nload-stats\n"));
}

TEST_F(ManagementClientTest, ThePasswordIsTheFirstLineBeforeAnyRequest) {
    ManagementClient client;
    ASSERT_TRUE(client.Connect(port, QStringLiteral("0123456789abcdef")));
    std::unique_ptr<QTcpSocket> peer(Accept());
    ASSERT_TRUE(peer);
    client.RequestLoadStats();
    const QByteArray expected("0123456789abcdef\nload-stats\n");
    QByteArray got;
    for (int i = 0; i < 500 && got.size() < expected.size(); ++i) {
        peer->waitForReadyRead(10);
        got += peer->readAll();
    }
    EXPECT_EQ(got, expected);
}

TEST_F(ManagementClientTest, ReplyIsEverythingUnreadWithoutFraming) {
    ManagementClient client;
    ASSERT_TRUE(client.Connect(port));
    std::unique_ptr<QTcpSocket> peer(Accept());
    ASSERT_TRUE(peer);
    EXPECT_EQ(client.ReadReply(), QString());
    peer->write(">INFO:OpenVPN Management Interface Version 5\r\nSUCCESS: nclients=0,bytes");
    peer->write("in=48,bytesout=64\r\n");
    peer->flush();
    QString text = ReadUntil(client, "bytesout=64\r\n");
    EXPECT_EQ(
        text,
        ">INFO:OpenVPN Management Interface Version 5\r\nSUCCESS: nclients=0,bytesin=48,bytesout=64\r\n");
    // What was read once is not handed out again.
    EXPECT_EQ(client.ReadReply(), QString());
}

TEST_F(ManagementClientTest, SecondConnectDropsTheFirstConnection) {
    ManagementClient client;
    ASSERT_TRUE(client.Connect(port));
    std::unique_ptr<QTcpSocket> first(Accept());
    ASSERT_TRUE(first);
    ASSERT_TRUE(client.Connect(port));
    std::unique_ptr<QTcpSocket> second(Accept());
    ASSERT_TRUE(second);
    for (int i = 0; i < 500 && first->state() == QAbstractSocket::ConnectedState; ++i) {
        first->waitForDisconnected(10);
    }
    EXPECT_NE(first->state(), QAbstractSocket::ConnectedState);
    second->write("SUCCESS: nclients=0,bytesin=1,bytesout=2\r\n");
    second->flush();
    EXPECT_TRUE(ReadUntil(client, "bytesout=2").contains("bytesout=2"));
}

TEST_F(ManagementClientTest, ReadsNothingAfterThePeerHasGone) {
    ManagementClient client;
    ASSERT_TRUE(client.Connect(port));
    std::unique_ptr<QTcpSocket> peer(Accept());
    ASSERT_TRUE(peer);
    peer->write("SUCCESS: nclients=0,bytesin=5,bytesout=6\r\n");
    peer->flush();
    peer->disconnectFromHost();
    peer.reset();
    ReadUntil(client, "bytesout=6");
    for (int tick = 0; tick < 3; ++tick) {
        client.RequestLoadStats();
        EXPECT_EQ(client.ReadReply(), QString());
    }
}

} // namespace
