#include "Elevation.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "InvokingUser.h"
#include "PlatformConstants.h"
#include "RunFolder.h"
#include "zrwlog.h"

extern char** environ;

#ifndef KORVA_POLKIT_ACTION_FILE
#define KORVA_POLKIT_ACTION_FILE ""
#endif

namespace {

// The variables pkexec keeps for the program it runs (besides the display's authority), by
// its own rule: no '/', no '%', no "..".
const char* const kKeptVariables[] = {
    "DISPLAY",     "WAYLAND_DISPLAY", "LANG",       "LANGUAGE", "LC_ALL", "LC_COLLATE", "LC_CTYPE",
    "LC_MESSAGES", "LC_MONETARY",     "LC_NUMERIC", "LC_TIME",  "TERM",   "COLORTERM"};
constexpr const char kXauthorityVariable[] = "XAUTHORITY";
constexpr const char kRootPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
constexpr const char kRootShell[] = "/bin/sh";

bool PlainValue(const std::string& value) {
    return !value.empty() && value.find('/') == std::string::npos && value.find('%') == std::string::npos &&
           value.find("..") == std::string::npos;
}

// The display's authority file: an absolute path to a regular file (not a link) of the
// user's or root's.
bool UsableXauthority(const std::string& path, uid_t user) {
    struct stat info {};
    return !path.empty() && path[0] == '/' && path.find("..") == std::string::npos &&
           lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (info.st_uid == user || info.st_uid == 0);
}

std::map<std::string, std::string> KeptDisplayAndLanguage(const std::map<std::string, std::string>& current) {
    std::map<std::string, std::string> values;
    for (const char* name : kKeptVariables) {
        auto found = current.find(name);
        if (found != current.end() && PlainValue(found->second)) {
            values[name] = found->second;
        }
    }
    return values;
}

std::map<std::string, std::string> CurrentEnvironment() {
    std::map<std::string, std::string> values;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals != nullptr && equals != *entry) {
            values[std::string(*entry, static_cast<size_t>(equals - *entry))] = equals + 1;
        }
    }
    return values;
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

bool ChangeToProgramFolder(std::string* error) {
    const std::string program = ProgramPath();
    const size_t slash = program.rfind('/');
    if (program.empty() || slash == std::string::npos) {
        *error = "the program's own path cannot be read";
        return false;
    }
    const std::string folder = slash == 0 ? std::string("/") : program.substr(0, slash);
    if (chdir(folder.c_str()) != 0) {
        *error = folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::map<std::string, std::string> ElevatedEnvironment(const std::map<std::string, std::string>& current,
                                                       uid_t user, const std::string& rootHome,
                                                       const std::string& runFolder) {
    std::map<std::string, std::string> values = KeptDisplayAndLanguage(current);
    auto xauthority = current.find(kXauthorityVariable);
    if (xauthority != current.end() && UsableXauthority(xauthority->second, user)) {
        values[kXauthorityVariable] = xauthority->second;
    }
    for (const char* name : {kPkexecUidVariable, kRunFolderVariable}) {
        auto found = current.find(name);
        if (found != current.end()) {
            values[name] = found->second;
        }
    }
    values["PATH"] = kRootPath;
    values["HOME"] = rootHome.empty() ? std::string("/root") : rootHome;
    values["USER"] = "root";
    values["LOGNAME"] = "root";
    values["SHELL"] = kRootShell;
    if (!runFolder.empty()) {
        values["XDG_RUNTIME_DIR"] = runFolder;
    }
    return values;
}

void CleanElevatedEnvironment() {
    const InvokingUser& user = GetInvokingUser();
    if (!user.elevated) {
        return;
    }
    struct passwd entry {};
    struct passwd* root = nullptr;
    char buffer[4096];
    std::string rootHome = "/root";
    if (getpwuid_r(0, &entry, buffer, sizeof(buffer), &root) == 0 && root != nullptr &&
        root->pw_dir != nullptr) {
        rootHome = root->pw_dir;
    }
    const auto values = ElevatedEnvironment(CurrentEnvironment(), user.uid, rootHome, RunFolder());
    clearenv();
    for (const auto& value : values) {
        setenv(value.first.c_str(), value.second.c_str(), 1);
    }
}

std::map<std::string, std::string> PkexecEnvironment(const std::map<std::string, std::string>& current) {
    std::map<std::string, std::string> values = KeptDisplayAndLanguage(current);
    auto xauthority = current.find(kXauthorityVariable);
    if (xauthority != current.end() && !xauthority->second.empty()) {
        values[kXauthorityVariable] = xauthority->second;
    }
    values["PATH"] = kRootPath;
    return values;
}

std::vector<std::string> ElevationCommand(const std::string& program) {
    return {kPkexecProgram, program};
}

void KeepOnlyProgramName(int* argc, char** argv) {
    // A root run that pkexec started for a user whose account cannot be read works for
    // root, but its command line is still that user's.
    const char* pkexecUid = std::getenv(kPkexecUidVariable);
    const bool forAnotherUser = GetInvokingUser().elevated ||
                                (geteuid() == 0 && pkexecUid != nullptr && std::strcmp(pkexecUid, "0") != 0);
    if (*argc > 1 && forAnotherUser) {
        *argc = 1;
        argv[1] = nullptr;
    }
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
        const std::vector<std::string> command = ElevationCommand(program);
        std::vector<char*> args;
        for (const std::string& part : command) {
            args.push_back(const_cast<char*>(part.c_str()));
        }
        args.push_back(nullptr);
        // pkexec gets only what it passes on: the display and the language.
        std::vector<std::string> environment;
        for (const auto& value : PkexecEnvironment(CurrentEnvironment())) {
            environment.push_back(value.first + "=" + value.second);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(const_cast<char*>(entry.c_str()));
        }
        envp.push_back(nullptr);
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
            execve(args[0], args.data(), envp.data());
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
