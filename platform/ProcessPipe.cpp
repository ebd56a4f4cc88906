#include "ProcessPipe.h"

#include "ChildProcess.h"
#include "CommandShell.h"
#include "zrwlog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
// How much a started program's output thread reads at once.
constexpr size_t kStartedReadChunk = 16384;

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

// Reads and drops the rest of a child's output until every writer has closed the pipe,
// and closes the read end.
void DrainToEnd(int fd) {
    char buffer[4096];
    while (true) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n > 0 || (n < 0 && errno == EINTR)) {
            continue;
        }
        break;
    }
    close(fd);
}

// The same on a thread of its own.
void DrainInBackground(int fd) {
    std::thread([fd] { DrainToEnd(fd); }).detach();
}

} // namespace

struct ProcessPipe::StartedOutput {
    std::mutex mutex;
    // The pipe's read end (non-blocking), closed by the output thread alone.
    int fd = -1;
    // Read from the pipe and not yet taken: the latest kStartedOutputKeep bytes.
    std::string pending;
    // Every writer has closed the pipe.
    bool ended = false;
    // The object has let the program go: what arrives is dropped.
    bool abandoned = false;

    // Moves what the pipe holds into `pending` (or drops it); called with the mutex held.
    void drain() {
        char buffer[kStartedReadChunk];
        while (!ended) {
            const ssize_t n = read(fd, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                // EAGAIN: nothing more for now. Any other error ends the output as well.
                ended = errno != EAGAIN && errno != EWOULDBLOCK;
                return;
            }
            if (n == 0) {
                ended = true;
                return;
            }
            if (!abandoned) {
                pending.append(buffer, static_cast<size_t>(n));
                if (pending.size() > ProcessPipe::kStartedOutputKeep) {
                    pending.erase(0, pending.size() - ProcessPipe::kStartedOutputKeep);
                }
            }
        }
    }
};

namespace {

// Reads a started program's output as it comes, so that the program never waits on a full
// pipe, until every writer has closed the pipe; the object's reads take what the pipe
// holds at once as well, so that they see all the program has written.
void ReadStartedOutput(std::shared_ptr<ProcessPipe::StartedOutput> output) {
    std::thread([output] {
        while (true) {
            pollfd entry{output->fd, POLLIN, 0};
            if (poll(&entry, 1, -1) < 0 && errno != EINTR) {
                break;
            }
            std::lock_guard<std::mutex> lock(output->mutex);
            output->drain();
            if (output->ended) {
                break;
            }
        }
        std::lock_guard<std::mutex> lock(output->mutex);
        output->ended = true;
        close(output->fd);
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
    if (output) {
        // The output thread reads on, and drops, until the program has ended.
        std::lock_guard<std::mutex> lock(output->mutex);
        output->abandoned = true;
        output->pending.clear();
    }
    output.reset();
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
    return Execute(commandLine, capture, workDir, false);
}

std::string ProcessPipe::ExecuteCommandAndWait(const char* commandLine, const char* workDir) {
    return Execute(commandLine, true, workDir, true);
}

std::string ProcessPipe::Execute(const char* commandLine, bool capture, const char* workDir, bool wait) {
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
    // Waited for here, or reaped in the background.
    std::vector<pid_t> children;
    if (commandLine == nullptr || std::strlen(commandLine) >= kCommandLineBufferSize) {
        error = E2BIG;
    } else if (!ParseCommandLine(commandLine, stages)) {
        error = EINVAL;
    } else if (capture) {
        error = RunStages(stages, writeEnd, workDir, wait ? &children : nullptr);
    } else {
        int nullOut = open("/dev/null", O_WRONLY | O_CLOEXEC);
        error = nullOut < 0 ? errno : RunStages(stages, nullOut, workDir);
        if (nullOut >= 0) {
            close(nullOut);
        }
    }
    // Reaps what this run started, once nothing is left for it to write to.
    const auto reap = [this, &children] {
        if (!children.empty()) {
            CloseEnds();
        }
        for (pid_t child : children) {
            ReapChild(child);
        }
    };
    if (error != 0) {
        ZRWLog(kLogModule, kLogLevel, "VPN :: Failed to create child process, error code = %d \n", error);
        reap();
        return kResultFailed;
    }

    close(writeEnd);
    writeEnd = -1;

    std::unique_ptr<char[]> buffer = NewWorkBuffer();
    if (!buffer) {
        CloseEnds();
        reap();
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
    const int rest = readEnd;
    readEnd = -1;
    if (wait) {
        DrainToEnd(rest);
        reap();
    } else {
        DrainInBackground(rest);
    }
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
    // The program holds the write end now: the pipe comes to its end when it (and what it
    // started) has ended. The output thread takes the read end.
    close(writeEnd);
    writeEnd = -1;
    output = std::make_shared<StartedOutput>();
    output->fd = readEnd;
    fcntl(readEnd, F_SETFL, fcntl(readEnd, F_GETFL) | O_NONBLOCK);
    ReadStartedOutput(output);
    readEnd = -1;
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
    if (output) {
        size_t n = 0;
        {
            std::lock_guard<std::mutex> lock(output->mutex);
            output->drain();
            n = std::min(output->pending.size(), kReadSize);
            std::memcpy(buffer.get(), output->pending.data(), n);
            output->pending.erase(0, n);
        }
        if (n == 0) {
            ZRWLog(kLogModule, kLogLevel, "System :: Nothing to read... \n");
            return kResultFailed;
        }
        ZRWLog(kLogModule, kLogLevel, "System :: OpenVPN Connect: \n%s", buffer.get());
        return buffer.get();
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

std::string ProcessPipe::TakeOutput() {
    std::string text;
    if (output) {
        std::lock_guard<std::mutex> lock(output->mutex);
        output->drain();
        text.swap(output->pending);
    }
    return text;
}

bool ProcessPipe::OutputEnded() const {
    if (!output) {
        return false;
    }
    std::lock_guard<std::mutex> lock(output->mutex);
    output->drain();
    return output->ended;
}

bool ProcessPipe::KillProcess(PROCESS_INFORMATION info) {
    int error = info.dwProcessId <= 1 ? EINVAL : EndStartedChild(info.dwProcessId);
    if (error != 0) {
        ZRWLog(kLogModule, kLogLevel, "System :: Failed to terminate process, error code = %d \n", error);
        return false;
    }
    return true;
}
