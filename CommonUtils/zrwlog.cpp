#include "zrwlog.h"

#include "ByteBuf.h"

#include <pthread.h>
#include <semaphore.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

struct ZRWLogConfig {
    int32_t outputMask;
    uint32_t moduleMask;
    int32_t levelThreshold;
    uint32_t prefixFlags;
    int32_t timeFormat;
    int32_t memoryValueCount;
    ByteBuf memory;
    char filePath[256];
    FILE* logFile;
    ZRWSemHandle lockHandle;
    uint32_t lockFlag;
};

ZRWLogConfig gConfig = {ZRWLOG_OUTPUT_FILE, 0, 0, 0, 0, 0, {}, {}, nullptr, nullptr, 0};

// Guards the log file and the memory buffer: a record is written whole, and a close
// cannot pull the stream away from a writer on another thread. Never destroyed, so a
// late record at process exit still finds it.
pthread_mutex_t gOutputMutex = PTHREAD_MUTEX_INITIALIZER;

class OutputLock {
public:
    OutputLock() { pthread_mutex_lock(&gOutputMutex); }
    ~OutputLock() { pthread_mutex_unlock(&gOutputMutex); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;
};

// The library's files are opened close-on-exec: programs the client starts must not
// inherit the log file. A link at the path is not followed (the file is refused): the
// client writes as root and must not be led to write elsewhere.
const char kWriteBinary[] = "wb";
const char kWriteText[] = "w";

FILE* OpenForWriting(const char* path, const char* mode) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        return nullptr;
    }
    FILE* file = fdopen(fd, mode);
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

bool PassesFilter(int module, int level) {
    if (level >= 1 && level <= 3) {
        return true;
    }
    if (module < 0 || module > 31) {
        return false;
    }
    return (gConfig.moduleMask & (1u << module)) != 0 && level <= gConfig.levelThreshold;
}

// Caller holds the output lock.
void CloseLogFileLocked() {
    if (gConfig.logFile != nullptr) {
        fflush(gConfig.logFile);
        fclose(gConfig.logFile);
        gConfig.logFile = nullptr;
    }
}

// Takes the record's variable arguments in the order the format names them, each as a
// 32-bit integer, into values[0..count). Arguments that the format does not name are
// never read: their values stay 0.
void TakeIntegerArguments(const char* format, va_list args, int32_t* values, int count) {
    int taken = 0;
    for (const char* p = format; *p != '\0' && taken < count; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        if (*p == '%') {
            continue;
        }
        while (*p != '\0' && strchr("-+ #0'", *p) != nullptr) {
            ++p;
        }
        if (*p == '*') {
            values[taken++] = va_arg(args, int);
            ++p;
        }
        while (*p >= '0' && *p <= '9') {
            ++p;
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                if (taken < count) {
                    values[taken++] = va_arg(args, int);
                }
                ++p;
            }
            while (*p >= '0' && *p <= '9') {
                ++p;
            }
        }
        int longs = 0;
        bool sizeT = false;
        bool longDouble = false;
        bool intMax = false;
        while (*p != '\0' && strchr("hlLqjzt", *p) != nullptr) {
            if (*p == 'l' || *p == 'q') {
                ++longs;
                if (*p == 'q') {
                    ++longs;
                }
            } else if (*p == 'L') {
                longDouble = true;
            } else if (*p == 'z' || *p == 't') {
                sizeT = true;
            } else if (*p == 'j') {
                intMax = true;
            }
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        if (taken >= count) {
            break;
        }
        switch (*p) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (intMax) {
                values[taken++] = static_cast<int32_t>(va_arg(args, intmax_t));
            } else if (sizeT) {
                values[taken++] = static_cast<int32_t>(va_arg(args, size_t));
            } else if (longs >= 2) {
                values[taken++] = static_cast<int32_t>(va_arg(args, long long));
            } else if (longs == 1) {
                values[taken++] = static_cast<int32_t>(va_arg(args, long));
            } else {
                values[taken++] = va_arg(args, int);
            }
            break;
        case 'c':
            // A character, narrow or wide, arrives promoted to int.
            values[taken++] = va_arg(args, int);
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (longDouble) {
                values[taken++] = static_cast<int32_t>(va_arg(args, long double));
            } else {
                values[taken++] = static_cast<int32_t>(va_arg(args, double));
            }
            break;
        case 's':
        case 'p':
        case 'n':
            values[taken++] = static_cast<int32_t>(reinterpret_cast<uintptr_t>(va_arg(args, void*)));
            break;
        default:
            // An unknown conversion: nothing more can be read safely.
            return;
        }
    }
}

