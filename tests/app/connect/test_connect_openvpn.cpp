// The OpenVPN and SSL VPN road with a test double of openvpn: the credentials decision,
// the prompt's Confirm and Close, the credential file (its mode, its content, its end at
// every result, cancel and close), the ".ovpn" written only when missing, the program's
// arguments, the output table (markers, a marker cut between two reads, the DHCP line,
// the eighth tick), refused credentials, the missing adapter with its Retry, disconnect,
// and the failures that must not leave the page connecting.
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

#include "AccountLoginDialog.h"
#include "ConnectTestSupport.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"

using namespace connecttest;

namespace {

class OpenVPNRoad : public ConnectTest {
protected:
    // The poll runs by hand from here on: its timer stays active but never fires.
    void takeOverPoll() {
        auto* poll = controller()->findChild<QTimer*>(QStringLiteral("openVPNPollTimer"));
        ASSERT_NE(poll, nullptr);
        ASSERT_TRUE(poll->isActive());
        poll->start(3600000);
    }
    // Presses connect and waits until openvpn runs and its poll is taken over.
    void startAttempt() {
        press();
        ASSERT_TRUE(waitOpenVPNStarted());
        ASSERT_TRUE(waitPolling("openVPNPollTimer"));
        takeOverPoll();
    }
    // Lets openvpn print its second text and waits until the pipe holds it.
    static void releaseOutput() {
        writeFile(QStringLiteral("openvpn-go"), "");
        ASSERT_TRUE(waitOpenVPNSaid(true));
    }
    OpenVPNInfo row(int configId) {
        OpenVPNInfo info;
        EXPECT_EQ(hometest::app()->GetOpenVPNContext()->GetOpenVPNInfoByID(configId, &info), 0);
        return info;
    }
};

TEST_F(OpenVPNRoad, CredentialsDecisionTable) {
    const struct {
        const char* what;
        int needPwd, promptPwd, rememberMe;
        const char* user;
        const char* password;
        bool prompt;
        bool prefilled;
    } cases[] = {
        {"no credentials needed", 0, 1, 0, "", "", false, false},
        {"stored and not asked for", 1, 0, 0, "alice", "pw", false, false},
        {"asked at every connect, remembered", 1, 1, 1, "alice", "pw", true, true},
        {"asked at every connect, not remembered", 1, 1, 0, "alice", "pw", true, false},
        {"no stored password", 1, 0, 1, "alice", "", true, true},
        {"no stored user name", 1, 0, 0, "", "pw", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        hometest::clearStore();
        OpenVPNProfile profile;
        profile.needPwd = c.needPwd;
        profile.promptPwd = c.promptPwd;
        profile.rememberMe = c.rememberMe;
        profile.user = c.user;
        profile.password = c.password;
        addOpenVPNProfile(profile);
        open("ovpn-office");
        QFile::remove(QStringLiteral("openvpn-args.txt"));

        bool prompted = false;
        QString user, password;
        bool remember = true;
        if (c.prompt) {
            guitest::answerNextModal(
                [&](QWidget* modal) {
                    prompted = true;
                    user = modal->findChild<QLineEdit*>("lineEditAccount")->text();
                    password = modal->findChild<QLineEdit*>("lineEditPassword")->text();
                    remember = modal->findChild<QAbstractButton*>("btnRemember")->isChecked();
                    modal->findChild<QPushButton*>("btnClose")->click();
                },
                "AccountLoginDialog");
        }
        press();
        if (c.prompt) {
            EXPECT_TRUE(prompted);
            EXPECT_EQ(user, c.prefilled ? QString::fromLatin1(c.user) : QString());
            EXPECT_EQ(password, c.prefilled ? QString::fromLatin1(c.password) : QString());
            EXPECT_EQ(remember, c.prefilled);
            // Closing the first prompt connects nothing and fails nothing.
            EXPECT_EQ(status(), CONNECT_STATUS_NOT_CONNECTED);
            EXPECT_EQ(statusSignals(), std::vector<int>{CONNECT_STATUS_NOT_CONNECTED});
            settle();
            EXPECT_FALSE(QFile::exists(QStringLiteral("openvpn-args.txt")));
        } else {
            EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING);
            EXPECT_TRUE(waitOpenVPNStarted());
            press(); // cancel
            EXPECT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
        }
        closePage();
    }
    EXPECT_FALSE(guitest::logText().contains(QStringLiteral("Connect failed; Porfile: { ovpn-office }")));
}

TEST_F(OpenVPNRoad, ConfirmedCredentialsAreStoredWrittenForOpenVPNAloneAndRemovedAtTheResult) {
    for (const bool remember : {false, true}) {
        SCOPED_TRACE(remember ? "Remember Me" : "not remembered");
        hometest::clearStore();
        OpenVPNProfile profile;
        profile.needPwd = 1;
        profile.promptPwd = 1;
        const int configId = addOpenVPNProfile(profile);
        QFile::remove(QStringLiteral("openvpn-go"));
        writeFile(QStringLiteral("openvpn-say-more"), "Initialization Sequence Completed\n");
        open("ovpn-office");
        guitest::answerNextModal(
            [remember](QWidget* modal) {
                QTest::keyClicks(modal->findChild<QLineEdit*>("lineEditAccount"), QStringLiteral("alice"));
                QTest::keyClicks(modal->findChild<QLineEdit*>("lineEditPassword"),
                                 QStringLiteral("s3cr'et pw"));
                modal->findChild<QAbstractButton*>("btnRemember")->setChecked(remember);
                modal->findChild<QPushButton*>("btnLogin")->click();
            },
            "AccountLoginDialog");
        startAttempt();
        const OpenVPNInfo stored = row(configId);
        EXPECT_STREQ(stored.UserName, "alice");
        // A password the user asked not to keep is used for this connect alone.
        EXPECT_STREQ(stored.UserPwd, remember ? "s3cr'et pw" : "");
        EXPECT_EQ(stored.RememberMe, remember ? 1 : 0);
        EXPECT_EQ(stored.VPNConfig, profile.config) << "every other column keeps its value";

        // openvpn found the credentials, readable by the owner only, its arguments, and the
        // management interface's password in a file of its own, readable by the owner only.
        EXPECT_EQ(readFile(QStringLiteral("openvpn-credentials.txt")), QStringLiteral("alice\ns3cr'et pw\n"));
        EXPECT_EQ(readFile(QStringLiteral("openvpn-credentials-mode.txt")).trimmed(), QStringLiteral("600"));
        const QString runFolder = qEnvironmentVariable("KORVA_RUN_DIR") + QStringLiteral("/openvpn");
        ASSERT_FALSE(runFolder.isEmpty());
        const QString args = readFile(QStringLiteral("openvpn-args.txt")).trimmed();
        const QString fixed = QStringLiteral("--config ./Config/openvpn/ovpn-office.ovpn --auth-retry none "
                                             "--management 127.0.0.1 11505 ");
        EXPECT_TRUE(args.startsWith(fixed)) << args.toStdString();
        const QString secretFile = args.mid(fixed.size());
        EXPECT_TRUE(secretFile.startsWith(runFolder + "/management-")) << secretFile.toStdString();
        EXPECT_EQ(readFile(QStringLiteral("openvpn-secret-mode.txt")).trimmed(), QStringLiteral("600"));
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}\n$"))
                        .match(readFile(QStringLiteral("openvpn-secret.txt")))
                        .hasMatch());
        EXPECT_EQ(QFileInfo(runFolder).permissions() & 0x0077, 0);
        EXPECT_EQ(readFile(QStringLiteral("Config/openvpn/ovpn-office.ovpn")),
                  QString::fromLatin1(profile.config));
        EXPECT_EQ(QFileInfo(QStringLiteral("Config/openvpn/ovpn-office.ovpn")).permissions() & 0x0077, 0);
        EXPECT_TRUE(credentialFileExists());

