// The profile database: a round trip per table, the quirks of the row callbacks, quoted
// values, refused and ignored writes, statement limits and the failure lines.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <climits>
#include <dirent.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "IPCSqlite.h"
#include "StoreStatements.h"
#include "StoreTestSupport.h"

namespace {

const char* const kDbPath = "vpn.db";

ProfileInfo MakeProfile(const char* name, int type, int configID) {
    ProfileInfo info;
    snprintf(info.ProfileName, sizeof info.ProfileName, "%s", name);
    info.ProfileType = type;
    info.ConfigID = configID;
    return info;
}

WireGuardVPNInfo MakeWireGuard() {
    WireGuardVPNInfo info;
    strcpy(info.WanIP, "198.51.100.20");
    info.PeerPort = 51820;
    strcpy(info.PeerPubKey, "hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=");
    strcpy(info.IPAddr, "10.8.0.2");
    info.InterSubMask = 24;
    info.InterPort = 0;
    strcpy(info.InterPriKey, "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
    strcpy(info.InterPubKey, "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=");
    strcpy(info.DNS, "1.1.1.1");
    strcpy(info.PreShardKey, "");
    info.KeepaliveTime = 25;
    strcpy(info.AllowdIPs, "0.0.0.0/0");
    return info;
}

OpenVPNInfo MakeOpenVPN() {
    OpenVPNInfo info;
    strcpy(info.ServerIP, "vpn.example.org");
    info.ServerPort = 1194;
    strcpy(info.ConfigFilePath, "/home/user/client.ovpn");
    info.NeedPwd = 1;
    strcpy(info.UserName, "alice");
    strcpy(info.UserPwd, "pa55");
    info.RememberMe = 1;
    info.PromptPwd = 0;
    info.LocalIPType = 2;
    strcpy(info.LocalDns, "9.9.9.9");
    strcpy(info.LocalWinsServer, "10.0.0.3");
    info.EnableFullTraffic = 1;
    strcpy(info.AllowdIPs, "10.0.0.0/8");
    info.VPNConfig = "client\ndev tun\nremote vpn.example.org 1194\n";
    return info;
}

IPSecVPNInfo MakeIPSec(int protocolType) {
    IPSecVPNInfo info;
    info.SetVersion(2);
    info.SetPolicyName("office");
    info.SetLocalAddrs("192.0.2.10");
    info.SetRemoteAddrs("203.0.113.5");
    info.SetIKEID("gw.example.org");
    info.SetTransportProtocol(1);
    info.SetRemoteTrafficSelectors({"10.0.0.0/24", "10.1.0.0/16"});
    info.SetLocalTrafficSelectors("192.0.2.0/24");
    info.SetProtocolType(protocolType);
    if (protocolType == 1) {
        info.SetAHProposals("sha256");
    } else {
        info.SetEspProposals("sha256-aes256");
    }
    info.SetPhaseOneProposals("sha384-aes192-modp2048");
    info.SetPSKSecret("pre-shared");
    info.SetEnableDPD(1);
    info.SetDPDPeriod(30);
    return info;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        remove(kDbPath);
        ASSERT_EQ(store.Init(kDbPath), 0);
        ASSERT_EQ(sqlite3_open(kDbPath, &raw), SQLITE_OK);
    }
    void TearDown() override {
        sqlite3_close(raw);
        EXPECT_EQ(store.DeInit(), 0);
        remove(kDbPath);
    }

    // One value of the file as SQLite holds it, through a second connection; "NULL" for NULL.
    std::string Column(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        std::string value = "<no row>";
        if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(statement, 0);
            value = text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
        }
        sqlite3_finalize(statement);
        return value;
    }
    int Count(const char* table) { return std::stoi(Column(std::string("SELECT COUNT(*) FROM ") + table)); }

    IPCSqlite store;
    sqlite3* raw = nullptr;
    LogCapture log;
};

TEST_F(StoreTest, ProfileRoundTripListsNewestFirstAndNeverReusesIds) {
    ProfileInfo a = MakeProfile("Alpha", VPN_TYPE_IPSEC, 7);
    ProfileInfo b = MakeProfile("Beta", VPN_TYPE_OPENVPN, 8);
    ProfileInfo c = MakeProfile("Gamma", VPN_TYPE_WIREGUARD, 9);
    ASSERT_EQ(store.InsertProfile(&a), 0);
    ASSERT_EQ(store.InsertProfile(&b), 0);
    ASSERT_EQ(store.InsertProfile(&c), 0);
    EXPECT_EQ(a.ProfileID, 1);
    EXPECT_EQ(b.ProfileID, 2);
    EXPECT_EQ(c.ProfileID, 3);

    // The list appends after what the vector holds already.
    std::vector<ProfileInfo> list(1, MakeProfile("kept", 0, 0));
    ASSERT_EQ(store.GetProfileList(list), 0);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_STREQ(list[0].ProfileName, "kept");
    EXPECT_STREQ(list[1].ProfileName, "Gamma");
    EXPECT_EQ(list[1].ProfileID, 3);
    EXPECT_EQ(list[1].ProfileType, VPN_TYPE_WIREGUARD);
    EXPECT_EQ(list[1].ConfigID, 9);
    EXPECT_STREQ(list[3].ProfileName, "Alpha");

    // By id: the three selected fields; the caller's ProfileID stays.
    ProfileInfo byID;
    byID.ProfileID = 55;
    ASSERT_EQ(store.GetProfileByID(&byID, 2), 0);
    EXPECT_EQ(byID.ProfileID, 55);
    EXPECT_STREQ(byID.ProfileName, "Beta");
    EXPECT_EQ(byID.ProfileType, VPN_TYPE_OPENVPN);
    EXPECT_EQ(byID.ConfigID, 8);

    ProfileInfo byConfig;
    ASSERT_EQ(store.GetProfileByConfigID(&byConfig, 9), 0);
    EXPECT_EQ(byConfig.ProfileID, 3);
    EXPECT_STREQ(byConfig.ProfileName, "Gamma");
    EXPECT_EQ(byConfig.ConfigID, 0);

    b.ProfileType = VPN_TYPE_SSLVPN;
    strcpy(b.ProfileName, "Beta renamed");
    b.ConfigID = 12;
    ASSERT_EQ(store.UpdateProfile(&b), 0);
    EXPECT_EQ(
        Column(
            "SELECT ProfileName || '|' || ProfileType || '|' || ConfigID FROM PROFILE WHERE ProfileID = 2"),
        "Beta renamed|2|12");

    ASSERT_EQ(store.DeleteProfile(&c), 0);
    EXPECT_EQ(Count("PROFILE"), 2);
    ProfileInfo d = MakeProfile("Delta", VPN_TYPE_IPSEC, 1);
    ASSERT_EQ(store.InsertProfile(&d), 0);
    EXPECT_EQ(d.ProfileID, 4);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StoreTest, ReadOfMissingRowChangesNothing) {
    ProfileInfo profile = MakeProfile("untouched", 3, 4);
    profile.ProfileID = 9;
    WireGuardVPNInfo wireguard = MakeWireGuard();
    OpenVPNInfo openvpn = MakeOpenVPN();
    SETTINGINFO setting;
    setting.ColorMode = 2;
    IPSecVPNInfo ipsec = MakeIPSec(2);

    const ProfileInfo profileBefore = profile;
    const WireGuardVPNInfo wireguardBefore = wireguard;
    const SETTINGINFO settingBefore = setting;
    EXPECT_EQ(store.GetProfileByID(&profile, 42), 0);
    EXPECT_EQ(store.GetWireGuardInfoByID(&wireguard, 42), 0);
    EXPECT_EQ(store.GetOpenVPNConfigByID(&openvpn, 42), 0);
    EXPECT_EQ(store.GetSettingInfoByID(&setting, 1), 0);
    EXPECT_EQ(store.GetIPSecProfileByID(&ipsec, 42), 0);
    EXPECT_EQ(memcmp(&profile, &profileBefore, sizeof profile), 0);
    EXPECT_EQ(memcmp(&wireguard, &wireguardBefore, sizeof wireguard), 0);
    EXPECT_EQ(memcmp(&setting, &settingBefore, sizeof setting), 0);
    EXPECT_EQ(openvpn.VPNConfig, MakeOpenVPN().VPNConfig);
    EXPECT_EQ(ipsec.GetPolicyName(), "office");
}

