#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "NeedAdminMessage.h"
#include "PlacedClient.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text of every log file in the folder's log folder, oldest first (the names carry the
// start time).
std::string logsIn(const std::string& folder) {
    std::vector<std::string> names;
    const std::string logs = folder + "/Halvex_log";
    if (DIR* dir = opendir(logs.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
        text += readAll(logs + "/" + name);
    }
    return text;
}

// Starts the client placed in the folder (its own folder, where its log goes); as another
// user when uid is not -1, with standard error into errPath.
pid_t startClient(const std::string& folder, uid_t uid = static_cast<uid_t>(-1),
                  const std::string& errPath = "") {
    char cwd[PATH_MAX];
    const std::string absolute =
        folder[0] == '/' ? folder
                         : std::string(getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : ".") + "/" + folder;
    const std::string program = testsupport::PlaceClient(absolute);
    if (program.empty()) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(120);
        }
        if (!errPath.empty()) {
            const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            dup2(fd, 2);
        }
        if (uid != static_cast<uid_t>(-1)) {
            if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0) {
                _exit(121);
            }
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(122);
    }
    return pid;
}

// Starts the client already placed in the folder in network and mount namespaces of its
// own, with no TAP adapter and /dev/net/tun hidden, so that its TAP check runs the adapter
// script.
pid_t startWithoutTun(const std::string& folder) {
    const std::string program = folder + "/korva-vpn";
    const std::string hidden = folder + "/no-tun";
    std::ofstream(hidden).flush();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/usr/bin/unshare", "unshare", "--net", "--mount", "/bin/sh", "-c",
              "mount --bind \"$1\" /dev/net/tun && exec \"$2\"", "sh", hidden.c_str(), program.c_str(),
              static_cast<char*>(nullptr));
        _exit(122);
    }
    return pid;
}

// Waits for the child's end; false when it is still running after the time limit (it is
// then killed).
bool waitForExit(pid_t pid, int* status, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, status, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, status, 0);
    return false;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Waits for the text in the folder's logs, after their first `from` characters.
