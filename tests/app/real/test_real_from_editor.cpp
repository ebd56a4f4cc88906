// The profile the editor makes is the one the roads connect: an OpenVPN, a WireGuard and an
// IPsec profile created through the profile editor's own form, opened by the Profiles
// page's add button (the OpenVPN server's client configuration imported through its
// import button, the WireGuard peer's key, endpoint, addresses and test range typed in,
// the IPsec responder's address, remote network, proposals and a pre-shared key with
// symbols, as people have them, chosen) and
// saved with its Confirm button; then selected on the home page and connected to the real
// servers: "Connected", a ping through the tunnel answered, and Disconnect ending the
// tunnel.
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "AdapterTestSupport.h"
#include "IPSecTestSupport.h"
#include "NetworkAdapters.h"
#include "ProfileEditorOpener.h"
#include "ProfilePageConstants.h"
#include "ProfileWidget.h"
#include "RealTestSupport.h"
#include "SavesTestSupport.h"
#include "StrongSwanControl.h"

using namespace realtest;

namespace {

const Isolation isolation;
// Daemons of other checkouts' tests are kept apart by the lock they all hold.
ipsectest::CharonMachineLock charonLock{testsupport::kLockSkipExitCode};

// The names the Profiles page lists.
QStringList listedNames(ProfileWidget& page) {
    auto* list = page.findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"));
    QStringList names;
    for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
        names << list->topLevelItem(i)
                     ->data(ProfilePage::kColumnName, ProfilePage::kRoleProfileName)
                     .toString();
    }
    return names;
}

// Adds a profile as a person does: the Profiles page's add button opens the editor, `fill`
// fills its form through the widgets, Confirm saves it and closes the editor; the page
// then lists the new profile.
void addThroughProfilesPage(const QString& name, const std::function<void(savestest::SaveEditor&)>& fill) {
    // The page's editor, with its form open to the test; its saves are the real ones.
    setProfileEditorFactory([](QWidget* parent, bool edit, const QString& profile, int profileID,
                               int configID, int kind) -> QDialog* {
        return new savestest::SaveEditor(edit, profile, profileID, configID, kind, parent);
    });
    ProfileWidget page;
    page.resize(887, 602);
    ASSERT_TRUE(guitest::showAndExpose(&page));
    bool answered = false;
    bool saved = false;
    guitest::answerNextModal(
        [&](QWidget* modal) {
            answered = true;
            auto* editor = dynamic_cast<savestest::SaveEditor*>(modal);
            ASSERT_NE(editor, nullptr);
            QApplication::setActiveWindow(editor);
            fill(*editor);
            if (!::testing::Test::HasFatalFailure()) {
                saved = savestest::confirm(*editor);
            }
            if (editor->isVisible()) {
                editor->reject();
            }
        },
        "ProfileConfigDialog", 10000);
    editortest::click(page.findChild<QPushButton*>(QStringLiteral("btnAddProfile")));
    setProfileEditorFactory(nullptr);
    ASSERT_TRUE(answered) << "the add button opened no editor";
    ASSERT_TRUE(saved) << "the editor refused its own form: " << savestest::toastText().toStdString();
    EXPECT_NE(savestest::storedProfile(name).ProfileID, 0) << name.toStdString();
    EXPECT_TRUE(listedNames(page).contains(name)) << listedNames(page).join(QLatin1Char(',')).toStdString();
}

class RealFromEditor : public RealTest {
protected:
    void TearDown() override {
        RealTest::TearDown();
        ipsectest::endDaemons();
        // The adapters as the home tests see them: a TAP adapter alone.
        EXPECT_TRUE(guitest::startAppContext());
    }

    // Selects the profile on the home page, connects, checks the tunnel with a ping and
    // disconnects; nothing of the tunnel is left. `whileConnected` checks more of the
    // tunnel before the disconnect.
    void connectPingDisconnect(const char* name, const std::string& pingAddress, const std::string& program,
                               const std::string& interfacePrefix, int connectMs,
                               const std::function<void()>& whileConnected = nullptr) {
        open(name);
        // A profile that keeps its password connects without the credentials prompt; one
        // that would come up is recorded and closed so that the test never blocks.
        PromptWatch watch;
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, connectMs)) << guitest::logText().toStdString();
        EXPECT_FALSE(watch.prompted());
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Connected"));
        EXPECT_TRUE(realvpn::PingAnswers(pingAddress, 10)) << guitest::logText().toStdString();
        if (whileConnected) {
            whileConnected();
        }
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 20000)) << guitest::logText().toStdString();
        expectNothingLeft(program, interfacePrefix);
        EXPECT_FALSE(realvpn::PingAnswers(pingAddress, 1));
    }
};

