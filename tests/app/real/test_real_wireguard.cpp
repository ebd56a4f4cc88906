// WireGuard end to end: the client's home page and the bundle's WireGuard tools
// (wg-quick with wireguard-go) against a wireguard-go peer in a network namespace of its
// own. Connect reaches "Connected" once the peer has answered, a ping through the tunnel
// answers, the transfer figures grow and Disconnect removes the interface; a profile
// whose peer never answers is not reported as a working tunnel; the main window's close
// while connected or connecting leaves no interface and no wireguard-go. The profiles
// people have (a /32 or a /24 address, all traffic or a remote subnet, keep-alive off or
// on, a DNS server) each connect in a process of their own, in network and mount
// namespaces of their own, and leave the routes, rules, firewall and resolver as they were.
#include <QPointer>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "RealTestSupport.h"
#include "WireGuardContext.h"

extern char** environ;

using namespace realtest;

namespace {

const Isolation isolation;

// The tunnel's interface takes the profile's name.
const char* const kTunnel = "korvawg";

class RealWireGuard : public RealTest {
protected:
    void SetUp() override {
        RealTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("wg", 2);
        ASSERT_EQ(peer->error(), "");
        server = std::make_unique<realvpn::WireGuardPeer>(*peer, serverFolder->path().toStdString());
        ASSERT_EQ(server->error(), "");
    }
    void TearDown() override {
        RealTest::TearDown();
        server.reset();
        peer.reset();
    }
    // A profile of the peer; no keepalive, so the connect itself must start the handshake.
    void addProfile(const char* name, int port) {
        WireGuardVPNInfo info;
        server->fillClientProfile(info);
        info.PeerPort = port;
        ASSERT_EQ(hometest::store()->InsertWireGuardInfo(&info), 0);
        hometest::addProfileRow(name, VPN_TYPE_WIREGUARD, info.ID);
    }
    static bool interfaceUp(const std::string& name) {
        for (const std::string& candidate : realvpn::Interfaces()) {
            if (candidate == name) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::WireGuardPeer> server;
};

TEST_F(RealWireGuard, ConnectsCarriesTrafficAndDisconnects) {
    addProfile(kTunnel, server->port);
    open(kTunnel);
    press();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
    ASSERT_TRUE(guitest::waitFor([] { return interfaceUp(kTunnel); }, 15000))
        << guitest::logText().toStdString();
    savePictures(QStringLiteral("wireguard-connecting"));
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 20000)) << guitest::logText().toStdString();
    EXPECT_EQ(text("labelIP"), QString::fromStdString(server->clientAddress()));
    EXPECT_EQ(text("labelMask"), QStringLiteral("255.255.255.0"));

    ASSERT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 10));
    ASSERT_TRUE(guitest::waitFor([this] { return controller()->downloadTotalMiB() > 0; }, 10000));
    const double received = controller()->downloadTotalMiB();
    const double sent = controller()->uploadTotalMiB();
    for (int i = 0; i < 5; ++i) {
        realvpn::PingAnswers(server->tunnelAddress(), 1, 30000);
    }
    EXPECT_TRUE(guitest::waitFor(
        [&] { return controller()->downloadTotalMiB() > received && controller()->uploadTotalMiB() > sent; },
        10000));
    EXPECT_NE(text("labelUpload"), QStringLiteral("- -"));
    savePictures(QStringLiteral("wireguard-connected"));

    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));
    EXPECT_FALSE(interfaceUp(kTunnel));
    expectNothingLeft("wireguard-go", kTunnel);
    savePictures(QStringLiteral("wireguard-disconnected"));
}

TEST_F(RealWireGuard, APeerThatNeverAnswersIsNotReportedAsAWorkingTunnel) {
    // Nothing listens on this port: the handshake is never answered.
    addProfile(kTunnel, 51999);
    open(kTunnel);
    const guitest::LogMark mark;
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 20000)) << guitest::logText().toStdString();
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
    EXPECT_TRUE(guitest::waitFor(
        [] { return guitest::toastText() == QStringLiteral("The WireGuard peer did not answer."); }, 3000));
    EXPECT_FALSE(mark.added().contains(QStringLiteral("Status: Connected;")));
    EXPECT_TRUE(
        mark.added().contains(QStringLiteral("WireGuard :: The peer of tunnel korvawg did not answer \n")));
    savePictures(QStringLiteral("wireguard-failed"));
    expectNothingLeft("wireguard-go", kTunnel);
}

