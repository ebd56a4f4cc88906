// WireGuardValues: what each key of a WireGuard configuration takes, for a record and for a
// file's text. Values real profiles use pass; whatever could reach wg-quick's unquoted
// expansions or resolvconf's shell text as anything but an address, a name, a key or a
// number does not.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "ProfileRecords.h"
#include "WireGuardValues.h"

namespace {

const char* const kKey = "LCGiDwi1ZE+Aq3bHX8TQtA8RsIy53ZC3fS3j1Vwnpjo=";

TEST(WireGuardValues, EachKeyTakesExactlyWhatItAllows) {
    const std::string longLabel(64, 'a');
    const std::string longName = std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                                 std::string(63, 'c') + "." + std::string(63, 'd'); // 255 bytes
    struct Case {
        const char* key;
        std::string value;
        bool allowed;
    } cases[] = {
        // Addresses and prefixes, lists with blanks as real profiles write them.
        {"Address", "10.9.0.2/24", true},
        {"Address", "10.9.0.2/32, fd00:9::2/64", true},
        {"Address", "10.9.0.2", true},
        {"Address", "10.9.0.2/33", false},
        {"Address", "fd00::2/129", false},
        {"Address", "10.9.0.2/024", false},
        {"Address", "10.9.0.2/24/24", false},
        {"Address", "/root/*", false},
        {"Address", "10.9.0.2/24,$(id>/tmp/x)", false},
        {"Address", "10.9.0.2/24,", false},
        {"Address", "", false},
        {"AllowedIPs", "0.0.0.0/0, ::/0", true},
        {"AllowedIPs", "10.9.0.0/24,192.168.7.0/24", true},
        {"AllowedIPs", "10.9.0.0/24 192.168.7.0/24", false},
        {"AllowedIPs", "10.9.0.0/24,,10.1.0.0/16", false},
        // DNS: servers and search domains mixed, as wg-quick takes them.
        {"DNS", "10.9.0.1", true},
        {"DNS", "1.1.1.1, 2606:4700:4700::1111, corp.example, lab.corp-2.example.", true},
        {"DNS", "10.9.231.1,1:$(id>/tmp/marker)", false},
        {"DNS", "/root/*", false},
        {"DNS", "10.9.0.1,`id`", false},
        {"DNS", "10.9.0.1;id", false},
        {"DNS", "10.9.0.1\nPostUp = id", false},
        {"DNS", "10.9.0.1 10.9.0.2", false},
        {"DNS", "10.9.0.1, corp .example", false},
        {"DNS", "-corp.example", false},
        {"DNS", "corp_x.example", false},
        {"DNS", "10.9.0", false}, // neither an address nor a name
        {"DNS", longLabel + ".example", false},
        {"DNS", longName, false},
        {"DNS", "*", false},
        // Endpoints: host and port, IPv6 in brackets.
        {"Endpoint", "203.0.113.7:51820", true},
        {"Endpoint", "vpn.example.com:51820", true},
        {"Endpoint", "[2001:db8::7]:51820", true},
        {"Endpoint", "2001:db8::7:51820", false},
        {"Endpoint", "203.0.113.7:0", false},
        {"Endpoint", "203.0.113.7:65536", false},
        {"Endpoint", "203.0.113.7", false},
        {"Endpoint", "$(id):51820", false},
        // Keys: 44 characters of base64 for 32 bytes.
        {"PrivateKey", kKey, true},
        {"PublicKey", "LCGiDwi1ZE+Aq3bHX8TQtA8RsIy53ZC3fS3j1Vwnpjo", false},
        {"PublicKey", "LCGiDwi1ZE+Aq3bHX8TQtA8RsIy53ZC3fS3j1Vwnpjp=", false}, // 258 bits
        {"PresharedKey", "LCGiDwi1ZE+Aq3bHX8TQtA8RsIy53ZC3fS3j1V`id`=", false},
        {"PresharedKey", std::string(kKey) + "A", false},
        // Numbers in their ranges, in decimal without sign or leading zero.
        {"ListenPort", "51820", true},
        {"ListenPort", "0", false},
        {"ListenPort", "65536", false},
        {"ListenPort", "-1", false},
        {"PersistentKeepalive", "0", true},
        {"PersistentKeepalive", "25", true},
        {"PersistentKeepalive", "025", false},
        {"PersistentKeepalive", "99999999999", false},
        {"MTU", "1420", true},
        {"MTU", "1420; id", false},
        {"MTU", "67", false},
        // Keys the client never writes.
        {"PostUp", "id", false},
        {"Table", "off", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WireGuardValues::IsValue(c.key, c.value), c.allowed) << c.key << " = " << c.value;
    }
    EXPECT_TRUE(WireGuardValues::IsValue("dns", "10.9.0.1")) << "the tools take keys in any case";
}

TEST(WireGuardValues, ARecordNamesTheFirstKeyWhoseValueIsNotAllowed) {
    WireGuardVPNInfo good;
    std::strcpy(good.WanIP, "203.0.113.7");
    good.PeerPort = 51820;
    std::strcpy(good.PeerPubKey, kKey);
    std::strcpy(good.IPAddr, "10.9.0.2");
    good.InterSubMask = 24;
    std::strcpy(good.DNS, "10.9.0.1");
    EXPECT_EQ(WireGuardValues::FirstUnfitKey(good), "");

    struct Case {
        void (*change)(WireGuardVPNInfo&);
        const char* key;
    } cases[] = {
        {[](WireGuardVPNInfo& i) { std::strcpy(i.DNS, "10.9.231.1,1:$(id>/tmp/marker)"); }, "DNS"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.DNS, "10.9.0.1 # $(id)"); }, "DNS"},
        {[](WireGuardVPNInfo& i) { i.InterSubMask = 40; }, "Address"},
        {[](WireGuardVPNInfo& i) { i.InterSubMask = -1; }, "Address"},
        {[](WireGuardVPNInfo& i) { i.PeerPort = 70000; }, "Endpoint"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.WanIP, "[fd00::1]"); }, ""},
        {[](WireGuardVPNInfo& i) { i.PeerPubKey[0] = '\0'; }, "PublicKey"},
        {[](WireGuardVPNInfo& i) { i.InterPort = 65536; }, "ListenPort"},
        {[](WireGuardVPNInfo& i) { i.KeepaliveTime = -5; }, "PersistentKeepalive"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.AllowdIPs, "DIR/*"); }, "AllowedIPs"},
        {[](WireGuardVPNInfo& i) { std::strcpy(i.InterPriKey, "short="); }, "PrivateKey"},
    };
    for (const Case& c : cases) {
        WireGuardVPNInfo info = good;
        c.change(info);
        EXPECT_EQ(WireGuardValues::FirstUnfitKey(info), c.key) << c.key;
    }
}

