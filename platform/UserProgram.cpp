#include "UserProgram.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "InvokingUser.h"

namespace {

const char* const kDisplayAndLanguage[] = {"DISPLAY",     "WAYLAND_DISPLAY", "XAUTHORITY", "LANG",
                                           "LANGUAGE",    "LC_ALL",          "LC_COLLATE", "LC_CTYPE",
                                           "LC_MESSAGES", "LC_MONETARY",     "LC_NUMERIC", "LC_TIME"};
constexpr const char kUserPath[] = "/usr/local/bin:/usr/bin:/bin";
constexpr int kMaxGroups = 256;

// Closes every descriptor from 3 on; only system calls, for a forked child.
void CloseFrom3(long openMax) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3U, ~0U, 0U) == 0) {
        return;
    }
#endif
    for (long fd = 3; fd < openMax; ++fd) {
        close(static_cast<int>(fd));
    }
}

} // namespace

std::vector<std::string> UserProgramEnvironment() {
    std::vector<std::string> values;
    for (const char* name : kDisplayAndLanguage) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            values.push_back(std::string(name) + "=" + value);
        }
    }
    const InvokingUser& user = GetInvokingUser();
    values.push_back("HOME=" + (user.home.empty() ? std::string("/") : user.home));
    if (!user.name.empty()) {
        values.push_back("USER=" + user.name);
        values.push_back("LOGNAME=" + user.name);
    }
    values.push_back(std::string("PATH=") + kUserPath);
    const std::string runtime = "/run/user/" + std::to_string(user.uid);
    struct stat info {};
    if (lstat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user.uid) {
        values.push_back("XDG_RUNTIME_DIR=" + runtime);
    }
    return values;
}

bool StartAsInvokingUser(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                         StartedUserProgram* started, std::string* error) {
    if (args.empty() || args[0].empty() || args[0][0] != '/') {
        *error = "the program is not named by an absolute path";
        return false;
    }
    const InvokingUser& user = GetInvokingUser();
    // Everything the child needs is made before the fork: after it, in a process with
    // threads, the child makes system calls only.
    gid_t groups[kMaxGroups];
    int groupCount = kMaxGroups;
    if (user.elevated && getgrouplist(user.name.c_str(), user.gid, groups, &groupCount) < 0) {
        groupCount = 1;
        groups[0] = user.gid;
    }
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    const std::string home = user.home;
    const long openMax = sysconf(_SC_OPEN_MAX) > 0 ? std::min(sysconf(_SC_OPEN_MAX), 65536L) : 1024L;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const bool elevated = user.elevated;
    const uid_t uid = user.uid;
    const gid_t gid = user.gid;
    const pid_t pid = fork();
    if (pid == 0) {
        if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(pipeFds[1], 1) < 0) {
            _exit(127);
        }
        CloseFrom3(openMax);
        if (elevated) {
            // Groups first, the user last: once the user is taken, nothing else can be.
            if (setgroups(static_cast<size_t>(groupCount), groups) != 0 || setresgid(gid, gid, gid) != 0 ||
                setresuid(uid, uid, uid) != 0 || setuid(0) == 0 || geteuid() != uid || getegid() != gid) {
                _exit(127);
            }
        }
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
            _exit(127);
        }
        if (home.empty() || chdir(home.c_str()) != 0) {
            if (chdir("/") != 0) {
                _exit(127);
            }
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    const int forkError = errno;
    close(pipeFds[1]);
    if (nullFd >= 0) {
        close(nullFd);
    }
    if (pid < 0) {
        close(pipeFds[0]);
        *error = std::string("fork: ") + std::strerror(forkError);
        return false;
    }
    fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    started->pid = pid;
    started->output = pipeFds[0];
    return true;
}
