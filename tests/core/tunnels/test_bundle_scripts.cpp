// The bundle's scripts, as the build lays them out, with Debian's programs replaced by
// doubles on PATH: the texts, process id and arguments of openvpn.exe, the profile it
// hands openvpn through the configuration filter, the DNS that tunnel-dns hands to
// resolvconf and takes away, the tunnel-name mapping of wireguard, and the exit codes of
// the TAP adapter scripts (the bundle's wg: tests/bundle).
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <cerrno>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utility>
#include <vector>

extern char** environ;

#include "TunnelTestSupport.h"

namespace {

const std::string kBundle = KORVA_APP_DIR;

struct ScriptRun {
    int exitCode = -1;
    std::string output;
    qint64 pid = 0;
};

class BundleScripts : public ::testing::Test {
protected:
    void SetUp() override {
        fakes = project.path + "/fakes";
        runDir = project.path + "/run";
        argLog = project.path + "/args.log";
    }
    // A program double on PATH that logs its name and arguments, one per line.
    void Fake(const std::string& name, const std::string& body) {
        project.Script("fakes/" + name, "{ echo \"" + name +
                                            "\"; for a in \"$@\"; do echo \"[$a]\"; done; } >> '" + argLog +
                                            "'\n" + body);
    }
    // Runs the program and reads its output to the end of the pipe, which comes only
    // when every process holding it (openvpn.exe's line filter too) has ended.
    ScriptRun Exec(const std::string& program, const QStringList& args) {
        ScriptRun run;
        std::vector<std::string> words{program};
        for (const auto& a : args) {
            words.push_back(a.toStdString());
        }
        std::vector<char*> argv;
        for (auto& w : words) {
            argv.push_back(&w[0]);
        }
        argv.push_back(nullptr);
        std::string path = fakes + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
        setenv("PATH", path.c_str(), 1);
        setenv("KORVA_WG_RUNDIR", runDir.c_str(), 1);
        int fds[2];
        if (pipe(fds) != 0) {
            return run;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            return run;
        }
        run.pid = pid;
        char buf[4096];
        for (ssize_t n; (n = read(fds[0], buf, sizeof(buf))) != 0;) {
            if (n > 0) {
                run.output.append(buf, static_cast<size_t>(n));
            } else if (errno != EINTR) {
                break;
            }
        }
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    std::string Args() const { return ReadText(argLog); }
    // Runs the program with these variables set in its environment (as openvpn sets them
    // for its scripts).
    ScriptRun ExecWith(const std::string& program, const QStringList& args,
                       const std::vector<std::pair<std::string, std::string>>& env) {
        for (const auto& entry : env) {
            setenv(entry.first.c_str(), entry.second.c_str(), 1);
        }
        ScriptRun run = Exec(program, args);
        for (const auto& entry : env) {
            unsetenv(entry.first.c_str());
        }
        return run;
    }
    // A resolvconf double over a folder of records, one file per record with what was
    // given for it: -a NAME takes the record from standard input, -i PATTERN lists the
    // matching records on one line, -f -d NAME removes one.
    void FakeResolvconf() {
        records = project.path + "/records";
        QDir().mkpath(QString::fromStdString(records));
        Fake("resolvconf", "records='" + records + "'\n" + R"sh(
case "$1" in
-a) cat > "$records/$2" ;;
-i) pattern=$(printf '%s' "$2" | sed 's/\./\\./g; s/\*/.*/g')
    ls "$records" | grep -x -- "$pattern" | tr '\n' ' '; echo ;;
-f) [ "$2" = -d ] && rm -f -- "$records/$3" ;;
esac
)sh");
    }
    std::string Record(const std::string& name) const { return ReadText(records + "/" + name); }
    bool HasRecord(const std::string& name) const {
        return QFile::exists(QString::fromStdString(records + "/" + name));
    }
    std::string WriteProfile(const std::string& name, const std::string& text) {
        QDir().mkpath(QString::fromStdString(project.path + "/Config/openvpn"));
        std::string path = project.path + "/Config/openvpn/" + name;
        EXPECT_TRUE(WriteText(path, text, 0600));
        return path;
    }

    // Doubles of ip and wg-quick over a table of the machine's interfaces, one line
    // "INDEX NAME" each: wg-quick up adds the configuration's interface with the next
    // index from 11, never given twice (and refuses a name that exists), down and ip link
    // del remove one.
    void FakeLinks() {
        links = project.path + "/links";
        WriteText(links, "");
        const std::string table = "links='" + links + "'\n";
        Fake("ip", table + R"sh(
row() { awk -v n="$1" '$2 == n' "$links"; }
drop() { awk -v n="$1" '$2 != n' "$links" > "$links.new" && mv "$links.new" "$links"; }
if [ "$1 $2 $3 $4" = "-o link show dev" ]; then
    line=$(row "$5"); [ -n "$line" ] || exit 1
    echo "${line%% *}: $5: <POINTOPOINT,NOARP,UP,LOWER_UP> mtu 1420"; exit 0
fi
if [ "$1 $2 $3" = "link del dev" ]; then
    [ -n "$(row "$4")" ] || exit 1; drop "$4"; exit 0
fi
exit 1
)sh");
        Fake("wg-quick", table + R"sh(
name=$(basename "$2" .conf)
line=$(awk -v n="$name" '$2 == n' "$links")
if [ "$1" = up ]; then
    [ -z "$line" ] || { echo "wg-quick: \`$name' already exists" >&2; exit 1; }
    next=$(( $(cat "$links.last" 2>/dev/null || echo 10) + 1 ))
    echo "$next" > "$links.last"
    echo "$next $name" >> "$links"; exit 0
fi
[ -n "$line" ] || exit 1
awk -v n="$name" '$2 != n' "$links" > "$links.new" && mv "$links.new" "$links"
)sh");
    }
    std::string Links() const { return ReadText(links); }
    std::string WriteConf(const std::string& name, const std::string& text) {
        QDir().mkpath(QString::fromStdString(project.path + "/Config/wireguard"));
        std::string conf = project.path + "/Config/wireguard/" + name + ".conf";
        EXPECT_TRUE(WriteText(conf, text, 0600));
        return conf;
    }
    ScriptRun Install(const std::string& conf) {
        return Exec(kBundle + "/bin/Wireguard/wireguard",
                    {"/installtunnelservice", QString::fromStdString(conf)});
    }
    ScriptRun Uninstall(const QStringList& name) {
        return Exec(kBundle + "/bin/Wireguard/wireguard", QStringList{"/uninstalltunnelservice"} + name);
    }

    ProjectFolder project;
    std::string fakes, runDir, argLog, links, records;
};

