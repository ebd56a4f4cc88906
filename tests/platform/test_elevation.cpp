// The elevation's parts that need no second user: the program's own folder, the elevated
// run's environment, the pkexec command line and pkexec's refusals. The whole program's
// start without rights, and an elevated start for another user, are tested with the
// program (tests/app/process).
#include "Elevation.h"
#include "InvokingUser.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Cwd() {
    char path[PATH_MAX];
    return getcwd(path, sizeof(path)) != nullptr ? path : "";
}

TEST(ElevationTest, TheProgramsOwnFolderBecomesTheWorkingDirectory) {
    const std::string before = Cwd();
    char program[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", program, sizeof(program) - 1), 0);
    const std::string folder = std::string(program).substr(0, std::string(program).rfind('/'));
    ASSERT_NE(before, folder) << "the sandbox starts the test elsewhere";

    std::string error;
    ASSERT_TRUE(ChangeToProgramFolder(&error)) << error;
    EXPECT_EQ(Cwd(), folder);
    ASSERT_EQ(chdir(before.c_str()), 0);
}

TEST(ElevationTest, ElevatedRunKeepsOnlyTheDisplayAndTheLanguage) {
    const uid_t user = 1000;
    const std::string sandbox = Cwd();
    // Authority files: the user's (made here as root, then given to the user), root's, a
    // link to root's, another user's.
    const std::string own = sandbox + "/own.Xauthority";
    const std::string roots = sandbox + "/root.Xauthority";
    const std::string link = sandbox + "/link.Xauthority";
    const std::string foreign = sandbox + "/foreign.Xauthority";
    for (const std::string& path : {own, roots, foreign}) {
        std::ofstream(path) << "x";
    }
    ASSERT_EQ(chown(own.c_str(), user, user), 0);
    ASSERT_EQ(chown(foreign.c_str(), 4242, 4242), 0);
    ASSERT_EQ(symlink(roots.c_str(), link.c_str()), 0);

    std::map<std::string, std::string> session = {
        {"DISPLAY", ":1"},
        {"WAYLAND_DISPLAY", "wayland-0"},
        {"LANG", "de_DE.UTF-8"},
        {"LC_MESSAGES", "fr_FR.UTF-8"},
        {"LC_ALL", "/home/ana/locale"},
        {"LANGUAGE", "de:../en"},
        {"TERM", "xterm"},
        {"PKEXEC_UID", "1000"},
        {"KORVA_RUN_DIR", "/run/elsewhere"},
        {"HOME", "/home/ana"},
        {"PATH", "/home/ana/bin:/usr/bin"},
        {"XDG_CONFIG_HOME", "/home/ana/.cfg"},
        {"XDG_RUNTIME_DIR", "/run/user/1000"},
        {"XDG_DATA_DIRS", "/home/ana/share"},
        {"QT_LOGGING_RULES", "*=true"},
        {"QT_PLUGIN_PATH", "/home/ana/plugins"},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"FONTCONFIG_FILE", "/home/ana/fonts.conf"},
        {"LD_PRELOAD", "/home/ana/evil.so"},
        {"TMPDIR", "/home/ana/tmp"},
        {"KORVA_WG_RUNDIR", "/home/ana/wg"},
    };
    struct Case {
        std::string xauthority;
        bool kept;
    } cases[] = {{own, true}, {roots, true}, {link, false}, {foreign, false}, {"own.Xauthority", false}};
    for (const Case& c : cases) {
        session["XAUTHORITY"] = c.xauthority;
        const auto values = ElevatedEnvironment(session, user, "/root", "/run/korva-vpn");
        std::map<std::string, std::string> expected = {
            {"DISPLAY", ":1"},
            {"WAYLAND_DISPLAY", "wayland-0"},
            {"LANG", "de_DE.UTF-8"},
            {"LC_MESSAGES", "fr_FR.UTF-8"},
            {"TERM", "xterm"},
            {"PKEXEC_UID", "1000"},
            {"KORVA_RUN_DIR", "/run/elsewhere"},
            {"HOME", "/root"},
            {"USER", "root"},
            {"LOGNAME", "root"},
            {"SHELL", "/bin/sh"},
            {"PATH", "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"},
            {"XDG_RUNTIME_DIR", "/run/korva-vpn"},
        };
        if (c.kept) {
            expected["XAUTHORITY"] = c.xauthority;
        }
        EXPECT_EQ(values, expected) << c.xauthority;
    }
    EXPECT_EQ(ElevatedEnvironment({}, user, "", "").count("XDG_RUNTIME_DIR"), 0u) << "no run folder";
}