void PrintPiece(int module, int level, const char* format, int value) {
    ZRWLog(module, level, format, value);
}

// How the dump routines print one byte.
enum class Cell {
    Decimal,   // "%d " of its value
    Star,      // '*' when non-zero, else '.'
    BitDigits, // its 8 bits, lowest first, each "%d "
    BitStars,  // its 8 bits, lowest first, each '*' or '.'
};

void PrintCell(int module, int level, unsigned char byte, Cell cell) {
    switch (cell) {
    case Cell::Decimal:
        PrintPiece(module, level, "%d ", byte);
        break;
    case Cell::Star:
        PrintPiece(module, level, "%c", byte != 0 ? '*' : '.');
        break;
    case Cell::BitDigits:
    case Cell::BitStars:
        for (int bit = 0; bit < 8; ++bit) {
            int on = (byte >> bit) & 1;
            if (cell == Cell::BitStars) {
                PrintPiece(module, level, "%c", on ? '*' : '.');
            } else {
                PrintPiece(module, level, "%d ", on);
            }
        }
        break;
    }
}

// Prints rows of `columns` bytes, row r beginning at byte (r x strideBits) / 8, each
// row followed by a line break, with an optional title first and an optional empty
// line last. Every piece is a record of its own.
void DumpRows(int module, int level, const char* title, int columns, int rows, long strideBits,
              const unsigned char* bytes, Cell cell, bool finalLine) {
    if (bytes == nullptr) {
        return;
    }
    if (title != nullptr) {
        ZRWLog(module, level, "%s", title);
    }
    for (int r = 0; r < rows; ++r) {
        const unsigned char* row = bytes + (r * strideBits) / 8;
        for (int c = 0; c < columns; ++c) {
            PrintCell(module, level, row[c], cell);
        }
        ZRWLog(module, level, "\n");
    }
    if (finalLine) {
        ZRWLog(module, level, "\n");
    }
}

} // namespace

int ZRWLogReset() {
    OutputLock lock;
    // A reset forgets the open file, the memory buffer and the lock; close and release
    // them first so that none of them leaks.
    CloseLogFileLocked();
    ByteBufReset(1, &gConfig.memory);
    if (gConfig.lockHandle != nullptr) {
        SemClose(gConfig.lockHandle);
    }
    memset(&gConfig, 0, sizeof(gConfig));
    gConfig.outputMask = ZRWLOG_OUTPUT_FILE;
    return 0;
}

void ZRWLogSetOutput(int mask) {
    gConfig.outputMask = mask;
}

void ZRWLogUseDebugger() {
    gConfig.outputMask = ZRWLOG_OUTPUT_DEBUGGER;
}

int ZRWLogOpenMemory(int records, int count) {
    OutputLock lock;
    gConfig.outputMask = ZRWLOG_OUTPUT_MEMORY;
    if (records < 0 || count < 0 || count > INT32_MAX / 4 - 2) {
        return -1;
    }
    long long size = static_cast<long long>(records) * (static_cast<long long>(count) + 2) * 4;
    if (size > INT32_MAX) {
        return -1;
    }
    gConfig.memoryValueCount = count;
    ByteBufReset(1, &gConfig.memory);
    return ByteBufInit(nullptr, 0, 0, static_cast<int>(size), &gConfig.memory) == 0 ? 0 : -1;
}

