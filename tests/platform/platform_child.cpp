// A small program that the platform tests run as a real child process. The first
// argument chooses what it does; see each branch.
#include "CrashDump.h"
#include "ProcessPipe.h"
#include "SystemHelpers.h"
#include "zrwlog.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// Set while the crash filter runs: any heap use there is reported on standard error.
volatile sig_atomic_t gInCrashFilter = 0;

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace {

void ReportHeapUse() {
    if (gInCrashFilter) {
        static const char kText[] = "heap used inside the crash handler\n";
        ssize_t ignored = write(STDERR_FILENO, kText, sizeof(kText) - 1);
        (void)ignored;
    }
}

} // namespace

extern "C" void* malloc(size_t size) {
    ReportHeapUse();
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) {
    ReportHeapUse();
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size) {
    ReportHeapUse();
    return __libc_realloc(block, size);
}

namespace {

void WriteText(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void Touch(const char* path) {
    FILE* file = std::fopen(path, "w");
    if (file != nullptr) {
        std::fclose(file);
    }
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

long CrashFilter(EXCEPTION_POINTERS* exception) {
    gInCrashFilter = 1;
    char dumpName[260] = {0};
    long result = HandleCrash(exception, dumpName);
    char line[400] = "IPCDataStatisticsModule::";
    std::strncat(line, dumpName, sizeof(line) - std::strlen(line) - 1);
    CrashLogWrite(line);
    CrashMessageBox("Sorry. Application exception occurs. Please refer to log files for more information.",
                    "FatalAppExit");
    return result;
}

} // namespace

// Outside the anonymous namespace, so that the crash report can name it.
__attribute__((noinline)) void CrashNow(const std::string& mode) {
    if (mode == "segv") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    } else if (mode == "fpe") {
        volatile int zero = 0;
        volatile int value = 7 / zero;
        (void)value;
    } else if (mode == "ill") {
        __builtin_trap();
    } else if (mode == "bus") {
        raise(SIGBUS);
    } else if (mode == "abrt") {
        abort();
    } else if (mode == "terminate") {
        throw std::runtime_error("nobody catches this");
    }
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "args") {
        // Each argument on a line of its own, between brackets.
        std::string text;
        for (int i = 2; i < argc; ++i) {
            text += std::string("[") + argv[i] + "]\n";
        }
        WriteText(text);
        return 0;
    }
    if (mode == "print" && argc > 2) {
        WriteText(argv[2]);
        return 0;
    }
    if (mode == "debug" && argc > 2) {
        // Only standard error is left to carry the text.
        close(STDOUT_FILENO);
        OutputDebugStringA(argv[2]);
        return 0;
    }
    if (mode == "pid") {
        WriteText(std::to_string(getpid()));
        return 0;
    }
    if (mode == "silent") {
        return 0;
    }
    if (mode == "pwd") {
        char cwd[4096];
        WriteText(getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : "?");
        return 0;
    }
    if (mode == "big" && argc > 2) {
        WriteText(std::string(std::atoi(argv[2]), 'x'));
        return 0;
    }
    if (mode == "chatty" && argc > 2) {
        // A first line, a pause, then far more than a pipe holds, then the marker: the
        // marker exists only when no write killed the program.
        WriteText("first\n");
        SleepMs(200);
        const std::string block(65536, 'y');
        for (int i = 0; i < 8; ++i) {
            WriteText(block);
        }
        Touch(argv[2]);
        return 0;
    }
    if (mode == "flood" && argc > 3) {
        // Far more than a pipe holds, its last words, the marker, and the end.
        const std::string block(65536, 'z');
        for (int left = std::atoi(argv[2]); left > 0; left -= static_cast<int>(block.size())) {
            WriteText(
                block.substr(0, static_cast<size_t>(std::min<int>(left, static_cast<int>(block.size())))));
        }
        WriteText("\nlast words\n");
        Touch(argv[3]);
        return 0;
    }
    if (mode == "cat") {
        char buffer[4096];
        ssize_t n;
        while ((n = read(STDIN_FILENO, buffer, sizeof(buffer))) > 0) {
            WriteText("<" + std::string(buffer, static_cast<size_t>(n)) + ">");
        }
        return 0;
    }
    if (mode == "later" && argc > 3) {
        SleepMs(std::atoi(argv[2]));
        WriteText(argv[3]);
        SleepMs(60000);
        return 0;
    }
    if (mode == "sleep") {
        SleepMs(argc > 2 ? std::atoi(argv[2]) : 60000);
        return 0;
    }
    if (mode == "stubborn") {
        // Ignores the polite request; only SIGKILL ends it.
        signal(SIGTERM, SIG_IGN);
        WriteText("ready " + std::to_string(getpid()) + "\n");
        SleepMs(60000);
        return 0;
    }
    if (mode == "slowexit" && argc > 2) {
        // Listens on a port of its own and, asked to end, takes its time before it goes
        // (as openvpn does when it tells its server goodbye).
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        sigprocmask(SIG_BLOCK, &term, nullptr);
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(fd, 1) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 3;
        }
        WriteText("port " + std::to_string(ntohs(address.sin_port)) + "\n");
        int signal = 0;
        sigwait(&term, &signal);
        SleepMs(std::atoi(argv[2]));
        return 0;
    }
    if (mode == "starter" && argc > 3) {
        // starter FILE PROGRAM [ARGS...]: starts the program as the client starts openvpn,
        // writes its process id into FILE and waits to be killed.
        std::string arguments;
        for (int i = 4; i < argc; ++i) {
            arguments += std::string(i > 4 ? " " : "") + argv[i];
        }
        ProcessPipe pipe;
        PROCESS_INFORMATION info;
        if (pipe.StartProcess(argv[3], arguments.c_str(), &info) != kResultSuccess) {
            return 3;
        }
        FILE* out = std::fopen(argv[2], "w");
        if (out == nullptr) {
            return 4;
        }
        std::fprintf(out, "%d\n", info.dwProcessId);
        std::fclose(out);
        SleepMs(60000);
        return 0;
    }
    if (mode == "instance" && argc > 2) {
        WriteText(IsAlreadyRunning(argv[2]) ? "running" : "first");
        return 0;
    }
    if (mode == "crash" && argc > 4) {
        // crash MODE LOGFILE DUMPPATH
        ZRWLogReset();
        ZRWLogOpenFile(argv[3]);
        ZRWLog(6, 3, "before the crash\n");
        SetDumpFilePath(argv[4]);
        SetUnhandledExceptionFilter(CrashFilter);
        CrashNow(argv[2]);
        return 0;
    }
    std::fprintf(stderr, "platform_child: unknown mode\n");
    return 2;
}
