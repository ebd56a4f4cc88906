#include "TimeUtils.h"

#include "StrUtils.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

const char* const kWeekdaysShort[] = {"Sun", "Mon", "Tues", "Wed", "Thur", "Fri", "Sat"};
const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char* const kMonthsShort[] = {"Jan", "Feb", "Mar",  "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

int64_t ClockMicroseconds(clockid_t clock) {
    struct timespec ts;
    clock_gettime(clock, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// A calendar record of the given local standard time.
struct tm CalendarRecord(int year, int month, int day, int hour, int minute, int second) {
    struct tm record;
    memset(&record, 0, sizeof(record));
    record.tm_year = year - 1900;
    record.tm_mon = month - 1;
    record.tm_mday = day;
    record.tm_hour = hour;
    record.tm_min = minute;
    record.tm_sec = second;
    record.tm_isdst = 0;
    return record;
}

std::string Printf(const char* format, int a, int b = 0, int c = 0, int d = 0, int e = 0, int f = 0) {
    char text[64];
    snprintf(text, sizeof(text), format, a, b, c, d, e, f);
    return text;
}

// The text of one directive, or false for a character that is none.
bool Directive(char c, const struct tm& t, std::string* text) {
    int year = t.tm_year + 1900;
    int month = t.tm_mon + 1;
    switch (c) {
    case 'a':
        *text = kWeekdaysShort[t.tm_wday];
        return true;
    case 'A':
        *text = kWeekdays[t.tm_wday];
        return true;
    case 'b':
        *text = kMonthsShort[t.tm_mon];
        return true;
    case 'B':
        *text = kMonths[t.tm_mon];
        return true;
    case 'c':
        *text =
            Printf("%04d-%02d-%02d %02d:%02d:%02d", year, month, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        return true;
    case 'd':
        *text = Printf("%02d", t.tm_mday);
        return true;
    case 'H':
        *text = Printf("%02d", t.tm_hour);
        return true;
    case 'I':
        *text = Printf("%02d", t.tm_hour % 12);
        return true;
    case 'j':
        *text = Printf("%d", t.tm_yday);
        return true;
    case 'm':
        *text = Printf("%02d", month);
        return true;
    case 'M':
        *text = Printf("%02d", t.tm_min);
        return true;
    case 'p':
        *text = t.tm_hour >= 12 ? "PM" : "AM";
        return true;
    case 'S':
        *text = Printf("%02d", t.tm_sec);
        return true;
    case 'w':
        *text = Printf("%d", t.tm_wday);
        return true;
    case 'x':
        *text = Printf("%04d-%02d-%02d", year, month, t.tm_mday);
        return true;
    case 'Y':
        *text = Printf("%04d", year);
        return true;
    case '%':
        *text = "%";
        return true;
    default:
        return false;
    }
}

int Descriptor(const FileHandle* handle) {
    return handle->kind != 0 ? fileno(handle->file.stream) : handle->file.descriptor;
}

} // namespace

uint64_t GetTickMs() {
    return static_cast<uint64_t>(ClockMicroseconds(CLOCK_BOOTTIME) / 1000);
}

int64_t GetMicroseconds() {
    return ClockMicroseconds(CLOCK_MONOTONIC);
}

int64_t GetLocalTimeMs() {
    struct timeval now;
    gettimeofday(&now, nullptr);
    time_t seconds = now.tv_sec;
    struct tm local;
    localtime_r(&seconds, &local);
    // The local fields go back through mktime, the runtime deciding on daylight saving.
    local.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&local)) * 1000 + now.tv_usec / 1000;
}

int64_t GetTimeNow() {
    return static_cast<int64_t>(time(nullptr));
}

int IsSameHour(int64_t a, int64_t b, int hourOffset) {
    time_t ta = static_cast<time_t>(a + static_cast<int64_t>(hourOffset) * 3600);
    time_t tb = static_cast<time_t>(b + static_cast<int64_t>(hourOffset) * 3600);
    struct tm ra;
    struct tm rb;
    if (gmtime_r(&ta, &ra) == nullptr || gmtime_r(&tb, &rb) == nullptr) {
        return 0;
    }
    return ra.tm_year == rb.tm_year && ra.tm_mon == rb.tm_mon && ra.tm_mday == rb.tm_mday &&
                   ra.tm_hour == rb.tm_hour
               ? 1
               : 0;
}

int FormatTime(const int64_t* time, const char* format, char* out) {
    return FormatTime(time, format, out, SIZE_MAX);
}

int FormatTime(const int64_t* time, const char* format, char* out, size_t outSize) {
    if (format == nullptr || out == nullptr || time == nullptr || outSize == 0) {
        return -1;
    }
    time_t value = static_cast<time_t>(*time);
    struct tm t;
    if (localtime_r(&value, &t) == nullptr) {
        out[0] = '\0';
        return -1;
    }
    size_t written = 0;
    auto append = [&](const std::string& piece) {
        if (written + piece.size() + 1 > outSize) {
            return false;
        }
        memcpy(out + written, piece.data(), piece.size());
        written += piece.size();
        return true;
    };
    int rc = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        std::string piece;
        if (*p != '%') {
            piece.assign(1, *p);
        } else if (!Directive(*++p, t, &piece)) {
            rc = -1;
            break;
        }
        if (!append(piece)) {
            rc = -1;
            break;
        }
    }
    out[written] = '\0';
    return rc;
}

int64_t MakeTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm record = CalendarRecord(year, month, day, hour, minute, second);
    return static_cast<int64_t>(mktime(&record));
}

