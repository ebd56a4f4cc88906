// Working for an ordinary user while running as root: the user's folders come from the
// account, never from the session; the user's files are read and written as the user, so
// that no link the user planted leads to root's files and everything made for the user is
// the user's; what an earlier version left owned by root is handed back. A throwaway user
// of the machine plays the invoking user.
#include "CrashDump.h"
#include "InvokingUser.h"
#include "PlatformConstants.h"
#include "PlatformTestSupport.h"
#include "ServiceTable.h"
#include "StrUtils.h"
#include "SystemHelpers.h"
#include "SystemSettings.h"
#include "ThrowawayUser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace platformtest;

namespace {

uid_t OwnerOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
}

bool Write(const std::string& path, const std::string& text, mode_t mode = 0600) {
    std::ofstream(path) << text;
    return chmod(path.c_str(), mode) == 0;
}

class UserFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(user.error(), "");
        ASSERT_TRUE(SetInvokingUserForTesting(user.uid));
        // A root-only file of the machine (the sandbox is root's, mode 0700).
        rootOnly =
            WorkDir() + "/root-only-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(mkdir(rootOnly.c_str(), 0700), 0);
        ASSERT_TRUE(Write(rootOnly + "/secret", "gtk-application-prefer-dark-theme=1\n"));
        // The session's variables say elsewhere; an elevated run never asks them.
        setenv("XDG_CONFIG_HOME", rootOnly.c_str(), 1);
        setenv("HOME", rootOnly.c_str(), 1);
    }
    void TearDown() override {
        SetInvokingUserForTesting(static_cast<uid_t>(-1));
        const std::string root = getenv("KORVA_TEST_ROOT") != nullptr ? getenv("KORVA_TEST_ROOT") : "";
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("HOME", (root + "/home").c_str(), 1);
    }
    // As the user would make it in the home folder.
    void Plant(const std::string& relative, bool folder) {
        const std::string path = user.home + "/" + relative;
        if (folder) {
            ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path;
        }
        ASSERT_TRUE(user.own(path)) << path;
    }

    testsupport::ThrowawayUser user;
    std::string rootOnly;
};

TEST_F(UserFiles, TheDataFolderIsTheAccountsAndTheUsers) {
    const InvokingUser& invoking = GetInvokingUser();
    EXPECT_TRUE(invoking.elevated);
    EXPECT_EQ(invoking.uid, user.uid);
    EXPECT_EQ(invoking.home, user.home);
    EXPECT_EQ(UserConfigHome(), user.home + "/.config");
    EXPECT_EQ(ThemeSettingsPath(), user.home + "/.config/gtk-3.0/settings.ini");

    char path[kMaxPath] = {};
    ASSERT_EQ(MakeSpecialFolder(path, "/Halvex/Korva VPN/", CSIDL_APPDATA), 0);
    EXPECT_EQ(std::string(path), user.home + "/.config/Halvex/Korva VPN/");
    for (const char* level : {"/.config", "/.config/Halvex", "/.config/Halvex/Korva VPN"}) {
        struct stat info {};
        ASSERT_EQ(stat((user.home + level).c_str(), &info), 0) << level;
        EXPECT_EQ(info.st_uid, user.uid) << level << " belongs to the user";
        EXPECT_EQ(info.st_gid, user.gid) << level;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << level;
    }
    const std::string data = user.home + "/.config/Halvex/Korva VPN";
    EXPECT_EQ(user.runAs([&] { return access(data.c_str(), W_OK); }), 0)
        << "the user can work in every level";
}

TEST_F(UserFiles, NoLinkLeadsToRootsFiles) {
    Plant(".config", true);
    Plant(".config/gtk-3.0", true);
    // The theme file is a link to a root-only file that asks for dark colours.
    const std::string settings = user.home + "/.config/gtk-3.0/settings.ini";
    ASSERT_EQ(symlink((rootOnly + "/secret").c_str(), settings.c_str()), 0);
    EXPECT_EQ(ReadAppsUseLightTheme(), 1u) << "the root-only file was read";
    // Once the file is the user's own, it is read.
    ASSERT_EQ(unlink(settings.c_str()), 0);
    ASSERT_TRUE(Write(settings, "[Settings]\ngtk-application-prefer-dark-theme=1\n"));
    ASSERT_TRUE(user.own(settings));
    EXPECT_EQ(ReadAppsUseLightTheme(), 0u);
    // A FIFO is not waited on.
    ASSERT_EQ(unlink(settings.c_str()), 0);
    ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
    ASSERT_TRUE(user.own(settings));
    EXPECT_EQ(ReadAppsUseLightTheme(), 1u);

    // The service table: its folder is a link into root's folder. Nothing is read or made there.
    Plant(".config/Halvex", true);
    ASSERT_EQ(symlink(rootOnly.c_str(), (user.home + "/.config/Halvex/Korva VPN").c_str()), 0);
    unsetenv("KORVA_SERVICE_TABLE");
    EXPECT_EQ(ServiceTablePath(), user.home + "/.config/Halvex/Korva VPN/services.table");
    ServiceEntry entry;
    EXPECT_FALSE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_FALSE(Exists(rootOnly + "/services.table"));
    EXPECT_FALSE(Exists(rootOnly + "/services.table.lock"));

    // Made in the user's own folder instead, the table belongs to the user.
    ASSERT_EQ(unlink((user.home + "/.config/Halvex/Korva VPN").c_str()), 0);
    Plant(".config/Halvex/Korva VPN", true);
    ASSERT_TRUE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_EQ(OwnerOf(ServiceTablePath()), user.uid);
}

