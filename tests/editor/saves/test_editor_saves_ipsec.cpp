// The IPsec page: the proposal combos and how their choices are stored, the local
// addresses, the save's checks in their order, and a stored profile loaded back.
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "SavesTestSupport.h"

using namespace savestest;
using editortest::EditorTest;

namespace {

const auto* const storeEnvironment = ::testing::AddGlobalTestEnvironment(new StoreEnvironment);

IPSecForm baseForm(const QString& name) {
    IPSecForm form;
    form.name = name;
    form.server = QStringLiteral("203.0.113.1");
    form.remote = QStringLiteral("192.168.10.0/24");
    form.psk = QStringLiteral("Pre_shared_1");
    return form;
}

std::string stored(const QString& name, const char* column) {
    return savestest::column(std::string("SELECT ") + column +
                             " FROM ZRIPSECVPN WHERE ID = " + std::to_string(storedProfile(name).ConfigID));
}

QStringList comboTexts(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) {
        texts << combo->itemText(i) + QLatin1Char('=') + combo->itemData(i).toString();
    }
    return texts;
}

TEST_F(EditorTest, ProposalCombosOfferTheirEntriesWithTheirData) {
    auto editor = openNew();
    Ui::ProfileConfigDialog& u = editor->form();
    const QStringList hashes = {QStringLiteral("md5=0"), QStringLiteral("sha1=1"), QStringLiteral("sha256=2"),
                                QStringLiteral("sha384=3"), QStringLiteral("sha512=4")};
    EXPECT_EQ(comboTexts(u.comboBoxAlgrithmOne), hashes);
    EXPECT_EQ(comboTexts(u.comboBoxAuthentication), hashes);
    EXPECT_EQ(comboTexts(u.comboBoxAlgrithmTwo),
              (QStringList{QStringLiteral("des=0"), QStringLiteral("3des=1"), QStringLiteral("aes128=2"),
                           QStringLiteral("aes192=3"), QStringLiteral("aes256=4")}));
    EXPECT_EQ(comboTexts(u.comboBoxEncryption),
              (QStringList{QStringLiteral("3des=1"), QStringLiteral("aes128=2"), QStringLiteral("aes192=3"),
                           QStringLiteral("aes256=4")}));
    EXPECT_EQ(u.comboBoxKeyGroup->count(), 11);
    EXPECT_EQ(u.comboBoxKeyGroup->itemText(6), QStringLiteral("dh19"));
    EXPECT_EQ(comboTexts(u.comboBoxLocalIP), QStringList{QStringLiteral("192.0.2.10=0")});
}

// A form's choices and what the row stores.
struct Mapping {
    const char* what;
    bool transportMode;
    bool ah;
    int hash, encryption, ikeEncryption, ikeHash, keyGroup;
    QStringList subnets;
    const char* transport;
    const char* protocol;
    const char* esp;
    const char* ahProposal;
    const char* phaseOne;
    const char* selectors;
};

const Mapping kMappings[] = {
    {"the form's defaults",
     false,
     false,
     -1,
     -1,
     -1,
     -1,
     -1,
     {},
     "1",
     "2",
     "md5-des",
     "NULL",
     "md5-3des-modp768",
     "192.168.10.0/24"},
    {"AH with sha1",
     false,
     true,
     1,
     -1,
     -1,
     -1,
     -1,
     {},
     "1",
     "1",
     "NULL",
     "sha1",
     "md5-3des-modp768",
     "192.168.10.0/24"},
    {"ESP sha256-aes128, dh19",
     false,
     false,
     2,
     2,
     3,
     4,
     6,
     {},
     "1",
     "2",
     "sha256-aes128",
     "NULL",
     "sha512-aes256-ecp256",
     "192.168.10.0/24"},
    {"transport mode, dh26, two more networks", true, false, 4, 4, 0, 1, 10,
     QStringList{QStringLiteral("10.1.0.0/16"), QStringLiteral("172.16.5.0/24")}, "2", "2", "sha512-aes256",
     "NULL", "sha1-3des-ecp224", "192.168.10.0/24,10.1.0.0/16,172.16.5.0/24"},
    {"dh14",
     false,
     false,
     0,
     1,
     1,
     2,
     3,
     {},
     "1",
     "2",
     "md5-3des",
     "NULL",
     "sha256-aes128-modp2048",
     "192.168.10.0/24"},
};

