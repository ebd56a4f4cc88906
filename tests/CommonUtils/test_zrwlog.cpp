#include "zrwlog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Sends one of the standard streams to a file for the life of the object.
class Capture {
public:
    Capture(FILE* stream, const std::string& path) : stream_(stream), path_(path) {
        fflush(stream_);
        fd_ = fileno(stream_);
        saved_ = dup(fd_);
        FILE* f = fopen(path_.c_str(), "wb");
        dup2(fileno(f), fd_);
        fclose(f);
    }
    ~Capture() { Stop(); }
    std::string Stop() {
        if (saved_ >= 0) {
            fflush(stream_);
            dup2(saved_, fd_);
            close(saved_);
            saved_ = -1;
        }
        return ReadFile(path_);
    }

private:
    FILE* stream_;
    std::string path_;
    int fd_ = -1;
    int saved_ = -1;
};

class ZRWLogTest : public ::testing::Test {
protected:
    void SetUp() override { ZRWLogReset(); }
    void TearDown() override {
        ZRWLogClose();
        ZRWLogReset();
    }
};

TEST_F(ZRWLogTest, FilterByModuleAndLevel) {
    struct Case {
        int module;
        int level;
        bool written;
    };
    // Module 6 enabled, module 7 not, threshold 4.
    const Case cases[] = {
        {7, 1, true},  {7, 2, true},   {7, 3, true},   {7, 4, false},  {7, 0, false},
        {6, 4, true},  {6, 5, false},  {6, 0, true},   {6, -3, true},  {6, 3, true},
        {31, 2, true}, {31, 4, false}, {40, 4, false}, {-1, 4, false}, {-1, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "module " << c.module << " level " << c.level);
        ASSERT_EQ(0, ZRWLogOpenFile("filter.log"));
        ZRWLogEnableModule(1, 6);
        ZRWLogSetLevel(4);
        ZRWLog(c.module, c.level, "x");
        ZRWLogClose();
        EXPECT_EQ(c.written ? "x" : "", ReadFile("filter.log"));
    }
    EXPECT_EQ(4, ZRWLogGetLevel());
    ZRWLogEnableModule(0, 6);
    ASSERT_EQ(0, ZRWLogOpenFile("filter.log"));
    ZRWLog(6, 4, "y");
    EXPECT_EQ("", ReadFile("filter.log"));
}

TEST_F(ZRWLogTest, FileRecordCarriesTheLocalStampAndNoLineBreak) {
    setenv("TZ", "UTC-5", 1); // five hours east of UTC, no daylight saving
    tzset();
    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    ASSERT_EQ(0, ZRWLogOpenFile("stamp.log"));
    time_t before = time(nullptr);
    ZRWLog(6, 3, "System :: %s %d", "first", 1);
    ZRWLog(6, 3, " second\n");
    time_t after = time(nullptr);
    std::string text = ReadFile("stamp.log"); // flushed at once, still open
    std::smatch m;
    std::regex record(R"(^\[(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})\] System :: first 1)"
                      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\]  second\n$)");
    ASSERT_TRUE(std::regex_match(text, m, record)) << text;
    struct tm stamp = {};
    stamp.tm_year = std::stoi(m[1]) - 1900;
    stamp.tm_mon = std::stoi(m[2]) - 1;
    stamp.tm_mday = std::stoi(m[3]);
    stamp.tm_hour = std::stoi(m[4]);
    stamp.tm_min = std::stoi(m[5]);
    stamp.tm_sec = std::stoi(m[6]);
    // The stamp is local time: read back as UTC it lies five hours ahead of the clock.
    time_t asUtc = timegm(&stamp);
    EXPECT_GE(asUtc, before + 5 * 3600);
    EXPECT_LE(asUtc, after + 5 * 3600);
    unsetenv("TZ");
    tzset();
}

TEST_F(ZRWLogTest, OnlyTimeFormatFourStampsTheFile) {
    for (int format : {0, 1, 2, 3}) {
        ZRWLogEnableTimeStamp(1);
        ZRWLogSetTimeFormat(format);
        ASSERT_EQ(0, ZRWLogOpenFile("plain.log"));
        ZRWLog(1, 3, "a%sc", "b");
        EXPECT_EQ("abc", ReadFile("plain.log")) << "format " << format;
    }
    ZRWLogEnableTimeStamp(0);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    ASSERT_EQ(0, ZRWLogOpenFile("plain.log"));
    ZRWLog(1, 3, "abc");
    EXPECT_EQ("abc", ReadFile("plain.log"));
}

