// A client profile as administrators hand it out, with its certificate, key, static TLS
// key and login in files beside the configuration, imported through the profile editor's
// own form and saved; then connected from the home page to the real OpenVPN server that
// asks for all of them: "Connected", a ping through the tunnel answered, and Disconnect
// ending the tunnel. The configuration is written as people write it: a Western code page
// comment, an indented line, a directive with dashes and a tab.
#include <QDir>

#include "RealTestSupport.h"
#include "SavesTestSupport.h"

using namespace realtest;

namespace {

const Isolation isolation;

class RealOpenVPNFiles : public RealTest {};

TEST_F(RealOpenVPNFiles, ProfileWithItsFilesBesideItConnects) {
    const char* const user = "alice";
    const char* const password = "Correct horse 9";
    for (const char* tlsKey : {"tls-auth", "tls-crypt"}) {
        SCOPED_TRACE(tlsKey);
        realvpn::PeerNamespace peer("ovpnf", 4);
        ASSERT_EQ(peer.error(), "");
        realvpn::OpenVPNClientKeys keys;
        keys.certificate = true;
        keys.tlsKey = tlsKey;
        const QString serverFiles = serverFolder->path() + QLatin1Char('/') + QLatin1String(tlsKey);
        ASSERT_TRUE(QDir().mkpath(serverFiles));
        realvpn::OpenVPNServer server(peer, serverFiles.toStdString(), user, password, 77, keys);
        ASSERT_EQ(server.error(), "");

        // The files as they were handed out, in a folder of their own.
        const QString folder = QDir::current().absoluteFilePath(QStringLiteral("handout-%1").arg(tlsKey));
        ASSERT_TRUE(QDir().mkpath(folder));
        std::string text = server.writeClientProfile(folder.toStdString(), "office.ovpn", "login.txt");
        ASSERT_TRUE(realvpn::WriteFile(folder.toStdString() + "/login.txt",
                                       std::string(user) + "\r\n" + password + "\r\n", 0600));
        const auto replace = [&text](const std::string& from, const std::string& to) {
            const size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        };
        replace("ca ca.crt\n", "  ca ca.crt\n");
        replace("cert client.crt\n", "--cert\tclient.crt\n");
        text = "# Gr\xfc\xdf"
               "e vom Netzteam\n" +
               text;
        ASSERT_TRUE(realvpn::WriteFile(folder.toStdString() + "/office.ovpn", text));

        const QString name =
            QStringLiteral("office_%1").arg(QString::fromLatin1(tlsKey).remove(QLatin1Char('-')));
        {
            auto editor = savestest::openNew();
            Ui::ProfileConfigDialog& u = editor->form();
            editortest::chooseKind(u.comboBoxVPNType, 2);
            ASSERT_EQ(savestest::importFile(*editor, folder + QStringLiteral("/office.ovpn")), QString());
            // The import took the server and its port, and the login from its file.
            EXPECT_EQ(u.lineEditEndpoint->ipAddress(), QString::fromStdString(peer.peerAddress));
            EXPECT_EQ(u.lineEditPeerPort->text(), QStringLiteral("1194"));
            EXPECT_EQ(u.lineEditUserName->text(), QString::fromLatin1(user));
            EXPECT_TRUE(u.btnOpenRememberPass->isChecked());
            editortest::typeInto(u.lineEditProfileName, name);
            ASSERT_TRUE(savestest::confirm(*editor)) << savestest::toastText().toStdString();
        }
        // The handed-out files are no longer needed: the profile keeps what it uses.
        QDir(folder).removeRecursively();
        const QByteArray copy = savestest::readFile(QStringLiteral("Config/openvpn/%1.ovpn").arg(name));
        for (const QByteArray& kept :
             {QByteArray("<ca>\n"), QByteArray("<cert>\n"), QByteArray("<key>\n"),
              "<" + QByteArray(tlsKey) + ">\n", QByteArray("# Grüße vom Netzteam\n")}) {
            EXPECT_TRUE(copy.contains(kept)) << kept.toStdString() << copy.toStdString();
        }
        EXPECT_EQ(copy.contains("key-direction 1\n"), std::string(tlsKey) == "tls-auth");

        open(name.toUtf8().constData());
        PromptWatch watch;
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 30000))
            << guitest::logText().toStdString() << server.log();
        EXPECT_FALSE(watch.prompted());
        // The server took the client's certificate.
        EXPECT_NE(server.log().find("CN=client"), std::string::npos) << server.log();
        EXPECT_TRUE(realvpn::PingAnswers(server.tunnelAddress(), 10)) << guitest::logText().toStdString();
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 20000)) << guitest::logText().toStdString();
        watch.stop();
        expectNothingLeft("openvpn", "tun");
        EXPECT_FALSE(QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")));
        closePage();
    }
}

} // namespace
