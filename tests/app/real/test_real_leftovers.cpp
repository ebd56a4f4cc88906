// A client killed with SIGKILL while connected or while connecting, against the real
// OpenVPN server and WireGuard peer: it leaves openvpn running (with the credential file,
// while connecting, and the server's pushed DNS in the resolver, while connected) or its
// WireGuard tunnel up. The next start of the client clears all of it before its window
// shows (no openvpn, no tunnel device, no secret file, the resolver as it was) and connects
// again. Each client is a small program (leftover_client) that runs the client's own start
// (RunClient) and drives its home page, in the test's network and mount namespaces.
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>

#include "RealTestSupport.h"

extern char** environ;

using namespace realtest;

namespace {

const Isolation isolation;

const char* const kStateFile = "child-state";
const char* const kGoFile = "child-go";
const char* const kQuitFile = "child-quit";
const char* const kUser = "alice";
const char* const kPassword = "correct horse";
const char* const kTunnel = "leftwg";

class RealLeftovers : public RealTest {
protected:
    void SetUp() override {
        RealTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        for (const char* file : {kStateFile, kGoFile, kQuitFile}) {
            QFile::remove(QString::fromLatin1(file));
        }
    }
    void TearDown() override {
        for (pid_t child : children) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        RealTest::TearDown();
    }

