// WireGuardContext: the configuration file, the folder helper, the tunnel-name rule,
// the uninstall command (through a double of the bundle's tool) and the row forwarding.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "IPCSqlite.h"
#include "TunnelTestSupport.h"
#include "WireGuardContext.h"

// Keys as the WireGuard tools write them: base64 of 32 bytes.
#define PRIV "LCGiDwi1ZE+Aq3bHX8TQtA8RsIy53ZC3fS3j1Vwnpjo="
#define PEERPUB "ExYf7d/LBFaQ1EImLf1OAeKcoWjHPUzXGnD5k+pEVsU="
#define PSK "rBascy3sLfnBzqd2zyNWiDLNVNCB/1T50JCV+2oAdYg="

namespace {

WireGuardVPNInfo FullRecord() {
    WireGuardVPNInfo info;
    std::strcpy(info.WanIP, "203.0.113.7");
    info.PeerPort = 51820;
    std::strcpy(info.PeerPubKey, PEERPUB);
    std::strcpy(info.IPAddr, "10.9.0.2");
    info.InterSubMask = 24;
    info.InterPort = 41000;
    std::strcpy(info.InterPriKey, PRIV);
    std::strcpy(info.InterPubKey, "OWNPUB=");
    std::strcpy(info.DNS, "1.1.1.1, 9.9.9.9");
    std::strcpy(info.PreShardKey, PSK);
    info.KeepaliveTime = 25;
    std::strcpy(info.AllowdIPs, "10.9.0.0/24, 192.168.7.0/24");
    return info;
}

TEST(WireGuardConfigText, FollowsTheLineTable) {
    struct Case {
        const char* what;
        void (*change)(WireGuardVPNInfo&);
        const char* expected;
    } cases[] = {
        {"every line", [](WireGuardVPNInfo&) {},
         "[Interface]\nPrivateKey = " PRIV "\nListenPort = 41000\nAddress = 10.9.0.2/24\nDNS = 1.1.1.1, "
         "9.9.9.9\n\n"
         "[Peer]\nPublicKey = " PEERPUB "\nEndpoint = 203.0.113.7:51820\nAllowedIPs = 10.9.0.0/24, "
         "192.168.7.0/24\n"
         "PresharedKey = " PSK "\nPersistentKeepalive = 25\n"},
        {"empty AllowdIPs means all", [](WireGuardVPNInfo& i) { i.AllowdIPs[0] = '\0'; },
         "[Interface]\nPrivateKey = " PRIV "\nListenPort = 41000\nAddress = 10.9.0.2/24\nDNS = 1.1.1.1, "
         "9.9.9.9\n\n"
         "[Peer]\nPublicKey = " PEERPUB "\nEndpoint = 203.0.113.7:51820\nAllowedIPs = 0.0.0.0/0\n"
         "PresharedKey = " PSK "\nPersistentKeepalive = 25\n"},
        {"port and keepalive 0, no pre-shared key",
         [](WireGuardVPNInfo& i) {
             i.InterPort = 0;
             i.KeepaliveTime = 0;
             i.PreShardKey[0] = '\0';
         },
         "[Interface]\nPrivateKey = " PRIV "\nAddress = 10.9.0.2/24\nDNS = 1.1.1.1, 9.9.9.9\n\n"
         "[Peer]\nPublicKey = " PEERPUB "\nEndpoint = 203.0.113.7:51820\nAllowedIPs = 10.9.0.0/24, "
         "192.168.7.0/24\n"},
        {"no DNS and no private key",
         [](WireGuardVPNInfo& i) {
             i.DNS[0] = '\0';
             i.InterPriKey[0] = '\0';
             i.InterPort = 0;
         },
         "[Interface]\nAddress = 10.9.0.2/24\n\n"
         "[Peer]\nPublicKey = " PEERPUB "\nEndpoint = 203.0.113.7:51820\nAllowedIPs = 10.9.0.0/24, "
         "192.168.7.0/24\n"
         "PresharedKey = " PSK "\nPersistentKeepalive = 25\n"},
    };
    for (const auto& c : cases) {
        WireGuardVPNInfo info = FullRecord();
        c.change(info);
        EXPECT_EQ(WireGuardConfigText(info), c.expected) << c.what;
    }
}

TEST(TunnelName, AcceptsNamesThatAreSafeInPathsAndArguments) {
    struct Case {
        const char* name;
        bool valid;
    } cases[] = {
        {"office", true},    {"home office", true}, {"Büro-2 (alt)", false}, {"Büro-2", true},
        {"a=b+c.d_e", true}, {"", false},           {"../etc/x", false},     {"a/b", false},
        {"a\\b", false},     {"a..b", false},       {".hidden", false},      {"-rf", false},
        {"x;reboot", false}, {"$(id)", false},      {"a`b`", false},         {"tab\there", false},
        {"quote\"d", false}, {"it's", false},       {"a|b", false},          {"new\nline", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidTunnelName(c.name), c.valid) << c.name;
    }
    EXPECT_TRUE(IsValidTunnelName(std::string(243, 'n').c_str()));
    EXPECT_FALSE(IsValidTunnelName(std::string(244, 'n').c_str()));
    EXPECT_FALSE(IsValidTunnelName(nullptr));
}

TEST(WireGuardCommandLines, KeepTheToolsForms) {
    EXPECT_EQ(WireGuardInstallCommandLine("/opt/korva", "office"),
              "cmd.exe /c ./bin/Wireguard/wireguard /installtunnelservice "
              "\"/opt/korva/Config/wireguard/office.conf\"");
    EXPECT_EQ(WireGuardUninstallCommandLine("office"),
              "cmd.exe /c ./bin/Wireguard/wireguard /uninstalltunnelservice office");
    EXPECT_EQ(WireGuardInstallCommandLine("/opt/korva", "a\"b"), "");
    EXPECT_EQ(WireGuardUninstallCommandLine("../x"), "");
    EXPECT_EQ(WireGuardShowCommandLine("x;y"), "");
    EXPECT_EQ(WireGuardUninstallCommandLine("home office"),
              "cmd.exe /c ./bin/Wireguard/wireguard /uninstalltunnelservice \"home office\"");
}

class WireGuardFiles : public ::testing::Test {
protected:
    ProjectFolder project;
};

TEST_F(WireGuardFiles, CreateDirPathMakesEveryLevel) {
    EXPECT_EQ(CreateDirPath("./Config/wireguard"), QString("./Config/wireguard"));
    EXPECT_TRUE(QDir("Config/wireguard").exists());
    EXPECT_EQ(CreateDirPath("./Config/wireguard"), QString("./Config/wireguard"));
    // A trailing separator: the empty leaf creates nothing and stays in the result.
    EXPECT_EQ(CreateDirPath("./a/b/"), QString("./a/b/"));
    EXPECT_TRUE(QDir("a/b").exists());
    // No separator at all: the folder is made directly.
    EXPECT_EQ(CreateDirPath("plain"), QString("plain"));
    EXPECT_TRUE(QDir("plain").exists());
    QString absolute = QString::fromStdString(project.path + "/x/y/z");
    EXPECT_EQ(CreateDirPath(absolute), absolute);
    EXPECT_TRUE(QDir(absolute).exists());
}

TEST_F(WireGuardFiles, WritesTheConfigurationWholeWithOwnerOnlyAccess) {
    WireGuardContext context;
    ProfileInfo profile;
    std::strcpy(profile.ProfileName, "home office");
    WireGuardVPNInfo info = FullRecord();
    ASSERT_EQ(context.WriteWireGuardConfig(profile, &info), 0);
    const std::string path = project.path + "/Config/wireguard/home office.conf";
    EXPECT_EQ(ReadText(path), WireGuardConfigText(info));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The longest name the rule lets in still names a file.
    ProfileInfo longest;
    std::strcpy(longest.ProfileName, std::string(kMaxTunnelNameBytes, 'n').c_str());
    EXPECT_EQ(context.WriteWireGuardConfig(longest, &info), 0);
    QFile::remove(
        QString::fromStdString(project.path + "/Config/wireguard/" + longest.ProfileName + ".conf"));

    // A later write replaces the whole file and leaves no temporary file behind.
    info.AllowdIPs[0] = '\0';
    ASSERT_EQ(context.WriteWireGuardConfig(profile, &info), 0);
    EXPECT_EQ(ReadText(path), WireGuardConfigText(info));
    EXPECT_EQ(QDir(QString::fromStdString(project.path + "/Config/wireguard")).entryList(QDir::Files).size(),
              1);
}

TEST_F(WireGuardFiles, RefusesUnsafeNamesAndUnwritableFolders) {
    WireGuardContext context;
    WireGuardVPNInfo info = FullRecord();
    ProfileInfo profile;
    std::strcpy(profile.ProfileName, "../../escape");
    EXPECT_EQ(context.WriteWireGuardConfig(profile, &info), -1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(project.path + "/escape.conf")));
    EXPECT_NE(project.Log().find("WireGuard :: Invalid tunnel name: ../../escape \n"), std::string::npos);
    EXPECT_EQ(context.WriteWireGuardConfig(profile, nullptr), -1);

