// ProcessPipe with real child processes (platform_child).
#include "ChildProcess.h"
#include "PlatformTestSupport.h"
#include "ProcessPipe.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace platformtest;

namespace {

const std::string kChild = PLATFORM_CHILD;

std::string RunLine(const std::string& line, bool capture = true, const char* workDir = nullptr) {
    ProcessPipe pipe;
    return pipe.ExecuteCommand(line.c_str(), capture, workDir);
}

// A process that exists and is not a zombie.
bool IsRunning(int pid) {
    std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return !stat.empty() && close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

bool IsGone(int pid) {
    return !Exists("/proc/" + std::to_string(pid));
}

bool IsZombie(int pid) {
    std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

// The program under another name, so that the process list shows that name.
std::string ChildNamed(const std::string& name) {
    const std::string path = WorkDir() + "/" + name;
    unlink(path.c_str());
    EXPECT_EQ(symlink(kChild.c_str(), path.c_str()), 0);
    return path;
}

TEST(ExecuteCommand, CaptureReturnsTheOutput) {
    EXPECT_EQ(RunLine(kChild + " print hello"), "hello");
    EXPECT_EQ(RunLine("\"" + kChild + "\" print \"two words\""), "two words");
}

TEST(ExecuteCommand, ASilentExitIsAFailedReadNamedForTheDaemon) {
    EXPECT_EQ(RunLine(kChild + " silent"), kResultFailed);
    EXPECT_EQ(RunLine(kChild + " silent charon-svc.exe"), kCharonNotExist);
    // findstr finds nothing, so nothing is written: the daemon lookup's "not running".
    const std::string token = "charon-svc.exe.absent" + std::to_string(getpid());
    EXPECT_EQ(RunLine("cmd.exe /c tasklist | findstr " + token), kCharonNotExist);
}

TEST(ExecuteCommand, OneReadHoldsAtMostTheBufferLess1) {
    std::string result = RunLine(kChild + " big 20000");
    EXPECT_GT(result.size(), 0u);
    EXPECT_LE(result.size(), kReadSize);
    EXPECT_EQ(result.find_first_not_of('x'), std::string::npos);
}

TEST(ExecuteCommand, ChildrenOutliveTheOneReadAndTheMissingCapture) {
    // Captured: the one read takes "first", the rest is drained, the child finishes.
    const std::string captured = WorkDir() + "/captured.done";
    EXPECT_EQ(RunLine(kChild + " chatty " + captured), "first\n");
    EXPECT_TRUE(WaitUntil([&] { return Exists(captured); })) << "the child died before its end";

    // Not captured: "" at once, the output goes nowhere, the child finishes.
    const std::string uncaptured = WorkDir() + "/uncaptured.done";
    EXPECT_EQ(RunLine(kChild + " chatty " + uncaptured, false), "");
    EXPECT_TRUE(WaitUntil([&] { return Exists(uncaptured); })) << "the child died before its end";
}

TEST(ExecuteCommand, WithoutCaptureReturnsAtOnceForAProgramThatNeverEnds) {
    EXPECT_EQ(RunLine(kChild + " sleep 20000", false), "");
}

TEST(ExecuteCommand, RunsInTheGivenWorkingDirectoryWithTheProgramFoundFromTheCallers) {
    const std::string elsewhere = WorkDir() + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(mkdir("bin", 0700), 0);
    ASSERT_EQ(symlink(kChild.c_str(), "bin/child"), 0);
    EXPECT_EQ(RunLine(".\\bin\\child pwd", true, elsewhere.c_str()), elsewhere);
    EXPECT_EQ(RunLine("./bin/child pwd"), WorkDir());
    EXPECT_EQ(RunLine("cmd.exe /c .\\bin\\child pwd", true, elsewhere.c_str()), elsewhere);
}

TEST(ExecuteCommand, NoShellSeesTheLine) {
    const std::string line = kChild + " args \"$(touch pwned1) 'q' \\\"x\\\"\" ;touch pwned2 `touch pwned3`";
    EXPECT_EQ(RunLine(line), "[$(touch pwned1) 'q' \"x\"]\n[;touch]\n[pwned2]\n[`touch]\n[pwned3`]\n");
    EXPECT_EQ(RunLine("cmd.exe /c " + kChild + " args \"$(touch pwned4)|x\" $HOME"),
              "[$(touch pwned4)|x]\n[$HOME]\n");
    for (const char* name : {"pwned1", "pwned2", "pwned3", "pwned4"}) {
        EXPECT_FALSE(Exists(name)) << name;
    }
}

TEST(ExecuteCommand, EchoFeedsTheNextStage) {
    EXPECT_EQ(RunLine("cmd.exe /c echo key+/= | " + kChild + " cat"), "<key+/=\n>");
}

TEST(ExecuteCommand, ChildrenReadAnEmptyStandardInput) {
    // Reads end at once; the run does not hang on the test's own input.
    EXPECT_EQ(RunLine(kChild + " cat"), kResultFailed);
}

TEST(ExecuteCommand, FailuresAreLoggedAndAnswerFailed) {
    LogCapture log;
    struct Case {
        std::string line;
        int code;
    };
    const Case cases[] = {
        {"/nonexistent/program arg", ENOENT},
        {"no-such-program-in-path-" + std::to_string(getpid()), ENOENT},
        {"cmd.exe /c " + kChild + " print x > out.txt", EINVAL},
        {"cmd.exe /c del /q *", ENOENT},
        {kChild + " args " + std::string(kCommandLineBufferSize - kChild.size() - 6, 'a'), E2BIG},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunLine(c.line), kResultFailed) << c.line.substr(0, 80);
    }
    ProcessPipe pipe;
    EXPECT_EQ(pipe.ExecuteCommand(nullptr, true), kResultFailed);
    // One byte less fits the conversion buffer and runs.
    const std::string longest = std::string(kCommandLineBufferSize - kChild.size() - 7, 'a');
    EXPECT_EQ(RunLine(kChild + " args " + longest), "[" + longest + "]\n");
    std::string expected;
    for (const Case& c : cases) {
        expected += "VPN :: Failed to create child process, error code = " + std::to_string(c.code) + " \n";
    }
    expected += "VPN :: Failed to create child process, error code = " + std::to_string(E2BIG) + " \n";
    EXPECT_EQ(log.Text(), expected);
    EXPECT_FALSE(Exists("out.txt"));
}

TEST(ExecuteCommand, ChildrenAreReapedByTheirOwnIdOnly) {
    // A child of the test's own: the layer must leave it for the test to reap.
    pid_t own = fork();
    ASSERT_GE(own, 0);
    if (own == 0) {
        _exit(7);
    }
    std::string pid = RunLine(kChild + " pid");
    ASSERT_FALSE(pid.empty());
    EXPECT_TRUE(WaitUntil([&] { return IsGone(std::atoi(pid.c_str())); })) << "child left a zombie";
    int status = 0;
    ASSERT_EQ(waitpid(own, &status, 0), own);
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST(ExecuteCommandAndWait, AnswersAsExecuteCommandOnceTheProgramHasEndedAndBeenReaped) {
    struct Case {
        std::string args;
        std::string expected; // "" for a read of at most the buffer of x's
    };
    const Case cases[] = {
        {"print hello", "hello"},
        {"silent", kResultFailed},
        {"silent charon-svc.exe", kCharonNotExist},
        {"big 20000", ""},
    };
    for (const Case& c : cases) {
        ProcessPipe pipe;
        const std::string result = pipe.ExecuteCommandAndWait((kChild + " " + c.args).c_str());
        if (c.expected.empty()) {
            EXPECT_GT(result.size(), 0u) << c.args;
            EXPECT_LE(result.size(), kReadSize) << c.args;
            EXPECT_EQ(result.find_first_not_of('x'), std::string::npos) << c.args;
        } else {
            EXPECT_EQ(result, c.expected) << c.args;
        }
    }

    // The one read takes "first"; the call returns after the program's last words.
    const std::string done = WorkDir() + "/waited.done";
    ProcessPipe pipe;
    EXPECT_EQ(pipe.ExecuteCommandAndWait((kChild + " chatty " + done).c_str()), "first\n");
    EXPECT_TRUE(Exists(done)) << "returned before the program's end";

    const std::string pid = pipe.ExecuteCommandAndWait((kChild + " pid").c_str());
    ASSERT_FALSE(pid.empty());
    EXPECT_TRUE(IsGone(std::atoi(pid.c_str()))) << "returned before the program was reaped";
}

TEST(CommandShell, TasklistFindstrAndTaskkillFindAndEndAProcess) {
    // A name longer than the kernel's 15-byte command name, unique to this test run.
    const std::string image = "korva-tl-" + std::to_string(getpid()) + ".exe";
    ChildNamed(image);
    EXPECT_EQ(RunLine("./" + image + " sleep 600000", false), "");

    std::string listed;
    ASSERT_TRUE(WaitUntil([&] {
        listed = RunLine("cmd.exe /c tasklist | findstr " + image);
        return listed != kResultFailed;
    }));
    ASSERT_EQ(listed.compare(0, image.size(), image), 0) << listed;
    const int pid = std::atoi(listed.c_str() + image.size());
    ASSERT_GT(pid, 1);
    EXPECT_NE(listed.find(" Console "), std::string::npos);
    EXPECT_NE(listed.find(" K\n"), std::string::npos);
    EXPECT_TRUE(IsRunning(pid));

    EXPECT_EQ(RunLine("cmd.exe /c taskkill /pid " + std::to_string(pid)),
              "SUCCESS: Sent termination signal to the process with PID " + std::to_string(pid) + ".\n");
    EXPECT_TRUE(WaitUntil([&] { return IsGone(pid); }));
    EXPECT_EQ(RunLine("cmd.exe /c taskkill /pid " + std::to_string(pid)),
              "ERROR: The process \"" + std::to_string(pid) + "\" not found.\n");
}

TEST(CommandShell, TaskkillEndsAProcessThatIgnoresTheRequest) {
    const std::string ready = RunLine(kChild + " stubborn");
    ASSERT_EQ(ready.rfind("ready ", 0), 0u) << ready;
    const int pid = std::atoi(ready.c_str() + 6);
    ASSERT_GT(pid, 1);
    EXPECT_EQ(RunLine("cmd.exe /c taskkill /pid " + std::to_string(pid)).rfind("SUCCESS: ", 0), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsGone(pid); }, 30000));
}

TEST(CommandShell, TaskkillNeverSignalsInitOrTheClient) {
    for (const std::string& id : std::vector<std::string>{"0", "1", std::to_string(getpid())}) {
        EXPECT_EQ(RunLine("cmd.exe /c taskkill /pid " + id),
                  "ERROR: The process \"" + id + "\" not found.\n");
    }
}

TEST(CommandShell, TasklistHasTheWindowsColumns) {
    std::string list = RunLine("cmd.exe /c tasklist");
    // One read holds the start of the list.
    const std::string head =
        "\nImage Name                     PID Session Name        Session#    Mem Usage\n"
        "========================= ======== ================ =========== ============\n";
    EXPECT_EQ(list.rfind(head, 0), 0u) << list.substr(0, 200);
}

class StartedProcess : public ::testing::Test {
protected:
    LogCapture log;
    ProcessPipe pipe;
    PROCESS_INFORMATION info;
};

// True when a listening socket can take the port on 127.0.0.1 now.
bool PortIsFree(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool free = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                listen(fd, 1) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return free;
}

TEST_F(StartedProcess, ReadsWhatArrivesAndKillsTheLiveChild) {
    ASSERT_EQ(pipe.StartProcess(kChild.c_str(), " later 1500 \"hello there\"", &info), kResultSuccess);
    ASSERT_GT(info.dwProcessId, 1);
    EXPECT_EQ(pipe.ReadAvailable(), kResultFailed);
    std::string text;
    ASSERT_TRUE(WaitUntil([&] {
        text = pipe.ReadAvailable();
        return text != kResultFailed;
    }));
    EXPECT_EQ(text, "hello there");
    EXPECT_TRUE(IsRunning(info.dwProcessId));

    EXPECT_TRUE(pipe.KillProcess(info));
    EXPECT_TRUE(IsGone(info.dwProcessId));
    EXPECT_FALSE(pipe.KillProcess(info));

    const std::string lines = log.Text();
    EXPECT_EQ(lines.find("System :: Nothing to read... \n"), 0u) << lines;
    EXPECT_NE(lines.find("System :: OpenVPN Connect: \nhello there"), std::string::npos) << lines;
    EXPECT_NE(
        lines.find("System :: Failed to terminate process, error code = " + std::to_string(ESRCH) + " \n"),
        std::string::npos)
        << lines;
}

TEST_F(StartedProcess, AChildThatEndedCannotBeKilled) {
    ASSERT_EQ(pipe.StartProcess(kChild.c_str(), "print bye", &info), kResultSuccess);
    // It stays unreaped, so its id cannot pass to another process meanwhile.
    ASSERT_TRUE(WaitUntil([&] { return IsZombie(info.dwProcessId); }));
    EXPECT_EQ(pipe.ReadAvailable(), "bye");
    EXPECT_FALSE(pipe.KillProcess(info));
    EXPECT_TRUE(WaitUntil([&] { return IsGone(info.dwProcessId); }));
    EXPECT_NE(log.Text().find("System :: Failed to terminate process, error code = " + std::to_string(ESRCH)),
              std::string::npos);
}

TEST_F(StartedProcess, KillReturnsOnceTheProgramHasEndedAndFreedItsPort) {
    // A program that takes a second to end after the request, and one that ignores it
    // (killed after the grace time): either is gone, its port free, when the call returns.
    for (const char* arguments : {"slowexit 1000", "stubborn"}) {
        ASSERT_EQ(pipe.StartProcess(kChild.c_str(), arguments, &info), kResultSuccess);
        std::string ready;
        ASSERT_TRUE(WaitUntil([&] {
            ready = pipe.ReadAvailable();
            return ready != kResultFailed;
        }));
        const int port = ready.rfind("port ", 0) == 0 ? std::atoi(ready.c_str() + 5) : 0;
        EXPECT_TRUE(pipe.KillProcess(info)) << arguments;
        EXPECT_TRUE(IsGone(info.dwProcessId)) << arguments;
        if (port > 0) {
            EXPECT_TRUE(PortIsFree(port)) << arguments;
        }
    }
}

TEST_F(StartedProcess, IdsOfOneOrLessAndForeignProcessesAreNeverSignalled) {
    for (int pid : {-5, 0, 1, static_cast<int>(getppid())}) {
        PROCESS_INFORMATION foreign;
        foreign.dwProcessId = pid;
        EXPECT_FALSE(pipe.KillProcess(foreign)) << pid;
    }
    EXPECT_TRUE(IsRunning(getppid()));
    const std::string lines = log.Text();
    EXPECT_EQ(lines, "System :: Failed to terminate process, error code = 22 \n"
                     "System :: Failed to terminate process, error code = 22 \n"
                     "System :: Failed to terminate process, error code = 22 \n"
                     "System :: Failed to terminate process, error code = 3 \n");
}

TEST_F(StartedProcess, OutputIsReadAsItComesAndItsEndIsSeen) {
    // Four times what is kept, written while nobody reads: the program never waits on
    // it, the latest part is kept, and the end of the output is seen once it has ended.
    const std::string marker = WorkDir() + "/flood.done";
    const int bytes = 4 * static_cast<int>(ProcessPipe::kStartedOutputKeep);
    ASSERT_EQ(
        pipe.StartProcess(kChild.c_str(), ("flood " + std::to_string(bytes) + " " + marker).c_str(), &info),
        kResultSuccess);
    EXPECT_TRUE(WaitUntil([&] { return Exists(marker); })) << "the program waited on its output";
    EXPECT_TRUE(WaitUntil([&] { return pipe.OutputEnded(); }));
    EXPECT_EQ(pipe.ReadAvailable().size(), kReadSize) << "one read takes at most 10239 bytes";
    const std::string rest = pipe.TakeOutput();
    EXPECT_EQ(rest.size(), ProcessPipe::kStartedOutputKeep - kReadSize);
    EXPECT_EQ(rest.substr(rest.size() - 12), "\nlast words\n");
    EXPECT_EQ(pipe.TakeOutput(), "");
    EXPECT_EQ(pipe.ReadAvailable(), kResultFailed);
    EXPECT_FALSE(pipe.KillProcess(info)) << "it has ended";

    // A program that runs on has not ended, whatever it has written.
    ASSERT_EQ(pipe.StartProcess(kChild.c_str(), " later 0 \"hello\"", &info), kResultSuccess);
    ASSERT_TRUE(WaitUntil([&] { return pipe.TakeOutput() == "hello"; }));
    EXPECT_FALSE(pipe.OutputEnded());
    EXPECT_TRUE(pipe.KillProcess(info));
    EXPECT_TRUE(WaitUntil([&] { return pipe.OutputEnded(); }));
}

TEST(StartProcess, TheProgramOutlivesTheObjectThatStartedIt) {
    const std::string marker = WorkDir() + "/started.done";
    PROCESS_INFORMATION info;
    {
        ProcessPipe pipe;
        ASSERT_EQ(pipe.StartProcess(kChild.c_str(), ("chatty " + marker).c_str(), &info), kResultSuccess);
    }
    EXPECT_TRUE(WaitUntil([&] { return Exists(marker); })) << "the program died with its pipe";
    // The marker comes just before the program's end; a kill before that end would succeed.
    ASSERT_TRUE(WaitUntil([&] { return IsZombie(info.dwProcessId); }));
    ProcessPipe other;
    EXPECT_FALSE(other.KillProcess(info));
}

TEST_F(StartedProcess, AMissingProgramIsLogged) {
    EXPECT_EQ(pipe.StartProcess("./bin/OpenVPN/openvpn.exe", " --config x", &info), kResultFailed);
    EXPECT_EQ(log.Text(), "System :: Failed to create child process, error code = 2 \n");
    EXPECT_EQ(pipe.ReadAvailable(), kResultFailed);
}

TEST(ProcessHelpers, AProcessRunsFromItsProgramsFolderOrItsWorkingFolder) {
    char program[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", program, sizeof(program) - 1), 0);
    const std::string programFolder = std::string(program).substr(0, std::string(program).rfind('/'));
    EXPECT_TRUE(ProcessRunsFrom(getpid(), programFolder));
    EXPECT_TRUE(ProcessRunsFrom(getpid(), WorkDir()));
    ASSERT_EQ(mkdir("other", 0700), 0);
    EXPECT_FALSE(ProcessRunsFrom(getpid(), WorkDir() + "/other"));
    EXPECT_FALSE(ProcessRunsFrom(getpid(), WorkDir() + "/missing"));
    EXPECT_FALSE(ProcessRunsFrom(0, WorkDir()));
}

TEST(ProcessHelpers, AnEndWatchSeesAnEndedProcessBeforeItIsReaped) {
    ProcessPipe pipe;
    PROCESS_INFORMATION info;
    ASSERT_EQ(pipe.StartProcess(kChild.c_str(), "sleep 60000", &info), kResultSuccess);
    ProcessEndWatch watch(info.dwProcessId);
    EXPECT_FALSE(watch.WaitEnded(100));
    ASSERT_EQ(kill(info.dwProcessId, SIGTERM), 0);
    EXPECT_TRUE(watch.WaitEnded(10000));
    EXPECT_TRUE(watch.WaitEnded(0));
    EXPECT_TRUE(IsZombie(info.dwProcessId));
    EXPECT_FALSE(pipe.KillProcess(info));
    EXPECT_TRUE(ProcessEndWatch(info.dwProcessId).WaitEnded(0));
}

TEST(IsInheritableHandle, AcceptsOpenDescriptorsOnly) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    EXPECT_TRUE(IsInheritableHandle(ends[0]));
    close(ends[0]);
    close(ends[1]);
    EXPECT_FALSE(IsInheritableHandle(ends[0]));
    EXPECT_FALSE(IsInheritableHandle(-1));
}

} // namespace

