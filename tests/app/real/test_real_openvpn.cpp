// OpenVPN end to end: the client's home page, its credentials prompt and the bundle's
// openvpn against a real OpenVPN TLS server that checks the user name and password (and
// counts the attempts) and pushes a DNS server and domain, in a network namespace of its
// own; the test's resolver configuration is its own. Good credentials typed into the
// prompt reach "Connected", a ping through the tunnel answers, the traffic figures grow
// and Disconnect ends openvpn; a wrong password makes one attempt and comes back to the
// prompt with its warning; the main window's close while connected or connecting leaves
// no openvpn and no tunnel. The pushed DNS and a profile's own reach the resolver while
// connected and leave it with the tunnel, however it ends. A profile's scripts and
// plug-ins never run; openvpn's end by itself (killed, the server gone quiet, the
// management port taken) shows within two seconds with its reason; openvpn's output never
// holds it up.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTcpServer>
#include <arpa/inet.h>
#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "AppConstants.h"
#include "RealTestSupport.h"
#include "ThrowawayUser.h"
#include "TunnelPaths.h"
#include "ZRStringConstant.h"

using namespace realtest;

namespace {

const Isolation isolation;

const char* const kUser = "alice";
const char* const kPassword = "correct horse";
// What the server pushes and what a profile sets of its own (as the editor writes it from
// its DNS field).
const char* const kPushedDns =
    "push \"dhcp-option DNS 10.77.0.1\"\npush \"dhcp-option DOMAIN pushed.example\"\n";
const char* const kProfileDns = "dhcp-option DNS 10.77.0.53\ndhcp-option DOMAIN corp.example\n";

class RealOpenVPN : public RealTest {
protected:
    void SetUp() override {
        RealTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("ovpn", 1);
        ASSERT_EQ(peer->error(), "");
        server =
            std::make_unique<realvpn::OpenVPNServer>(*peer, serverFolder->path().toStdString(), kUser,
                                                     kPassword, 77, realvpn::OpenVPNClientKeys(), kPushedDns);
        ASSERT_EQ(server->error(), "");
        ASSERT_EQ(realvpn::ResolverConfiguration(), realvpn::kEarlierResolvConf);
    }
    void TearDown() override {
        RealTest::TearDown();
        server.reset();
        peer.reset();
    }
    // An OpenVPN profile that asks for its credentials at every connect; `extra` ends its
    // configuration.
    void addProfile(const char* name, const std::string& remote = std::string(),
                    const std::string& extra = std::string()) {
        OpenVPNInfo info;
        std::snprintf(info.ServerIP, sizeof(info.ServerIP), "%s", peer->peerAddress.c_str());
        info.ServerPort = 1194;
        info.NeedPwd = 1;
        info.PromptPwd = 1;
        info.VPNConfig = server->clientConfig("./Config/openvpn/ovpnpwd.txt", remote) + extra;
        ASSERT_EQ(hometest::store()->InsertOpenVPNConfig(&info), 0);
        hometest::addProfileRow(name, VPN_TYPE_OPENVPN, info.ID);
    }
    // Answers the next credentials prompt with the given password; records its warning.
    void answerPrompt(const QString& password, bool* warned = nullptr) {
        guitest::answerNextModal(
            [password, warned](QWidget* modal) {
                if (warned != nullptr) {
                    *warned = modal->findChild<QLabel*>("labelWarning")->isVisible();
                }
                auto* user = modal->findChild<QLineEdit*>("lineEditAccount");
                user->clear();
                QTest::keyClicks(user, QString::fromLatin1(kUser));
                auto* secret = modal->findChild<QLineEdit*>("lineEditPassword");
                secret->clear();
                QTest::keyClicks(secret, password);
                modal->findChild<QPushButton*>("btnLogin")->click();
            },
            "AccountLoginDialog", 30000);
    }
    static bool credentialFileExists() { return QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")); }
    // Connects the named profile through the prompt.
    void connectProfile(const char* name) {
        open(name);
        answerPrompt(QString::fromLatin1(kPassword));
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000))
            << guitest::logText().toStdString() << server->log();
    }
    static bool resolverHas(const std::string& line) {
        return realvpn::ResolverConfiguration().find(line + "\n") != std::string::npos;
    }
    // The page's failure with the text of the key, and nothing left behind.
    void expectEndedWith(const char* key) {
        EXPECT_EQ(status(), CONNECT_STATUS_DISCONNECTED);
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        EXPECT_TRUE(guitest::waitFor([key] { return guitest::toastText() == ZRStringConstant::tr(key); }))
            << guitest::toastText().toStdString();
        expectNothingLeft("openvpn", "tun");
        EXPECT_FALSE(credentialFileExists());
        EXPECT_TRUE(guitest::waitFor([] {
            return realvpn::ResolverConfiguration() == realvpn::kEarlierResolvConf;
        })) << realvpn::ResolverConfiguration();
    }

    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::OpenVPNServer> server;
};