TEST_F(RealWireGuard, CloseWhileConnectedOrConnectingLeavesNothing) {
    addProfile(kTunnel, server->port);
    for (bool connected : {true, false}) {
        SCOPED_TRACE(connected ? "connected" : "connecting");
        openWindow(kTunnel);
        press();
        ASSERT_TRUE(guitest::waitFor([] { return interfaceUp(kTunnel); }, 15000));
        // Connected, or closed during the connect's wait.
        auto waitTimer = [this] {
            return controller()->findChild<QTimer*>(QStringLiteral("wireGuardWaitTimer"));
        };
        if (connected) {
            ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 20000));
        } else {
            ASSERT_TRUE(guitest::waitFor([&] { return waitTimer() != nullptr; }, 15000));
            ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
        }
        const QPointer<QTimer> wait = waitTimer();
        EXPECT_EQ(closeWindow(), 0);
        EXPECT_FALSE(interfaceUp(kTunnel)) << "the close returned before the tunnel was gone";
        expectNothingLeft("wireguard-go", kTunnel);
        // A connect's wait that was under way reports nothing afterwards.
        ASSERT_TRUE(guitest::waitFor([&wait] { return wait.isNull(); }));
        EXPECT_FALSE(interfaceUp(kTunnel));
        dropWindow();
    }
}

TEST_F(RealWireGuard, ADnsValueThatWouldRunACommandIsRefusedAndRunsNothing) {
    // The user's store holds, written with sqlite3 beside the editor, a DNS value that
    // wg-quick and resolvconf would run as a command as root.
    addProfile(kTunnel, server->port);
    const std::string marker = workFolder() + "/dns-marker";
    hometest::runOnDatabaseFile(
        ("UPDATE ZRWIREGUARDVPN SET DNS = '10.9.231.1,1:$(id>" + marker + ")'").c_str());
    const QString refusal = QStringLiteral("This profile's DNS value is not allowed in a WireGuard "
                                           "configuration. Please correct it in the profile.");
    open(kTunnel);
    const guitest::LogMark mark;
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 20000)) << guitest::logText().toStdString();
    EXPECT_TRUE(guitest::waitFor([&] { return guitest::toastText() == refusal; }, 3000))
        << guitest::toastText().toStdString();
    EXPECT_TRUE(mark.added().contains(
        QStringLiteral("WireGuard :: Connect refused: the DNS value of profile korvawg is not allowed \n")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("Config/wireguard/korvawg.conf")));
    closePage();

    // The same value in a configuration file an earlier version wrote, which a connect
    // would use as it is.
    WireGuardVPNInfo info;
    server->fillClientProfile(info);
    info.PeerPort = server->port;
    std::snprintf(info.DNS, sizeof info.DNS, "10.9.231.1,1:$(id>%s)", marker.c_str());
    QDir().mkpath(QStringLiteral("Config/wireguard"));
    ASSERT_TRUE(realvpn::WriteFile("Config/wireguard/korvawg.conf", WireGuardConfigText(info), 0600));
    open(kTunnel);
    const guitest::LogMark fileMark;
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 20000)) << guitest::logText().toStdString();
    EXPECT_TRUE(guitest::waitFor([&] { return guitest::toastText() == refusal; }, 3000));
    EXPECT_TRUE(fileMark.added().contains(
        QStringLiteral("WireGuard :: Connect refused: the DNS value of profile korvawg is not allowed \n")));

    EXPECT_FALSE(interfaceUp(kTunnel));
    expectNothingLeft("wireguard-go", kTunnel);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(marker))) << realvpn::ReadFile(marker);
}

// The shapes of the WireGuard profiles that providers and companies hand out. The table
// pairs every value of each of the three choices with every value of the others at least
// once (address, traffic, keep-alive); the most common profile, a /32 address sending all
// traffic without keep-alives, also sets a DNS server.
struct Shape {
    const char* what;
    int mask;
    bool allTraffic;
    int keepalive;
    bool dns;
};
const Shape kShapes[] = {
    {"a /32 address, all traffic, no keep-alive, a DNS server", 32, true, 0, true},
    {"a /32 address, a remote subnet, keep-alive 25", 32, false, 25, false},
    {"a /24 address, all traffic, keep-alive 25", 24, true, 25, false},
    {"a /24 address, a remote subnet, no keep-alive", 24, false, 0, false},
};

// The resolver configuration the machine had before the tunnel.
const char* const kEarlierResolvConf = "nameserver 192.0.2.53\nsearch example.org\n";