TEST_F(ZRWLogTest, OpenFileTruncatesAndLeavesOnlyTheFileOutput) {
    {
        std::ofstream old("trunc.log");
        old << "old content";
    }
    ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE | ZRWLOG_OUTPUT_FILE);
    Capture out(stdout, "stdout.txt");
    ASSERT_EQ(0, ZRWLogOpenFile("trunc.log"));
    EXPECT_EQ("", ReadFile("trunc.log"));
    ZRWLog(1, 3, "new");
    EXPECT_EQ("", out.Stop());
    EXPECT_EQ("new", ReadFile("trunc.log"));
    EXPECT_EQ(-1, ZRWLogOpenFile("missing-folder/x.log"));
    ZRWLog(1, 3, "lost"); // no file is open any more, and no other output is on
    EXPECT_EQ("new", ReadFile("trunc.log"));
    ASSERT_EQ(0, ZRWLogOpenFile("trunc.log"));
    EXPECT_EQ(-1, ZRWLogOpenFile(nullptr));
    ZRWLog(1, 3, "lost");
    EXPECT_EQ("", ReadFile("trunc.log"));
}

// The flags of every descriptor of this process that is open on the given file.
std::vector<int> DescriptorFlagsOf(const std::string& file) {
    std::vector<int> flags;
    char resolved[PATH_MAX];
    if (realpath(file.c_str(), resolved) == nullptr) {
        return flags;
    }
    for (int fd = 0; fd < 1024; ++fd) {
        char link[64];
        char target[PATH_MAX] = {};
        snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, target, sizeof(target) - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == resolved) {
            flags.push_back(fcntl(fd, F_GETFD));
        }
    }
    return flags;
}

TEST_F(ZRWLogTest, LogFileIsNotInheritedByChildPrograms) {
    ASSERT_EQ(0, ZRWLogOpenFile("inherit.log"));
    std::vector<int> flags = DescriptorFlagsOf("inherit.log");
    ASSERT_EQ(1u, flags.size());
    EXPECT_TRUE(flags[0] & FD_CLOEXEC);
}

TEST_F(ZRWLogTest, ReopenAndResetCloseTheOpenFile) {
    ASSERT_EQ(0, ZRWLogOpenFile("first.log"));
    ZRWLog(1, 3, "one");
    ASSERT_EQ(0, ZRWLogOpenFile("second.log"));
    EXPECT_TRUE(DescriptorFlagsOf("first.log").empty());
    ZRWLog(1, 3, "two");
    ZRWLogReset();
    EXPECT_TRUE(DescriptorFlagsOf("second.log").empty());
    ZRWLog(1, 3, "three");
    EXPECT_EQ("one", ReadFile("first.log"));
    EXPECT_EQ("two", ReadFile("second.log"));
}

TEST_F(ZRWLogTest, AfterResetRecordsGoNowhere) {
    Capture out(stdout, "stdout.txt");
    Capture err(stderr, "stderr.txt");
    ZRWLog(1, 3, "nothing\n");
    EXPECT_EQ("", out.Stop());
    EXPECT_EQ("", err.Stop());
}

TEST_F(ZRWLogTest, ConsoleAndDebuggerOutputsAndTheirOrder) {
    ASSERT_EQ(0, ZRWLogOpenFile("both.log"));
    ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE | ZRWLOG_OUTPUT_DEBUGGER | ZRWLOG_OUTPUT_FILE);
    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    // Both streams into one file, unbuffered, so the order of the writes shows.
    fflush(stdout);
    FILE* f = fopen("combined.txt", "wb");
    int savedOut = dup(1);
    int savedErr = dup(2);
    dup2(fileno(f), 1);
    dup2(fileno(f), 2);
    fclose(f);
    setvbuf(stdout, nullptr, _IONBF, 0);
    ZRWLog(6, 3, "[%d]", 1);
    ZRWLog(6, 3, "[%d]", 2);
    fflush(stdout);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    // Console first, then the debugger channel; neither carries the file's stamp.
    EXPECT_EQ("[1][1][2][2]", ReadFile("combined.txt"));
    EXPECT_TRUE(std::regex_match(ReadFile("both.log"),
                                 std::regex(R"(\[[-0-9 :]{19}\] \[1\]\[[-0-9 :]{19}\] \[2\])")));
}

