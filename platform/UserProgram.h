// Programs of the bundle that work for the user rather than for root: started as the user
// the client works for (InvokingUser.h), with that user's ids and groups and nothing of
// root's (no open descriptor, no way back to root), so that what they show and do is what
// the user could do anyway. The client reads their answer from their standard output.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct StartedUserProgram {
    pid_t pid = -1;
    // The read end of the program's standard output (close-on-exec, non-blocking).
    int output = -1;
};

// The environment of such a program: the display's and the language's variables of the
// client's own (DISPLAY, WAYLAND_DISPLAY, XAUTHORITY, LANG, LANGUAGE, LC_*), the user's
// HOME, USER and LOGNAME from the account, a plain PATH, and XDG_RUNTIME_DIR when
// /run/user/<uid> is the user's own folder.
std::vector<std::string> UserProgramEnvironment();

// Starts args[0] (an absolute path) with its arguments and the environment, as the user the
// client works for: in an elevated run the child takes the user's groups, group and user
// (real, effective and saved) and can gain no privilege again before anything of the program
// runs; in any other run it runs as the process's own user. It works in the user's home
// (else "/"), reads nothing on standard input and keeps standard error. False, with the
// reason in English, when it cannot be started.
bool StartAsInvokingUser(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                         StartedUserProgram* started, std::string* error);
