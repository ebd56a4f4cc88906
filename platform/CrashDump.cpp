#include "CrashDump.h"

#include "FileWrite.h"
#include "InvokingUser.h"
#include "PlatformConstants.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <cxxabi.h>
#include <dirent.h>
#include <dlfcn.h>
#include <elf.h>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Process-wide state; set at start-up, read by the crash handler.
// Empty until start-up sets a path; kDefaultDumpPath stands for it meanwhile.
char gDumpPath[kMaxPath] = "";
char gDumpTag[kMaxPath] = "";
// The local time's offset from UTC, taken outside the handler: localtime() may lock and
// allocate.
std::atomic<long> gUtcOffset{0};
std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> gFilter{nullptr};
std::atomic<pid_t> gCrashingThread{0};
std::terminate_handler gPreviousTerminate = nullptr;

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kAltStackSize = 64 * 1024;
alignas(16) char gAltStack[kAltStackSize];

constexpr int kMaxAddresses = 128;
void* gAddresses[kMaxAddresses];
CrashStackFrame gFrames[kMaxCrashFrames];
void* gFrameAddresses[kMaxCrashFrames];
char gRecord[4096];
char gLine[4 * 1024 + 64];

// Text assembly without the heap or stdio.
class SafeText {
public:
    SafeText(char* buffer, size_t size) : data(buffer), capacity(size) { data[0] = '\0'; }
    SafeText& Add(const char* text) {
        while (text != nullptr && *text != '\0' && length + 1 < capacity) {
            data[length++] = *text++;
        }
        data[length] = '\0';
        return *this;
    }
    SafeText& AddChar(char c) {
        if (length + 1 < capacity) {
            data[length++] = c;
            data[length] = '\0';
        }
        return *this;
    }
    // Decimal, at least `width` digits (zero-padded), or blank-padded to width when
    // blankPad is set.
    SafeText& AddNumber(long long value, int width = 0, bool blankPad = false) {
        char digits[24];
        int count = 0;
        unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0 && count < 20);
        int total = count + (value < 0 ? 1 : 0);
        for (; total < width; ++total) {
            AddChar(blankPad ? ' ' : '0');
        }
        if (value < 0) {
            AddChar('-');
        }
        while (count > 0) {
            AddChar(digits[--count]);
        }
        return *this;
    }
    SafeText& AddHex(unsigned long long value, int width) {
        static const char kDigits[] = "0123456789ABCDEF";
        char digits[16];
        int count = 0;
        do {
            digits[count++] = kDigits[value & 0xF];
            value >>= 4;
        } while (value != 0 && count < 16);
        for (int i = count; i < width; ++i) {
            AddChar('0');
        }
        while (count > 0) {
            AddChar(digits[--count]);
        }
        return *this;
    }
    const char* Text() const { return data; }
    size_t Length() const { return length; }

private:
    char* data;
    size_t capacity;
    size_t length = 0;
};

struct CivilTime {
    int year, month, day, hour, minute, second;
};

// The local date and time from the realtime clock and the offset taken at start-up.
CivilTime LocalNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    long long seconds = static_cast<long long>(now.tv_sec) + gUtcOffset.load();
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime civil;
    civil.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    civil.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    civil.year = static_cast<int>(yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0));
    civil.hour = static_cast<int>(rest / 3600);
    civil.minute = static_cast<int>(rest % 3600 / 60);
    civil.second = static_cast<int>(rest % 60);
    return civil;
}

void RefreshUtcOffset() {
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) != nullptr) {
        gUtcOffset.store(local.tm_gmtoff);
    }
}

// Taken once at start-up too, so a dump written before the handler is installed also
// carries the local time.
[[maybe_unused]] const bool gUtcOffsetTaken = (RefreshUtcOffset(), true);