TEST_F(RealOpenVPN, GoodCredentialsConnectCarryTrafficAndDisconnect) {
    addProfile("office");
    open("office");
    answerPrompt(QString::fromLatin1(kPassword));
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTING, 10000));
    savePictures(QStringLiteral("openvpn-connecting"));
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000))
        << guitest::logText().toStdString() << server->log();
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Connected"));
    EXPECT_TRUE(text("labelIP").startsWith(QStringLiteral("10.77.0."))) << text("labelIP").toStdString();
    EXPECT_EQ(text("labelMask"), QStringLiteral("255.255.255.0"));
    EXPECT_FALSE(credentialFileExists()) << "the password left the disk with the result";
    EXPECT_TRUE(controller()->isManagementConnected());

    // A ping through the tunnel answers, and the counters grow with the traffic.
    ASSERT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 10)) << server->log();
    ASSERT_TRUE(guitest::waitFor([this] { return controller()->downloadTotalMiB() > 0; }, 10000));
    const double received = controller()->downloadTotalMiB();
    const double sent = controller()->uploadTotalMiB();
    for (int i = 0; i < 5; ++i) {
        realvpn::PingAnswers(server->tunnelAddress(), 1, 30000);
    }
    EXPECT_TRUE(guitest::waitFor(
        [&] { return controller()->downloadTotalMiB() > received && controller()->uploadTotalMiB() > sent; },
        10000));
    EXPECT_NE(text("labelDownload"), QStringLiteral("- -"));
    // The picture after a tick has put the readings into the chart.
    const int seconds = controller()->connectedSeconds();
    ASSERT_TRUE(guitest::waitFor([&] { return controller()->connectedSeconds() > seconds; }, 30000));
    savePictures(QStringLiteral("openvpn-connected"));

    const std::vector<pid_t> running = realvpn::ProcessesInThisNetwork("openvpn");
    ASSERT_EQ(running.size(), 1u);
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));
    expectNothingLeft("openvpn", "tun");
    EXPECT_FALSE(credentialFileExists());
    EXPECT_FALSE(controller()->isManagementConnected());
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 0s"));
    savePictures(QStringLiteral("openvpn-disconnected"));
}

