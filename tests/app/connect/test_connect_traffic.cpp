// Traffic sampling once a second: the OpenVPN counters from a management interface
// double on 127.0.0.1 port 11505 (direction, MB and GB, a reply cut between two reads,
// a reply without counters, a counter that drops, the hourly buckets at midnight), and
// the WireGuard counters from "wg show" (direction, and a "wg show" that hangs while the
// page and a disconnect go on).
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "ConnectTestSupport.h"

using namespace connecttest;

namespace {

// Asks for the password that the client gave the openvpn double (as openvpn does), then
// answers each "load-stats" with the next reply the test has queued.
class ManagementDouble : public QObject {
public:
    ManagementDouble() {
        EXPECT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 11505)) << "port 11505 is taken";
        connect(&server, &QTcpServer::newConnection, this, [this] {
            // Only the first connection is the client under test.
            if (client != nullptr) {
                server.nextPendingConnection()->abort();
                return;
            }
            client = server.nextPendingConnection();
            client->write("ENTER PASSWORD:");
            connect(client, &QTcpSocket::readyRead, this, &ManagementDouble::serve);
        });
    }
    // Takes the requests that have come, each answered with the next queued reply. Also
    // called by the test while it waits, so that a request whose readyRead has not been
    // delivered yet still counts.
    void serve() {
        if (client == nullptr) {
            return;
        }
        client->waitForReadyRead(0);
        received += client->readAll();
        while (received.contains('\n')) {
            const int end = received.indexOf('\n');
            const QByteArray line = received.left(end);
            received.remove(0, end + 1);
            if (!passwordTaken) {
                passwordTaken = line + "\n" == readFile(QStringLiteral("openvpn-secret.txt")).toUtf8();
                client->write(passwordTaken ? "SUCCESS: password is correct\r\n>INFO:OpenVPN Management "
                                              "Interface Version 5 -- type 'help' for more info\r\n"
                                            : "ENTER PASSWORD:");
                continue;
            }
            ++requests;
            if (!replies.isEmpty()) {
                send(replies.takeFirst());
            }
        }
    }
    // Writes now rather than at the next turn of the event loop, so that the reply is
    // waiting for the client's next read.
    void send(const QByteArray& reply) {
        client->write(reply);
        client->flush();
    }
    QTcpServer server;
    QTcpSocket* client = nullptr;
    QByteArray received;
    bool passwordTaken = false;
    QList<QByteArray> replies;
    int requests = 0;
};

QByteArray stats(qint64 in, qint64 out) {
    return QByteArray("SUCCESS: nclients=0,bytesin=") + QByteArray::number(in) +
           ",bytesout=" + QByteArray::number(out) + "\r\n";
}

class TrafficSampling : public ConnectTest {
protected:
    void stopTheTick() {
        auto* tick = controller()->findChild<QTimer*>(QStringLiteral("statusTimer"));
        ASSERT_NE(tick, nullptr);
        tick->stop();
    }
    // One tick, after the management double (when there is one) has answered the previous
    // tick's request: each tick of a connected OpenVPN profile asks once.
    void tick() {
        if (management != nullptr) {
            // Its answers have left the double, so that they wait for the client's read.
            EXPECT_TRUE(guitest::waitFor(
                [this] {
                    management->serve();
                    return management->requests >= ticks && management->client->bytesToWrite() == 0;
                },
                5000))
                << "the double saw " << management->requests << " requests after " << ticks << " ticks";
        }
        QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
        ++ticks;
    }
    void at(const char* time) {
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(time), Qt::ISODate);
        controller()->setClock([when] { return when; });
    }
    ManagementDouble* management = nullptr;
    int ticks = 0;
    // An OpenVPN profile connected through the openvpn double, with the management double.
    void connectOpenVPN(ManagementDouble& double_) {
        management = &double_;
        addOpenVPNProfile(OpenVPNProfile());
        writeFile(QStringLiteral("openvpn-say"), "Initialization Sequence Completed\n");
        // The poll's own ticks find the result soon.
        timings.connectPollMs = 50;
        open("ovpn-office");
        stopTheTick();
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 5000));
        ASSERT_TRUE(controller()->isManagementConnected());
    }
};

