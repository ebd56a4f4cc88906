#include "ChildRecords.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "FileWrite.h"
#include "PlatformConstants.h"
#include "RunFolder.h"

namespace {

// A record is one short line; anything longer is not one.
constexpr size_t kMaxRecordBytes = 8192;

std::string ReadSmall(const std::string& path, int extraFlags = 0) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | extraFlags);
    if (fd < 0) {
        return std::string();
    }
    std::string text;
    char buffer[1024];
    ssize_t n = 0;
    while (text.size() < kMaxRecordBytes &&
           ((n = read(fd, buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    return text;
}

const std::string& BootId() {
    static const std::string id = [] {
        std::string text = ReadSmall("/proc/sys/kernel/random/boot_id");
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
            text.pop_back();
        }
        return text.empty() ? std::string("-") : text;
    }();
    return id;
}

// The records folder, checked (made when missing, and found to be this user's own on a path
// that only root or this user can change) once for each run folder configured, not again for
// each program started: the client starts "wg show" once a second while a WireGuard tunnel is
// up, and each check is some fifteen calls into the kernel. A record that cannot be written
// has the folder checked again; the search for leftovers at start checks it anew.
std::mutex gFolderMutex;
std::string gCheckedFor;
std::string gCheckedFolder;

std::string RecordsFolder(bool checkAgain = false) {
    const char* configured = std::getenv(kRunFolderVariable);
    const std::string key = configured != nullptr ? configured : "";
    std::lock_guard<std::mutex> lock(gFolderMutex);
    if (checkAgain || gCheckedFolder.empty() || key != gCheckedFor) {
        gCheckedFolder = RunSubfolder(kChildRecordsFolder);
        gCheckedFor = key;
    }
    return gCheckedFolder;
}

std::string ReadLink(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof(target) - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

bool Inside(const std::string& path, const std::string& folder) {
    return !path.empty() && !folder.empty() &&
           (path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                               path[folder.size()] == '/'));
}

// The process runs from the folder: its program file or its working folder lies in it, or
// its program is the one recorded.
bool RunsFrom(pid_t pid, const std::string& folder, const std::string& program) {
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string exe = ReadLink(proc + "/exe");
    if (exe.empty()) {
        return false;
    }
    char resolved[PATH_MAX];
    const bool sameProgram =
        !program.empty() && realpath(program.c_str(), resolved) != nullptr && exe == resolved;
    return sameProgram || Inside(exe, folder) || Inside(ReadLink(proc + "/cwd"), folder);
}

struct Record {
    long long childStart = -1;
    std::string boot;
    pid_t starter = 0;
    long long starterStart = -1;
    std::string program;
};

bool ParseRecord(const std::string& text, Record* record) {
    std::istringstream line(text.substr(0, text.find('\n')));
    long starter = 0;
    if (!(line >> record->childStart >> record->boot >> starter >> record->starterStart)) {
        return false;
    }
    record->starter = static_cast<pid_t>(starter);
    std::getline(line, record->program);
    if (!record->program.empty() && record->program[0] == ' ') {
        record->program.erase(0, 1);
    }
    return record->childStart >= 0 && record->starter > 0;
}

// The parent of every process now running, with its start time.
struct ProcessEntry {
    pid_t parent = 0;
    long long start = -1;
};

std::map<pid_t, ProcessEntry> ProcessTable() {
    std::map<pid_t, ProcessEntry> table;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return table;
    }
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') {
            continue;
        }
        const std::string stat = ReadSmall(std::string("/proc/") + entry->d_name + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        ProcessEntry process;
        // After the name: state (3), parent (4), ... start time (22).
        for (int index = 3; index <= 22 && (fields >> field); ++index) {
            if (index == 4) {
                process.parent = static_cast<pid_t>(std::strtol(field.c_str(), nullptr, 10));
            } else if (index == 22) {
                process.start = std::strtoll(field.c_str(), nullptr, 10);
            }
        }
        table[static_cast<pid_t>(pid)] = process;
    }
    closedir(proc);
    return table;
}

struct Target {
    pid_t pid;
    long long start;
    int pidFd;
};