TEST_F(UserFiles, TheGuardSwitchesOnlyItsOwnThreadAndNests) {
    const std::string secret = rootOnly + "/secret";
    const std::string made = user.home + "/made-as-user";
    std::mutex mutex;
    std::condition_variable changed;
    int step = 0;
    std::atomic<int> insideResult{0};
    std::thread other([&] {
        UserFileAccess access;
        EXPECT_TRUE(access.Switched());
        {
            UserFileAccess nested;
            EXPECT_FALSE(nested.Switched()) << "the outer guard already switched";
        }
        // Still the user after the nested guard.
        insideResult = open(secret.c_str(), O_RDONLY) < 0 && errno == EACCES ? 1 : -1;
        const int fd = open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            close(fd);
        }
        std::unique_lock<std::mutex> lock(mutex);
        step = 1;
        changed.notify_all();
        changed.wait(lock, [&] { return step == 2; });
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return step == 1; });
        // This thread is root all along.
        const int fd = open(secret.c_str(), O_RDONLY);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            close(fd);
        }
        step = 2;
        changed.notify_all();
    }
    other.join();
    EXPECT_EQ(insideResult.load(), 1) << "the user's thread read root's file";
    EXPECT_EQ(OwnerOf(made), user.uid) << "a file made under the guard is the user's";
    // Working for root itself, the guard changes nothing.
    ASSERT_TRUE(SetInvokingUserForTesting(static_cast<uid_t>(-1)));
    UserFileAccess access;
    EXPECT_FALSE(access.Switched());
}

TEST_F(UserFiles, WhatAnEarlierVersionLeftToRootIsHandedBack) {
    // As an earlier version left it: every level and the store made by root.
    const std::string data = user.home + "/.config/Halvex/Korva VPN";
    ASSERT_EQ(MakeDirPath(data.c_str()), 0);
    ASSERT_TRUE(Write(data + "/vpn.db", "store"));
    ASSERT_TRUE(Write(data + "/services.table", "table"));
    // Not the user's to have: a second name of a root file, and a link to one.
    ASSERT_TRUE(Write(rootOnly + "/other", "root's"));
    ASSERT_EQ(link((rootOnly + "/other").c_str(), (data + "/hard").c_str()), 0);
    ASSERT_EQ(symlink((rootOnly + "/secret").c_str(), (data + "/soft").c_str()), 0);
    ASSERT_EQ(OwnerOf(user.home + "/.config"), 0u);

    char path[kMaxPath] = {};
    ASSERT_EQ(MakeSpecialFolder(path, "/Halvex/Korva VPN/", CSIDL_APPDATA), 0);
    for (const char* level :
         {"/.config", "/.config/Halvex", "/.config/Halvex/Korva VPN", "/.config/Halvex/Korva VPN/vpn.db",
          "/.config/Halvex/Korva VPN/services.table"}) {
        EXPECT_EQ(OwnerOf(user.home + level), user.uid) << level;
    }
    EXPECT_EQ(OwnerOf(rootOnly + "/other"), 0u) << "a file with a second name stays root's";
    EXPECT_EQ(OwnerOf(rootOnly + "/secret"), 0u);
    EXPECT_EQ(OwnerOf(data + "/soft"), 0u) << "a link is left as it is";

    // Outside the user's home nothing is handed over.
    ASSERT_EQ(MakeSpecialFolder(path, "", CSIDL_COMMON_APPDATA), 0);
    EXPECT_EQ(OwnerOf("/var/lib"), 0u);
}

TEST_F(UserFiles, TheCrashDumpIsTheUsersAndFollowsNoLink) {
    Plant("data", true);
    const std::string base = user.home + "/data/crash.dmp";
    // Links at the names the next seconds' dumps take, into root's file.
    const time_t now = time(nullptr);
    for (time_t t = now; t <= now + 3; ++t) {
        struct tm local {};
        localtime_r(&t, &local);
        char name[128];
        std::snprintf(name, sizeof(name), "/data/crash_x64_%4d-%02d-%02d %02d-%02d-%02d.dmp",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec);
        ASSERT_EQ(symlink((rootOnly + "/secret").c_str(), (user.home + name).c_str()), 0);
        ASSERT_EQ(lchown((user.home + name).c_str(), user.uid, user.gid), 0);
    }
    char written[kMaxPath] = {};
    WriteMiniDump(base.c_str(), written, nullptr);
    EXPECT_EQ(ReadText(rootOnly + "/secret"), "gtk-application-prefer-dark-theme=1\n") << written;

    // Without a link there, the dump is made, and it is the user's.
    ASSERT_EQ(system(("rm -f '" + user.home + "/data/'crash_*").c_str()), 0);
    WriteMiniDump(base.c_str(), written, nullptr);
    struct stat info {};
    ASSERT_EQ(lstat(written, &info), 0) << written;
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_uid, user.uid) << written;
}

} // namespace