        releaseOutput();
        pollOpenVPN();
        EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED);
        EXPECT_FALSE(credentialFileExists()) << "gone at the result, success included";
        EXPECT_FALSE(QFile::exists(secretFile)) << "openvpn read it when it started";
        closePage();
    }
    EXPECT_TRUE(guitest::logText().contains(QStringLiteral("OpenVPN :: connect finished, errorcode = 0 \n")));
    EXPECT_TRUE(guitest::logText().contains(
        QStringLiteral("VPN :: Status: Connected; Porfile: { ovpn-office }; Type: { Open VPN } \n")));
}

TEST_F(OpenVPNRoad, OutputTable) {
    const char* const kIcs = "Initialization Sequence Completed\n";
    const struct {
        const char* what;
        QByteArray first;  // printed at the start
        QByteArray second; // printed after the first tick
        int result;
    } cases[] = {
        {"success", "", kIcs, 0},
        {"success and a refusal in one read", "",
         "AUTH: Received control message: AUTH_FAILED\nInitialization Sequence Completed\n", 0},
        {"a marker cut between two reads", "Thu Initialization Sequ", "ence Completed\n", 0},
        {"no adapter", "", "There are no TAP-Windows adapters on this system\n", -5},
        {"adapters in use", "", "All TAP-Windows adapters on this system are currently in use\n", -5},
        {"refused credentials", "", "AUTH: Received control message: AUTH_FAILED\n", -6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        hometest::clearStore();
        addOpenVPNProfile(OpenVPNProfile());
        for (const char* file : {"openvpn-go", "openvpn-args.txt"}) {
            QFile::remove(QString::fromLatin1(file));
        }
        writeFile(QStringLiteral("openvpn-say"), c.first);
        writeFile(QStringLiteral("openvpn-say-more"), c.second);
        open("ovpn-office");
        QSignalSpy finished(controller(), SIGNAL(signalVPNConnectFinished(int)));
        startAttempt();
        const int pid = openvpnPid();
        ASSERT_TRUE(waitOpenVPNSaid());
        pollOpenVPN();
        EXPECT_EQ(finished.count(), 0);
        releaseOutput();
        if (c.result == -5) {
            // The program that found no adapter ends before the adapter prompt shows.
            guitest::answerNextModal(
                [pid](QWidget* modal) {
                    EXPECT_NE(::kill(pid, 0), 0) << "openvpn still runs";
                    EXPECT_TRUE(modal->findChild<QWidget*>("btnConfirm")->isVisible());
                    modal->close();
                },
                "ZRErrorDialog");
        } else if (c.result == -6) {
            guitest::answerNextModal(
                [](QWidget* modal) { modal->findChild<QPushButton*>("btnClose")->click(); },
                "AccountLoginDialog");
        }
        pollOpenVPN();
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.first()[0].toInt(), c.result);
        EXPECT_TRUE(waitStatus(c.result == 0 ? CONNECT_STATUS_CONNECTED : CONNECT_STATUS_DISCONNECTED));
        if (c.result != 0) {
            EXPECT_TRUE(processGone(pid));
            EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        }
        // A later tick of the ended poll reports nothing more.
        pollOpenVPN();
        EXPECT_EQ(finished.count(), 1);
        closePage();
    }
}