TEST_F(StoreTest, WireGuardRoundTripKeepsFieldsOfEmptyTextColumns) {
    WireGuardVPNInfo written = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&written), 0);
    EXPECT_EQ(written.ID, 1);

    WireGuardVPNInfo read;
    read.ID = 77;
    strcpy(read.PreShardKey, "kept because the column is empty");
    ASSERT_EQ(store.GetWireGuardInfoByID(&read, 1), 0);
    EXPECT_EQ(read.ID, 77);
    EXPECT_STREQ(read.WanIP, written.WanIP);
    EXPECT_EQ(read.PeerPort, 51820);
    EXPECT_STREQ(read.PeerPubKey, written.PeerPubKey);
    EXPECT_STREQ(read.IPAddr, "10.8.0.2");
    EXPECT_EQ(read.InterSubMask, 24);
    EXPECT_EQ(read.InterPort, 0);
    EXPECT_STREQ(read.InterPriKey, written.InterPriKey);
    EXPECT_STREQ(read.InterPubKey, written.InterPubKey);
    EXPECT_STREQ(read.DNS, "1.1.1.1");
    EXPECT_STREQ(read.PreShardKey, "kept because the column is empty");
    EXPECT_EQ(read.KeepaliveTime, 25);
    EXPECT_STREQ(read.AllowdIPs, "0.0.0.0/0");

    written.PeerPort = 443;
    strcpy(written.DNS, "");
    ASSERT_EQ(store.UpdateWireGuardInfo(&written), 0);
    EXPECT_EQ(Column("SELECT PeerPort || '|' || DNS FROM ZRWIREGUARDVPN WHERE ID = 1"), "443|");

    ASSERT_EQ(store.DeleteWireGuardInfo(&written), 0);
    EXPECT_EQ(Count("ZRWIREGUARDVPN"), 0);
}

TEST_F(StoreTest, OpenVPNRoundTripKeepsTheCallersId) {
    OpenVPNInfo written = MakeOpenVPN();
    ASSERT_EQ(store.InsertOpenVPNConfig(&written), 0);
    EXPECT_EQ(written.ID, 1);

    OpenVPNInfo read;
    read.ID = 999;
    ASSERT_EQ(store.GetOpenVPNConfigByID(&read, 1), 0);
    EXPECT_EQ(read.ID, 999);
    EXPECT_STREQ(read.ServerIP, "vpn.example.org");
    EXPECT_EQ(read.ServerPort, 1194);
    EXPECT_STREQ(read.ConfigFilePath, "/home/user/client.ovpn");
    EXPECT_EQ(read.NeedPwd, 1);
    EXPECT_STREQ(read.UserName, "alice");
    EXPECT_STREQ(read.UserPwd, "pa55");
    EXPECT_EQ(read.RememberMe, 1);
    EXPECT_EQ(read.PromptPwd, 0);
    EXPECT_EQ(read.LocalIPType, 2);
    EXPECT_STREQ(read.LocalIP, "");
    EXPECT_STREQ(read.LocalDns, "9.9.9.9");
    EXPECT_STREQ(read.LocalWinsServer, "10.0.0.3");
    EXPECT_EQ(read.EnableFullTraffic, 1);
    EXPECT_STREQ(read.AllowdIPs, "10.0.0.0/8");
    EXPECT_EQ(read.VPNConfig, written.VPNConfig);

    written.VPNConfig += "auth-user-pass ovpnpwd.txt\n";
    written.PromptPwd = 1;
    ASSERT_EQ(store.UpdateOpenVPNConfig(&written), 0);
    OpenVPNInfo updated;
    ASSERT_EQ(store.GetOpenVPNConfigByID(&updated, 1), 0);
    EXPECT_EQ(updated.VPNConfig, written.VPNConfig);
    EXPECT_EQ(updated.PromptPwd, 1);

    ASSERT_EQ(store.DeleteOpenVPNConfig(&written), 0);
    EXPECT_EQ(Count("OPENVPN"), 0);
}

