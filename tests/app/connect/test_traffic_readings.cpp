// The traffic readings against recorded outputs: "wg show" in its shapes (LF and CR LF
// line ends, keepalive lines after the transfer line, several interfaces, names that
// begin alike), the management interface's "load-stats" replies (whole, cut between two
// reads, without counters), the unit conversion, the trimming, and the address that the
// WireGuard nudge goes to.
#include <QString>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TrafficReadings.h"
#include "WireGuardProbe.h"

using namespace TrafficReadings;

namespace {

// "wg show" of a client tunnel, as wg prints it, lines ending in LF.
const std::string kWgShow = "interface: office\n"
                            "  public key: 7Zq0UvYUGx0Qa3oUxsaqnO3PWQzkcWbYiPo0nrtHV1E=\n"
                            "  private key: (hidden)\n"
                            "  listening port: 51901\n"
                            "\n"
                            "peer: bB5jSAvfJbD3yqdQq+F8Rfs1nUvxGXG9rTT3nFU8oXs=\n"
                            "  endpoint: 10.231.7.2:51902\n"
                            "  allowed ips: 10.232.7.2/32\n"
                            "  latest handshake: 3 seconds ago\n"
                            "  transfer: 1.50 KiB received, 3.00 MiB sent\n"
                            "  persistent keepalive: every 1 second\n";

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

constexpr double kKiB = 1.0 / 1024;

TEST(WireGuardTransfer, ReadsTheTunnelsTransferLineInEveryShape) {
    const std::string lastLine = "interface: office\n  public key: x\n\npeer: y\n"
                                 "  transfer: 1.50 KiB received, 3.00 MiB sent";
    const std::string two = "interface: wg10\n  listening port: 1\n\npeer: a\n"
                            "  transfer: 7.00 GiB received, 8.00 GiB sent\n"
                            "interface: wg1\n  listening port: 2\n\npeer: b\n"
                            "  transfer: 12 B received, 2048 B sent\n";
    const struct {
        const char* what;
        std::string output;
        const char* name;
        double received;
        double sent;
    } cases[] = {
        {"keepalive line after the transfer line (LF)", kWgShow, "office", 1.5 * kKiB, 3.0},
        {"the same with CR LF", withCrLf(kWgShow), "office", 1.5 * kKiB, 3.0},
        {"transfer line last, CR LF", withCrLf(lastLine) + "\r\n", "office", 1.5 * kKiB, 3.0},
        {"transfer line last, no line end", lastLine, "office", 1.5 * kKiB, 3.0},
        {"wg10 before wg1: wg1 is not wg10", two, "wg1", 12.0 / 1048576, 2048.0 / 1048576},
        {"wg10 itself", two, "wg10", 7.0 * 1024, 8.0 * 1024},
        {"bytes", "interface: t\n  transfer: 1048576 B received, 0 B sent\n", "t", 1.0, 0.0},
    };
    for (const auto& c : cases) {
        double received = -5;
        double sent = -5;
        ASSERT_TRUE(ParseWireGuardTransfer(c.output, c.name, &received, &sent)) << c.what;
        EXPECT_DOUBLE_EQ(received, c.received) << c.what;
        EXPECT_DOUBLE_EQ(sent, c.sent) << c.what;
    }
}

TEST(WireGuardTransfer, LeavesTheTotalsWhenTheLineCannotBeRead) {
    const struct {
        const char* what;
        std::string output;
    } cases[] = {
        {"no such interface", "interface: other\n  transfer: 1.00 MiB received, 1.00 MiB sent\n"},
        {"a longer name only", "interface: office2\n  transfer: 1.00 MiB received, 1.00 MiB sent\n"},
        {"no transfer line yet (no handshake)", "interface: office\n  listening port: 1\n\npeer: x\n"},
        {"the transfer line of the next interface", "interface: office\n  listening port: 1\ninterface: "
                                                    "next\n  transfer: 1.00 MiB received, 1.00 MiB sent\n"},
        {"a unit outside the list", "interface: office\n  transfer: 1.00 TiB received, 3.00 MiB sent\n"},
        {"no number", "interface: office\n  transfer: many KiB received, 3.00 MiB sent\n"},
        {"a negative number", "interface: office\n  transfer: -1.00 KiB received, 3.00 MiB sent\n"},
        {"nan", "interface: office\n  transfer: nan KiB received, 3.00 MiB sent\n"},
        {"inf", "interface: office\n  transfer: 1.00 KiB received, inf MiB sent\n"},
        {"past the range after the unit",
         "interface: office\n  transfer: 1e308 GiB received, 3.00 MiB sent\n"},
        {"no comma", "interface: office\n  transfer: 1.00 KiB received\n"},
        {"cut short", "interface: office\n  transfer: 1"},
        {"empty", ""},
        {"Failed", "Failed"},
    };
    for (const auto& c : cases) {
        double received = 42;
        double sent = 43;
        EXPECT_FALSE(ParseWireGuardTransfer(c.output, "office", &received, &sent)) << c.what;
        EXPECT_EQ(received, 42) << c.what;
        EXPECT_EQ(sent, 43) << c.what;
    }
}

TEST(WireGuardTunnelStateTest, ListedAndHandshake) {
    EXPECT_TRUE(ReadWireGuardTunnelState(kWgShow, "office").listed);
    EXPECT_TRUE(ReadWireGuardTunnelState(withCrLf(kWgShow), "office").handshake);
    const std::string silent = "interface: office\n  public key: x\n  listening port: 51901\n\npeer: y\n"
                               "  endpoint: 10.231.7.2:51902\n  allowed ips: 10.232.7.2/32\n"
                               "  transfer: 0 B received, 1.48 KiB sent\n";
    EXPECT_TRUE(ReadWireGuardTunnelState(silent, "office").listed);
    EXPECT_FALSE(ReadWireGuardTunnelState(silent, "office").handshake);
    // Another tunnel's handshake is not this one's.
    const std::string other =
        "interface: office\n  listening port: 1\ninterface: home\n  latest handshake: now\n";
    EXPECT_TRUE(ReadWireGuardTunnelState(other, "office").listed);
    EXPECT_FALSE(ReadWireGuardTunnelState(other, "office").handshake);
    EXPECT_FALSE(ReadWireGuardTunnelState("Unable to access interface: No such device\n", "office").listed);
    EXPECT_FALSE(ReadWireGuardTunnelState(kWgShow, "offic").listed);
}

TEST(LoadStatsTest, CountersOfTheReply) {
    const struct {
        const char* what;
        const char* reply;
        bool hasDownload;
        double download;
        bool hasUpload;
        double upload;
    } cases[] = {
        {"both", "SUCCESS: nclients=0,bytesin=1048576,bytesout=2097152\r\n", true, 1.0, true, 2.0},
        {"the last line counts", "SUCCESS: bytesin=1,bytesout=2\nSUCCESS: bytesin=3145728,bytesout=0\n", true,
         3.0, true, 0.0},
        {"no counters", ">INFO:OpenVPN Management Interface Version 5\n", false, 0, false, 0},
        {"error reply", "ERROR: unknown command\n", false, 0, false, 0},
        {"not a number reads 0", "SUCCESS: bytesin=abc,bytesout= 1048576 \n", true, 0.0, true, 1.0},
        {"only one field", "SUCCESS: bytesout=524288\n", false, 0, true, 0.5},
        // No count of bytes: never a NaN, infinite or negative total on the page.
        {"nan and inf read 0", "SUCCESS: bytesin=nan,bytesout=inf\n", true, 0.0, true, 0.0},
        {"negative and out of range read 0", "SUCCESS: bytesin=-5,bytesout=1e999\n", true, 0.0, true, 0.0},
    };
    for (const auto& c : cases) {
        const LoadStats stats = ParseLoadStats(QString::fromLatin1(c.reply));
        EXPECT_EQ(stats.hasDownload, c.hasDownload) << c.what;
        EXPECT_EQ(stats.hasUpload, c.hasUpload) << c.what;
        EXPECT_DOUBLE_EQ(stats.downloadMiB, c.download) << c.what;
        EXPECT_DOUBLE_EQ(stats.uploadMiB, c.upload) << c.what;
    }
}

TEST(LoadStatsTest, AReplyCutBetweenTwoReadsIsReadWhole) {
    QString pending;
    // The first read ends inside the number: nothing is taken from it yet.
    QString lines =
        TakeCompleteLines(pending, QStringLiteral(">INFO:hello\r\nSUCCESS: nclients=0,bytesin=10485"));
    EXPECT_FALSE(ParseLoadStats(lines).hasDownload);
    lines = TakeCompleteLines(pending, QStringLiteral("76,bytesout=1048576\r\n"));
    const LoadStats stats = ParseLoadStats(lines);
    EXPECT_DOUBLE_EQ(stats.downloadMiB, 1.0);
    EXPECT_DOUBLE_EQ(stats.uploadMiB, 1.0);
    EXPECT_TRUE(pending.isEmpty());
    EXPECT_TRUE(TakeCompleteLines(pending, QString()).isEmpty());
}

TEST(UnitsTest, ConvertToMiB) {
    const struct {
        double value;
        const char* unit;
        double mib;
    } cases[] = {
        {3, "MiB", 3}, {1536, "KiB", 1.5}, {1048576, "B", 1}, {2, "GiB", 2048}, {1, "TiB", -1},
        {1, "MB", -1}, {1, "", -1},        {-0.5, "MiB", -1}, {0, "B", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ConvertToMiB(c.value, c.unit), c.mib) << c.value << " " << c.unit;
    }
}

TEST(UnitsTest, TrimString) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {" \t\n\v\f\r1.50 KiB\r\n", "1.50 KiB"}, {"x", "x"}, {"", ""}, {" \r\n ", ""}, {"a b", "a b"},
    };
    for (auto c : cases) {
        std::string text = c.in;
        TrimString(text);
        EXPECT_EQ(text, c.out);
    }
}

