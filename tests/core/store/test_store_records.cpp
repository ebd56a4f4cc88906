// The row records and the IPsec profile record: defaults, validating setters, the text
// forms the store and the swanctl.conf writer use, and the editor's index maps.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "IPSecVPNInfo.h"
#include "ProfileRecords.h"

TEST(RowRecords, NewRecordsAreZeroFilled) {
    ProfileInfo profile;
    EXPECT_EQ(profile.ProfileID, 0);
    EXPECT_EQ(profile.ProfileType, 0);
    EXPECT_EQ(profile.ConfigID, 0);
    EXPECT_EQ(std::string(profile.ProfileName, sizeof profile.ProfileName), std::string(512, '\0'));

    OpenVPNInfo openvpn;
    EXPECT_EQ(openvpn.ID, 0);
    EXPECT_EQ(openvpn.ServerPort, 0);
    EXPECT_EQ(std::string(openvpn.ConfigFilePath, sizeof openvpn.ConfigFilePath), std::string(512, '\0'));
    EXPECT_TRUE(openvpn.VPNConfig.empty());

    SETTINGINFO setting;
    EXPECT_EQ(setting.ID, 0);
    EXPECT_EQ(setting.SelectedName[0], '\0');
    EXPECT_EQ(sizeof setting.DatabaseVersion, 512u);

    WireGuardVPNInfo wireguard;
    EXPECT_EQ(sizeof wireguard.AllowdIPs, 128u);
    EXPECT_EQ(wireguard.KeepaliveTime, 0);

    AdapterAddress address;
    EXPECT_EQ(sizeof address.ip, 16u);
    EXPECT_EQ(address.mask[0], '\0');
}

TEST(RowRecords, OpenVPNInfoCopyOwnsItsConfigText) {
    OpenVPNInfo original;
    original.ID = 4;
    strcpy(original.UserName, "alice");
    original.VPNConfig = "client\nremote vpn.example.org 1194\n";

    OpenVPNInfo copy = original;
    copy.VPNConfig += "auth-user-pass\n";
    strcpy(copy.UserName, "bob");

    EXPECT_EQ(original.VPNConfig, "client\nremote vpn.example.org 1194\n");
    EXPECT_STREQ(original.UserName, "alice");
    EXPECT_EQ(copy.ID, 4);

    copy = OpenVPNInfo();
    EXPECT_TRUE(copy.VPNConfig.empty());
    EXPECT_EQ(copy.UserName[0], '\0');
}

TEST(IPSecVPNInfo, NewObjectDefaults) {
    IPSecVPNInfo info;
    EXPECT_EQ(info.GetID(), -1);
    EXPECT_EQ(info.GetVersion(), 1);
    EXPECT_EQ(info.GetAuthMethod(), 1);
    EXPECT_EQ(info.GetTransportProtocol(), 1);
    EXPECT_EQ(info.GetProtocolType(), 2);
    EXPECT_EQ(info.GetEnableDPD(), 0);
    EXPECT_EQ(info.GetDPDPeriod(), 0);
    EXPECT_TRUE(info.GetRemoteTrafficSelectors()->empty());

    char line[IPSecVPNInfo::ProposalBufferSize] = {};
    ASSERT_EQ(info.GetChildProposalLine(line), 0);
    EXPECT_STREQ(line, "esp_proposals=");
    char phaseOne[IPSecVPNInfo::ProposalBufferSize] = {};
    ASSERT_EQ(info.GetPhaseOneProposals(phaseOne), 0);
    EXPECT_STREQ(phaseOne, "--");
}