TEST_F(ZRWLogTest, ConsolePrefixes) {
    ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE);
    ZRWLogEnableTimeStamp(1);
    Capture out(stdout, "stdout.txt");
    ZRWLogSetTimeFormat(ZRWLOG_TIME_EPOCH);
    ZRWLog(1, 3, "epoch;");
    ZRWLogSetTimeFormat(ZRWLOG_TIME_SYSTEM);
    ZRWLog(1, 3, "system;");
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    ZRWLog(1, 3, "local;");
    std::string text = out.Stop();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{10,} epoch;system;local;)"))) << text;
}

TEST_F(ZRWLogTest, LongDebuggerRecordArrivesWhole) {
    ZRWLogUseDebugger();
    for (size_t length : {255u, 256u, 5000u}) {
        std::string text(length, 'q');
        Capture err(stderr, "stderr.txt");
        ZRWLog(1, 3, "%s", text.c_str());
        EXPECT_EQ(text, err.Stop()) << length;
    }
}

TEST_F(ZRWLogTest, EveryOutputFormatsFromItsOwnArguments) {
    ASSERT_EQ(0, ZRWLogOpenMemory(4, 3));
    ASSERT_EQ(0, ZRWLogOpenFile("all.log"));
    ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE | ZRWLOG_OUTPUT_DEBUGGER | ZRWLOG_OUTPUT_MEMORY |
                    ZRWLOG_OUTPUT_FILE);
    Capture out(stdout, "stdout.txt");
    Capture err(stderr, "stderr.txt");
    ZRWLog(6, 3, "%s=%d,%lld\n", "v", 7, 1234567890123LL);
    EXPECT_EQ("v=7,1234567890123\n", out.Stop());
    EXPECT_EQ("v=7,1234567890123\n", err.Stop());
    EXPECT_EQ("v=7,1234567890123\n", ReadFile("all.log"));
}

std::vector<unsigned char> Words(std::initializer_list<uint32_t> values) {
    std::vector<unsigned char> bytes;
    for (uint32_t v : values) {
        bytes.push_back(static_cast<unsigned char>(v >> 24));
        bytes.push_back(static_cast<unsigned char>(v >> 16));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
        bytes.push_back(static_cast<unsigned char>(v));
    }
    return bytes;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::string s = ReadFile(path);
    return {s.begin(), s.end()};
}

TEST_F(ZRWLogTest, MemoryRecordsAreBigEndianWords) {
    ASSERT_EQ(0, ZRWLogOpenMemory(4, 2));
    ZRWLog(6, 3, "%d %d\n", 7, -2);
    ZRWLog(6, 3, "%u and %x\n", 0x01020304u, 0xA0B0C0D0u);
    ZRWLog(6, 3, "only %d\n", 5); // one argument: the second value stays 0, nothing more is read
    ZRWLog(6, 3, "%lld %c\n", 0x100000002LL, 'A');
    ZRWLog(6, 3, "dropped %d %d\n", 8, 9); // the buffer is full: 4 records of 16 bytes
    ASSERT_EQ(0, ZRWLogSaveMemory("memory.bin"));
    EXPECT_EQ(Words({0, 0, 7, 0xFFFFFFFE, 0, 0, 0x01020304, 0xA0B0C0D0, 0, 0, 5, 0, 0, 0, 2, 'A'}),
              ReadBytes("memory.bin"));
}

