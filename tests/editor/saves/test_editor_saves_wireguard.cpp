// The WireGuard page: keys from the bundle's wg tool (the real one, and doubles that fail
// or answer junk), the configuration file and the rows a save writes, loading them back,
// and the fields that stop a save.
#include <QProcess>

#include "SavesTestSupport.h"
#include "WireGuardContext.h"

using namespace savestest;
using editortest::EditorTest;

namespace {

const auto* const storeEnvironment = ::testing::AddGlobalTestEnvironment(new StoreEnvironment);

const QString kPresharedKey = QStringLiteral("FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=");

QString confPath(const QString& name) {
    return QStringLiteral("Config/wireguard/%1.conf").arg(name);
}

WireGuardVPNInfo storedRow(const QString& name) {
    WireGuardVPNInfo info;
    app()->GetWireGuardContext()->GetWireGuardInfoByID(storedProfile(name).ConfigID, &info);
    return info;
}

// Debian's wg, asked directly: the public key of a private key.
QString publicKeyOf(const QString& privateKey) {
    QProcess wg;
    wg.start(QStringLiteral("wg"), {QStringLiteral("pubkey")});
    wg.write(privateKey.toLatin1() + '\n');
    wg.closeWriteChannel();
    wg.waitForFinished();
    return QString::fromLatin1(wg.readAllStandardOutput()).trimmed();
}

// A stand-in for the bundle's wg that records its arguments and its input, then answers
// as told (genkey and pubkey alike).
void writeRecordingTool(const QByteArray& genkeyAnswer, const QByteArray& pubkeyAnswer) {
    clearBin();
    QFile::remove(QStringLiteral("tool.log"));
    ASSERT_TRUE(guitest::writeBundleProgram(
        QStringLiteral("bin/Wireguard/wg"),
        "#!/bin/sh\n"
        "echo \"args: $*\" >> tool.log\n"
        "if [ \"$1\" = pubkey ]; then echo \"input: $(cat)\" >> tool.log; printf '%s\\n' '" +
            pubkeyAnswer + "'; else printf '%s\\n' '" + genkeyAnswer + "'; fi\n"));
}

QString toolLog() {
    return QFile::exists(QStringLiteral("tool.log")) ? QString::fromUtf8(readFile(QStringLiteral("tool.log")))
                                                     : QString();
}

WireGuardForm fullForm(const QString& name) {
    WireGuardForm form = requiredWireGuardForm(name);
    form.listenPort = QStringLiteral("51820");
    form.dns = QStringLiteral("10.8.0.1");
    form.presharedKey = kPresharedKey;
    form.keepAlive = QStringLiteral("25");
    form.subnets = QStringList{QStringLiteral("10.8.0.0/24"), QStringLiteral("192.168.60.0/24")};
    return form;
}

TEST_F(EditorTest, RealKeyToolMakesAndDerivesKeyPairs) {
    ASSERT_TRUE(linkBundle());
    auto editor = openNew();
    Ui::ProfileConfigDialog& u = editor->form();
    chooseKind(u.comboBoxVPNType, 3);

    // A typed private key: its public key once the last character makes it a key.
    typeInto(u.lineEditWireGuardPriKey, kPrivateKey);
    EXPECT_EQ(u.lineEditWireGuardPubKey->text(), kPublicKey);

    // Generate: a new private key and its public key, as wg itself derives it.
    click(u.btnGenKeys);
    const QString generated = u.lineEditWireGuardPriKey->text();
    EXPECT_NE(generated, kPrivateKey);
    EXPECT_EQ(generated.size(), 44);
    EXPECT_EQ(u.lineEditWireGuardPubKey->text(), publicKeyOf(generated));
    EXPECT_EQ(u.lineEditWireGuardPriKey->cursorPosition(), 0);
    EXPECT_EQ(u.lineEditWireGuardPubKey->cursorPosition(), 0);
}

TEST_F(EditorTest, KeyReachesTheToolOnItsInputAndOnlyAKeyRunsIt) {
    writeRecordingTool(kPrivateKey.toLatin1(), kPublicKey.toLatin1());
    auto editor = openNew();
    Ui::ProfileConfigDialog& u = editor->form();
    chooseKind(u.comboBoxVPNType, 3);

    // Not a key: the tool does not run, and the field's warning goes.
    editor->form().labelPriKeyWarning->setText(QStringLiteral("warning"));
    typeInto(u.lineEditWireGuardPriKey, QStringLiteral("not-a-key"));
    EXPECT_EQ(toolLog(), QString());
    EXPECT_TRUE(u.labelPriKeyWarning->text().isEmpty());

    // A key: "wg pubkey" with the key on its input, never among its arguments.
    u.lineEditWireGuardPriKey->setText(kPresharedKey);
    EXPECT_EQ(toolLog(), QStringLiteral("args: pubkey\ninput: %1\n").arg(kPresharedKey));
    EXPECT_EQ(u.lineEditWireGuardPubKey->text(), kPublicKey);
}

TEST_F(EditorTest, KeyToolFailureOrJunkLeavesTheKeysAsTheyWere) {
    const struct {
        const char* what;
        QByteArray genkey;
        QByteArray pubkey;
        bool tool;
    } cases[] = {
        {"no tool", "", "", false},
        {"junk from genkey", "Segmentation fault", "", true},
        {"junk from pubkey", kPrivateKey.toLatin1(), "wg: Key is not the correct length or format", true},
        {"a key too short", "AAAA", "AAAA", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.tool) {
            writeRecordingTool(c.genkey, c.pubkey);
        } else {
            clearBin();
        }
        auto editor = openNew();
        Ui::ProfileConfigDialog& u = editor->form();
        chooseKind(u.comboBoxVPNType, 3);
        typeInto(u.lineEditWireGuardPriKey, QStringLiteral("typed"));
        typeInto(u.lineEditWireGuardPubKey, QStringLiteral("kept"));
        click(u.btnGenKeys);
        EXPECT_EQ(u.lineEditWireGuardPriKey->text(), QStringLiteral("typed"));
        EXPECT_EQ(u.lineEditWireGuardPubKey->text(), QStringLiteral("kept"));
        u.lineEditWireGuardPriKey->setText(kPrivateKey);
        EXPECT_EQ(u.lineEditWireGuardPubKey->text(), QStringLiteral("kept"));
    }
}

TEST_F(EditorTest, SaveWritesTheConfigurationAndRowsAndLoadsThemBack) {
    ASSERT_TRUE(linkBundle());
    auto editor = openNew();
    fillWireGuard(*editor, fullForm(QStringLiteral("Tunnel_1")));
    EXPECT_EQ(editor->form().lineEditWireGuardPubKey->text(), kPublicKey);
    ASSERT_TRUE(confirm(*editor)) << log();
    EXPECT_EQ(readFile(confPath(QStringLiteral("Tunnel_1"))), golden("wireguard-full.conf"));
    EXPECT_FALSE(QFileInfo(confPath(QStringLiteral("Tunnel_1"))).permission(QFileDevice::ReadOther));

    const ProfileInfo profile = storedProfile(QStringLiteral("Tunnel_1"));
    EXPECT_EQ(profile.ProfileType, 4);
    const WireGuardVPNInfo row = storedRow(QStringLiteral("Tunnel_1"));
    EXPECT_STREQ(row.WanIP, "198.51.100.20");
    EXPECT_EQ(row.PeerPort, 51821);
    EXPECT_EQ(QString::fromLatin1(row.PeerPubKey), kPeerKey);
    EXPECT_STREQ(row.IPAddr, "10.8.0.2");
    EXPECT_EQ(row.InterSubMask, 24);
    EXPECT_EQ(row.InterPort, 51820);
    EXPECT_EQ(QString::fromLatin1(row.InterPriKey), kPrivateKey);
    EXPECT_EQ(QString::fromLatin1(row.InterPubKey), kPublicKey);
    EXPECT_STREQ(row.DNS, "10.8.0.1");
    EXPECT_EQ(QString::fromLatin1(row.PreShardKey), kPresharedKey);
    EXPECT_EQ(row.KeepaliveTime, 25);
    EXPECT_STREQ(row.AllowdIPs, "10.8.0.0/24, 192.168.60.0/24");

    // Loaded back: every value in its field, the rows, full traffic off.
    editor = openStored(QStringLiteral("Tunnel_1"));
    Ui::ProfileConfigDialog& u = editor->form();
    EXPECT_EQ(u.stackedWidgetVPNType->currentIndex(), 3);
    EXPECT_EQ(u.lineEditEndpoint->ipAddress(), QStringLiteral("198.51.100.20"));
    EXPECT_EQ(u.lineEditPeerPort->text(), QStringLiteral("51821"));
    EXPECT_EQ(u.lineEditPubKey->text(), kPeerKey);
    EXPECT_EQ(u.lineEditInterAddr->ipAddress(), QStringLiteral("10.8.0.2"));
    EXPECT_EQ(u.lineEditSubMask->text(), QStringLiteral("24"));
    EXPECT_EQ(u.lineEditWireGuardInterPort->text(), QStringLiteral("51820"));
    EXPECT_EQ(u.lineEditWireGuardPriKey->text(), kPrivateKey);
    EXPECT_EQ(u.lineEditWireGuardPubKey->text(), kPublicKey);
    EXPECT_EQ(u.lineEditWireGuardDNS->ipAddress(), QStringLiteral("10.8.0.1"));
    EXPECT_EQ(u.lineEditWireGuardShardKey->text(), kPresharedKey);
    EXPECT_EQ(u.lineEditWireGuardKeepAlive->text(), QStringLiteral("25"));
    EXPECT_FALSE(u.btnWireGuardFullTraffic->isChecked());
    EXPECT_FALSE(u.btnWireGuardAddGateway->isHidden());
    ASSERT_EQ(editor->rowAddresses(u.wireguardGatewayWidget).size(), 2);
    EXPECT_EQ(editor->rowAddresses(u.wireguardGatewayWidget).at(1)->ipAddress(),
              QStringLiteral("192.168.60.0"));

    // Saved unchanged: nothing changes.
    const Snapshot before = snapshot();
    ASSERT_TRUE(confirm(*editor));
    EXPECT_EQ(snapshot(), before);

    // Renamed: the file under the new name, the old one gone, the same rows updated.
    editor = openStored(QStringLiteral("Tunnel_1"));
    typeInto(editor->form().lineEditProfileName, QStringLiteral("Tunnel_2"));
    ASSERT_TRUE(confirm(*editor));
    EXPECT_FALSE(QFile::exists(confPath(QStringLiteral("Tunnel_1"))));
    EXPECT_EQ(readFile(confPath(QStringLiteral("Tunnel_2"))), golden("wireguard-full.conf"));
    EXPECT_EQ(storedProfile(QStringLiteral("Tunnel_2")).ProfileID, profile.ProfileID);
    EXPECT_EQ(storedProfile(QStringLiteral("Tunnel_2")).ConfigID, profile.ConfigID);
}

TEST_F(EditorTest, MinimalProfileWritesTheRequiredLinesAndRoundTrips) {
    ASSERT_TRUE(linkBundle());
    WireGuardForm form = requiredWireGuardForm(QStringLiteral("Minimal"));
    // A keep-alive of 0 that the user typed is written as typed (keep-alives off); a partly
    // typed DNS address is no address.
    form.keepAlive = QStringLiteral("0");
    form.dns = QStringLiteral("10.8.0");
    auto editor = openNew();
    fillWireGuard(*editor, form);
    ASSERT_TRUE(confirm(*editor)) << log();
    EXPECT_EQ(readFile(confPath(form.name)), golden("wireguard-minimal.conf") + "PersistentKeepalive = 0\n");
    const WireGuardVPNInfo row = storedRow(form.name);
    EXPECT_EQ(row.InterPort, 0);
    EXPECT_EQ(row.KeepaliveTime, 0);
    EXPECT_STREQ(row.DNS, "");
    EXPECT_STREQ(row.PreShardKey, "");
    EXPECT_STREQ(row.AllowdIPs, "");

    editor = openStored(form.name);
    Ui::ProfileConfigDialog& u = editor->form();
    EXPECT_TRUE(u.lineEditWireGuardInterPort->text().isEmpty());
    EXPECT_TRUE(u.lineEditWireGuardKeepAlive->text().isEmpty());
    EXPECT_TRUE(u.btnWireGuardFullTraffic->isChecked());
    EXPECT_TRUE(u.wireguardGatewayWidget->isHidden());
    EXPECT_TRUE(u.btnWireGuardAddGateway->isHidden());
    // Stored as 0, the keep-alive loads as an empty field, so saving again writes no line:
    // the same setting, and the rows stay as they were.
    const Snapshot before = snapshot();
    ASSERT_TRUE(confirm(*editor));
    EXPECT_EQ(snapshot().rows, before.rows);
    EXPECT_EQ(readFile(confPath(form.name)), golden("wireguard-minimal.conf"));
}

TEST_F(EditorTest, EveryFailingFieldIsMarkedAndAWrongOptionalOneStopsTheSave) {
    ASSERT_TRUE(linkBundle());
    const auto marked = [](QWidget* w) { return w->styleSheet().contains(QStringLiteral("red")); };
    {
        // Everything wrong at once.
        auto editor = openNew();
        WireGuardForm form;
        form.name = QStringLiteral("Marks");
        form.peerKey = kPeerKey + QStringLiteral("AAAA"); // 48 pattern characters
        form.privateKey = QStringLiteral("yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBm!=");
        form.listenPort = QStringLiteral("51820");
        form.subnets = QStringList{QStringLiteral("10.0.0.0/")};
        fillWireGuard(*editor, form);
        Ui::ProfileConfigDialog& u = editor->form();
        EXPECT_FALSE(confirm(*editor));
        EXPECT_EQ(u.labelPublicKeyWarning->text(), QStringLiteral("The string length is not 44."));
        EXPECT_EQ(u.labelPriKeyWarning->text(), QStringLiteral("The string length is not 44."));
        EXPECT_EQ(u.labelPubKeyWarning->text(), QStringLiteral("The string length is not 44."));
        for (QWidget* field : std::initializer_list<QWidget*>{u.lineEditEndpoint, u.lineEditInterAddr,
                                                              u.lineEditPeerPort, u.lineEditSubMask}) {
            EXPECT_TRUE(marked(field)) << field->objectName().toStdString();
        }
        EXPECT_FALSE(marked(u.lineEditWireGuardInterPort));
        EXPECT_TRUE(marked(editor->rowMasks(u.wireguardGatewayWidget).at(0)));
    }
    const struct {
        const char* what;
        QString listenPort;
        QString presharedKey;
        bool stored;
    } cases[] = {
        {"a listen port of 0", QStringLiteral("0"), QString(), false},
        {"a pre-shared key that is no key", QString(), QStringLiteral("secret'key"), false},
        {"a pre-shared key one character short", QString(), kPresharedKey.left(43), false},
        {"both right", QStringLiteral("65535"), kPresharedKey, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WireGuardForm form = fullForm(QStringLiteral("Optional_%1").arg(++n));
        form.listenPort.clear();
        form.presharedKey.clear();
        auto editor = openNew();
        fillWireGuard(*editor, form);
        Ui::ProfileConfigDialog& u = editor->form();
        // Set as pasted text: the listen port's validator refuses 0 as typing.
        u.lineEditWireGuardInterPort->setText(c.listenPort);
        u.lineEditWireGuardShardKey->setText(c.presharedKey);
        const Snapshot before = snapshot();
        EXPECT_EQ(confirm(*editor), c.stored);
        EXPECT_EQ(marked(u.lineEditWireGuardInterPort), !c.listenPort.isEmpty() && !c.stored);
        EXPECT_EQ(marked(u.lineEditWireGuardShardKey), !c.presharedKey.isEmpty() && !c.stored);
        if (!c.stored) {
            EXPECT_EQ(snapshot(), before);
        }
    }
}

TEST_F(EditorTest, NameRulesAndClashesWriteNothing) {
    ASSERT_TRUE(linkBundle());
    auto first = openNew();
    fillWireGuard(*first, fullForm(QStringLiteral("Taken")));
    ASSERT_TRUE(confirm(*first));
    const Snapshot before = snapshot();
    const struct {
        QString name;
        const char* message;
    } cases[] = {
        {QStringLiteral("Taken"), "The name already exists."},
        {QString(33, QLatin1Char('n')),
         "Invalid input characters, please enter 1-32 letters, numbers, or underscores."},
    };
    for (const auto& c : cases) {
        auto editor = openNew();
        fillWireGuard(*editor, fullForm(c.name));
        EXPECT_FALSE(confirm(*editor));
        EXPECT_EQ(editor->form().labelNameWarning->text(), QString::fromUtf8(c.message));
        EXPECT_EQ(snapshot(), before);
    }
}

} // namespace
