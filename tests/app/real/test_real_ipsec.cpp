// IPsec end to end: the client's home page and the bundle's strongSwan (charon-svc.exe,
// swanctl.exe) against a strongSwan responder with a pre-shared key in a network
// namespace of its own. Connect reaches "Connected" with the CHILD_SA installed and a ping
// into the remote subnet answered, Disconnect terminates the SA; a wrong key fails with
// the failure toast; the main window's close while connected or connecting leaves no
// daemon and no tunnel device.
#include "IPSecTestSupport.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "RealTestSupport.h"
#include "StrongSwanControl.h"

using namespace realtest;

namespace {

const Isolation isolation;
// Daemons of other checkouts' tests are kept apart by the lock they all hold.
ipsectest::CharonMachineLock charonLock{testsupport::kLockSkipExitCode};

const char* const kKey = "correct horse battery staple";

class RealIPSec : public RealTest {
protected:
    void SetUp() override {
        RealTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        peer = std::make_unique<realvpn::PeerNamespace>("ike", 3);
        ASSERT_EQ(peer->error(), "");
        responder =
            std::make_unique<realvpn::StrongSwanResponder>(*peer, serverFolder->path().toStdString(), kKey);
        ASSERT_EQ(responder->error(), "");
    }
    void TearDown() override {
        RealTest::TearDown();
        ipsectest::endDaemons();
        responder.reset();
        peer.reset();
    }
    // A profile of the fields the profile editor saves, the policy named after the
    // profile, but speaking IKEv2 (the editor's own IKEv1 profiles connect in
    // test_real_from_editor.cpp).
    void addProfile(const char* name, const std::string& key, const std::string& remote = std::string()) {
        IPSecVPNInfo info;
        info.SetVersionValue(2);
        info.SetPolicyName(name);
        info.SetLocalAddress(peer->localAddress);
        info.SetRemoteAddrs(remote.empty() ? peer->peerAddress : remote);
        info.SetTransportProtocolValue(1);
        info.SetRemoteTrafficSelectors({realvpn::StrongSwanResponder::kRemoteSubnet});
        info.SetProtocolTypeValue(2);
        info.SetEspProposals("sha256-aes256");
        info.SetIkeEncryption("aes256");
        info.SetIkeHash("sha256");
        info.SetIkeDHGroup("modp2048");
        info.SetPSKSecret(key);
        ASSERT_EQ(hometest::store()->InsertIPSecProfile(&info), 0);
        hometest::addProfileRow(name, VPN_TYPE_IPSEC, info.GetID());
    }
    std::string childSaState() {
        std::string listing;
        listSas(workFolder(), listing);
        return listing;
    }

    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::StrongSwanResponder> responder;
};

TEST_F(RealIPSec, ConnectsWithTheChildSaCarriesAPingAndDisconnects) {
    addProfile("office", kKey);
    open("office");
    press();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
    savePictures(QStringLiteral("ipsec-connecting"));
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000)) << guitest::logText().toStdString();
    const std::string listing = childSaState();
    EXPECT_EQ(getChildSaState(listing, "office_child"), 0) << listing;
    EXPECT_NE(listing.find(realvpn::StrongSwanResponder::kRemoteSubnet), std::string::npos) << listing;
    EXPECT_TRUE(hometest::app()->GetIPSecVPNContext()->IsRekeyTimerActive());
    EXPECT_TRUE(realvpn::PingAnswers(realvpn::StrongSwanResponder::kRemoteHost, 10))
        << guitest::logText().toStdString();
    EXPECT_EQ(responder->ikeSaCount(), 1);
    // A tick with the ping's traffic behind it.
    const int seconds = controller()->connectedSeconds();
    ASSERT_TRUE(guitest::waitFor([&] { return controller()->connectedSeconds() > seconds; }, 30000));
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -")) << "IPsec has no traffic source";
    savePictures(QStringLiteral("ipsec-connected"));

    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 20000));
    EXPECT_TRUE(guitest::waitFor([this] { return responder->ikeSaCount() == 0; }, 10000))
        << "the SA was not terminated";
    expectNothingLeft("charon-svc.exe", "ipsec");
    EXPECT_FALSE(realvpn::PingAnswers(realvpn::StrongSwanResponder::kRemoteHost, 1));
    savePictures(QStringLiteral("ipsec-disconnected"));
}

TEST_F(RealIPSec, AWrongKeyFailsWithItsToast) {
    addProfile("office", "not the key");
    open("office");
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 60000)) << guitest::logText().toStdString();
    EXPECT_TRUE(guitest::logText().contains(QStringLiteral("IPSec :: connect finished, errorcode = -9 \n")));
    EXPECT_TRUE(guitest::waitFor(
        [] {
            return guitest::toastText() ==
                   QStringLiteral("Connection failed, please check your configuration.");
        },
        3000));
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
    savePictures(QStringLiteral("ipsec-failed"));
    expectNothingLeft("charon-svc.exe", "ipsec");
}

TEST_F(RealIPSec, CloseWhileConnectedOrConnectingLeavesNothing) {
    addProfile("office", kKey);
    // A responder address where nobody answers: the initiate goes on until it is closed.
    addProfile("nowhere", kKey, "198.18.3.3");
    for (const char* name : {"office", "nowhere"}) {
        SCOPED_TRACE(name);
        const bool connect = std::string(name) == "office";
        openWindow(name);
        press();
        if (connect) {
            ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000)) << guitest::logText().toStdString();
        } else {
            // The daemon is up and the initiate under way: the poll waits for it.
            ASSERT_TRUE(waitPolling("ipsecPollTimer", 15000));
            ASSERT_FALSE(realvpn::ProcessesInThisNetwork("charon-svc.exe").empty());
            ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
        }
        EXPECT_EQ(closeWindow(), 0);
        EXPECT_TRUE(realvpn::ProcessesInThisNetwork("charon-svc.exe").empty())
            << "the close returned before the daemon ended";
        expectNothingLeft("charon-svc.exe", "ipsec");
        dropWindow();
    }
    EXPECT_TRUE(guitest::waitFor([this] { return responder->ikeSaCount() == 0; }, 10000));
}

} // namespace
