// Administrator rights. The client runs as root; started by another user it runs
// itself again through pkexec, whose polkit action for this program keeps the display,
// and waits for that run. The elevated run works for the invoking user (InvokingUser.h)
// but takes nothing from that user's session: it runs in its own folder with a clean
// environment.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Makes the program's own folder (the folder of /proc/self/exe) the working directory, so
// that every relative path names the bundle beside the program and never the folder the
// caller started it in. False, with the reason in English, when it cannot.
bool ChangeToProgramFolder(std::string* error);

// The environment of an elevated run (root working for another user) from the one it was
// started with: only what the display and the language need (DISPLAY, WAYLAND_DISPLAY,
// LANG, LANGUAGE, LC_*, TERM, COLORTERM, with pkexec's own checks: no '/', '%' or "..";
// XAUTHORITY only when it names a regular file, not a link, of the user's or root's),
// PKEXEC_UID, the run folder's variable, and root's own PATH, HOME, USER, LOGNAME and
// SHELL; XDG_RUNTIME_DIR is root's run folder (runFolder, left out when empty). Nothing
// of the user's session (XDG_*, QT_*, FONTCONFIG_*, TMPDIR, ...) is kept.
std::map<std::string, std::string> ElevatedEnvironment(const std::map<std::string, std::string>& current,
                                                       uid_t user, const std::string& rootHome,
                                                       const std::string& runFolder);

// In an elevated run, replaces the process's environment with ElevatedEnvironment. Runs
// before static initialisation, so that nothing of the user's session reaches Qt, fontconfig
// or the folders. Does nothing in any other run.
void CleanElevatedEnvironment();

// The environment pkexec is started with: the display's and the language's variables of
// the current one (pkexec checks them again) and a plain PATH.
std::map<std::string, std::string> PkexecEnvironment(const std::map<std::string, std::string>& current);

// The command line of the elevated run: pkexec and the program, nothing else. The caller's
// arguments stay behind: Qt takes options such as -platformpluginpath, -plugin or -style
// from the command line, and root must not load what they name.
std::vector<std::string> ElevationCommand(const std::string& program);

// The arguments an application object of an elevated run is made from: the program's name
// alone (argc becomes 1), so that nothing of the user's command line makes root load a
// plug-in, a style or a style sheet; so does a root run that pkexec started for any user
// but root. Any other run keeps its arguments.
void KeepOnlyProgramName(int* argc, char** argv);

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
