// Administrator rights. The client runs as root; started by another user it runs
// itself again through pkexec, whose polkit action for this program keeps the display,
// and waits for that run. The elevated run takes the invoking user's per-user folders
// (configuration, runtime) so that the data folder, the app theme and the single
// instance stay that user's.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// In the elevated run (root, PKEXEC_UID set): sets HOME, USER and LOGNAME from the
// invoking user's account, and XDG_CONFIG_HOME and XDG_RUNTIME_DIR from the invoking
// process's environment when that process belongs to the user (else the runtime folder
// /run/user/<uid> when it is the user's). Runs before static initialisation, so that the
// system context makes the user's data folder. Does nothing in any other run.
void RestoreInvokingUserEnvironment();

// The per-user variables of an elevated run, from the invoking user's id, home folder,
// the invoking process's environment (empty when it cannot be trusted) and whether
// /run/user/<uid> is that user's folder.
std::map<std::string, std::string>
InvokingUserEnvironment(uid_t uid, const std::string& home, const std::string& userName,
                        const std::map<std::string, std::string>& parentEnv, bool userRuntimeDirOwned);

// The command line of the elevated run: pkexec, --keep-cwd, the program, its arguments.
std::vector<std::string> ElevationCommand(const std::string& program, int argc, char** argv);

// Why pkexec's exit status means that no elevated run took place, or empty when it did
// run (its status is then the client's).
std::string ElevationRefusal(int waitStatus);

// Says that the client needs administrator rights, and why it has none (the reason is
// in English, for the terminal).
using ElevationRefusedMessage = void (*)(int argc, char** argv, const std::string& reason);

// Not root: runs the client through pkexec and returns true with the exit code to end
// with: the elevated run's, or 1 after a log line and the message when elevation is
// impossible or refused. Root: returns false and the client runs in this process.
bool RunElevated(int argc, char** argv, int* exitCode, ElevationRefusedMessage showRefusal);