TEST_F(EditorTest, ChoicesAreStoredByTheirNames) {
    int n = 0;
    for (const Mapping& m : kMappings) {
        SCOPED_TRACE(m.what);
        const QString name = QStringLiteral("Map_%1").arg(++n);
        IPSecForm form = baseForm(name);
        form.transportMode = m.transportMode;
        form.ah = m.ah;
        form.hash = m.hash;
        form.encryption = m.encryption;
        form.ikeEncryption = m.ikeEncryption;
        form.ikeHash = m.ikeHash;
        form.keyGroup = m.keyGroup;
        form.subnets = m.subnets;
        auto editor = openNew();
        fillIPSec(*editor, form);
        ASSERT_TRUE(confirm(*editor)) << log();
        EXPECT_EQ(storedProfile(name).ProfileType, 1);
        EXPECT_EQ(stored(name, "Version"), "1");
        EXPECT_EQ(stored(name, "PolicyName"), name.toStdString());
        EXPECT_EQ(stored(name, "LocalAddrs"), kLocalAddress);
        EXPECT_EQ(stored(name, "RemoteAddrs"), "203.0.113.1");
        EXPECT_EQ(stored(name, "IKEID"), "203.0.113.1");
        EXPECT_EQ(stored(name, "AuthMethod"), "1");
        EXPECT_EQ(stored(name, "TransportProtocol"), m.transport);
        EXPECT_EQ(stored(name, "ProtocolType"), m.protocol);
        EXPECT_EQ(stored(name, "EspProposals"), m.esp);
        EXPECT_EQ(stored(name, "AHProposals"), m.ahProposal);
        EXPECT_EQ(stored(name, "PhaseOneProposals"), m.phaseOne);
        EXPECT_EQ(stored(name, "RemoteTrafficSelectors"), m.selectors);
        EXPECT_EQ(stored(name, "LocalTrafficSelectors"), "");
        EXPECT_EQ(stored(name, "PSKSecret"), "Pre_shared_1");
        EXPECT_EQ(stored(name, "EnableDPD"), "0");
        EXPECT_EQ(stored(name, "DPDPeriod"), "0");
    }
}

