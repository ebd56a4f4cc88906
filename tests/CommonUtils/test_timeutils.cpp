#include "TimeUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// US Eastern time: standard time is UTC-5, daylight saving from the second Sunday of
// March to the first Sunday of November.
class FixedZone : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
    static int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
        struct tm t = {};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return static_cast<int64_t>(timegm(&t));
    }
};

TEST(Calendar, DaysAndLeapYears) {
    struct Case {
        int year;
        int month;
        int days;
    };
    const Case cases[] = {
        {2024, 2, 29}, {1900, 2, 28},  {2000, 2, 29}, {2023, 13, -1}, {2023, 0, -1}, {2023, 1, 31},
        {2023, 4, 30}, {2023, 12, 31}, {2023, 2, 28}, {-4, 2, 28},    {2100, 2, 28},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.days, DaysInMonth(c.year, c.month)) << c.year << "-" << c.month;
    }
    EXPECT_EQ(366, DaysInYear(2024));
    EXPECT_EQ(365, DaysInYear(1900));
    EXPECT_EQ(366, DaysInYear(2000));
    EXPECT_EQ(1, IsLeapYear(2400));
    EXPECT_EQ(0, IsLeapYear(2023));
}

TEST_F(FixedZone, MakeTimeReadsLocalStandardTime) {
    EXPECT_EQ(Utc(2026, 1, 5, 19, 0, 0), MakeTime(2026, 1, 5, 14, 0, 0));
    // In summer too the fields are standard time, an hour off the wall clock.
    EXPECT_EQ(Utc(2026, 7, 1, 17, 0, 0), MakeTime(2026, 7, 1, 12, 0, 0));
}

TEST_F(FixedZone, NthWeekdayOfAMonth) {
    struct Case {
        int year, month, n, weekday;
        int64_t offset;
        int day; // of the same month, at 02:00 local standard time (07:00 UTC)
    };
    const Case cases[] = {
        {2026, 3, 2, 0, 0, 8},  {2026, 10, 5, 0, 0, 25}, {2026, 3, 1, 0, 0, 1},  {2026, 3, 5, 0, 0, 29},
        {2026, 3, 9, 0, 0, 29}, {2026, 11, 1, 0, 0, 1},  {2026, 2, 4, 6, 0, 28}, {2026, 3, 2, 0, 3600, 8},
        {2026, 3, 1, 3, 0, 4},  {2026, 3, 0, 3, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.year << "-" << c.month << " n " << c.n << " weekday " << c.weekday);
        EXPECT_EQ(Utc(c.year, c.month, c.day, 7, 0, 0) - c.offset,
                  NthWeekdayTime(c.year, c.month, c.n, c.weekday, 2, 0, 0, c.offset));
    }
}

TEST(Calendar, TimeWindows) {
    const int64_t h = 3600;
    struct Case {
        int64_t time, start, end;
        int inside;
    };
    const Case cases[] = {
        {23 * h, 22 * h, 6 * h, 1}, {5 * h, 22 * h, 6 * h, 1}, {12 * h, 22 * h, 6 * h, 0},
        {22 * h, 22 * h, 6 * h, 1}, {6 * h, 22 * h, 6 * h, 0}, {9 * h, 9 * h, 17 * h, 1},
        {17 * h, 9 * h, 17 * h, 0}, {8 * h, 9 * h, 17 * h, 0}, {5, 5, 5, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.inside, InTimeWindow(c.time, c.start, c.end))
            << c.time << " in " << c.start << ".." << c.end;
    }
}

TEST_F(FixedZone, SameHour) {
    struct Case {
        int64_t a, b;
        int offset;
        int same;
    };
    const int64_t ten = Utc(2026, 5, 4, 10, 0, 0);
    const Case cases[] = {
        {ten, ten + 59 * 60, 0, 1},   {ten + 59 * 60, ten + 60 * 60, 0, 0}, // 10:59 and 11:00
        {ten, ten + 24 * 3600, 0, 0},                                       // same hour, next day
        {ten - 1, ten, 0, 0},         {ten + 30 * 60, ten + 50 * 60, -5, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.same, IsSameHour(c.a, c.b, c.offset)) << c.a << " " << c.b;
    }
}

TEST(Calendar, DateNotAfter) {
    auto date = [](int y, int m, int d, int hour) {
        struct tm t = {};
        t.tm_year = y - 1900;
        t.tm_mon = m - 1;
        t.tm_mday = d;
        t.tm_hour = hour;
        return t;
    };
    struct Case {
        struct tm a, b;
        int result;
    };
    const Case cases[] = {
        {date(2026, 1, 5, 23), date(2026, 1, 5, 0), 1}, // hours are ignored
        {date(2026, 1, 4, 0), date(2026, 1, 5, 0), 1},   {date(2026, 1, 6, 0), date(2026, 1, 5, 0), 0},
        {date(2025, 12, 31, 0), date(2026, 1, 1, 0), 1}, {date(2026, 2, 1, 0), date(2026, 1, 31, 0), 0},
        {date(2027, 1, 1, 0), date(2026, 12, 31, 0), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, IsDateNotAfter(&c.a, &c.b));
    }
}

