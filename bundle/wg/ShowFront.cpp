// The bundle's wg (bin/Wireguard/wg) as the client runs it: "wg show TUNNEL" once a second
// while a WireGuard tunnel is up. That call is answered here, from wireguard-go's control
// socket, by a program without the C library: a static C library's start (its processor
// probes, its tunables, the pages it touches) costs more than the answer itself, and on a
// virtual machine far more. Everything else, and every answer this one declines, is the
// full program's beside it (wg-full, main.cpp), run in its place with the same arguments
// and environment: it answers as it always did.
//
// Built with KORVA_WG_HOSTED (the sanitizer builds), the same code runs from an ordinary
// main.
#include <stddef.h>
#include <stdint.h>

#include "FastShow.h"

namespace {

// Linux x86-64 system calls.
constexpr long kRead = 0;
constexpr long kWrite = 1;
constexpr long kOpen = 2;
constexpr long kClose = 3;
constexpr long kStat = 4;
constexpr long kPoll = 7;
constexpr long kSocket = 41;
constexpr long kConnect = 42;
constexpr long kShutdown = 48;
constexpr long kExecve = 59;
constexpr long kReadlink = 89;
constexpr long kTime = 201;
constexpr long kExitGroup = 231;

constexpr long kEintr = 4;
constexpr int kAfUnix = 1;
constexpr int kSockStream = 1;
constexpr int kSockCloexec = 02000000;
constexpr int kShutWrite = 1;
constexpr int kOReadOnly = 0;
constexpr int kONonBlock = 04000;
constexpr int kONoFollow = 0400000;
constexpr int kOCloexec = 02000000;
constexpr short kPollIn = 1;
constexpr unsigned kFileType = 0170000;
constexpr unsigned kSocketType = 0140000;

long Call(long number, long a = 0, long b = 0, long c = 0) {
    long result;
    asm volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
    return result;
}

[[noreturn]] void Exit(int code) {
    for (;;) {
        Call(kExitGroup, code);
    }
}

// The kernel's struct stat on x86-64: st_mode at byte 24.
struct FileStatus {
    unsigned char bytes[144];
    unsigned mode() const {
        return static_cast<unsigned>(bytes[24]) | static_cast<unsigned>(bytes[25]) << 8 |
               static_cast<unsigned>(bytes[26]) << 16 | static_cast<unsigned>(bytes[27]) << 24;
    }
};

struct PollEntry {
    int fd;
    short events;
    short revents;
};

struct UnixAddress {
    unsigned short family;
    char path[108];
};

// wireguard-go's control sockets, where wg looks for them.
constexpr char kSocketFolder[] = "/var/run/wireguard/";
constexpr char kSocketSuffix[] = ".sock";
// The records of the tunnels the bundle's wireguard made (KORVA_WG_RUNDIR in tests).
constexpr char kDefaultRunDir[] = "/run/korva-wireguard";
// How long a control socket may take to answer (as the full program).
constexpr int kAnswerTimeLimitMs = 5000;
// The full program, beside this one.
constexpr char kFullProgram[] = "wg-full";

size_t Length(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    return n;
}

bool Same(const char* a, const char* b) {
    size_t i = 0;
    for (; a[i] != '\0' && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

// The value of NAME in the environment, or null.
const char* Variable(char** envp, const char* name) {
    const size_t size = Length(name);
    for (char** entry = envp; *entry != nullptr; ++entry) {
        size_t i = 0;
        while (i < size && (*entry)[i] == name[i]) {
            ++i;
        }
        if (i == size && (*entry)[i] == '=') {
            return *entry + size + 1;
        }
    }
    return nullptr;
}

bool WriteAll(int fd, const char* data, size_t size) {
    size_t written = 0;
    while (written < size) {
        const long n =
            Call(kWrite, fd, reinterpret_cast<long>(data + written), static_cast<long>(size - written));
        if (n == -kEintr) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// The answer; room for what one tunnel's interface answers, more goes to the full program.
char gReply[64 * 1024];
char gOutput[96 * 1024];
WgFast::Workspace gWork;

// wireguard-go's answer to "get=1" for the interface, read up to its empty line; false
// when it did not come whole (the full program then asks again and decides).
bool AskSocket(const char* interfaceName, size_t* size) {
    UnixAddress address{};
    address.family = kAfUnix;
    WgFast::Text path(address.path, sizeof(address.path) - 1);
    path.add(kSocketFolder);
    path.add(interfaceName);
    path.add(kSocketSuffix);
    if (path.full) {
        return false;
    }
    FileStatus status;
    if (Call(kStat, reinterpret_cast<long>(address.path), reinterpret_cast<long>(&status)) != 0 ||
        (status.mode() & kFileType) != kSocketType) {
        return false;
    }
    const long fd = Call(kSocket, kAfUnix, kSockStream | kSockCloexec, 0);
    if (fd < 0) {
        return false;
    }
    bool whole = false;
    // The request, and its end: wireguard-go answers, finds the connection's end at once and
    // lets it go, where it would otherwise wait for the next request until the close.
    if (Call(kConnect, fd, reinterpret_cast<long>(&address), sizeof(address)) == 0 &&
        WriteAll(static_cast<int>(fd), "get=1\n\n", 7) && Call(kShutdown, fd, kShutWrite) == 0) {
        *size = 0;
        while (*size < sizeof(gReply)) {
            PollEntry wait{static_cast<int>(fd), kPollIn, 0};
            const long ready = Call(kPoll, reinterpret_cast<long>(&wait), 1, kAnswerTimeLimitMs);
            if (ready == -kEintr) {
                continue;
            }
            if (ready <= 0) {
                break;
            }
            const long n = Call(kRead, fd, reinterpret_cast<long>(gReply + *size),
                                static_cast<long>(sizeof(gReply) - *size));
            if (n == -kEintr) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            *size += static_cast<size_t>(n);
            // The answer ends with an empty line.
            if (*size >= 2 && gReply[*size - 2] == '\n' && gReply[*size - 1] == '\n') {
                whole = true;
                break;
            }
        }
    }
    Call(kClose, fd);
    return whole;
}

// The tunnel an interface stands for: the first line of RUNDIR/INTERFACE.name (as
// WgTool::TunnelName reads it), else the interface name itself.
void TunnelName(const char* runDir, const char* interfaceName, char* name, size_t* size) {
    *size = Length(interfaceName);
    for (size_t i = 0; i < *size; ++i) {
        name[i] = interfaceName[i];
    }
    char pathBuffer[4096];
    WgFast::Text path(pathBuffer, sizeof(pathBuffer) - 1);
    path.add(runDir);
    path.add('/');
    path.add(interfaceName);
    path.add(".name");
    if (path.full) {
        return;
    }
    pathBuffer[path.size] = '\0';
    const long fd =
        Call(kOpen, reinterpret_cast<long>(pathBuffer), kOReadOnly | kOCloexec | kONoFollow | kONonBlock);
    if (fd < 0) {
        return;
    }
    char buffer[512];
    long length;
    do {
        length = Call(kRead, fd, reinterpret_cast<long>(buffer), sizeof(buffer));
    } while (length == -kEintr);
    Call(kClose, fd);
    if (length <= 0) {
        return;
    }
    *size = 0;
    while (*size < static_cast<size_t>(length) && buffer[*size] != '\n') {
        name[*size] = buffer[*size];
        ++*size;
    }
}

// "show TUNNEL" answered here; false when the full program is to answer.
bool ShowHere(int argc, char** argv, char** envp) {
    if (argc != 3 || !Same(argv[1], "show") || Same(argv[2], "all") || Same(argv[2], "interfaces")) {
        return false;
    }
    char interfaceName[16];
    WgFast::InterfaceName(argv[2], Length(argv[2]), interfaceName);
    size_t replySize = 0;
    if (!AskSocket(interfaceName, &replySize)) {
        return false;
    }
    const char* runDir = Variable(envp, "KORVA_WG_RUNDIR");
    if (runDir == nullptr || runDir[0] == '\0') {
        runDir = kDefaultRunDir;
    }
    char name[512];
    size_t nameSize = 0;
    TunnelName(runDir, interfaceName, name, &nameSize);
    const char* hide = Variable(envp, "WG_HIDE_KEYS");
    const bool showKeys = hide != nullptr && Same(hide, "never");
    WgFast::Text output(gOutput, sizeof(gOutput));
    const int64_t now = Call(kTime, 0);
    if (WgFast::Show(gReply, replySize, name, nameSize, now, showKeys, &gWork, &output) !=
        WgFast::Result::Written) {
        return false;
    }
    Exit(WriteAll(1, output.data, output.size) ? 0 : 1);
}

// The full program in this one's place: wg-full in this program's folder.
[[noreturn]] void RunFullProgram(char** argv, char** envp) {
    char path[4096];
    const long length = Call(kReadlink, reinterpret_cast<long>("/proc/self/exe"),
                             reinterpret_cast<long>(path), sizeof(path) - sizeof(kFullProgram) - 1);
    size_t folder = length > 0 ? static_cast<size_t>(length) : 0;
    while (folder > 0 && path[folder - 1] != '/') {
        --folder;
    }
    if (folder > 0) {
        for (size_t i = 0; i < sizeof(kFullProgram); ++i) {
            path[folder + i] = kFullProgram[i];
        }
        Call(kExecve, reinterpret_cast<long>(path), reinterpret_cast<long>(argv),
             reinterpret_cast<long>(envp));
    }
    static const char kMissing[] = "wg: the bundle's wg-full cannot be run\n";
    WriteAll(2, kMissing, sizeof(kMissing) - 1);
    Exit(127);
}

} // namespace

extern "C" [[noreturn]] void KorvaWgFront(long argc, char** argv, char** envp) {
    ShowHere(static_cast<int>(argc), argv, envp);
    RunFullProgram(argv, envp);
}

#ifdef KORVA_WG_HOSTED
int main(int argc, char** argv, char** envp) {
    KorvaWgFront(argc, argv, envp);
}
#else
// The process starts here: the stack holds the argument count, the arguments and, after
// their null, the environment. Aligned for the call as the ABI wants it.
asm(".text\n"
    ".global _start\n"
    "_start:\n"
    "    xor %rbp, %rbp\n"
    "    mov (%rsp), %rdi\n"
    "    lea 8(%rsp), %rsi\n"
    "    lea 16(%rsp,%rdi,8), %rdx\n"
    "    and $-16, %rsp\n"
    "    call KorvaWgFront\n"
    "    hlt\n");

// What the compiler may call for copies and zeroing, without the C library.
extern "C" void* memcpy(void* to, const void* from, size_t size) {
    auto* out = static_cast<unsigned char*>(to);
    const auto* in = static_cast<const unsigned char*>(from);
    for (size_t i = 0; i < size; ++i) {
        out[i] = in[i];
    }
    return to;
}

extern "C" void* memmove(void* to, const void* from, size_t size) {
    auto* out = static_cast<unsigned char*>(to);
    const auto* in = static_cast<const unsigned char*>(from);
    if (out < in) {
        for (size_t i = 0; i < size; ++i) {
            out[i] = in[i];
        }
    } else {
        for (size_t i = size; i > 0; --i) {
            out[i - 1] = in[i - 1];
        }
    }
    return to;
}

extern "C" void* memset(void* to, int value, size_t size) {
    auto* out = static_cast<unsigned char*>(to);
    for (size_t i = 0; i < size; ++i) {
        out[i] = static_cast<unsigned char>(value);
    }
    return to;
}

extern "C" int memcmp(const void* a, const void* b, size_t size) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    for (size_t i = 0; i < size; ++i) {
        if (x[i] != y[i]) {
            return x[i] < y[i] ? -1 : 1;
        }
    }
    return 0;
}
#endif
