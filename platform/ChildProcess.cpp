#include "ChildProcess.h"

#include "ChildRecords.h"
#include "CommandLine.h"
#include "PlatformConstants.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

int ResolveProgram(const std::string& name, std::string& path) {
    std::string native = NativeProgramPath(name);
    if (native.empty()) {
        return ENOENT;
    }
    if (native.find('/') != std::string::npos) {
        if (native[0] != '/') {
            char cwd[PATH_MAX];
            if (getcwd(cwd, sizeof(cwd)) == nullptr) {
                return errno;
            }
            native = std::string(cwd) + "/" + native;
        }
        if (access(native.c_str(), X_OK) != 0) {
            return errno;
        }
        path = native;
        return 0;
    }
    const char* searchPath = getenv("PATH");
    std::string dirs =
        searchPath != nullptr && *searchPath != '\0' ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + native;
            if (IsExecutableFile(candidate)) {
                path = candidate;
                return 0;
            }
        }
        start = end + 1;
    }
    return ENOENT;
}

int WaitForPid(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            break;
        }
    }
    ForgetStartedChild(pid);
    return status;
}

int OpenPidFd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// Waits until the process behind pidFd has ended, at most timeoutMs.
bool WaitPidFd(int pidFd, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        pollfd entry{pidFd, POLLIN, 0};
        int ready = poll(&entry, 1, wait);
        if (ready > 0) {
            return true;
        }
        if ((ready < 0 && errno != EINTR) || wait == 0) {
            return false;
        }
    }
}

// Reaps the child once it has ended, waiting at most timeoutMs; true when it is gone,
// with its wait status in status (-1 when it cannot be waited for: reaped elsewhere).
bool ReapWithin(pid_t pid, int timeoutMs, int* status = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int waitStatus = 0;
        pid_t reaped = waitpid(pid, &waitStatus, WNOHANG);
        if (reaped == pid || (reaped < 0 && errno != EINTR)) {
            ForgetStartedChild(pid);
            if (status != nullptr) {
                *status = reaped == pid ? waitStatus : -1;
            }
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kReapPollMs));
    }
}

// Whether a child leads a process group of its own, which the signals that end it reach
// as a whole.
enum class ProcessGroup { Shared, Own };

int SignalChild(pid_t pid, ProcessGroup group, int number) {
    return kill(group == ProcessGroup::Own ? -pid : pid, number) == 0 ? 0 : errno;
}

// The rest of ending an unreaped child that has been sent SIGTERM: it has the grace time
// to end, then SIGKILL; returns once it has been reaped, so that what it held (a
// listening port, a device) is free for the caller's next step.
void AwaitEnd(pid_t pid, ProcessGroup group) {
    if (ReapWithin(pid, kTerminateGraceMs)) {
        return;
    }
    SignalChild(pid, group, SIGKILL);
    if (!ReapWithin(pid, kKillReapMs)) {
        // Stuck in the kernel: it goes when it can, and never stays a zombie.
        ReapInBackground(pid);
    }
}

int Spawn(const std::vector<std::string>& argv, int inFd, int outFd, int errFd, const char* workDir,
          ProcessGroup group, pid_t* pid) {
    if (argv.empty()) {
        return EINVAL;
    }
    std::string path;
    int error = ResolveProgram(argv[0], path);
    if (error != 0) {
        return error;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, inFd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    if (workDir != nullptr && *workDir != '\0') {
        posix_spawn_file_actions_addchdir_np(&actions, workDir);
    }
    sigset_t defaults;
    sigset_t mask;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    sigemptyset(&mask);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &mask);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (group == ProcessGroup::Own) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawnattr_setflags(&attributes, flags);

    pid_t child = 0;
    error = posix_spawn(&child, path.c_str(), &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        return error;
    }
    // Until it is reaped, a record in the run folder names it, so that a next start of the
    // client can end it when this process is killed meanwhile.
    RecordStartedChild(child, path);
    *pid = child;
    return 0;
}

// The resolved target of a /proc link, or "" when it cannot be read.
std::string ReadProcLink(const std::string& path) {
    char target[PATH_MAX];
    ssize_t length = readlink(path.c_str(), target, sizeof(target) - 1);
    if (length <= 0) {
        return std::string();
    }
    return std::string(target, static_cast<size_t>(length));
}

// True when the process exists and has not ended (its state is not zombie or dead).
bool ProcessIsAlive(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::stringstream content;
    content << file.rdbuf();
    const std::string stat = content.str();
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) {
        return false;
    }
    char state = stat[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

// Started children that have not been reaped yet; an entry goes once its child is
// reaped or handed to the background reaper.
std::mutex gStartedMutex;
std::set<pid_t> gStarted;

} // namespace

