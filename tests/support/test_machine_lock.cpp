// The machine-wide test lock: the holder says who it is, a waiter takes the lock once it is
// free, and a waiter that reaches its limit gives up with its exit code, naming the holder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MachineLock.h"

namespace {

std::string lockPath() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/machine-test.lock";
}

std::string readAll(int fd) {
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof(buffer))) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// A child process that waits for the lock (its stderr in a pipe): its exit code and what
// it said. `whileWaiting` runs in this process once the child says it waits.
struct Waiter {
    int exitCode = -1;
    std::string said;
};
Waiter waitInChild(int limitSeconds, const std::function<void()>& whileWaiting) {
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // As a program of its own: with none of this one's descriptors (the held lock's).
        ::dup2(out[1], STDERR_FILENO);
        for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) {
            ::close(fd);
        }
        testsupport::MachineLock lock(lockPath().c_str(), limitSeconds, 42);
        std::_Exit(0);
    }
    ::close(out[1]);
    Waiter waiter;
    // The child's first line says that it waits.
    char c = 0;
    while (::read(out[0], &c, 1) == 1) {
        waiter.said += c;
        if (c == '\n') {
            break;
        }
    }
    whileWaiting();
    waiter.said += readAll(out[0]);
    ::close(out[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    waiter.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return waiter;
}

} // namespace

TEST(MachineLock, TheHolderWritesWhoItIs) {
    testsupport::MachineLock lock(lockPath().c_str(), 1, 42);
    std::FILE* file = std::fopen(lockPath().c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[1024] = "";
    ASSERT_NE(std::fgets(line, sizeof(line), file), nullptr);
    std::fclose(file);
    const std::string text(line);
    EXPECT_EQ(text.rfind("pid " + std::to_string(::getpid()) + ", program ", 0), 0u) << text;
    EXPECT_NE(text.find(", checkout " KORVA_SOURCE_DIR ", since "), std::string::npos) << text;
}

TEST(MachineLock, AWaiterTakesTheFreedLockOrGivesUpNamingTheHolder) {
    const std::string holder = "held by pid " + std::to_string(::getpid()) + ", program ";
    {
        SCOPED_TRACE("freed during the wait");
        std::optional<testsupport::MachineLock> held;
        held.emplace(lockPath().c_str(), 1, 42);
        const Waiter waiter = waitInChild(600, [&] { held.reset(); });
        EXPECT_EQ(waiter.exitCode, 0) << waiter.said;
        EXPECT_NE(waiter.said.find("waiting (at most 600 s) for " + lockPath() + ", " + holder),
                  std::string::npos)
            << waiter.said;
        EXPECT_EQ(waiter.said.find("gave up"), std::string::npos) << waiter.said;
    }
    {
        SCOPED_TRACE("kept");
        testsupport::MachineLock held(lockPath().c_str(), 1, 42);
        const Waiter waiter = waitInChild(1, [] {});
        EXPECT_EQ(waiter.exitCode, 42) << waiter.said;
        EXPECT_NE(waiter.said.find("gave up after 1 s waiting for " + lockPath() + ", " + holder),
                  std::string::npos)
            << waiter.said;
        EXPECT_NE(waiter.said.find("checkout " KORVA_SOURCE_DIR), std::string::npos) << waiter.said;
    }
    {
        SCOPED_TRACE("kept by a holder that writes nothing, over the line of one that has ended");
        const pid_t ended = ::fork();
        if (ended == 0) {
            std::_Exit(0);
        }
        ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
        std::FILE* file = std::fopen(lockPath().c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fprintf(file, "pid %d, program gone\n", static_cast<int>(ended));
        std::fclose(file);
        const int held = ::open(lockPath().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        const Waiter waiter = waitInChild(1, [] {});
        ::close(held);
        EXPECT_EQ(waiter.exitCode, 42) << waiter.said;
        EXPECT_NE(waiter.said.find(
                      "held by a program that did not say who it is (the last to say so has ended: pid " +
                      std::to_string(ended)),
                  std::string::npos)
            << waiter.said;
    }
}