bool EndsWith(const char* text, size_t length, const char* suffix) {
    size_t suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::memcmp(text + length - suffixLength, suffix, suffixLength) == 0;
}

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// The descriptor of the open log file: a descriptor open for writing on a "*.log" file
// in the log folder. Found through /proc/self/fd with plain system calls.
int FindLogDescriptor() {
    int directory = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        return -1;
    }
    char folderPattern[64];
    SafeText folder(folderPattern, sizeof(folderPattern));
    folder.Add("/").Add(kLogFolderName).Add("/");

    alignas(8) char entries[2048];
    int found = -1;
    while (found < 0) {
        long count = syscall(SYS_getdents64, directory, entries, sizeof(entries));
        if (count <= 0) {
            break;
        }
        for (long offset = 0; offset < count && found < 0;) {
            auto* entry = reinterpret_cast<LinuxDirent64*>(entries + offset);
            offset += entry->d_reclen;
            int fd = 0;
            const char* name = entry->d_name;
            if (*name < '0' || *name > '9') {
                continue;
            }
            for (; *name >= '0' && *name <= '9'; ++name) {
                fd = fd * 10 + (*name - '0');
            }
            if (fd == directory) {
                continue;
            }
            int flags = fcntl(fd, F_GETFL);
            if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
                continue;
            }
            char link[64];
            SafeText linkPath(link, sizeof(link));
            linkPath.Add("/proc/self/fd/").AddNumber(fd);
            char target[1024];
            ssize_t length = readlink(link, target, sizeof(target) - 1);
            if (length <= 0) {
                continue;
            }
            target[length] = '\0';
            if (EndsWith(target, static_cast<size_t>(length), ".log") && std::strstr(target, folderPattern)) {
                found = fd;
            }
        }
    }
    close(directory);
    return found;
}

