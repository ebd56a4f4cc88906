// The imported-database reader on files from outside: a store's own file, files that
// are no database or lack tables, and hostile rows with over-long texts.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "IPCSqlite.h"
#include "IPCSqliteReader.h"
#include "StoreTestSupport.h"

namespace {

// True when the text is whole UTF-8: no sequence cut at its end.
bool EndsOnCharacterBoundary(const char* text) {
    size_t length = strlen(text);
    size_t i = length;
    size_t continuation = 0;
    while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0) {
        return continuation == 0;
    }
    unsigned char lead = static_cast<unsigned char>(text[i - 1]);
    size_t expected = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    return continuation == expected;
}

void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
}

std::string Repeat(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { remove(path); }
    void TearDown() override { remove(path); }
    const char* path = "decrypted.db";
    LogCapture log;
};

TEST_F(ReaderTest, ReadsEveryKindFromAStoreFile) {
    {
        IPCSqlite store;
        ASSERT_EQ(store.Init(path), 0);
        WireGuardVPNInfo wireguard;
        strcpy(wireguard.WanIP, "198.51.100.1");
        wireguard.PeerPort = 51820;
        strcpy(wireguard.DNS, "1.1.1.1");
        ASSERT_EQ(store.InsertWireGuardInfo(&wireguard), 0);
        OpenVPNInfo openvpn;
        strcpy(openvpn.ServerIP, "vpn.example.org");
        openvpn.VPNConfig = "client\nremote vpn.example.org\n";
        ASSERT_EQ(store.InsertOpenVPNConfig(&openvpn), 0);
        IPSecVPNInfo ipsec;
        ipsec.SetPolicyName("office");
        ipsec.SetProtocolType(1);
        ipsec.SetAHProposals("sha1");
        ipsec.SetPhaseOneProposals("sha1-aes128-modp1024");
        ipsec.SetRemoteTrafficSelectors({"10.0.0.0/8"});
        ASSERT_EQ(store.InsertIPSecProfile(&ipsec), 0);
        ProfileInfo profiles[] = {{0, VPN_TYPE_WIREGUARD, "wg", wireguard.ID},
                                  {0, VPN_TYPE_OPENVPN, "ovpn", openvpn.ID},
                                  {0, VPN_TYPE_IPSEC, "ipsec", ipsec.GetID()}};
        for (ProfileInfo& profile : profiles) {
            ASSERT_EQ(store.InsertProfile(&profile), 0);
        }
        ASSERT_EQ(store.DeInit(), 0);
    }

    IPCSqliteReader reader;
    ASSERT_EQ(reader.Init(path), 0);
    std::vector<ProfileInfo> list;
    ASSERT_EQ(reader.GetProfileList(list), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[0].ProfileName, "ipsec");
    EXPECT_STREQ(list[2].ProfileName, "wg");

    WireGuardVPNInfo wireguard;
    ASSERT_EQ(reader.GetWireGuardInfoByID(&wireguard, list[2].ConfigID), 0);
    EXPECT_STREQ(wireguard.WanIP, "198.51.100.1");
    EXPECT_EQ(wireguard.PeerPort, 51820);
    EXPECT_EQ(wireguard.ID, 0);

    // A copy shares the connection; destroying it closes nothing.
    {
        IPCSqliteReader copy = reader;
        OpenVPNInfo openvpn;
        ASSERT_EQ(copy.GetOpenVPNConfigByID(&openvpn, list[1].ConfigID), 0);
        EXPECT_STREQ(openvpn.ServerIP, "vpn.example.org");
        EXPECT_EQ(openvpn.VPNConfig, "client\nremote vpn.example.org\n");
    }
    IPSecVPNInfo ipsec;
    ASSERT_EQ(reader.GetIPSecProfileByID(&ipsec, list[0].ConfigID), 0);
    EXPECT_EQ(ipsec.GetPolicyName(), "office");
    EXPECT_EQ(ipsec.GetProtocolType(), 1);
    EXPECT_EQ(ipsec.GetAHProposals(), "sha1");
    EXPECT_EQ(ipsec.GetIkeDHGroup(), "modp1024");
    EXPECT_EQ(*ipsec.GetRemoteTrafficSelectors(), IPSecSelectorList{"10.0.0.0/8"});

    // A missing row leaves the caller's record as it was.
    WireGuardVPNInfo missing;
    ASSERT_EQ(reader.GetWireGuardInfoByID(&missing, 99), 0);
    EXPECT_EQ(missing.WanIP[0], '\0');
    EXPECT_EQ(reader.DeInit(), 0);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ReaderTest, FileThatIsNoDatabaseOpensAndFailsAtItsFirstSelect) {
    WriteWholeFile(path, Repeat("this is a profile export of another program\n", 200));
    IPCSqliteReader reader;
    ASSERT_EQ(reader.Init(path), 0);
    std::vector<ProfileInfo> list;
    EXPECT_EQ(reader.GetProfileList(list), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.Text(), "Execute SQL command failed: file is not a database\n");
    EXPECT_EQ(reader.DeInit(), 0);
}

