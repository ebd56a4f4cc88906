// OpenVPNContext: the TAP adapter test over a given adapter list, the adapter script
// (a double in the project folder) with its failures and time limit, the process
// record and the row forwarding.
#include <QElapsedTimer>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "IPCSqlite.h"
#include "NetworkAdapters.h"
#include "OpenVPNContext.h"
#include "TunnelTestSupport.h"

namespace {

NetworkAdapter Adapter(const char* name, const char* description) {
    NetworkAdapter adapter;
    adapter.name = name;
    adapter.description = description;
    adapter.ip = "0.0.0.0";
    adapter.mask = "0.0.0.0";
    return adapter;
}

class OpenVPNContextTest : public ::testing::Test {
protected:
    // A machine whose kernel makes no TAP devices on demand, unless a test says otherwise.
    void SetUp() override {
        Adapters({});
        SetTunDevicePath(project.path + "/no-tun");
    }
    void TearDown() override {
        SetNetworkAdapterSource(nullptr);
        SetTunDevicePath("");
    }
    void Adapters(std::vector<NetworkAdapter> list) {
        SetNetworkAdapterSource([list] { return list; });
    }
    // The adapter script double counts its runs in a file.
    void CountingScript(const std::string& name, int exitCode) {
        project.Script("driver/" + name, "echo run >> '" + project.path + "/" + name + ".runs'\nexit " +
                                             std::to_string(exitCode) + "\n");
    }
    int Runs(const std::string& name) {
        std::string text = ReadText(project.path + "/" + name + ".runs");
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    ProjectFolder project;
};

TEST_F(OpenVPNContextTest, TapAdapterIsFoundByItsDescription) {
    struct Case {
        std::vector<NetworkAdapter> adapters;
        bool found;
    } cases[] = {
        {{}, false},
        {{Adapter("eth0", "eth0")}, false},
        {{Adapter("eth0", "eth0"), Adapter("tap0", "TAP-Windows Adapter V9")}, true},
        {{Adapter("tap3", "TAP-Windows Adapter V9 #2")}, true},
        {{Adapter("tap0", "tap-windows adapter v9")}, false},
        {{Adapter("tap0", "TAP-Windows Adapter V8")}, false},
    };
    for (const auto& c : cases) {
        Adapters(c.adapters);
        EXPECT_EQ(OpenVPNContext::HasTapAdapter(), c.found) << c.adapters.size();
    }
}

TEST_F(OpenVPNContextTest, CreatesAnAdapterOnlyWhenNoneExists) {
    CountingScript("addtap.bat", 0);
    Adapters({Adapter("tap0", "TAP-Windows Adapter V9 #2")});
    { OpenVPNContext context; }
    EXPECT_EQ(Runs("addtap.bat"), 0);

    Adapters({Adapter("eth0", "Ethernet")});
    OpenVPNContext context;
    EXPECT_EQ(Runs("addtap.bat"), 1);
    EXPECT_EQ(context.EnsureTapAdapter(), 0);
    EXPECT_EQ(Runs("addtap.bat"), 2);
    EXPECT_EQ(context.AddTapAdapter(), 0);
    EXPECT_EQ(Runs("addtap.bat"), 3);
    EXPECT_EQ(project.Log().find("Create TAP-Windows-Adapter failed"), std::string::npos);
}

TEST_F(OpenVPNContextTest, NoAdapterIsMadeWhereTheKernelMakesThemOnDemand) {
    CountingScript("addtap.bat", 0);
    Adapters({Adapter("eth0", "Ethernet")});
    struct Case {
        std::string device;
        int runs;
    } cases[] = {
        {"/dev/null", 0},              // a character device answers
        {project.path + "/no-tun", 1}, // none there
        {project.path + "/plain", 2},  // a regular file is no device
    };
    WriteText(project.path + "/plain", "", 0644);
    for (const Case& c : cases) {
        SetTunDevicePath(c.device);
        { OpenVPNContext context; }
        EXPECT_EQ(Runs("addtap.bat"), c.runs) << c.device;
    }
    SetTunDevicePath("");
    if (access("/dev/net/tun", R_OK | W_OK) == 0) {
        EXPECT_TRUE(TapDevicesCanBeMade()) << "this machine's tun driver";
    }
}

TEST_F(OpenVPNContextTest, MadeAdaptersGoOnlyWhenThereAreAny) {
    const std::string records = project.path + "/run";
    const std::string sandboxRun = getenv("KORVA_RUN_DIR") != nullptr ? getenv("KORVA_RUN_DIR") : "";
    setenv("KORVA_RUN_DIR", records.c_str(), 1);
    CountingScript("deltapmade.bat", 0);
    EXPECT_EQ(OpenVPNContext::DeleteMadeTapAdapters(), 0);
    EXPECT_EQ(Runs("deltapmade.bat"), 0) << "nothing made, nothing run";

    // The look made the run folder and its records folder.
    ASSERT_TRUE(WriteText(records + "/tap/tap4", "9\n", 0600));
    EXPECT_EQ(OpenVPNContext::DeleteMadeTapAdapters(), 0);
    EXPECT_EQ(Runs("deltapmade.bat"), 1);

    CountingScript("deltapmade.bat", 1);
    EXPECT_EQ(OpenVPNContext::DeleteMadeTapAdapters(), -1);
    EXPECT_NE(project.Log().find("OpenVPN :: Delete TAP-Windows-Adapter failed!\n"), std::string::npos);
    setenv("KORVA_RUN_DIR", sandboxRun.c_str(), 1);
}

TEST_F(OpenVPNContextTest, MissingOrFailingScriptGivesMinusOne) {
    // No script at all: the constructor still completes.
    OpenVPNContext context;
    EXPECT_NE(project.Log().find("OpenVPN :: Create TAP-Windows-Adapter failed!\n"), std::string::npos);
    EXPECT_EQ(context.AddTapAdapter(), -1);
    EXPECT_EQ(context.DeleteAllTapAdapters(), -1);
    EXPECT_NE(project.Log().find("OpenVPN :: Delete all TAP-Windows-Adapter failed!\n"), std::string::npos);

    // A script that runs and fails is a failure too.
    CountingScript("addtap.bat", 3);
    CountingScript("deltapall.bat", 1);
    EXPECT_EQ(context.AddTapAdapter(), -1);
    EXPECT_EQ(context.DeleteAllTapAdapters(), -1);
    EXPECT_EQ(Runs("addtap.bat"), 1);
    EXPECT_EQ(Runs("deltapall.bat"), 1);

    CountingScript("deltapall.bat", 0);
    EXPECT_EQ(context.DeleteAllTapAdapters(), 0);
}

TEST_F(OpenVPNContextTest, HungScriptIsEndedAtTheTimeLimit) {
    const std::string pidFile = project.path + "/child.pid";
    // The script leaves a child behind that would hold on as long as it.
    project.Script("driver/addtap.bat", "sleep 300 &\necho $! > '" + pidFile + "'\nwait\n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(RunHiddenCommand("./driver/addtap.bat", 1000), -1);
    EXPECT_LT(clock.elapsed(), 60000);
    int child = std::atoi(ReadText(pidFile).c_str());
    ASSERT_GT(child, 1);
    // The whole process group was ended.
    bool gone = false;
    for (int i = 0; i < 1500 && !gone; ++i) {
        gone = kill(child, 0) != 0;
        if (!gone) {
            usleep(20000);
        }
    }
    EXPECT_TRUE(gone);
    EXPECT_EQ(RunHiddenCommand("", 1000), -1);
    EXPECT_EQ(RunHiddenCommand(nullptr, 1000), -1);
}

TEST_F(OpenVPNContextTest, ScriptStartsWithDefaultSignals) {
    // Exits 0 only when SIGPIPE is neither ignored nor blocked in the script.
    project.Script("driver/addtap.bat", "ign=$(awk '/^SigIgn/{print $2}' /proc/$$/status)\n"
                                        "blk=$(awk '/^SigBlk/{print $2}' /proc/$$/status)\n"
                                        "(( (16#$ign & 0x1000) == 0 && (16#$blk & 0x1000) == 0 ))\n");
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    sigset_t pipeOnly;
    sigset_t previousMask;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previousMask);
    int result = RunHiddenCommand("./driver/addtap.bat", 60000);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGPIPE, &previous, nullptr);
    EXPECT_EQ(result, 0);
}

TEST_F(OpenVPNContextTest, KeepsTheLastProcessRecord) {
    CountingScript("addtap.bat", 0);
    OpenVPNContext context;
    PROCESS_INFORMATION info;
    info.dwProcessId = 4242;
    info.dwThreadId = 7;
    context.SetProcessInfo(info);
    EXPECT_EQ(context.GetProcessInfo().dwProcessId, 4242);
    EXPECT_EQ(context.GetProcessInfo().dwThreadId, 7);
}

TEST(Utf8ToUtf16, ConvertsEveryCharacter) {
    EXPECT_EQ(Utf8ToUtf16("./driver/addtap.bat"), u"./driver/addtap.bat");
    EXPECT_EQ(Utf8ToUtf16("B\xC3\xBCro \xF0\x9F\x94\x92"), u"B\u00FCro \U0001F512");
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf8ToUtf16(nullptr), u"");
}