int64_t NthWeekdayTime(int year, int month, int n, int weekday, int hour, int minute, int second,
                       int64_t offset) {
    struct tm first = CalendarRecord(year, month, 1, 0, 0, 0);
    mktime(&first);
    int day = 1 + (((weekday - first.tm_wday) % 7) + 7) % 7;
    int days = DaysInMonth(year, month);
    for (int i = 1; i < n; ++i) {
        if (day + 7 <= days) {
            day += 7;
        }
    }
    struct tm record = CalendarRecord(year, month, day, hour, minute, second);
    return static_cast<int64_t>(mktime(&record)) - offset;
}

int InTimeWindow(int64_t time, int64_t start, int64_t end) {
    if (end >= start) {
        return start <= time && time < end ? 1 : 0;
    }
    return time >= start || time < end ? 1 : 0;
}

int IsDateNotAfter(const struct tm* a, const struct tm* b) {
    if (a->tm_year != b->tm_year) {
        return a->tm_year < b->tm_year ? 1 : 0;
    }
    if (a->tm_mon != b->tm_mon) {
        return a->tm_mon < b->tm_mon ? 1 : 0;
    }
    return a->tm_mday <= b->tm_mday ? 1 : 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return -1;
    }
    if (month == 2 && year >= 0 && IsLeapYear(year)) {
        return 29;
    }
    return kDays[month - 1];
}

int DaysInYear(int year) {
    return IsLeapYear(year) ? 366 : 365;
}

int IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 1 : 0;
}

int FileOpen(const char* path, const char* mode, int useStream, FileHandle* handle) {
    if (handle == nullptr) {
        return -1;
    }
    handle->kind = useStream;
    if (path == nullptr || mode == nullptr) {
        return -1;
    }
    bool read = strcmp(mode, "r") == 0;
    bool write = strcmp(mode, "w") == 0;
    if (!read && !write) {
        return -1;
    }
    if (useStream) {
        // Like the descriptors, streams are not handed to programs the client starts ('e').
        handle->file.stream = fopen(path, read ? "rbe" : "wbe");
        return handle->file.stream != nullptr ? 0 : -1;
    }
    handle->file.descriptor =
        read ? open(path, O_RDONLY | O_CLOEXEC) : open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    return handle->file.descriptor >= 0 ? 0 : -1;
}

int FileClose(FileHandle* handle) {
    if (handle == nullptr) {
        return -1;
    }
    if (handle->kind != 0) {
        int rc = handle->file.stream != nullptr ? fclose(handle->file.stream) : EOF;
        handle->file.stream = nullptr;
        return rc == 0 ? 0 : -1;
    }
    int rc = close(handle->file.descriptor);
    handle->file.descriptor = -1;
    return rc == 0 ? 0 : -1;
}

int64_t FileSeek(int64_t offset, int origin, FileHandle* handle) {
    if (handle == nullptr) {
        return -1;
    }
    if (handle->kind == 0) {
        return static_cast<int64_t>(lseek(handle->file.descriptor, static_cast<off_t>(offset), origin));
    }
    int rc = fseeko(handle->file.stream, static_cast<off_t>(offset), origin);
    if (rc != 0) {
        return rc;
    }
    return static_cast<int64_t>(ftello(handle->file.stream));
}

int FileRead(void* buffer, int n, FileHandle* handle) {
    if (handle == nullptr || buffer == nullptr || n < 0) {
        return -1;
    }
    if (handle->kind == 0) {
        ssize_t got = read(handle->file.descriptor, buffer, static_cast<size_t>(n));
        if (got == 0 && n != 0) {
            return -2;
        }
        return static_cast<int>(got);
    }
    FILE* stream = handle->file.stream;
    off_t start = ftello(stream);
    if (n == 0 || fread(buffer, static_cast<size_t>(n), 1, stream) == 1) {
        return n;
    }
    // The whole block was not there: read again byte by byte to learn how much was.
    clearerr(stream);
    if (start < 0 || fseeko(stream, start, SEEK_SET) != 0) {
        return -1;
    }
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    int count = 0;
    while (count < n) {
        int c = fgetc(stream);
        if (c == EOF) {
            break;
        }
        bytes[count++] = static_cast<unsigned char>(c);
    }
    if (count == 0) {
        return feof(stream) ? -2 : -1;
    }
    return count;
}

int FileWrite(const void* bytes, int n, FileHandle* handle) {
    if (handle == nullptr || bytes == nullptr || n < 0) {
        return -1;
    }
    if (handle->kind == 0) {
        return static_cast<int>(write(handle->file.descriptor, bytes, static_cast<size_t>(n)));
    }
    if (n == 0) {
        return 0;
    }
    return fwrite(bytes, static_cast<size_t>(n), 1, handle->file.stream) == 1 ? n : 0;
}

int FileGetSize(FileInfo* info, FileHandle* handle) {
    if (info == nullptr || handle == nullptr) {
        return -1;
    }
    if (handle->kind != 0) {
        fflush(handle->file.stream); // what the stream still holds counts as written
    }
    struct stat st;
    if (fstat(Descriptor(handle), &st) != 0) {
        return -1;
    }
    info->size = static_cast<int64_t>(st.st_size);
    return 0;
}

int FileStat(FileInfo* info, const char* path) {
    if (info == nullptr || path == nullptr) {
        return -1;
    }
    struct stat st;
    if (stat(path, &st) != 0) {
        return -1;
    }
    info->size = static_cast<int64_t>(st.st_size);
    info->creationTime = static_cast<int64_t>(st.st_ctime);
    char name[sizeof(info->name)];
    if (FileNameFromPath(path, name, sizeof(name)) == 0) {
        memcpy(info->name, name, sizeof(name));
    }
    info->attributes = S_ISDIR(st.st_mode) ? 16 : 0;
    return 0;
}