TEST_F(RealOpenVPN, EachTypedPasswordMakesOneAttemptAndARefusalAsksAgain) {
    addProfile("office");
    open("office");
    answerPrompt(QStringLiteral("wrong password"));
    press();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
    // The refusal brings the prompt back with its warning, openvpn already ended after the
    // one attempt; the right password then connects with one more.
    bool warned = false;
    bool gone = false;
    int attempts = 0;
    guitest::answerNextModal(
        [&](QWidget* modal) {
            warned = modal->findChild<QLabel*>("labelWarning")->isVisible();
            gone = realvpn::ProcessesInThisNetwork("openvpn").empty();
            attempts = server->authAttempts();
            QTest::keyClicks(modal->findChild<QLineEdit*>("lineEditAccount"), QString::fromLatin1(kUser));
            QTest::keyClicks(modal->findChild<QLineEdit*>("lineEditPassword"),
                             QString::fromLatin1(kPassword));
            modal->findChild<QPushButton*>("btnLogin")->click();
        },
        "AccountLoginDialog", 40000);
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 45000))
        << guitest::logText().toStdString() << server->log();
    EXPECT_TRUE(warned);
    EXPECT_TRUE(gone) << "openvpn runs on behind the prompt";
    EXPECT_EQ(attempts, 1) << "one typed password, one attempt";
    EXPECT_EQ(server->authAttempts(), 2);
    EXPECT_TRUE(
        guitest::logText().contains(QStringLiteral("OpenVPN :: connect finished, errorcode = -6 \n")));
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));

    // Refused again, and the prompt closed this time: the attempt fails.
    answerPrompt(QStringLiteral("wrong again"));
    press();
    guitest::answerNextModal(
        [&](QWidget* modal) {
            attempts = server->authAttempts();
            modal->findChild<QPushButton*>("btnClose")->click();
        },
        "AccountLoginDialog", 40000);
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 45000)) << guitest::logText().toStdString();
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
    savePictures(QStringLiteral("openvpn-refused"));
    expectNothingLeft("openvpn", "tun");
    EXPECT_FALSE(credentialFileExists());
    EXPECT_EQ(server->authAttempts(), 3);
}

TEST_F(RealOpenVPN, CloseWhileConnectedOrConnectingLeavesNothing) {
    addProfile("office");
    // A server address where nobody answers: the connect goes on until it is closed.
    addProfile("nowhere", "198.18.1.3");
    for (const char* name : {"office", "nowhere"}) {
        SCOPED_TRACE(name);
        const bool connect = std::string(name) == "office";
        openWindow(name);
        answerPrompt(QString::fromLatin1(kPassword));
        press();
        if (connect) {
            ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000)) << guitest::logText().toStdString();
        } else {
            // openvpn runs and the poll reads what it says.
            ASSERT_TRUE(waitPolling("openVPNPollTimer"));
            // openvpn runs once the bundle's script has read the profile through its filter.
            ASSERT_TRUE(guitest::waitFor([] { return !realvpn::ProcessesInThisNetwork("openvpn").empty(); }));
            ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
            EXPECT_TRUE(credentialFileExists());
        }
        if (connect) {
            EXPECT_TRUE(resolverHas("nameserver 10.77.0.1"));
        }
        // The tray pop-up's Quit, as the system's close: the window ends what runs.
        EXPECT_EQ(closeWindow(), 0);
        EXPECT_TRUE(realvpn::ProcessesInThisNetwork("openvpn").empty())
            << "the close returned before openvpn ended";
        expectNothingLeft("openvpn", "tun");
        EXPECT_FALSE(credentialFileExists());
        EXPECT_EQ(realvpn::ResolverConfiguration(), realvpn::kEarlierResolvConf);
        dropWindow();
    }
}

TEST_F(RealOpenVPN, TheTunnelsDnsReachesTheResolverAndLeavesWithTheTunnel) {
    // The server's pushed DNS, taken away by Disconnect.
    addProfile("office");
    connectProfile("office");
    EXPECT_TRUE(resolverHas("nameserver 10.77.0.1")) << realvpn::ResolverConfiguration();
    EXPECT_TRUE(resolverHas("search pushed.example")) << realvpn::ResolverConfiguration();
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));
    EXPECT_EQ(realvpn::ResolverConfiguration(), realvpn::kEarlierResolvConf);
    closePage();

    // A profile's own DNS (the editor's DNS field) beside the pushed one; openvpn killed,
    // so that its own down script never runs: the page shows the end within two seconds
    // and the client takes the DNS away.
    addProfile("manual", std::string(), kProfileDns);
    connectProfile("manual");
    EXPECT_TRUE(resolverHas("nameserver 10.77.0.53")) << realvpn::ResolverConfiguration();
    EXPECT_TRUE(resolverHas("nameserver 10.77.0.1")) << realvpn::ResolverConfiguration();
    EXPECT_NE(realvpn::ResolverConfiguration().find("corp.example"), std::string::npos)
        << realvpn::ResolverConfiguration();
    const std::vector<pid_t> running = realvpn::ProcessesInThisNetwork("openvpn");
    ASSERT_EQ(running.size(), 1u);
    QElapsedTimer clock;
    clock.start();
    ::kill(running.front(), SIGKILL);
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 5000));
    EXPECT_LT(clock.elapsed(), 2000) << "the page showed openvpn's end after " << clock.elapsed() << " ms";
    expectEndedWith(AppConstants::kOpenVPNEndedKey);
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 0s"));
    savePictures(QStringLiteral("openvpn-ended"));
}