    // A value with a line break would add lines of its own to the file; one that its key
    // does not take would reach wg-quick's unquoted expansions.
    std::strcpy(profile.ProfileName, "office");
    struct Unfit {
        void (*change)(WireGuardVPNInfo&);
        const char* key;
    } unfit[] = {
        {[](WireGuardVPNInfo& i) { std::strcpy(i.DNS, "1.1.1.1\nPostUp = id"); }, "DNS"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.AllowdIPs, "0.0.0.0/0\r\nPostUp = id"); }, "AllowedIPs"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.PeerPubKey, "K=\tx"); }, "PublicKey"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.DNS, "10.9.231.1,1:$(id>/tmp/x)"); }, "DNS"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.IPAddr, "/root/*"); }, "Address"},
    };
    for (const Unfit& u : unfit) {
        WireGuardVPNInfo bad = info;
        u.change(bad);
        EXPECT_EQ(context.WriteWireGuardConfig(profile, &bad), -1) << u.key;
        EXPECT_NE(project.Log().find(std::string("WireGuard :: Value of ") + u.key +
                                     " not allowed in wireguard config: office \n"),
                  std::string::npos)
            << u.key;
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(project.path + "/Config/wireguard/office.conf")));

    // The configuration folder is a file: nothing can be written.
    ASSERT_TRUE(WriteText(project.path + "/Config", "not a folder"));
    std::strcpy(profile.ProfileName, "office");
    EXPECT_EQ(context.WriteWireGuardConfig(profile, &info), -1);
}