TEST_F(ReaderTest, AMissingFileIsNotCreated) {
    IPCSqliteReader reader;
    EXPECT_EQ(reader.Init(path), -1);
    struct stat info;
    EXPECT_NE(stat(path, &info), 0);
    EXPECT_EQ(log.Text(), "Can't open database: unable to open database file\n");
    EXPECT_EQ(reader.DeInit(), 0);
}

TEST_F(ReaderTest, MissingTablesFailEverySelect) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path, &db), SQLITE_OK);
    Exec(db, "CREATE TABLE OTHER (x)");
    sqlite3_close(db);
    IPCSqliteReader reader;
    ASSERT_EQ(reader.Init(path), 0);
    std::vector<ProfileInfo> list;
    WireGuardVPNInfo wireguard;
    OpenVPNInfo openvpn;
    IPSecVPNInfo ipsec;
    EXPECT_EQ(reader.GetProfileList(list), -1);
    EXPECT_EQ(reader.GetWireGuardInfoByID(&wireguard, 1), -1);
    EXPECT_EQ(reader.GetOpenVPNConfigByID(&openvpn, 1), -1);
    EXPECT_EQ(reader.GetIPSecProfileByID(&ipsec, 1), -1);
    EXPECT_EQ(log.Text(), "Execute SQL command failed: no such table: PROFILE\n"
                          "Execute SQL command failed: no such table: ZRWIREGUARDVPN\n"
                          "Execute SQL command failed: no such table: OPENVPN\n"
                          "Execute SQL command failed: no such table: ZRIPSECVPN\n");
    EXPECT_EQ(reader.DeInit(), 0);
}

TEST_F(ReaderTest, PathThatCannotBeOpenedFailsAndHoldsNothing) {
    IPCSqliteReader reader;
    EXPECT_EQ(reader.Init("missing-folder/decrypted.db"), -1);
    EXPECT_EQ(log.Text(), "Can't open database: unable to open database file\n");
    std::vector<ProfileInfo> list;
    EXPECT_EQ(reader.GetProfileList(list), -1);
    EXPECT_TRUE(log.Contains("Execute SQL command failed: the database is not open\n"));
    EXPECT_EQ(reader.DeInit(), 0);
}