TEST(ElevationTest, PkexecGetsTheDisplayAndTheLanguageOnly) {
    const auto values = PkexecEnvironment({{"DISPLAY", ":0"},
                                           {"XAUTHORITY", "/home/ana/.Xauthority"},
                                           {"LANG", "cs_CZ.UTF-8"},
                                           {"PATH", "/home/ana/bin"},
                                           {"XDG_CONFIG_HOME", "/home/ana/.cfg"},
                                           {"LD_PRELOAD", "/home/ana/evil.so"},
                                           {"QT_PLUGIN_PATH", "/home/ana/plugins"}});
    const std::map<std::string, std::string> expected = {
        {"DISPLAY", ":0"},
        {"XAUTHORITY", "/home/ana/.Xauthority"},
        {"LANG", "cs_CZ.UTF-8"},
        {"PATH", "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"}};
    EXPECT_EQ(values, expected);
}

TEST(ElevationTest, CommandAndRefusals) {
    // No --keep-cwd: the elevated run works in its own folder, never in the caller's; and
    // none of the caller's arguments, which Qt would take as options.
    const std::vector<std::string> expected = {"/usr/bin/pkexec", "/opt/korva/korva-vpn"};
    EXPECT_EQ(ElevationCommand("/opt/korva/korva-vpn"), expected);

    const auto exited = [](int code) { return code << 8; };
    EXPECT_FALSE(ElevationRefusal(exited(126)).empty()) << "dismissed";
    EXPECT_FALSE(ElevationRefusal(exited(127)).empty()) << "not authorised";
    EXPECT_TRUE(ElevationRefusal(exited(0)).empty()) << "the elevated client ran";
    EXPECT_TRUE(ElevationRefusal(exited(1)).empty());
    EXPECT_TRUE(ElevationRefusal(SIGTERM).empty()) << "the elevated client was ended by a signal";
}

// Which runs hand the application object their command line: only a run for the process's
// own user; root working for another user keeps the program's name alone.
TEST(ElevationTest, OnlyTheProgramsNameReachesTheApplicationOfAnElevatedRun) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "working for another user needs root";
    }
    struct Case {
        const char* what;
        long invokingUid;      // -1: the process's own user
        const char* pkexecUid; // nullptr: not set
        int expectedCount;
    };
    const Case cases[] = {
        {"root for itself", -1, nullptr, 4},
        {"root for itself, PKEXEC_UID 0", -1, "0", 4},
        {"elevated for an account", 65534, "65534", 1},
        {"started by pkexec for a uid without an account", -1, "4012345", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.pkexecUid != nullptr) {
            setenv("PKEXEC_UID", c.pkexecUid, 1);
        } else {
            unsetenv("PKEXEC_UID");
        }
        ASSERT_TRUE(SetInvokingUserForTesting(static_cast<uid_t>(c.invokingUid)));
        char arg0[] = "korva-vpn";
        char arg1[] = "-platformpluginpath";
        char arg2[] = "/home/ana/plug";
        char arg3[] = "-style=fusion";
        char* argv[] = {arg0, arg1, arg2, arg3, nullptr};
        int argc = 4;
        KeepOnlyProgramName(&argc, argv);
        EXPECT_EQ(argc, c.expectedCount);
        EXPECT_STREQ(argv[0], "korva-vpn");
        EXPECT_EQ(argv[argc], nullptr);
    }
    unsetenv("PKEXEC_UID");
    ASSERT_TRUE(SetInvokingUserForTesting(static_cast<uid_t>(-1)));
}

} // namespace