TEST_F(OpenVPNRoad, TheDhcpLineShowsTheAddressBeforeTheResult) {
    addOpenVPNProfile(OpenVPNProfile());
    writeFile(
        QStringLiteral("openvpn-say"),
        "Notified TAP-Windows driver to set a DHCP IP/netmask of 10.8.0.6/255.255.255.0 on interface\n");
    writeFile(QStringLiteral("openvpn-say-more"), "Initialization Sequence Completed\n");
    open("ovpn-office");
    startAttempt();
    ASSERT_TRUE(waitOpenVPNSaid());
    pollOpenVPN();
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING);
    EXPECT_EQ(text("labelIP"), QStringLiteral("10.8.0.6"));
    EXPECT_EQ(text("labelMask"), QStringLiteral("255.255.255.0"));
    releaseOutput();
    pollOpenVPN();
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED);
    EXPECT_TRUE(w("labelIPWidget")->isVisible());
    EXPECT_TRUE(w("labelMaskWidget")->isVisible());
}

TEST_F(OpenVPNRoad, SilenceFailsAtTheEighthTick) {
    OpenVPNProfile profile;
    profile.needPwd = 1;
    profile.user = "alice";
    profile.password = "pw";
    addOpenVPNProfile(profile);
    open("ovpn-office");
    QSignalSpy finished(controller(), SIGNAL(signalVPNConnectFinished(int)));
    startAttempt();
    const int pid = openvpnPid();
    for (int tick = 1; tick <= 7; ++tick) {
        pollOpenVPN();
    }
    EXPECT_EQ(finished.count(), 0) << "no result after 14 s";
    EXPECT_TRUE(credentialFileExists());
    pollOpenVPN();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first()[0].toInt(), -4);
    EXPECT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(credentialFileExists());
    EXPECT_TRUE(w("statusIconWidget")->isVisible());
    EXPECT_TRUE(guitest::logText().contains(
        QStringLiteral("VPN :: Status: Connect failed; Porfile: { ovpn-office }; Type: { Open VPN } \n")));
}