TEST(IPSecVPNInfo, ValidatingSettersRefuseOtherValues) {
    struct Case {
        const char* name;
        int (IPSecVPNInfo::*checked)(int);
        int (IPSecVPNInfo::*unchecked)(int);
        int (IPSecVPNInfo::*get)() const;
        int accepted;
        int refused;
    };
    const Case cases[] = {
        {"Version", &IPSecVPNInfo::SetVersion, &IPSecVPNInfo::SetVersionValue, &IPSecVPNInfo::GetVersion, 2,
         3},
        {"AuthMethod", &IPSecVPNInfo::SetAuthMethod, &IPSecVPNInfo::SetAuthMethodValue,
         &IPSecVPNInfo::GetAuthMethod, 1, 2},
        {"TransportProtocol", &IPSecVPNInfo::SetTransportProtocol, &IPSecVPNInfo::SetTransportProtocolValue,
         &IPSecVPNInfo::GetTransportProtocol, 2, 0},
        {"ProtocolType", &IPSecVPNInfo::SetProtocolType, &IPSecVPNInfo::SetProtocolTypeValue,
         &IPSecVPNInfo::GetProtocolType, 1, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IPSecVPNInfo info;
        EXPECT_EQ((info.*c.checked)(c.accepted), 0);
        EXPECT_EQ((info.*c.get)(), c.accepted);
        EXPECT_EQ((info.*c.checked)(c.refused), -1);
        EXPECT_EQ((info.*c.get)(), c.accepted);
        EXPECT_EQ((info.*c.unchecked)(c.refused), 0);
        EXPECT_EQ((info.*c.get)(), c.refused);
    }
}

TEST(IPSecVPNInfo, RemoteAddressAlsoSetsIkeIdUntilReplaced) {
    IPSecVPNInfo info;
    info.SetRemoteAddrs("203.0.113.5");
    EXPECT_EQ(info.GetRemoteAddrs(), "203.0.113.5");
    EXPECT_EQ(info.GetIKEID(), "203.0.113.5");
    info.SetIKEID("vpn.example.org");
    EXPECT_EQ(info.GetIKEID(), "vpn.example.org");
    EXPECT_EQ(info.GetRemoteAddrs(), "203.0.113.5");
    info.SetLocalAddress("192.0.2.10");
    EXPECT_EQ(info.GetLocalAddrs(), "192.0.2.10");
}

TEST(IPSecVPNInfo, PhaseOneTextIsReadBackAsStrtokSplitsIt) {
    struct Case {
        const char* text;
        int result;
        const char* hash;
        const char* encryption;
        const char* group;
    };
    const Case cases[] = {
        {"sha1-aes128-modp1024", 0, "sha1", "aes128", "modp1024"},
        {"sha1--aes128--modp1024", 0, "sha1", "aes128", "modp1024"},
        {"-sha256-aes256-ecp256-", 0, "sha256", "aes256", "ecp256"},
        {"sha384-aes192-modp2048-extra", 0, "sha384", "aes192", "modp2048"},
        {"sha1-aes128", -1, "md5", "des", "modp768"},
        {"", -1, "md5", "des", "modp768"},
        {"---", -1, "md5", "des", "modp768"},
        // Longer than the 32-byte buffer the text is written back into.
        {"sha512sha512sha512-aes256aes256-modp4096", -1, "md5", "des", "modp768"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        IPSecVPNInfo info;
        info.SetIkeHash("md5");
        info.SetIkeEncryption("des");
        info.SetIkeDHGroup("modp768");
        EXPECT_EQ(info.SetPhaseOneProposals(c.text), c.result);
        EXPECT_EQ(info.GetIkeHash(), c.hash);
        EXPECT_EQ(info.GetIkeEncryption(), c.encryption);
        EXPECT_EQ(info.GetIkeDHGroup(), c.group);
    }
}

TEST(IPSecVPNInfo, PhaseOneTextAndProposalLineStayInsideTheirBuffers) {
    IPSecVPNInfo info;
    info.SetIkeHash("sha512");
    info.SetIkeEncryption("aes256");
    info.SetIkeDHGroup("modp4096");
    char phaseOne[IPSecVPNInfo::ProposalBufferSize] = {};
    ASSERT_EQ(info.GetPhaseOneProposals(phaseOne), 0);
    EXPECT_STREQ(phaseOne, "sha512-aes256-modp4096");

    info.SetEspProposals("sha512-aes256");
    char line[IPSecVPNInfo::ProposalBufferSize] = {};
    ASSERT_EQ(info.GetChildProposalLine(line), 0);
    EXPECT_STREQ(line, "esp_proposals=sha512-aes256");
    EXPECT_EQ(strlen(line), 27u);

    info.SetProtocolType(1);
    info.SetAHProposals("sha1");
    char ahLine[IPSecVPNInfo::ProposalBufferSize] = {};
    ASSERT_EQ(info.GetChildProposalLine(ahLine), 0);
    EXPECT_STREQ(ahLine, "ah_proposals=sha1");

    // Names from a database written elsewhere may be longer: refused, buffer untouched.
    info.SetAHProposals(std::string(40, 'h'));
    char guarded[IPSecVPNInfo::ProposalBufferSize + 8];
    memset(guarded, 'X', sizeof guarded);
    EXPECT_EQ(info.GetChildProposalLine(guarded), -1);
    EXPECT_EQ(std::string(guarded, sizeof guarded), std::string(sizeof guarded, 'X'));

    info.SetIkeDHGroup(std::string(30, 'g'));
    memset(guarded, 'X', sizeof guarded);
    EXPECT_EQ(info.GetPhaseOneProposals(guarded), -1);
    EXPECT_EQ(std::string(guarded, sizeof guarded), std::string(sizeof guarded, 'X'));
}

TEST(IPSecVPNInfo, SelectorTextSplitsAndJoinsAtCommas) {
    IPSecVPNInfo info;
    EXPECT_EQ(info.SetRemoteTrafficSelectorsText(",10.0.0.0/24,, 10.1.0.0/16,"), 0);
    ASSERT_EQ(info.GetRemoteTrafficSelectors()->size(), 2u);
    EXPECT_EQ((*info.GetRemoteTrafficSelectors())[0], "10.0.0.0/24");
    EXPECT_EQ((*info.GetRemoteTrafficSelectors())[1], " 10.1.0.0/16");

    std::string text = "stale";
    EXPECT_EQ(info.GetRemoteTrafficSelectorsText(text, 1), "10.0.0.0/24, 10.1.0.0/16");
    EXPECT_EQ(info.GetRemoteTrafficSelectorsText(text, 0), "");

    info.SetRemoteTrafficSelectors({});
    EXPECT_EQ(info.GetRemoteTrafficSelectorsText(text, 1), "");
}

TEST(IPSecVPNInfo, LongSelectorTextKeepsEverySelectorWhole) {
    // Fourteen rows of the editor with full-length selectors make 265 characters.
    IPSecSelectorList selectors;
    for (int i = 0; i < 14; ++i) {
        selectors.push_back("255.255.255." + std::to_string(100 + i) + "/32");
    }
    IPSecVPNInfo written;
    written.SetRemoteTrafficSelectors(selectors);
    std::string text;
    written.GetRemoteTrafficSelectorsText(text, 1);
    ASSERT_GT(text.size(), 255u);

    IPSecVPNInfo read;
    read.SetRemoteTrafficSelectorsText(text.c_str());
    EXPECT_EQ(*read.GetRemoteTrafficSelectors(), selectors);
}

TEST(IPSecVPNInfo, ChildSaIndexMapsGiveMinusOneOutsideTheirProtocolOrList) {
    IPSecVPNInfo esp;
    esp.SetEspProposals("sha256-aes256");
    EXPECT_EQ(esp.GetEspHashIndex(), 2);
    EXPECT_EQ(esp.GetEspEncryptionIndex(), 4);
    EXPECT_EQ(esp.GetAHHashIndex(), -1);

    esp.SetEspProposals("sha512");
    EXPECT_EQ(esp.GetEspHashIndex(), 4);
    EXPECT_EQ(esp.GetEspEncryptionIndex(), -1);
    esp.SetEspProposals("SHA1-aes128");
    EXPECT_EQ(esp.GetEspHashIndex(), -1);
    EXPECT_EQ(esp.GetEspEncryptionIndex(), 2);
    esp.SetEspProposals("");
    EXPECT_EQ(esp.GetEspHashIndex(), -1);

    IPSecVPNInfo ah;
    ah.SetProtocolType(1);
    ah.SetAHProposals("sha384");
    ah.SetEspProposals("sha1-des");
    EXPECT_EQ(ah.GetAHHashIndex(), 3);
    EXPECT_EQ(ah.GetEspHashIndex(), -1);
    EXPECT_EQ(ah.GetEspEncryptionIndex(), -1);
}

TEST(IPSecVPNInfo, PhaseOneIndexMapsFallBackToZero) {
    struct Case {
        const char* group;
        int index;
    };
    const Case groups[] = {{"modp768", 0}, {"modp4096", 5}, {"ecp521", 8},
                           {"ecp192", 9},  {"ecp224", 10},  {"curve25519", 0}};
    for (const Case& c : groups) {
        IPSecVPNInfo info;
        info.SetIkeDHGroup(c.group);
        EXPECT_EQ(info.GetIkeDHGroupIndex(), c.index) << c.group;
    }
    IPSecVPNInfo info;
    info.SetIkeHash("sha384");
    info.SetIkeEncryption("3des");
    EXPECT_EQ(info.GetIkeHashIndex(), 3);
    EXPECT_EQ(info.GetIkeEncryptionIndex(), 1);
    info.SetIkeHash("whirlpool");
    info.SetIkeEncryption("");
    EXPECT_EQ(info.GetIkeHashIndex(), 0);
    EXPECT_EQ(info.GetIkeEncryptionIndex(), 0);
}

TEST(IPSecVPNInfo, CopiesOwnTheirSelectorList) {
    IPSecVPNInfo original(2, "office", "198.51.100.7", 1, 2, 1, {"10.0.0.0/8"}, "ignored", "peer-id",
                          "s3cret");
    EXPECT_EQ(original.GetVersion(), 2);
    EXPECT_EQ(original.GetPolicyName(), "office");
    EXPECT_EQ(original.GetIKEID(), "peer-id");
    EXPECT_EQ(original.GetPSKSecret(), "s3cret");
    EXPECT_EQ(original.GetProtocolType(), 1);
    EXPECT_EQ(original.GetTransportProtocol(), 2);
    EXPECT_EQ(original.GetID(), -1);

    IPSecVPNInfo copy = original;
    copy.GetRemoteTrafficSelectors()->push_back("192.168.0.0/16");
    EXPECT_EQ(original.GetRemoteTrafficSelectors()->size(), 1u);
    EXPECT_EQ(copy.GetRemoteTrafficSelectors()->size(), 2u);
}