TEST_F(RealOpenVPN, AProfileRunsNoProgramAndLoadsNoCode) {
    // The script and the plug-in work: run or loaded, each leaves its mark.
    const std::string folder = workFolder();
    const std::string script = folder + "/marker.sh";
    ASSERT_TRUE(realvpn::WriteFile(
        script, "#!/bin/sh\necho \"$script_type\" >> '" + folder + "/script-ran'\n", 0755));
    void* loaded = dlopen(REAL_MARKER_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(loaded, nullptr) << dlerror();
    dlclose(loaded);
    ASSERT_TRUE(QFile::remove(QStringLiteral("korva-plugin-loaded"))) << "the plug-in leaves no mark";

    // A profile with every kind, as a profile stored before the import refused them.
    const std::string plugin = REAL_MARKER_PLUGIN;
    addProfile("office", std::string(),
               "script-security 2\nup " + script + "\nroute-up " + script + "\ndown " + script +
                   "\nipchange " + script + "\n\"tls-verify\" " + script + "\nplugin " + plugin +
                   "\nsetenv opt plugin " + plugin + "\n--plugin " + plugin + "\n");
    connectProfile("office");
    ASSERT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 10)) << server->log();
    // The connect's copy of the profile names neither the script nor the plug-in.
    const std::string copy = realvpn::ReadFile(std::string(TunnelPaths::kOpenVPNConfigDir) + "/office.ovpn");
    EXPECT_NE(copy.find("remote "), std::string::npos) << copy;
    EXPECT_EQ(copy.find(script), std::string::npos) << copy;
    EXPECT_EQ(copy.find(plugin), std::string::npos) << copy;
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + "/script-ran")))
        << realvpn::ReadFile(folder + "/script-ran");
    EXPECT_FALSE(QFile::exists(QStringLiteral("korva-plugin-loaded")))
        << "openvpn loaded the profile's plug-in";
    for (const char* directive :
         {"script-security", "up", "route-up", "down", "ipchange", "tls-verify", "plugin", "setenv"}) {
        EXPECT_TRUE(guitest::logText().contains(QStringLiteral("'%1' is left out").arg(directive)))
            << directive;
    }
}

// A listener of another user's on the loopback port, where a profile's HTTP proxy would
// be: it writes what every connection to it sends into the file, and ends at "END". It
// is ended with the test however the test ends.
class ListenerAs {
public:
    ListenerAs(const testsupport::ThrowawayUser& user, int port, const std::string& capture) : port(port) {
        pid = fork();
        if (pid == 0) {
            listen(user, capture);
        }
    }
    ~ListenerAs() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    bool started() const { return pid > 0; }
    // Sends "END" and waits for the listener's end; false when it was gone already.
    bool end() {
        const int connection = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(port);
        const bool sent =
            ::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            write(connection, "END", 3) == 3;
        close(connection);
        int status = 0;
        const bool ended =
            sent && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ended) {
            pid = -1;
        }
        return ended;
    }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    [[noreturn]] void listen(const testsupport::ThrowawayUser& user, const std::string& capture) const {
        if (setgroups(1, &user.gid) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0) {
            _exit(126);
        }
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in address = loopback(port);
        if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 8) != 0) {
            _exit(1);
        }
        const int out = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (;;) {
            const int connection = accept(listener, nullptr, nullptr);
            if (connection < 0) {
                _exit(1);
            }
            char bytes[4096];
            const ssize_t got = read(connection, bytes, sizeof bytes);
            if (got > 0 && write(out, bytes, static_cast<size_t>(got)) != got) {
                _exit(1);
            }
            close(connection);
            if (got == 3 && bytes[0] == 'E' && bytes[1] == 'N' && bytes[2] == 'D') {
                _exit(0);
            }
        }
    }

    int port;
    pid_t pid = -1;
};

