// Shared pieces of the IPsec tests: a temporary project folder with a strongSwan folder
// (test doubles or the real bundle scripts), the service table of the run, and the log
// written to a file that the tests read back.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "../../support/MachineLock.h"
#include "StrongSwanControl.h"
#include "zrwlog.h"

namespace ipsectest {

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

inline int countOf(const std::string& text, const std::string& word) {
    int count = 0;
    for (std::string::size_type at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

// Polls until the condition holds or the time limit passes.
inline bool waitUntil(const std::function<bool()>& condition, int limitMs = 30000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// Ends every daemon that runs and waits until none is listed any more: a daemon that is
// still shutting down would be found as running by the next test's connect.
inline void endDaemons() {
    for (int i = 0; i < 10 && getCharonPid() > 0; ++i) {
        stopCharon();
        waitUntil([] { return getCharonPid() <= 0; }, 30000);
    }
}

// The client takes only the daemon of its own bundle, but a build of the client that
// does not yet tell daemons apart takes any process named charon-svc.exe: a test binary
// that runs daemons holds this lock for its whole life, so that runs of other build
// folders on the same machine never find or end its daemon. CTest's resource lock keeps
// such tests apart within one run. The descriptor is close-on-exec, so no daemon
// inherits the lock. Another checkout's binary holds it for a few minutes at most: the
// wait has a limit well inside these tests' CTest time-out, and a program that gives up
// says whose lock it waited for and ends, failed by default; the real-server tests, whose
// CTest entries count exit code testsupport::kLockSkipExitCode as skipped, skip instead.
constexpr int kCharonLockWaitSeconds = 360;
class CharonMachineLock {
public:
    explicit CharonMachineLock(int giveUpExitCode = 1)
        : lock("/tmp/korva-charon-svc.lock", kCharonLockWaitSeconds, giveUpExitCode) {}

private:
    testsupport::MachineLock lock;
};

// A temporary project folder P that is the working directory while the object lives,
// with P/bin/ipsec/swanctl/, its own service table and the log in P/test.log.
class ProjectFolder {
public:
    ProjectFolder() {
        path = dir.path().toStdString();
        QDir().mkpath(QString::fromStdString(ipsec() + "swanctl"));
        char* old = getcwd(nullptr, 0);
        previous = old != nullptr ? old : "/";
        std::free(old);
        EXPECT_EQ(chdir(path.c_str()), 0);
        setenv("KORVA_SERVICE_TABLE", (path + "/services.table").c_str(), 1);
        ZRWLogReset();
        ZRWLogEnableLock(1);
        ZRWLogOpenFile((path + "/test.log").c_str());
        ZRWLogEnableModule(1, 6);
        ZRWLogSetLevel(3);
    }
    ~ProjectFolder() {
        ZRWLogClose();
        if (chdir(previous.c_str()) != 0) {
            ADD_FAILURE() << "cannot return to " << previous;
        }
    }

    std::string ipsec() const { return path + "/bin/ipsec/"; }
    std::string log() const { return readFile(path + "/test.log"); }

    // Installs the doubles: swanctl.exe (a script) and charon-svc.exe (a program).
    void installDoubles() {
        copyProgram(std::string(KORVA_SOURCE_DIR) + "/tests/core/ipsec/doubles/swanctl.exe",
                    ipsec() + "swanctl.exe");
        copyProgram(IPSEC_CHARON_DOUBLE, ipsec() + "charon-svc.exe");
        QDir().mkpath(QString::fromStdString(ipsec() + "answers"));
    }
    // Installs the real bundle's strongSwan folder (scripts and strongswan.conf).
    void installBundle() {
        std::string source = std::string(KORVA_SOURCE_DIR) + "/bundle/bin/ipsec/";
        copyProgram(source + "swanctl.exe", ipsec() + "swanctl.exe");
        copyProgram(source + "charon-svc.exe", ipsec() + "charon-svc.exe");
        copyProgram(source + "ipsec-backend.sh", ipsec() + "ipsec-backend.sh");
        QFile::copy(QString::fromStdString(source + "strongswan.conf"),
                    QString::fromStdString(ipsec() + "strongswan.conf"));
    }

    // For a test that waits for "peer not responding": the installed bundle's daemon gives
    // up an unanswered IKE request after 0.4 s (0.1 s, three tries, no back-off) instead of
    // the bundle's seven seconds, which the test BundleRetransmits.GiveUpWithinSeconds pins.
    void shortenRetransmits() {
        const std::string path = ipsec() + "strongswan.conf";
        std::string conf = readFile(path);
        for (const auto& change : {std::make_pair("retransmit_timeout = 1.0", "retransmit_timeout = 0.1"),
                                   std::make_pair("retransmit_base = 1.4", "retransmit_base = 1.0")}) {
            const std::string::size_type at = conf.find(change.first);
            ASSERT_NE(at, std::string::npos) << change.first;
            conf.replace(at, std::strlen(change.first), change.second);
        }
        writeFile(path, conf);
    }

    void answer(const std::string& name, const std::string& text) {
        writeFile(ipsec() + "answers/" + name, text);
    }
    void hold(const std::string& verb) { writeFile(ipsec() + "answers/" + verb + ".hold", ""); }
    void release(const std::string& verb) { std::remove((ipsec() + "answers/" + verb + ".hold").c_str()); }
    std::string calls() const { return readFile(ipsec() + "calls.log"); }
    int callCount(const std::string& args) const { return countOf(calls(), "|" + args + "\n"); }
    std::string charonStarts() const { return readFile(ipsec() + "charon-starts.log"); }

    std::string path;

private:
    static void copyProgram(const std::string& from, const std::string& to) {
        QFile::remove(QString::fromStdString(to));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(from), QString::fromStdString(to))) << from;
        QFile::setPermissions(QString::fromStdString(to), QFile::ReadOwner | QFile::WriteOwner |
                                                              QFile::ExeOwner | QFile::ReadGroup |
                                                              QFile::ExeGroup);
    }

    QTemporaryDir dir;
    std::string previous;
};

} // namespace ipsectest
