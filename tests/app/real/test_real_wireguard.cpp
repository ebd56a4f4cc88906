// WireGuard end to end: the client's home page and the bundle's WireGuard tools
// (wg-quick with wireguard-go) against a wireguard-go peer in a network namespace of its
// own. Connect reaches "Connected" once the peer has answered, a ping through the tunnel
// answers, the transfer figures grow and Disconnect removes the interface; a profile
// whose peer never answers is not reported as a working tunnel; the main window's close
// while connected or connecting leaves no interface and no wireguard-go.
#include <QPointer>

#include "RealTestSupport.h"

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

} // namespace