TEST_F(BundleScripts, OpenVPNKeepsItsProcessIdAndArgumentsAndRunsOnlyItsOwnScript) {
    const std::string config = WriteProfile("a b.ovpn", "client\n");
    Fake("openvpn", "echo \"pid=$$\"\necho 'Initialization Sequence Completed'\n");
    ScriptRun run = Exec(kBundle + "/bin/OpenVPN/openvpn.exe",
                         {"--config", QString::fromStdString(config), "--auth-retry", "none", "--management",
                          "127.0.0.1", "11505", "/run/korva-vpn/openvpn/management-1"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("pid=" + std::to_string(run.pid) + "\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Initialization Sequence Completed\n"), std::string::npos);
    // The configuration comes through the filter; after it, the only script openvpn may
    // run, the bundle's own, quoted for openvpn's command parsing.
    const std::string dns = "['" + kBundle + "/bin/OpenVPN/tunnel-dns']\n";
    EXPECT_EQ(Args(),
              "openvpn\n[--config]\n[/dev/fd/3]\n[--auth-retry]\n[none]\n[--management]\n"
              "[127.0.0.1]\n[11505]\n[/run/korva-vpn/openvpn/management-1]\n[--script-security]\n[2]\n"
              "[--up]\n" +
                  dns + "[--down]\n" + dns);
}

TEST_F(BundleScripts, OpenVPNReadsTheProfileOnlyThroughTheFilter) {
    const std::string config =
        WriteProfile("office.ovpn", "client\nscript-security 2\nup /tmp/marker.sh\n\"plugin\" /tmp/p.so\n"
                                    "remote 10.0.0.1 1194 # the office\n<ca>\nPEM\n</ca>\n");
    const std::string seen = project.path + "/seen.conf";
    Fake("openvpn", "cat /dev/fd/3 > '" + seen + "'\n");
    ScriptRun run = Exec(kBundle + "/bin/OpenVPN/openvpn.exe", {"--config", QString::fromStdString(config)});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(ReadText(seen), "client\nremote 10.0.0.1 1194\n<ca>\nPEM\n</ca>\n");
    for (const char* dropped : {"script-security", "up", "plugin"}) {
        EXPECT_NE(run.output.find(std::string("'") + dropped + "' is left out"), std::string::npos)
            << run.output;
    }
    // A lone argument is openvpn's configuration file too.
    QFile::remove(QString::fromStdString(seen));
    run = Exec(kBundle + "/bin/OpenVPN/openvpn.exe", {QString::fromStdString(config)});
    EXPECT_EQ(ReadText(seen), "client\nremote 10.0.0.1 1194\n<ca>\nPEM\n</ca>\n");

    // What the filter cannot hand on, openvpn never sees: it is refused in openvpn's words.
    const struct {
        const char* what;
        std::string path;
    } refused[] = {
        {"a line too long", WriteProfile("long.ovpn", "verify-x509-name " + std::string(300, 'a') + "\n")},
        {"no such file", project.path + "/Config/openvpn/missing.ovpn"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        QFile::remove(QString::fromStdString(argLog));
        run = Exec(kBundle + "/bin/OpenVPN/openvpn.exe", {"--config", QString::fromStdString(c.path)});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.output.rfind("Options error: In " + c.path, 0), 0u) << run.output;
        EXPECT_EQ(Args(), "");
    }
}

TEST_F(BundleScripts, TunnelDnsHandsTheTunnelsDnsToResolvconfAndTakesItAway) {
    FakeResolvconf();
    const std::string script = kBundle + "/bin/OpenVPN/tunnel-dns";
    // Up: the profile's and the pushed options, each once, the unusable ones said and left.
    ScriptRun run = ExecWith(script, {"tun0", "1500", "0", "10.8.0.2", "255.255.255.0", "init"},
                             {{"script_type", "up"},
                              {"dev", "tun0"},
                              {"foreign_option_1", "dhcp-option DNS 10.8.0.1"},
                              {"foreign_option_2", "dhcp-option DOMAIN corp.example"},
                              {"foreign_option_3", "dhcp-option DNS 10.8.0.1"},
                              {"foreign_option_4", "dhcp-option DNS6 fd00::53"},
                              {"foreign_option_5", "dhcp-option DNS 1.2.3.4;reboot"},
                              {"foreign_option_6", "dhcp-option WINS 10.8.0.9"},
                              {"dns_server_0_address_1", "10.8.0.53"},
                              {"dns_search_domain_1", "lab.example"}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Record("tun0.korva"), "search corp.example lab.example\nnameserver 10.8.0.1\nnameserver "
                                    "fd00::53\nnameserver 10.8.0.53\n");
    EXPECT_NE(Args().find("resolvconf\n[-a]\n[tun0.korva]\n[-m]\n[0]\n[-x]\n"), std::string::npos) << Args();
    EXPECT_NE(run.output.find("ignored DNS server: 1.2.3.4;reboot"), std::string::npos) << run.output;

    // A tunnel without DNS, or with a device name that is none, leaves the resolver alone.
    QFile::remove(QString::fromStdString(argLog));
    EXPECT_EQ(ExecWith(script, {}, {{"script_type", "up"}, {"dev", "tun1"}}).exitCode, 0);
    EXPECT_EQ(
        ExecWith(script, {},
                 {{"script_type", "up"}, {"dev", "tun1;x"}, {"foreign_option_1", "dhcp-option DNS 10.8.0.1"}})
            .exitCode,
        0);
    EXPECT_EQ(ExecWith(script, {}, {{"script_type", "down"}, {"dev", "tun1"}}).exitCode, 0);
    EXPECT_EQ(Args().find("[-a]"), std::string::npos) << Args();
    EXPECT_EQ(Args().find("[-d]"), std::string::npos) << Args();

    // Down takes the tunnel's own record away; clean takes every tunnel's, no other record.
    EXPECT_EQ(ExecWith(script, {}, {{"script_type", "down"}, {"dev", "tun0"}}).exitCode, 0);
    EXPECT_FALSE(HasRecord("tun0.korva"));
    for (const char* name : {"tun3.korva", "tun4.korva", "eth0.dhcp"}) {
        WriteText(records + "/" + name, "nameserver 192.0.2.1\n");
    }
    EXPECT_EQ(Exec(script, {"clean"}).exitCode, 0);
    EXPECT_FALSE(HasRecord("tun3.korva"));
    EXPECT_FALSE(HasRecord("tun4.korva"));
    EXPECT_TRUE(HasRecord("eth0.dhcp"));
    EXPECT_EQ(Exec(script, {}).exitCode, 2) << "neither openvpn's call nor clean";
}

TEST_F(BundleScripts, OpenVPNAddsTheAdapterTexts) {
    struct Case {
        std::string printed;
        std::string added;
    } cases[] = {
        {"2026-01-01 net_addr_v4_add: 10.8.0.6/24 dev tap0",
         "Notified TAP-Windows driver to set a DHCP IP/netmask of 10.8.0.6/255.255.255.0"},
        {"net_addr_v4_add: 172.16.3.9/20 dev tun0",
         "Notified TAP-Windows driver to set a DHCP IP/netmask of 172.16.3.9/255.255.240.0"},
        {"net_addr_v4_add: 10.1.2.3/32 dev tun0",
         "Notified TAP-Windows driver to set a DHCP IP/netmask of 10.1.2.3/255.255.255.255"},
        {"net_addr_ptp_v4_add: 10.8.0.6 peer 10.8.0.5 dev tun0",
         "Notified TAP-Windows driver to set a DHCP IP/netmask of 10.8.0.6/255.255.255.252"},
        {"Cannot open TUN/TAP dev /dev/net/tun: No such file or directory (errno=2)",
         "There are no TAP-Windows adapters on this system"},
        {"Cannot ioctl TUNSETIFF tap0: Device or resource busy (errno=16)",
         "All TAP-Windows adapters on this system are currently in use"},
    };
    for (const auto& c : cases) {
        Fake("openvpn", "printf '%s\\n' '" + c.printed + "'\n");
        ScriptRun run = Exec(kBundle + "/bin/OpenVPN/openvpn.exe", {});
        EXPECT_EQ(run.output, c.printed + "\n" + c.added + "\n");
    }
    Fake("openvpn",
         "printf 'AUTH: Received control message: AUTH_FAILED\\nlast line without break'\nexit 1\n");
    ScriptRun run = Exec(kBundle + "/bin/OpenVPN/openvpn.exe", {});
    EXPECT_EQ(run.output, "AUTH: Received control message: AUTH_FAILED\nlast line without break\n");
    EXPECT_EQ(run.exitCode, 1);
}

TEST_F(BundleScripts, WireGuardInstallsAndUninstallsUnderTheMappedInterfaceName) {
    FakeLinks();
    // "office" is an interface name; the others are not and map to "wg" + 13 hex digits.
    struct Case {
        std::string name;
        QStringList uninstallArgs;
        bool mapped;
    } cases[] = {
        {"office", {"office"}, false},
        {"home office", {"home", "office"}, true},
        {"a-name-longer-than-15", {"a-name-longer-than-15"}, true},
        {"Büro", {"Büro"}, true},
    };
    for (const auto& c : cases) {
        QFile::remove(QString::fromStdString(argLog));
        std::string conf = WriteConf(c.name, "[Interface]\nAddress = 10.0.0.1/24\n");

        ScriptRun up = Install(conf);
        EXPECT_EQ(up.exitCode, 0) << up.output;
        EXPECT_EQ(up.output, "Tunnel service " + c.name + " installed\n");
        const std::string args = Args();
        std::string ifname = args.substr(args.find("wg-quick\n[up]\n[" + runDir + "/") + runDir.size() + 16);
        ifname = ifname.substr(0, ifname.find(".conf]"));
        if (c.mapped) {
            EXPECT_EQ(ifname.size(), 15u) << ifname;
            EXPECT_EQ(ifname.rfind("wg", 0), 0u) << ifname;
        } else {
            EXPECT_EQ(ifname, c.name);
        }
        struct stat st {};
        ASSERT_EQ(stat((runDir + "/" + ifname + ".conf").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(ReadText(runDir + "/" + ifname + ".name"), c.name + "\n");
        // The interface it made is recorded by its index.
        const std::string index = ReadText(runDir + "/" + ifname + ".ifindex");
        EXPECT_EQ(Links(), index.substr(0, index.size() - 1) + " " + ifname + "\n");

        // The same name, given again (split at blanks), finds the same interface.
        QFile::remove(QString::fromStdString(argLog));
        ScriptRun down = Uninstall(c.uninstallArgs);
        EXPECT_EQ(down.exitCode, 0) << down.output;
        EXPECT_EQ(down.output, "Tunnel service " + c.name + " uninstalled\n");
        EXPECT_NE(Args().find("wg-quick\n[down]\n[" + runDir + "/" + ifname + ".conf]\n"), std::string::npos)
            << Args();
        EXPECT_EQ(Links(), "");
        for (const char* record : {".conf", ".name", ".ifindex"}) {
            EXPECT_FALSE(QFile::exists(QString::fromStdString(runDir + "/" + ifname + record))) << record;
        }
    }
}

TEST_F(BundleScripts, WireGuardNeverTouchesAnInterfaceItDidNotMake) {
    FakeLinks();
    // A bridge and a tap device of the machine, and a tunnel of ours whose interface was
    // since replaced by a foreign one of the same name.
    WriteText(links, "3 docker0\n4 tap0\n7 wg-old\n");
    QDir().mkpath(QString::fromStdString(runDir));
    WriteText(runDir + "/wg-old.ifindex", "5\n");
    WriteText(runDir + "/wg-old.conf", "[Interface]\n");
    const std::string before = Links();

    for (const std::string& name : std::vector<std::string>{"docker0", "tap0", "wg-old"}) {
        QFile::remove(QString::fromStdString(argLog));
        ScriptRun up = Install(WriteConf(name, "[Interface]\n"));
        EXPECT_EQ(up.exitCode, 1) << name;
        EXPECT_EQ(up.output,
                  "Error: network interface " + name + " was not made by this tool; it is left as it is\n");
        ScriptRun down = Uninstall({QString::fromStdString(name)});
        EXPECT_EQ(down.exitCode, 1) << name;
        EXPECT_EQ(down.output, up.output);
        EXPECT_EQ(Args().find("wg-quick"), std::string::npos) << Args();
        EXPECT_EQ(Args().find("[del]"), std::string::npos) << Args();
        EXPECT_EQ(Links(), before);
    }
}

TEST_F(BundleScripts, WireGuardTakesDownItsOwnTunnelLeftUpBeforeInstalling) {
    FakeLinks();
    std::string conf = WriteConf("office", "[Interface]\n");
    ASSERT_EQ(Install(conf).exitCode, 0);
    EXPECT_EQ(Links(), "11 office\n");
    QFile::remove(QString::fromStdString(argLog));
    ScriptRun again = Install(conf);
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(Args().find("wg-quick\n[down]\n[" + runDir + "/office.conf]\nip\n"), std::string::npos)
        << Args();
    EXPECT_EQ(Links(), "12 office\n");
    EXPECT_EQ(ReadText(runDir + "/office.ifindex"), "12\n");

    // A tunnel whose interface went away by itself leaves only records: uninstalling
    // clears them.
    WriteText(links, "");
    ScriptRun down = Uninstall({"office"});
    EXPECT_EQ(down.exitCode, 0) << down.output;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(runDir + "/office.ifindex")));
}

TEST_F(BundleScripts, WireGuardReportsFailures) {
    FakeLinks();
    Fake("wg-quick", "echo 'RTNETLINK answers: Operation not permitted' >&2\nexit 1\n");
    std::string conf = WriteConf("t1", "[Interface]\n");
    ScriptRun up = Install(conf);
    EXPECT_EQ(up.exitCode, 1);
    EXPECT_NE(up.output.find("Operation not permitted"), std::string::npos) << up.output;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(runDir + "/t1.conf")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(runDir + "/t1.ifindex")));

    ScriptRun missing = Install(project.path + "/none.conf");
    EXPECT_EQ(missing.exitCode, 1);
    ScriptRun notInstalled = Uninstall({"t1"});
    EXPECT_EQ(notInstalled.exitCode, 1);
    EXPECT_EQ(notInstalled.output, "Error: tunnel service t1 is not installed\n");
    EXPECT_EQ(Exec(kBundle + "/bin/Wireguard/wireguard", {"/other", "x"}).exitCode, 2);
}

