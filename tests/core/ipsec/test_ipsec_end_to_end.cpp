// The IPsec context end to end: the client's own bundle (charon-svc.exe, swanctl.exe)
// connects with a pre-shared key and IKEv1, as the profile editor offers it, to a real
// strongSwan responder that runs in a network namespace of its own and routes a remote
// subnet. The connect reaches the installed CHILD_SA, a ping into the remote subnet is
// answered through the tunnel, the rekey check is content, a cancelled connect is
// repeated at once, the teardown leaves no daemon, and a wrong key fails.
//
// The test process itself runs in a network namespace of its own, joined to the
// responder's by a veth pair: nothing of either side reaches the machine's network.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "IPSecTestSupport.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "ServiceTable.h"
#include "StrongSwanControl.h"

extern char** environ;

using namespace ipsectest;

namespace {

CharonMachineLock charonLock;

constexpr const char* kClientAddress = "192.0.2.1";
constexpr const char* kResponderAddress = "192.0.2.2";
constexpr const char* kRemoteSubnet = "10.99.0.0/24";
constexpr const char* kRemoteHost = "10.99.0.1";
constexpr const char* kKey = "correct horse battery staple";

// Runs a program with extra environment entries and no output; waits for it unless pid
// is given.
int runProgram(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
               pid_t* started = nullptr) {
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        envText.push_back(*e);
    }
    envText.insert(envText.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& text : envText) {
        envp.push_back(&text[0]);
    }
    envp.push_back(nullptr);
    std::vector<std::string> argText = args;
    std::vector<char*> argv;
    for (std::string& text : argText) {
        argv.push_back(&text[0]);
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return -1;
    }
    if (started != nullptr) {
        *started = pid;
        return 0;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool socketAnswers(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool answered = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return answered;
}

uint16_t checksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2) {
        sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    }
    if (length % 2 != 0) {
        sum += static_cast<uint32_t>(data[length - 1] << 8);
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<uint16_t>(~sum);
}

// Sends ICMP echo requests to the address, one a second, until one is answered.
bool pingAnswers(const char* target, int attempts) {
    int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        return false;
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    inet_pton(AF_INET, target, &to.sin_addr);
    const uint16_t id = static_cast<uint16_t>(getpid());
    for (uint16_t seq = 1; seq <= attempts; ++seq) {
        uint8_t request[24] = {ICMP_ECHO,
                               0,
                               0,
                               0,
                               static_cast<uint8_t>(id >> 8),
                               static_cast<uint8_t>(id),
                               static_cast<uint8_t>(seq >> 8),
                               static_cast<uint8_t>(seq)};
        std::memcpy(request + 8, "korva tunnel ping", 16);
        uint16_t sum = checksum(request, sizeof(request));
        request[2] = static_cast<uint8_t>(sum >> 8);
        request[3] = static_cast<uint8_t>(sum);
        ::sendto(fd, request, sizeof(request), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
        while (std::chrono::steady_clock::now() < end) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0) {
                continue;
            }
            uint8_t reply[1500];
            sockaddr_in from = {};
            socklen_t fromLength = sizeof(from);
            ssize_t n =
                ::recvfrom(fd, reply, sizeof(reply), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 20) {
                continue;
            }
            size_t header = static_cast<size_t>(reply[0] & 0x0f) * 4;
            if (static_cast<size_t>(n) >= header + 8 && reply[header] == ICMP_ECHOREPLY &&
                from.sin_addr.s_addr == to.sin_addr.s_addr && reply[header + 4] == request[4] &&
                reply[header + 5] == request[5] && reply[header + 6] == request[6] &&
                reply[header + 7] == request[7]) {
                ::close(fd);
                return true;
            }
        }
    }
    ::close(fd);
    return false;
}

// True when this kernel takes an ESP security association (tried in this process's own
// network namespace and removed again).
bool kernelTakesEsp() {
    const std::string key = "0x00112233445566778899aabbccddeeff";
    std::vector<std::string> sa = {"ip",    "xfrm",         "state",        "add",
                                   "src",   "198.51.100.1", "dst",          "198.51.100.2",
                                   "proto", "esp",          "spi",          "0x4b6f7277",
                                   "mode",  "tunnel",       "enc",          "cbc(aes)",
                                   key,     "auth-trunc",   "hmac(sha256)", key + key.substr(2),
                                   "128"};
    bool taken = runProgram(sa) == 0;
    runProgram({"ip", "xfrm", "state", "flush"});
    return taken;
}

// The responder: its own strongSwan in a network namespace named after this process,
// with the remote subnet on its loopback, reached over a veth pair from this process's
// own network namespace.
class Responder : public ::testing::Environment {
public:
    // Why the test cannot run here, or empty when it can.
    static std::string& unavailable() {
        static std::string reason;
        return reason;
    }

