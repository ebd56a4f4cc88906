// The bundle's wg (bin/Wireguard/wg), which answers "wg show" itself from wireguard-go's
// control sockets: its pieces (the socket's answer read, wg's format written, the public
// key of a private key, the tunnel names both ways), then the program beside Debian's wg on
// real wireguard-go interfaces, one with a handshake and traffic to a real peer, in network
// and mount namespaces of the test's own; and the "show" forms it leaves to wg, through a
// double of wg.
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "FastShow.h"
#include "ProcessPipe.h"
#include "RealVpnServers.h"
#include "Sha256.h"
#include "WgShow.h"
#include "WireGuardContext.h"
#include "X25519.h"

extern char** environ;

namespace {

struct Isolation {
    Isolation() { realvpn::IsolateBeforeMain(); }
} const isolation;

const std::string kTool = std::string(KORVA_APP_DIR) + "/bin/Wireguard/wg";
const std::string kTunnelNameScript = std::string(KORVA_SOURCE_DIR) + "/bundle/bin/Wireguard/tunnel-name.sh";

WgTool::Key KeyOf(const std::string& hex) {
    WgTool::Key key{};
    for (size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    return key;
}

template <size_t N> std::string HexOf(const std::array<uint8_t, N>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 0x0f];
    }
    return hex;
}

// A program with its input, its output and errors together, and its exit code.
struct Ran {
    int code = -1;
    std::string output;
};

Ran RunProgram(const QString& program, const QStringList& args, const QByteArray& input = QByteArray(),
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Ran ran;
    if (!process.waitForStarted(10000)) {
        return ran;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return ran;
    }
    ran.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    ran.output = process.readAll().toStdString();
    return ran;
}

// The pieces.

