#include <gtest/gtest.h>

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
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "NeedAdminMessage.h"
#include "PlacedClient.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text of every log file in the folder's log folder.
std::string logsIn(const std::string& folder) {
    std::string text;
    const std::string logs = folder + "/Halvex_log";
    if (DIR* dir = opendir(logs.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                text += readAll(logs + "/" + entry->d_name);
            }
        }
        closedir(dir);
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

bool waitForLog(const std::string& folder, const std::string& text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (logsIn(folder).find(text) != std::string::npos) {
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
        ASSERT_TRUE(waitForLog(folder, "System :: ******** Korva VPN Start ********", 15000));
        // The window is shown after the start line; give the event loop a moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(kill(client, signalNumber), 0);
        int status = 0;
        ASSERT_TRUE(waitForExit(client, &status, 15000)) << "signal " << signalNumber;
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

TEST(ElevationTest, MessageLanguageFollowsTheSystemLanguage) {
    EXPECT_EQ(TranslationCodeForLanguage(0x0407), "de");
    EXPECT_EQ(TranslationCodeForLanguage(0x0807), "de");
    EXPECT_EQ(TranslationCodeForLanguage(0x0404), "zh");
    EXPECT_EQ(TranslationCodeForLanguage(0x041F), "tr");
    EXPECT_EQ(TranslationCodeForLanguage(0x0409), "en");
    EXPECT_EQ(TranslationCodeForLanguage(0x0425), "en") << "a language without a translation";
}

} // namespace
