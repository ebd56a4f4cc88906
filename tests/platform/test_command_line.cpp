// The Windows command-line splitter and the forms of "cmd.exe /c " lines the layer serves.
#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> args;
};

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules) {
    const SplitCase cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"  prog \t a   b  ", {"prog", "a", "b"}},
        {"\"C:\\Program Files\\x.exe\" --flag", {"C:\\Program Files\\x.exe", "--flag"}},
        // The program name takes no backslash escapes.
        {"C:\\dir\\\"x y\"\\prog a", {"C:\\dir\\x y\\prog", "a"}},
        {"prog \"a b\" c", {"prog", "a b", "c"}},
        {"prog \"\"", {"prog", ""}},
        {"prog a\\\\b", {"prog", "a\\\\b"}},
        {"prog a\\\"b", {"prog", "a\"b"}},
        {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},
        {"prog a\\\\\\\"b", {"prog", "a\\\"b"}},
        {"prog \"a\"\"b\"", {"prog", "a\"b"}},
        {"prog \"unterminated quote", {"prog", "unterminated quote"}},
        {"prog $(touch x) `id` 'q' ;|&", {"prog", "$(touch", "x)", "`id`", "'q'", ";|&"}},
        {"", {}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.args) << "line: " << c.line;
    }
}

TEST(NativeProgramPath, TurnsBackslashesIntoSlashes) {
    EXPECT_EQ(NativeProgramPath(".\\bin\\ipsec\\charon-svc.exe"), "./bin/ipsec/charon-svc.exe");
    EXPECT_EQ(NativeProgramPath("/usr/bin/wg"), "/usr/bin/wg");
}

TEST(ParseCommandLine, APlainLineIsOneProgramEvenWithAPipeSign) {
    std::vector<CommandStage> stages;
    ASSERT_TRUE(ParseCommandLine("./bin/Wireguard/wg show | findstr x", stages));
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_EQ(stages[0].kind, CommandStage::Program);
    EXPECT_EQ(stages[0].args, (std::vector<std::string>{"./bin/Wireguard/wg", "show", "|", "findstr", "x"}));
}

TEST(ParseCommandLine, ServesTheFormsTheClientIssues) {
    std::vector<CommandStage> stages;
    ASSERT_TRUE(ParseCommandLine("cmd.exe /c tasklist | findstr charon-svc.exe", stages));
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(stages[0].kind, CommandStage::Tasklist);
    EXPECT_EQ(stages[1].kind, CommandStage::Findstr);
    EXPECT_EQ(stages[1].args, std::vector<std::string>{"charon-svc.exe"});

    ASSERT_TRUE(ParseCommandLine("cmd.exe /c taskkill /pid 4242", stages));
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_EQ(stages[0].kind, CommandStage::Taskkill);
    EXPECT_EQ(stages[0].args, std::vector<std::string>{"4242"});

    ASSERT_TRUE(ParseCommandLine("cmd.exe /c echo abc+/= | .\\bin\\Wireguard\\wg pubkey", stages));
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(stages[0].kind, CommandStage::Echo);
    EXPECT_EQ(stages[0].text, "abc+/=");
    EXPECT_EQ(stages[1].kind, CommandStage::Program);
    EXPECT_EQ(stages[1].args, (std::vector<std::string>{".\\bin\\Wireguard\\wg", "pubkey"}));

    ASSERT_TRUE(
        ParseCommandLine("cmd.exe /c \"/opt/my dir/swanctl.exe\" --initiate --child p_child", stages));
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_EQ(stages[0].args,
              (std::vector<std::string>{"/opt/my dir/swanctl.exe", "--initiate", "--child", "p_child"}));

    // A '|' inside double quotes is part of the argument.
    ASSERT_TRUE(ParseCommandLine("cmd.exe /c prog \"a|b\"", stages));
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_EQ(stages[0].args, (std::vector<std::string>{"prog", "a|b"}));
}

TEST(ParseCommandLine, RefusesEverythingElse) {
    const char* refused[] = {
        "",
        "cmd.exe /c ",
        "cmd.exe /c prog > out.txt",
        "cmd.exe /c prog < in.txt",
        "cmd.exe /c prog & other",
        "cmd.exe /c prog && other",
        "cmd.exe /c prog || other",
        "cmd.exe /c prog ^& other",
        "cmd.exe /c tasklist /fi \"imagename eq x\"",
        "cmd.exe /c findstr /i x",
        "cmd.exe /c findstr",
        "cmd.exe /c taskkill /f /pid 12",
        "cmd.exe /c taskkill /pid 12x",
        "cmd.exe /c taskkill /pid",
        "cmd.exe /c tasklist |",
        "cmd.exe /c | findstr x",
        "cmd.exe /c prog \"unterminated",
        "cmd.exe /c wireguard /uninstalltunnelservice a&calc",
    };
    for (const char* line : refused) {
        std::vector<CommandStage> stages;
        EXPECT_FALSE(ParseCommandLine(line, stages)) << "line: " << line;
        EXPECT_TRUE(stages.empty());
    }
}

} // namespace