TEST_F(StoreTest, IPSecAhAndEspRowsRoundTrip) {
    for (int protocolType : {1, 2}) {
        SCOPED_TRACE(protocolType == 1 ? "AH" : "ESP");
        IPSecVPNInfo written = MakeIPSec(protocolType);
        ASSERT_EQ(store.InsertIPSecProfile(&written), 0);
        ASSERT_GT(written.GetID(), 0);
        std::string where = " FROM ZRIPSECVPN WHERE ID = " + std::to_string(written.GetID());
        EXPECT_EQ(Column("SELECT ProtocolType" + where), std::to_string(protocolType));
        EXPECT_EQ(Column("SELECT EspProposals" + where), protocolType == 1 ? "NULL" : "sha256-aes256");
        EXPECT_EQ(Column("SELECT AHProposals" + where), protocolType == 1 ? "sha256" : "NULL");
        EXPECT_EQ(Column("SELECT PhaseOneProposals" + where), "sha384-aes192-modp2048");
        EXPECT_EQ(Column("SELECT RemoteTrafficSelectors" + where), "10.0.0.0/24,10.1.0.0/16");

        IPSecVPNInfo read;
        ASSERT_EQ(store.GetIPSecProfileByID(&read, written.GetID()), 0);
        EXPECT_EQ(read.GetID(), -1);
        EXPECT_EQ(read.GetVersion(), 2);
        EXPECT_EQ(read.GetPolicyName(), "office");
        EXPECT_EQ(read.GetLocalAddrs(), "192.0.2.10");
        EXPECT_EQ(read.GetRemoteAddrs(), "203.0.113.5");
        // The IKEID column comes after RemoteAddrs and replaces the copy the setter made.
        EXPECT_EQ(read.GetIKEID(), "gw.example.org");
        EXPECT_EQ(read.GetProtocolType(), protocolType);
        EXPECT_EQ(read.GetAHProposals(), protocolType == 1 ? "sha256" : "");
        EXPECT_EQ(read.GetEspProposals(), protocolType == 1 ? "" : "sha256-aes256");
        EXPECT_EQ(*read.GetRemoteTrafficSelectors(), (IPSecSelectorList{"10.0.0.0/24", "10.1.0.0/16"}));
        EXPECT_EQ(read.GetLocalTrafficSelectors(), "192.0.2.0/24");
        EXPECT_EQ(read.GetIkeHash(), "sha384");
        EXPECT_EQ(read.GetIkeEncryption(), "aes192");
        EXPECT_EQ(read.GetIkeDHGroup(), "modp2048");
        EXPECT_EQ(read.GetPSKSecret(), "pre-shared");
        EXPECT_EQ(read.GetEnableDPD(), 1);
        EXPECT_EQ(read.GetDPDPeriod(), 30);
    }

    // An update that turns ESP into AH swaps which proposal column is NULL.
    IPSecVPNInfo esp = MakeIPSec(2);
    ASSERT_EQ(store.InsertIPSecProfile(&esp), 0);
    esp.SetProtocolType(1);
    esp.SetAHProposals("sha1");
    ASSERT_EQ(store.UpdateIPSecProfile(&esp), 0);
    std::string where = " FROM ZRIPSECVPN WHERE ID = " + std::to_string(esp.GetID());
    EXPECT_EQ(Column("SELECT EspProposals" + where), "NULL");
    EXPECT_EQ(Column("SELECT AHProposals" + where), "sha1");

    std::vector<IPSecVPNInfo> list;
    ASSERT_EQ(store.GetIPSecProfileList(list), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].GetID(), 3);
    EXPECT_EQ(list[2].GetID(), 1);
    EXPECT_EQ(list[0].GetAHProposals(), "sha1");

    ASSERT_EQ(store.DeleteIPSecProfile(3), 0);
    EXPECT_EQ(Count("ZRIPSECVPN"), 2);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StoreTest, SettingsRowRoundTripIncludesItsId) {
    SETTINGINFO written;
    strcpy(written.DatabaseVersion, "1.0");
    ASSERT_EQ(store.InsertSettingInfo(&written), 0);
    EXPECT_EQ(written.ID, 1);

    written.AutoStart = 1;
    written.Reconnetion = 1;
    written.NATTraversal = 0;
    written.LanguageType = 16;
    written.ColorMode = 2;
    strcpy(written.SelectedName, "Alpha");
    ASSERT_EQ(store.UpdateSettingInfo(&written), 0);
    // AutoStart is written as a quoted number; the column stores an integer.
    EXPECT_EQ(Column("SELECT typeof(AutoStart) FROM SETTINGINFO WHERE ID = 1"), "integer");

    SETTINGINFO read;
    ASSERT_EQ(store.GetSettingInfoByID(&read, 1), 0);
    EXPECT_EQ(read.ID, 1);
    EXPECT_EQ(read.AutoStart, 1);
    EXPECT_EQ(read.Reconnetion, 1);
    EXPECT_EQ(read.NATTraversal, 0);
    EXPECT_EQ(read.LanguageType, 16);
    EXPECT_EQ(read.ColorMode, 2);
    EXPECT_STREQ(read.SelectedName, "Alpha");
    EXPECT_STREQ(read.DatabaseVersion, "1.0");
}