int ZRWLogOpenFile(const char* path) {
    OutputLock lock;
    gConfig.outputMask = ZRWLOG_OUTPUT_FILE;
    // The file it replaces is closed even when the new one cannot be opened: after a
    // failed open the file output writes nothing.
    CloseLogFileLocked();
    if (path == nullptr) {
        gConfig.filePath[0] = '\0';
        return -1;
    }
    snprintf(gConfig.filePath, sizeof(gConfig.filePath), "%s", path);
    gConfig.logFile = OpenForWriting(path, kWriteBinary);
    return gConfig.logFile != nullptr ? 0 : -1;
}

void ZRWLogEnableModule(int on, int module) {
    if (module < 0 || module > 31) {
        return;
    }
    if (on) {
        gConfig.moduleMask |= 1u << module;
    } else {
        gConfig.moduleMask &= ~(1u << module);
    }
}

void ZRWLogSetLevel(int threshold) {
    gConfig.levelThreshold = threshold;
}

int ZRWLogGetLevel() {
    return gConfig.levelThreshold;
}

void ZRWLogEnableTimeStamp(int on) {
    if (on) {
        gConfig.prefixFlags |= ZRWLOG_PREFIX_TIME;
    } else {
        gConfig.prefixFlags &= ~static_cast<uint32_t>(ZRWLOG_PREFIX_TIME);
    }
}

void ZRWLogSetTimeFormat(int format) {
    gConfig.timeFormat = format;
}

void ZRWLogEnableLock(int on) {
    if (on && gConfig.lockHandle == nullptr) {
        if (SemCreate(&gConfig.lockHandle) == 0) {
            gConfig.lockFlag = 1;
        }
    } else if (!on && gConfig.lockFlag == 1) {
        SemClose(gConfig.lockHandle);
        gConfig.lockHandle = nullptr;
        gConfig.lockFlag = 0;
    }
}

void ZRWLog(int module, int level, const char* format, ...) {
    if (format == nullptr || !PassesFilter(module, level)) {
        return;
    }
    va_list args;
    va_start(args, format);
    ZRWLogWrite(module, level, format, args);
    va_end(args);
}

void ZRWLogV(int module, int level, const char* format, va_list args) {
    if (format == nullptr || !PassesFilter(module, level)) {
        return;
    }
    ZRWLogWrite(module, level, format, args);
}

void ZRWLogWrite(int, int, const char* format, va_list args) {
    if (format == nullptr) {
        return;
    }
    struct Output {
        int bit;
        void (*write)(const char*, va_list);
    };
    static const Output kOutputs[] = {
        {ZRWLOG_OUTPUT_CONSOLE, ZRWLog2Default},
        {ZRWLOG_OUTPUT_DEBUGGER, ZRWLog2Debugger},
        {ZRWLOG_OUTPUT_MEMORY, ZRWLog2Memory},
        {ZRWLOG_OUTPUT_FILE, ZRWLog2File},
    };
    int mask = gConfig.outputMask;
    for (const Output& output : kOutputs) {
        if (mask & output.bit) {
            // Each output formats from its own copy: a va_list cannot be walked twice.
            va_list copy;
            va_copy(copy, args);
            output.write(format, copy);
            va_end(copy);
        }
    }
}

void ZRWLog2Default(const char* format, va_list args) {
    uint32_t prefix = gConfig.prefixFlags;
    if (prefix & ZRWLOG_PREFIX_TIME) {
        // Only the seconds form has a console text; the system-time forms read the
        // clock and print nothing.
        if (gConfig.timeFormat == ZRWLOG_TIME_EPOCH) {
            printf("%lld ", static_cast<long long>(time(nullptr)));
        }
    }
    if (prefix & ZRWLOG_PREFIX_PATH) {
        printf("%s ", __FILE__);
    }
    if (prefix & ZRWLOG_PREFIX_FUNCTION) {
        printf("%s ", "ZRWLog2Default");
    }
    if (prefix & ZRWLOG_PREFIX_LINE) {
        printf("%d ", 199);
    }
    vprintf(format, args);
}

