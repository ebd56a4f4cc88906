// The file dialogs of an elevated client: the dialog is shown by a program run as the user
// the client works for, so that it lists, deletes, renames and makes nothing the user could
// not, and what it hands back is the only thing the client takes from it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "GuiTest.h"
#include "InvokingUser.h"
#include "ThrowawayUser.h"
#include "UserFileDialog.h"
#include "UserProgram.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Write(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    return chmod(path.c_str(), mode) == 0;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
                names.push_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    return names;
}

// Reads the program's output until it ends and waits for it; its exit status.
int Finish(const StartedUserProgram& started, std::string* output) {
    for (;;) {
        pollfd fd{started.output, POLLIN, 0};
        if (poll(&fd, 1, 60000) <= 0) {
            kill(started.pid, SIGKILL);
            break;
        }
        char buffer[512];
        const ssize_t count = read(started.output, buffer, sizeof(buffer));
        if (count > 0) {
            output->append(buffer, static_cast<size_t>(count));
        } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            break;
        }
    }
    close(started.output);
    int status = 0;
    waitpid(started.pid, &status, 0);
    return status;
}

class ElevatedFileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "working for another user needs root";
        }
        ASSERT_EQ(user.error(), "");
        ASSERT_TRUE(SetInvokingUserForTesting(user.uid));
        // Root's own folder with a private file, in a place the user can reach.
        char folder[] = "/tmp/korva-root-only-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        rootOnly = folder;
        ASSERT_EQ(chmod(rootOnly.c_str(), 0700), 0);
        secret = rootOnly + "/root.cfg";
        ASSERT_TRUE(Write(secret, "root's own\n", 0600));
    }
    void TearDown() override {
        SetInvokingUserForTesting(static_cast<uid_t>(-1));
        if (!rootOnly.empty()) {
            testsupport::RunProgram({"rm", "-rf", rootOnly});
        }
    }

    testsupport::ThrowawayUser user;
    std::string rootOnly;
    std::string secret;
};

// The dialog as the client sets it up, run as the client runs its dialog program, on root's
// folder: nothing listed, nothing to delete, rename or make, and root's file stays whole.
TEST_F(ElevatedFileDialog, ShowsAndChangesNothingOfRoots) {
    StartedUserProgram started;
    std::string error;
    ASSERT_TRUE(StartAsInvokingUser({FILE_DIALOG_PROBE, rootOnly, secret}, UserProgramEnvironment(), &started,
                                    &error))
        << error;
    std::string report;
    const int status = Finish(started, &report);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(report, "uid=" + std::to_string(user.uid) + " rows=0 delete=0 rename=0 newfolder=0\n");
    EXPECT_EQ(ReadAll(secret), "root's own\n");
    EXPECT_EQ(Entries(rootOnly), std::vector<std::string>{"root.cfg"});
}

// The client's side: the bundle's program runs as the user, with the user's groups only and
// nothing of root's open, gets the dialog's caption, filter and suggested name, and its
// answer is the path the client takes; an answer that is not one path is no choice.
TEST_F(ElevatedFileDialog, TheProgramRunsAsTheUserAndItsPathIsTheChoice) {
    // The stand-in program, where the client looks for it (its working folder's bin/).
    char cwd[PATH_MAX] = {};
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    const std::string home = user.home;
    // The sandbox's folders are root's alone; the user runs the program from there.
    ASSERT_EQ(chmod(cwd, 0755), 0);
    ASSERT_EQ(chmod((std::string(cwd) + "/..").c_str(), 0755), 0);
    ASSERT_EQ(mkdir("bin", 0755), 0);
    const std::string seen = home + "/seen";
    struct Case {
        const char* answer; // printf format of the stand-in's output
        int exitCode;
        const char* expected;
        bool errorShown;
    };
    const Case cases[] = {
        {"/home/ana/profiles 1.cfg\\0", 0, "/home/ana/profiles 1.cfg", false},
        {"", 1, "", false},                            // cancelled
        {"/home/ana/a\\0/etc/shadow\\0", 0, "", true}, // two paths
        {"/home/ana/a", 0, "", true},                  // no end
        {"", 3, "", true},                             // it failed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ASSERT_TRUE(
            Write("bin/file-dialog",
                  "#!/bin/sh\n{ id -u; id -G; ls /proc/self/fd | wc -l; for a in \"$@\"; do echo \"[$a]\"; "
                  "done; } > '" +
                      seen + "'\nprintf '" + c.answer + "'\nexit " + std::to_string(c.exitCode) + "\n",
                  0755));
        UserFileChoice choice;
        choice.save = true;
        choice.caption = QStringLiteral("save file");
        choice.filter = QStringLiteral("*.cfg");
        choice.folder = QString::fromStdString(home);
        choice.defaultSuffix = QStringLiteral("cfg");
        choice.selectedFile = QStringLiteral("KorvaVPN_1.cfg");
        QString path;
        const bool errorShown =
            guitest::closeModalsDuring([&] { path = ChooseUserFile(nullptr, choice); }, "ZRErrorDialog") > 0;
        EXPECT_EQ(path.toStdString(), c.expected);
        EXPECT_EQ(errorShown, c.errorShown);
        const std::string gid = std::to_string(user.gid);
        EXPECT_EQ(ReadAll(seen),
                  std::to_string(user.uid) + "\n" + gid + "\n" +
                      "4\n" // 0, 1, 2 and the one ls opens
                      "[--save]\n[--caption]\n[save file]\n[--folder]\n[" +
                      home + "]\n[--filter]\n[*.cfg]\n[--suffix]\n[cfg]\n[--select]\n[KorvaVPN_1.cfg]\n");
    }
}

} // namespace