TEST_F(StoreTest, ValuesHoldingQuotesRoundTripAndRunNothingElse) {
    const char* const texts[] = {"O'Brien", "'); DROP TABLE PROFILE; --", "''", "it's \"quoted\"",
                                 "Café ✓ 'ñ'"};
    int configID = 0;
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        ProfileInfo profile = MakeProfile(text, VPN_TYPE_OPENVPN, ++configID);
        ASSERT_EQ(store.InsertProfile(&profile), 0);
        ProfileInfo read;
        ASSERT_EQ(store.GetProfileByID(&read, profile.ProfileID), 0);
        EXPECT_STREQ(read.ProfileName, text);

        OpenVPNInfo openvpn = MakeOpenVPN();
        strcpy(openvpn.UserPwd, text);
        openvpn.VPNConfig = std::string("remote ") + text + "\n";
        ASSERT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
        OpenVPNInfo openvpnRead;
        ASSERT_EQ(store.GetOpenVPNConfigByID(&openvpnRead, openvpn.ID), 0);
        EXPECT_STREQ(openvpnRead.UserPwd, text);
        EXPECT_EQ(openvpnRead.VPNConfig, openvpn.VPNConfig);

        WireGuardVPNInfo wireguard = MakeWireGuard();
        strcpy(wireguard.DNS, text);
        ASSERT_EQ(store.InsertWireGuardInfo(&wireguard), 0);
        WireGuardVPNInfo wireguardRead;
        ASSERT_EQ(store.GetWireGuardInfoByID(&wireguardRead, wireguard.ID), 0);
        EXPECT_STREQ(wireguardRead.DNS, text);

        IPSecVPNInfo ipsec = MakeIPSec(2);
        ipsec.SetPSKSecret(text);
        ipsec.SetPolicyName(text);
        ASSERT_EQ(store.InsertIPSecProfile(&ipsec), 0);
        IPSecVPNInfo ipsecRead;
        ASSERT_EQ(store.GetIPSecProfileByID(&ipsecRead, ipsec.GetID()), 0);
        EXPECT_EQ(ipsecRead.GetPSKSecret(), text);
        EXPECT_EQ(ipsecRead.GetPolicyName(), text);

        SETTINGINFO setting;
        strcpy(setting.SelectedName, text);
        strcpy(setting.DatabaseVersion, "1.0");
        ASSERT_EQ(store.InsertSettingInfo(&setting), 0);
        SETTINGINFO settingRead;
        ASSERT_EQ(store.GetSettingInfoByID(&settingRead, setting.ID), 0);
        EXPECT_STREQ(settingRead.SelectedName, text);
    }
    EXPECT_EQ(Count("PROFILE"), 5);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StoreTest, DuplicateNameIsRefusedAndKeepsTheRecordsId) {
    ProfileInfo first = MakeProfile("Office", VPN_TYPE_IPSEC, 1);
    ASSERT_EQ(store.InsertProfile(&first), 0);
    WireGuardVPNInfo other = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&other), 0);

    ProfileInfo second = MakeProfile("Office", VPN_TYPE_WIREGUARD, other.ID);
    second.ProfileID = 0;
    EXPECT_EQ(store.InsertProfile(&second), -1);
    EXPECT_EQ(second.ProfileID, 0);
    EXPECT_TRUE(log.Contains("Can't insert profile into table PROFILE: no row was inserted\n"));

    std::vector<ProfileInfo> list;
    ASSERT_EQ(store.GetProfileList(list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].ProfileType, VPN_TYPE_IPSEC);
}