TEST(WgToolPieces, X25519GivesTheKeysOfRfc7748AndOfWg) {
    // RFC 7748, 5.2 and 6.1.
    EXPECT_EQ(
        HexOf(WgTool::X25519(KeyOf("a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4"),
                             KeyOf("e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c"))),
        "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552");
    EXPECT_EQ(
        HexOf(WgTool::X25519(KeyOf("4b66e9d4d1b4673c5ad22691957d6af5c11b6421e0ea01d42ca4169e7918ba0d"),
                             KeyOf("e5210f12786811d3f4b7959d0538ae2c31dbe7106fc03c3efc4cd549c715a493"))),
        "95cbde9476e8907d7aade45cb4b873f88b595a68799fa152e6f8f7647aac7957");
    EXPECT_EQ(
        HexOf(WgTool::PublicKey(KeyOf("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a"))),
        "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
    EXPECT_EQ(
        HexOf(WgTool::PublicKey(KeyOf("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb"))),
        "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
    // Keys that wg made, against wg's own public keys.
    for (int i = 0; i < 8; ++i) {
        const Ran generated = RunProgram(QStringLiteral("wg"), {QStringLiteral("genkey")});
        ASSERT_EQ(generated.code, 0) << generated.output;
        const QByteArray privateKey = QByteArray::fromStdString(generated.output).trimmed();
        const Ran derived = RunProgram(QStringLiteral("wg"), {QStringLiteral("pubkey")}, privateKey + "\n");
        WgTool::Key key{};
        const QByteArray raw = QByteArray::fromBase64(privateKey);
        ASSERT_EQ(raw.size(), 32);
        std::copy(raw.begin(), raw.end(), key.begin());
        EXPECT_EQ(WgTool::Base64(WgTool::PublicKey(key)) + "\n", derived.output) << privateKey.toStdString();
    }
}

TEST(WgToolPieces, Sha256GivesTheKnownDigests) {
    const struct {
        std::string text;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // 55, 56 and 64 bytes: the padding's edges.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexOf(WgTool::Sha256(c.text)), c.digest) << c.text.size();
    }
}

TEST(WgToolPieces, TunnelNamesMapAsTheBundleScriptAndTheClientMapThem) {
    const char* const names[] = {
        "office",
        "home office",
        "a-name-longer-than-15",
        "exactly15chars_",
        "sixteen_chars_ab",
        "Büro",
        "a=b+c.d_e",
        ".",
        "..",
        "x",
        "tab\there",
        "한국어",
    };
    for (const char* name : names) {
        const Ran script = RunProgram(QStringLiteral("bash"),
                                      {QStringLiteral("-c"), QStringLiteral(". \"$0\"; korva_ifname \"$1\""),
                                       QString::fromStdString(kTunnelNameScript), QString::fromUtf8(name)});
        ASSERT_EQ(script.code, 0) << script.output;
        EXPECT_EQ(WgTool::InterfaceName(name) + "\n", script.output) << name;
        EXPECT_EQ(WireGuardInterfaceName(name), WgTool::InterfaceName(name)) << name;
    }
    EXPECT_EQ(WgTool::InterfaceName("office"), "office");
    // The first 13 hex digits of the name's SHA-256 (307a7ba80d0f7e40...).
    EXPECT_EQ(WgTool::InterfaceName("home office"), "wg307a7ba80d0f7");
}

TEST(WgToolPieces, TunnelNamesComeFromTheRecordsOfTheInterfacesMade) {
    QTemporaryDir runDir;
    const std::string dir = runDir.path().toStdString();
    ASSERT_TRUE(realvpn::WriteFile(dir + "/wg307a7ba80d0f7.name", "home office\nsecond line\n"));
    ASSERT_TRUE(realvpn::WriteFile(dir + "/wgempty.name", ""));
    ASSERT_EQ(symlink((dir + "/wg307a7ba80d0f7.name").c_str(), (dir + "/wglink.name").c_str()), 0);
    EXPECT_EQ(WgTool::TunnelName("wg307a7ba80d0f7", dir), "home office");
    EXPECT_EQ(WgTool::TunnelName("office", dir), "office");
    EXPECT_EQ(WgTool::TunnelName("wgempty", dir), "wgempty");
    // A record is a file the tool wrote, not a link to one.
    EXPECT_EQ(WgTool::TunnelName("wglink", dir), "wglink");
    EXPECT_EQ(WgTool::TunnelName("office", dir + "/missing"), "office");
}

// An answer as wireguard-go gives it: a device with a fwmark and three peers, the second
// with the latest handshake.
const char* const kAnswer = "private_key=77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a\n"
                            "listen_port=51820\n"
                            "fwmark=51820\n"
                            "public_key=de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f\n"
                            "preshared_key=0000000000000000000000000000000000000000000000000000000000000000\n"
                            "protocol_version=1\n"
                            "endpoint=198.51.100.7:51820\n"
                            "last_handshake_time_sec=1700000000\n"
                            "last_handshake_time_nsec=5\n"
                            "tx_bytes=92\n"
                            "rx_bytes=1536\n"
                            "persistent_keepalive_interval=0\n"
                            "allowed_ip=10.8.0.0/24\n"
                            "allowed_ip=fd00:0:0::/64\n"
                            "public_key=8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a\n"
                            "preshared_key=77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a\n"
                            "protocol_version=1\n"
                            "endpoint=[2001:db8::1]:443\n"
                            "last_handshake_time_sec=1700000001\n"
                            "last_handshake_time_nsec=0\n"
                            "tx_bytes=3221225472\n"
                            "rx_bytes=5242880\n"
                            "persistent_keepalive_interval=25\n"
                            "allowed_ip=0.0.0.0/0\n"
                            "public_key=5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb\n"
                            "protocol_version=1\n"
                            "last_handshake_time_sec=0\n"
                            "last_handshake_time_nsec=0\n"
                            "tx_bytes=0\n"
                            "rx_bytes=0\n"
                            "persistent_keepalive_interval=0\n"
                            "errno=0\n"
                            "\n";

TEST(WgToolPieces, AnAnswerIsWrittenAsWgWritesIt) {
    WgTool::Device device;
    ASSERT_TRUE(WgTool::ParseReply(kAnswer, &device));
    EXPECT_EQ(WgTool::Pretty(device, "home office", 1700003662),
              "interface: home office\n"
              "  public key: hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=\n"
              "  private key: (hidden)\n"
              "  listening port: 51820\n"
              "  fwmark: 0xca6c\n"
              "\n"
              "peer: hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=\n"
              "  preshared key: (hidden)\n"
              "  endpoint: [2001:db8::1]:443\n"
              "  allowed ips: 0.0.0.0/0\n"
              "  latest handshake: 1 hour, 1 minute, 1 second ago\n"
              "  transfer: 5.00 MiB received, 3.00 GiB sent\n"
              "  persistent keepalive: every 25 seconds\n"
              "\n"
              "peer: 3p7bfXt9wbTTW2HC7OQ1Nz+DQ8hbeGdNrfx+FG+IK08=\n"
              "  endpoint: 198.51.100.7:51820\n"
              "  allowed ips: 10.8.0.0/24, fd00::/64\n"
              "  latest handshake: 1 hour, 1 minute, 2 seconds ago\n"
              "  transfer: 1.50 KiB received, 92 B sent\n"
              "\n"
              "peer: XasIfmJKikt54X+Lg4AO5m87sSkmGLb9HC+LJ/+I4Os=\n"
              "  allowed ips: (none)\n");
}

TEST(WgToolPieces, AnAnswerWgWouldShowOtherwiseIsLeftToWg) {
    const std::string device =
        "private_key=77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a\n";
    const std::string peer = "public_key=de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f\n";
    const struct {
        const char* what;
        std::string answer;
    } refused[] = {
        {"an error", device + "errno=19\n\n"},
        {"no errno line", device + "\n"},
        {"no end", device + "errno=0\n"},
        {"a line after errno", device + "errno=0\nlisten_port=1\n\n"},
        {"a key it does not know", device + "flags=1\nerrno=0\n\n"},
        {"a short key", "private_key=7707\nerrno=0\n\n"},
        {"a key that is no hex", "private_key=" + std::string(64, 'g') + "\nerrno=0\n\n"},
        {"a port past 65535", "listen_port=65536\nerrno=0\n\n"},
        {"a peer's value before any peer", "endpoint=192.0.2.1:1\nerrno=0\n\n"},
        {"a named endpoint", device + peer + "endpoint=vpn.example.com:51820\nerrno=0\n\n"},
        {"a scoped endpoint", device + peer + "endpoint=[fe80::1%eth0]:51820\nerrno=0\n\n"},
        {"an endpoint without a port", device + peer + "endpoint=192.0.2.1\nerrno=0\n\n"},
        {"an allowed ip without a prefix", device + peer + "allowed_ip=10.0.0.0\nerrno=0\n\n"},
        {"an IPv4 prefix past 32", device + peer + "allowed_ip=10.0.0.0/33\nerrno=0\n\n"},
        {"a count that is no number", device + peer + "rx_bytes=12k\nerrno=0\n\n"},
        {"a count past 64 bits", device + peer + "rx_bytes=18446744073709551616\nerrno=0\n\n"},
        {"a line without =", device + "junk\nerrno=0\n\n"},
    };
    for (const auto& c : refused) {
        WgTool::Device parsed;
        EXPECT_FALSE(WgTool::ParseReply(c.answer, &parsed)) << c.what;
    }
    // The smallest answer wg shows: a device without key, port or peers.
    WgTool::Device bare;
    ASSERT_TRUE(WgTool::ParseReply("errno=0\n\n", &bare));
    EXPECT_EQ(WgTool::Pretty(bare, "kwgn", 0), "interface: kwgn\n");
    // WG_HIDE_KEYS=never: the keys themselves.
    ASSERT_TRUE(WgTool::ParseReply(device + "errno=0\n\n", &bare));
    EXPECT_EQ(WgTool::Pretty(bare, "k", 0, true),
              "interface: k\n  public key: hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=\n"
              "  private key: dwdtCnMYpX08FsFyUbJmRd9ML4frwJkqsXf7pR25LCo=\n");
}

TEST(WgToolPieces, AmountsAndTimesAsWgWritesThem) {
    const struct {
        uint64_t bytes;
        const char* text;
    } amounts[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.00 KiB"},
        {1536, "1.50 KiB"},
        {1048575, "1024.00 KiB"},
        {1048576, "1.00 MiB"},
        {1073741824, "1.00 GiB"},
        {1099511627776ULL, "1.00 TiB"},
        {UINT64_MAX, "16777216.00 TiB"},
    };
    for (const auto& c : amounts) {
        EXPECT_EQ(WgTool::Bytes(c.bytes), c.text) << c.bytes;
    }
    const struct {
        uint64_t seconds;
        const char* text;
    } times[] = {
        {1, "1 second"},
        {59, "59 seconds"},
        {60, "1 minute"},
        {3599, "59 minutes, 59 seconds"},
        {86400 + 7200 + 3, "1 day, 2 hours, 3 seconds"},
        {365 * 86400ULL * 2 + 86400, "2 years, 1 day"},
    };
    for (const auto& c : times) {
        EXPECT_EQ(WgTool::Duration(c.seconds), c.text) << c.seconds;
    }
    // A handshake of this very second, and one from a clock that went back since.
    WgTool::Device device;
    ASSERT_TRUE(
        WgTool::ParseReply("public_key=de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f\n"
                           "last_handshake_time_sec=100\nerrno=0\n\n",
                           &device));
    EXPECT_NE(WgTool::Pretty(device, "k", 100).find("  latest handshake: Now\n"), std::string::npos);
    EXPECT_NE(
        WgTool::Pretty(device, "k", 99)
            .find("  latest handshake: (System clock wound backward; connection problems may ensue.)\n"),
        std::string::npos);
}

// The front's answer (FastShow, without the C library) against the full program's for the
// same socket answer: the same text where the front writes one; where the full program
// refuses an answer (and asks wg), the front never writes one.
struct FrontAnswer {
    WgFast::Result result = WgFast::Result::Declined;
    std::string text;
};

FrontAnswer FrontShows(const std::string& answer, const std::string& name, int64_t now, bool showKeys) {
    static WgFast::Workspace work;
    static char buffer[256 * 1024];
    WgFast::Text out(buffer, sizeof(buffer));
    FrontAnswer front;
    front.result =
        WgFast::Show(answer.data(), answer.size(), name.data(), name.size(), now, showKeys, &work, &out);
    front.text.assign(out.data, out.size);
    return front;
}

// Compares the two; true when the front wrote the answer itself.
bool ExpectFrontAsFull(const std::string& answer, int64_t now = 1700003662, bool showKeys = false) {
    WgTool::Device device;
    const bool fullShows = WgTool::ParseReply(answer, &device);
    const FrontAnswer front = FrontShows(answer, "home office", now, showKeys);
    if (!fullShows) {
        EXPECT_NE(front.result, WgFast::Result::Written) << answer;
        return false;
    }
    EXPECT_NE(front.result, WgFast::Result::Refused) << answer;
    if (front.result == WgFast::Result::Written) {
        EXPECT_EQ(front.text, WgTool::Pretty(device, "home office", now, showKeys)) << answer;
    }
    return front.result == WgFast::Result::Written;
}

std::string WithPeerLine(const std::string& line) {
    return "private_key=77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a\n"
           "public_key=de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f\n"
           "last_handshake_time_sec=1700000000\n" +
           line + "\nerrno=0\n\n";
}

TEST(WgToolPieces, TheFrontWritesWhatTheFullProgramWrites) {
    // Answers as wireguard-go gives them: all written by the front itself.
    EXPECT_TRUE(ExpectFrontAsFull(kAnswer));
    EXPECT_TRUE(ExpectFrontAsFull(kAnswer, 1700003662, true));
    EXPECT_TRUE(ExpectFrontAsFull(kAnswer, 1700000001));
    EXPECT_TRUE(ExpectFrontAsFull(kAnswer, 1699999999));
    EXPECT_TRUE(ExpectFrontAsFull("errno=0\n\n"));
    const char* const written[] = {
        "allowed_ip=0.0.0.0/0",
        "allowed_ip=::/0",
        "allowed_ip=fd00:0:0::/64",
        "allowed_ip=2001:DB8:0:0:1:0:0:1/128",
        "allowed_ip=1:0:0:0:0:0:0:0/16",
        "allowed_ip=0:0:1::/48",
        "allowed_ip=1::1:0:0:1/128",
        "endpoint=[2001:db8::1]:0443",
        "endpoint=[1:2:3:4:5:6:7:8]:1",
        "endpoint=255.255.255.255:65535",
        "endpoint=0.0.0.0:0",
        "rx_bytes=1152",
        "rx_bytes=1048575",
        "rx_bytes=1099511627775",
        "rx_bytes=18446744073709551615",
        "rx_bytes=9007199254740993",
        "tx_bytes=5",
        "persistent_keepalive_interval=65535",
        "preshared_key=0000000000000000000000000000000000000000000000000000000000000000",
        "last_handshake_time_nsec=999999999",
    };
    for (const char* line : written) {
        EXPECT_TRUE(ExpectFrontAsFull(WithPeerLine(line))) << line;
    }
    // Answers the full program refuses, and forms the front leaves to it.
    const char* const others[] = {
        "allowed_ip=::ffff:10.0.0.1/128",
        "allowed_ip=::10.0.0.1/128",
        "allowed_ip=::1/128",
        "allowed_ip=::ffff:0:0/96",
        "allowed_ip=1:2:3:4:5:6:7:8:9/128",
        "allowed_ip=1:2:3:4::5:6:7:8/128",
        "allowed_ip=:1::/64",
        "allowed_ip=1::/129",
        "allowed_ip=10.0.0.01/8",
        "allowed_ip=10.0.0/8",
        "allowed_ip=10.0.0.256/8",
        "allowed_ip=10.0.0.0./8",
        "endpoint=[::ffff:192.0.2.1]:1",
        "endpoint=[fe80::1]:1",
        "endpoint=[192.0.2.1]:1",
        "endpoint=2001:db8::1:51820",
        "endpoint=192.0.2.1:65536",
        "endpoint=[2001:db8::1]",
        "endpoint=:1",
        "endpoint=",
        "last_handshake_time_nsec=1000000000",
        "rx_bytes=18446744073709551616",
        "flags=1",
    };
    for (const char* line : others) {
        ExpectFrontAsFull(WithPeerLine(line));
    }
    ExpectFrontAsFull(WithPeerLine(std::string("endpoint=192.0.2.1\0x:1", 22)));
    ExpectFrontAsFull(WithPeerLine(std::string("allowed_ip=10.0.0.1\0/8", 22)));
}

TEST(WgToolPieces, TheFrontWritesAmountsAndAddressesAsTheCLibraryDoes) {
    std::mt19937_64 random(20261211);
    // Counts at every unit's edges, halves that round to even, and counts past 2^53 that
    // lose bits as doubles.
    std::vector<uint64_t> counts = {0, 1, 1023, 1024, 1029, 1034, 1152, 1160, 5120};
    for (int shift = 10; shift < 64; ++shift) {
        for (int64_t delta = -3; delta <= 3; ++delta) {
            counts.push_back((uint64_t(1) << shift) + static_cast<uint64_t>(delta));
        }
        counts.push_back((uint64_t(1) << shift) / 100 * 5);
    }
    for (int i = 0; i < 3000; ++i) {
        counts.push_back(random() >> (random() % 64));
    }
    for (uint64_t count : counts) {
        EXPECT_TRUE(ExpectFrontAsFull(
            WithPeerLine("rx_bytes=" + std::to_string(count) + "\ntx_bytes=" + std::to_string(count / 3))))
            << count;
    }
    // IPv6 addresses with runs of zero words anywhere, written by inet_ntop's rules.
    for (int i = 0; i < 3000; ++i) {
        uint16_t words[8];
        for (uint16_t& word : words) {
            word = random() % 3 == 0 ? static_cast<uint16_t>(random()) : 0;
        }
        char text[64];
        std::snprintf(text, sizeof(text), "%x:%x:%x:%x:%x:%x:%x:%x", words[0], words[1], words[2], words[3],
                      words[4], words[5], words[6], words[7]);
        ExpectFrontAsFull(
            WithPeerLine(std::string("allowed_ip=") + text + "/" + std::to_string(random() % 129)));
        ExpectFrontAsFull(
            WithPeerLine(std::string("endpoint=[") + text + "]:" + std::to_string(random() % 65536)));
    }
}

TEST(WgToolPieces, TheFrontTakesWhatTheFullProgramRefusesNeverForItsAnswer) {
    // The answer cut, lines dropped, doubled or with a byte changed: the two agree on each.
    std::mt19937 random(11);
    const std::string answer = kAnswer;
    const std::string bytes = "=\n:/.[]09af\0x-";
    for (int i = 0; i < 4000; ++i) {
        std::string changed = answer;
        switch (random() % 4) {
        case 0:
            changed.resize(random() % changed.size());
            break;
        case 1:
            changed[random() % changed.size()] = bytes[random() % bytes.size()];
            break;
        case 2: {
            const size_t at = random() % changed.size();
            changed.insert(at, changed.substr(at, random() % 40));
            break;
        }
        default:
            changed.erase(random() % changed.size(), random() % 40);
            break;
        }
        ExpectFrontAsFull(changed);
    }
}

TEST(WgToolPieces, TheFrontNamesInterfacesAsTheFullProgram) {
    for (const char* name : {"office", "home office", "a-name-longer-than-15", "exactly15chars_", ".", "..",
                             "", "Büro", "한국어", "a=b+c.d_e"}) {
        char out[16];
        const size_t size = WgFast::InterfaceName(name, std::strlen(name), out);
        EXPECT_EQ(std::string(out, size), WgTool::InterfaceName(name)) << name;
        EXPECT_EQ(out[size], '\0');
    }
}

// The program beside Debian's wg on real wireguard-go interfaces of this test's own network
// namespace (their control sockets in its own /run/wireguard): a client of a real peer with
// a handshake and traffic, one with a pre-shared key and an IPv6 endpoint, one without key
// or peers, and one of a tunnel whose name is no interface name, with the bundle's record.
class WgShowReal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!realvpn::Unavailable().empty()) {
            GTEST_SKIP() << "real WireGuard interfaces not made: " << realvpn::Unavailable();
        }
        ASSERT_EQ(realvpn::MissingPrograms({"wg", "wireguard-go", "ip"}), "");
        folder = dir.path().toStdString();
        runDir = folder + "/run";
        ASSERT_EQ(mkdir(runDir.c_str(), 0700), 0);
        peer = std::make_unique<realvpn::PeerNamespace>("wgshow", 5);
        ASSERT_EQ(peer->error(), "");
        server = std::make_unique<realvpn::WireGuardPeer>(*peer, folder);
        ASSERT_EQ(server->error(), "");

        ASSERT_TRUE(realvpn::WriteFile(folder + "/client.key", server->clientPrivateKey + "\n", 0600));
        ASSERT_TRUE(realvpn::WriteFile(folder + "/other.key", server->serverPublicKey + "\n", 0600));
        startInterface("kwgc");
        startInterface("kwgx");
        startInterface("kwgn");
        startInterface(mapped);
        ASSERT_TRUE(realvpn::WriteFile(runDir + "/" + mapped + ".name", "home office\n"));
        const std::vector<std::vector<std::string>> steps = {
            {"wg", "set", "kwgc", "private-key", folder + "/client.key", "fwmark", "4660", "peer",
             server->serverPublicKey, "endpoint",
             server->endpointAddress + ":" + std::to_string(server->port), "allowed-ips",
             server->tunnelNetwork() + ",fd00::/64", "persistent-keepalive", "1"},
            {"ip", "addr", "add", server->clientAddress() + "/24", "dev", "kwgc"},
            {"ip", "link", "set", "kwgc", "up"},
            {"wg", "set", "kwgx", "private-key", folder + "/client.key", "listen-port", "51999", "peer",
             server->serverPublicKey, "preshared-key", folder + "/other.key", "endpoint",
             "[2001:db8::1]:51820"},
            {"wg", "set", mapped, "listen-port", "51998"},
        };
        for (const auto& step : steps) {
            std::string output;
            ASSERT_EQ(realvpn::Run(step, &output), 0) << step[0] << " " << step[1] << ": " << output;
        }
        // Keep-alives every second: a handshake, then traffic both ways.
        ASSERT_TRUE(realvpn::WaitUntil(
            [] {
                std::string output;
                realvpn::Run({"wg", "show", "kwgc", "latest-handshakes"}, &output);
                return output.find("\t0\n") == std::string::npos && output.find('\t') != std::string::npos;
            },
            10000));
        ASSERT_TRUE(realvpn::PingAnswers(server->tunnelAddress(), 5));
    }
    void TearDown() override {
        for (pid_t pid : daemons) {
            realvpn::Stop(pid);
        }
        server.reset();
        peer.reset();
    }
    void startInterface(const std::string& name) {
        const pid_t pid = realvpn::Start({"wireguard-go", "-f", name}, folder + "/" + name + ".log",
                                         {"WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1"});
        ASSERT_GT(pid, 0);
        daemons.push_back(pid);
        ASSERT_TRUE(realvpn::WaitUntil(
            [&] { return access(("/run/wireguard/" + name + ".sock").c_str(), F_OK) == 0; }, 10000))
            << realvpn::ReadFile(folder + "/" + name + ".log");
    }
    // The program's answer and wg's, wg's headings of the mapped interface named by its
    // tunnel; compared again when a second turned between the two (a handshake's age).
    void expectAsWg(const std::vector<std::string>& toolArgs, const std::vector<std::string>& wgArgs,
                    const std::vector<std::string>& env = {}) {
        std::string tool;
        std::string wg;
        int toolCode = -1;
        int wgCode = -1;
        for (int attempt = 0; attempt < 3; ++attempt) {
            tool.clear();
            wg.clear();
            std::vector<std::string> programArgs = toolArgs;
            programArgs.insert(programArgs.begin(), kTool);
            std::vector<std::string> extra = env;
            extra.push_back("KORVA_WG_RUNDIR=" + runDir);
            toolCode = realvpn::Run(programArgs, &tool, extra);
            programArgs = wgArgs;
            programArgs.insert(programArgs.begin(), "wg");
            wgCode = realvpn::Run(programArgs, &wg, env);
            const std::string from = "interface: " + mapped + "\n";
            for (std::string::size_type at = wg.find(from); at != std::string::npos; at = wg.find(from)) {
                wg.replace(at, from.size(), "interface: home office\n");
            }
            if (tool == wg) {
                break;
            }
        }
        EXPECT_EQ(tool, wg) << toolArgs.front();
        EXPECT_EQ(toolCode, wgCode) << toolArgs.front();
    }

    QTemporaryDir dir;
    std::string folder;
    std::string runDir;
    const std::string mapped = WgTool::InterfaceName("home office");
    std::unique_ptr<realvpn::PeerNamespace> peer;
    std::unique_ptr<realvpn::WireGuardPeer> server;
    std::vector<pid_t> daemons;
};