    // Starts a client (leftover_client) in the working folder, in this test's namespaces.
    pid_t startChild(const std::string& mode) {
        QFile::remove(QString::fromLatin1(kStateFile));
        QFile::remove(QString::fromLatin1(kGoFile));
        QFile::remove(QString::fromLatin1(kQuitFile));
        std::string program = LEFTOVER_CLIENT;
        std::string argument = mode;
        char* argv[] = {&program[0], &argument[0], nullptr};
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
        children.push_back(pid);
        return pid;
    }
    static QString state() {
        QFile file(QString::fromLatin1(kStateFile));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    static bool waitState(const QString& wanted, int timeoutMs) {
        return guitest::waitFor([&] { return state() == wanted; }, timeoutMs);
    }
    void killChild(pid_t child) {
        ASSERT_EQ(kill(child, SIGKILL), 0);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        children.erase(std::remove(children.begin(), children.end(), child), children.end());
    }
    // Ends a child client the way a person does (the window's close), waiting for it; its
    // exit status.
    int quitChild(pid_t child) {
        QFile quit(QString::fromLatin1(kQuitFile));
        quit.open(QIODevice::WriteOnly);
        quit.close();
        int status = -1;
        const bool ended = guitest::waitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 60000);
        if (ended) {
            children.erase(std::remove(children.begin(), children.end(), child), children.end());
        }
        return ended ? status : -1;
    }
    static bool secretFileLeft() { return QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")); }
    static bool interfaceUp(const std::string& name) {
        const std::vector<std::string> names = realvpn::Interfaces();
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    static bool anyInterface(const std::string& prefix) {
        for (const std::string& name : realvpn::Interfaces()) {
            if (name.compare(0, prefix.size(), prefix) == 0) {
                return true;
            }
        }
        return false;
    }
    // Every client's log in the working folder (the children's and this one's).
    static std::string childLogs() {
        std::string text;
        const QDir folder(QStringLiteral("Halvex_log"));
        for (const QString& name : folder.entryList(QDir::Files, QDir::Time | QDir::Reversed)) {
            QFile log(folder.filePath(name));
            if (log.open(QIODevice::ReadOnly)) {
                text += log.readAll().toStdString();
            }
        }
        return text;
    }

    // The second client: it clears what the first left before its window shows, then
    // connects the selected profile, carries a ping and quits leaving nothing.
    void startCleansUpAndConnects(const std::function<bool()>& nothingLeft, const std::string& pingAddress,
                                  const std::string& program, const std::string& interfacePrefix) {
        const pid_t second = startChild("connect-later");
        ASSERT_TRUE(waitState(QStringLiteral("started"), 30000)) << state().toStdString();
        EXPECT_TRUE(nothingLeft()) << "the start left what the killed client had running";
        QFile go(QString::fromLatin1(kGoFile));
        go.open(QIODevice::WriteOnly);
        go.close();
        ASSERT_TRUE(waitState(QStringLiteral("status %1").arg(CONNECT_STATUS_CONNECTED), 40000))
            << state().toStdString();
        EXPECT_TRUE(realvpn::PingAnswers(pingAddress, 10));
        const int status = quitChild(second);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        expectNothingLeft(program, interfacePrefix);
    }

    std::vector<pid_t> children;
};

class RealLeftoversOpenVPN : public RealLeftovers {
protected:
    void SetUp() override {
        RealLeftovers::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("left", 5);
        ASSERT_EQ(peer->error(), "");
        // The server pushes DNS, which the tunnel gives the resolver while it is up.
        server = std::make_unique<realvpn::OpenVPNServer>(
            *peer, serverFolder->path().toStdString(), kUser, kPassword, 75, realvpn::OpenVPNClientKeys(),
            "push \"dhcp-option DNS 10.75.0.1\"\npush \"dhcp-option DOMAIN left.example\"\n");
        ASSERT_EQ(server->error(), "");
        ASSERT_EQ(realvpn::ResolverConfiguration(), realvpn::kEarlierResolvConf);
        // Credentials kept with the profile: no prompt stands between a start and its connect.
        addProfile("office", std::string());
        // A server address where nobody answers: the connect goes on until it is ended.
        addProfile("nowhere", "198.18.5.3");
    }
    void TearDown() override {
        RealLeftovers::TearDown();
        server.reset();
        peer.reset();
    }
    void addProfile(const char* name, const std::string& remote) {
        OpenVPNInfo info;
        std::snprintf(info.ServerIP, sizeof(info.ServerIP), "%s", peer->peerAddress.c_str());
        info.ServerPort = 1194;
        info.NeedPwd = 1;
        info.RememberMe = 1;
        std::snprintf(info.UserName, sizeof(info.UserName), "%s", kUser);
        std::snprintf(info.UserPwd, sizeof(info.UserPwd), "%s", kPassword);
        info.VPNConfig = server->clientConfig("./Config/openvpn/ovpnpwd.txt", remote);
        ASSERT_EQ(hometest::store()->InsertOpenVPNConfig(&info), 0);
        hometest::addProfileRow(name, VPN_TYPE_OPENVPN, info.ID);
    }
    static bool nothingLeft() {
        return realvpn::ProcessesInThisNetwork("openvpn").empty() && !anyInterface("tun") &&
               !secretFileLeft() && realvpn::ResolverConfiguration() == realvpn::kEarlierResolvConf;
    }
    static bool tunnelDnsSet() {
        return realvpn::ResolverConfiguration().find("nameserver 10.75.0.1\n") != std::string::npos;
    }

    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::OpenVPNServer> server;
};

TEST_F(RealLeftoversOpenVPN, KilledWhileConnected) {
    hometest::rememberSelection("office");
    // The client killed alone leaves openvpn running; killed with its openvpn (a session
    // ended at once), nothing took the tunnel's DNS away from the resolver. Either way the
    // next start gives the resolver back its earlier configuration.
    for (const bool openvpnKilledToo : {false, true}) {
        SCOPED_TRACE(openvpnKilledToo ? "openvpn killed too" : "openvpn left running");
        const pid_t first = startChild("connect");
        ASSERT_TRUE(waitState(QStringLiteral("status %1").arg(CONNECT_STATUS_CONNECTED), 40000))
            << state().toStdString() << childLogs() << server->log();
        ASSERT_TRUE(guitest::waitFor(tunnelDnsSet, 10000)) << realvpn::ResolverConfiguration();
        killChild(first);
        const std::vector<pid_t> openvpn = realvpn::ProcessesInThisNetwork("openvpn");
        ASSERT_EQ(openvpn.size(), 1u) << "the kill leaves openvpn running";
        ASSERT_TRUE(anyInterface("tun"));
        if (openvpnKilledToo) {
            ASSERT_EQ(kill(openvpn.front(), SIGKILL), 0);
            ASSERT_TRUE(
                guitest::waitFor([] { return realvpn::ProcessesInThisNetwork("openvpn").empty(); }, 10000));
        }
        ASSERT_TRUE(tunnelDnsSet()) << "the kill leaves the tunnel's DNS";

        startCleansUpAndConnects(nothingLeft, server->tunnelAddress(), "openvpn", "tun");
        EXPECT_EQ(realvpn::ResolverConfiguration(), realvpn::kEarlierResolvConf);
        if (!openvpnKilledToo) {
            EXPECT_NE(childLogs().find("left running by an earlier run"), std::string::npos) << childLogs();
        }
    }
}

TEST_F(RealLeftoversOpenVPN, KilledWhileConnecting) {
    hometest::rememberSelection("nowhere");
    const pid_t first = startChild("connect");
    ASSERT_TRUE(waitState(QStringLiteral("status %1").arg(CONNECT_STATUS_CONNECTING), 30000))
        << state().toStdString();
    ASSERT_TRUE(guitest::waitFor([] { return !realvpn::ProcessesInThisNetwork("openvpn").empty(); }, 10000));
    ASSERT_TRUE(guitest::waitFor(secretFileLeft, 10000));
    killChild(first);
    ASSERT_TRUE(secretFileLeft()) << "the kill leaves the credential file";
    ASSERT_FALSE(realvpn::ProcessesInThisNetwork("openvpn").empty());

    hometest::rememberSelection("office");
    startCleansUpAndConnects(nothingLeft, server->tunnelAddress(), "openvpn", "tun");
    EXPECT_NE(childLogs().find("Config/openvpn/ovpnpwd.txt, left by an earlier run"), std::string::npos)
        << childLogs();
}

class RealLeftoversWireGuard : public RealLeftovers {
protected:
    void SetUp() override {
        RealLeftovers::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("leftwg", 6);
        ASSERT_EQ(peer->error(), "");
        server = std::make_unique<realvpn::WireGuardPeer>(*peer, serverFolder->path().toStdString(), 76);
        ASSERT_EQ(server->error(), "");
        WireGuardVPNInfo info;
        server->fillClientProfile(info);
        ASSERT_EQ(hometest::store()->InsertWireGuardInfo(&info), 0);
        hometest::addProfileRow(kTunnel, VPN_TYPE_WIREGUARD, info.ID);
        hometest::rememberSelection(kTunnel);
    }
    void TearDown() override {
        RealLeftovers::TearDown();
        server.reset();
        peer.reset();
    }
    static bool nothingLeft() {
        return !interfaceUp(kTunnel) && realvpn::ProcessesInThisNetwork("wireguard-go").empty();
    }

    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::WireGuardPeer> server;
};

TEST_F(RealLeftoversWireGuard, KilledWhileConnectedOrConnecting) {
    const QString installed = QString::fromStdString(workFolder()) + QStringLiteral("/korva-wireguard/") +
                              QString::fromLatin1(kTunnel) + QStringLiteral(".ifindex");
    // Connected; connecting (during the client's own wait after the tunnel came up); and
    // connecting with its install ended half-way (the tunnel up, its interface not yet
    // recorded).
    struct Case {
        const char* mode;
        int status;
        bool halfInstalled;
    } cases[] = {{"connect", CONNECT_STATUS_CONNECTED, false},
                 {"connect-slow", CONNECT_STATUS_CONNECTING, false},
                 {"connect-slow", CONNECT_STATUS_CONNECTING, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (c.halfInstalled ? " half installed" : ""));
        const pid_t first = startChild(c.mode);
        ASSERT_TRUE(waitState(QStringLiteral("status %1").arg(c.status), 40000)) << state().toStdString();
        ASSERT_TRUE(
            guitest::waitFor([&] { return interfaceUp(kTunnel) && QFile::exists(installed); }, 20000));
        killChild(first);
        ASSERT_TRUE(interfaceUp(kTunnel)) << "the kill leaves the tunnel up";
        if (c.halfInstalled) {
            ASSERT_TRUE(QFile::remove(installed));
        }

        startCleansUpAndConnects(nothingLeft, server->tunnelAddress(), "wireguard-go", kTunnel);
        EXPECT_NE(childLogs().find(std::string("Taking down tunnel ") + kTunnel), std::string::npos)
            << childLogs();
    }
}

} // namespace