bool waitForLog(const std::string& folder, const std::string& text, int timeoutMs, size_t from = 0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (logsIn(folder).find(text, from) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(ClientProcessTest, TermAndIntCloseTheWindowAndStopCleanly) {
    for (int signalNumber : {SIGTERM, SIGINT}) {
        const std::string folder = "run-" + std::to_string(signalNumber);
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        const pid_t client = startClient(folder);
        ASSERT_GT(client, 0);
        // The client takes SIGTERM and SIGINT as a close before it logs its start line.
        ASSERT_TRUE(waitForLog(folder, "System :: ******** Korva VPN Start ********", 60000));
        ASSERT_EQ(kill(client, signalNumber), 0);
        int status = 0;
        ASSERT_TRUE(waitForExit(client, &status, 60000)) << "signal " << signalNumber;
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signalNumber << " ended the client abruptly";
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const std::string log = logsIn(folder);
        EXPECT_NE(log.find("System :: Close requested by signal " + std::to_string(signalNumber)),
                  std::string::npos);
        const std::string stop = "System :: ******** Korva VPN Stop ********\n";
        ASSERT_GE(log.size(), stop.size());
        EXPECT_EQ(log.substr(log.size() - stop.size()), stop) << log;
    }
}

TEST(ClientProcessTest, StartWithoutRightsThatCannotBeElevatedEndsWithTheMessage) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "starting the client as another user needs root";
    }
    // A folder that the unprivileged user may write, outside the sandbox's private one.
    char folderTemplate[] = "/tmp/korva-elevation-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    const std::string folder = folderTemplate;
    chmod(folder.c_str(), 0777);
    const std::string errors = folder + "/stderr.txt";
    const uid_t nobody = 65534;
    // No polkit authority or agent can answer here (no session bus, no terminal), so
    // pkexec refuses; the client says why it stops and ends with 1.
    const pid_t client = startClient(folder, nobody, errors);
    ASSERT_GT(client, 0);
    int status = 0;
    ASSERT_TRUE(waitForExit(client, &status, 60000));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 121 || WEXITSTATUS(status) == 122) {
        GTEST_SKIP() << "the program cannot run as an unprivileged user here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string text = readAll(errors);
    EXPECT_NE(text.find("Korva VPN needs administrator rights"), std::string::npos) << text;
    EXPECT_NE(logsIn(folder).find("System :: Administrator rights not obtained"), std::string::npos);
    EXPECT_EQ(logsIn(folder).find("Korva VPN Start"), std::string::npos);
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST(ClientProcessTest, ALockThatCannotBeTakenEndsTheStartWithTheMessage) {
    // A run folder that anyone may write: refused, so the lock is never taken there.
    char cwd[PATH_MAX];
    const std::string open = std::string(getcwd(cwd, sizeof(cwd))) + "/open-run";
    ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    const std::string sandboxRun = getenv("KORVA_RUN_DIR");
    setenv("KORVA_RUN_DIR", open.c_str(), 1);
    const std::string folder = std::string(cwd) + "/locked-out";
    const pid_t client = startClient(folder, static_cast<uid_t>(-1), folder + "-errors.txt");
    setenv("KORVA_RUN_DIR", sandboxRun.c_str(), 1);
    ASSERT_GT(client, 0);
    int status = 0;
    ASSERT_TRUE(waitForExit(client, &status, 30000));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string errors = readAll(folder + "-errors.txt");
    EXPECT_NE(errors.find("Korva VPN cannot make sure that it runs only once, so it does not start."),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find(open + ": another user can change this folder"), std::string::npos) << errors;
    EXPECT_NE(logsIn(folder).find("System :: Single-instance lock not taken: " + open), std::string::npos);
    EXPECT_EQ(logsIn(folder).find("Korva VPN Start"), std::string::npos);
}

TEST(ClientProcessTest, TheTapAdaptersAClientMadeGoAtQuitOrAtTheNextStart) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "namespaces need root";
    }
    char cwd[PATH_MAX];
    const std::string folder = std::string(getcwd(cwd, sizeof(cwd))) + "/tap-client";
    ASSERT_FALSE(testsupport::PlaceClient(folder).empty());
    // Stand-ins of the adapter scripts: one records an adapter as addtap.bat does, the
    // other counts its runs and drops the records as deltapmade.bat does.
    const std::string records = std::string(getenv("KORVA_RUN_DIR")) + "/tap";
    std::ofstream(folder + "/driver/addtap.bat")
        << "#!/bin/bash\nmkdir -p \"$KORVA_RUN_DIR/tap\" && echo 7 > \"$KORVA_RUN_DIR/tap/tap9\"\n";
    std::ofstream(folder + "/driver/deltapmade.bat")
        << "#!/bin/bash\necho run >> '" << folder << "/deltapmade-runs'\nrm -f \"$KORVA_RUN_DIR\"/tap/*\n";
    chmod((folder + "/driver/addtap.bat").c_str(), 0755);
    chmod((folder + "/driver/deltapmade.bat").c_str(), 0755);
    const auto runs = [&] { return readAll(folder + "/deltapmade-runs"); };

    // A start makes its adapter; the quit removes it.
    pid_t client = startWithoutTun(folder);
    ASSERT_TRUE(waitForLog(folder, "Korva VPN Start", 30000));
    EXPECT_EQ(readAll(records + "/tap9"), "7\n") << "the check made an adapter";
    EXPECT_EQ(runs(), "");
    kill(client, SIGTERM);
    int status = 0;
    ASSERT_TRUE(waitForExit(client, &status, 30000));
    EXPECT_EQ(runs(), "run\n");
    EXPECT_FALSE(Exists(records + "/tap9"));

    // A killed client leaves it; the next start removes it before its check makes another.
    size_t before = logsIn(folder).size();
    client = startWithoutTun(folder);
    ASSERT_TRUE(waitForLog(folder, "Korva VPN Start", 30000, before));
    kill(client, SIGKILL);
    waitpid(client, &status, 0);
    EXPECT_TRUE(Exists(records + "/tap9"));
    before = logsIn(folder).size();
    client = startWithoutTun(folder);
    ASSERT_TRUE(waitForLog(folder, "Korva VPN Start", 30000, before));
    EXPECT_EQ(runs(), "run\nrun\n");
    EXPECT_TRUE(Exists(records + "/tap9")) << "made again by the new start's check";
    kill(client, SIGTERM);
    ASSERT_TRUE(waitForExit(client, &status, 30000));
    EXPECT_EQ(runs(), "run\nrun\nrun\n");
}

TEST(ElevationTest, MessageLanguageFollowsTheSystemLanguage) {
    EXPECT_EQ(TranslationCodeForLanguage(0x0407), "de");
    EXPECT_EQ(TranslationCodeForLanguage(0x0807), "de");
    EXPECT_EQ(TranslationCodeForLanguage(0x0404), "zh");
    EXPECT_EQ(TranslationCodeForLanguage(0x041F), "tr");
    EXPECT_EQ(TranslationCodeForLanguage(0x0409), "en");
    EXPECT_EQ(TranslationCodeForLanguage(0x0425), "en") << "a language without a translation";
}

} // namespace
