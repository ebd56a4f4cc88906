// The log library: free functions over one process-wide configuration block.
// Every part of the client writes its records through ZRWLog(module, level, format, ...).
#pragma once

#include <cstdarg>

#ifdef __GNUC__
#define ZRWLOG_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define ZRWLOG_PRINTF(a, b)
#endif

// Bits of the output mask.
enum ZRWLogOutput {
    ZRWLOG_OUTPUT_CONSOLE = 0x01,
    ZRWLOG_OUTPUT_MEMORY = 0x04,
    ZRWLOG_OUTPUT_FILE = 0x08,
    ZRWLOG_OUTPUT_DEBUGGER = 0x10,
};

// Bits of the prefix flags.
enum ZRWLogPrefix {
    ZRWLOG_PREFIX_TIME = 0x01,
    ZRWLOG_PREFIX_PATH = 0x02,
    ZRWLOG_PREFIX_FUNCTION = 0x04,
    ZRWLOG_PREFIX_LINE = 0x08,
};

enum ZRWLogTimeFormat {
    ZRWLOG_TIME_SYSTEM = 0,
    ZRWLOG_TIME_EPOCH = 1,
    ZRWLOG_TIME_SYSTEM2 = 2,
    ZRWLOG_TIME_LOCAL = 4,
};

int ZRWLogReset();
void ZRWLogSetOutput(int mask);
void ZRWLogUseDebugger();
int ZRWLogOpenMemory(int records, int count);
int ZRWLogOpenFile(const char* path);
void ZRWLogEnableModule(int on, int module);
void ZRWLogSetLevel(int threshold);
int ZRWLogGetLevel();
void ZRWLogEnableTimeStamp(int on);
void ZRWLogSetTimeFormat(int format);
void ZRWLogEnableLock(int on);

void ZRWLog(int module, int level, const char* format, ...) ZRWLOG_PRINTF(3, 4);
void ZRWLogV(int module, int level, const char* format, va_list args);
void ZRWLogWrite(int module, int level, const char* format, va_list args);
void ZRWLogClose();

int ZRWLogDumpMemory(const char* path);
int ZRWLogSaveMemory(const char* path);

void ZRWLogDumpBytes(int module, int level, int count, const unsigned char* bytes);
void ZRWLogDumpByteRows(int module, int level, int columns, int rows, const unsigned char* bytes);
void ZRWLogDumpCharMap(int module, int level, int columns, int rows, const unsigned char* bytes);
void ZRWLogDumpBits(int module, int level, int count, const unsigned char* bytes);
void ZRWLogDumpBitChars(int module, int level, int count, const unsigned char* bytes);
void ZRWLogDumpBitRows(int module, int level, int columns, int rows, const unsigned char* bytes);
void ZRWLogDumpBitmap(int module, int level, int width, int rows, const unsigned char* bytes);