TEST_F(WgShowReal, AnswersAsDebiansWgDoes) {
    std::string client;
    realvpn::Run({kTool, "show", "kwgc"}, &client);
    // The lines the client reads are there, so the comparisons below cover them.
    EXPECT_NE(client.find("  latest handshake: "), std::string::npos) << client;
    EXPECT_NE(client.find("  transfer: "), std::string::npos) << client;

    // Every interface (the peer's too: its socket is in this namespace's folder), each one,
    // the mapped one by its tunnel name; the forms that go to wg; an unknown interface.
    expectAsWg({"show"}, {"show"});
    expectAsWg({"show", "all"}, {"show", "all"});
    for (const char* name : {"kwgc", "kwgx", "kwgn", "kwgpeer"}) {
        expectAsWg({"show", name}, {"show", name});
    }
    expectAsWg({"show", "home office"}, {"show", mapped});
    expectAsWg({"show", mapped}, {"show", mapped});
    expectAsWg({"show", "kwgc", "transfer"}, {"show", "kwgc", "transfer"});
    expectAsWg({"show", "home office", "listen-port"}, {"show", mapped, "listen-port"});
    expectAsWg({"show", "interfaces"}, {"show", "interfaces"});
    expectAsWg({"show", "nosuch"}, {"show", "nosuch"});
    expectAsWg({"show", "kwgx"}, {"show", "kwgx"}, {"WG_HIDE_KEYS=never"});

    // A socket whose program has gone is no interface, for either.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "/run/wireguard/kwgdead.sock");
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(stale);
    expectAsWg({"show"}, {"show"});

    // Everything else is wg itself.
    const Ran generated = RunProgram(QString::fromStdString(kTool), {QStringLiteral("genkey")});
    EXPECT_EQ(generated.code, 0);
    const Ran derived = RunProgram(QString::fromStdString(kTool), {QStringLiteral("pubkey")},
                                   QByteArray::fromStdString(server->clientPrivateKey + "\n"));
    EXPECT_EQ(derived.output, server->clientPublicKey + "\n");
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(generated.output).trimmed()).size(), 32)
        << generated.output;
}

