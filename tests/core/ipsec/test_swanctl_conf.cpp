// The swanctl.conf writer: the file's text for every kind of profile, values that must
// not break the file, and how the file is written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "IPCSqlite.h"
#include "IPSecTestSupport.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "SwanctlConf.h"

using namespace ipsectest;

namespace {

struct Profile {
    const char* name;
    int transport;
    int protocol;
    int version;
    int dpd;
    int dpdPeriod;
    std::vector<std::string> selectors;
    const char* psk;
};

IPSecVPNInfo makeInfo(const Profile& p) {
    IPSecVPNInfo info;
    info.SetPolicyName(p.name);
    info.SetLocalAddrs("192.0.2.1");
    info.SetRemoteAddrs("192.0.2.2");
    info.SetTransportProtocolValue(p.transport);
    info.SetProtocolTypeValue(p.protocol);
    info.SetVersionValue(p.version);
    info.SetEnableDPD(p.dpd);
    info.SetDPDPeriod(p.dpdPeriod);
    info.SetRemoteTrafficSelectors(p.selectors);
    info.SetEspProposals("sha256-aes256");
    info.SetAHProposals("sha1");
    info.SetIkeHash("sha256");
    info.SetIkeEncryption("aes128");
    info.SetIkeDHGroup("modp2048");
    info.SetPSKSecret(p.psk);
    return info;
}

// The file as the template gives it, filled with the profile's texts.
std::string expected(const std::string& name, const std::string& selectors, const std::string& proposalLine,
                     const std::string& mode, int version, int dpd, const std::string& secret) {
    return "connections {\n" + name +
           " {\nlocal_addrs=192.0.2.1\nremote_addrs=192.0.2.2\nlocal {\nauth=psk\nid=192.0.2.1\n}\n"
           "remote {\nauth=psk\nid=192.0.2.2\n}\nchildren {\n" +
           name + "_child {\nremote_ts=" + selectors + "\n" + proposalLine + "\n" + mode +
           "}\n}\nversion=" + std::to_string(version) +
           "\nproposals=sha256-aes128-modp2048\ndpd_delay=" + std::to_string(dpd) +
           "s\n}\n}\nsecrets {\nike-server{\nid=192.0.2.2\nsecret=" + secret + "\n}\n}\n";
}

} // namespace

TEST(SwanctlConfFormat, FollowsTheTemplateForEveryKindOfProfile) {
    struct Case {
        Profile profile;
        std::string text;
    } cases[] = {
        {{"office", 1, 2, 2, 0, 0, {}, "topsecret"},
         expected("office", "", "esp_proposals=sha256-aes256", "", 2, 0, "0x746f70736563726574")},
        {{"branch_1", 2, 1, 1, 1, 30, {"10.0.0.0/24"}, "k1"},
         expected("branch_1", "10.0.0.0/24", "ah_proposals=sha1", "mode=transport\n", 1, 30, "0x6b31")},
        {{"Lab-7", 2, 2, 7, 0, 45, {"10.0.0.0/24", "10.1.0.0/16", "172.16.0.0/12"}, "k2"},
         expected("Lab-7", "10.0.0.0/24,10.1.0.0/16,172.16.0.0/12", "esp_proposals=sha256-aes256",
                  "mode=transport\n", 2, 0, "0x6b32")},
        {{"x", 1, 1, 2, 1, 10, {"10.9.0.0/16"}, "k3"},
         expected("x", "10.9.0.0/16", "ah_proposals=sha1", "", 2, 10, "0x6b33")},
        // Values the record does not check: any protocol but 1 is ESP, any mode but 1 transport.
        {{"odd", 0, 0, 0, 0, 0, {}, "k4"},
         expected("odd", "", "esp_proposals=sha256-aes256", "mode=transport\n", 2, 0, "0x6b34")},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(FormatSwanctlConf(makeInfo(c.profile), text), 0) << c.profile.name;
        EXPECT_EQ(text, c.text) << c.profile.name;
    }
}