TEST_F(ReaderTest, EmptyProfileTableGivesAnEmptyList) {
    IPCSqlite store;
    ASSERT_EQ(store.Init(path), 0);
    ASSERT_EQ(store.DeInit(), 0);
    IPCSqliteReader reader;
    ASSERT_EQ(reader.Init(path), 0);
    std::vector<ProfileInfo> list;
    EXPECT_EQ(reader.GetProfileList(list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(reader.DeInit(), 0);
}

TEST_F(ReaderTest, OverLongAndHostileTextsStayInsideTheRecords) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path, &db), SQLITE_OK);
    // Tables of the same names, but nothing limits what the columns hold.
    Exec(db, "CREATE TABLE PROFILE (ProfileID INTEGER PRIMARY KEY, ProfileName, ProfileType, ConfigID)");
    Exec(db,
         "CREATE TABLE ZRWIREGUARDVPN (ID INTEGER PRIMARY KEY, WanIP, PeerPort, PeerPubKey, IPAddr, "
         "InterSubMask, InterPort, InterPriKey, InterPubKey, DNS, PreShardKey, KeepaliveTime, AllowdIPs)");
    Exec(db, "CREATE TABLE OPENVPN (ID INTEGER PRIMARY KEY, ServerIP, ServerPort, ConfigFilePath, NeedPwd, "
             "UserName, UserPwd, RememberMe, PromptPwd, LocalIPType, LocalIP, LocalDns, LocalWinsServer, "
             "EnableFullTraffic, AllowdIPs, VPNConfig)");
    Exec(db, "CREATE TABLE ZRIPSECVPN (ID INTEGER PRIMARY KEY, Version, PolicyName, LocalAddrs, RemoteAddrs, "
             "AuthMethod, TransportProtocol, RemoteTrafficSelectors, LocalTrafficSelectors, ProtocolType, "
             "EspProposals, AHProposals, PhaseOneProposals, IKEID, PSKSecret, EnableDPD, DPDPeriod)");
    // Two-byte and three-byte characters so that a plain cut would split one.
    std::string longName = Repeat("é€", 200);
    std::string longText = Repeat("x'€", 100);
    const char* name = longName.c_str();
    const char* text = longText.c_str();
    std::string selectors = Repeat("10.0.0.0/24,", 500);
    std::string phaseOne = Repeat("sha512-", 20);
    char* sql = sqlite3_mprintf(
        "INSERT INTO PROFILE VALUES (1, %Q, '99999999999', 'x7');"
        "INSERT INTO ZRWIREGUARDVPN VALUES (1, %Q, '-99999999999', %Q, %Q, 24, '', %Q, %Q, %Q, %Q, 25, %Q);"
        "INSERT INTO OPENVPN VALUES (1, %Q, 1194, %Q, 1, %Q, %Q, 1, 0, 0, %Q, %Q, %Q, 1, %Q, %Q);"
        "INSERT INTO ZRIPSECVPN VALUES (1, 2, %Q, 'a', 'b', 1, 1, %Q, 'l', 2, 'sha1-aes128', NULL, %Q, 'id', "
        "'psk', 0, 0);",
        name,                                                 // PROFILE
        text, text, text, text, text, text, text, text,       // ZRWIREGUARDVPN
        text, name, text, text, text, text, text, text, text, // OPENVPN
        text, selectors.c_str(), phaseOne.c_str());           // ZRIPSECVPN
    Exec(db, sql);
    sqlite3_free(sql);
    sqlite3_close(db);

    IPCSqliteReader reader;
    ASSERT_EQ(reader.Init(path), 0);
    std::vector<ProfileInfo> list;
    ASSERT_EQ(reader.GetProfileList(list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_LE(strlen(list[0].ProfileName), 511u);
    EXPECT_GE(strlen(list[0].ProfileName), 508u);
    EXPECT_EQ(longName.compare(0, strlen(list[0].ProfileName), list[0].ProfileName), 0);
    EXPECT_TRUE(EndsOnCharacterBoundary(list[0].ProfileName));
    EXPECT_EQ(list[0].ProfileType, INT_MAX);
    EXPECT_EQ(list[0].ConfigID, 0);
    EXPECT_TRUE(
        log.Contains("Column ProfileName holds 1000 bytes, more than its field takes: cut to 510 bytes\n"));

    WireGuardVPNInfo wireguard;
    ASSERT_EQ(reader.GetWireGuardInfoByID(&wireguard, 1), 0);
    EXPECT_EQ(wireguard.PeerPort, INT_MIN);
    EXPECT_EQ(wireguard.InterPort, 0);
    for (const char* text :
         {wireguard.WanIP, wireguard.PeerPubKey, wireguard.IPAddr, wireguard.InterPriKey,
          wireguard.InterPubKey, wireguard.DNS, wireguard.PreShardKey, wireguard.AllowdIPs}) {
        EXPECT_LE(strlen(text), 127u);
        EXPECT_TRUE(EndsOnCharacterBoundary(text));
        EXPECT_EQ(longText.compare(0, strlen(text), text), 0);
    }

    OpenVPNInfo openvpn;
    ASSERT_EQ(reader.GetOpenVPNConfigByID(&openvpn, 1), 0);
    EXPECT_LE(strlen(openvpn.ConfigFilePath), 511u);
    EXPECT_TRUE(EndsOnCharacterBoundary(openvpn.ConfigFilePath));
    EXPECT_LE(strlen(openvpn.UserPwd), 127u);
    EXPECT_EQ(openvpn.VPNConfig, longText);
    EXPECT_EQ(openvpn.ServerPort, 1194);

    IPSecVPNInfo ipsec;
    ipsec.SetIkeHash("md5");
    ASSERT_EQ(reader.GetIPSecProfileByID(&ipsec, 1), 0);
    EXPECT_EQ(ipsec.GetPolicyName(), longText);
    EXPECT_EQ(ipsec.GetRemoteTrafficSelectors()->size(), 500u);
    EXPECT_EQ(ipsec.GetIkeHash(), "md5");
    EXPECT_TRUE(
        log.Contains("Column PhaseOneProposals holds 140 bytes, more than its field takes: not taken\n"));
    EXPECT_EQ(reader.DeInit(), 0);
}

TEST_F(ReaderTest, AFileWithMoreProfilesThanAnyStoreIsRefusedAtTheCap) {
    // The cap itself is read whole; one row more refuses the file and adds nothing.
    for (int rows : {50000, 50001}) {
        remove(path);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path, &db), SQLITE_OK);
        Exec(db,
             "CREATE TABLE PROFILE (ProfileID INTEGER PRIMARY KEY AUTOINCREMENT, ProfileName TEXT NOT NULL "
             "UNIQUE, ProfileType INTEGER NOT NULL, ConfigID INTEGER NOT NULL)");
        Exec(db, "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                     std::to_string(rows) + ") INSERT INTO PROFILE SELECT NULL, 'p' || x, 4, x FROM n");
        sqlite3_close(db);

        log.Clear();
        IPCSqliteReader reader;
        ASSERT_EQ(reader.Init(path), 0);
        std::vector<ProfileInfo> list(1);
        std::strcpy(list[0].ProfileName, "already there");
        if (rows == 50000) {
            ASSERT_EQ(reader.GetProfileList(list), 0) << log.Text();
            ASSERT_EQ(list.size(), 50001u);
            EXPECT_STREQ(list[1].ProfileName, "p50000");
            EXPECT_EQ(log.Text(), "");
        } else {
            EXPECT_EQ(reader.GetProfileList(list), -1);
            ASSERT_EQ(list.size(), 1u);
            EXPECT_STREQ(list[0].ProfileName, "already there");
            EXPECT_EQ(log.Text(),
                      "Execute SQL command failed: the file holds more profiles than a store can\n");
        }
        EXPECT_EQ(reader.DeInit(), 0);
    }
}

TEST_F(ReaderTest, RunawaySelectIsStopped) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path, &db), SQLITE_OK);
    Exec(db, "CREATE VIEW PROFILE AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
             "SELECT x AS ProfileID, 'p' || x AS ProfileName, 1 AS ProfileType, x AS ConfigID FROM n");
    sqlite3_close(db);

    IPCSqliteReader reader;
    ASSERT_EQ(reader.Init(path), 0);
    std::vector<ProfileInfo> list;
    EXPECT_EQ(reader.GetProfileList(list), -1);
    EXPECT_TRUE(log.Contains("Execute SQL command failed: interrupted\n"));
    EXPECT_EQ(reader.DeInit(), 0);
}

} // namespace
