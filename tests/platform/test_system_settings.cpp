// The registry values read from their Linux places, and the watchers of those files.
#include "PlatformTestSupport.h"
#include "ProcessPipe.h"
#include "SystemHelpers.h"
#include "SystemSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

using namespace platformtest;

namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

TEST(AppsUseLightTheme, DarkOnlyWhenGtkAsksForIt) {
    const std::string folder = std::string(getenv("XDG_CONFIG_HOME")) + "/gtk-3.0";
    EXPECT_EQ(ThemeSettingsPath(), folder + "/settings.ini");
    EXPECT_EQ(ReadAppsUseLightTheme(), 1u) << "a missing file reads as light";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    struct Case {
        const char* content;
        uint32_t light;
    };
    const Case cases[] = {
        {"[Settings]\ngtk-application-prefer-dark-theme=1\n", 0},
        {"[Settings]\ngtk-theme-name=Adwaita\ngtk-application-prefer-dark-theme = true\n", 0},
        {"[Settings]\ngtk-application-prefer-dark-theme=0\n", 1},
        {"[Settings]\ngtk-application-prefer-dark-theme=false\n", 1},
        {"[Settings]\ngtk-theme-name=Adwaita-dark\n", 1},
        {"", 1},
    };
    for (const Case& c : cases) {
        WriteFile(folder + "/settings.ini", c.content);
        EXPECT_EQ(ReadAppsUseLightTheme(), c.light) << c.content;
    }
    // Unreadable: the name is taken by a folder.
    std::remove((folder + "/settings.ini").c_str());
    ASSERT_EQ(mkdir((folder + "/settings.ini").c_str(), 0700), 0);
    EXPECT_EQ(ReadAppsUseLightTheme(), 1u);
}

TEST(LanguageIdFromLocale, MapsLanguageAndRegionToWindowsIds) {
    struct Case {
        const char* locale;
        uint16_t id;
    };
    const Case cases[] = {
        {"en_US.UTF-8", 0x0409},
        {"en_GB", 0x0809},
        {"en-GB", 0x0809},
        {"cs_CZ.UTF-8", 0x0405},
        {"nl_NL", 0x0413},
        {"fr_FR.UTF-8", 0x040C},
        {"de_DE.UTF-8", 0x0407},
        {"de_CH.UTF-8", 0x0807},
        {"de_LU", 0x0007},
        {"de", 0x0407},
        {"hu_HU", 0x040E},
        {"it_IT", 0x0410},
        {"ja_JP.EUC-JP", 0x0411},
        {"ko_KR", 0x0412},
        {"pl_PL", 0x0415},
        {"pt_PT", 0x0816},
        {"pt_BR", 0x0416},
        {"ru_RU.KOI8-R", 0x0419},
        {"sk_SK", 0x041B},
        {"es_ES@euro", 0x0C0A},
        {"zh_TW.Big5", 0x0404},
        {"zh_CN.GB18030", 0x0804},
        {"tr_TR", 0x041F},
        {"C", 0x0409},
        {"C.UTF-8", 0x0409},
        {"POSIX", 0x0409},
        {"", 0x0409},
        {"xx_YY", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageIdFromLocale(c.locale), c.id) << c.locale;
    }
}

class UserLanguage : public ::testing::Test {
protected:
    void SetUp() override {
        file = WorkDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".locale";
        SetSystemLocaleFile(file.c_str());
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            unsetenv(name);
        }
    }
    void TearDown() override { SetSystemLocaleFile(nullptr); }
    std::string file;
};

TEST_F(UserLanguage, TheLocaleFileComesFirstThenTheEnvironmentInOrder) {
    setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0419);
    setenv("LC_MESSAGES", "pl_PL.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0415);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0411);
    setenv("LANGUAGE", "zh_TW:en", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0404);
    WriteFile(file, "# set by the installer\nexport LANG=\"de_DE.UTF-8\"\nLANGUAGE=de_DE:de\n");
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0407);
    // A file that does not set LANG leaves the environment in charge.
    WriteFile(file, "LC_TIME=en_GB.UTF-8\n");
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0404);
}

TEST_F(UserLanguage, NothingSetIsEnglish) {
    EXPECT_EQ(SystemLocaleFile(), file);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);
}