void ZRWLog2Debugger(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        return;
    }
    // The debugger channel on Linux is standard error.
    if (length < 256) {
        char text[256];
        vsnprintf(text, sizeof(text), format, args);
        fputs(text, stderr);
        return;
    }
    char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (text == nullptr) {
        return;
    }
    vsnprintf(text, static_cast<size_t>(length) + 1, format, args);
    fputs(text, stderr);
    free(text);
}

void ZRWLog2Memory(const char* format, va_list args) {
    OutputLock lock;
    int count = gConfig.memoryValueCount;
    if (gConfig.memory.data == nullptr || ByteBufWritable(&gConfig.memory) < count * 4 + 8) {
        return;
    }
    uint32_t word1 = 0;
    uint32_t word2 = 0;
    if (gConfig.prefixFlags & ZRWLOG_PREFIX_TIME) {
        if (gConfig.timeFormat == ZRWLOG_TIME_SYSTEM) {
            struct timeval now;
            gettimeofday(&now, nullptr);
            word1 = static_cast<uint32_t>(now.tv_sec % 60);
            word2 = static_cast<uint32_t>(now.tv_usec / 1000);
        } else if (gConfig.timeFormat == ZRWLOG_TIME_EPOCH) {
            word2 = static_cast<uint32_t>(static_cast<uint64_t>(time(nullptr)) & 0xFFFFFFFFu);
        }
    }
    ByteBufPutU32BE(word1, &gConfig.memory);
    ByteBufPutU32BE(word2, &gConfig.memory);
    int32_t values[64] = {};
    int32_t* taken =
        count <= 64 ? values : static_cast<int32_t*>(calloc(static_cast<size_t>(count), sizeof(int32_t)));
    if (taken != nullptr) {
        TakeIntegerArguments(format, args, taken, count);
    }
    for (int i = 0; i < count; ++i) {
        ByteBufPutU32BE(taken != nullptr ? static_cast<uint32_t>(taken[i]) : 0u, &gConfig.memory);
    }
    if (taken != values) {
        free(taken);
    }
}

