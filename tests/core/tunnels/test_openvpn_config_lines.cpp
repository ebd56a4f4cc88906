// An OpenVPN configuration read line by line as openvpn reads it: the words of a line, the
// inline files and connection blocks, and the copy a connect writes from a stored text
// without the directives that would run a program or write files as root.
#include <gtest/gtest.h>

#include "OpenVPNConfigLines.h"
#include "TunnelTestSupport.h"

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

TEST(OpenVPNConfigLinesTest, DirectivesThatRunProgramsOrWriteFilesAreUnsafe) {
    for (const char* name : {"script-security",
                             "up",
                             "down",
                             "route-up",
                             "route-pre-down",
                             "ipchange",
                             "learn-address",
                             "tls-verify",
                             "auth-user-pass-verify",
                             "client-connect",
                             "client-disconnect",
                             "client-crresponse",
                             "tls-crypt-v2-verify",
                             "plugin",
                             "iproute",
                             "engine",
                             "providers",
                             "pkcs11-providers",
                             "config",
                             "cd",
                             "chroot",
                             "log",
                             "log-append",
                             "status",
                             "writepid",
                             "replay-persist",
                             "tls-export-cert",
                             "genkey"}) {
        EXPECT_TRUE(OpenVPNConfigLines::isUnsafe(name)) << name;
    }
    for (const char* name : {"remote", "ca", "auth-user-pass", "up-delay", "route", "dhcp-option", "verb",
                             "setenv", "UP", "management"}) {
        EXPECT_FALSE(OpenVPNConfigLines::isUnsafe(name)) << name;
    }
}

TEST(OpenVPNConfigLinesTest, ConnectCopyLeavesOutUnsafeLinesWithALogLine) {
    ProjectFolder folder;
    const std::string safe = "client\r\nremote 1.2.3.4 1194\n<ca>\nup in a certificate\n</ca>\nverb 3";
    EXPECT_EQ(OpenVPNConfigLines::connectCopy(safe), safe); // byte for byte
    EXPECT_EQ(folder.Log().find("not written"), std::string::npos);

    const std::string stored = "client\r\nscript-security 2\r\n  --up\t/tmp/marker.sh\n"
                               "<connection>\nremote 1.2.3.4\nroute-up /tmp/x\n</connection>\n"
                               "\"plugin\" /tmp/evil.so\nverb 3";
    EXPECT_EQ(OpenVPNConfigLines::connectCopy(stored),
              "client\r\n<connection>\nremote 1.2.3.4\n</connection>\nverb 3");
    const std::string log = folder.Log();
    for (const char* line : {"line 2 of the stored configuration not written: script-security",
                             "line 3 of the stored configuration not written: up",
                             "line 6 of the stored configuration not written: route-up",
                             "line 8 of the stored configuration not written: plugin"}) {
        EXPECT_NE(log.find(std::string("OpenVPN :: ") + line), std::string::npos) << line << "\n" << log;
    }
}

} // namespace