TEST(WireGuardValues, AFileIsReadAsTheToolsReadIt) {
    const std::string key = kKey;
    struct Case {
        std::string text;
        std::string unfit;
    } cases[] = {
        // The client's own files (the editor writes ListenPort first and keep-alive 0).
        {"[Interface]\nPrivateKey = " + key +
             "\nListenPort = 41000\nAddress = 10.9.0.2/24\nDNS = 1.1.1.1\n\n"
             "[Peer]\nPublicKey = " +
             key +
             "\nEndpoint = 203.0.113.7:51820\nAllowedIPs = 0.0.0.0/0\n"
             "PersistentKeepalive = 0\n",
         ""},
        // Blanks, comments, CR LF line ends and sections in any case.
        {"[interface]\r\n  address=10.9.0.2/32   # mine\r\n\tmtu = 1420\r\n# PostUp = id\r\n[PEER]\r\n", ""},
        {"[Interface]\nDNS = 10.9.231.1,1:$(id>/tmp/marker)\n", "DNS"},
        {"[Interface]\nAddress = 10.9.0.2/24\nPostUp = id\n", "line 3"},
        {"[Interface]\nTable = off\n", "line 2"},
        {"[Interface]\nAddress 10.9.0.2/24\n", "line 2"},
        {"[Interface]\n[Peer]\nEndpoint = 203.0.113.7:51820;id\n", "Endpoint"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WireGuardValues::FirstUnfitLine(c.text), c.unfit) << c.text;
    }
}

} // namespace