void ZRWLog2File(const char* format, va_list args) {
    OutputLock lock;
    FILE* file = gConfig.logFile;
    if (file == nullptr) {
        return;
    }
    if ((gConfig.prefixFlags & ZRWLOG_PREFIX_TIME) && gConfig.timeFormat == ZRWLOG_TIME_LOCAL) {
        time_t now = time(nullptr);
        struct tm local;
        if (localtime_r(&now, &local) != nullptr) {
            fprintf(file, "[%02d-%02d-%02d %02d:%02d:%02d] ", local.tm_year + 1900, local.tm_mon + 1,
                    local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        }
    }
    vfprintf(file, format, args);
    fflush(file);
}

void ZRWLogClose() {
    OutputLock lock;
    CloseLogFileLocked();
    if (gConfig.outputMask == ZRWLOG_OUTPUT_MEMORY) {
        ByteBufReset(1, &gConfig.memory);
    }
}

int ZRWLogDumpMemory(const char* path) {
    OutputLock lock;
    if (gConfig.outputMask != ZRWLOG_OUTPUT_MEMORY) {
        return -1;
    }
    FILE* out = stdout;
    if (path != nullptr) {
        CloseLogFileLocked();
        gConfig.logFile = OpenForWriting(path, kWriteText);
        if (gConfig.logFile == nullptr) {
            return -1;
        }
        out = gConfig.logFile;
    }
    ByteBuf* memory = &gConfig.memory;
    int count = gConfig.memoryValueCount;
    ByteBufFlip(memory);
    fprintf(out, "Memory Log Numbers = %lu\n",
            static_cast<unsigned long>(ByteBufReadable(memory) / ((count + 2) * 4)));
    while (ByteBufReadable(memory) >= count * 4 + 8) {
        int word1 = static_cast<int>(ByteBufGetU32BE(memory));
        int word2 = static_cast<int>(ByteBufGetU32BE(memory));
        fprintf(out, "Time = %d: %d; LogInfo = ", word2, word1);
        for (int i = 0; i < count; ++i) {
            fprintf(out, "%d, ", static_cast<int>(ByteBufGetU32BE(memory)));
        }
        fprintf(out, "\n");
    }
    if (path != nullptr) {
        CloseLogFileLocked();
    } else {
        fflush(stdout);
    }
    return 0;
}

int ZRWLogSaveMemory(const char* path) {
    OutputLock lock;
    if (gConfig.outputMask != ZRWLOG_OUTPUT_MEMORY || path == nullptr) {
        return -1;
    }
    CloseLogFileLocked();
    gConfig.logFile = OpenForWriting(path, kWriteBinary);
    if (gConfig.logFile == nullptr) {
        return -1;
    }
    int rc = ByteBufWriteFile(gConfig.logFile, &gConfig.memory);
    if (fflush(gConfig.logFile) != 0) {
        rc = -1;
    }
    CloseLogFileLocked();
    return rc == 0 ? 0 : -1;
}

void ZRWLogDumpBytes(int module, int level, int count, const unsigned char* bytes) {
    DumpRows(module, level, nullptr, count, 1, count * 8, bytes, Cell::Decimal, false);
}

void ZRWLogDumpByteRows(int module, int level, int columns, int rows, const unsigned char* bytes) {
    DumpRows(module, level, nullptr, columns, rows, columns * 8, bytes, Cell::Decimal, true);
}

void ZRWLogDumpCharMap(int module, int level, int columns, int rows, const unsigned char* bytes) {
    DumpRows(module, level, "Charmap\n", columns, rows, columns * 8, bytes, Cell::Star, true);
}

void ZRWLogDumpBits(int module, int level, int count, const unsigned char* bytes) {
    DumpRows(module, level, nullptr, 1, count, 8, bytes, Cell::BitDigits, true);
}

void ZRWLogDumpBitChars(int module, int level, int count, const unsigned char* bytes) {
    DumpRows(module, level, nullptr, 1, count, 8, bytes, Cell::BitStars, true);
}

void ZRWLogDumpBitRows(int module, int level, int columns, int rows, const unsigned char* bytes) {
    DumpRows(module, level, nullptr, columns, rows, columns * 8, bytes, Cell::BitDigits, true);
}

void ZRWLogDumpBitmap(int module, int level, int width, int rows, const unsigned char* bytes) {
    DumpRows(module, level, "Bitmap\n", width / 8, rows, width, bytes, Cell::BitStars, true);
}

int SemCreate(ZRWSemHandle* slot) {
    if (slot == nullptr) {
        return -1;
    }
    sem_t* sem = static_cast<sem_t*>(malloc(sizeof(sem_t)));
    if (sem == nullptr || sem_init(sem, 0, 1) != 0) {
        free(sem);
        *slot = nullptr;
        return -1;
    }
    *slot = sem;
    return 0;
}

int SemClose(ZRWSemHandle handle) {
    if (handle == nullptr) {
        return -1;
    }
    sem_t* sem = static_cast<sem_t*>(handle);
    sem_destroy(sem);
    free(sem);
    return 0;
}

int SemWait(ZRWSemHandle handle) {
    if (handle == nullptr) {
        return -1;
    }
    while (sem_wait(static_cast<sem_t*>(handle)) != 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return 0;
}

int SemTryWait(ZRWSemHandle handle) {
    if (handle == nullptr) {
        return -1;
    }
    return sem_trywait(static_cast<sem_t*>(handle)) == 0 ? 0 : -1;
}

int SemRelease(ZRWSemHandle handle) {
    if (handle == nullptr) {
        return -1;
    }
    return sem_post(static_cast<sem_t*>(handle)) == 0 ? 0 : -1;
}