const char* SignalName(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

DWORD CodeForSignal(int signal) {
    switch (signal) {
    case SIGILL:
        return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case SIGABRT:
        return EXCEPTION_CPP_EXCEPTION;
    default:
        return EXCEPTION_ACCESS_VIOLATION;
    }
}

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

// The loader relocates the addresses of the dynamic section in place, except in a
// read-only one, which keeps them as offsets from the load address.
template <typename T> const T* DynamicAddress(const link_map* map, ElfW(Addr) value) {
    return reinterpret_cast<const T*>(value < map->l_addr ? value + map->l_addr : value);
}

// The number of dynamic symbols, from the classic hash table or the GNU one.
size_t DynamicSymbolCount(const ElfW(Word) * hash, const ElfW(Word) * gnuHash) {
    if (hash != nullptr) {
        return hash[1];
    }
    if (gnuHash == nullptr) {
        return 0;
    }
    const ElfW(Word) bucketCount = gnuHash[0];
    const ElfW(Word) symbolOffset = gnuHash[1];
    const ElfW(Word) bloomSize = gnuHash[2];
    const auto* buckets =
        reinterpret_cast<const ElfW(Word)*>(reinterpret_cast<const ElfW(Addr)*>(gnuHash + 4) + bloomSize);
    const ElfW(Word)* chains = buckets + bucketCount;
    ElfW(Word) last = 0;
    for (ElfW(Word) i = 0; i < bucketCount; ++i) {
        if (buckets[i] > last) {
            last = buckets[i];
        }
    }
    if (last < symbolOffset) {
        return symbolOffset;
    }
    // The last chain ends at the entry whose lowest bit is set.
    while ((chains[last - symbolOffset] & 1) == 0) {
        ++last;
    }
    return last + 1;
}

// The module and the exported symbol that hold an address, as dladdr would name them but
// without the loader's lock: _dl_find_object is safe in a signal handler, and the symbol
// table is read where the loader mapped it.
void LookUpAddress(const void* address, CrashStackFrame& frame) {
    dl_find_object found;
    if (_dl_find_object(const_cast<void*>(address), &found) != 0 || found.dlfo_link_map == nullptr) {
        return;
    }
    const link_map* map = found.dlfo_link_map;
    // The program itself has no name in the loader's list.
    const char* module = map->l_name != nullptr && *map->l_name != '\0' ? BaseName(map->l_name)
                                                                        : program_invocation_short_name;
    if (module != nullptr && *module != '\0') {
        SafeStrCopy(frame.moduleName, sizeof(frame.moduleName), module);
    }
    const ElfW(Sym)* symbols = nullptr;
    const char* strings = nullptr;
    ElfW(Xword) stringsSize = 0;
    const ElfW(Word)* hash = nullptr;
    const ElfW(Word)* gnuHash = nullptr;
    for (const ElfW(Dyn)* entry = map->l_ld; entry != nullptr && entry->d_tag != DT_NULL; ++entry) {
        switch (entry->d_tag) {
        case DT_SYMTAB:
            symbols = DynamicAddress<ElfW(Sym)>(map, entry->d_un.d_ptr);
            break;
        case DT_STRTAB:
            strings = DynamicAddress<char>(map, entry->d_un.d_ptr);
            break;
        case DT_STRSZ:
            stringsSize = entry->d_un.d_val;
            break;
        case DT_HASH:
            hash = DynamicAddress<ElfW(Word)>(map, entry->d_un.d_ptr);
            break;
        case DT_GNU_HASH:
            gnuHash = DynamicAddress<ElfW(Word)>(map, entry->d_un.d_ptr);
            break;
        default:
            break;
        }
    }
    if (symbols == nullptr || strings == nullptr) {
        return;
    }
    const size_t count = DynamicSymbolCount(hash, gnuHash);
    const auto target = reinterpret_cast<ElfW(Addr)>(address);
    const ElfW(Sym)* best = nullptr;
    ElfW(Addr) bestStart = 0;
    for (size_t i = 0; i < count; ++i) {
        const ElfW(Sym)& symbol = symbols[i];
        const int type = ELF64_ST_TYPE(symbol.st_info);
        if (symbol.st_shndx == SHN_UNDEF || symbol.st_shndx == SHN_ABS || symbol.st_value == 0 ||
            type == STT_TLS || type == STT_SECTION || type == STT_FILE || symbol.st_name >= stringsSize) {
            continue;
        }
        const ElfW(Addr) start = map->l_addr + symbol.st_value;
        // A symbol without a size holds only its own address.
        const bool holds =
            symbol.st_size == 0 ? target == start : target >= start && target - start < symbol.st_size;
        if (holds && (best == nullptr || start > bestStart)) {
            best = &symbol;
            bestStart = start;
        }
    }
    if (best != nullptr && strings[best->st_name] != '\0') {
        SafeStrCopy(frame.functionName, sizeof(frame.functionName), strings + best->st_name);
    }
}

void WriteRegisters(int fd, const CONTEXT* context) {
#if defined(__x86_64__)
    static const struct {
        const char* name;
        int index;
    } kRegisters[] = {{"RIP", REG_RIP}, {"RSP", REG_RSP}, {"RBP", REG_RBP}, {"RAX", REG_RAX},
                      {"RBX", REG_RBX}, {"RCX", REG_RCX}, {"RDX", REG_RDX}, {"RSI", REG_RSI},
                      {"RDI", REG_RDI}, {"R8", REG_R8},   {"R9", REG_R9},   {"R10", REG_R10},
                      {"R11", REG_R11}, {"R12", REG_R12}, {"R13", REG_R13}, {"R14", REG_R14},
                      {"R15", REG_R15}, {"EFL", REG_EFL}, {"ERR", REG_ERR}, {"TRAPNO", REG_TRAPNO}};
    for (const auto& reg : kRegisters) {
        SafeText line(gLine, sizeof(gLine));
        line.Add(reg.name)
            .Add(" = 0x")
            .AddHex(static_cast<unsigned long long>(context->uc_mcontext.gregs[reg.index]), 16)
            .Add("\n");
        WriteAll(fd, line.Text(), line.Length());
    }
#else
    (void)context;
    WriteAll(fd, "(registers of this architecture are not recorded)\n", 51);
#endif
}

void CopyFile(int fd, const char* path) {
    int source = open(path, O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return;
    }
    while (true) {
        ssize_t n = read(source, gRecord, sizeof(gRecord));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        WriteAll(fd, gRecord, static_cast<size_t>(n));
    }
    close(source);
}

void* ProgramCounter(const CONTEXT* context) {
#if defined(__x86_64__)
    return reinterpret_cast<void*>(context->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return reinterpret_cast<void*>(context->uc_mcontext.pc);
#else
    (void)context;
    return nullptr;
#endif
}

void CrashSignalHandler(int signal, siginfo_t* info, void* context) {
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t expected = 0;
    if (!gCrashingThread.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            // A fault inside the report itself: end at once.
            _exit(128 + signal);
        }
        // Another thread is writing the report and will end the process.
        while (true) {
            pause();
        }
    }
    auto* ucontext = static_cast<CONTEXT*>(context);
    EXCEPTION_RECORD record;
    record.ExceptionCode = CodeForSignal(signal);
    record.ExceptionFlags = 0;
    record.ExceptionAddress = ProgramCounter(ucontext);
    record.Signal = signal;
    record.SignalCode = info != nullptr ? info->si_code : 0;
    record.FaultAddress = info != nullptr ? info->si_addr : nullptr;
    EXCEPTION_POINTERS pointers{&record, ucontext};
    LPTOP_LEVEL_EXCEPTION_FILTER filter = gFilter.load();
    if (filter != nullptr) {
        filter(&pointers);
    }
    _exit(128 + signal);
}

void CrashTerminateHandler() {
    // libstdc++'s handler names the exception on standard error (outside any signal
    // handler, so it may allocate) and then aborts, which raises SIGABRT.
    __gnu_cxx::__verbose_terminate_handler();
}

} // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = gFilter.exchange(filter);
    if (filter == nullptr) {
        for (int signal : kSignals) {
            std::signal(signal, SIG_DFL);
        }
        if (gPreviousTerminate != nullptr) {
            std::set_terminate(gPreviousTerminate);
            gPreviousTerminate = nullptr;
        }
        return previous;
    }
    RefreshUtcOffset();
    // The first backtrace() loads the unwinder; do it now rather than in the handler.
    // Once loaded, the unwinder finds its tables through _dl_find_object, without a lock.
    void* warmUp[2];
    backtrace(warmUp, 2);

    stack_t altStack{};
    altStack.ss_sp = gAltStack;
    altStack.ss_size = sizeof(gAltStack);
    altStack.ss_flags = 0;
    sigaltstack(&altStack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = CrashSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
    std::terminate_handler before = std::set_terminate(CrashTerminateHandler);
    if (before != CrashTerminateHandler) {
        gPreviousTerminate = before;
    }
    return previous;
}

