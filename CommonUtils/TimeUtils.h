// Time and file helpers: clocks, calendar arithmetic, a time formatter with its own
// directive set, and a small file layer over either a stdio stream or a descriptor.
//
// Times are 64-bit seconds since 1970-01-01 00:00:00 UTC unless stated; broken-down
// times are the C runtime's struct tm. The calendar functions that build a time from
// fields read them as local standard time (daylight-saving flag 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

uint64_t GetTickMs();      // milliseconds since the system started
int64_t GetMicroseconds(); // microseconds of a monotonic clock
int64_t GetLocalTimeMs();  // local time as milliseconds since 1970
int64_t GetTimeNow();      // seconds since 1970

// 1 when both times, moved by hourOffset hours, fall into the same UTC hour of the same day.
int IsSameHour(int64_t a, int64_t b, int hourOffset);

// Formats *time (as local time) by the directives a A b B c d H I j m M p S w x Y %.
// An unknown directive ends the call with -1; the out text then holds what came before.
int FormatTime(const int64_t* time, const char* format, char* out);
// As above; -1 as well when the result and its terminator do not fit into outSize bytes.
int FormatTime(const int64_t* time, const char* format, char* out, size_t outSize);

int64_t MakeTime(int year, int month, int day, int hour, int minute, int second);
// The n-th given weekday (0 Sunday) of a month at the given time, less offset seconds;
// an n past the month's last such weekday gives the last one.
int64_t NthWeekdayTime(int year, int month, int n, int weekday, int hour, int minute, int second,
                       int64_t offset);
// 1 when start <= time < end, or, for a window across the wrap (end < start), when
// time >= start or time < end.
int InTimeWindow(int64_t time, int64_t start, int64_t end);
// 1 when a's date (year, month, day) is on or before b's.
int IsDateNotAfter(const struct tm* a, const struct tm* b);
int DaysInMonth(int year, int month);
int DaysInYear(int year);
int IsLeapYear(int year);

// A file open as a stdio stream (kind non-zero) or as a descriptor (kind 0).
struct FileHandle {
    int32_t kind;
    union {
        FILE* stream;
        int32_t descriptor;
    } file;
};

struct FileInfo {
    int32_t attributes; // 16 for a directory, else 0
    char name[260];
    int64_t size;
    int64_t creationTime; // the status-change time
};

// mode "r" or "w"; a stream opens "rb" or "wb" (truncated), a descriptor read-only, or
// write-only and created when missing, not truncated.
int FileOpen(const char* path, const char* mode, int useStream, FileHandle* handle);
int FileClose(FileHandle* handle);
int64_t FileSeek(int64_t offset, int origin, FileHandle* handle);
// Bytes read, -2 at the end of the file, or -1.
int FileRead(void* buffer, int n, FileHandle* handle);
int FileWrite(const void* bytes, int n, FileHandle* handle);
int FileGetSize(FileInfo* info, FileHandle* handle);
int FileStat(FileInfo* info, const char* path);