TEST(SwanctlConfFormat, QuotesValuesThatWouldBreakTheFileAndEncodesTheKey) {
    // The key reaches strongSwan as the hex of its bytes, whatever they are: nothing in it
    // can end the value, open a comment, a section or a reference, or be decoded twice.
    struct Case {
        std::string psk;
        std::string written;
    } cases[] = {
        {"psk-0123", "0x70736b2d30313233"},
        {"a+b/c=.-_", "0x612b622f633d2e2d5f"},
        {"a#b", "0x612362"},
        {"say \"hi\"", "0x7361792022686922"},
        {"{$x}\\", "0x7b24787d5c"},
        {"line\nbreak\ttab", "0x6c696e650a627265616b09746162"},
        {" padded ", "0x2070616464656420"},
        {"Grüße", "0x4772c3bcc39f65"},
        // strongSwan would decode keys that begin 0x or 0s itself: they stay what was typed.
        {"0xdead", "0x307864656164"},
        {"0sAB", "0x30734142"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SwanctlSecretValue(c.psk), c.written) << c.psk;
        std::string text;
        ASSERT_EQ(FormatSwanctlConf(makeInfo({"q", 1, 2, 2, 0, 0, {}, c.psk.c_str()}), text), 0);
        EXPECT_NE(text.find("\nsecret=" + c.written + "\n}\n}\n"), std::string::npos) << c.psk;
    }

    // A long key is written whole, never cut.
    std::string longKey(700, 'k');
    std::string text;
    ASSERT_EQ(FormatSwanctlConf(makeInfo({"q", 1, 2, 2, 0, 0, {}, longKey.c_str()}), text), 0);
    std::string hexKey;
    for (size_t i = 0; i < longKey.size(); ++i) {
        hexKey += "6b";
    }
    EXPECT_NE(text.find("secret=0x" + hexKey + "\n"), std::string::npos);

    // Addresses and selectors go through the same quoting.
    IPSecVPNInfo info = makeInfo({"q", 1, 2, 2, 0, 0, {"10.0.0.0/8 # x"}, "k"});
    info.SetRemoteAddrs("peer{1}");
    ASSERT_EQ(FormatSwanctlConf(info, text), 0);
    EXPECT_NE(text.find("remote_addrs=\"peer{1}\"\n"), std::string::npos);
    EXPECT_NE(text.find("remote {\nauth=psk\nid=\"peer{1}\"\n}"), std::string::npos);
    EXPECT_NE(text.find("remote_ts=\"10.0.0.0/8 # x\"\n"), std::string::npos);
}

TEST(SwanctlConfFormat, NamesStrongSwanWouldRefuseAreWrittenInHex) {
    struct Case {
        const char* policy;
        const char* connection;
    } cases[] = {
        {"office_2-b", "office_2-b"}, {"B\xc3\xbcro", "u-42c3bc726f"}, {"my vpn", "u-6d792076706e"},
        {"a.b", "u-612e62"},          {"../x{", "u-2e2e2f787b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SwanctlConnectionName(c.policy), c.connection);
        std::string text;
        ASSERT_EQ(FormatSwanctlConf(makeInfo({c.policy, 1, 2, 2, 0, 0, {}, "k"}), text), 0);
        EXPECT_EQ(text.find(std::string("connections {\n") + c.connection + " {\n"), 0u) << text;
        EXPECT_NE(text.find(std::string("children {\n") + c.connection + "_child {\n"), std::string::npos);
    }
}

TEST(SwanctlConfFormat, RefusesAnEmptyNameAndOverlongProposals) {
    std::string text = "old";
    EXPECT_EQ(FormatSwanctlConf(makeInfo({"", 1, 2, 2, 0, 0, {}, "k"}), text), -1);
    EXPECT_TRUE(text.empty());
    IPSecVPNInfo info = makeInfo({"ok", 1, 2, 2, 0, 0, {}, "k"});
    info.SetIkeDHGroup(std::string(40, 'g'));
    EXPECT_EQ(FormatSwanctlConf(info, text), -1);
}

TEST(SwanctlConfWriter, WritesTheWholeFileReadableByOwnerOnly) {
    ProjectFolder project;
    IPSecVPNContext context;
    IPSecVPNInfo info = makeInfo({"office", 1, 2, 2, 0, 0, {}, std::string(600, 's').c_str()});
    std::string file = project.ipsec() + "swanctl/swanctl.conf";
    writeFile(file, "stale text that is longer than nothing\n");

    ASSERT_EQ(context.WriteSwanctlConf(&info, project.path), 0);
    std::string text;
    FormatSwanctlConf(info, text);
    EXPECT_EQ(readFile(file), text);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(QString::fromStdString(project.ipsec() + "swanctl")).entryList(QDir::Files).size(), 1);
}