TEST(NudgeTargetTest, AnAddressThePeerRoutes) {
    const struct {
        const char* what;
        const char* config;
        const char* target;
    } cases[] = {
        {"a host route", "[Interface]\nAddress = 10.232.7.1/24\n[Peer]\nAllowedIPs = 10.232.7.2/32\n",
         "10.232.7.2"},
        {"a network: its first host", "Address = 10.8.0.2/24\nAllowedIPs = 10.9.0.0/16, 10.10.0.0/16\n",
         "10.9.0.1"},
        {"the own address is skipped", "Address = 10.8.0.1/24\nAllowedIPs = 10.8.0.0/24\n", "10.8.0.2"},
        {"everything: the own network", "Address = 10.8.0.2/24\nAllowedIPs = 0.0.0.0/0\n", "10.8.0.1"},
        // The usual full tunnel: a host address of its own, everything to the peer, whose
        // tunnel side is usually the first host of the own /24.
        {"everything from a /32", "Address = 10.8.0.2/32\nAllowedIPs = 0.0.0.0/0\n", "10.8.0.1"},
        {"everything from the /24's first host", "Address = 10.8.0.1/32\nAllowedIPs = 0.0.0.0/0\n",
         "10.8.0.2"},
        {"a /32 and the peer's network", "Address = 10.8.0.2/32\nAllowedIPs = 10.8.0.0/24\n", "10.8.0.1"},
        {"a /32 and another network", "Address = 10.8.0.2/32\nAllowedIPs = 10.9.0.0/24\n", "10.9.0.1"},
        {"a /16 of its own", "Address = 172.16.5.9/16\nAllowedIPs = 0.0.0.0/0\n", "172.16.0.1"},
        {"everything without an address", "AllowedIPs = 0.0.0.0/0\n", ""},
        {"IPv6 first", "Address = 10.8.0.2/24\nAllowedIPs = fd00::/64, 10.20.0.0/24\n", "10.20.0.1"},
        {"comments and blanks", "  AllowedIPs=10.1.2.3/32 # the peer\n", "10.1.2.3"},
        {"none", "Address = 10.8.0.2/24\n", ""},
        {"only its own address", "Address = 10.8.0.2/32\nAllowedIPs = 10.8.0.2/32\n", ""},
        // A prefix past /32 is no address of its own (it once stayed behind as the prefix).
        {"an own prefix past 32", "Address = 10.8.0.2/94\nAllowedIPs = 0.0.0.0/0\n", ""},
        {"a later own address counts", "Address = 10.8.0.2/94, 10.9.0.5/24\nAllowedIPs = 0.0.0.0/0\n",
         "10.9.0.1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WireGuardProbe::NudgeTarget(c.config), c.target) << c.what;
    }
}

} // namespace