TEST_F(OpenVPNRoad, AnExistingConfigurationFileIsUsedAsItIs) {
    addOpenVPNProfile(OpenVPNProfile());
    writeFile(QStringLiteral("Config/openvpn/ovpn-office.ovpn"), "client\n# edited by the editor\n");
    open("ovpn-office");
    startAttempt();
    EXPECT_EQ(readFile(QStringLiteral("Config/openvpn/ovpn-office.ovpn")),
              QStringLiteral("client\n# edited by the editor\n"));
    EXPECT_FALSE(credentialFileExists()) << "a profile without credentials writes none";
}

TEST_F(OpenVPNRoad, CancelEndsTheProgramAndTheCredentialsAndNothingFollows) {
    OpenVPNProfile profile;
    profile.needPwd = 1;
    profile.user = "alice";
    profile.password = "pw";
    addOpenVPNProfile(profile);
    open("ovpn-office");
    QSignalSpy finished(controller(), SIGNAL(signalVPNConnectFinished(int)));
    startAttempt();
    const int pid = openvpnPid();
    ASSERT_TRUE(credentialFileExists());
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(credentialFileExists());
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("No Connection"));
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Connect"));
    writeFile(QStringLiteral("openvpn-go"), "");
    pollOpenVPN();
    // The poll has stopped: its own tick does not come again.
    EXPECT_FALSE(controller()->findChild<QTimer*>(QStringLiteral("openVPNPollTimer"))->isActive());
    settle();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(guitest::logText().contains(
        QStringLiteral("VPN :: Status: Cancel connect; Porfile: { ovpn-office }; Type: { Open VPN } \n")));
}