int SpawnProgram(const std::vector<std::string>& argv, int inFd, int outFd, int errFd, const char* workDir,
                 pid_t* pid) {
    return Spawn(argv, inFd, outFd, errFd, workDir, ProcessGroup::Shared, pid);
}

void ReapInBackground(pid_t pid) {
    std::thread([pid] { WaitForPid(pid); }).detach();
}

void ReapChild(pid_t pid) {
    WaitForPid(pid);
}

int RunToEnd(const std::vector<std::string>& argv, int timeoutMs, int* exitCode) {
    *exitCode = -1;
    const int nullIn = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int nullOut = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = 0;
    int error = nullIn < 0 || nullOut < 0
                    ? errno
                    : Spawn(argv, nullIn, nullOut, nullOut, nullptr, ProcessGroup::Own, &pid);
    if (nullIn >= 0) {
        close(nullIn);
    }
    if (nullOut >= 0) {
        close(nullOut);
    }
    if (error != 0) {
        return error;
    }
    int status = 0;
    if (!ReapWithin(pid, timeoutMs, &status)) {
        SignalChild(pid, ProcessGroup::Own, SIGTERM);
        AwaitEnd(pid, ProcessGroup::Own);
        return ETIMEDOUT;
    }
    if (status != -1 && WIFEXITED(status)) {
        *exitCode = WEXITSTATUS(status);
    }
    return 0;
}

bool TerminateByPid(pid_t pid) {
    if (pid <= 1 || pid == getpid()) {
        return false;
    }
    // A pidfd pins the process, so the escalation cannot reach a process that took the
    // id over after this one ended.
    int pidFd = OpenPidFd(pid);
    if (pidFd < 0) {
        return false;
    }
    if (syscall(SYS_pidfd_send_signal, pidFd, SIGTERM, nullptr, 0) != 0) {
        close(pidFd);
        return false;
    }
    std::thread([pidFd] {
        if (!WaitPidFd(pidFd, kTerminateGraceMs)) {
            syscall(SYS_pidfd_send_signal, pidFd, SIGKILL, nullptr, 0);
        }
        close(pidFd);
    }).detach();
    return true;
}

void RegisterStartedChild(pid_t pid) {
    std::lock_guard<std::mutex> lock(gStartedMutex);
    gStarted.insert(pid);
}

void SweepStartedChildren() {
    std::lock_guard<std::mutex> lock(gStartedMutex);
    for (auto it = gStarted.begin(); it != gStarted.end();) {
        int status = 0;
        if (waitpid(*it, &status, WNOHANG) == *it) {
            ForgetStartedChild(*it);
            it = gStarted.erase(it);
        } else {
            ++it;
        }
    }
}

int EndStartedChild(pid_t pid) {
    {
        std::lock_guard<std::mutex> lock(gStartedMutex);
        auto found = gStarted.find(pid);
        if (pid <= 1 || found == gStarted.end()) {
            return ESRCH;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ForgetStartedChild(pid);
            gStarted.erase(found);
            return ESRCH;
        }
        // Still unreaped, so the id is still this child's.
        const int error = SignalChild(pid, ProcessGroup::Shared, SIGTERM);
        if (error != 0) {
            return error;
        }
        // Out of the list before the lock is left: no sweep reaps it while it is waited for.
        gStarted.erase(found);
    }
    AwaitEnd(pid, ProcessGroup::Shared);
    return 0;
}

bool ProcessRunsFrom(pid_t pid, const std::string& folder) {
    char resolved[PATH_MAX];
    if (pid <= 0 || realpath(folder.c_str(), resolved) == nullptr) {
        return false;
    }
    const std::string base = resolved;
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string program = ReadProcLink(proc + "/exe");
    if (program.size() > base.size() + 1 && program.compare(0, base.size(), base) == 0 &&
        program[base.size()] == '/') {
        return true;
    }
    return ReadProcLink(proc + "/cwd") == base;
}

ProcessEndWatch::ProcessEndWatch(pid_t pid) : pid(pid), pidFd(pid > 0 ? OpenPidFd(pid) : -1) {}

ProcessEndWatch::~ProcessEndWatch() {
    if (pidFd >= 0) {
        close(pidFd);
    }
}

bool ProcessEndWatch::WaitEnded(int timeoutMs) {
    if (pidFd >= 0) {
        return WaitPidFd(pidFd, timeoutMs);
    }
    // No pidfd (the process had gone already, or the kernel has none): look in /proc.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid > 0 && ProcessIsAlive(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kReapPollMs));
    }
    return true;
}
