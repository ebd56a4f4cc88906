// A real connect on the display: the main window's home page connects a WireGuard profile
// to a real peer (wireguard-go in a network namespace of its own, as the real-server tests
// run it), and the X server shows the status card through No Connection, Connecting,
// Connected with traffic figures that grow, and No Connection again after Disconnect: the
// status text's place on the screen changes with each state and always shows what the page
// paints.
#include "RealTestSupport.h"
#include "ScreenCheck.h"

using namespace realtest;

namespace {

const Isolation isolation;

const char* const kTunnel = "korvawgx";

class RealConnectOnDisplay : public RealTest {
protected:
    void SetUp() override {
        if (!screen::onDisplay()) {
            GTEST_SKIP() << "runs on an X server only";
        }
        RealTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("wgx", 3);
        ASSERT_EQ(peer->error(), "");
        server = std::make_unique<realvpn::WireGuardPeer>(*peer, serverFolder->path().toStdString());
        ASSERT_EQ(server->error(), "");
        ASSERT_TRUE(x.connected());
    }
    void TearDown() override {
        RealTest::TearDown();
        server.reset();
        peer.reset();
    }

    // The widget's place on the screen once it shows what the page paints.
    QImage shown(const char* name, const QString& step) {
        QWidget* widget = guitest::child(home, name);
        QString report;
        EXPECT_TRUE(screen::waitShown(widget, x, step, &report))
            << step.toStdString() << ": " << report.toStdString();
        return x.picture(screen::placeOnScreen(widget, x));
    }

    screen::XServer x;
    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::WireGuardPeer> server;
};

TEST_F(RealConnectOnDisplay, TheStatusCardFollowsAConnectAndADisconnect) {
    WireGuardVPNInfo info;
    server->fillClientProfile(info);
    ASSERT_EQ(hometest::store()->InsertWireGuardInfo(&info), 0);
    hometest::addProfileRow(kTunnel, VPN_TYPE_WIREGUARD, info.ID);
    openWindow(kTunnel);

    const QImage idle = shown("labelConnectStatus", QStringLiteral("idle"));
    press();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
    const QImage connecting = shown("labelConnectStatus", QStringLiteral("connecting"));
    EXPECT_NE(connecting, idle);

    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 20000)) << guitest::logText().toStdString();
    const QImage connected = shown("labelConnectStatus", QStringLiteral("connected"));
    EXPECT_NE(connected, connecting);
    shown("btnConnect", QStringLiteral("connected-button"));

    // Traffic through the tunnel: the figures that the page shows each second, on the screen.
    ASSERT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 3));
    ASSERT_TRUE(guitest::waitFor([this] { return controller()->downloadTotalMiB() > 0; }, 10000));
    const QImage download = shown("labelDownload", QStringLiteral("download"));
    const QString before = guitest::childText(home, "labelConnTime");
    ASSERT_TRUE(guitest::waitFor([&] { return guitest::childText(home, "labelConnTime") != before; }, 30000));
    shown("labelConnTime", QStringLiteral("time"));
    EXPECT_FALSE(download.isNull());

    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));
    const QImage ended = shown("labelConnectStatus", QStringLiteral("ended"));
    EXPECT_NE(ended, connected);
    shown("btnConnect", QStringLiteral("ended-button"));
    expectNothingLeft("wireguard-go", kTunnel);
}

} // namespace