    // Before main, while this process has one thread: its own network namespace.
    static void isolate() {
        if (geteuid() != 0) {
            unavailable() = "not running as root";
        } else if (access("/usr/sbin/charon-systemd", X_OK) != 0 || access("/usr/sbin/swanctl", X_OK) != 0 ||
                   access("/usr/lib/ipsec/plugins/libstrongswan-kernel-libipsec.so", R_OK) != 0) {
            unavailable() = "charon-systemd, swanctl or the kernel-libipsec plugin is not installed "
                            "(scripts/install-deps.sh installs them)";
        } else if (access("/dev/net/tun", R_OK | W_OK) != 0) {
            unavailable() = "/dev/net/tun is missing";
        } else if (unshare(CLONE_NEWNET) != 0) {
            unavailable() = std::string("cannot make a network namespace: ") + strerror(errno);
        }
    }

    void SetUp() override {
        if (!unavailable().empty()) {
            return;
        }
        name = "korva-ike-" + std::to_string(getpid());
        folder = dir.path().toStdString();
        if (runProgram({"ip", "netns", "add", name}) != 0) {
            unavailable() = "cannot make a named network namespace with ip netns";
            return;
        }
        made = true;
        const std::vector<std::vector<std::string>> steps = {
            {"ip", "link", "set", "lo", "up"},
            {"ip", "link", "add", "v0", "type", "veth", "peer", "name", "v1"},
            {"ip", "link", "set", "v1", "netns", name},
            {"ip", "addr", "add", std::string(kClientAddress) + "/24", "dev", "v0"},
            {"ip", "link", "set", "v0", "up"},
            {"ip", "-n", name, "link", "set", "lo", "up"},
            {"ip", "-n", name, "addr", "add", std::string(kRemoteHost) + "/32", "dev", "lo"},
            {"ip", "-n", name, "addr", "add", std::string(kResponderAddress) + "/24", "dev", "v1"},
            {"ip", "-n", name, "link", "set", "v1", "up"},
            // Its routes into the tunnel cover the client's address: IKE and the UDP that
            // carries ESP stay on the veth by this rule.
            {"ip", "-n", name, "rule", "add", "from", kResponderAddress, "lookup", "main", "priority", "100"},
        };
        for (const auto& step : steps) {
            if (runProgram(step) != 0) {
                unavailable() = "cannot set up the namespaces' interfaces with ip";
                return;
            }
        }
        writeConfiguration();
        const std::vector<std::string> env = {"STRONGSWAN_CONF=" + folder + "/strongswan.conf",
                                              "SWANCTL_DIR=" + folder + "/swanctl"};
        if (runProgram({"ip", "netns", "exec", name, "/usr/sbin/charon-systemd"}, env, &daemon) != 0 ||
            !waitUntil([&] { return socketAnswers(folder + "/responder.vici"); }, 10000) ||
            runProgram({"ip", "netns", "exec", name, "/usr/sbin/swanctl", "--load-all"}, env) != 0) {
            unavailable() = "the responder's strongSwan did not start";
        }
    }

    void TearDown() override {
        if (daemon > 0) {
            ::kill(daemon, SIGTERM);
            int status = 0;
            waitpid(daemon, &status, 0);
        }
        if (made) {
            runProgram({"ip", "netns", "del", name});
        }
    }

private:
    void writeConfiguration() {
        writeFile(folder + "/strongswan.conf",
                  "charon-systemd {\n"
                  "  load = random nonce openssl aes sha1 sha2 md5 hmac gmp kdf pem pkcs1 pkcs8 x509 pubkey "
                  "kernel-libipsec kernel-netlink socket-default vici\n"
                  "  plugins {\n"
                  "    vici {\n      socket = unix://" +
                      folder +
                      "/responder.vici\n    }\n"
                      "    kernel-libipsec {\n      allow_peer_ts = yes\n    }\n"
                      "  }\n}\n"
                      "swanctl {\n  load = random openssl pem pkcs1 pkcs8 x509 pubkey\n"
                      "  socket = unix://" +
                      folder + "/responder.vici\n}\n");
        QDir().mkpath(QString::fromStdString(folder + "/swanctl"));
        writeFile(folder + "/swanctl/swanctl.conf",
                  std::string("connections {\n  responder {\n    version = 1\n") +
                      "    local_addrs = " + kResponderAddress + "\n    remote_addrs = " + kClientAddress +
                      "\n    encap = yes\n    proposals = aes256-sha256-modp2048\n"
                      "    local {\n      auth = psk\n      id = " +
                      kResponderAddress +
                      "\n    }\n    remote {\n      auth = psk\n      id = " + kClientAddress +
                      "\n    }\n    children {\n      subnet {\n        local_ts = " + kRemoteSubnet +
                      "\n        esp_proposals = aes256-sha256\n      }\n    }\n  }\n}\n"
                      "secrets {\n  ike-client {\n    id = " +
                      kClientAddress + "\n    secret = \"" + kKey + "\"\n  }\n}\n");
    }