// A profile stored with a file only root may read in its auth-user-pass line, or as its
// HTTP proxy's credentials with a listener of the user's as the proxy: openvpn never
// reads the file, so its lines reach neither the server nor the listener nor the log; the
// profile connects with the client's own credential file, without the proxy.
TEST_F(RealOpenVPN, AProfileNeverMakesRootReadAFileByItsPath) {
    const std::string rootOnly = workFolder() + "/root-only";
    ASSERT_EQ(mkdir(rootOnly.c_str(), 0700), 0);
    const std::string secret = rootOnly + "/secret";
    const char* const stolen = "stolen-4Kq";
    ASSERT_TRUE(realvpn::WriteFile(secret, std::string(stolen) + "-user\n" + stolen + "-pass\n", 0600));
    testsupport::ThrowawayUser user;
    ASSERT_EQ(user.error(), "");
    const int port = 18431;
    const std::string capture = user.home + "/captured";
    ListenerAs listener(user, port, capture);
    ASSERT_TRUE(listener.started());
    ASSERT_TRUE(guitest::waitFor([&] { return QFile::exists(QString::fromStdString(capture)); }));
    const std::string attempts = serverFolder->path().toStdString() + "/attempts";
    // The secret's lines reached the server as a login (after the first `seen` bytes of
    // its record of attempts), or the listener.
    const auto stolenSent = [&](size_t seen) {
        return realvpn::ReadFile(attempts).find(stolen, seen) != std::string::npos ||
               !realvpn::ReadFile(capture).empty();
    };

    const std::string own = "auth-user-pass ./Config/openvpn/ovpnpwd.txt\n";
    addProfile("userpass", std::string(), own + "auth-user-pass " + secret + "\n");
    // openvpn takes an HTTP proxy over TCP only, and the server answers over UDP: the
    // first connection goes through the proxy, the second straight to the server.
    const std::string direct = peer->peerAddress + " 1194 ";
    addProfile("proxied", std::string(),
               "<connection>\nremote " + direct + "tcp-client\nhttp-proxy 127.0.0.1 " + std::to_string(port) +
                   " \"" + secret + "\" basic\n</connection>\n<connection>\nremote " + direct +
                   "udp\n</connection>\n");
    for (const char* name : {"userpass", "proxied"}) {
        SCOPED_TRACE(name);
        const size_t seen = realvpn::ReadFile(attempts).size();
        open(name);
        answerPrompt(QString::fromLatin1(kPassword));
        press();
        // The server refusing the secret's lines as a login brings the prompt back: the
        // watch closes it, and the wait ends as soon as the secret went anywhere.
        PromptWatch watch;
        guitest::waitFor(
            [&] { return status() == CONNECT_STATUS_CONNECTED || watch.prompted() || stolenSent(seen); },
            30000);
        EXPECT_FALSE(stolenSent(seen)) << "the server was given: " << realvpn::ReadFile(attempts).substr(seen)
                                       << "the listener received: " << realvpn::ReadFile(capture);
        EXPECT_FALSE(watch.prompted()) << "the login was refused";
        EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED) << guitest::logText().toStdString() << server->log();
        if (status() == CONNECT_STATUS_CONNECTED || status() == CONNECT_STATUS_CONNECTING) {
            press();
        }
        ASSERT_TRUE(guitest::waitFor(
            [&] {
                return status() == CONNECT_STATUS_NOT_CONNECTED || status() == CONNECT_STATUS_DISCONNECTED;
            },
            15000));
        watch.stop();
        closePage();
    }
    ASSERT_TRUE(listener.end());

    // "stolen" in the proxy's base64 login: "c3RvbGVu".
    const std::string captured = realvpn::ReadFile(capture);
    EXPECT_EQ(captured, "END") << "the listener received: " << captured;
    EXPECT_EQ(server->authAttempts(), 2);
    EXPECT_FALSE(guitest::logText().contains(QLatin1String(stolen)));
    for (const char* directive : {"auth-user-pass", "http-proxy"}) {
        EXPECT_TRUE(
            guitest::logText().contains(QStringLiteral("'%1' is left out").arg(QLatin1String(directive))))
            << directive;
    }
}

