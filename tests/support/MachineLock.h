// A lock that keeps test programs of every checkout on this machine apart (an flock on a
// file in /tmp), with a limit on the wait. The holder writes who it is into the lock file
// (process id, program, checkout, since when), so that a program that waits, and one that
// gives up, says whose lock it waited for. Header-only.
#pragma once

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

// The exit code of a program that gave up waiting where its CTest entry counts that as a
// skip (SKIP_RETURN_CODE), rather than as a failure.
constexpr int kLockSkipExitCode = 77;

class MachineLock {
public:
    // Waits at most limitSeconds for the lock at path. On giving up it prints whose lock it
    // waited for and ends the program with giveUpExitCode. A lock file that cannot be
    // opened (not a regular file, a link) is said and not waited for.
    MachineLock(const char* path, int limitSeconds, int giveUpExitCode) : path(path) {
        fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            std::fprintf(stderr, "machine lock: cannot use %s: %s\n", path,
                         fd < 0 ? std::strerror(errno) : "not a regular file");
            release();
            return;
        }
        if (!tryLock()) {
            std::fprintf(stderr, "machine lock: waiting (at most %d s) for %s, held by %s\n", limitSeconds,
                         path, holder().c_str());
            std::fflush(stderr);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
            while (!tryLock()) {
                if (std::chrono::steady_clock::now() >= end) {
                    std::fprintf(stderr, "machine lock: gave up after %d s waiting for %s, held by %s\n",
                                 limitSeconds, path, holder().c_str());
                    std::fflush(stderr);
                    std::_Exit(giveUpExitCode);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        noteHolder();
    }
    ~MachineLock() { release(); }
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

private:
    bool tryLock() {
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }

    // This program's line in the lock file, in place of the previous holder's.
    void noteHolder() {
        char program[PATH_MAX] = "?";
        const ssize_t length = ::readlink("/proc/self/exe", program, sizeof(program) - 1);
        program[length > 0 ? length : 1] = '\0';
        char since[32] = "";
        const std::time_t now = std::time(nullptr);
        std::strftime(since, sizeof(since), "%Y-%m-%d %H:%M:%S", std::localtime(&now));
        std::string line = "pid " + std::to_string(::getpid()) + ", program " + program;
#ifdef KORVA_SOURCE_DIR
        line += std::string(", checkout ") + KORVA_SOURCE_DIR;
#endif
        line += std::string(", since ") + since + "\n";
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, line.data(), line.size(), 0) < 0) {
            std::perror(path);
        }
    }

    // The line the holder wrote.
    std::string holder() const {
        char text[1024] = "";
        const ssize_t length = ::pread(fd, text, sizeof(text) - 1, 0);
        std::string line(text, length > 0 ? static_cast<size_t>(length) : 0);
        while (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        if (line.empty()) {
            return "a program that did not say who it is";
        }
        // A holder that writes nothing (an older build) leaves the last holder's line there.
        const long pid = line.compare(0, 4, "pid ") == 0 ? std::strtol(line.c_str() + 4, nullptr, 10) : 0;
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            return "a program that did not say who it is (the last to say so has ended: " + line + ")";
        }
        return line;
    }

    void release() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    const char* path;
    int fd = -1;
};

} // namespace testsupport