TEST_F(OpenVPNRoad, CloseWhileConnectingOrConnectedEndsOpenVPNAndTheCredentials) {
    // Both kinds that run openvpn.
    const struct {
        int kind;
        bool connected;
    } cases[] = {{VPN_TYPE_OPENVPN, false},
                 {VPN_TYPE_OPENVPN, true},
                 {VPN_TYPE_SSLVPN, false},
                 {VPN_TYPE_SSLVPN, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("kind %1, %2")
                         .arg(c.kind)
                         .arg(c.connected ? "connected" : "connecting")
                         .toStdString());
        const int kind = c.kind;
        const bool connected = c.connected;
        hometest::clearStore();
        OpenVPNProfile profile;
        profile.type = kind;
        profile.needPwd = 1;
        profile.user = "alice";
        profile.password = "pw";
        addOpenVPNProfile(profile);
        QFile::remove(QStringLiteral("openvpn-go"));
        writeFile(QStringLiteral("openvpn-say-more"), connected ? "Initialization Sequence Completed\n" : "");
        open("ovpn-office");
        startAttempt();
        const int pid = openvpnPid();
        if (connected) {
            releaseOutput();
            pollOpenVPN();
            ASSERT_EQ(status(), CONNECT_STATUS_CONNECTED);
        }
        ProfileInfo current;
        hometest::app()->GetCurrentProfile(&current);
        EXPECT_EQ(current.ProfileType, kind);
        if (connected) {
            page->tunnelTeardown()->disconnectTunnel(current);
        } else {
            page->tunnelTeardown()->cancelConnect(current);
        }
        // The road returns once the program has ended.
        EXPECT_NE(::kill(pid, 0), 0);
        EXPECT_FALSE(credentialFileExists());
        EXPECT_FALSE(controller()->isManagementConnected());
        closePage();
    }
}

TEST_F(OpenVPNRoad, RefusedCredentialsAskAgainWithTheWarning) {
    OpenVPNProfile profile;
    profile.needPwd = 1;
    profile.rememberMe = 1;
    profile.user = "alice";
    profile.password = "wrong";
    const int configId = addOpenVPNProfile(profile);
    writeFile(QStringLiteral("openvpn-say"), "AUTH: Received control message: AUTH_FAILED\n");
    open("ovpn-office");
    startAttempt();
    const int refusedPid = openvpnPid();

    // Confirm with new credentials: a new attempt while the prompt is open.
    bool warned = false;
    QString prefilled;
    guitest::answerNextModal(
        [&](QWidget* modal) {
            warned = modal->findChild<QLabel*>("labelWarning")->isVisible();
            auto* password = modal->findChild<QLineEdit*>("lineEditPassword");
            prefilled = password->text();
            password->setText(QStringLiteral("right"));
            QFile::remove(QStringLiteral("openvpn-say"));
            QFile::remove(QStringLiteral("openvpn-args.txt"));
            modal->findChild<QPushButton*>("btnLogin")->click();
        },
        "AccountLoginDialog");
    ASSERT_TRUE(waitOpenVPNSaid());
    pollOpenVPN();
    ASSERT_TRUE(guitest::waitFor([&] { return warned; }));
    EXPECT_EQ(prefilled, QStringLiteral("wrong"));
    EXPECT_TRUE(processGone(refusedPid)) << "the refused openvpn is ended before the prompt";
    EXPECT_STREQ(row(configId).UserPwd, "right");
    ASSERT_TRUE(waitOpenVPNStarted());
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING);
    EXPECT_EQ(readFile(QStringLiteral("openvpn-credentials.txt")), QStringLiteral("alice\nright\n"));
    ASSERT_TRUE(waitPolling("openVPNPollTimer"));
    takeOverPoll();

    // Refused again; the prompt is closed this time (Close, then Esc): the attempt fails.
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "Close");
        writeFile(QStringLiteral("openvpn-say-more"), "AUTH: Received control message: AUTH_FAILED\n");
        releaseOutput();
        guitest::answerNextModal(
            [escape](QWidget* modal) {
                if (escape) {
                    QTest::keyClick(modal, Qt::Key_Escape);
                } else {
                    modal->findChild<QPushButton*>("btnClose")->click();
                }
            },
            "AccountLoginDialog");
        pollOpenVPN();
        EXPECT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        if (!escape) {
            QFile::remove(QStringLiteral("openvpn-go"));
            QFile::remove(QStringLiteral("openvpn-args.txt"));
            writeFile(QStringLiteral("openvpn-say-more"), "");
            // The kept credentials start the next attempt without a prompt.
            startAttempt();
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        }
    }
    EXPECT_FALSE(credentialFileExists());
}