TEST_F(TrafficSampling, OpenVPNCountersInTheirDirectionUnitAndHour) {
    ManagementDouble management;
    connectOpenVPN(management);
    at("2026-03-01T23:59:59");
    management.replies = {stats(1048576, 2097152), ">INFO:no counters here\r\n",
                          // 1536 MiB received, exactly 1024 MiB sent, cut between two writes.
                          "SUCCESS: nclients=0,bytesin=1610612736,bytes"};

    tick(); // asks; the answer comes at the next tick
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -"));
    tick();
    EXPECT_EQ(text("labelDownload"), QStringLiteral("1.00")) << "bytesin is what was received";
    EXPECT_EQ(text("labelUpload"), QStringLiteral("2.00")) << "bytesout is what was sent";
    EXPECT_EQ(text("label_8"), QStringLiteral("MB"));
    EXPECT_DOUBLE_EQ(controller()->hourlyDownloadMiB()[23], 1.0);
    EXPECT_DOUBLE_EQ(controller()->hourlyUploadMiB()[23], 2.0);

    // A reply without counters keeps the totals and adds nothing.
    tick();
    EXPECT_EQ(text("labelDownload"), QStringLiteral("1.00"));
    EXPECT_DOUBLE_EQ(controller()->downloadTotalMiB(), 1.0);

    // After midnight the hour is 0; a reply cut in the middle of a line waits for its end.
    at("2026-03-02T00:00:01");
    tick();
    EXPECT_EQ(text("labelDownload"), QStringLiteral("1.00"));
    management.send("out=1073741824\r\n");
    tick();
    EXPECT_EQ(text("labelDownload"), QStringLiteral("1.50"));
    EXPECT_EQ(text("label_9"), QStringLiteral("GB"));
    EXPECT_EQ(text("labelUpload"), QStringLiteral("1024.00"));
    EXPECT_EQ(text("label_8"), QStringLiteral("MB"));
    EXPECT_DOUBLE_EQ(controller()->hourlyDownloadMiB()[0], 1535.0);
    EXPECT_DOUBLE_EQ(controller()->hourlyUploadMiB()[0], 1022.0);
    EXPECT_DOUBLE_EQ(controller()->hourlyDownloadMiB()[23], 1.0);

    // A counter that drops adds nothing to the hour.
    management.send(stats(0, 0));
    tick();
    EXPECT_EQ(text("labelDownload"), QStringLiteral("0.00"));
    EXPECT_DOUBLE_EQ(controller()->hourlyDownloadMiB()[0], 1535.0);
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 6s"));

    // The report carries the figures with their units, and both series.
    QSignalSpy report(page.get(), SIGNAL(signalUpdateConnectInfo(int, QString, QString, QString, QString,
                                                                 QVector<double>, QVector<double>)));
    management.send(stats(1610612736, 5 * 1048576));
    tick();
    ASSERT_EQ(report.count(), 1);
    EXPECT_EQ(report.first()[3].toString(), QStringLiteral("5.00 MB"));
    EXPECT_EQ(report.first()[4].toString(), QStringLiteral("1.50 GB"));
    EXPECT_DOUBLE_EQ(report.first()[6].value<QVector<double>>()[0], 1535.0 + 1536.0);

    // A new connection starts its totals from nothing; the hours keep what they had.
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED));
    EXPECT_FALSE(controller()->isManagementConnected());
    EXPECT_EQ(text("labelDownload"), QStringLiteral("- -"));
    EXPECT_DOUBLE_EQ(controller()->hourlyDownloadMiB()[23], 1.0);
}

TEST_F(TrafficSampling, WireGuardCountersAndAHangingWgShow) {
    addWireGuardProfile("wg-home");
    writeFile(QStringLiteral("wg-transfer"), "1.50 KiB received, 3.00 MiB sent");
    open("wg-home");
    at("2026-03-01T12:00:00");
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 10000));
    stopTheTick();
    tick();
    ASSERT_TRUE(guitest::waitFor([] { return readFile(QStringLiteral("wg-calls.txt")).count('\n') >= 2; }));
    // The reading is taken up at the tick after it has come back from the sampler.
    ASSERT_TRUE(guitest::waitFor([this] {
        tick();
        return controller()->uploadTotalMiB() > 0;
    }));
    EXPECT_DOUBLE_EQ(controller()->downloadTotalMiB(), 1.5 / 1024) << "received is the download";
    EXPECT_DOUBLE_EQ(controller()->uploadTotalMiB(), 3.0);
    EXPECT_EQ(text("labelUpload"), QStringLiteral("3.00"));
    EXPECT_EQ(text("labelDownload"), QStringLiteral("0.00"));
    EXPECT_DOUBLE_EQ(controller()->hourlyUploadMiB()[12], 3.0);

    // "wg show" hangs: the page's ticks go on; the reading comes when it answers.
    writeFile(QStringLiteral("wg-delay"), "1");
    writeFile(QStringLiteral("wg-transfer"), "2.00 MiB received, 4.00 MiB sent");
    for (int i = 0; i < 3; ++i) {
        tick();
    }
    const QString during = text("labelConnTime");
    EXPECT_EQ(text("labelUpload"), QStringLiteral("3.00"));
    EXPECT_TRUE(guitest::waitFor(
        [this] {
            tick();
            return text("labelUpload") == QStringLiteral("4.00");
        },
        8000));
    EXPECT_NE(text("labelConnTime"), during);
    EXPECT_EQ(text("labelDownload"), QStringLiteral("2.00"));

    // A reading that hangs holds up no disconnect.
    writeFile(QStringLiteral("wg-delay"), "6");
    tick();
    tick();
    press();
    EXPECT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 3000));
}

} // namespace
