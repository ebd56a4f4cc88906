// ProcessPipe: the one way the client runs external programs. A run has the child's
// standard output and error on a pipe whose read end the object keeps; results are
// texts, with fixed words for failures (PlatformConstants.h).
//
// On Linux no command line reaches a shell: it is split by the Windows quoting rules
// and the program is executed directly; a "cmd.exe /c " line is served by the layer's
// own interpreter (CommandShell.h). A child's standard input is /dev/null.
#pragma once

#include "PlatformConstants.h"

#include <memory>
#include <string>

// The record of a started process. Linux has no process or thread handles; the record
// carries the ids only, which is all the client uses of it.
struct PROCESS_INFORMATION {
    int dwProcessId = 0;
    int dwThreadId = 0;
};

// True when the descriptor is open. The layer's pipe ends are close-on-exec and reach
// a child only as its standard output, so "inheritable" on Linux means "a descriptor
// this object may close".
bool IsInheritableHandle(int handle);

class ProcessPipe {
public:
    ProcessPipe() = default;
    ~ProcessPipe();
    ProcessPipe(const ProcessPipe&) = delete;
    ProcessPipe& operator=(const ProcessPipe&) = delete;

    // Runs a command line (UTF-8) in workDir, or in the caller's working directory when
    // workDir is null. Without capture the child's output goes to /dev/null and the
    // result is "" at once. With capture the result is one read of at most 10239 bytes,
    // which blocks until the child writes or ends; the rest of the output is drained
    // and dropped in the background, so the child never dies of a closed pipe. A read
    // that gets nothing answers "charon-svc.exe not exist" for a line naming that
    // program, else "Failed". The child is not waited for.
    std::string ExecuteCommand(const char* commandLine, bool capture, const char* workDir = nullptr);

    // ExecuteCommand with capture, for a caller on a worker thread that may wait for the
    // programs: the same result, but the rest of the output is read and dropped, and the
    // programs are reaped, on the calling thread, so that a run starts no thread of its
    // own. Returns once the output has come to its end and the programs have ended.
    std::string ExecuteCommandAndWait(const char* commandLine, const char* workDir = nullptr);

    // Starts a long-running program: the command line is the application path, a blank
    // and the arguments. Its output is read as it comes, on a thread of its own, so that
    // the program never waits on a full pipe however long it runs: the object keeps the
    // latest kStartedOutputKeep bytes for ReadAvailable until it is destroyed or reused;
    // the program's later output is then read and dropped, so it runs on as it would on
    // Windows. Fills the record and answers "Success", or "Failed".
    std::string StartProcess(const char* applicationPath, const char* arguments, PROCESS_INFORMATION* info);

    // What the started program has written since the last read (at most 10239 bytes, the
    // oldest first), without blocking, or "Failed" when nothing waits.
    std::string ReadAvailable();

    // Everything the started program has written since the last read, without the size
    // limit of ReadAvailable and without a log line ("" when nothing waits).
    std::string TakeOutput();
    // True once the started program's output has come to its end: the program, and every
    // program it started with that output, has ended. What it wrote last may still wait
    // to be read.
    bool OutputEnded() const;

    // How much of a started program's output is kept while nobody reads it.
    static constexpr size_t kStartedOutputKeep = 1 << 20;

    // Ends a process that StartProcess started and returns once it has ended (SIGTERM,
    // SIGKILL when it is still there after a grace time), so that a program started
    // again at once finds its port and files free. False, with a log line, for a process
    // that has ended already, one that this process did not start, and any id of 1 or
    // less.
    bool KillProcess(PROCESS_INFORMATION info);

    struct StartedOutput;

private:
    void CloseEnds();
    std::string Execute(const char* commandLine, bool capture, const char* workDir, bool wait);

    int readEnd = -1;
    int writeEnd = -1;
    // Set while the pipe belongs to a program StartProcess started.
    bool started = false;
    // The started program's output, shared with the thread that reads it.
    std::shared_ptr<StartedOutput> output;
};