// "show" forms that the sockets do not answer go to wg, here a double on PATH that logs its
// arguments: a tunnel name becomes its interface name, the answer's headings name tunnels,
// and the answer is written whole however wg writes it.
class WgShowThroughWg : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.path().toStdString();
        ASSERT_EQ(mkdir((folder + "/fakes").c_str(), 0700), 0);
        ASSERT_EQ(mkdir((folder + "/run").c_str(), 0700), 0);
        ASSERT_TRUE(realvpn::WriteFile(folder + "/run/" + mapped + ".name", "home office\n"));
    }
    void fakeWg(const std::string& body) {
        ASSERT_TRUE(realvpn::WriteFile(folder + "/fakes/wg",
                                       "#!/bin/sh\n{ for a in \"$@\"; do echo \"[$a]\"; done; } >> '" +
                                           folder + "/args.log'\n" + body,
                                       0755));
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), QString::fromStdString(folder + "/fakes:/usr/bin:/bin"));
        env.insert(QStringLiteral("KORVA_WG_RUNDIR"), QString::fromStdString(folder + "/run"));
        return env;
    }
    Ran tool(const QStringList& args) {
        QFile::remove(QString::fromStdString(folder + "/args.log"));
        return RunProgram(QString::fromStdString(kTool), args, QByteArray(), environment());
    }
    std::string args() const { return realvpn::ReadFile(folder + "/args.log"); }

    QTemporaryDir dir;
    std::string folder;
    // No control socket has this name: the client's tunnel on a kernel interface, say.
    const std::string mapped = WgTool::InterfaceName("home office");
};

