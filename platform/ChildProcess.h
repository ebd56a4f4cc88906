// Starting, reaping and ending child processes without a shell. Every descriptor the
// layer opens is close-on-exec; a child gets exactly its standard input, output and
// error. Children are reaped by their own process id, never with waitpid(-1), so the
// children of Qt's QProcess stay Qt's.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Starts argv[0] (a Windows-style path is accepted; a path with a directory is taken
// relative to the caller's working directory, a bare name is looked up in PATH) with the
// given descriptors as standard input, output and error, in workDir when given. All
// signals start with their default action and unblocked. Returns 0 and the child's id,
// or an errno value.
int SpawnProgram(const std::vector<std::string>& argv, int inFd, int outFd, int errFd, const char* workDir,
                 pid_t* pid);

// Waits for the child on a background thread, so that it never stays a zombie.
void ReapInBackground(pid_t pid);
// Waits for the child on the calling thread until it has ended, and reaps it.
void ReapChild(pid_t pid);

// Runs a program to its end, hidden: its standard input, output and error are /dev/null,
// and it runs in a process group of its own, so that whatever it starts goes with it.
// Waits at most timeoutMs; a program still running then is ended with its whole group
// (SIGTERM, and SIGKILL when the program is still there after kTerminateGraceMs), and the
// call returns once the program has been reaped. Returns 0 with the program's exit code
// (-1 when a signal ended it or its end could not be observed), ETIMEDOUT when it was
// ended at the time limit, or the errno value that kept it from starting.
int RunToEnd(const std::vector<std::string>& argv, int timeoutMs, int* exitCode);

// Asks any process (not 1 or less, not this one) to end: SIGTERM, and SIGKILL when it is
// still there after kTerminateGraceMs. Returns false when there is no such process.
bool TerminateByPid(pid_t pid);

// Children started to run on (ProcessPipe::StartProcess) are kept unreaped until they
// are ended through EndStartedChild, so their id cannot pass to another process while
// the caller holds it.
void RegisterStartedChild(pid_t pid);
// Reaps registered children that have ended on their own.
void SweepStartedChildren();
// Ends a registered child and returns once it has ended and been reaped: SIGTERM, and
// SIGKILL when it is still there after kTerminateGraceMs. Returns 0, or ESRCH when the id
// is not a registered child that still runs.
int EndStartedChild(pid_t pid);

// True when the process's program file lies in the folder, or the folder is its working
// directory (a program run through a link or a script keeps the folder it was started
// in). Any process this one may not inspect is taken as not running from there.
bool ProcessRunsFrom(pid_t pid, const std::string& folder);

// Watches one process from the moment the watch is made, so that its end can be waited
// for even when its id passes to another process meanwhile.
class ProcessEndWatch {
public:
    explicit ProcessEndWatch(pid_t pid);
    ~ProcessEndWatch();
    ProcessEndWatch(const ProcessEndWatch&) = delete;
    ProcessEndWatch& operator=(const ProcessEndWatch&) = delete;

    // True once the process has ended (one that nobody has reaped yet counts as ended),
    // waiting at most timeoutMs.
    bool WaitEnded(int timeoutMs);

private:
    pid_t pid;
    int pidFd;
};
