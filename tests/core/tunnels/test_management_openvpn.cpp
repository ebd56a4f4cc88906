// ManagementClient reads real traffic counters from an openvpn pair on loopback: the
// bundle's openvpn program with its management interface on 127.0.0.1 11505 behind a
// password file, and a plain openvpn peer, joined by a static key over UDP without a
// tunnel device. Another local user, who reaches the interface first, can neither read the
// password file nor read or control the tunnel through the interface.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What another local user (nobody) sees who connects to the management interface and
// sends commands, and whether it may open the file: its bytes, "" when it could not
// connect, and "open refused" when the file could not be opened.
std::string AsAnotherUser(const std::string& secretFile, const std::string& commands) {
    int ends[2];
    if (pipe(ends) != 0) {
        return "no pipe";
    }
    const pid_t child = fork();
    if (child == 0) {
        // Only system calls from here on: the test process has other threads.
        close(ends[0]);
        const gid_t group = 65534;
        if (setgroups(1, &group) != 0 || setresgid(65534, 65534, 65534) != 0 ||
            setresuid(65534, 65534, 65534) != 0) {
            _exit(2);
        }
        const int file = open(secretFile.c_str(), O_RDONLY);
        if (file < 0 && errno == EACCES) {
            (void)!write(ends[1], "open refused\n", 13);
        } else if (file >= 0) {
            (void)!write(ends[1], "opened\n", 7);
        }
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(11505);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            (void)!write(fd, commands.data(), commands.size());
            // openvpn answers each line at once; what it says in a second is all there is.
            timeval wait = {1, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
                (void)!write(ends[1], buffer, static_cast<size_t>(n));
            }
        }
        _exit(0);
    }
    close(ends[1]);
    std::string seen;
    char buffer[4096];
    ssize_t n;
    while ((n = read(ends[0], buffer, sizeof(buffer))) > 0) {
        seen.append(buffer, static_cast<size_t>(n));
    }
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seen : "the other user could not be taken";
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
    const std::string program = std::string(KORVA_APP_DIR) + "/bin/OpenVPN/openvpn.exe";
    const std::string secretFile = project.path + "/management-secret";
    ASSERT_TRUE(WriteText(secretFile, "0123456789abcdef\n", 0600));
    const std::string arguments =
        (common + QStringList{"--lport", udpPort, "--float", "--explicit-exit-notify", "2", "--management",
                              "127.0.0.1", "11505", QString::fromStdString(secretFile)})
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

    // Another user first: asked for the password, every command is taken as a wrong
    // one, and openvpn runs on.
    const std::string other =
        AsAnotherUser(secretFile, "signal SIGTERM\nstate\nload-stats\n0123456789abcdeX\nstate\n");
    EXPECT_EQ(QString::fromStdString(other).remove(QStringLiteral("ENTER PASSWORD:")), "open refused\n")
        << other;
    EXPECT_NE(other.find("ENTER PASSWORD:"), std::string::npos) << other;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            console += server.TakeOutput();
            return console.find("MANAGEMENT: Client disconnected") != std::string::npos;
        },
        5000))
        << console;
    EXPECT_EQ(console.find("SIGTERM"), std::string::npos) << console;
    EXPECT_EQ(::kill(info.dwProcessId, 0), 0) << "openvpn ended on another user's word";

    // The client, with the password, reads the counters.
    ManagementClient client;
    ASSERT_TRUE(client.Connect(11505, QStringLiteral("0123456789abcdef")));
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
    EXPECT_TRUE(replies.contains("SUCCESS: password is correct")) << replies.toStdString();
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
