#include "Elevation.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PlatformConstants.h"
#include "zrwlog.h"

#ifndef KORVA_POLKIT_ACTION_FILE
#define KORVA_POLKIT_ACTION_FILE ""
#endif

namespace {

// The variables of the invoking environment that name per-user folders.
const char* const kPerUserVariables[] = {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"};

std::map<std::string, std::string> ReadEnvironFile(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream file(path, std::ios::binary);
    std::string entry;
    while (std::getline(file, entry, '\0')) {
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && equals > 0) {
            values[entry.substr(0, equals)] = entry.substr(equals + 1);
        }
    }
    return values;
}

// The real user id of a process, or -1.
long ProcessRealUid(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 4, "Uid:") == 0) {
            std::istringstream fields(line.substr(4));
            long uid = -1;
            fields >> uid;
            return uid;
        }
    }
    return -1;
}

std::string ProgramPath() {
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

bool IsExecutable(const char* path) {
    return access(path, X_OK) == 0;
}

} // namespace

std::map<std::string, std::string>
InvokingUserEnvironment(uid_t uid, const std::string& home, const std::string& userName,
                        const std::map<std::string, std::string>& parentEnv, bool userRuntimeDirOwned) {
    std::map<std::string, std::string> values;
    if (!home.empty() && home[0] == '/') {
        values["HOME"] = home;
    }
    if (!userName.empty()) {
        values["USER"] = userName;
        values["LOGNAME"] = userName;
    }
    for (const char* name : kPerUserVariables) {
        auto found = parentEnv.find(name);
        // Only absolute folders are taken; anything else falls back to the defaults.
        if (found != parentEnv.end() && !found->second.empty() && found->second[0] == '/') {
            values[name] = found->second;
        }
    }
    if (values.find("XDG_RUNTIME_DIR") == values.end() && userRuntimeDirOwned) {
        values["XDG_RUNTIME_DIR"] = "/run/user/" + std::to_string(uid);
    }
    return values;
}

void RestoreInvokingUserEnvironment() {
    const char* pkexecUid = std::getenv(kPkexecUidVariable);
    if (geteuid() != 0 || pkexecUid == nullptr || *pkexecUid == '\0') {
        return;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(pkexecUid, &end, 10);
    if (errno != 0 || end == pkexecUid || *end != '\0') {
        return;
    }
    const uid_t uid = static_cast<uid_t>(parsed);
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof(buffer), &found) != 0 || found == nullptr) {
        return;
    }
    // The invoking process (the launcher, or the user's shell for a direct pkexec) is
    // trusted for its folders only when it runs as that user.
    std::map<std::string, std::string> parentEnv;
    const pid_t parent = getppid();
    if (ProcessRealUid(parent) == static_cast<long>(uid)) {
        parentEnv = ReadEnvironFile("/proc/" + std::to_string(parent) + "/environ");
    }
    const std::string runtimeDir = "/run/user/" + std::to_string(uid);
    struct stat info {};
    const bool runtimeOwned =
        stat(runtimeDir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid;
    const auto values =
        InvokingUserEnvironment(uid, found->pw_dir != nullptr ? found->pw_dir : "",
                                found->pw_name != nullptr ? found->pw_name : "", parentEnv, runtimeOwned);
    for (const auto& value : values) {
        setenv(value.first.c_str(), value.second.c_str(), 1);
    }
}

std::vector<std::string> ElevationCommand(const std::string& program, int argc, char** argv) {
    std::vector<std::string> command = {kPkexecProgram, kPkexecKeepCwd, program};
    for (int i = 1; i < argc; ++i) {
        command.emplace_back(argv[i]);
    }
    return command;
}

std::string ElevationRefusal(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        if (WEXITSTATUS(waitStatus) == kPkexecDismissed) {
            return "the authentication was dismissed";
        }
        if (WEXITSTATUS(waitStatus) == kPkexecNotAuthorized) {
            return "pkexec could not obtain the authorisation";
        }
    }
    return std::string();
}

bool RunElevated(int argc, char** argv, int* exitCode, ElevationRefusedMessage showRefusal) {
    if (geteuid() == 0) {
        return false;
    }
    std::string refusal;
    const std::string program = ProgramPath();
    const char* actionFile = KORVA_POLKIT_ACTION_FILE;
    if (!IsExecutable(kPkexecProgram)) {
        refusal = std::string(kPkexecProgram) + " is not installed";
    } else if (program.empty()) {
        refusal = "the program's own path cannot be read";
    } else if (*actionFile == '\0' || access(actionFile, R_OK) != 0) {
        refusal =
            std::string("the polkit action ") + actionFile + " is not installed (run ./dev.sh build as root)";
    } else {
        // pkexec hands the display on only when the authority of the X server is named.
        const char* xauthority = std::getenv("XAUTHORITY");
        const char* home = std::getenv("HOME");
        if ((xauthority == nullptr || *xauthority == '\0') && home != nullptr) {
            const std::string fallback = std::string(home) + "/.Xauthority";
            if (access(fallback.c_str(), R_OK) == 0) {
                setenv("XAUTHORITY", fallback.c_str(), 1);
            }
        }
        const std::vector<std::string> command = ElevationCommand(program, argc, argv);
        std::vector<char*> args;
        for (const std::string& part : command) {
            args.push_back(const_cast<char*>(part.c_str()));
        }
        args.push_back(nullptr);
        // A Ctrl-C in the terminal reaches the elevated client too, which closes
        // itself: this process waits for it and ends with its status.
        struct sigaction ignore {};
        struct sigaction previousInt {};
        struct sigaction previousQuit {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGINT, &ignore, &previousInt);
        sigaction(SIGQUIT, &ignore, &previousQuit);
        const pid_t child = fork();
        if (child == 0) {
            sigaction(SIGINT, &previousInt, nullptr);
            sigaction(SIGQUIT, &previousQuit, nullptr);
            execv(args[0], args.data());
            _exit(kPkexecNotAuthorized);
        }
        int status = 0;
        pid_t waited = -1;
        if (child > 0) {
            do {
                waited = waitpid(child, &status, 0);
            } while (waited < 0 && errno == EINTR);
        }
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGQUIT, &previousQuit, nullptr);
        if (child < 0 || waited != child) {
            refusal = "pkexec could not be started";
        } else {
            refusal = ElevationRefusal(status);
            if (refusal.empty()) {
                *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return true;
            }
        }
    }
    ZRWLog(kSystemLogModule, kSystemLogLevel, kElevationFailedLine, refusal.c_str());
    if (showRefusal != nullptr) {
        showRefusal(argc, argv, refusal);
    }
    *exitCode = kNoAdminExitCode;
    return true;
}