TEST_F(ZRWLogTest, MemoryTimeWords) {
    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_EPOCH);
    ASSERT_EQ(0, ZRWLogOpenMemory(2, 1));
    time_t before = time(nullptr);
    ZRWLog(6, 3, "%d", 1);
    time_t after = time(nullptr);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_SYSTEM);
    ZRWLog(6, 3, "%d", 2);
    ASSERT_EQ(0, ZRWLogSaveMemory("memory.bin"));
    std::vector<unsigned char> b = ReadBytes("memory.bin");
    ASSERT_EQ(24u, b.size());
    auto word = [&b](int i) {
        return static_cast<uint32_t>(b[4 * i] << 24 | b[4 * i + 1] << 16 | b[4 * i + 2] << 8 | b[4 * i + 3]);
    };
    EXPECT_EQ(0u, word(0));
    EXPECT_GE(word(1), static_cast<uint32_t>(before));
    EXPECT_LE(word(1), static_cast<uint32_t>(after));
    EXPECT_EQ(1u, word(2));
    EXPECT_LT(word(3), 60u);   // second of the minute
    EXPECT_LT(word(4), 1000u); // milliseconds
    EXPECT_EQ(2u, word(5));
}

TEST_F(ZRWLogTest, SecondRecordIsDroppedWhenItDoesNotFit) {
    ASSERT_EQ(0, ZRWLogOpenMemory(1, 2)); // 16 bytes: one record
    ZRWLog(6, 3, "%d %d", 1, 2);
    ZRWLog(6, 3, "%d %d", 3, 4);
    ASSERT_EQ(0, ZRWLogSaveMemory("one.bin"));
    EXPECT_EQ(Words({0, 0, 1, 2}), ReadBytes("one.bin"));
}

TEST_F(ZRWLogTest, DumpMemoryPrintsTheRecords) {
    ASSERT_EQ(0, ZRWLogOpenMemory(4, 2));
    ZRWLog(6, 3, "%d %d", 7, 9);
    ZRWLog(6, 3, "%d %d", -1, 0);
    ASSERT_EQ(0, ZRWLogDumpMemory("dump.txt"));
    EXPECT_EQ("Memory Log Numbers = 2\n"
              "Time = 0: 0; LogInfo = 7, 9, \n"
              "Time = 0: 0; LogInfo = -1, 0, \n",
              ReadFile("dump.txt"));
}

TEST_F(ZRWLogTest, DumpMemoryToStandardOutputShowsWordTwoFirst) {
    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_EPOCH);
    ASSERT_EQ(0, ZRWLogOpenMemory(1, 0));
    ZRWLog(6, 3, "tick");
    Capture out(stdout, "stdout.txt");
    ASSERT_EQ(0, ZRWLogDumpMemory(nullptr));
    EXPECT_TRUE(
        std::regex_match(out.Stop(), std::regex("Memory Log Numbers = 1\nTime = \\d+: 0; LogInfo = \n")));
}

TEST_F(ZRWLogTest, MemoryRoutinesNeedTheMemoryOutputAlone) {
    ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE | ZRWLOG_OUTPUT_FILE);
    EXPECT_EQ(-1, ZRWLogDumpMemory("x.txt"));
    EXPECT_EQ(-1, ZRWLogSaveMemory("x.bin"));
    ZRWLogOpenMemory(1, 1);
    EXPECT_EQ(-1, ZRWLogSaveMemory("no-such-folder/x.bin"));
    EXPECT_EQ(-1, ZRWLogDumpMemory("no-such-folder/x.txt"));
    EXPECT_EQ(-1, ZRWLogOpenMemory(-1, 2));
}

struct DumpCase {
    const char* name;
    void (*run)(const unsigned char*);
    const char* expected;
};

const unsigned char kBytes[] = {0x01, 0x80, 0x00, 0xFF, 0x03, 0x10};

const DumpCase kDumpCases[] = {
    {"Bytes", [](const unsigned char* b) { ZRWLogDumpBytes(1, 3, 3, b); }, "1 128 0 \n"},
    {"ByteRows", [](const unsigned char* b) { ZRWLogDumpByteRows(1, 3, 2, 2, b); }, "1 128 \n0 255 \n\n"},
    {"CharMap", [](const unsigned char* b) { ZRWLogDumpCharMap(1, 3, 3, 2, b); }, "Charmap\n**.\n***\n\n"},
    {"Bits", [](const unsigned char* b) { ZRWLogDumpBits(1, 3, 2, b); },
     "1 0 0 0 0 0 0 0 \n0 0 0 0 0 0 0 1 \n\n"},
    {"BitChars", [](const unsigned char* b) { ZRWLogDumpBitChars(1, 3, 2, b); }, "*.......\n.......*\n\n"},
    {"BitRows", [](const unsigned char* b) { ZRWLogDumpBitRows(1, 3, 1, 2, b + 3); },
     "1 1 1 1 1 1 1 1 \n1 1 0 0 0 0 0 0 \n\n"},
    {"Bitmap", [](const unsigned char* b) { ZRWLogDumpBitmap(1, 3, 16, 2, b + 2); },
     "Bitmap\n........********\n**..........*...\n\n"},
};