TEST_F(OpenVPNRoad, MissingAdapterRetryCreatesOneAndConnectsAgain) {
    addOpenVPNProfile(OpenVPNProfile());
    writeFile(QStringLiteral("openvpn-say"), "There are no TAP-Windows adapters on this system\n");
    open("ovpn-office");
    startAttempt();
    const int first = openvpnPid();
    bool retried = false;
    guitest::answerNextModal(
        [&retried](QWidget* modal) {
            QFile::remove(QStringLiteral("openvpn-say"));
            QFile::remove(QStringLiteral("openvpn-args.txt"));
            retried = true;
            modal->findChild<QPushButton*>("btnConfirm")->click();
        },
        "ZRErrorDialog");
    ASSERT_TRUE(waitOpenVPNSaid());
    pollOpenVPN();
    ASSERT_TRUE(guitest::waitFor([&retried] { return retried; }));
    ASSERT_TRUE(waitOpenVPNStarted());
    EXPECT_EQ(readFile(QStringLiteral("addtap-calls.txt")), QStringLiteral("run\n"));
    EXPECT_TRUE(processGone(first));
    EXPECT_NE(openvpnPid(), first);
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING);

    // The script fails: the failure's message, no buttons, the status stays failed.
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    writeFile(QStringLiteral("addtap-fail"), "");
    QString message;
    bool buttons = true;
    guitest::answerNextModal(
        [&](QWidget* modal) {
            message = modal->findChild<QLabel*>("labelContent")->text();
            buttons = modal->findChild<QWidget*>("btnConfirm")->isVisible();
            modal->close();
        },
        "ZRErrorDialog");
    QMetaObject::invokeMethod(controller(), "slotAddTapAndReconnect");
    ASSERT_TRUE(guitest::waitFor([&] { return !message.isEmpty(); }));
    EXPECT_EQ(message, QStringLiteral("Creating the TAP network adapter failed!"));
    EXPECT_FALSE(buttons);
    EXPECT_EQ(status(), CONNECT_STATUS_DISCONNECTED);
}

TEST_F(OpenVPNRoad, DisconnectEndsTheProgramAndResetsTheConnection) {
    addOpenVPNProfile(OpenVPNProfile());
    writeFile(QStringLiteral("openvpn-say"), "Initialization Sequence Completed\n");
    open("ovpn-office");
    startAttempt();
    ASSERT_TRUE(waitOpenVPNSaid());
    pollOpenVPN();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTED);
    const int pid = openvpnPid();
    for (int i = 0; i < 3; ++i) {
        QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
    }
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 3s"));
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED));
    EXPECT_TRUE(processGone(pid));
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 0s"));
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -"));
    EXPECT_FALSE(w("labelIPWidget")->isVisible());
    ProfileInfo current;
    hometest::app()->GetCurrentProfile(&current);
    EXPECT_EQ(current.ProfileType, 0);
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 2, 0}));
    const QString log = guitest::logText();
    EXPECT_TRUE(log.contains(
        QStringLiteral("VPN :: Status: Disconnect; Porfile: { ovpn-office }; Type: { Open VPN } \n")));
    EXPECT_TRUE(
        log.contains(QStringLiteral("OpenVPN :: OpenVPN Disconnect: terminate OpenVPN connection\n")));
}