    QTemporaryDir dir;
    std::string name;
    std::string folder;
    bool made = false;
    pid_t daemon = 0;
};

struct BeforeMain {
    BeforeMain() {
        Responder::isolate();
        ::testing::AddGlobalTestEnvironment(new Responder());
    }
} beforeMain;

// A profile as the profile editor saves it: IKEv1, a pre-shared key, standard tunnel,
// ESP, one remote subnet.
IPSecVPNInfo editorProfile(const std::string& key) {
    IPSecVPNInfo info;
    info.SetVersionValue(1);
    info.SetPolicyName("office");
    info.SetLocalAddress(kClientAddress);
    info.SetRemoteAddrs(kResponderAddress);
    info.SetTransportProtocolValue(1);
    info.SetRemoteTrafficSelectors({kRemoteSubnet});
    info.SetProtocolTypeValue(2);
    info.SetEspProposals("sha256-aes256");
    info.SetIkeEncryption("aes256");
    info.SetIkeHash("sha256");
    info.SetIkeDHGroup("modp2048");
    info.SetPSKSecret(key);
    info.SetEnableDPD(0);
    info.SetDPDPeriod(0);
    return info;
}

class IPSecEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Responder::unavailable().empty()) {
            GTEST_SKIP() << "IPsec end-to-end test not run: " << Responder::unavailable();
        }
        project.installBundle();
    }
    void TearDown() override { endDaemons(); }

    // Connects and waits for the worker's outcome as the home page's poll would.
    int connectAndWait(IPSecVPNInfo& info, int limitMs = 30000) {
        int prepared = context.Connect(&info, project.path);
        if (prepared != 0) {
            return prepared;
        }
        EXPECT_TRUE(waitUntil([&] { return context.GetConnectFinished(); }, limitMs));
        return context.GetConnectResult();
    }

    std::string failureReport() const { return "client log:\n" + project.log(); }

    ProjectFolder project;
    IPSecVPNContext context;
};

} // namespace

TEST_F(IPSecEndToEnd, ConnectsCarriesAPingRekeysAndTearsDown) {
    IPSecVPNInfo info = editorProfile(kKey);
    ASSERT_EQ(connectAndWait(info), 0) << failureReport();
    EXPECT_NE(project.log().find(kernelTakesEsp() ? "IPSec :: IPsec backend: kernel-netlink"
                                                  : "IPSec :: IPsec backend: kernel-libipsec"),
              std::string::npos)
        << project.log();

    std::string listing;
    ASSERT_EQ(listSas(project.path, listing), 0);
    EXPECT_EQ(getChildSaState(listing, "office_child"), 0) << listing;
    EXPECT_NE(listing.find("10.99.0.0/24"), std::string::npos) << listing;

    EXPECT_TRUE(pingAnswers(kRemoteHost, 10)) << failureReport();
    EXPECT_EQ(context.CheckRekey("office", project.path), 0) << failureReport();

    // The teardown: the IKE SA is terminated and the daemon has gone when it returns.
    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_EQ(getCharonPid(), 0);
    ServiceEntry entry;
    ASSERT_TRUE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_EQ(entry.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_FALSE(pingAnswers(kRemoteHost, 1));
}

TEST_F(IPSecEndToEnd, ACancelledConnectIsRepeatedAtOnce) {
    IPSecVPNInfo info = editorProfile(kKey);
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    const int cancelled = getCharonPid();
    ASSERT_GT(cancelled, 1);
    context.Disconnect();

    // Connecting again at once starts a fresh daemon and comes up.
    ASSERT_EQ(connectAndWait(info), 0) << failureReport();
    EXPECT_NE(getCharonPid(), cancelled);
    EXPECT_TRUE(pingAnswers(kRemoteHost, 10)) << failureReport();
    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_EQ(getCharonPid(), 0);
}

TEST_F(IPSecEndToEnd, AWrongKeyFailsWithTheWorkersResult) {
    IPSecVPNInfo info = editorProfile("not the key");
    // IKEv1 learns of a wrong key only as an unanswered exchange: five attempts, each
    // after the retransmits of the bundle's strongswan.conf.
    EXPECT_EQ(connectAndWait(info, 150000), -9) << failureReport();
    EXPECT_NE(project.log().find("IPSec :: startIPSecPolicy::Error -9\n"), std::string::npos);
    EXPECT_FALSE(pingAnswers(kRemoteHost, 1));
    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_EQ(getCharonPid(), 0);
}