TEST_F(ZRWLogTest, DumpRoutines) {
    for (const DumpCase& c : kDumpCases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, ZRWLogOpenFile("dump.log"));
        c.run(kBytes);
        EXPECT_EQ(c.expected, ReadFile("dump.log"));
    }
}

TEST_F(ZRWLogTest, DumpPiecesPassTheFilterAndCarryTheStamp) {
    ASSERT_EQ(0, ZRWLogOpenFile("dump.log"));
    ZRWLogDumpBytes(9, 4, 2, kBytes); // module 9 disabled
    EXPECT_EQ("", ReadFile("dump.log"));
    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    ZRWLogDumpBytes(9, 3, 1, kBytes);
    EXPECT_TRUE(
        std::regex_match(ReadFile("dump.log"), std::regex(R"(\[[-0-9 :]{19}\] 1 \[[-0-9 :]{19}\] \n)")));
}

TEST_F(ZRWLogTest, CloseIsFinalAndRepeatable) {
    ASSERT_EQ(0, ZRWLogOpenFile("close.log"));
    ZRWLog(1, 3, "kept");
    ZRWLogClose();
    ZRWLog(1, 3, "late");
    ZRWLogClose();
    EXPECT_EQ("kept", ReadFile("close.log"));
}

TEST_F(ZRWLogTest, CloseDoesNotRaceALateWriter) {
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(0, ZRWLogOpenFile("race.log"));
        ZRWLogEnableTimeStamp(1);
        ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
        std::atomic<bool> started{false};
        std::thread writer([&started] {
            started = true;
            for (int i = 0; i < 2000; ++i) {
                ZRWLog(6, 3, "IPSec :: attempt %d\n", i);
            }
        });
        while (!started) {
            std::this_thread::yield();
        }
        ZRWLogClose();
        writer.join();
        // Every record that reached the file is whole: its stamp and its text together.
        std::string text = ReadFile("race.log");
        std::istringstream lines(text);
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[[-0-9 :]{19}\] IPSec :: attempt \d+)")))
                << line;
            ++count;
        }
        EXPECT_TRUE(text.empty() || text.back() == '\n');
        EXPECT_LE(count, 2000);
    }
}

TEST_F(ZRWLogTest, ConcurrentWritersKeepRecordsWhole) {
    ASSERT_EQ(0, ZRWLogOpenFile("threads.log"));
    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                ZRWLog(6, 3, "thread %d record %d\n", t, i);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    std::istringstream lines(ReadFile("threads.log"));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[[-0-9 :]{19}\] thread \d record \d+)"))) << line;
        ++count;
    }
    EXPECT_EQ(2000, count);
}

TEST_F(ZRWLogTest, LockCanBeCreatedAndClosed) {
    ZRWLogEnableLock(1);
    ZRWLogEnableLock(1); // already there: nothing happens
    ZRWLogEnableLock(0);
    ZRWLogEnableLock(0);
    ZRWSemHandle sem = nullptr;
    ASSERT_EQ(0, SemCreate(&sem));
    EXPECT_EQ(0, SemTryWait(sem));
    EXPECT_EQ(-1, SemTryWait(sem)); // count 1: taken
    EXPECT_EQ(0, SemRelease(sem));
    EXPECT_EQ(0, SemWait(sem));
    EXPECT_EQ(0, SemRelease(sem));
    EXPECT_EQ(0, SemClose(sem));
}

TEST_F(ZRWLogTest, VariantWithArgumentList) {
    ASSERT_EQ(0, ZRWLogOpenFile("v.log"));
    auto logV = [](int module, int level, const char* format, ...) {
        va_list args;
        va_start(args, format);
        ZRWLogV(module, level, format, args);
        va_end(args);
    };
    logV(6, 4, "%s", "filtered ");
    logV(6, 3, "%s%d", "passed ", 3);
    EXPECT_EQ("passed 3", ReadFile("v.log"));
}

} // namespace
