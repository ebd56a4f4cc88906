// The crash handler and dump writer: a forked child crashes on purpose; the log and the
// dump file tell what happened.
#include "CrashDump.h"
#include "PlatformConstants.h"
#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace platformtest;

namespace {

const std::string kChild = PLATFORM_CHILD;

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.push_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    return names;
}

// The local time as the dump name writes it. (time() reads a coarse clock that may lag
// the precise one by a tick, so the checks allow one second past the end.)
std::string LocalStamp(time_t when) {
    struct tm local;
    localtime_r(&when, &local);
    char text[64];
    std::snprintf(text, sizeof(text), "%4d-%02d-%02d %02d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

struct CrashCase {
    const char* mode;
    int signal;
    const char* code;
};

class CrashedChild : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashedChild, WritesTheReportIntoTheLogAndTheDumpFile) {
    const CrashCase& c = GetParam();
    const std::string folder = WorkDir() + "/" + c.mode;
    const std::string logPath = folder + "/Halvex_log/Korva VPN__x64_1.0.0_crash.log";
    const std::string dumpFolder = folder + "/data";
    const std::string errPath = folder + "/stderr.txt";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((folder + "/Halvex_log").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dumpFolder.c_str(), 0700), 0);

    const time_t before = time(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        const std::string dumpPath = dumpFolder + "/crash.dmp";
        execl(kChild.c_str(), kChild.c_str(), "crash", c.mode, logPath.c_str(), dumpPath.c_str(), nullptr);
        _exit(99);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const time_t after = time(nullptr);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);

    // The dump file: crash_x64_<local time>.dmp in the data folder.
    std::vector<std::string> dumps = FilesIn(dumpFolder);
    ASSERT_EQ(dumps.size(), 1u);
    const std::string dumpName = dumps[0];
    bool timeMatches = false;
    for (time_t t = before; t <= after + 1; ++t) {
        timeMatches = timeMatches || dumpName == "crash_x64_" + LocalStamp(t) + ".dmp";
    }
    EXPECT_TRUE(timeMatches) << dumpName;
    const std::string dump = ReadText(dumpFolder + "/" + dumpName);
    EXPECT_NE(dump.find("Signal: " + std::to_string(c.signal) + " ("), std::string::npos)
        << dump.substr(0, 400);
    EXPECT_NE(dump.find(std::string("Exception code: ") + c.code), std::string::npos);
    EXPECT_NE(dump.find("RIP = 0x"), std::string::npos);
    EXPECT_NE(dump.find("\nCall stack:\n#0 0x"), std::string::npos);
    EXPECT_NE(dump.find("\nMemory map:\n"), std::string::npos);
    EXPECT_NE(dump.find("platform_child"), std::string::npos);

    // The report in the log, each record stamped as the log stamps them.
    const std::string log = ReadText(logPath);
    const std::string stamp = "\\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\] ";
    EXPECT_EQ(log.rfind("before the crash\n", 0), 0u) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(stamp + "CrashInfo: \r\n" + stamp + "ErrorCode: " + c.code +
                                                  "\r\npcAddress: [0-9A-F]{8}\r\nFlags: 00000000\r\n" +
                                                  stamp + "CallStack: \r\n")))
        << log;
    const std::regex frame(stamp + "[^\r\n]*\\(\\) : \\[[^\r\n]*\\] \\(File: N/A @Line N/A\\)\r\n");
    EXPECT_TRUE(std::regex_search(log, frame)) << log;
    EXPECT_NE(log.find("() : [platform_child] (File: N/A @Line N/A)\r\n"), std::string::npos) << log;
    if (std::string(c.mode) == "segv") {
        // The faulting function itself, innermost. (Other modes may fault in a split-off
        // cold part of it, which has no exported name.)
        const std::regex innermost("CallStack: \r\n" + stamp +
                                   "[^\r\n]*CrashNow[^\r\n]*\\(\\) : \\[platform_child\\]");
        EXPECT_TRUE(std::regex_search(log, innermost)) << log;
    }
    EXPECT_NE(log.find("IPCDataStatisticsModule::" + dumpFolder + "/" + dumpName), std::string::npos) << log;

    const std::string err = ReadText(errPath);
    EXPECT_NE(err.find("FatalAppExit: Sorry. Application exception occurs."), std::string::npos) << err;
    EXPECT_EQ(err.find("heap used inside the crash handler"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    EverySignal, CrashedChild,
    ::testing::Values(CrashCase{"segv", SIGSEGV, "C0000005"}, CrashCase{"bus", SIGBUS, "C0000005"},
                      CrashCase{"fpe", SIGFPE, "C0000094"}, CrashCase{"ill", SIGILL, "C000001D"},
                      CrashCase{"abrt", SIGABRT, "E06D7363"}, CrashCase{"terminate", SIGABRT, "E06D7363"}),
    [](const ::testing::TestParamInfo<CrashCase>& info) { return std::string(info.param.mode); });

TEST(DumpName, CarriesBaseArchitectureTagTimeAndExtension) {
    struct Case {
        std::string path;
        std::string tag;
        std::string prefix;
        std::string extension;
    };
    const std::string dir = WorkDir();
    const Case cases[] = {
        {dir + "/crash.dmp", "", dir + "/crash_x64_", ".dmp"},
        {dir + "/crash.dmp", "beta", dir + "/crash_x64_beta_", ".dmp"},
        // Without a '.' in the file name the whole path is the base.
        {dir + "/crash", "", dir + "/crash_x64_", ".dmp"},
        {dir + "/with.dot/crash", "", dir + "/with.dot/crash_x64_", ".dmp"},
        {dir + "/crash.tar.gz", "", dir + "/crash.tar_x64_", ".gz"},
    };
    ASSERT_EQ(mkdir((dir + "/with.dot").c_str(), 0700), 0);
    for (const Case& c : cases) {
        ASSERT_EQ(SetDumpNameTag(c.tag.c_str()), 0);
        char name[kMaxPath] = {0};
        const time_t before = time(nullptr);
        WriteMiniDump(c.path.c_str(), name, nullptr);
        const time_t after = time(nullptr);
        bool matches = false;
        for (time_t t = before; t <= after + 1; ++t) {
            matches = matches || std::string(name) == c.prefix + LocalStamp(t) + c.extension;
        }
        EXPECT_TRUE(matches) << name;
        EXPECT_TRUE(Exists(name)) << name;
    }
    ASSERT_EQ(SetDumpNameTag(""), 0);
    EXPECT_EQ(SetDumpNameTag(std::string(kMaxPath, 't').c_str()), -1);
}

TEST(DumpName, AnUnwritableDumpPassesSilently) {
    char name[kMaxPath] = {0};
    WriteMiniDump("/no/such/folder/crash.dmp", name, nullptr);
    EXPECT_EQ(std::string(name).rfind("/no/such/folder/crash_x64_", 0), 0u);
}

TEST(FormatExceptionRecord, EightUpperCaseHexDigitsOfTheLow32Bits) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(0x00007f12abcdef01ULL);
    record.ExceptionFlags = 1;
    ExceptionTexts texts;
    FormatExceptionRecord(record, &texts);
    EXPECT_STREQ(texts.code, "C0000005");
    EXPECT_STREQ(texts.address, "ABCDEF01");
    EXPECT_STREQ(texts.flags, "00000001");
    record.ExceptionAddress = reinterpret_cast<void*>(0x10);
    FormatExceptionRecord(record, &texts);
    EXPECT_STREQ(texts.address, "00000010");
}

