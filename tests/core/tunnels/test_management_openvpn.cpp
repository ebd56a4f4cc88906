// ManagementClient reads real traffic counters from an openvpn pair on loopback: the
// bundle's openvpn program with its management interface on 127.0.0.1 11505, and a
// plain openvpn peer, joined by a static key over UDP without a tunnel device.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include "ManagementClient.h"
#include "ProcessPipe.h"
#include "TunnelTestSupport.h"

namespace {

int argc = 1;
char arg0[] = "test";
char* argv[] = {arg0, nullptr};

qint64 Counter(const QString& text, const QString& key) {
    QRegularExpression re(key + "(\\d+)");
    qint64 last = -1;
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        last = it.next().captured(1).toLongLong();
    }
    return last;
}

void Stop(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

TEST(ManagementClientOpenVPN, ReadsRealByteCountersFromLoadStats) {
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable("openvpn").isEmpty()) {
        GTEST_SKIP() << "openvpn is not installed (scripts/install-deps.sh installs it)";
    }
    ProjectFolder project;
    const QString key = QString::fromStdString(project.path + "/static.key");
    ASSERT_EQ(QProcess::execute("openvpn", {"--genkey", "secret", key}), 0);

    // A free UDP port for the listening side.
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const QString udpPort = QString::number(probe.localPort());
    probe.close();

    const QStringList common = {"--dev",   "null", "--secret", key, "--cipher", "AES-256-CBC",
                                "--proto", "udp",  "--ping",   "1", "--verb",   "3"};
    // The client's side runs as the home page runs it: started and ended through the
    // process runner. It says goodbye to its peer for two seconds when asked to end.
    ProcessPipe server;
    PROCESS_INFORMATION info;
    const std::string program = std::string(KORVA_SOURCE_DIR) + "/bundle/bin/OpenVPN/openvpn.exe";
    const std::string arguments =
        (common + QStringList{"--lport", udpPort, "--float", "--explicit-exit-notify", "2", "--management",
                              "127.0.0.1", "11505"})
            .join(' ')
            .toStdString();
    ASSERT_EQ(server.StartProcess(program.c_str(), arguments.c_str(), &info), "Success");
    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    peer.start("openvpn", common + QStringList{"--remote", "127.0.0.1", udpPort, "--nobind"});
    ASSERT_TRUE(peer.waitForStarted(10000));

    std::string console;
    (void)QTest::qWaitFor(
        [&] {
            std::string text = server.ReadAvailable();
            if (text != "Failed") {
                console += text;
            }
            return console.find("Initialization Sequence Completed") != std::string::npos;
        },
        60000);
    ASSERT_NE(console.find("Initialization Sequence Completed"), std::string::npos) << console;

    ManagementClient client;
    ASSERT_TRUE(client.Connect(11505));
    QString replies;
    qint64 in = -1;
    qint64 out = -1;
    QElapsedTimer clock;
    clock.start();
    // A request every 200 ms at most, as the client's ticks send them, until the counters
    // have grown.
    while ((in <= 0 || out <= 0) && clock.elapsed() < 30000) {
        client.RequestLoadStats();
        (void)QTest::qWaitFor(
            [&] {
                replies += client.ReadReply();
                in = Counter(replies, "bytesin=");
                out = Counter(replies, "bytesout=");
                return in > 0 && out > 0;
            },
            200);
    }
    EXPECT_GT(in, 0) << replies.toStdString();
    EXPECT_GT(out, 0) << replies.toStdString();
    EXPECT_TRUE(replies.contains("SUCCESS: nclients=0,bytesin=")) << replies.toStdString();

    // Ending it returns once it has gone: the fixed management port is free at once for
    // the next openvpn (the re-prompt after a refused login, the adapter's Retry).
    ASSERT_TRUE(server.KillProcess(info));
    QTcpServer next;
    EXPECT_TRUE(next.listen(QHostAddress(QHostAddress::LocalHost), 11505))
        << next.errorString().toStdString();
    next.close();

    // Once openvpn has ended, each tick reads an empty text.
    (void)QTest::qWaitFor([&] { return client.ReadReply().isEmpty(); }, 10000);
    client.RequestLoadStats();
    // What is checked is that no reply comes in a tick's time: there is nothing to wait for.
    QTest::qWait(200);
    EXPECT_EQ(client.ReadReply(), QString());
    Stop(peer);
}

} // namespace
