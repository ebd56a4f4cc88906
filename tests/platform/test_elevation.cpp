// The elevation's parts that need no second user: the invoking user's environment, the
// pkexec command line and pkexec's refusals. The whole program's start without rights is
// tested with the program (tests/app/process).
#include "Elevation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(ElevationTest, InvokingUsersFoldersAreTakenOnlyWhenAbsolute) {
    const std::map<std::string, std::string> parent = {
        {"XDG_CONFIG_HOME", "/home/ana/.cfg"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}, {"PATH", "/evil"}};
    auto values = InvokingUserEnvironment(1000, "/home/ana", "ana", parent, false);
    EXPECT_EQ(values["HOME"], "/home/ana");
    EXPECT_EQ(values["USER"], "ana");
    EXPECT_EQ(values["LOGNAME"], "ana");
    EXPECT_EQ(values["XDG_CONFIG_HOME"], "/home/ana/.cfg");
    EXPECT_EQ(values["XDG_RUNTIME_DIR"], "/run/user/1000");
    EXPECT_EQ(values.count("PATH"), 0u) << "only the per-user folders are taken";

    values = InvokingUserEnvironment(1000, "/home/ana", "ana", {{"XDG_CONFIG_HOME", "relative/cfg"}}, true);
    EXPECT_EQ(values.count("XDG_CONFIG_HOME"), 0u);
    EXPECT_EQ(values["XDG_RUNTIME_DIR"], "/run/user/1000") << "the user's own runtime folder";

    values = InvokingUserEnvironment(1000, "/home/ana", "ana", {}, false);
    EXPECT_EQ(values.count("XDG_RUNTIME_DIR"), 0u);
}

TEST(ElevationTest, CommandAndRefusals) {
    char arg0[] = "korva-vpn";
    char arg1[] = "--x y";
    char* argv[] = {arg0, arg1, nullptr};
    const std::vector<std::string> expected = {"/usr/bin/pkexec", "--keep-cwd", "/opt/korva/korva-vpn",
                                               "--x y"};
    EXPECT_EQ(ElevationCommand("/opt/korva/korva-vpn", 2, argv), expected);

    const auto exited = [](int code) { return code << 8; };
    EXPECT_FALSE(ElevationRefusal(exited(126)).empty()) << "dismissed";
    EXPECT_FALSE(ElevationRefusal(exited(127)).empty()) << "not authorised";
    EXPECT_TRUE(ElevationRefusal(exited(0)).empty()) << "the elevated client ran";
    EXPECT_TRUE(ElevationRefusal(exited(1)).empty());
    EXPECT_TRUE(ElevationRefusal(SIGTERM).empty()) << "the elevated client was ended by a signal";
}

} // namespace
