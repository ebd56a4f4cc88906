#include "OpenVPNContext.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CommandLine.h"
#include "IPCSqlite.h"
#include "NetworkAdapters.h"
#include "StrUtils.h"
#include "zrwlog.h"

extern char** environ;

namespace {

// Waits for the child by its pid until the deadline; true with its status when it ended.
bool WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline, int* status) {
    for (;;) {
        pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            // The child cannot be waited for (reaped elsewhere): its outcome is unknown.
            *status = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

int RunHiddenCommand(const char* commandLine, int timeoutMs) {
    if (commandLine == nullptr) {
        return -1;
    }
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        return -1;
    }
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The script and whatever it starts form one process group, so a hung script can be
    // ended whole. It starts with every signal at its default action and unblocked,
    // whatever this process has set for itself.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);

    pid_t pid = -1;
    int spawned = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) {
        return -1;
    }

    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!WaitUntil(pid, deadline, &status)) {
        kill(-pid, SIGTERM);
        if (!WaitUntil(pid, std::chrono::steady_clock::now() + std::chrono::seconds(3), &status)) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        return -1;
    }
    return (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) ? 0 : -1;
}

std::u16string Utf8ToUtf16(const char* text) {
    if (text == nullptr) {
        return std::u16string();
    }
    // A UTF-8 text never needs more UTF-16 units than it has bytes.
    std::u16string wide(std::strlen(text) + 1, u'\0');
    int written = Utf8ToUtf16Buf(text, &wide[0], wide.size());
    wide.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
    return wide;
}

OpenVPNContext::OpenVPNContext() : sqlite(nullptr), processInfo() {
    EnsureTapAdapter();
}

OpenVPNContext::~OpenVPNContext() {}

int OpenVPNContext::SetSqlite(IPCSqlite* store) {
    sqlite = store;
    return 0;
}

int OpenVPNContext::ToResultCode(int result) {
    return result == 0 ? 0 : -1;
}

int OpenVPNContext::GetOpenVPNInfoByID(int configId, OpenVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    *info = OpenVPNInfo();
    if (sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->GetOpenVPNConfigByID(info, configId));
}

int OpenVPNContext::AddOpenVPNInfo(OpenVPNInfo* info, int write) {
    if (write == 0) {
        return 0;
    }
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->InsertOpenVPNConfig(info));
}

int OpenVPNContext::UpdateOpenVPNInfo(OpenVPNInfo* info, int write) {
    if (write == 0) {
        return 0;
    }
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->UpdateOpenVPNConfig(info));
}

int OpenVPNContext::DeleteOpenVPNInfo(OpenVPNInfo* info) {
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->DeleteOpenVPNConfig(info));
}

PROCESS_INFORMATION OpenVPNContext::GetProcessInfo() {
    return processInfo;
}

void OpenVPNContext::SetProcessInfo(PROCESS_INFORMATION info) {
    processInfo = info;
}

int OpenVPNContext::AddTapAdapter() {
    if (RunHiddenCommand(TunnelPaths::kAddTapScript) != 0) {
        ZRWLog(6, 3, "OpenVPN :: Create TAP-Windows-Adapter failed!\n");
        return -1;
    }
    return 0;
}

int OpenVPNContext::EnsureTapAdapter() {
    if (HasTapAdapter()) {
        return 0;
    }
    return AddTapAdapter();
}

int OpenVPNContext::DeleteAllTapAdapters() {
    if (RunHiddenCommand(TunnelPaths::kDeleteAllTapScript) != 0) {
        ZRWLog(6, 3, "OpenVPN :: Delete all TAP-Windows-Adapter failed!\n");
        return -1;
    }
    return 0;
}

bool OpenVPNContext::HasTapAdapter() {
    for (const auto& adapter : ListNetworkAdapters()) {
        if (adapter.description.find(TunnelPaths::kTapAdapterDescription) != std::string::npos) {
            return true;
        }
    }
    return false;
}
