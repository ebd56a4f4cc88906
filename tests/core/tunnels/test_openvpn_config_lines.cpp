// An OpenVPN configuration read line by line as openvpn reads it: the words of a line, the
// inline files and connection blocks, and the one treatment of each directive that the
// editor and the filter of the bundle's openvpn share.
#include <gtest/gtest.h>

#include "OpenVPNConfigFilter.h"
#include "OpenVPNConfigLines.h"

namespace {

using OpenVPNConfigLines::Role;

TEST(OpenVPNConfigLinesTest, WordsAreThoseOpenvpnReads) {
    const struct {
        QByteArray line;
        QList<QByteArray> words;
    } cases[] = {
        {"remote 1.2.3.4 1194", {"remote", "1.2.3.4", "1194"}},
        {" \t remote\t1.2.3.4  1194 \r", {"remote", "1.2.3.4", "1194"}},
        {"--remote\f198.51.100.9\v443", {"remote", "198.51.100.9", "443"}},
        {"\"remote\" '1.2.3.4' \"a b\"", {"remote", "1.2.3.4", "a b"}},
        {"ca \"my \\\"keys\\\"\\\\ca.crt\"", {"ca", "my \"keys\"\\ca.crt"}},
        {"ca 'C:\\keys\\ca.crt'", {"ca", "C:\\keys\\ca.crt"}},
        {"ca my\\ ca.crt", {"ca", "my ca.crt"}},
        {"http-proxy proxy 3128 \"\" basic", {"http-proxy", "proxy", "3128", "", "basic"}},
        {"remote 1.2.3.4 1194 # fallback", {"remote", "1.2.3.4", "1194"}},
        {"remote 1.2.3.4;udp", {"remote", "1.2.3.4;udp"}}, // a comment sign inside a word is the word's
        {"remote\0 x", {"remote"}},
        {"--", {"--"}},
        {"--\tup", {"--", "up"}},
        {"# remote 1.2.3.4", {}},
        {"  ;remote 1.2.3.4", {}},
        {"remote \"1.2.3.4", {}}, // no closing quote: openvpn drops the line
        {"re\\mote 1.2.3.4", {}}, // a backslash before a letter: dropped as well
        {"remote 1.2.3.4\\", {}}, // a backslash at the end
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenVPNConfigLines::words(c.line), c.words) << c.line.toStdString();
        EXPECT_EQ(OpenVPNConfigLines::directive(c.line), c.words.value(0)) << c.line.toStdString();
    }
}

TEST(OpenVPNConfigLinesTest, InlineFilesHoldNoDirectivesAndConnectionBlocksDo) {
    const QByteArray text = "\xEF\xBB\xBF"
                            "client\n"
                            "<ca>\n"
                            "up /tmp/x\n"
                            "  </ca> trailing\n"
                            "<connection>\n"
                            "remote 1.2.3.4 1194\n"
                            "<http-proxy-user-pass>\n"
                            "user\n"
                            "</http-proxy-user-pass>\n"
                            "</connection>\n"
                            "# done\n"
                            "<key>\n"
                            "unterminated\n";
    const QList<OpenVPNConfigLines::Line> read = OpenVPNConfigLines::read(text);
    const QList<Role> roles = {Role::Directive,   Role::InlineOpen,  Role::InlineBody, Role::InlineClose,
                               Role::InlineOpen,  Role::Directive,   Role::InlineOpen, Role::InlineBody,
                               Role::InlineClose, Role::InlineClose, Role::Plain,      Role::InlineOpen,
                               Role::InlineBody};
    ASSERT_EQ(read.size(), roles.size());
    for (int i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read.at(i).role, roles.at(i)) << "line " << read.at(i).number;
        EXPECT_EQ(read.at(i).number, i + 1);
    }
    EXPECT_EQ(read.at(0).words, (QList<QByteArray>{"client"})); // the byte-order mark is no part of it
    EXPECT_EQ(read.at(2).tag, QByteArray("ca"));
    EXPECT_EQ(read.at(5).words.value(1), QByteArray("1.2.3.4"));
    EXPECT_EQ(read.at(9).tag, QByteArray("connection"));
}

