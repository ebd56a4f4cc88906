// The real strongSwan through the bundle's charon-svc.exe and swanctl.exe: generated
// swanctl.conf files load into a real charon-systemd, and a real connect against a peer
// that never answers ends in "peer not responding". The test runs in a network
// namespace of its own, so the daemon's IKE ports and addresses touch nothing else.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "IPSecTestSupport.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "ProcessPipe.h"
#include "ServiceTable.h"
#include "StrongSwanControl.h"
#include "SwanctlConf.h"

extern char** environ;

using namespace ipsectest;

namespace {

CharonMachineLock charonLock;

// Why the real daemon cannot run here, or empty when it can.
std::string unavailable;

bool runIp(std::vector<std::string> args) {
    args.insert(args.begin(), "ip");
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ip", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Before main, while the process has one thread: a network namespace of its own with
// the loopback up and a veth pair; 192.0.2.1 is local, 192.0.2.2 answers nothing.
struct OwnNetwork {
    OwnNetwork() {
        if (access("/usr/sbin/charon-systemd", X_OK) != 0 || access("/usr/sbin/swanctl", X_OK) != 0) {
            unavailable =
                "charon-systemd or swanctl is not installed (scripts/install-deps.sh installs them)";
            return;
        }
        if (unshare(CLONE_NEWNET) != 0) {
            unavailable = std::string("cannot make a network namespace: ") + strerror(errno);
            return;
        }
        if (!runIp({"link", "set", "lo", "up"}) ||
            !runIp({"link", "add", "v0", "type", "veth", "peer", "name", "v1"}) ||
            !runIp({"addr", "add", "192.0.2.1/24", "dev", "v0"}) || !runIp({"link", "set", "v0", "up"}) ||
            !runIp({"link", "set", "v1", "up"})) {
            unavailable = "cannot set up the namespace's interfaces with ip";
        }
    }
} ownNetwork;

IPSecVPNInfo profile(const std::string& name, int transport, int protocol, int version, int dpd,
                     const std::vector<std::string>& selectors, const std::string& psk) {
    IPSecVPNInfo info;
    info.SetPolicyName(name);
    info.SetLocalAddrs("192.0.2.1");
    info.SetRemoteAddrs("192.0.2.2");
    info.SetTransportProtocolValue(transport);
    info.SetProtocolTypeValue(protocol);
    info.SetVersionValue(version);
    info.SetEnableDPD(dpd);
    info.SetDPDPeriod(30);
    info.SetRemoteTrafficSelectors(selectors);
    info.SetEspProposals("sha256-aes256");
    info.SetAHProposals("sha256");
    info.SetIkeHash("sha256");
    info.SetIkeEncryption("aes256");
    info.SetIkeDHGroup("modp2048");
    info.SetPSKSecret(psk);
    return info;
}

class RealStrongSwan : public ::testing::Test {
protected:
    void SetUp() override {
        if (!unavailable.empty()) {
            GTEST_SKIP() << "real strongSwan not run: " << unavailable;
        }
        project.installBundle();
    }
    void TearDown() override { endDaemons(); }

    std::string swanctl(const std::string& args) {
        ProcessPipe pipe;
        return pipe.ExecuteCommand(swanctlCommand(project.path, args).c_str(), true,
                                   strongSwanFolder(project.path).c_str());
    }

    ProjectFolder project;
    IPSecVPNContext context;
};

} // namespace

TEST_F(RealStrongSwan, GeneratedConfigurationsLoadThroughTheBundleScripts) {
    ASSERT_EQ(startCharon(project.path), 0);
    ASSERT_TRUE(waitForCharon(project.path));
    ASSERT_GT(getCharonPid(), 1);

    struct Case {
        IPSecVPNInfo info;
        std::vector<std::string> shown;
    } cases[] = {
        {profile("office", 1, 2, 2, 0, {}, "topsecret"), {"office: IKEv2", "office_child: TUNNEL"}},
        {profile("branch_1", 2, 1, 1, 1, {"10.0.0.0/24"}, "k#1 {x}"),
         {"branch_1: IKEv1", "branch_1_child: TRANSPORT", "remote: 10.0.0.0/24"}},
        {profile("Lab-7", 1, 2, 7, 1, {"10.0.0.0/24", "10.1.0.0/16", "172.16.0.0/12"}, "say \"hi\" \\ 0"),
         {"Lab-7: IKEv2", "Lab-7_child: TUNNEL", "remote: 10.0.0.0/24 10.1.0.0/16 172.16.0.0/12"}},
        {profile("hexkey", 1, 2, 2, 0, {}, "0xnot-hex"), {"hexkey: IKEv2"}},
        {profile("B\xc3\xbcro 1", 1, 2, 2, 0, {}, "k"),
         {"u-42c3bc726f2031: IKEv2", "u-42c3bc726f2031_child: TUNNEL"}},
    };
    for (Case& c : cases) {
        const std::string name = SwanctlConnectionName(c.info.GetPolicyName());
        ASSERT_EQ(context.WriteSwanctlConf(&c.info, project.path), 0) << name;
        std::string loaded = swanctl("--load-all");
        EXPECT_NE(loaded.find("loaded ike secret 'ike-server'"), std::string::npos) << loaded;
        EXPECT_NE(loaded.find("loaded connection '" + name + "'"), std::string::npos) << loaded;
        EXPECT_NE(loaded.find("successfully loaded 1 connections"), std::string::npos) << loaded;
        std::string listed = swanctl("--list-conns");
        for (const std::string& text : c.shown) {
            EXPECT_NE(listed.find(text), std::string::npos) << name << ": " << text << "\n" << listed;
        }
    }
}

// The bundle's daemon gives up an unanswered IKE request after about seven seconds
// (1 + 1.4 + 1.96 + 2.74), well within the client's connect time-out; the tests that wait
// for it run with shorter retransmits.
TEST(BundleRetransmits, GiveUpWithinSeconds) {
    const std::string conf = readFile(std::string(KORVA_SOURCE_DIR) + "/bundle/bin/ipsec/strongswan.conf");
    for (const char* line :
         {"retransmit_tries = 3\n", "retransmit_timeout = 1.0\n", "retransmit_base = 1.4\n"}) {
        EXPECT_NE(conf.find(line), std::string::npos) << line;
    }
}

TEST_F(RealStrongSwan, ConnectToAPeerThatNeverAnswersEndsInPeerNotResponding) {
    project.shortenRetransmits();
    IPSecVPNInfo info = profile("office", 1, 2, 2, 0, {}, "topsecret");
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    int pid = getCharonPid();
    EXPECT_GT(pid, 1);
    EXPECT_EQ(ServiceTablePath(), project.path + "/services.table");

    // Each attempt gives up after the (shortened) retransmits of the bundle's strongswan.conf.
    ASSERT_TRUE(waitUntil([&] { return context.GetConnectFinished(); }, 150000));
    EXPECT_EQ(context.GetConnectResult(), -9);
    EXPECT_EQ(countOf(project.log(), "IPSec :: initiate Child SA Error::Peer not responding\n"), 5);
    EXPECT_NE(project.log().find("IPSec :: startIPSecPolicy::Error -9\n"), std::string::npos);

    // The failure's teardown: the IKE SA is terminated, the daemon ended, IKEEXT set back.
    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_TRUE(waitUntil([] { return getCharonPid() == 0; }));
    ServiceEntry entry;
    ASSERT_TRUE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_EQ(entry.startType, static_cast<DWORD>(SERVICE_AUTO_START));
}