TEST_F(StoreTest, UpdateWithIdZeroRunsNothing) {
    ProfileInfo profile = MakeProfile("Alpha", 1, 1);
    WireGuardVPNInfo wireguard = MakeWireGuard();
    OpenVPNInfo openvpn = MakeOpenVPN();
    SETTINGINFO setting;
    strcpy(setting.DatabaseVersion, "1.0");
    ASSERT_EQ(store.InsertProfile(&profile), 0);
    ASSERT_EQ(store.InsertWireGuardInfo(&wireguard), 0);
    ASSERT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
    ASSERT_EQ(store.InsertSettingInfo(&setting), 0);
    IPSecVPNInfo ipsec = MakeIPSec(2);
    ASSERT_EQ(store.InsertIPSecProfile(&ipsec), 0);

    profile.ProfileID = 0;
    strcpy(profile.ProfileName, "changed");
    wireguard.ID = 0;
    wireguard.PeerPort = 1;
    openvpn.ID = 0;
    openvpn.ServerPort = 1;
    setting.ID = 0;
    setting.ColorMode = 2;
    ipsec.SetID(0);
    ipsec.SetPSKSecret("changed");

    EXPECT_EQ(store.UpdateProfile(&profile), -1);
    EXPECT_EQ(store.UpdateWireGuardInfo(&wireguard), -1);
    EXPECT_EQ(store.UpdateOpenVPNConfig(&openvpn), -1);
    EXPECT_EQ(store.UpdateSettingInfo(&setting), -1);
    EXPECT_EQ(store.UpdateIPSecProfile(&ipsec), -1);

    EXPECT_EQ(Column("SELECT ProfileName FROM PROFILE"), "Alpha");
    EXPECT_EQ(Column("SELECT PeerPort FROM ZRWIREGUARDVPN"), "51820");
    EXPECT_EQ(Column("SELECT ServerPort FROM OPENVPN"), "1194");
    EXPECT_EQ(Column("SELECT ColorMode FROM SETTINGINFO"), "0");
    EXPECT_EQ(Column("SELECT PSKSecret FROM ZRIPSECVPN"), "pre-shared");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StoreTest, LongestNameFitsItsArray) {
    std::string name(511, 'n');
    ProfileInfo profile = MakeProfile(name.c_str(), 1, 1);
    ASSERT_EQ(store.InsertProfile(&profile), 0);
    std::vector<ProfileInfo> list;
    ASSERT_EQ(store.GetProfileList(list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::string(list[0].ProfileName), name);
}

TEST_F(StoreTest, StatementThatDoesNotFitFailsWithoutRunning) {
    // Every WireGuard text at its full 127 bytes makes a statement above 1023 characters.
    WireGuardVPNInfo wireguard = MakeWireGuard();
    for (char* text : {wireguard.WanIP, wireguard.PeerPubKey, wireguard.IPAddr, wireguard.InterPriKey,
                       wireguard.InterPubKey, wireguard.DNS, wireguard.PreShardKey, wireguard.AllowdIPs}) {
        memset(text, 'k', 127);
        text[127] = '\0';
    }
    wireguard.ID = 5;
    EXPECT_EQ(store.InsertWireGuardInfo(&wireguard), -1);
    EXPECT_EQ(wireguard.ID, 5);
    EXPECT_TRUE(log.Contains(
        "Can't insert wireguardinfo into table ZRWIREGUARDVPN: the statement does not fit its buffer\n"));
    EXPECT_EQ(store.UpdateWireGuardInfo(&wireguard), -1);
    EXPECT_TRUE(log.Contains(
        "Can't update wireguardinfo from table ZRWIREGUARDVPN: the statement does not fit its buffer\n"));
    EXPECT_EQ(Count("ZRWIREGUARDVPN"), 0);

    // The OpenVPN statement holds a configuration text of up to 1 MiB, however many quotes
    // it doubles; a longer one is refused before anything runs.
    OpenVPNInfo openvpn = MakeOpenVPN();
    openvpn.VPNConfig = std::string(StoreSql::kOpenVPNConfigMaxBytes - 1, '\'') + "c";
    EXPECT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
    OpenVPNInfo read;
    ASSERT_EQ(store.GetOpenVPNConfigByID(&read, openvpn.ID), 0);
    EXPECT_EQ(read.VPNConfig, openvpn.VPNConfig);
    openvpn.VPNConfig += "'";
    EXPECT_EQ(store.UpdateOpenVPNConfig(&openvpn), -1);
    EXPECT_TRUE(log.Contains(
        "Can't update OpenVPN config from table OPENVPN: the statement does not fit its buffer\n"));

    openvpn.ID = 0;
    EXPECT_EQ(store.InsertOpenVPNConfig(&openvpn), -1);
    EXPECT_EQ(openvpn.ID, 0);
    EXPECT_TRUE(log.Contains(
        "Can't insert OpenVPN config into table OPENVPN: the statement does not fit its buffer\n"));
    EXPECT_EQ(Count("OPENVPN"), 1);
    ASSERT_EQ(store.GetOpenVPNConfigByID(&read, 1), 0);
    EXPECT_EQ(read.VPNConfig.size(), static_cast<size_t>(StoreSql::kOpenVPNConfigMaxBytes));
}

TEST_F(StoreTest, TransactionStoresItsWritesTogetherOrNotAtAll) {
    // Committed: both rows, with the kind row's new id in the profile row.
    ASSERT_EQ(store.BeginTransaction(), 0);
    OpenVPNInfo openvpn = MakeOpenVPN();
    ASSERT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
    ProfileInfo profile = MakeProfile("Alpha", 3, openvpn.ID);
    ASSERT_EQ(store.InsertProfile(&profile), 0);
    EXPECT_EQ(store.BeginTransaction(), -1);
    ASSERT_EQ(store.CommitTransaction(), 0);
    EXPECT_EQ(Count("OPENVPN"), 1);
    EXPECT_EQ(Count("PROFILE"), 1);

    // A failing second write: the first one goes with the rollback, and the next write
    // runs in a transaction of its own again.
    ASSERT_EQ(store.BeginTransaction(), 0);
    openvpn.ServerPort = 4242;
    ASSERT_EQ(store.UpdateOpenVPNConfig(&openvpn), 0);
    ProfileInfo clash = MakeProfile("Alpha", 3, openvpn.ID);
    EXPECT_EQ(store.InsertProfile(&clash), -1);
    ASSERT_EQ(store.RollbackTransaction(), 0);
    EXPECT_EQ(Column("SELECT ServerPort FROM OPENVPN"), "1194");
    EXPECT_EQ(store.RollbackTransaction(), -1);
    EXPECT_EQ(store.CommitTransaction(), -1);
    EXPECT_TRUE(log.Contains("Can't commit transaction: no transaction is open\n"));
    ASSERT_EQ(store.UpdateOpenVPNConfig(&openvpn), 0);
    EXPECT_EQ(Column("SELECT ServerPort FROM OPENVPN"), "4242");

    // A commit that fails undoes the writes: a deferred foreign key that the writes broke.
    char* error = nullptr;
    ASSERT_EQ(
        sqlite3_exec(raw,
                     "CREATE TABLE PARENT (ID INTEGER PRIMARY KEY);"
                     "CREATE TABLE CHILD (P INTEGER REFERENCES PARENT(ID) DEFERRABLE INITIALLY DEFERRED);"
                     "CREATE TRIGGER BREAK AFTER UPDATE ON OPENVPN BEGIN INSERT INTO CHILD VALUES (7); END;",
                     nullptr, nullptr, &error),
        SQLITE_OK)
        << error;
    int dummy = 0;
    ASSERT_EQ(
        store.ExecQuery(&dummy, "PRAGMA foreign_keys = ON", [](void*, int, char**, char**) { return 0; }), 0);
    ASSERT_EQ(store.BeginTransaction(), 0);
    openvpn.ServerPort = 5353;
    ASSERT_EQ(store.UpdateOpenVPNConfig(&openvpn), 0);
    EXPECT_EQ(store.CommitTransaction(), -1);
    EXPECT_TRUE(log.Contains("Can't commit transaction: FOREIGN KEY constraint failed\n"));
    EXPECT_EQ(Column("SELECT ServerPort FROM OPENVPN"), "4242");
    EXPECT_EQ(Count("CHILD"), 0);
}

TEST_F(StoreTest, TextWithoutTerminatorIsRefused) {
    ProfileInfo profile;
    memset(profile.ProfileName, 'x', sizeof profile.ProfileName);
    EXPECT_EQ(store.InsertProfile(&profile), -1);
    EXPECT_TRUE(log.Contains("Can't insert profile into table PROFILE: a text field is not terminated\n"));
    EXPECT_EQ(Count("PROFILE"), 0);
}

TEST_F(StoreTest, PhaseOneTextTooLongForItsBufferFailsTheWrite) {
    IPSecVPNInfo ipsec = MakeIPSec(2);
    ipsec.SetIkeDHGroup("a-group-name-from-elsewhere");
    EXPECT_EQ(store.InsertIPSecProfile(&ipsec), -1);
    EXPECT_EQ(ipsec.GetID(), -1);
    EXPECT_TRUE(log.Contains("Can't insert ipsec profile into table ZRIPSECVPN: the phase-1 proposal text "
                             "does not fit its buffer\n"));
    EXPECT_EQ(Count("ZRIPSECVPN"), 0);
}

TEST_F(StoreTest, FailedStatementsLogSqliteMessageAndLeaveNoTransactionOpen) {
    IPSecVPNInfo ipsec = MakeIPSec(2);
    ASSERT_EQ(store.InsertIPSecProfile(&ipsec), 0);
    ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE ZRIPSECVPN", nullptr, nullptr, nullptr), SQLITE_OK);

    EXPECT_EQ(store.UpdateIPSecProfile(&ipsec), -1);
    EXPECT_EQ(store.DeleteIPSecProfile(ipsec.GetID()), -1);
    IPSecVPNInfo read;
    EXPECT_EQ(store.GetIPSecProfileByID(&read, 1), -1);
    EXPECT_EQ(store.InsertIPSecProfile(&ipsec), -1);
    EXPECT_EQ(log.Text(), "IPSec :: Can't update profile from table PROFILE: no such table: ZRIPSECVPN\n"
                          "Can't delete PROFILE from table ZRIPSECVPN: no such table: ZRIPSECVPN\n"
                          "Execute SQL command failed: no such table: ZRIPSECVPN\n"
                          "Can't insert ipsec profile into table ZRIPSECVPN: no such table: ZRIPSECVPN\n");

    // "commit" ran after each failure, so the next write is a transaction of its own and
    // another connection sees it at once.
    ProfileInfo profile = MakeProfile("after", 1, 1);
    ASSERT_EQ(store.InsertProfile(&profile), 0);
    EXPECT_EQ(Count("PROFILE"), 1);
}

TEST_F(StoreTest, CommitThatFailsIsReportedAndUndone) {
    // Another connection in the middle of a read keeps "commit" from taking the file.
    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT * FROM SETTINGINFO", -1, &reading, nullptr), SQLITE_OK);
    sqlite3_step(reading);

    ProfileInfo profile = MakeProfile("pending", 1, 1);
    EXPECT_EQ(store.InsertProfile(&profile), -1);
    EXPECT_EQ(profile.ProfileID, 0);
    EXPECT_EQ(log.Text(), "Can't insert profile into table PROFILE: database is locked\n");

    sqlite3_finalize(reading);
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Count("PROFILE"), 0);

    // Nothing was left open: the next write is a transaction of its own again.
    ASSERT_EQ(store.InsertProfile(&profile), 0);
    EXPECT_EQ(Count("PROFILE"), 1);
}