TEST_F(OpenVPNRoad, FilesThatCannotBeWrittenEndTheAttempt) {
    // The credential file's place is taken by a folder: nothing starts, the attempt fails,
    // and the toast says the connection could not be prepared.
    OpenVPNProfile profile;
    profile.type = 2;
    profile.needPwd = 1;
    profile.user = "alice";
    profile.password = "pw";
    addOpenVPNProfile(profile);
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("Config/openvpn/ovpnpwd.txt")));
    open("ovpn-office");
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    EXPECT_FALSE(QFile::exists(QStringLiteral("openvpn-args.txt")));
    EXPECT_FALSE(w("loadingWidget")->isVisible());
    EXPECT_TRUE(guitest::logText().contains(
        QStringLiteral("OpenVPN :: open file ./Config/openvpn/ovpnpwd.txt failed! \n")));
    EXPECT_TRUE(guitest::waitFor(
        [] { return guitest::toastText() == ZRStringConstant::tr("ZRVPN_CONNECT_PREPARE_FAILED"); }));
    QDir(QStringLiteral("Config")).removeRecursively();
    closePage();

    // The ".ovpn" cannot be written (its folder's place is taken by a file): a failure at
    // once, not sixteen seconds of connecting.
    hometest::clearStore();
    addOpenVPNProfile(OpenVPNProfile());
    writeFile(QStringLiteral("Config/openvpn"), "not a folder");
    open("ovpn-office");
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    EXPECT_FALSE(QFile::exists(QStringLiteral("openvpn-args.txt")));
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
    EXPECT_FALSE(credentialFileExists());
}