TEST_F(BundleScripts, WireGuardInstallsNoCommandsFromTheConfiguration) {
    FakeLinks();
    std::string conf =
        WriteConf("office", "[Interface]\nPostUp = touch /tmp/x\n  preup=id\nPOSTDOWN = id # note\n"
                            "PreDown\t= id\nAddress = 10.0.0.1/24\n# PostUp = kept as a comment\n\n"
                            "[Peer]\nPublicKey = K=\nPostUpExtra = stays\n");
    ScriptRun up = Install(conf);
    EXPECT_EQ(up.exitCode, 0) << up.output;
    EXPECT_EQ(ReadText(runDir + "/office.conf"), "[Interface]\nAddress = 10.0.0.1/24\n"
                                                 "# PostUp = kept as a comment\n\n"
                                                 "[Peer]\nPublicKey = K=\nPostUpExtra = stays\n");
}

TEST_F(BundleScripts, WireGuardHandsOnlyCheckedValuesToWgQuickAndItsDnsToResolvconf) {
    FakeLinks();
    FakeResolvconf();
    // Servers and search domains as real profiles mix them: wg-quick never sees the DNS
    // line; the tool gives resolvconf the checked values under a record of the tunnel's own
    // and takes them away with the tunnel.
    std::string conf = WriteConf("office", "[Interface]\nAddress = 10.0.0.2/32, fd00::2/128\n"
                                           "DNS = 10.0.0.1,fd00::1 , corp.example, lab.corp.example.\n"
                                           "MTU = 1420\n\n[Peer]\nAllowedIPs = 0.0.0.0/0\n");
    ScriptRun up = Install(conf);
    ASSERT_EQ(up.exitCode, 0) << up.output;
    EXPECT_EQ(
        ReadText(runDir + "/office.conf"),
        "[Interface]\nAddress = 10.0.0.2/32, fd00::2/128\nMTU = 1420\n\n[Peer]\nAllowedIPs = 0.0.0.0/0\n");
    EXPECT_EQ(Record("office.korva-wg"),
              "nameserver 10.0.0.1\nnameserver fd00::1\nsearch corp.example lab.corp.example.\n");
    ASSERT_EQ(Uninstall({"office"}).exitCode, 0);
    EXPECT_FALSE(HasRecord("office.korva-wg"));

    // A value that is no address, name or number: nothing reaches wg-quick or resolvconf,
    // and the tool says which key it refused.
    const std::string marker = project.path + "/marker";
    QDir().mkpath(QString::fromStdString(project.path + "/secret"));
    WriteText(project.path + "/secret/root-only-name", "");
    struct Case {
        std::string line;
        std::string key;
    } cases[] = {
        {"DNS = 10.9.231.1,1:$(touch " + marker + ")", "DNS"},
        {"DNS = " + project.path + "/secret/*", "DNS"},
        {"DNS = 10.9.0.1,`touch " + marker + "`", "DNS"},
        {"dns=10.9.0.1;touch " + marker, "DNS"},
        {"DNS = 10.9.0.1 10.9.0.2", "DNS"},
        {"DNS = 10.9.0.1,", "DNS"},
        {"Address = 10.0.0.2/24," + project.path + "/secret/*", "Address"},
        {"Address = 10.0.0.2/33", "Address"},
        {"MTU = 1420 $(touch " + marker + ")", "MTU"},
    };
    for (const Case& c : cases) {
        QFile::remove(QString::fromStdString(argLog));
        conf = WriteConf("office", "[Interface]\nAddress = 10.0.0.2/32\n" + c.line + "\n");
        ScriptRun refused = Install(conf);
        EXPECT_EQ(refused.exitCode, 1) << c.line;
        EXPECT_EQ(refused.output, "Error: the " + c.key + " value of tunnel office is not allowed\n")
            << c.line;
        EXPECT_EQ(Args().find("wg-quick"), std::string::npos) << c.line << Args();
        EXPECT_EQ(Args().find("resolvconf"), std::string::npos) << c.line << Args();
        EXPECT_FALSE(QFile::exists(QString::fromStdString(runDir + "/office.conf"))) << c.line;
        EXPECT_EQ(Links(), "");
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(marker)));
}