TEST_F(RealFromEditor, OpenVPNProfileFromTheImportedClientConfigurationConnects) {
    const char* const user = "alice";
    const char* const password = "Correct_horse_9";
    realvpn::PeerNamespace peer("ovpn", 1);
    ASSERT_EQ(peer.error(), "");
    realvpn::OpenVPNServer server(peer, serverFolder->path().toStdString(), user, password);
    ASSERT_EQ(server.error(), "");
    // The server's client configuration, as its administrator hands it out.
    savestest::writeFile(QStringLiteral("office-client.ovpn"),
                         QByteArray::fromStdString(server.clientConfig("")));

    savestest::OpenVPNForm form;
    form.name = QStringLiteral("office");
    form.source = QStringLiteral("office-client.ovpn");
    form.userName = QString::fromLatin1(user);
    form.password = QString::fromLatin1(password);
    form.rememberMe = true;
    ASSERT_NO_FATAL_FAILURE(addThroughProfilesPage(form.name, [&](savestest::SaveEditor& editor) {
        savestest::fillOpenVPN(editor, 3, form);
        // The import took the server and its port from the file.
        EXPECT_EQ(editor.form().lineEditEndpoint->ipAddress(), QString::fromStdString(peer.peerAddress));
        EXPECT_EQ(editor.form().lineEditPeerPort->text(), QStringLiteral("1194"));
    }));

    connectPingDisconnect("office", server.tunnelAddress(), "openvpn", "tun", 30000);
    EXPECT_FALSE(QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")))
        << "the password stayed on disk after the disconnect";
}

TEST_F(RealFromEditor, WireGuardProfileTypedIntoThePageConnects) {
    realvpn::PeerNamespace peer("wg", 2);
    ASSERT_EQ(peer.error(), "");
    realvpn::WireGuardPeer server(peer, serverFolder->path().toStdString());
    ASSERT_EQ(server.error(), "");

    savestest::WireGuardForm form;
    // The tunnel's interface takes the profile's name.
    form.name = QStringLiteral("korvawg");
    form.endpoint = QString::fromStdString(server.endpointAddress);
    form.peerPort = QString::number(server.port);
    form.peerKey = QString::fromStdString(server.serverPublicKey);
    form.address = QString::fromStdString(server.clientAddress());
    form.mask = QStringLiteral("24");
    form.privateKey = QString::fromStdString(server.clientPrivateKey);
    // The test range alone, never all traffic; no DNS (wg-quick would want resolvconf).
    form.subnets = QStringList{QString::fromStdString(server.tunnelNetwork())};
    ASSERT_NO_FATAL_FAILURE(addThroughProfilesPage(form.name, [&](savestest::SaveEditor& editor) {
        savestest::fillWireGuard(editor, form);
        // The bundle's wg derived the public key the peer knows.
        QLineEdit* publicKey = editor.form().lineEditWireGuardPubKey;
        ASSERT_TRUE(guitest::waitFor(
            [&] { return publicKey->text() == QString::fromStdString(server.clientPublicKey); }, 10000))
            << publicKey->text().toStdString();
    }));

    connectPingDisconnect("korvawg", server.tunnelAddress(), "wireguard-go", "korvawg", 20000);
}

TEST_F(RealFromEditor, IPsecProfileChosenOnThePageConnects) {
    // Typed key by key into the page; every character means something to a shell, to
    // strongSwan's configuration or to a regular expression.
    const char* const key = "psk-0123.+/=_{$x} \"#'\\`~!%^&*()[]<>?|;:,@";
    realvpn::PeerNamespace peer("ike", 3);
    ASSERT_EQ(peer.error(), "");
    // The editor's profiles speak IKEv1 (the page offers no other key exchange version).
    realvpn::StrongSwanResponder responder(peer, serverFolder->path().toStdString(), key, 1);
    ASSERT_EQ(responder.error(), "");
    // The page offers this machine's addresses as local addresses: the veth's among them
    // (with the TAP adapter that keeps the adapter script from running).
    SetNetworkAdapterSource(nullptr);
    std::vector<NetworkAdapter> adapters = ListNetworkAdapters();
    adapters.insert(adapters.begin(), guitest::tapAdapter());
    SetNetworkAdapterSource([adapters] { return adapters; });

    savestest::IPSecForm form;
    form.name = QStringLiteral("office");
    form.server = QString::fromStdString(peer.peerAddress);
    form.remote = QString::fromLatin1(realvpn::StrongSwanResponder::kRemoteSubnet);
    form.hash = 2;          // sha256
    form.encryption = 4;    // aes256
    form.ikeEncryption = 3; // aes256
    form.ikeHash = 2;       // sha256
    form.keyGroup = 3;      // modp2048
    form.psk = QString::fromLatin1(key);
    ASSERT_NO_FATAL_FAILURE(addThroughProfilesPage(form.name, [&](savestest::SaveEditor& editor) {
        savestest::fillIPSec(editor, form);
        EXPECT_EQ(editor.form().lineEditPSK->text(), QString::fromLatin1(key));
        QComboBox* localAddress = editor.form().comboBoxLocalIP;
        const int local = localAddress->findText(QString::fromStdString(peer.localAddress));
        ASSERT_GE(local, 0) << "the page does not offer " << peer.localAddress;
        savestest::choose(localAddress, local);
        EXPECT_EQ(localAddress->currentText(), QString::fromStdString(peer.localAddress));
    }));

    connectPingDisconnect("office", realvpn::StrongSwanResponder::kRemoteHost, "charon-svc.exe", "ipsec",
                          40000, [] {
                              std::string listing;
                              listSas(workFolder(), listing);
                              EXPECT_EQ(getChildSaState(listing, "office_child"), 0) << listing;
                              EXPECT_NE(listing.find("IKEv1"), std::string::npos) << listing;
                          });
    EXPECT_TRUE(guitest::waitFor([&] { return responder.ikeSaCount() == 0; }, 10000))
        << "the SA was not terminated";
}

} // namespace
