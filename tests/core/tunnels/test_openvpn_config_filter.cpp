// The configuration filter of the bundle's openvpn: the directives that run programs, load
// code, write files, hide openvpn's output or take the management interface are left out
// however they are written (quoted, with "--", as inline blocks, through "setenv opt",
// inside a connection block); everything else is handed on in a plain form that openvpn
// reads back as the same tokens; what openvpn itself would refuse is refused whole.
#include <gtest/gtest.h>

#include "OpenVPNConfigFilter.h"
#include "OpenVPNConfigSyntax.h"

namespace {

using OpenVPNConfigFilter::Filter;
using OpenVPNConfigFilter::Result;
using OpenVPNConfigFilter::Tokenize;

std::string Dropped(const Result& result) {
    std::string names;
    for (const auto& dropped : result.dropped) {
        names += std::to_string(dropped.line) + ":" + dropped.directive + " ";
    }
    return names;
}

TEST(OpenVPNConfigFilter, LeavesOutWhatRunsLoadsWritesOrHidesHoweverWritten) {
    const struct {
        const char* what;
        std::string text;
        std::string config;
        std::string dropped;
    } cases[] = {
        {"scripts and their level", "client\nscript-security 2\nup /tmp/x.sh\ndown \"/tmp/y.sh\"\n",
         "client\n", "2:script-security 3:up 4:down "},
        {"every kind of command",
         "route-up a\nroute-pre-down a\nipchange a\nlearn-address a\ntls-verify a\n"
         "auth-user-pass-verify a via-file\nclient-connect a\nclient-disconnect a\nclient-crresponse a\n"
         "tls-crypt-v2-verify a\niproute /tmp/ip\n",
         "",
         "1:route-up 2:route-pre-down 3:ipchange 4:learn-address 5:tls-verify 6:auth-user-pass-verify "
         "7:client-connect 8:client-disconnect 9:client-crresponse 10:tls-crypt-v2-verify 11:iproute "},
        {"code: plug-ins, engines, PKCS#11 modules, a provider from a path",
         "plugin /tmp/p.so\nengine dynamic\npkcs11-providers /tmp/m.so\nproviders legacy ../../tmp/evil\n"
         "providers legacy default\n",
         "providers legacy default\n", "1:plugin 2:engine 3:pkcs11-providers 4:providers "},
        {"quoted, single-quoted, with dashes, indented, after a tab",
         "\"up\" a\n'plugin' b\n--down c\n  "
         "route-up d\n\tipchange e\n",
         "", "1:up 2:plugin 3:down 4:route-up 5:ipchange "},
        {"setenv, and setenv opt with a directive",
         "setenv LD_PRELOAD /tmp/x.so\nsetenv opt plugin /tmp/p.so\n"
         "setenv opt block-outside-dns\nsetenv-safe FOO bar\n",
         "setenv opt block-outside-dns\nsetenv-safe FOO bar\n", "1:setenv 2:setenv "},
        {"files written where a profile says, output sent elsewhere, detaching",
         "log /etc/cron.d/x\nlog-append /root/.bashrc\nsyslog\ndaemon\nwritepid /etc/passwd\nstatus /tmp/s\n"
         "replay-persist /tmp/r\ngenkey secret /etc/shadow\n",
         "", "1:log 2:log-append 3:syslog 4:daemon 5:writepid 6:status 7:replay-persist 8:genkey "},
        {"another folder or root", "cd /home/user\nchroot /home/user\n", "", "1:cd 2:chroot "},
        {"the management interface and a further configuration file",
         "management 0.0.0.0 7505\nmanagement-client\nmanagement-query-passwords\nconfig /tmp/other.conf\n",
         "", "1:management 2:management-client 3:management-query-passwords 4:config "},
        {"a block that is no inline file, and one that is",
         "<plugin>\n/tmp/p.so\n</plugin>\n<ca>\nPEM\n</ca>\n", "<ca>\nPEM\n</ca>\n", "1:plugin "},
        {"a block of no name, which nothing inlines", "<>\nclient\n</>\nverb 3\n", "verb 3\n", "1: "},
        {"a connection block is filtered as a configuration",
         "<connection>\nremote 10.0.0.1 1194 udp\nup /tmp/x\n</connection>\n",
         "<connection>\nremote 10.0.0.1 1194 udp\n</connection>\n", "3:up "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Filter(c.text);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.config, c.config);
        EXPECT_EQ(Dropped(result), c.dropped);
    }
}

// openvpn runs as root: a profile never makes it open a file, folder or device by a path
// (what a profile needs is inline), nor serve as a server.
TEST(OpenVPNConfigFilter, LeavesOutWhatOpensAPathOrServesHoweverWritten) {
    const struct {
        const char* what;
        std::string text;
        std::string config;
        std::string dropped;
    } cases[] = {
        {"every directive that reads a file or folder, but not its inline block or no file",
         "ca /root/ca.crt\ncert c.crt\nkey \"/root/k.key\"\nextra-certs e\npkcs12 p.p12\ndh /root/dh.pem\n"
         "dh none\ntls-auth /root/ta.key 1\ntls-crypt t\ntls-crypt-v2 v\nsecret /root/s.key\n"
         "crl-verify /root/crl\ncrl-verify /root dir\ncapath /root\nhttp-proxy-user-pass /root/p\n"
         "auth-gen-token-secret g\naskpass /root/pass\naskpass\ntmp-dir /root\n<ca>\nPEM\n</ca>\n",
         "dh none\naskpass\n<ca>\nPEM\n</ca>\n",
         "1:ca 2:cert 3:key 4:extra-certs 5:pkcs12 6:dh 8:tls-auth 9:tls-crypt 10:tls-crypt-v2 11:secret "
         "12:crl-verify 13:crl-verify 14:capath 15:http-proxy-user-pass 16:auth-gen-token-secret 17:askpass "
         "19:tmp-dir "},
        {"[inline] is a file's name to openvpn; the block carries the file",
         "ca [inline]\n<ca>\nPEM\n</ca>\ntls-auth [inline] 1\n", "<ca>\nPEM\n</ca>\n", "1:ca 5:tls-auth "},
        {"auth-user-pass names the client's own credential file, or nothing",
         "auth-user-pass /root/secret\nauth-user-pass ./Config/openvpn/ovpnpwd.txt\nauth-user-pass\n"
         "auth-user-pass Config/openvpn/ovpnpwd.txt\n<auth-user-pass>\nu\np\n</auth-user-pass>\n",
         "auth-user-pass "
         "./Config/openvpn/ovpnpwd.txt\nauth-user-pass\n<auth-user-pass>\nu\np\n</auth-user-pass>\n",
         "1:auth-user-pass 4:auth-user-pass "},
        {"a proxy's credentials file, but not its words for none",
         "http-proxy 10.0.0.9 3128 /root/secret basic\nhttp-proxy 10.0.0.9 3128 auto\n"
         "http-proxy 10.0.0.9 3128 \"\" basic\nhttp-proxy 10.0.0.9 3128\nsocks-proxy 10.0.0.9 1080 "
         "/root/secret\n"
         "socks-proxy 10.0.0.9 1080 stdin\n",
         "http-proxy 10.0.0.9 3128 auto\nhttp-proxy 10.0.0.9 3128 \"\" basic\nhttp-proxy 10.0.0.9 3128\n"
         "socks-proxy 10.0.0.9 1080 stdin\n",
         "1:http-proxy 5:socks-proxy "},
        {"a server, and a device node",
         "mode server\nmode p2p\nserver 10.8.0.0 255.255.255.0\nserver-bridge\ntls-server\n"
         "client-config-dir /root\nccd-exclusive\nifconfig-pool 10.8.0.2 10.8.0.9\nclient-to-client\n"
         "dev-node /dev/sda\n",
         "mode p2p\n",
         "1:mode 3:server 4:server-bridge 5:tls-server 6:client-config-dir 7:ccd-exclusive 8:ifconfig-pool "
         "9:client-to-client 10:dev-node "},
        {"after setenv opt, with dashes, inside a connection block",
         "setenv opt ca /root/ca\n--secret /root/s\n<connection>\nremote 10.0.0.1\nhttp-proxy h 1 /root/x\n"
         "</connection>\n",
         "<connection>\nremote 10.0.0.1\n</connection>\n", "1:setenv 2:secret 5:http-proxy "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Filter(c.text);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.config, c.config);
        EXPECT_EQ(Dropped(result), c.dropped);
    }
}

// Above level 6 openvpn prints the bytes of the keys it reads and of the packets it
// sends into its output, which the user reads in the log.
TEST(OpenVPNConfigFilter, ALogLevelAboveSixIsSix) {
    const struct {
        std::string text;
        std::string config;
    } cases[] = {
        {"verb 7\n", "verb 6\n"},       {"verb 11\n", "verb 6\n"},
        {"verb 07\n", "verb 6\n"},      {"verb 99999999999999999999\n", "verb 6\n"},
        {"verb 1e9\n", "verb 6\n"},     {"verb -1\n", "verb 6\n"},
        {"--verb 8\n", "--verb 6\n"},   {"setenv opt verb 9\n", "setenv opt verb 6\n"},
        {"verb 6\n", "verb 6\n"},       {"verb 3\n", "verb 3\n"},
        {"verb 0006\n", "verb 0006\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Result result = Filter(c.text);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.config, c.config);
        EXPECT_TRUE(result.dropped.empty());
        EXPECT_EQ(Filter(result.config).config, result.config);
    }
}

TEST(OpenVPNConfigFilter, KeepsTheRestInAFormOpenVPNReadsAsTheSameTokens) {
    const struct {
        const char* what;
        std::string text;
        std::string config;
    } cases[] = {
        {"comments and blank lines go, trailing comments too",
         "# a comment\n; another\n\nremote 10.0.0.1 1194 # the office\n", "remote 10.0.0.1 1194\n"},
        {"leading dashes, tabs, carriage returns", "--client\r\n\tdev\ttun\r\n----x\n",
         "--client\ndev tun\n----x\n"},
        {"quoted parameters keep their blanks, quotes and backslashes",
         "setenv-safe NAME \"my value.txt\"\nverify-x509-name 'CN=a \"b\"' name\n"
         "x509-username-field C:\\\\keys\\\\ca\n",
         "setenv-safe NAME \"my value.txt\"\nverify-x509-name \"CN=a \\\"b\\\"\" name\n"
         "x509-username-field \"C:\\\\keys\\\\ca\"\n"},
        {"a parameter that would start a comment is quoted", "remote \"#host\" 1194\n",
         "remote \"#host\" 1194\n"},
        {"inline blocks keep their lines as they are, even indented ends", "<ca>\n  PEM line\r\n  </ca> x\n",
         "<ca>\n  PEM line\r\n</ca>\n"},
        {"a byte-order mark at the start", "\xEF\xBB\xBFremote a 1\n", "remote a 1\n"},
        {"no final line break", "client", "client\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Filter(c.text);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.config, c.config);
        EXPECT_TRUE(result.dropped.empty());
        // Read again, the filtered text is itself.
        EXPECT_EQ(Filter(result.config).config, result.config);
    }
}

TEST(OpenVPNConfigFilter, RefusesWhatOpenVPNCouldNotReadAsWritten) {
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"a NUL byte", std::string("client\nremote a\0 1\n", 19)},
        {"an unclosed quote", "client\nremote \"a 1\n"},
        {"a backslash before a letter", "ca C:\\keys\n"},
        {"a line longer than openvpn reads", "verify-x509-name " + std::string(240, 'a') + "\n"},
        {"an inline line longer than openvpn reads", "<ca>\n" + std::string(255, 'A') + "\n</ca>\n"},
        {"an inline block without its end", "<ca>\nPEM\nremote a 1\n"},
        {"a connection block without its end", "<connection>\nremote a 1\n"},
        {"a connection block that ends inside an inline file of its own",
         "<connection>\nremote a 1\n<ca>\n</connection>\nup /tmp/x\n</ca>\n</connection>\n"},
        {"a connection block inside another",
         "<connection>\n<connection>\nremote a\n</connection>\n</connection>\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Filter(c.text);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.config.empty());
        EXPECT_FALSE(result.error.empty());
    }
    // The longest line openvpn reads still passes.
    EXPECT_TRUE(Filter("verify-x509-name " + std::string(237, 'a') + "\n").ok);
}

TEST(OpenVPNConfigFilter, TokenizesAsOpenVPNDoes) {
    const struct {
        std::string line;
        bool ok;
        std::vector<std::string> tokens;
    } cases[] = {
        {"remote a 1", true, {"remote", "a", "1"}},
        {"  remote   a\t1  ", true, {"remote", "a", "1"}},
        {"remote a#b ;c", true, {"remote", "a#b"}},
        {"\"up\"x", true, {"up", "x"}},
        {"verb\\ 5 4", true, {"verb 5", "4"}},
        {"a \"b \\\" c\" 'd \\ e'", true, {"a", "b \" c", "d \\ e"}},
        {"\\#up x", true, {}},
        {"a \"\"", true, {"a", ""}},
        {"a \\x", false, {}},
        {"a 'b", false, {}},
        {"a b\\", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> tokens;
        EXPECT_EQ(Tokenize(c.line, &tokens), c.ok);
        if (c.ok) {
            EXPECT_EQ(tokens, c.tokens);
        }
    }
}

// The one writer of a word into a line (the filter's lines, the editor's import): openvpn
// reads back the word itself, and a word that needs nothing stays as it is.
TEST(OpenVPNConfigFilter, AWrittenWordReadsBackAsItself) {
    for (const std::string word : {"proxy.example.com", "C:/keys/ca.crt", "\xC3\xBC"}) {
        EXPECT_EQ(OpenVPNConfigSyntax::WrittenWord(word), word);
    }
    for (const std::string word : {"", "a b", "tab\there", "#x", ";x", "<ca>", "\xEF\xBB\xBFx", "q\"uote",
                                   "back\\slash", "it's", "\\\"\\"}) {
        SCOPED_TRACE(word);
        std::vector<std::string> tokens;
        ASSERT_TRUE(Tokenize("remote " + OpenVPNConfigSyntax::WrittenWord(word), &tokens));
        EXPECT_EQ(tokens, (std::vector<std::string>{"remote", word}));
    }
}

} // namespace
