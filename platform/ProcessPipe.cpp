#include "ProcessPipe.h"

#include "ChildProcess.h"
#include "CommandShell.h"
#include "zrwlog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
// openvpn's output is read once every two seconds; a roomy pipe keeps it from blocking
// on a log write in between.
constexpr int kStartedPipeSize = 1 << 20;

std::unique_ptr<char[]> NewWorkBuffer() {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kWorkBufferSize]);
    if (buffer) {
        std::memset(buffer.get(), 0, kWorkBufferSize);
    }
    return buffer;
}

ssize_t ReadOnce(int fd, char* buffer, size_t size) {
    ssize_t n;
    do {
        n = read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

// Reads and drops the rest of a child's output until every writer has closed the pipe.
void DrainInBackground(int fd) {
    std::thread([fd] {
        char buffer[4096];
        while (true) {
            ssize_t n = read(fd, buffer, sizeof(buffer));
            if (n > 0 || (n < 0 && errno == EINTR)) {
                continue;
            }
            break;
        }
        close(fd);
    }).detach();
}

} // namespace

bool IsInheritableHandle(int handle) {
    return handle >= 0 && fcntl(handle, F_GETFD) != -1;
}

ProcessPipe::~ProcessPipe() {
    CloseEnds();
}

void ProcessPipe::CloseEnds() {
    if (IsInheritableHandle(writeEnd)) {
        close(writeEnd);
    }
    if (IsInheritableHandle(readEnd)) {
        // A started program may still be writing: a closed pipe would kill it.
        if (started) {
            DrainInBackground(readEnd);
        } else {
            close(readEnd);
        }
    }
    writeEnd = -1;
    readEnd = -1;
    started = false;
}

std::string ProcessPipe::ExecuteCommand(const char* commandLine, bool capture, const char* workDir) {
    // Ends left open by an earlier failed run or a started program are closed first.
    CloseEnds();
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        ZRWLog(kLogModule, kLogLevel, "VPN :: Failed to create pipeline, error code = %d \n", errno);
        return kResultFailed;
    }
    readEnd = ends[0];
    writeEnd = ends[1];

    int error = 0;
    std::vector<CommandStage> stages;
    if (commandLine == nullptr || std::strlen(commandLine) >= kCommandLineBufferSize) {
        error = E2BIG;
    } else if (!ParseCommandLine(commandLine, stages)) {
        error = EINVAL;
    } else if (capture) {
        error = RunStages(stages, writeEnd, workDir);
    } else {
        int nullOut = open("/dev/null", O_WRONLY | O_CLOEXEC);
        error = nullOut < 0 ? errno : RunStages(stages, nullOut, workDir);
        if (nullOut >= 0) {
            close(nullOut);
        }
    }
    if (error != 0) {
        ZRWLog(kLogModule, kLogLevel, "VPN :: Failed to create child process, error code = %d \n", error);
        return kResultFailed;
    }

    close(writeEnd);
    writeEnd = -1;

    std::unique_ptr<char[]> buffer = NewWorkBuffer();
    if (!buffer) {
        CloseEnds();
        return kResultFailed;
    }
    if (!capture) {
        CloseEnds();
        return "";
    }
    ssize_t n = ReadOnce(readEnd, buffer.get(), kReadSize);
    std::string result;
    if (n > 0) {
        result = buffer.get();
    } else {
        result = std::strstr(commandLine, kCharonProgram) != nullptr ? kCharonNotExist : kResultFailed;
    }
    DrainInBackground(readEnd);
    readEnd = -1;
    return result;
}

std::string ProcessPipe::StartProcess(const char* applicationPath, const char* arguments,
                                      PROCESS_INFORMATION* info) {
    CloseEnds();
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        ZRWLog(kLogModule, kLogLevel, "System :: Failed to create pipeline, error code = %d \n", errno);
        return kResultFailed;
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    fcntl(writeEnd, F_SETPIPE_SZ, kStartedPipeSize);

    int error = 0;
    pid_t pid = 0;
    if (applicationPath == nullptr || *applicationPath == '\0') {
        error = ENOENT;
    } else {
        // The command line is the application path, a blank and the arguments; the
        // application path itself names the program to run.
        std::vector<std::string> argv =
            SplitCommandLine(std::string("x ") + (arguments != nullptr ? arguments : ""));
        argv[0] = applicationPath;
        int inFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        error = inFd < 0 ? errno : SpawnProgram(argv, inFd, writeEnd, writeEnd, nullptr, &pid);
        if (inFd >= 0) {
            close(inFd);
        }
    }
    if (error != 0) {
        ZRWLog(kLogModule, kLogLevel, "System :: Failed to create child process, error code = %d \n", error);
        return kResultFailed;
    }
    started = true;
    SweepStartedChildren();
    RegisterStartedChild(pid);
    if (info != nullptr) {
        info->dwProcessId = pid;
        info->dwThreadId = pid;
    }
    return kResultSuccess;
}

std::string ProcessPipe::ReadAvailable() {
    std::unique_ptr<char[]> buffer = NewWorkBuffer();
    if (!buffer) {
        return kResultFailed;
    }
    int waiting = 0;
    if (readEnd < 0 || ioctl(readEnd, FIONREAD, &waiting) != 0 || waiting <= 0) {
        ZRWLog(kLogModule, kLogLevel, "System :: Nothing to read... \n");
        return kResultFailed;
    }
    ssize_t n = ReadOnce(readEnd, buffer.get(), kReadSize);
    if (n <= 0) {
        ZRWLog(kLogModule, kLogLevel, "System :: Failed to read pipeline content, error code = %d \n",
               n < 0 ? errno : 0);
        return kResultFailed;
    }
    ZRWLog(kLogModule, kLogLevel, "System :: OpenVPN Connect: \n%s", buffer.get());
    return buffer.get();
}

bool ProcessPipe::KillProcess(PROCESS_INFORMATION info) {
    int error = info.dwProcessId <= 1 ? EINVAL : EndStartedChild(info.dwProcessId);
    if (error != 0) {
        ZRWLog(kLogModule, kLogLevel, "System :: Failed to terminate process, error code = %d \n", error);
        return false;
    }
    return true;
}