TEST_F(RealOpenVPN, TheServerGoneQuietEndsTheConnectionWithItsReason) {
    // The profile ends openvpn after three silent seconds (the server's own ping-restart
    // left out).
    addProfile("office", std::string(), "ping 1\nping-exit 3\npull-filter ignore \"ping-restart\"\n");
    connectProfile("office");
    ASSERT_TRUE(resolverHas("nameserver 10.77.0.1"));
    server->kill();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 15000)) << guitest::logText().toStdString();
    expectEndedWith(AppConstants::kOpenVPNNoAnswerKey);
    EXPECT_TRUE(guitest::logText().contains(QStringLiteral("Inactivity timeout (--ping-exit)")));
}

// Bytes that the processes of the program (the bundle's openvpn and the line filter it
// writes its output through) have read: what went through the filter is openvpn's output.
long long outputThroughFilter(pid_t openvpn) {
    long long total = 0;
    const std::string children = realvpn::ReadFile("/proc/" + std::to_string(openvpn) + "/task/" +
                                                   std::to_string(openvpn) + "/children");
    for (const QString& child : QString::fromStdString(children).split(' ', Qt::SkipEmptyParts)) {
        const QString io = QString::fromStdString(realvpn::ReadFile("/proc/" + child.toStdString() + "/io"));
        const int at = io.indexOf(QStringLiteral("rchar: "));
        if (at >= 0) {
            total += io.mid(at + 7, io.indexOf('\n', at) - at - 7).toLongLong();
        }
    }
    return total;
}

TEST_F(RealOpenVPN, OpenVPNNeverWaitsOnItsOwnOutput) {
    // openvpn tells of every packet; with the tunnel busy, it says far more than a pipe
    // holds while connected, and the tunnel goes on answering.
    addProfile("office", std::string(), "verb 9\n");
    connectProfile("office");
    const std::vector<pid_t> running = realvpn::ProcessesInThisNetwork("openvpn");
    ASSERT_EQ(running.size(), 1u);
    QElapsedTimer clock;
    clock.start();
    while (outputThroughFilter(running.front()) < 3 * (1 << 20) && clock.elapsed() < 60000) {
        ASSERT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 3, 1400)) << "the tunnel stalled";
    }
    EXPECT_GE(outputThroughFilter(running.front()), 3 * (1 << 20));
    EXPECT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 3));
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED);
}

TEST_F(RealOpenVPN, ATakenManagementPortFailsAtOnceWithItsReason) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress(QStringLiteral("127.0.0.1")), 11505));
    addProfile("office");
    open("office");
    answerPrompt(QString::fromLatin1(kPassword));
    QElapsedTimer clock;
    clock.start();
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 15000)) << guitest::logText().toStdString();
    EXPECT_LT(clock.elapsed(), 2000) << "the taken port showed after " << clock.elapsed() << " ms";
    expectEndedWith(AppConstants::kOpenVPNPortInUseKey);
    EXPECT_EQ(server->authAttempts(), 0);
}

} // namespace