TEST_F(EditorTest, StoredProfileLoadsItsChoicesAndSavesUnchanged) {
    IPSecForm form = baseForm(QStringLiteral("Office_ipsec"));
    form.transportMode = true;
    form.ah = true;
    form.hash = 3;
    form.ikeEncryption = 2;
    form.ikeHash = 4;
    form.keyGroup = 8;
    form.subnets = QStringList{QStringLiteral("10.1.0.0/16"), QStringLiteral("10.2.0.0/16")};
    form.dpdPeriod = QStringLiteral("99999");
    auto editor = openNew();
    fillIPSec(*editor, form);
    ASSERT_TRUE(confirm(*editor)) << log();
    EXPECT_EQ(stored(form.name, "EnableDPD"), "1");
    EXPECT_EQ(stored(form.name, "DPDPeriod"), "99999");

    editor = openStored(form.name);
    Ui::ProfileConfigDialog& u = editor->form();
    EXPECT_EQ(u.stackedWidgetVPNType->currentIndex(), 0);
    EXPECT_EQ(u.lineEditIpOrHost->ipAddress(), QStringLiteral("203.0.113.1"));
    EXPECT_TRUE(u.btnSpecifiedRemoteAddr->isChecked());
    EXPECT_FALSE(u.btnStandardTunnel->isChecked());
    EXPECT_EQ(u.lineEditRemoteIP->ipAddress(), QStringLiteral("192.168.10.0"));
    EXPECT_EQ(u.lineEditRemoteNetworkMask->text(), QStringLiteral("24"));
    EXPECT_FALSE(u.IPSecGatewayWidget->isHidden());
    ASSERT_EQ(editor->rowAddresses(u.IPSecGatewayWidget).size(), 2);
    EXPECT_EQ(editor->rowAddresses(u.IPSecGatewayWidget).at(1)->ipAddress(), QStringLiteral("10.2.0.0"));
    EXPECT_TRUE(u.btnAH->isChecked());
    EXPECT_FALSE(u.comboBoxAlgrithmTwo->isEnabled());
    EXPECT_EQ(comboTexts(u.comboBoxAlgrithmTwo), QStringList{QStringLiteral("--=")});
    EXPECT_EQ(u.comboBoxAlgrithmOne->currentIndex(), 3);
    EXPECT_EQ(u.comboBoxEncryption->currentIndex(), 2);
    EXPECT_EQ(u.comboBoxAuthentication->currentIndex(), 4);
    EXPECT_EQ(u.comboBoxKeyGroup->currentIndex(), 8);
    EXPECT_EQ(u.comboBoxLocalIP->currentText(), QString::fromLatin1(kLocalAddress));
    EXPECT_EQ(u.lineEditPSK->text(), QStringLiteral("Pre_shared_1"));
    EXPECT_TRUE(u.btnDPD->isChecked());
    EXPECT_FALSE(u.DPDPeriodwidget->isHidden());
    EXPECT_EQ(u.lineEditDPDPeriod->text(), QStringLiteral("99999"));

    const Snapshot before = snapshot();
    ASSERT_TRUE(confirm(*editor));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(EditorTest, LoadListsALostLocalAddressFirstAndFillsUpToThirteenRows) {
    IPSecVPNInfo info;
    info.SetLocalAddress("198.18.0.9");
    info.SetRemoteAddrs("203.0.113.2");
    IPSecSelectorList selectors;
    for (int i = 0; i < 15; ++i) {
        selectors.push_back("10." + std::to_string(i) + ".0.0/16");
    }
    info.SetRemoteTrafficSelectors(selectors);
    info.SetEspProposals("sha1-aes192");
    info.SetIkeEncryption("des");
    info.SetIkeHash("sha1");
    info.SetIkeDHGroup("modp1024");
    info.SetPSKSecret("psk");
    info.SetEnableDPD(0);
    ASSERT_EQ(app()->GetIPSecVPNContext()->AddIPSecInfo(&info, 1), 0);
    ProfileInfo profile;
    std::strcpy(profile.ProfileName, "Many_networks");
    profile.ProfileType = 1;
    profile.ConfigID = info.GetID();
    ASSERT_EQ(app()->GetSqlite()->InsertProfile(&profile), 0);

    auto editor = openStored(QStringLiteral("Many_networks"));
    Ui::ProfileConfigDialog& u = editor->form();
    EXPECT_EQ(comboTexts(u.comboBoxLocalIP),
              (QStringList{QStringLiteral("198.18.0.9="), QStringLiteral("192.0.2.10=0")}));
    EXPECT_EQ(u.comboBoxLocalIP->currentIndex(), 0);
    EXPECT_EQ(u.lineEditRemoteIP->ipAddress(), QStringLiteral("10.0.0.0"));
    EXPECT_EQ(editor->rowAddresses(u.IPSecGatewayWidget).size(), 13);
    EXPECT_EQ(editor->rowAddresses(u.IPSecGatewayWidget).at(12)->ipAddress(), QStringLiteral("10.13.0.0"));
    EXPECT_FALSE(u.btnIPSecAddMoreAddress->isEnabled());
    EXPECT_TRUE(u.btnESP->isChecked());
    EXPECT_EQ(u.comboBoxAlgrithmOne->currentIndex(), 1);
    EXPECT_EQ(u.comboBoxAlgrithmTwo->currentIndex(), 3);
    // The phase-one "des" is not offered: no entry is chosen, and the save stops silently.
    EXPECT_EQ(u.comboBoxEncryption->currentIndex(), -1);
    EXPECT_EQ(u.comboBoxKeyGroup->currentIndex(), 1);
    EXPECT_FALSE(u.btnDPD->isChecked());
    EXPECT_TRUE(u.DPDPeriodwidget->isHidden());
    const Snapshot before = snapshot();
    EXPECT_FALSE(confirm(*editor));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(EditorTest, SaveStopsAtTheFirstFailureInItsOrder) {
    const auto marked = [](QWidget* w) { return w->styleSheet().contains(QStringLiteral("red")); };
    const Snapshot before = snapshot();
    {
        // Extra rows: the first one's bad mask stops the check; the second is not looked at.
        IPSecForm form = baseForm(QStringLiteral("Rows"));
        form.subnets = QStringList{QStringLiteral("10.1.0.0/"), QStringLiteral("10.2.0.0/")};
        auto editor = openNew();
        fillIPSec(*editor, form);
        EXPECT_FALSE(confirm(*editor));
        Ui::ProfileConfigDialog& u = editor->form();
        EXPECT_TRUE(marked(editor->rowMasks(u.IPSecGatewayWidget).at(0)));
        EXPECT_FALSE(marked(editor->rowMasks(u.IPSecGatewayWidget).at(1)));
        EXPECT_FALSE(marked(u.lineEditPSK));
    }
    {
        // An empty remote network is required in both tunnel modes.
        IPSecForm form = baseForm(QStringLiteral("Remote"));
        form.remote.clear();
        auto editor = openNew();
        fillIPSec(*editor, form);
        EXPECT_FALSE(confirm(*editor));
        EXPECT_TRUE(marked(editor->form().lineEditRemoteIP));
    }
    {
        // A DPD period is required while DPD is on; a pre-shared key always.
        IPSecForm form = baseForm(QStringLiteral("Dpd"));
        form.psk.clear();
        auto editor = openNew();
        fillIPSec(*editor, form);
        setToggle(editor->form().btnDPD, true);
        EXPECT_FALSE(confirm(*editor));
        EXPECT_TRUE(marked(editor->form().lineEditPSK));
        EXPECT_FALSE(marked(editor->form().lineEditDPDPeriod));
        typeInto(editor->form().lineEditPSK, QStringLiteral("psk"));
        EXPECT_FALSE(confirm(*editor));
        EXPECT_TRUE(marked(editor->form().lineEditDPDPeriod));
    }
    {
        // No local address: nothing is stored, nothing is marked.
        SetNetworkAdapterSource([] { return std::vector<NetworkAdapter>(); });
        auto editor = openNew();
        SetNetworkAdapterSource(testAdapters);
        fillIPSec(*editor, baseForm(QStringLiteral("NoLocal")));
        EXPECT_EQ(editor->form().comboBoxLocalIP->count(), 0);
        EXPECT_FALSE(confirm(*editor));
        EXPECT_TRUE(editor->form().labelNameWarning->text().isEmpty());
    }
    EXPECT_EQ(snapshot(), before);
}

} // namespace
