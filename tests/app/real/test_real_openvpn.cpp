// OpenVPN end to end: the client's home page, its credentials prompt and the bundle's
// openvpn against a real OpenVPN TLS server that checks the user name and password, in a
// network namespace of its own. Good credentials typed into the prompt reach "Connected",
// a ping through the tunnel answers, the traffic figures grow and Disconnect ends openvpn;
// wrong credentials come back to the prompt with its warning and leave no openvpn; the
// main window's close while connected or connecting leaves no openvpn and no tunnel.
#include <QLineEdit>

#include "RealTestSupport.h"

using namespace realtest;

namespace {

const Isolation isolation;

const char* const kUser = "alice";
const char* const kPassword = "correct horse";

class RealOpenVPN : public RealTest {
protected:
    void SetUp() override {
        RealTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("ovpn", 1);
        ASSERT_EQ(peer->error(), "");
        server = std::make_unique<realvpn::OpenVPNServer>(*peer, serverFolder->path().toStdString(), kUser,
                                                          kPassword);
        ASSERT_EQ(server->error(), "");
    }
    void TearDown() override {
        RealTest::TearDown();
        server.reset();
        peer.reset();
    }
    // An OpenVPN profile that asks for its credentials at every connect.
    void addProfile(const char* name, const std::string& remote = std::string()) {
        OpenVPNInfo info;
        std::snprintf(info.ServerIP, sizeof(info.ServerIP), "%s", peer->peerAddress.c_str());
        info.ServerPort = 1194;
        info.NeedPwd = 1;
        info.PromptPwd = 1;
        info.VPNConfig = server->clientConfig("./Config/openvpn/ovpnpwd.txt", remote);
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
    ASSERT_TRUE(guitest::waitFor([&] { return controller()->connectedSeconds() > seconds; }, 5000));
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

TEST_F(RealOpenVPN, WrongCredentialsComeBackToThePromptWithItsWarning) {
    addProfile("office");
    open("office");
    answerPrompt(QStringLiteral("wrong password"));
    press();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
    // The refusal brings the prompt back with its warning; it is closed this time.
    bool warned = false;
    bool gone = false;
    guitest::answerNextModal(
        [&](QWidget* modal) {
            warned = modal->findChild<QLabel*>("labelWarning")->isVisible();
            gone = realvpn::ProcessesInThisNetwork("openvpn").empty();
            modal->findChild<QPushButton*>("btnClose")->click();
        },
        "AccountLoginDialog", 40000);
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 45000)) << guitest::logText().toStdString();
    EXPECT_TRUE(warned);
    EXPECT_TRUE(gone) << "openvpn runs on behind the prompt";
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
    EXPECT_TRUE(
        guitest::logText().contains(QStringLiteral("OpenVPN :: connect finished, errorcode = -6 \n")));
    savePictures(QStringLiteral("openvpn-refused"));
    expectNothingLeft("openvpn", "tun");
    EXPECT_FALSE(credentialFileExists());
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
            ASSERT_FALSE(realvpn::ProcessesInThisNetwork("openvpn").empty());
            ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
            EXPECT_TRUE(credentialFileExists());
        }
        // The tray pop-up's Quit, as the system's close: the window ends what runs.
        EXPECT_EQ(closeWindow(), 0);
        EXPECT_TRUE(realvpn::ProcessesInThisNetwork("openvpn").empty())
            << "the close returned before openvpn ended";
        expectNothingLeft("openvpn", "tun");
        EXPECT_FALSE(credentialFileExists());
        dropWindow();
    }
}

} // namespace