TEST_F(WireGuardFiles, DisconnectUninstallsThroughTheBundleTool) {
    const std::string argLog = project.path + "/wireguard.args";
    project.Script("bin/Wireguard/wireguard",
                   "for a in \"$@\"; do echo \"[$a]\"; done >> '" + argLog + "'\necho done\n");
    WireGuardContext context;
    EXPECT_EQ(context.Disconnect("home office"), 0);
    EXPECT_EQ(context.Disconnect("office"), 0);
    QElapsedTimer clock;
    clock.start();
    while (ReadText(argLog).size() < 62 && clock.elapsed() < 10000) {
        QThread::msleep(20);
    }
    EXPECT_EQ(ReadText(argLog),
              "[/uninstalltunnelservice]\n[home office]\n[/uninstalltunnelservice]\n[office]\n");
    EXPECT_NE(project.Log().find("WireGuard :: WireGuard Disconnect: cmd.exe /c ./bin/Wireguard/wireguard "
                                 "/uninstalltunnelservice office \n"),
              std::string::npos);
    // An unsafe name never reaches the tool.
    EXPECT_EQ(context.Disconnect("x;reboot"), 0);
    EXPECT_EQ(ReadText(argLog).find("reboot"), std::string::npos);
}

TEST_F(WireGuardFiles, TunnelIsUpWhenWgShowKnowsIt) {
    // The double knows one tunnel, "home office".
    project.Script("bin/Wireguard/wg",
                   "if [ \"$1 $2\" = 'show home office' ]; then\n"
                   "  printf 'interface: home office\\n  listening port: 1\\n'\n"
                   "else echo 'Unable to access interface: No such device' >&2; exit 1; fi\n");
    WireGuardContext context;
    EXPECT_TRUE(context.IsTunnelUp("home office"));
    EXPECT_FALSE(context.IsTunnelUp("home"));
    EXPECT_FALSE(context.IsTunnelUp("x;reboot"));
    EXPECT_EQ(WireGuardShowCommandLine("home office"), "./bin/Wireguard/wg show \"home office\"");
}

TEST_F(WireGuardFiles, ForwardsRowsToTheStore) {
    IPCSqlite store;
    ASSERT_EQ(store.Init((project.path + "/vpn.db").c_str()), 0);
    WireGuardContext context;
    EXPECT_EQ(context.SetSqlite(&store), 0);

    WireGuardVPNInfo info = FullRecord();
    EXPECT_EQ(context.AddWireGuardInfo(&info, 0), 0);
    EXPECT_EQ(info.ID, 0);
    ASSERT_EQ(context.AddWireGuardInfo(&info, 1), 0);
    ASSERT_GT(info.ID, 0);

    WireGuardVPNInfo read;
    std::strcpy(read.DNS, "stale");
    ASSERT_EQ(context.GetWireGuardInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.PeerPubKey, PEERPUB);
    EXPECT_EQ(read.KeepaliveTime, 25);
    EXPECT_EQ(context.GetWireGuardInfoByID(info.ID, nullptr), -1);

    std::strcpy(info.WanIP, "198.51.100.1");
    EXPECT_EQ(context.UpdateWireGuardInfo(&info, 0), 0);
    ASSERT_EQ(context.GetWireGuardInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.WanIP, "203.0.113.7");
    EXPECT_EQ(context.UpdateWireGuardInfo(&info, 1), 0);
    ASSERT_EQ(context.GetWireGuardInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.WanIP, "198.51.100.1");

    EXPECT_EQ(context.DeleteWireGuardInfo(&info), 0);
    // A missing row leaves the record cleared.
    ASSERT_EQ(context.GetWireGuardInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.WanIP, "");
    EXPECT_STREQ(read.DNS, "");
    EXPECT_EQ(store.DeInit(), 0);
}

} // namespace