void SetDumpFilePath(const char* path) {
    if (path == nullptr || std::strlen(path) >= kMaxPath) {
        return;
    }
    RefreshUtcOffset();
    std::memset(gDumpPath, 0, sizeof(gDumpPath));
    SafeStrCopy(gDumpPath, sizeof(gDumpPath), path);
}

int SetDumpNameTag(const char* tag) {
    if (tag == nullptr || std::strlen(tag) >= kMaxPath) {
        return -1;
    }
    std::memset(gDumpTag, 0, sizeof(gDumpTag));
    SafeStrCopy(gDumpTag, sizeof(gDumpTag), tag);
    return 0;
}

void SafeStrCopy(char* destination, size_t size, const char* source) {
    if (size == 0 || destination == nullptr) {
        return;
    }
    size_t i = 0;
    for (; source != nullptr && source[i] != '\0' && i + 1 < size; ++i) {
        destination[i] = source[i];
    }
    destination[i] = '\0';
}

void FormatExceptionRecord(const EXCEPTION_RECORD& record, ExceptionTexts* texts) {
    SafeStrCopy(texts->code, sizeof(texts->code), "N/A");
    SafeStrCopy(texts->address, sizeof(texts->address), "N/A");
    SafeStrCopy(texts->flags, sizeof(texts->flags), "N/A");
    SafeText code(texts->code, sizeof(texts->code));
    code.AddHex(record.ExceptionCode, 8);
    SafeText address(texts->address, sizeof(texts->address));
    address.AddHex(reinterpret_cast<uintptr_t>(record.ExceptionAddress) & 0xFFFFFFFFu, 8);
    SafeText flags(texts->flags, sizeof(texts->flags));
    flags.AddHex(record.ExceptionFlags, 8);
}