TEST_F(BundleScripts, IPsecBackendFollowsWhetherTheKernelTakesESP) {
    // unshare runs the command in place; ip answers the ESP association as told.
    Fake("unshare", "shift; exec \"$@\"\n");
    const std::string out = project.path + "/charon-backend.conf";
    struct Case {
        std::string ip;
        std::string first;
        bool userSpace;
    } cases[] = {
        {"exit 0\n", "# IPsec backend kernel-netlink: the kernel takes ESP security associations", false},
        {"echo 'Error: Requested type not found.' >&2\nexit 2\n",
         "# IPsec backend kernel-libipsec: the kernel takes no ESP security associations", true},
    };
    for (const Case& c : cases) {
        QFile::remove(QString::fromStdString(argLog));
        Fake("ip", c.ip);
        ScriptRun run = Exec(kBundle + "/bin/ipsec/ipsec-backend.sh", {QString::fromStdString(out)});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output, "");
        const std::string conf = ReadText(out);
        EXPECT_EQ(conf.rfind(c.first, 0), 0u) << conf;
        const std::string tail = "kernel-netlink socket-default vici\n";
        EXPECT_EQ(conf.substr(conf.size() - tail.size()), tail) << conf;
        EXPECT_EQ(conf.find(" pubkey kernel-libipsec kernel-netlink ") != std::string::npos, c.userSpace)
            << conf;
        // The probe: one ESP association with documentation addresses, in a namespace of
        // its own.
        EXPECT_NE(Args().find("unshare\n[--net]\n[ip]\n[xfrm]\n[state]\n[add]\n[src]\n[192.0.2.1]\n[dst]\n"
                              "[192.0.2.2]\n[proto]\n[esp]\n"),
                  std::string::npos)
            << Args();
    }
}