TEST(RunToEnd, GivesTheExitCodeOrWhyTheProgramDidNotRun) {
    struct Case {
        std::vector<std::string> argv;
        int result;
        int exitCode;
    } cases[] = {
        {{"sh", "-c", "exit 0"}, 0, 0},
        {{"sh", "-c", "exit 3"}, 0, 3},
        // Standard input is /dev/null, so the read ends at once.
        {{"sh", "-c", "read line; exit 4"}, 0, 4},
        {{"sh", "-c", "kill -KILL $$"}, 0, -1},
        {{"./missing/program"}, ENOENT, -1},
        {{}, EINVAL, -1},
    };
    for (const Case& c : cases) {
        const std::string name = c.argv.empty() ? "" : c.argv.back();
        int exitCode = 42;
        EXPECT_EQ(RunToEnd(c.argv, 20000, &exitCode), c.result) << name;
        EXPECT_EQ(exitCode, c.exitCode) << name;
    }
}

TEST(RunToEnd, AProgramPastItsTimeIsEndedWithWhatItStartedAndReaped) {
    // The program and the child it leaves behind both ignore SIGTERM: only SIGKILL, sent
    // to the whole group after the grace time, ends them.
    const std::string ids = WorkDir() + "/ids";
    const std::string line = "trap '' TERM; sleep 300 & echo $$ $! > '" + ids + "'; wait";
    int exitCode = 42;
    EXPECT_EQ(RunToEnd({"sh", "-c", line}, 500, &exitCode), ETIMEDOUT);
    EXPECT_EQ(exitCode, -1);
    std::istringstream text(ReadText(ids));
    int leader = 0;
    int child = 0;
    text >> leader >> child;
    ASSERT_GT(leader, 1);
    ASSERT_GT(child, 1);
    EXPECT_TRUE(IsGone(leader)) << "reaped when the call returns";
    EXPECT_TRUE(WaitUntil([&] { return IsGone(child); }));
}