int CollectCallStack(const CONTEXT* context, CrashStackFrame* frames, int capacity) {
    if (frames == nullptr || capacity <= 0) {
        return 0;
    }
    if (capacity > kMaxCrashFrames) {
        capacity = kMaxCrashFrames;
    }
    const int total = backtrace(gAddresses, kMaxAddresses);
    void* pc = context != nullptr ? ProgramCounter(context) : nullptr;
    // The walk starts in this handler; the faulting frame is the one at the saved
    // program counter. Without it the whole walk is reported after that counter.
    int first = 0;
    bool pcInWalk = false;
    for (int i = 0; i < total; ++i) {
        if (gAddresses[i] == pc) {
            first = i;
            pcInWalk = true;
            break;
        }
    }
    int count = 0;
    auto addFrame = [&](void* address, bool returnAddress) {
        gFrameAddresses[count] = address;
        CrashStackFrame& frame = frames[count++];
        SafeStrCopy(frame.moduleName, sizeof(frame.moduleName), "N/A");
        SafeStrCopy(frame.functionName, sizeof(frame.functionName), "N/A");
        SafeStrCopy(frame.sourceFile, sizeof(frame.sourceFile), "N/A");
        SafeStrCopy(frame.lineNumber, sizeof(frame.lineNumber), "N/A");
        // A return address points after the call; look up the call itself.
        LookUpAddress(returnAddress ? static_cast<char*>(address) - 1 : address, frame);
    };
    if (!pcInWalk && pc != nullptr) {
        addFrame(pc, false);
    }
    for (int i = first; i < total && count < capacity; ++i) {
        addFrame(gAddresses[i], i != first || !pcInWalk ? true : false);
    }
    return count;
}

void CrashLogWrite(const char* text) {
    int fd = FindLogDescriptor();
    SafeText record(gRecord, sizeof(gRecord));
    if (fd >= 0) {
        CivilTime now = LocalNow();
        record.Add("[")
            .AddNumber(now.year, 2)
            .Add("-")
            .AddNumber(now.month, 2)
            .Add("-")
            .AddNumber(now.day, 2);
        record.Add(" ").AddNumber(now.hour, 2).Add(":").AddNumber(now.minute, 2).Add(":");
        record.AddNumber(now.second, 2).Add("] ");
    }
    record.Add(text);
    WriteAll(fd >= 0 ? fd : STDERR_FILENO, record.Text(), record.Length());
}

void CrashMessageBox(const char* text, const char* caption) {
    SafeText message(gRecord, sizeof(gRecord));
    message.Add(caption).Add(": ").Add(text).Add("\n");
    WriteAll(STDERR_FILENO, message.Text(), message.Length());
}