TEST_F(BundleScripts, AddTapNamesTheAdapterRecordsItAndFailsWithIp) {
    const std::string records = project.path + "/korva-run";
    setenv("KORVA_RUN_DIR", records.c_str(), 1);
    // ip lists the new device with its index 7.
    Fake("ip", "[ \"$1\" = -o ] && echo \"7: ${5}: <BROADCAST,MULTICAST> mtu 1500\"\nexit 0\n");
    ScriptRun ok = Exec(kBundle + "/driver/addtap.bat", {});
    EXPECT_EQ(ok.exitCode, 0) << ok.output;
    std::string args = Args();
    EXPECT_NE(args.find("ip\n[tuntap]\n[add]\n[dev]\n[tap"), std::string::npos) << args;
    EXPECT_NE(args.find("[alias]\n[TAP-Windows Adapter V9"), std::string::npos) << args;
    const std::string device = ok.output.substr(ok.output.find("Created ") + 8, 4);
    EXPECT_EQ(ReadText(records + "/tap/" + device), "7\n") << ok.output;

    // A device that cannot be recorded is not left behind.
    Fake("ip", "exit 0\n");
    ScriptRun unrecorded = Exec(kBundle + "/driver/addtap.bat", {});
    EXPECT_NE(unrecorded.exitCode, 0);
    EXPECT_NE(Args().find("ip\n[tuntap]\n[del]"), std::string::npos) << Args();

    Fake("ip", "exit 1\n");
    EXPECT_NE(Exec(kBundle + "/driver/addtap.bat", {}).exitCode, 0);
    unsetenv("KORVA_RUN_DIR");
}

