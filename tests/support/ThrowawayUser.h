// An ordinary local user made for one test and removed after it: the account (useradd,
// with a group of its own) and a home folder in /tmp that only the user owns. Tests that
// show what the client, running as root, does for (or against) an ordinary user take one.
// Header-only; needs root.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// Runs a program and waits for it; its exit code, or -1.
inline int RunProgram(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ThrowawayUser {
public:
    ThrowawayUser() {
        if (geteuid() != 0) {
            failure = "making a user needs root";
            return;
        }
        char folder[] = "/tmp/korva-user-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            failure = std::string("no home folder: ") + std::strerror(errno);
            return;
        }
        base = folder;
        chmod(base.c_str(), 0755);
        name = "korvat" + std::to_string(getpid()) + "x" + std::to_string(counter()++);
        home = base + "/home";
        if (RunProgram({"useradd", "-M", "-U", "-d", home, "-s", "/usr/sbin/nologin", name}) != 0) {
            failure = "useradd " + name + " failed";
            return;
        }
        made = true;
        const passwd* entry = getpwnam(name.c_str());
        if (entry == nullptr) {
            failure = "the new account cannot be read";
            return;
        }
        uid = entry->pw_uid;
        gid = entry->pw_gid;
        if (mkdir(home.c_str(), 0700) != 0 || chown(home.c_str(), uid, gid) != 0) {
            failure = "the home folder cannot be made";
        }
    }
    ~ThrowawayUser() {
        if (made) {
            RunProgram({"userdel", name});
        }
        if (!base.empty()) {
            RunProgram({"rm", "-rf", base});
        }
    }
    ThrowawayUser(const ThrowawayUser&) = delete;
    ThrowawayUser& operator=(const ThrowawayUser&) = delete;

    // Empty when the user stands, else why not.
    const std::string& error() const { return failure; }

    // Runs the function in a child process as the user (its ids and groups); its exit code.
    // The child is forked: in a process with threads the function may only make system
    // calls (no allocation).
    int runAs(const std::function<int()>& body) const {
        const pid_t pid = fork();
        if (pid == 0) {
            if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
                _exit(126);
            }
            _exit(body());
        }
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Makes a folder or a file in the user's home as the user would: owned by the user.
    bool own(const std::string& path) const { return chown(path.c_str(), uid, gid) == 0; }

    std::string name;
    std::string home;
    uid_t uid = 0;
    gid_t gid = 0;

private:
    static int& counter() {
        static int next = 0;
        return next;
    }

    std::string failure;
    std::string base;
    bool made = false;
};

} // namespace testsupport