void WriteMiniDump(const char* dumpPath, char* outName, EXCEPTION_POINTERS* exception) {
    char base[kMaxPath];
    char extension[kMaxPath];
    SafeStrCopy(base, sizeof(base), dumpPath);
    SafeStrCopy(extension, sizeof(extension), "dmp");
    char* dot = std::strrchr(base, '.');
    char* slash = std::strrchr(base, '/');
    if (dot != nullptr && (slash == nullptr || dot > slash)) {
        *dot = '\0';
        SafeStrCopy(extension, sizeof(extension), dot + 1);
    }
    CivilTime now = LocalNow();
    char name[kMaxPath];
    SafeText text(name, sizeof(name));
    text.Add(base).Add("_").Add(kArchName).Add("_");
    if (gDumpTag[0] != '\0') {
        text.Add(gDumpTag).Add("_");
    }
    text.AddNumber(now.year, 4, true).Add("-").AddNumber(now.month, 2).Add("-").AddNumber(now.day, 2);
    text.Add(" ").AddNumber(now.hour, 2).Add("-").AddNumber(now.minute, 2).Add("-").AddNumber(now.second, 2);
    text.Add(".").Add(extension);
    if (outName != nullptr) {
        SafeStrCopy(outName, kMaxPath, name);
    }

    // The dump goes into the user's data folder: made as the user, and never through a link.
    int fd = -1;
    {
        UserFileAccess access;
        fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    }
    if (fd < 0) {
        return;
    }
    const EXCEPTION_RECORD* record = exception != nullptr ? exception->ExceptionRecord : nullptr;
    {
        SafeText head(gLine, sizeof(gLine));
        head.Add("Korva VPN crash dump\nProcess: ").AddNumber(getpid()).Add("\n");
        if (record != nullptr) {
            ExceptionTexts texts;
            FormatExceptionRecord(*record, &texts);
            head.Add("Signal: ")
                .AddNumber(record->Signal)
                .Add(" (")
                .Add(SignalName(record->Signal))
                .Add("), code ");
            head.AddNumber(record->SignalCode).Add("\nException code: ").Add(texts.code);
            head.Add("\nException address: 0x")
                .AddHex(reinterpret_cast<uintptr_t>(record->ExceptionAddress), 16);
            head.Add("\nFault address: 0x").AddHex(reinterpret_cast<uintptr_t>(record->FaultAddress), 16);
            head.Add("\nFlags: ").Add(texts.flags).Add("\n");
        }
        WriteAll(fd, head.Text(), head.Length());
    }
    if (exception != nullptr && exception->ContextRecord != nullptr) {
        WriteAll(fd, "\nRegisters:\n", 12);
        WriteRegisters(fd, exception->ContextRecord);
    }
    WriteAll(fd, "\nCall stack:\n", 13);
    const int count =
        CollectCallStack(exception != nullptr ? exception->ContextRecord : nullptr, gFrames, kMaxCrashFrames);
    for (int i = 0; i < count; ++i) {
        SafeText line(gLine, sizeof(gLine));
        line.Add("#").AddNumber(i).Add(" 0x").AddHex(reinterpret_cast<uintptr_t>(gFrameAddresses[i]), 16);
        line.Add(" ").Add(gFrames[i].functionName).Add(" [").Add(gFrames[i].moduleName);
        line.Add("]\n");
        WriteAll(fd, line.Text(), line.Length());
    }
    WriteAll(fd, "\nMemory map:\n", 13);
    CopyFile(fd, "/proc/self/maps");
    close(fd);
}

long HandleCrash(EXCEPTION_POINTERS* exception, char* dumpName) {
    WriteMiniDump(gDumpPath[0] != '\0' ? gDumpPath : kDefaultDumpPath, dumpName, exception);
    ExceptionTexts texts;
    if (exception != nullptr && exception->ExceptionRecord != nullptr) {
        FormatExceptionRecord(*exception->ExceptionRecord, &texts);
    } else {
        SafeStrCopy(texts.code, sizeof(texts.code), "N/A");
        SafeStrCopy(texts.address, sizeof(texts.address), "N/A");
        SafeStrCopy(texts.flags, sizeof(texts.flags), "N/A");
    }
    CrashLogWrite("CrashInfo: \r\n");
    {
        char buffer[256];
        SafeText info(buffer, sizeof(buffer));
        info.Add("ErrorCode: ").Add(texts.code).Add("\r\npcAddress: ").Add(texts.address);
        info.Add("\r\nFlags: ").Add(texts.flags).Add("\r\n");
        CrashLogWrite(buffer);
    }
    const int count =
        CollectCallStack(exception != nullptr ? exception->ContextRecord : nullptr, gFrames, kMaxCrashFrames);
    CrashLogWrite("CallStack: \r\n");
    for (int i = 0; i < count; ++i) {
        SafeText line(gLine, sizeof(gLine));
        line.Add(gFrames[i].functionName).Add("() : [").Add(gFrames[i].moduleName).Add("] (File: ");
        line.Add(gFrames[i].sourceFile).Add(" @Line ").Add(gFrames[i].lineNumber).Add(")\r\n");
        CrashLogWrite(gLine);
    }
    return EXCEPTION_EXECUTE_HANDLER;
}