TEST(OpenVPNConfigLinesTest, EachDirectiveHasOneTreatment) {
    using OpenVPNConfigLines::Treatment;
    const struct {
        QList<QByteArray> words;
        Treatment treatment;
        QByteArray ruled;
    } cases[] = {
        // Programs, code, another configuration or folder, files written where the profile says.
        {{"script-security", "2"}, Treatment::Refused, "script-security"},
        {{"up", "/tmp/x"}, Treatment::Refused, "up"},
        {{"down"}, Treatment::Refused, "down"},
        {{"route-up"}, Treatment::Refused, "route-up"},
        {{"route-pre-down"}, Treatment::Refused, "route-pre-down"},
        {{"ipchange"}, Treatment::Refused, "ipchange"},
        {{"learn-address"}, Treatment::Refused, "learn-address"},
        {{"tls-verify"}, Treatment::Refused, "tls-verify"},
        {{"auth-user-pass-verify"}, Treatment::Refused, "auth-user-pass-verify"},
        {{"client-connect"}, Treatment::Refused, "client-connect"},
        {{"client-disconnect"}, Treatment::Refused, "client-disconnect"},
        {{"client-crresponse"}, Treatment::Refused, "client-crresponse"},
        {{"tls-crypt-v2-verify"}, Treatment::Refused, "tls-crypt-v2-verify"},
        {{"iproute"}, Treatment::Refused, "iproute"},
        {{"plugin", "/tmp/p.so"}, Treatment::Refused, "plugin"},
        {{"engine"}, Treatment::Refused, "engine"},
        {{"pkcs11-providers"}, Treatment::Refused, "pkcs11-providers"},
        {{"providers", "legacy", "/tmp/evil"}, Treatment::Refused, "providers"},
        {{"config"}, Treatment::Refused, "config"},
        {{"cd"}, Treatment::Refused, "cd"},
        {{"chroot"}, Treatment::Refused, "chroot"},
        {{"log"}, Treatment::Refused, "log"},
        {{"log-append"}, Treatment::Refused, "log-append"},
        {{"status"}, Treatment::Refused, "status"},
        {{"writepid"}, Treatment::Refused, "writepid"},
        {{"replay-persist"}, Treatment::Refused, "replay-persist"},
        {{"tls-export-cert"}, Treatment::Refused, "tls-export-cert"},
        {{"genkey"}, Treatment::Refused, "genkey"},
        {{"memstats", "/tmp/m"}, Treatment::Refused, "memstats"},
        {{"show-pkcs11-ids", "/tmp/p.so"}, Treatment::Refused, "show-pkcs11-ids"},
        // A file, folder or device opened by its path, and a server's directives.
        {{"ca", "ca.crt"}, Treatment::Barred, "ca"},
        {{"tls-auth", "[inline]", "1"}, Treatment::Barred, "tls-auth"},
        {{"auth-user-pass", "/root/secret"}, Treatment::Barred, "auth-user-pass"},
        {{"http-proxy", "h", "3128", "/root/secret", "basic"}, Treatment::Barred, "http-proxy"},
        {{"socks-proxy", "h", "1080", "/root/secret"}, Treatment::Barred, "socks-proxy"},
        {{"dev-node", "/dev/sda"}, Treatment::Barred, "dev-node"},
        {{"mode", "server"}, Treatment::Barred, "mode"},
        {{"client-config-dir", "/root"}, Treatment::Barred, "client-config-dir"},
        {{"ifconfig-pool-linear"}, Treatment::Barred, "ifconfig-pool-linear"},
        {{"setenv", "opt", "secret", "/root/k"}, Treatment::Barred, "secret"},
        // A log level that would print keys is lowered.
        {{"verb", "7"}, Treatment::Mended, "verb"},
        {{"setenv", "opt", "verb", "11"}, Treatment::Mended, "verb"},
        // "setenv opt" stands for the directive that follows it.
        {{"setenv", "opt", "plugin", "/tmp/p.so"}, Treatment::Refused, "plugin"},
        {{"setenv", "opt", "block-outside-dns"}, Treatment::Kept, "block-outside-dns"},
        // The client's own business: kept in a profile, never read by openvpn.
        {{"setenv", "LD_PRELOAD", "/tmp/x.so"}, Treatment::LeftOut, "setenv"},
        {{"management", "127.0.0.1", "7505"}, Treatment::LeftOut, "management"},
        {{"management-hold"}, Treatment::LeftOut, "management-hold"},
        {{"daemon"}, Treatment::LeftOut, "daemon"},
        {{"syslog"}, Treatment::LeftOut, "syslog"},
        // Everything else.
        {{"providers", "legacy", "default"}, Treatment::Kept, "providers"},
        {{"remote", "1.2.3.4"}, Treatment::Kept, "remote"},
        {{"auth-user-pass"}, Treatment::Kept, "auth-user-pass"},
        {{"auth-user-pass", "./Config/openvpn/ovpnpwd.txt"}, Treatment::Kept, "auth-user-pass"},
        {{"http-proxy", "h", "3128", "auto"}, Treatment::Kept, "http-proxy"},
        {{"dh", "none"}, Treatment::Kept, "dh"},
        {{"mode", "p2p"}, Treatment::Kept, "mode"},
        {{"verb", "6"}, Treatment::Kept, "verb"},
        {{"up-delay"}, Treatment::Kept, "up-delay"},
        {{"UP", "/tmp/x"}, Treatment::Kept, "UP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        EXPECT_EQ(OpenVPNConfigLines::treatmentOf(c.words), c.treatment);
        EXPECT_EQ(OpenVPNConfigLines::ruledDirective(c.words), c.ruled);
    }
    EXPECT_EQ(OpenVPNConfigLines::blockTreatment("ca"), Treatment::Kept);
    EXPECT_EQ(OpenVPNConfigLines::blockTreatment("connection"), Treatment::Kept);
    EXPECT_EQ(OpenVPNConfigLines::blockTreatment("plugin"), Treatment::Refused);
    EXPECT_EQ(OpenVPNConfigLines::blockTreatment("remote"), Treatment::LeftOut);
}

// The editor and the filter of the bundle's openvpn read a stored text alike: the lines the
// filter leaves out are those whose treatment the editor reads as other than kept.
TEST(OpenVPNConfigLinesTest, TheEditorAndTheFilterTakeTheSameLines) {
    const QByteArray stored = "client\r\nscript-security 2\r\n  --up\t/tmp/marker.sh\n"
                              "<connection>\nremote 1.2.3.4\nroute-up /tmp/x\n</connection>\n"
                              "\"plugin\" /tmp/evil.so\nsetenv opt plugin /tmp/p.so\nmanagement-hold\n"
                              "<ca>\nup in a certificate\n</ca>\nverb 3";
    std::string notKept;
    for (const OpenVPNConfigLines::Line& line : OpenVPNConfigLines::read(stored)) {
        if (line.role == Role::Directive &&
            OpenVPNConfigLines::treatmentOf(line.words) != OpenVPNConfigLines::Treatment::Kept) {
            notKept += std::to_string(line.number) + ":" + line.words.first().toStdString() + " ";
        }
    }
    EXPECT_EQ(notKept, "2:script-security 3:up 6:route-up 8:plugin 9:setenv 10:management-hold ");
    const OpenVPNConfigFilter::Result filtered = OpenVPNConfigFilter::Filter(stored.toStdString());
    ASSERT_TRUE(filtered.ok) << filtered.error;
    std::string dropped;
    for (const auto& line : filtered.dropped) {
        dropped += std::to_string(line.line) + ":" + line.directive + " ";
    }
    EXPECT_EQ(dropped, notKept);
    EXPECT_EQ(
        filtered.config,
        "client\n<connection>\nremote 1.2.3.4\n</connection>\n<ca>\nup in a certificate\n</ca>\nverb 3\n");
}

} // namespace