// Runs this test program again, in the folder given, for the one test named, with extra
// environment entries; its exit code (-1 when it could not run or had to be ended), its
// output in outputPath.
int runChild(const std::string& folder, const std::string& testName, const std::vector<std::string>& extra,
             const std::string& outputPath) {
    std::vector<std::string> args = {"/proc/self/exe", "--gtest_filter=" + testName};
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> list;
        for (std::string& text : texts) {
            list.push_back(&text[0]);
        }
        list.push_back(nullptr);
        return list;
    };
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out);
    if (failed != 0) {
        return -1;
    }
    int status = 0;
    const bool ended = realvpn::WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 180000);
    if (!ended) {
        realvpn::Stop(pid);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RealWireGuardShapes : public RealTest {
protected:
    // One shape, in this process's own namespaces: connected, pinged, checked, disconnected,
    // and nothing of it left.
    void connectShape(const Shape& shape) {
        SCOPED_TRACE(shape.what);
        // wg-quick marks the tunnel's own packets with nftables when all traffic goes in.
        ASSERT_EQ(realvpn::MissingPrograms({"nft"}), "");
        realvpn::PrivateResolver resolver(workFolder(), kEarlierResolvConf);
        ASSERT_EQ(resolver.error(), "");
        realvpn::PeerNamespace peer("wg", 2);
        ASSERT_EQ(peer.error(), "");
        realvpn::WireGuardPeer server(peer, serverFolder->path().toStdString());
        ASSERT_EQ(server.error(), "");

        WireGuardVPNInfo info;
        server.fillClientProfile(info);
        info.InterSubMask = shape.mask;
        // No Allowed IPs is all traffic, as the editor stores it for its full-traffic switch.
        if (shape.allTraffic) {
            info.AllowdIPs[0] = '\0';
        }
        info.KeepaliveTime = shape.keepalive;
        if (shape.dns) {
            std::snprintf(info.DNS, sizeof(info.DNS), "%s", server.tunnelAddress().c_str());
        }
        ASSERT_EQ(hometest::store()->InsertWireGuardInfo(&info), 0);
        hometest::addProfileRow(kTunnel, VPN_TYPE_WIREGUARD, info.ID);
        const std::string before = realvpn::NetworkState();

        open(kTunnel);
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000)) << guitest::logText().toStdString();
        EXPECT_TRUE(realvpn::PingAnswers(server.tunnelAddress(), 10)) << realvpn::NetworkState();
        // All traffic goes into the tunnel, the peer's own address excepted; a remote
        // subnet takes only its own.
        std::string route;
        realvpn::Run({"ip", "-4", "route", "get", "192.0.2.77"}, &route);
        EXPECT_EQ(route.find(std::string("dev ") + kTunnel) != std::string::npos, shape.allTraffic) << route;
        route.clear();
        realvpn::Run({"ip", "-4", "route", "get", server.endpointAddress}, &route);
        EXPECT_EQ(route.find(std::string("dev ") + kTunnel), std::string::npos) << route;
        std::string keepalive;
        realvpn::Run({"wg", "show", kTunnel, "persistent-keepalive"}, &keepalive);
        EXPECT_NE(keepalive.find(shape.keepalive == 0 ? std::string("\toff")
                                                      : "\t" + std::to_string(shape.keepalive)),
                  std::string::npos)
            << keepalive;
        if (shape.dns) {
            EXPECT_NE(realvpn::PrivateResolver::Current().find("nameserver " + server.tunnelAddress() + "\n"),
                      std::string::npos)
                << realvpn::PrivateResolver::Current();
        }

        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 20000)) << guitest::logText().toStdString();
        expectNothingLeft("wireguard-go", kTunnel);
        EXPECT_EQ(realvpn::NetworkState(), before);
        EXPECT_EQ(realvpn::PrivateResolver::Current(), kEarlierResolvConf);
        EXPECT_FALSE(realvpn::PingAnswers(server.tunnelAddress(), 1));
    }
};

TEST_F(RealWireGuardShapes, EachShapeConnectsInANetworkOfItsOwnAndLeavesNothing) {
    const char* const chosen = std::getenv("KORVA_WG_SHAPE");
    if (chosen != nullptr) {
        // The run of one shape, started below in a process of its own.
        connectShape(kShapes[std::atoi(chosen)]);
        return;
    }
    const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(self->test_suite_name()) + "." + self->name();
    for (size_t i = 0; i < sizeof(kShapes) / sizeof(kShapes[0]); ++i) {
        SCOPED_TRACE(kShapes[i].what);
        // Its own folder, home and settings; its own network and mount namespaces come with
        // the new process (made before main).
        const std::string folder = workFolder() + "/shape-" + std::to_string(i);
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder + "/home")));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder + "/config")));
        const std::string output = folder + "/output.txt";
        const int code = runChild(folder, name,
                                  {"KORVA_WG_SHAPE=" + std::to_string(i), "HOME=" + folder + "/home",
                                   "XDG_CONFIG_HOME=" + folder + "/config"},
                                  output);
        EXPECT_EQ(code, 0) << realvpn::ReadFile(output);
    }
}

} // namespace