TEST_F(WgShowThroughWg, NamesTunnelsBothWays) {
    fakeWg("printf 'interface: " + mapped +
           "\\n  listening port: 1\\n\\npeer: K=\\n  transfer: 1.50 KiB received, 92 B sent\\n\\n"
           "interface: other0\\n\\n\\n'\n");
    const Ran shown = tool({QStringLiteral("show"), QStringLiteral("home office")});
    EXPECT_EQ(shown.code, 0);
    EXPECT_EQ(shown.output, "interface: home office\n  listening port: 1\n\npeer: K=\n"
                            "  transfer: 1.50 KiB received, 92 B sent\n\ninterface: other0\n");
    EXPECT_EQ(args(), "[show]\n[" + mapped + "]\n");

    tool({QStringLiteral("show"), QStringLiteral("home office"), QStringLiteral("transfer")});
    EXPECT_EQ(args(), "[show]\n[" + mapped + "]\n[transfer]\n");
    tool({QStringLiteral("show"), QStringLiteral("interfaces")});
    EXPECT_EQ(args(), "[show]\n[interfaces]\n");

    // wg's exit code and errors come back; nothing at all stays nothing.
    fakeWg("echo 'Unable to access interface: No such device' >&2\nexit 1\n");
    const Ran failed = tool({QStringLiteral("show"), QStringLiteral("home office")});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.output, "Unable to access interface: No such device\n");
    fakeWg("exit 0\n");
    const Ran none = tool({QStringLiteral("show"), QStringLiteral("home office")});
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.output, "");

    // Everything but "show" is wg as it is, with its input.
    fakeWg("cat\nexit 3\n");
    QFile::remove(QString::fromStdString(folder + "/args.log"));
    const Ran piped =
        RunProgram(QString::fromStdString(kTool), {QStringLiteral("pubkey")}, "key-text\n", environment());
    EXPECT_EQ(piped.code, 3);
    EXPECT_EQ(piped.output, "key-text\n");
    EXPECT_EQ(args(), "[pubkey]\n");
}

TEST_F(WgShowThroughWg, WritesItsWholeAnswerAtOnce) {
    // wg writes its blocks line by line, slowly; one read of the answer, as the client's
    // runner makes it, still holds every block down to the last transfer line.
    fakeWg("for i in $(seq 1 12); do\n"
           "  printf 'interface: tun%d\\n  listening port: %d\\n\\n' $i $i; sleep 0.01\n"
           "  printf 'peer: K%d=\\n  transfer: %d B received, %d B sent\\n\\n' $i $i $i\n"
           "done\n");
    const std::string whole = tool({QStringLiteral("show"), QStringLiteral("home office")}).output;
    ASSERT_NE(whole.find("interface: tun12\n"), std::string::npos) << whole;
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (folder + "/fakes:" + path).c_str(), 1);
    for (int read = 0; read < 3; ++read) {
        ProcessPipe pipe;
        EXPECT_EQ(pipe.ExecuteCommand((kTool + " show \"home office\"").c_str(), true), whole);
    }
    setenv("PATH", path.c_str(), 1);
}

} // namespace
