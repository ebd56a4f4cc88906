// The system helpers: single instance across processes, version and architecture, the
// start-with-system entry, folders, and the system queries.
#include "PlatformTestSupport.h"
#include "ProcessPipe.h"
#include "SystemHelpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/utsname.h>

using namespace platformtest;

namespace {

const std::string kChild = PLATFORM_CHILD;

std::string ChildSays(const std::string& arguments) {
    ProcessPipe pipe;
    return pipe.ExecuteCommand((kChild + " " + arguments).c_str(), true);
}

TEST(IsAlreadyRunning, ASecondProcessSeesTheFirstUntilItEnds) {
    const std::string held = "Korva VPN.exe";
    EXPECT_FALSE(IsAlreadyRunning(held.c_str()));
    EXPECT_TRUE(Exists(std::string(getenv("KORVA_RUN_DIR")) + "/" + held));
    EXPECT_EQ(ChildSays("instance \"" + held + "\""), "running");
    // The same process asking again finds its own holder, as a named mutex would.
    EXPECT_TRUE(IsAlreadyRunning(held.c_str()));

    // A child that held the name and ended leaves it free.
    EXPECT_EQ(ChildSays("instance other-name"), "first");
    EXPECT_TRUE(WaitUntil([] { return !IsAlreadyRunning("other-name"); }));
    EXPECT_EQ(ChildSays("instance other-name"), "running");
}

TEST(IsAlreadyRunning, AFailureCountsAsNotRunning) {
    EXPECT_FALSE(IsAlreadyRunning("no/such/folder"));
    EXPECT_FALSE(IsAlreadyRunning(""));
}

TEST(IgnoreBrokenPipeSignal, AWriteToAPipeNobodyReadsFails) {
    IgnoreBrokenPipeSignal();
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    errno = 0;
    EXPECT_EQ(write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(ends[1]);
    signal(SIGPIPE, SIG_DFL);
}

TEST(VersionAndArchitecture, ComeFromTheBuild) {
    char version[64];
    EXPECT_EQ(GetSoftVersion(version), 0);
    EXPECT_EQ(std::string(version), std::to_string(KORVA_VERSION_MAJOR) + "." +
                                        std::to_string(KORVA_VERSION_MINOR) + "." +
                                        std::to_string(KORVA_VERSION_PATCH));
    char arch[16];
    GetArchName(arch);
    EXPECT_STREQ(arch, "x64");
}

class AutoStart : public ::testing::Test {
protected:
    void SetUp() override {
        folder = WorkDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        setenv("XDG_CONFIG_DIRS", (folder + ":" + WorkDir() + "/xdg-b").c_str(), 1);
        entry = folder + "/autostart/Korva VPN.desktop";
    }
    std::string folder;
    std::string entry;
};

TEST_F(AutoStart, OnWritesTheEntryInTheFirstFolderAndOffRemovesIt) {
    EXPECT_FALSE(IsAutoStartSet("Korva VPN"));
    EXPECT_EQ(SetAutoStart("Korva VPN", "/opt/korva/Korva VPN", true), 0);
    EXPECT_EQ(ReadText(entry), "[Desktop Entry]\nType=Application\nName=Korva VPN\n"
                               "Exec=\"/opt/korva/Korva VPN\"\nPath=/opt/korva\n"
                               "X-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(IsAutoStartSet("Korva VPN"));

    // Characters the entry format reserves are escaped; the entry is replaced whole.
    EXPECT_EQ(SetAutoStart("Korva VPN", "/opt/a \"b\" $c\\d%e`f", true), 0);
    EXPECT_NE(ReadText(entry).find("Exec=\"/opt/a \\\\\"b\\\\\" \\\\$c\\\\\\\\d%%e\\\\`f\"\n"),
              std::string::npos)
        << ReadText(entry);
    EXPECT_NE(ReadText(entry).find("\nPath=/opt\n"), std::string::npos) << ReadText(entry);
    // The working folder is a plain string value: only its backslashes are escaped.
    EXPECT_EQ(SetAutoStart("Korva VPN", "/opt/a \"b\" $c\\d%e`f/korva", true), 0);
    EXPECT_NE(ReadText(entry).find("\nPath=/opt/a \"b\" $c\\\\d%e`f\n"), std::string::npos)
        << ReadText(entry);

    EXPECT_EQ(SetAutoStart("Korva VPN", nullptr, false), 0);
    EXPECT_FALSE(Exists(entry));
    EXPECT_FALSE(IsAutoStartSet("Korva VPN"));
    // Off for an entry that is not there is fine.
    EXPECT_EQ(SetAutoStart("Korva VPN", nullptr, false), 0);
}

TEST_F(AutoStart, AFailedWriteIsReported) {
    // The folder cannot be made under a plain file.
    ASSERT_TRUE(std::ofstream(WorkDir() + "/plain-file").good());
    setenv("XDG_CONFIG_DIRS", (WorkDir() + "/plain-file/xdg").c_str(), 1);
    EXPECT_EQ(SetAutoStart("Korva VPN", "/opt/korva/korva", true), -1);

    // The entry's place is taken by a folder: the rename fails, no temporary file stays.
    setenv("XDG_CONFIG_DIRS", folder.c_str(), 1);
    char made[kMaxPath];
    ASSERT_EQ(
        MakeWorkDirFolder(made, (folder.substr(WorkDir().size()) + "/autostart/Korva VPN.desktop/x").c_str()),
        0);
    EXPECT_EQ(SetAutoStart("Korva VPN", "/opt/korva/korva", true), -1);
    EXPECT_EQ(ReadText(folder + "/autostart/Korva VPN.desktop/x"), "");
    EXPECT_EQ(SetAutoStart("Korva VPN", nullptr, false), -1);
}

TEST_F(AutoStart, NamesAndPathsThatCannotStandInAnEntryAreRefused) {
    for (const char* name : {"", ".", "..", "../escape", "a/b", "line\nbreak"}) {
        EXPECT_EQ(SetAutoStart(name, "/opt/korva/korva", true), -1) << name;
    }
    EXPECT_EQ(SetAutoStart("Korva VPN", "/opt/korva\nExec=/bin/evil", true), -1);
    EXPECT_EQ(SetAutoStart("Korva VPN", "", true), -1);
    EXPECT_FALSE(Exists(entry));
}

TEST(Folders, TheDataFolderIsMadeUnderTheConfigurationHome) {
    char path[kMaxPath] = {0};
    ASSERT_EQ(MakeSpecialFolder(path, "\\Halvex\\Korva VPN\\", CSIDL_APPDATA), 0);
    const std::string expected = std::string(getenv("XDG_CONFIG_HOME")) + "/Halvex/Korva VPN/";
    EXPECT_EQ(std::string(path), expected);
    struct stat info;
    ASSERT_EQ(stat(expected.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // An existing folder is left as it is.
    ASSERT_EQ(chmod(expected.c_str(), 0750), 0);
    EXPECT_EQ(MakeSpecialFolder(path, "/Halvex/Korva VPN/", CSIDL_APPDATA), 0);
    ASSERT_EQ(stat(expected.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u);

    EXPECT_EQ(MakeWorkDirFolder(path, "/Config/openvpn"), 0);
    EXPECT_EQ(std::string(path), WorkDir() + "/Config/openvpn");
    EXPECT_TRUE(Exists(path));
}

TEST(Folders, FailuresLeaveTheBufferUnharmed) {
    EXPECT_EQ(MakeSpecialFolder(nullptr, "/x/", CSIDL_APPDATA), -1);
    EXPECT_EQ(MakeWorkDirFolder(nullptr, "/x"), -1);
    char path[kMaxPath + 8];
    std::memset(path, 'g', sizeof(path));
    EXPECT_EQ(MakeSpecialFolder(path, "/x/", 12345), -1);
    // A configuration home that leaves no room for the suffix: refused, nothing written.
    const std::string saved = getenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", ("/" + std::string(250, 'c')).c_str(), 1);
    EXPECT_EQ(MakeSpecialFolder(path, "/Halvex/Korva VPN/", CSIDL_APPDATA), -1);
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    EXPECT_EQ(std::string(path, sizeof(path)), std::string(sizeof(path), 'g'));
}

TEST(SystemQueries, NameVersionBuildDiskAndArchitecture) {
    char text[64];
    EXPECT_EQ(GetOSName(text), 0);
    struct utsname names;
    ASSERT_EQ(uname(&names), 0);
    const std::string suffix = std::string(names.machine) == "x86_64" ? " x64" : " x86";
    const std::string name = text;
    ASSERT_GT(name.size(), suffix.size());
    EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix);

    EXPECT_EQ(GetOSVersion(text), 0);
    EXPECT_TRUE(std::regex_match(std::string(text), std::regex("[0-9]+\\.[0-9]+"))) << text;
    EXPECT_EQ(GetOSBuild(text), 0);
    EXPECT_TRUE(std::regex_match(std::string(text), std::regex("[0-9]+"))) << text;

    EXPECT_GT(GetDiskFreeBytes("."), 0u);
    EXPECT_EQ(GetDiskFreeBytes("/no/such/folder"), 0u);

    SYSTEM_INFO info;
    GetNativeSystemInfoSafe(&info);
    if (std::string(names.machine) == "x86_64") {
        EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    }
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_GT(info.dwPageSize, 0u);
}

TEST(SystemQueries, SwitchesWithoutALinuxCounterpartAnswerTheirNeutralValue) {
    EXPECT_EQ(KeepSystemAwake(), 0u);
    EXPECT_EQ(EnableScreenSaver(), 0);
    EXPECT_EQ(BeginTimerPeriod(1), 0u);
    EXPECT_EQ(EndTimerPeriod(1), 0u);
    EXPECT_EQ(RedirectStdoutToConsole(), 0);
}

class HardwareFixture : public ::testing::Test {
protected:
    void SetUp() override {
        root = WorkDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        SetSystemInfoRoot(root.c_str());
    }
    void TearDown() override { SetSystemInfoRoot(""); }
    void Write(const std::string& relative, const std::string& text) {
        const std::string path = root + relative;
        char made[kMaxPath];
        const std::string folder = path.substr(WorkDir().size(), path.rfind('/') - WorkDir().size());
        ASSERT_EQ(MakeWorkDirFolder(made, folder.c_str()), 0);
        std::ofstream(path) << text;
    }
    std::string root;
};

TEST_F(HardwareFixture, ReadsProcessorSystemAndUpToEightControllers) {
    Write("/proc/cpuinfo",
          "processor\t: 0\nmodel name\t: First CPU\n\nprocessor\t: 1\nmodel name\t: Last CPU\n");
    Write("/sys/class/dmi/id/product_name", "Model X\n");
    Write("/sys/class/dmi/id/sys_vendor", "Vendor Y\n");
    for (int i = 0; i < 10; ++i) {
        Write("/sys/class/drm/card" + std::to_string(i) + "/device/vendor", "0x10de\n");
        Write("/sys/class/drm/card" + std::to_string(i) + "/device/device",
              "0x" + std::to_string(1000 + i) + "\n");
    }
    Write("/sys/class/drm/card0-HDMI-A-1/status", "connected\n");
    HardwareInfo info{};
    EXPECT_EQ(QueryHardwareInfo(&info, HARDWARE_PROCESSOR | HARDWARE_SYSTEM | HARDWARE_VIDEO), 0);
    EXPECT_STREQ(info.processor, "Last CPU");
    EXPECT_STREQ(info.system, "Model X, Vendor Y");
    EXPECT_EQ(info.videoCount, 8);
    EXPECT_STREQ(info.video[0], "unknown (0x10de:0x1000)");
    EXPECT_STREQ(info.video[7], "unknown (0x10de:0x1007)");
}

TEST_F(HardwareFixture, MissingSourcesReadUnknownAndNoFlagFails) {
    HardwareInfo info{};
    EXPECT_EQ(QueryHardwareInfo(&info, HARDWARE_VIDEO | HARDWARE_SYSTEM), 0);
    EXPECT_STREQ(info.system, "Unknown");
    EXPECT_STREQ(info.video[0], "Unknown");
    EXPECT_EQ(info.videoCount, 1);
    EXPECT_STREQ(info.processor, "");

    // A long name is cut to 63 characters.
    Write("/proc/cpuinfo", "model name\t: " + std::string(100, 'p') + "\n");
    EXPECT_EQ(QueryHardwareInfo(&info, HARDWARE_PROCESSOR), 0);
    EXPECT_EQ(std::string(info.processor), std::string(63, 'p'));

    HardwareInfo none{};
    EXPECT_EQ(QueryHardwareInfo(&none, 0), -1);
    EXPECT_STREQ(none.processor, "Unknown");
    EXPECT_STREQ(none.system, "Unknown");
    EXPECT_STREQ(none.video[0], "Unknown");
    EXPECT_EQ(none.videoCount, 1);
}

TEST_F(HardwareFixture, ConnectedMeansADefaultRoute) {
    const std::string header = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n";
    Write("/proc/net/route", header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n");
    EXPECT_EQ(IsInternetConnected(), 0);
    Write("/proc/net/route", header + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t0\t00000000\n");
    EXPECT_EQ(IsInternetConnected(), 1);
}

} // namespace