TEST(FileChangeWatcher, ReportsChangesOfItsFileUntilStopped) {
    const std::string folder = WorkDir() + "/watched";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string path = folder + "/settings.ini";
    std::atomic<int> calls{0};
    FileChangeWatcher watcher(path, [&] { ++calls; });
    ASSERT_TRUE(watcher.Start());

    WriteFile(folder + "/other.ini", "x");
    WriteFile(path, "[Settings]\n");
    ASSERT_TRUE(WaitUntil([&] { return calls.load() >= 1; }));

    // An editor's save: a new file renamed over the old one.
    const int before = calls.load();
    WriteFile(folder + "/settings.ini.new", "[Settings]\ngtk-application-prefer-dark-theme=1\n");
    ASSERT_EQ(std::rename((folder + "/settings.ini.new").c_str(), path.c_str()), 0);
    ASSERT_TRUE(WaitUntil([&] { return calls.load() > before; }));

    watcher.Stop();
    const int stopped = calls.load();
    WriteFile(path, "after the stop");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(calls.load(), stopped);
}

TEST(FileChangeWatcher, AFolderThatDoesNotExistYetIsWaitedForWithoutBeingMade) {
    // GTK's folder is missing until a desktop first writes its settings.
    const std::string top = WorkDir() + "/later";
    const std::string folder = top + "/gtk-3.0";
    const std::string path = folder + "/settings.ini";
    std::atomic<int> calls{0};
    FileChangeWatcher watcher(path, [&] { ++calls; });
    ASSERT_TRUE(watcher.Start());
    EXPECT_FALSE(Exists(top)) << "the watcher makes no folder of its own";

    // Other names appearing above the folder are no change.
    WriteFile(WorkDir() + "/unrelated.ini", "x");
    ASSERT_EQ(mkdir(top.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(calls.load(), 0);
    WriteFile(path, "[Settings]\ngtk-application-prefer-dark-theme=1\n");
    ASSERT_TRUE(WaitUntil([&] { return calls.load() >= 1; }));

    // The folder goes away and comes back with the file at once: both are changes.
    int before = calls.load();
    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_EQ(rmdir(folder.c_str()), 0);
    ASSERT_EQ(rmdir(top.c_str()), 0);
    ASSERT_TRUE(WaitUntil([&] { return calls.load() > before; }));
    before = calls.load();
    ASSERT_EQ(mkdir(top.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    WriteFile(path, "[Settings]\n");
    ASSERT_TRUE(WaitUntil([&] { return calls.load() > before; }));

    // Once there, the folder is watched as any other.
    before = calls.load();
    WriteFile(path, "[Settings]\ngtk-application-prefer-dark-theme=0\n");
    ASSERT_TRUE(WaitUntil([&] { return calls.load() > before; }));
    watcher.Stop();
}

TEST(FileChangeWatcher, AFileBelowAPlainFileIsWatchedFromTheFolderAboveIt) {
    WriteFile(WorkDir() + "/plain", "not a folder");
    std::atomic<int> calls{0};
    FileChangeWatcher watcher(WorkDir() + "/plain/settings.ini", [&] { ++calls; });
    EXPECT_TRUE(watcher.Start());
    WriteFile(WorkDir() + "/plain", "still not a folder");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(calls.load(), 0);
    watcher.Stop();
}

TEST(FileChangeWatcher, DestroyingARunningWatcherJoinsIt) {
    std::atomic<int> calls{0};
    {
        FileChangeWatcher watcher(WorkDir() + "/destroyed.ini", [&] { ++calls; });
        ASSERT_TRUE(watcher.Start());
    }
    WriteFile(WorkDir() + "/destroyed.ini", "x");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(calls.load(), 0);
}

TEST(DebuggerChannel, DebugTextGoesToStandardError) {
    ProcessPipe pipe;
    // The runner puts the child's standard error on the same pipe as its output.
    EXPECT_EQ(pipe.ExecuteCommand(PLATFORM_CHILD " debug \"to the debugger\"", true), "to the debugger");
}

TEST(DebuggerChannel, NoTracerIsNoDebugger) {
    const std::string status = ReadText("/proc/self/status");
    const bool traced = status.find("TracerPid:\t0\n") == std::string::npos;
    EXPECT_EQ(IsDebuggerPresent(), traced);
}

} // namespace
