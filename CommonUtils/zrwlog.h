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

// Configuration. The output setters replace the whole output mask: ZRWLogOpenFile and
// ZRWLogOpenMemory leave only their own output on.
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

// Writing. Levels 1 to 3 always pass the filter; any other level passes when its module
// is enabled and the level is not above the threshold. No line break is added.
void ZRWLog(int module, int level, const char* format, ...) ZRWLOG_PRINTF(3, 4);
void ZRWLogV(int module, int level, const char* format, va_list args);
void ZRWLogWrite(int module, int level, const char* format, va_list args);
void ZRWLogClose();

// The four outputs; ZRWLogWrite calls those whose bit is set, console, debugger, memory,
// file, each with its own copy of the argument list.
void ZRWLog2Default(const char* format, va_list args);
void ZRWLog2Debugger(const char* format, va_list args);
void ZRWLog2Memory(const char* format, va_list args);
void ZRWLog2File(const char* format, va_list args);

// The memory records: printed as text (to the path, or to standard output for a null
// path) or saved as bytes. Both need the output mask to be exactly 0x04.
int ZRWLogDumpMemory(const char* path);
int ZRWLogSaveMemory(const char* path);

// Byte and bit dumps, printed through ZRWLog piece by piece.
void ZRWLogDumpBytes(int module, int level, int count, const unsigned char* bytes);
void ZRWLogDumpByteRows(int module, int level, int columns, int rows, const unsigned char* bytes);
void ZRWLogDumpCharMap(int module, int level, int columns, int rows, const unsigned char* bytes);
void ZRWLogDumpBits(int module, int level, int count, const unsigned char* bytes);
void ZRWLogDumpBitChars(int module, int level, int count, const unsigned char* bytes);
void ZRWLogDumpBitRows(int module, int level, int columns, int rows, const unsigned char* bytes);
void ZRWLogDumpBitmap(int module, int level, int width, int rows, const unsigned char* bytes);

// The library's semaphore wrappers (ZRWLogEnableLock). A handle is an unnamed
// semaphore with count 1; each returns 0 on success and -1 on failure.
typedef void* ZRWSemHandle;
int SemCreate(ZRWSemHandle* slot);
int SemClose(ZRWSemHandle handle);
int SemWait(ZRWSemHandle handle);
int SemTryWait(ZRWSemHandle handle);
int SemRelease(ZRWSemHandle handle);