TEST_F(FixedZone, FormatTimeDirectives) {
    struct Case {
        int64_t time;
        const char* format;
        int rc;
        const char* text;
    };
    const int64_t jan5 = Utc(2026, 1, 5, 19, 0, 0);  // 14:00 local, a Monday
    const int64_t sep1 = Utc(2026, 9, 1, 4, 7, 9);   // 00:07:09 local (EDT), a Tuesday
    const int64_t jan1 = Utc(2026, 1, 1, 17, 30, 5); // 12:30:05 local, a Thursday
    const Case cases[] = {
        {jan5, "%Y-%m-%d %p", 0, "2026-01-05 PM"},
        {sep1, "%a %A %b %B", 0, "Tues Tuesday Sept September"},
        {sep1, "%c|%x|%H:%M:%S|%I|%p|%j|%w|%d", 0, "2026-09-01 00:07:09|2026-09-01|00:07:09|00|AM|243|2|01"},
        {jan1, "%a %b %I %p %j 100%%", 0, "Thur Jan 00 PM 0 100%"},
        {jan5, "before %Z after", -1, "before "},
        {jan5, "end %", -1, "end "},
        {jan5, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        char out[128] = "untouched";
        EXPECT_EQ(c.rc, FormatTime(&c.time, c.format, out));
        EXPECT_STREQ(c.text, out);
    }
    char out[8];
    EXPECT_EQ(-1, FormatTime(&jan5, nullptr, out));
    EXPECT_EQ(-1, FormatTime(&jan5, "%Y", nullptr));
    EXPECT_EQ(-1, FormatTime(&jan5, "%c", out, sizeof(out)));
    EXPECT_EQ(0, FormatTime(&jan5, "%Y-%m", out, sizeof(out)));
    EXPECT_STREQ("2026-01", out);
}

TEST(Clocks, AdvanceAndAgree) {
    uint64_t tick = GetTickMs();
    int64_t micro = GetMicroseconds();
    EXPECT_GT(tick, 0u);
    EXPECT_GE(GetTickMs(), tick);
    EXPECT_GE(GetMicroseconds(), micro);
    int64_t now = GetTimeNow();
    int64_t localMs = GetLocalTimeMs();
    // Local fields read back through the runtime give the same instant.
    EXPECT_LE(std::llabs(localMs / 1000 - now), 2);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FileLayer, ReadsReturnWhatIsThereThenEndOfFile) {
    std::ofstream("four.bin", std::ios::binary) << "abcd";
    for (int stream : {1, 0}) {
        SCOPED_TRACE(stream ? "stream" : "descriptor");
        FileHandle h;
        ASSERT_EQ(0, FileOpen("four.bin", "r", stream, &h));
        // Programs the client starts do not inherit the file.
        int fd = stream ? fileno(h.file.stream) : h.file.descriptor;
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
        char buffer[10] = {};
        EXPECT_EQ(4, FileRead(buffer, 10, &h));
        EXPECT_EQ("abcd", std::string(buffer, 4));
        EXPECT_EQ(-2, FileRead(buffer, 10, &h));
        EXPECT_EQ(0, FileSeek(0, SEEK_SET, &h));
        EXPECT_EQ(2, FileRead(buffer, 2, &h));
        EXPECT_EQ(4, FileSeek(0, SEEK_END, &h));
        FileInfo info = {};
        EXPECT_EQ(0, FileGetSize(&info, &h));
        EXPECT_EQ(4, info.size);
        EXPECT_EQ(0, FileClose(&h));
    }
}

TEST(FileLayer, WriteModes) {
    std::ofstream("w.bin", std::ios::binary) << "0123456789";
    FileHandle d;
    ASSERT_EQ(0, FileOpen("w.bin", "w", 0, &d));
    EXPECT_EQ(2, FileWrite("ab", 2, &d));
    EXPECT_EQ(0, FileClose(&d));
    EXPECT_EQ("ab23456789", ReadAll("w.bin")); // a descriptor does not truncate

    FileHandle s;
    ASSERT_EQ(0, FileOpen("w.bin", "w", 1, &s));
    EXPECT_EQ(3, FileWrite("xyz", 3, &s));
    FileInfo info = {};
    EXPECT_EQ(0, FileGetSize(&info, &s));
    EXPECT_EQ(3, info.size);
    EXPECT_EQ(0, FileClose(&s));
    EXPECT_EQ("xyz", ReadAll("w.bin")); // a stream does

    FileHandle n;
    ASSERT_EQ(0, FileOpen("new.bin", "w", 0, &n));
    EXPECT_EQ(0, FileClose(&n));
    EXPECT_EQ(0, access("new.bin", F_OK));
}

TEST(FileLayer, RefusedOpens) {
    FileHandle h;
    EXPECT_EQ(-1, FileOpen("w.bin", "a", 1, &h));
    EXPECT_EQ(-1, FileOpen("w.bin", "rw", 0, &h));
    EXPECT_EQ(-1, FileOpen("missing.bin", "r", 1, &h));
    EXPECT_EQ(-1, FileOpen("missing.bin", "r", 0, &h));
    EXPECT_EQ(-1, FileOpen("no-folder/x.bin", "w", 0, &h));
    EXPECT_EQ(-1, FileOpen(nullptr, "r", 0, &h));
}

TEST(FileLayer, StatOfFilesAndFolders) {
    mkdir("folder", 0700);
    std::ofstream("folder/data.txt") << "12345";
    FileInfo info = {};
    time_t before = time(nullptr);
    ASSERT_EQ(0, FileStat(&info, "folder/data.txt"));
    EXPECT_EQ(5, info.size);
    EXPECT_EQ(0, info.attributes);
    EXPECT_STREQ("data.txt", info.name);
    EXPECT_LE(info.creationTime, before + 1);
    EXPECT_GT(info.creationTime, before - 60);

    ASSERT_EQ(0, FileStat(&info, "folder"));
    EXPECT_EQ(16, info.attributes);
    EXPECT_STREQ("data.txt", info.name); // no separator: the name is left as it was
    EXPECT_EQ(-1, FileStat(&info, "folder/missing"));
}

} // namespace