TEST_F(StoreTest, FailedStatementWhoseCommitFailsLeavesNoTransactionOpen) {
    ProfileInfo first = MakeProfile("first", 1, 1);
    ProfileInfo second = MakeProfile("second", 1, 2);
    ASSERT_EQ(store.InsertProfile(&first), 0);
    ASSERT_EQ(store.InsertProfile(&second), 0);

    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT * FROM PROFILE", -1, &reading, nullptr), SQLITE_OK);
    sqlite3_step(reading);

    // The rename breaks the name's uniqueness, and "commit" cannot take the file after it.
    strcpy(second.ProfileName, "first");
    EXPECT_EQ(store.UpdateProfile(&second), -1);
    EXPECT_TRUE(log.Contains("System :: Can't update profile from table PROFILE: UNIQUE constraint failed: "
                             "PROFILE.ProfileName\n"));
    sqlite3_finalize(reading);
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);

    // The store holds no write lock: another connection writes at once.
    EXPECT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(StoreTest, WritesInsideATransactionLandTogetherOrNotAtAll) {
    // Rolled back: neither the kind rows nor the profiles nor the group delete stay.
    ProfileInfo kept = MakeProfile("kept", VPN_TYPE_WIREGUARD, 0);
    WireGuardVPNInfo keptRow = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&keptRow), 0);
    kept.ConfigID = keptRow.ID;
    ASSERT_EQ(store.InsertProfile(&kept), 0);

    ASSERT_EQ(store.BeginTransaction(), 0);
    EXPECT_EQ(store.BeginTransaction(), -1) << "transactions do not nest";
    WireGuardVPNInfo wireguard = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&wireguard), 0);
    ProfileInfo added = MakeProfile("added", VPN_TYPE_WIREGUARD, wireguard.ID);
    ASSERT_EQ(store.InsertProfile(&added), 0);
    EXPECT_EQ(store.DeleteProfileWithConfig(&kept), 0);
    // A failed write leaves the transaction to its owner.
    ProfileInfo clash = MakeProfile("added", VPN_TYPE_WIREGUARD, wireguard.ID);
    EXPECT_EQ(store.InsertProfile(&clash), -1);
    ASSERT_EQ(store.RollbackTransaction(), 0);
    EXPECT_EQ(Count("PROFILE"), 1);
    EXPECT_EQ(Count("ZRWIREGUARDVPN"), 1);
    EXPECT_EQ(Column("SELECT ProfileName FROM PROFILE"), "kept");

    // Committed: every write is there, and the next write is a transaction of its own.
    ASSERT_EQ(store.BeginTransaction(), 0);
    OpenVPNInfo openvpn = MakeOpenVPN();
    ASSERT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
    ProfileInfo second = MakeProfile("second", VPN_TYPE_OPENVPN, openvpn.ID);
    ASSERT_EQ(store.InsertProfile(&second), 0);
    EXPECT_EQ(Count("PROFILE"), 1) << "another connection sees nothing before the commit";
    ASSERT_EQ(store.CommitTransaction(), 0);
    EXPECT_EQ(Count("PROFILE"), 2);
    EXPECT_EQ(store.CommitTransaction(), -1);
    EXPECT_EQ(store.RollbackTransaction(), -1);
    ProfileInfo third = MakeProfile("third", VPN_TYPE_OPENVPN, openvpn.ID);
    ASSERT_EQ(store.InsertProfile(&third), 0);
    EXPECT_EQ(Count("PROFILE"), 3);
}

TEST_F(StoreTest, ATransactionHasTheStoreToItselfUntilItEnds) {
    ASSERT_EQ(store.BeginTransaction(), 0);
    ProfileInfo mine = MakeProfile("mine", VPN_TYPE_IPSEC, 1);
    ASSERT_EQ(store.InsertProfile(&mine), 0);
    // Another thread's write and read wait for the transaction's end, and never run inside it.
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::vector<ProfileInfo> seen;
    std::thread other([&] {
        started = true;
        ProfileInfo theirs = MakeProfile("theirs", VPN_TYPE_OPENVPN, 2);
        EXPECT_EQ(store.InsertProfile(&theirs), 0);
        EXPECT_EQ(store.GetProfileList(seen), 0);
        done = true;
    });
    while (!started) {
        std::this_thread::yield();
    }
    // Time for the other thread to reach the store; it must still be waiting there.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    ASSERT_EQ(store.RollbackTransaction(), 0);
    other.join();
    // The rollback took this thread's write alone.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_STREQ(seen[0].ProfileName, "theirs");
    EXPECT_EQ(Column("SELECT group_concat(ProfileName) FROM PROFILE"), "theirs");
}