TEST_F(OpenVPNRoad, OpenVPNEndingWhileConnectingFailsAtTheNextTickWithItsReason) {
    const struct {
        const char* what;
        QByteArray said;
        const char* key;
    } cases[] = {
        {"the management port taken",
         "MANAGEMENT: Socket bind failed on local address [AF_INET]127.0.0.1:11505: Address already in use "
         "(errno=98)\nExiting due to fatal error\n",
         "ZRVPN_OPENVPN_PORT_IN_USE"},
        {"a TLS error", "TLS Error: TLS handshake failed\nExiting due to fatal error\n",
         "ZRVPN_OPENVPN_TLS_ERROR"},
        {"a configuration it cannot read", "Options error: In ./Config/openvpn/ovpn-office.ovpn: line 3\n",
         "ZRVPN_OPENVPN_CONFIG_ERROR"},
        {"the server gone quiet, then a TLS error, then silence at last",
         "TLS Error: TLS key negotiation failed\n[server] Inactivity timeout (--ping-exit), exiting\n",
         "ZRVPN_OPENVPN_NO_ANSWER"},
        {"nothing said", "", "ZRVPN_OPENVPN_ENDED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        hometest::clearStore();
        OpenVPNProfile profile;
        profile.needPwd = 1;
        profile.user = "alice";
        profile.password = "pw";
        addOpenVPNProfile(profile);
        writeFile(QStringLiteral("openvpn-say"), c.said);
        writeFile(QStringLiteral("openvpn-go"), "");
        writeFile(QStringLiteral("openvpn-exit"), "");
        open("ovpn-office");
        QSignalSpy finished(controller(), SIGNAL(signalVPNConnectFinished(int)));
        startAttempt();
        const int pid = openvpnPid();
        ASSERT_TRUE(processGone(pid));
        // Its output comes to its end with the program: the first tick after that says so.
        ASSERT_TRUE(guitest::waitFor([&] {
            pollOpenVPN();
            return finished.count() > 0;
        }));
        EXPECT_EQ(finished.first()[0].toInt(), -11);
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        EXPECT_TRUE(w("statusIconWidget")->isVisible());
        EXPECT_TRUE(guitest::waitFor([&] { return guitest::toastText() == ZRStringConstant::tr(c.key); }))
            << guitest::toastText().toStdString();
        settle();
        EXPECT_FALSE(credentialFileExists());
        EXPECT_TRUE(QDir(qEnvironmentVariable("KORVA_RUN_DIR") + QStringLiteral("/openvpn"))
                        .entryList(QStringList{QStringLiteral("management-*")}, QDir::Files)
                        .isEmpty());
        EXPECT_TRUE(
            guitest::logText().contains(QStringLiteral("OpenVPN :: connect finished, errorcode = -11 \n")));
        closePage();
        QFile::remove(QStringLiteral("openvpn-exit"));
    }
}

TEST_F(OpenVPNRoad, OpenVPNEndingWhileConnectedIsShownAtTheNextSecondWithItsReason) {
    const struct {
        const char* what;
        QByteArray last; // null: killed
        const char* key;
    } cases[] = {
        {"ping-exit", "[vpn] Inactivity timeout (--ping-exit), exiting\nSIGTERM[soft,ping-exit] received\n",
         "ZRVPN_OPENVPN_NO_ANSWER"},
        {"credentials refused again", "AUTH: Received control message: AUTH_FAILED\n",
         "ZRVPN_OPENVPN_AUTH_FAILED"},
        {"killed", QByteArray(), "ZRVPN_OPENVPN_ENDED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        hometest::clearStore();
        addOpenVPNProfile(OpenVPNProfile());
        writeFile(QStringLiteral("openvpn-say"), "Initialization Sequence Completed\n");
        writeFile(QStringLiteral("openvpn-go"), "");
        QFile::remove(QStringLiteral("openvpn-end"));
        open("ovpn-office");
        startAttempt();
        const int pid = openvpnPid();
        ASSERT_TRUE(waitOpenVPNSaid(true));
        pollOpenVPN();
        ASSERT_EQ(status(), CONNECT_STATUS_CONNECTED);
        for (int i = 0; i < 2; ++i) {
            QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
        }
        EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED) << "a tick of a running openvpn changes nothing";
        EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 2s"));

        if (c.last.isNull()) {
            ::kill(pid, SIGKILL);
        } else {
            writeFile(QStringLiteral("openvpn-last"), c.last);
            writeFile(QStringLiteral("openvpn-end"), "");
        }
        ASSERT_TRUE(processGone(pid));
        // The second's tick after its output came to its end shows it.
        ASSERT_TRUE(guitest::waitFor([&] {
            QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
            return status() != CONNECT_STATUS_CONNECTED;
        }));
        EXPECT_EQ(status(), CONNECT_STATUS_DISCONNECTED);
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        EXPECT_EQ(text("btnConnect"), QStringLiteral("Connect"));
        EXPECT_TRUE(w("statusIconWidget")->isVisible());
        EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 0s"));
        EXPECT_FALSE(w("labelIPWidget")->isVisible());
        EXPECT_FALSE(controller()->isManagementConnected());
        ProfileInfo current;
        hometest::app()->GetCurrentProfile(&current);
        EXPECT_EQ(current.ProfileType, 0);
        EXPECT_TRUE(guitest::waitFor([&] { return guitest::toastText() == ZRStringConstant::tr(c.key); }))
            << guitest::toastText().toStdString();
        EXPECT_EQ(statusSignals(), (std::vector<int>{1, 2, 3}));
        EXPECT_TRUE(guitest::logText().contains(QStringLiteral("OpenVPN :: OpenVPN ended by itself")));
        settle();
        closePage();
    }
}

TEST_F(OpenVPNRoad, OpenVPNNeverWaitsOnItsOwnOutput) {
    // Four times what a pipe holds, written while connected and nobody polls: openvpn
    // writes it all and goes on.
    addOpenVPNProfile(OpenVPNProfile());
    writeFile(QStringLiteral("openvpn-say"), "Initialization Sequence Completed\n");
    writeFile(QStringLiteral("openvpn-flood"), "4194304");
    open("ovpn-office");
    startAttempt();
    ASSERT_TRUE(waitOpenVPNSaid());
    pollOpenVPN();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTED);
    writeFile(QStringLiteral("openvpn-go"), "");
    EXPECT_TRUE(guitest::waitFor([] { return QFile::exists(QStringLiteral("openvpn-flooded")); }, 20000))
        << "openvpn stalled on its output";
    QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED);
    EXPECT_FALSE(guitest::logText().contains(QStringLiteral("xxxxxxxxxx"))) << "the flood is not logged";
}

} // namespace