// Ends the processes together: SIGTERM to all, then SIGKILL to those still there after
// the grace time; returns once all have ended or the time is up. Each process is held by
// a pidfd opened while it was still the one found, so no signal reaches a process that
// took an id over.
void EndTogether(std::vector<Target>& targets) {
    std::vector<Target> held;
    for (Target& target : targets) {
        const int fd = static_cast<int>(syscall(SYS_pidfd_open, target.pid, 0));
        if (fd < 0) {
            continue;
        }
        if (ProcessStartTime(target.pid) != target.start) {
            close(fd);
            continue;
        }
        target.pidFd = fd;
        held.push_back(target);
        syscall(SYS_pidfd_send_signal, fd, SIGTERM, nullptr, 0);
    }
    const auto waitAll = [&held](int limitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        for (Target& target : held) {
            while (target.pidFd >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count();
                pollfd entry{target.pidFd, POLLIN, 0};
                const int ready = poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
                if (ready > 0) {
                    close(target.pidFd);
                    target.pidFd = -1;
                } else if ((ready < 0 && errno != EINTR) || left <= 0) {
                    break;
                }
            }
        }
    };
    waitAll(kTerminateGraceMs);
    for (Target& target : held) {
        if (target.pidFd >= 0) {
            syscall(SYS_pidfd_send_signal, target.pidFd, SIGKILL, nullptr, 0);
        }
    }
    waitAll(kKillReapMs);
    for (Target& target : held) {
        if (target.pidFd >= 0) {
            close(target.pidFd);
        }
    }
}

long long OwnStartTime() {
    static pid_t cachedPid = 0;
    static long long cachedStart = -1;
    if (cachedPid != getpid()) {
        cachedPid = getpid();
        cachedStart = ProcessStartTime(cachedPid);
    }
    return cachedStart;
}

} // namespace

long long ProcessStartTime(pid_t pid) {
    if (pid <= 0) {
        return -1;
    }
    const std::string stat = ReadSmall("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) {
        return -1;
    }
    // After the name, fields separated by one blank: the state (3) up to the start time (22).
    size_t at = close + 2;
    for (int index = 3; index < 22; ++index) {
        at = stat.find(' ', at);
        if (at == std::string::npos) {
            return -1;
        }
        ++at;
    }
    if (at >= stat.size() || stat[at] < '0' || stat[at] > '9') {
        return -1;
    }
    return std::strtoll(stat.c_str() + at, nullptr, 10);
}

void RecordStartedChild(pid_t pid, const std::string& program) {
    std::string folder = RecordsFolder();
    const long long start = ProcessStartTime(pid);
    if (folder.empty() || start < 0) {
        return;
    }
    // The program as a person reads it: "/a/./b" is "/a/b".
    std::string shown = program;
    for (size_t dot = shown.find("/./"); dot != std::string::npos; dot = shown.find("/./", dot)) {
        shown.erase(dot, 2);
    }
    const std::string line = std::to_string(start) + " " + BootId() + " " + std::to_string(getpid()) + " " +
                             std::to_string(OwnStartTime()) + " " + shown + "\n";
    const std::string name = "/" + std::to_string(pid);
    int fd = open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        folder = RecordsFolder(true);
        fd = folder.empty()
                 ? -1
                 : open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    }
    if (fd >= 0) {
        WriteAll(fd, line.data(), line.size());
        close(fd);
    }
}

void ForgetStartedChild(pid_t pid) {
    const std::string folder = RecordsFolder();
    if (!folder.empty() && pid > 0) {
        unlink((folder + "/" + std::to_string(pid)).c_str());
    }
}

std::vector<LeftoverChild> EndLeftoverChildren(const std::string& programFolder) {
    std::vector<LeftoverChild> ended;
    const std::string folder = RecordsFolder(true);
    char resolved[PATH_MAX];
    if (folder.empty() || realpath(programFolder.c_str(), resolved) == nullptr) {
        return ended;
    }
    const std::string base = resolved;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return ended;
    }
    std::vector<Target> leftovers;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (entry->d_name[0] == '.' || pid <= 0 || *end != '\0') {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        Record record;
        if (ParseRecord(ReadSmall(path, O_NOFOLLOW), &record) && record.boot == BootId() &&
            (record.starter == getpid() || ProcessStartTime(record.starter) == record.starterStart)) {
            // Its starter still runs (this process, or another program of the client's).
            continue;
        }
        if (record.boot == BootId() && ProcessStartTime(static_cast<pid_t>(pid)) == record.childStart &&
            RunsFrom(static_cast<pid_t>(pid), base, record.program)) {
            leftovers.push_back(Target{static_cast<pid_t>(pid), record.childStart, -1});
            ended.push_back(LeftoverChild{static_cast<pid_t>(pid), record.program});
        }
        unlink(path.c_str());
    }
    closedir(dir);
    if (leftovers.empty()) {
        return ended;
    }
    // What the leftovers started goes with them (a script's programs, a filter).
    const std::map<pid_t, ProcessEntry> table = ProcessTable();
    std::vector<Target> targets = leftovers;
    for (size_t i = 0; i < targets.size(); ++i) {
        for (const auto& process : table) {
            if (process.second.parent == targets[i].pid && process.first != getpid()) {
                targets.push_back(Target{process.first, process.second.start, -1});
            }
        }
    }
    EndTogether(targets);
    return ended;
}