TEST_F(OpenVPNContextTest, ForwardsRowsToTheStore) {
    CountingScript("addtap.bat", 0);
    IPCSqlite store;
    ASSERT_EQ(store.Init((project.path + "/vpn.db").c_str()), 0);
    OpenVPNContext context;
    EXPECT_EQ(context.SetSqlite(&store), 0);

    OpenVPNInfo info;
    std::strcpy(info.ServerIP, "vpn.example.org");
    info.ServerPort = 1194;
    std::strcpy(info.UserName, "o'brien");
    info.VPNConfig = "client\nremote vpn.example.org 1194\n";
    EXPECT_EQ(context.AddOpenVPNInfo(&info, 0), 0);
    EXPECT_EQ(info.ID, 0);
    ASSERT_EQ(context.AddOpenVPNInfo(&info, 1), 0);
    ASSERT_GT(info.ID, 0);

    OpenVPNInfo read;
    read.VPNConfig = "stale";
    std::strcpy(read.LocalDns, "stale");
    ASSERT_EQ(context.GetOpenVPNInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.UserName, "o'brien");
    EXPECT_EQ(read.VPNConfig, info.VPNConfig);
    EXPECT_STREQ(read.LocalDns, "");
    EXPECT_EQ(context.GetOpenVPNInfoByID(info.ID, nullptr), -1);

    std::strcpy(info.UserPwd, "secret");
    EXPECT_EQ(context.UpdateOpenVPNInfo(&info, 0), 0);
    ASSERT_EQ(context.GetOpenVPNInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.UserPwd, "");
    EXPECT_EQ(context.UpdateOpenVPNInfo(&info, 1), 0);
    ASSERT_EQ(context.GetOpenVPNInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.UserPwd, "secret");

    EXPECT_EQ(context.DeleteOpenVPNInfo(&info), 0);
    ASSERT_EQ(context.GetOpenVPNInfoByID(info.ID, &read), 0);
    EXPECT_STREQ(read.ServerIP, "");
    EXPECT_TRUE(read.VPNConfig.empty());
    EXPECT_EQ(OpenVPNContext::ToResultCode(5), -1);
    EXPECT_EQ(OpenVPNContext::ToResultCode(0), 0);
    EXPECT_EQ(store.DeInit(), 0);
}

} // namespace