TEST_F(StoreTest, ACommitThatFailsUndoesTheWholeTransaction) {
    ASSERT_EQ(store.BeginTransaction(), 0);
    ProfileInfo profile = MakeProfile("pending", VPN_TYPE_IPSEC, 1);
    ASSERT_EQ(store.InsertProfile(&profile), 0);
    // Another connection in the middle of a read keeps "commit" from taking the file.
    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT * FROM SETTINGINFO", -1, &reading, nullptr), SQLITE_OK);
    sqlite3_step(reading);
    EXPECT_EQ(store.CommitTransaction(), -1);
    EXPECT_TRUE(log.Contains("Can't commit transaction: database is locked\n")) << log.Text();
    sqlite3_finalize(reading);
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Count("PROFILE"), 0);
    EXPECT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
}

// The list with its kinds, read in one statement, holds what the list and each record's own
// select give: every kind, a profile whose record is missing, a kind the program does not
// know, texts cut as the record's select cuts them.
TEST_F(StoreTest, ListWithKindsHoldsWhatEachRecordsOwnSelectGives) {
    WireGuardVPNInfo wireguard = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&wireguard), 0);
    OpenVPNInfo openvpn = MakeOpenVPN();
    strcpy(openvpn.LocalIP, "10.9.0.5");
    ASSERT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
    IPSecVPNInfo ipsec = MakeIPSec(2);
    ASSERT_EQ(store.InsertIPSecProfile(&ipsec), 0);
    // A WireGuard server text longer than its record's field.
    ASSERT_EQ(sqlite3_exec(raw,
                           ("UPDATE ZRWIREGUARDVPN SET WanIP = '" + std::string(200, 'w') +
                            "' WHERE ID = " + std::to_string(wireguard.ID))
                               .c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // Prefix lengths stored as no WireGuard form writes them: past the range of a number, and
    // an empty text.
    WireGuardVPNInfo wideMask = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&wideMask), 0);
    WireGuardVPNInfo emptyMask = MakeWireGuard();
    ASSERT_EQ(store.InsertWireGuardInfo(&emptyMask), 0);
    for (const std::string& update :
         {"UPDATE ZRWIREGUARDVPN SET InterSubMask = 99999999999 WHERE ID = " + std::to_string(wideMask.ID),
          "UPDATE ZRWIREGUARDVPN SET InterSubMask = '' WHERE ID = " + std::to_string(emptyMask.ID)}) {
        ASSERT_EQ(sqlite3_exec(raw, update.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    std::vector<ProfileInfo> profiles = {
        MakeProfile("wg", VPN_TYPE_WIREGUARD, wireguard.ID),
        MakeProfile("ssl", VPN_TYPE_SSLVPN, openvpn.ID),
        MakeProfile("ovpn", VPN_TYPE_OPENVPN, openvpn.ID),
        MakeProfile("ipsec", VPN_TYPE_IPSEC, ipsec.GetID()),
        MakeProfile("gone", VPN_TYPE_WIREGUARD, 999),
        MakeProfile("other", 9, wireguard.ID),
        MakeProfile("wide mask", VPN_TYPE_WIREGUARD, wideMask.ID),
        MakeProfile("empty mask", VPN_TYPE_WIREGUARD, emptyMask.ID),
    };
    for (ProfileInfo& profile : profiles) {
        ASSERT_EQ(store.InsertProfile(&profile), 0);
    }

    std::vector<ProfileInfo> plain;
    ASSERT_EQ(store.GetProfileList(plain), 0);
    std::vector<ProfileInfo> list;
    std::vector<ProfileKindSummary> kinds;
    ASSERT_EQ(store.GetProfileListWithKinds(list, kinds), 0);
    ASSERT_EQ(list.size(), plain.size());
    ASSERT_EQ(kinds.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        const std::string name = plain[i].ProfileName;
        EXPECT_EQ(list[i].ProfileID, plain[i].ProfileID) << name;
        EXPECT_EQ(list[i].ProfileType, plain[i].ProfileType) << name;
        EXPECT_EQ(list[i].ConfigID, plain[i].ConfigID) << name;
        EXPECT_STREQ(list[i].ProfileName, plain[i].ProfileName);
        std::string server, local;
        int prefix = 0;
        switch (plain[i].ProfileType) {
        case VPN_TYPE_WIREGUARD: {
            WireGuardVPNInfo record;
            ASSERT_EQ(store.GetWireGuardInfoByID(&record, plain[i].ConfigID), 0);
            server = record.WanIP;
            local = record.IPAddr;
            prefix = record.InterSubMask;
            break;
        }
        case VPN_TYPE_SSLVPN:
        case VPN_TYPE_OPENVPN: {
            OpenVPNInfo record;
            ASSERT_EQ(store.GetOpenVPNConfigByID(&record, plain[i].ConfigID), 0);
            server = record.ServerIP;
            local = record.LocalIP;
            break;
        }
        case VPN_TYPE_IPSEC: {
            IPSecVPNInfo record;
            ASSERT_EQ(store.GetIPSecProfileByID(&record, plain[i].ConfigID), 0);
            server = record.GetRemoteAddrs();
            local = record.GetLocalAddrs();
            break;
        }
        default:
            break;
        }
        EXPECT_EQ(kinds[i].serverAddress, server) << name;
        EXPECT_EQ(kinds[i].localAddress, local) << name;
        EXPECT_EQ(kinds[i].prefixLength, prefix) << name;
    }
    EXPECT_EQ(kinds[plain.size() - 1].serverAddress.size(), sizeof(WireGuardVPNInfo::WanIP) - 1);
    EXPECT_EQ(kinds[3].serverAddress, ""); // "gone": its record is missing
    EXPECT_EQ(kinds[4].localAddress, "192.0.2.10");
    EXPECT_EQ(kinds[6].serverAddress, "vpn.example.org");
    EXPECT_EQ(kinds[1].prefixLength, INT_MAX); // "wide mask"
    EXPECT_EQ(kinds[0].prefixLength, 0);       // "empty mask"
}

TEST(StoreSort, BubbleSortByNameKeepsEqualNamesInOrder) {
    struct Case {
        std::vector<const char*> names;
        std::vector<int> ascending;
        std::vector<int> descending;
    };
    // Results are the positions of the input records.
    const Case cases[] = {
        {{}, {}, {}},
        {{"only"}, {0}, {0}},
        {{"b", "a", "B", "a"}, {2, 1, 3, 0}, {0, 1, 3, 2}},
        {{"Zeta", "alpha", "Ärger", "Beta"}, {3, 0, 1, 2}, {2, 1, 0, 3}},
    };
    for (const Case& c : cases) {
        std::vector<ProfileInfo> list;
        for (size_t i = 0; i < c.names.size(); ++i) {
            list.push_back(MakeProfile(c.names[i], 1, 1));
            list.back().ProfileID = static_cast<int>(i);
        }
        std::vector<ProfileInfo> ascending = list;
        EXPECT_EQ(IPCSqlite::SortProfilesAscending(ascending), 0);
        std::vector<ProfileInfo> descending = list;
        EXPECT_EQ(IPCSqlite::SortProfilesDescending(descending), 0);
        std::vector<int> ascendingIDs, descendingIDs;
        for (const ProfileInfo& info : ascending) {
            ascendingIDs.push_back(info.ProfileID);
        }
        for (const ProfileInfo& info : descending) {
            descendingIDs.push_back(info.ProfileID);
        }
        EXPECT_EQ(ascendingIDs, c.ascending);
        EXPECT_EQ(descendingIDs, c.descending);
        // The same order as positions, with the records left where they are.
        const std::vector<uint32_t> up = IPCSqlite::ProfileNameOrder(list, true);
        const std::vector<uint32_t> down = IPCSqlite::ProfileNameOrder(list, false);
        EXPECT_EQ(std::vector<int>(up.begin(), up.end()), c.ascending);
        EXPECT_EQ(std::vector<int>(down.begin(), down.end()), c.descending);
    }
}

TEST(StoreLifecycle, ReopeningKeepsRowsAndTheFileIsPrivate) {
    remove(kDbPath);
    LogCapture log;
    {
        IPCSqlite store;
        ASSERT_EQ(store.Init(kDbPath), 0);
        ProfileInfo profile = MakeProfile("kept", 1, 1);
        ASSERT_EQ(store.InsertProfile(&profile), 0);
        ASSERT_EQ(store.DeInit(), 0);
    }
    struct stat info;
    ASSERT_EQ(stat(kDbPath, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    IPCSqlite store;
    ASSERT_EQ(store.Init(kDbPath), 0);
    std::vector<ProfileInfo> list;
    ASSERT_EQ(store.GetProfileList(list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].ProfileName, "kept");
    EXPECT_EQ(store.DeInit(), 0);
    EXPECT_EQ(store.DeInit(), 0);
    EXPECT_EQ(log.Text(), "");
}

// How many of this process's descriptors are open on the file.
int OpenDescriptorsOf(const std::string& file) {
    char real[PATH_MAX];
    if (realpath(file.c_str(), real) == nullptr) {
        return -1;
    }
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    while (dirent* entry = fds != nullptr ? readdir(fds) : nullptr) {
        char target[PATH_MAX] = {};
        std::string link = std::string("/proc/self/fd/") + entry->d_name;
        if (readlink(link.c_str(), target, sizeof(target) - 1) > 0 && std::string(target) == real) {
            ++count;
        }
    }
    if (fds != nullptr) {
        closedir(fds);
    }
    return count;
}

TEST(StoreLifecycle, OpenFailuresAndAClosedStoreFailCleanly) {
    LogCapture log;
    IPCSqlite store;
    std::string longPath = std::string(170, 'p') + ".db";
    EXPECT_EQ(store.Init(longPath.c_str()), -1);
    EXPECT_EQ(log.Text(), "Can't open database: the path is too long\n");

    log.Clear();
    EXPECT_EQ(store.Init("missing-folder/vpn.db"), -1);
    EXPECT_EQ(log.Text(), "Can't open database: unable to open database file\n");
    EXPECT_EQ(store.DeInit(), 0);

    // A file that is no database opens and fails at its first table: the failed start
    // keeps no connection, neither its memory nor the open file.
    WriteWholeFile("not-a-store.db", std::string(4096, 'x'));
    log.Clear();
    const sqlite3_int64 memoryBefore = sqlite3_memory_used();
    for (int start = 0; start < 3; ++start) {
        EXPECT_EQ(store.Init("not-a-store.db"), -1);
        EXPECT_EQ(store.Init("missing-folder/vpn.db"), -1);
    }
    EXPECT_EQ(sqlite3_memory_used(), memoryBefore);
    EXPECT_EQ(OpenDescriptorsOf("not-a-store.db"), 0);
    EXPECT_TRUE(log.Contains("Can't create table PROFILE: file is not a database\n")) << log.Text();
    std::vector<ProfileInfo> none;
    EXPECT_EQ(store.GetProfileList(none), -1);
    EXPECT_TRUE(log.Contains("Execute SQL command failed: the database is not open\n"));
    EXPECT_EQ(store.DeInit(), 0);

    // Never opened: every call fails with its line, nothing crashes.
    log.Clear();
    IPCSqlite closed;
    ProfileInfo profile = MakeProfile("x", 1, 1);
    std::vector<ProfileInfo> list;
    EXPECT_EQ(closed.InsertProfile(&profile), -1);
    EXPECT_EQ(closed.GetProfileList(list), -1);
    EXPECT_EQ(log.Text(), "Can't insert profile into table PROFILE: the database is not open\n"
                          "Execute SQL command failed: the database is not open\n");
    EXPECT_EQ(IPCSqlite::ToResultCode(0), 0);
    EXPECT_EQ(IPCSqlite::ToResultCode(3), -1);
    EXPECT_EQ(IPCSqlite::ToResultCode(-1), -1);
    int status = 5;
    EXPECT_EQ(closed.TakeStatus(&status), 0);
    EXPECT_EQ(status, 0);
}

} // namespace