TEST(SafeStrCopy, CutsToTheSizeLessOne) {
    struct Case {
        size_t size;
        const char* source;
        const char* expected;
    };
    const Case cases[] = {{8, "short", "short"}, {6, "exactly", "exact"}, {1, "x", ""}, {4, "", ""}};
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof(buffer));
        SafeStrCopy(buffer, c.size, c.source);
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(buffer[c.size], '#') << "wrote past the size";
    }
    char untouched[4] = {'a', 'b', 'c', 'd'};
    SafeStrCopy(untouched, 0, "zz");
    EXPECT_EQ(std::string(untouched, 4), "abcd");
}

TEST(CollectCallStack, NamesTheFramesOfAContext) {
    ucontext_t context;
    ASSERT_EQ(getcontext(&context), 0);
    std::vector<CrashStackFrame> frames(kMaxCrashFrames);
    const int count = CollectCallStack(&context, frames.data(), kMaxCrashFrames);
    ASSERT_GE(count, 1);
    bool ownModule = false;
    bool ownFunction = false;
    bool libraryModule = false;
    for (int i = 0; i < count; ++i) {
        EXPECT_STREQ(frames[i].sourceFile, "N/A");
        EXPECT_STREQ(frames[i].lineNumber, "N/A");
        const std::string module = frames[i].moduleName;
        const std::string function = frames[i].functionName;
        ownModule = ownModule || module == "platform_crash_dump_test";
        // The test framework's runner in this program, by its exported (mangled) name.
        ownFunction =
            ownFunction || (module == "platform_crash_dump_test" && function == "_ZN7testing4Test3RunEv");
        // The C library that called main, by its file name.
        libraryModule = libraryModule || module.rfind("libc.so", 0) == 0;
    }
    EXPECT_TRUE(ownModule);
    EXPECT_TRUE(ownFunction);
    EXPECT_TRUE(libraryModule);
    EXPECT_EQ(CollectCallStack(&context, frames.data(), 2), 2);
}

} // namespace