// The real ip in a network namespace of its own (with its own view of /sys): the adapter
// that addtap.bat made goes, one the client did not make stays, and a record whose device
// was replaced is dropped without touching that device.
TEST_F(BundleScripts, DelTapMadeRemovesOnlyTheAdaptersTheClientMade) {
    if (geteuid() != 0 || access("/dev/net/tun", R_OK | W_OK) != 0) {
        GTEST_SKIP() << "making TAP devices needs root and /dev/net/tun";
    }
    const std::string records = project.path + "/korva-run";
    const std::string script =
        "set -e\n"
        "mount -t sysfs sysfs /sys\n"
        "export KORVA_RUN_DIR='" +
        records +
        "'\n"
        "'" +
        kBundle +
        "/driver/addtap.bat' >/dev/null\n"
        "'" +
        kBundle +
        "/driver/addtap.bat' >/dev/null\n"
        // Someone else's adapter of the same kind, and tap1 replaced by another device.
        "ip tuntap add dev tap7 mode tap && ip link set dev tap7 alias 'TAP-Windows Adapter V9 #9'\n"
        "ip tuntap del dev tap1 mode tap && ip tuntap add dev tap1 mode tap\n"
        "ip link set dev tap1 alias 'TAP-Windows Adapter V9'\n"
        "'" +
        kBundle +
        "/driver/deltapmade.bat'\n"
        "ls /sys/class/net | sort | tr '\\n' ' '\n"
        "echo\n"
        "ls \"$KORVA_RUN_DIR/tap\" | tr '\\n' ' '\n";
    const ScriptRun run =
        Exec("/usr/bin/unshare", {QStringLiteral("--net"), QStringLiteral("--mount"), QStringLiteral("bash"),
                                  QStringLiteral("-c"), QString::fromStdString(script)});
    const std::string& output = run.output;
    ASSERT_EQ(run.exitCode, 0) << output;
    EXPECT_NE(output.find("Removed tap0"), std::string::npos) << output;
    EXPECT_EQ(output.find("Removed tap1"), std::string::npos) << output;
    EXPECT_NE(output.find("lo tap1 tap7 \n"), std::string::npos) << output;
    EXPECT_EQ(output.substr(output.rfind('\n') + 1), "") << "no record is left: " << output;
}

} // namespace