TEST(SwanctlConfWriter, FailsWithMinusThreeAndLeavesNoFile) {
    ProjectFolder project;
    IPSecVPNContext context;
    std::string file = project.ipsec() + "swanctl/swanctl.conf";

    // An invalid profile: the old file is gone and no new one is written.
    writeFile(file, "old\n");
    IPSecVPNInfo bad = makeInfo({"", 1, 2, 2, 0, 0, {}, "k"});
    EXPECT_EQ(context.WriteSwanctlConf(&bad, project.path), -3);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(file)));
    EXPECT_NE(project.log().find("IPSec :: Error: invalid ipsec profile, config file not written!\n"),
              std::string::npos);

    // No configuration folder: the writer's failure line, and Connect fails with -1
    // before anything is run or IKEEXT is touched.
    QDir(QString::fromStdString(project.ipsec() + "swanctl")).removeRecursively();
    IPSecVPNInfo good = makeInfo({"office", 1, 2, 2, 0, 0, {}, "k"});
    EXPECT_EQ(context.WriteSwanctlConf(&good, project.path), -3);
    EXPECT_NE(project.log().find("IPSec :: Error: Failed to create ipsec config file!\n"), std::string::npos);

    project.installDoubles();
    EXPECT_EQ(context.Connect(&good, project.path), -1);
    EXPECT_EQ(context.GetPolicyName(), "office");
    EXPECT_EQ(context.GetProjectPath(), project.path);
    EXPECT_EQ(project.calls(), "");
    EXPECT_EQ(project.charonStarts(), "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(project.path + "/services.table")));
}

TEST(IPSecRows, ForwardToTheStoreWithItsResultCodes) {
    ProjectFolder project;
    IPSecVPNContext context;
    IPSecVPNInfo info = makeInfo({"office", 2, 1, 1, 1, 30, {"10.0.0.0/24", "10.1.0.0/16"}, "k#1"});
    EXPECT_EQ(context.AddIPSecInfo(&info, 1), -1) << "no store yet";
    EXPECT_EQ(context.SetSqlite(nullptr), -1);

    IPCSqlite store;
    ASSERT_EQ(store.Init((project.path + "/vpn.db").c_str()), 0);
    ASSERT_EQ(context.SetSqlite(&store), 0);

    EXPECT_EQ(context.AddIPSecInfo(nullptr, 1), -1);
    EXPECT_EQ(context.AddIPSecInfo(&info, 0), 0);
    EXPECT_EQ(info.GetID(), -1) << "the flag 0 writes nothing";
    ASSERT_EQ(context.AddIPSecInfo(&info, 1), 0);
    ASSERT_GT(info.GetID(), 0);

    IPSecVPNInfo read;
    EXPECT_EQ(context.GetIPSecInfoByID(info.GetID(), nullptr), -1);
    ASSERT_EQ(context.GetIPSecInfoByID(info.GetID(), &read), 0);
    std::string written, readBack;
    FormatSwanctlConf(info, written);
    FormatSwanctlConf(read, readBack);
    EXPECT_EQ(readBack, written);

    info.SetPSKSecret("changed");
    EXPECT_EQ(context.UpdateIPSecInfo(&info, 1), 0);
    ASSERT_EQ(context.GetIPSecInfoByID(info.GetID(), &read), 0);
    EXPECT_EQ(read.GetPSKSecret(), "changed");

    EXPECT_EQ(context.DeleteIPSecInfo(-1), -1);
    EXPECT_EQ(context.DeleteIPSecInfo(info.GetID()), 0);
    store.DeInit();
}
