// Root's run folder and what lives in it: the folder is refused where anyone else could
// change it; the single-instance lock is taken, found held, or said to be untakeable
// (never skipped); the records of started programs let the next start end what a killed
// starter left running, and nothing else.
#include "ChildRecords.h"
#include "PlatformTestSupport.h"
#include "ProcessPipe.h"
#include "RunFolder.h"
#include "SystemHelpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace platformtest;

namespace {

const std::string kChild = PLATFORM_CHILD;

// Sets KORVA_RUN_DIR for the test's scope and puts the sandbox's back afterwards.
class RunFolderChoice {
public:
    explicit RunFolderChoice(const std::string& path) : previous(getenv("KORVA_RUN_DIR")) {
        setenv("KORVA_RUN_DIR", path.c_str(), 1);
    }
    ~RunFolderChoice() { setenv("KORVA_RUN_DIR", previous.c_str(), 1); }

private:
    std::string previous;
};

std::string Folder(const std::string& name, mode_t mode) {
    const std::string path = WorkDir() + "/" + name;
    mkdir(path.c_str(), mode);
    chmod(path.c_str(), mode);
    return path;
}

// Starts a program outside the process runner (nothing records it); its id.
pid_t Spawn(const std::vector<std::string>& args, const char* workDir = nullptr) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (workDir != nullptr) {
        posix_spawn_file_actions_addchdir_np(&actions, workDir);
    }
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

bool Alive(pid_t pid) {
    const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

void Reap(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string Records() {
    return std::string(getenv("KORVA_RUN_DIR")) + "/children";
}

int RecordCount() {
    int count = 0;
    if (DIR* dir = opendir(Records().c_str())) {
        while (dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(dir);
    }
    return count;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    return static_cast<bool>(file);
}

TEST(RunFolder, IsUsedOnlyWhereNobodyElseCanChangeIt) {
    const std::string open = Folder("open", 0777);
    const std::string sticky = Folder("sticky", 01777);
    const std::string own = Folder("own", 0755);
    const std::string foreign = Folder("foreign", 0700);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    ASSERT_EQ(symlink(own.c_str(), (WorkDir() + "/link").c_str()), 0);
    struct Case {
        std::string path;
        bool usable;
    } cases[] = {
        {WorkDir() + "/fresh", true},  // made, mode 0700
        {own, true},                   // its own: read by nobody else from now on
        {sticky + "/run", true},       // under a sticky folder like /tmp
        {"relative/run", false},       // not absolute
        {open, false},                 // anyone may write it
        {open + "/run", false},        // anyone may replace it
        {foreign, false},              // another user's
        {WorkDir() + "/link", false},  // a link, even to a good folder
        {WorkDir() + "/plain", false}, // not a folder
    };
    ASSERT_TRUE(WriteText(WorkDir() + "/plain", ""));
    for (const Case& c : cases) {
        RunFolderChoice choice(c.path);
        std::string error;
        const std::string folder = RunFolder(&error);
        EXPECT_EQ(!folder.empty(), c.usable) << c.path << ": " << error;
        if (c.usable) {
            struct stat info {};
            ASSERT_EQ(lstat(folder.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u) << c.path;
        } else {
            EXPECT_FALSE(error.empty()) << c.path;
            EXPECT_EQ(TakeInstanceLock("Korva VPN.exe", &error), -1) << c.path;
        }
    }
}

TEST(InstanceLock, IsTakenFoundHeldOrSaidToBeUntakeable) {
    const std::string held = "Korva VPN.exe";
    std::string error;
    EXPECT_EQ(TakeInstanceLock(held.c_str(), &error), 0) << error;
    EXPECT_TRUE(Exists(std::string(getenv("KORVA_RUN_DIR")) + "/" + held));
    ProcessPipe pipe;
    EXPECT_EQ(pipe.ExecuteCommand((kChild + " instance \"" + held + "\"").c_str(), true), "running");

    // A planted link or FIFO at the lock's name is not followed or waited on: the lock
    // cannot be taken, and says so.
    const std::string run = getenv("KORVA_RUN_DIR");
    ASSERT_TRUE(WriteText(WorkDir() + "/target", "untouched"));
    ASSERT_EQ(symlink((WorkDir() + "/target").c_str(), (run + "/linked").c_str()), 0);
    ASSERT_EQ(mkfifo((run + "/fifo").c_str(), 0600), 0);
    for (const char* name : {"linked", "fifo", "a/b", ""}) {
        error.clear();
        EXPECT_EQ(TakeInstanceLock(name, &error), -1) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(ReadText(WorkDir() + "/target"), "untouched");
}

// A starter (standing in for the client) starts a program through the process runner and
// is killed; the next start ends that program, which ignores the polite request.
TEST(ChildRecords, TheNextStartEndsWhatAKilledStarterLeftRunning) {
    const std::string pidFile = WorkDir() + "/started.pid";
    const pid_t starter = Spawn({kChild, "starter", pidFile, kChild, "stubborn"});
    ASSERT_GT(starter, 0);
    ASSERT_TRUE(WaitUntil([&] { return !ReadText(pidFile).empty(); }));
    const pid_t left = std::atoi(ReadText(pidFile).c_str());
    ASSERT_GT(left, 1);
    const std::string record = Records() + "/" + std::to_string(left);
    ASSERT_TRUE(Exists(record));
    EXPECT_NE(ReadText(record).find(" " + std::to_string(starter) + " "), std::string::npos)
        << ReadText(record);

    // While its starter runs, the program is the starter's own.
    EXPECT_TRUE(EndLeftoverChildren(WorkDir()).empty());
    EXPECT_TRUE(Alive(left));
    EXPECT_TRUE(Exists(record));

    Reap(starter);
    ASSERT_TRUE(Alive(left)) << "a killed starter leaves its program running";
    const std::vector<LeftoverChild> ended = EndLeftoverChildren(WorkDir());
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].pid, left);
    EXPECT_EQ(ended[0].program, kChild);
    EXPECT_FALSE(Alive(left)) << "ended, with SIGKILL after the grace time";
    EXPECT_FALSE(Exists(record));
}

TEST(ChildRecords, OnlyTheRecordedProcessFromTheProgramFolderIsEnded) {
    // Processes nobody recorded: one in the program folder, one elsewhere.
    const pid_t here = Spawn({"/bin/sleep", "60"}, WorkDir().c_str());
    const pid_t elsewhere = Spawn({"/bin/sleep", "60"}, "/");
    ASSERT_GT(here, 0);
    ASSERT_GT(elsewhere, 0);
    ASSERT_TRUE(WaitUntil([&] { return ProcessStartTime(here) > 0 && ProcessStartTime(elsewhere) > 0; }));
    const std::string boot = [] {
        std::string id = ReadText("/proc/sys/kernel/random/boot_id");
        return id.substr(0, id.find('\n'));
    }();
    mkdir(Records().c_str(), 0700);
    // Records of a starter that has ended (no process of that id started at time 1).
    const auto plant = [&](pid_t pid, long long start, const std::string& bootId,
                           const std::string& program = "/usr/bin/true") {
        WriteText(Records() + "/" + std::to_string(pid), std::to_string(start) + " " + bootId + " " +
                                                             std::to_string(getppid()) + " 1 " + program +
                                                             "\n");
    };
    plant(here, ProcessStartTime(here) + 1, boot);       // the id went to another process
    plant(elsewhere, ProcessStartTime(elsewhere), boot); // runs from another folder
    plant(999999, 5, boot);                              // gone
    EXPECT_TRUE(EndLeftoverChildren(WorkDir()).empty());
    EXPECT_TRUE(Alive(here));
    EXPECT_TRUE(Alive(elsewhere));
    for (pid_t pid : {here, elsewhere, static_cast<pid_t>(999999)}) {
        EXPECT_FALSE(Exists(Records() + "/" + std::to_string(pid))) << "a record of an ended starter goes";
    }
    // From another boot nothing is what it was.
    plant(here, ProcessStartTime(here), "another-boot");
    EXPECT_TRUE(EndLeftoverChildren(WorkDir()).empty());
    EXPECT_TRUE(Alive(here));
    // The same record from this boot: ended.
    plant(here, ProcessStartTime(here), boot);
    ASSERT_EQ(EndLeftoverChildren(WorkDir()).size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(here); }));
    Reap(here);
    Reap(elsewhere);
}

TEST(ChildRecords, ARecordLivesAsLongAsItsProgram) {
    // This process's own running program is its own, never a leftover.
    ProcessPipe pipe;
    PROCESS_INFORMATION info;
    ASSERT_EQ(pipe.StartProcess(kChild.c_str(), "sleep", &info), kResultSuccess);
    const std::string record = Records() + "/" + std::to_string(info.dwProcessId);
    EXPECT_TRUE(Exists(record));
    EXPECT_TRUE(EndLeftoverChildren(WorkDir()).empty());
    EXPECT_TRUE(Alive(info.dwProcessId));
    ASSERT_TRUE(pipe.KillProcess(info));
    EXPECT_FALSE(Exists(record)) << "gone once the program was reaped";

    // A short command's record goes when it is reaped in the background.
    EXPECT_EQ(pipe.ExecuteCommand((kChild + " print done").c_str(), true), "done");
    EXPECT_TRUE(WaitUntil([] { return RecordCount() == 0; })) << RecordCount();
}

} // namespace
