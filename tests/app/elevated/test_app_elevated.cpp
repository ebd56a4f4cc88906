// The client program started as pkexec leaves it for an ordinary user (uid 0, PKEXEC_UID,
// pkexec's environment plus what a careless launcher might add), on a real X server, from a
// working folder the user filled with programs of its own, with links the user planted in
// its home. Nothing of the user's runs as root, no link is followed, the user's files stay
// the user's, and a second start, whoever makes it, finds the one instance. The user is a
// throwaway user of the machine. Records of a WireGuard tunnel and a TAP adapter in the run
// folder make the start run two of the bundle's programs (its clean-up after a kill).
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "PlacedClient.h"
#include "ThrowawayUser.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Write(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream(path) << text;
    return chmod(path.c_str(), mode) == 0;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string Cwd() {
    char path[PATH_MAX];
    return getcwd(path, sizeof(path)) != nullptr ? path : ".";
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return condition();
}

// Every file and folder under the path that does not belong to the user, by lstat.
std::vector<std::string> NotOwnedBy(const std::string& path, uid_t uid) {
    std::vector<std::string> found;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return found;
    }
    if (info.st_uid != uid) {
        found.push_back(path);
    }
    if (S_ISDIR(info.st_mode)) {
        if (DIR* dir = opendir(path.c_str())) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    const auto more = NotOwnedBy(path + "/" + name, uid);
                    found.insert(found.end(), more.begin(), more.end());
                }
            }
            closedir(dir);
        }
    }
    return found;
}

// A real X server of the test's own, on a display number few others use (other runs on
// this machine start their own servers, some in mount namespaces of their own, where the
// usual low numbers clash).
class VirtualDisplay {
public:
    VirtualDisplay() {
        for (int attempt = 0; attempt < 20 && display.empty(); ++attempt) {
            const int number = 200 + (getpid() * 7 + attempt * 13) % 700;
            const std::string name = ":" + std::to_string(number);
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            if (Exists(socket) || Exists("/tmp/.X" + std::to_string(number) + "-lock")) {
                continue;
            }
            pid = fork();
            if (pid == 0) {
                const int quiet = open("/dev/null", O_WRONLY);
                dup2(quiet, 1);
                dup2(quiet, 2);
                execlp("Xvfb", "Xvfb", name.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
                       static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            const bool ready =
                WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid ? true : Exists(socket); }, 10000);
            if (ready && waitpid(pid, &status, WNOHANG) == 0 && Exists(socket)) {
                display = name;
            } else {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                pid = -1;
            }
        }
    }
    ~VirtualDisplay() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string display;

private:
    pid_t pid = -1;
};

class ElevatedStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "an elevated start needs root";
        }
        ASSERT_EQ(user.error(), "");
        ASSERT_FALSE(display.display.empty()) << "Xvfb did not start";
        // The client's own folder, root's, with programs that say who ran them and with which
        // environment.
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        programFolder = Cwd() + "/client-" + test;
        program = testsupport::PlaceClient(programFolder);
        ASSERT_FALSE(program.empty());
        for (const char* script : {"/driver/deltapmade.bat", "/bin/Wireguard/wireguard"}) {
            ASSERT_TRUE(
                Write(programFolder + script,
                      "#!/bin/bash\nhere=$(cd \"$(dirname \"$0\")\" && pwd)\nid -u >> \"$here/bundle-ran\"\n"
                      "env > \"$here/bundle-env\"\nexit 0\n",
                      0755));
        }
        // What a killed client leaves in the run folder: a tunnel's and an adapter's record.
        runFolder = getenv("KORVA_RUN_DIR");
        for (const char* folder : {"/wireguard", "/tap"}) {
            mkdir((runFolder + folder).c_str(), 0700);
        }
        ASSERT_TRUE(Write(runFolder + "/wireguard/leftwg.ifindex", "9\n", 0600));
        ASSERT_TRUE(Write(runFolder + "/tap/tap9", "7\n", 0600));
        // Root's own folder, which the user cannot reach.
        rootOnly = Cwd() + "/root-only-" + test;
        ASSERT_EQ(mkdir(rootOnly.c_str(), 0700), 0);
        ASSERT_TRUE(Write(rootOnly + "/dark.ini", "[Settings]\ngtk-application-prefer-dark-theme=1\n", 0600));
        // The user's working folder, full of programs of the user's own.
        hostile = user.home + "/work";
        userMade(hostile, true);
        for (const char* folder : {"/driver", "/bin", "/bin/OpenVPN", "/bin/Wireguard", "/bin/ipsec"}) {
            userMade(hostile + folder, true);
        }
        const std::string marker = "#!/bin/bash\nid -u >> '" + hostile + "/user-program-ran'\n";
        for (const char* script :
             {"/driver/addtap.bat", "/driver/deltapmade.bat", "/bin/OpenVPN/openvpn.exe",
              "/bin/Wireguard/wireguard", "/bin/Wireguard/wg", "/bin/ipsec/charon-svc.exe"}) {
            ASSERT_TRUE(Write(hostile + script, marker, 0755));
            userMade(hostile + script, false);
        }
        // Its log folder of old leads into root's folder.
        ASSERT_EQ(symlink(rootOnly.c_str(), (hostile + "/Halvex_log").c_str()), 0);
        userMade(hostile + "/Halvex_log", false);
        // A session folder of the user's in which the user holds a lock of the client's name.
        session = user.home + "/session";
        userMade(session, true);
        // A fontconfig file that fontconfig would complain about, were it read.
        ASSERT_TRUE(Write(session + "/fonts.conf", "<fontconfig><broken"));
        userMade(session + "/fonts.conf", false);
    }

    // As the user made it: owned by the user (links included).
    void userMade(const std::string& path, bool folder) {
        if (folder) {
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
        }
        ASSERT_EQ(lchown(path.c_str(), user.uid, user.gid), 0) << path;
    }

    // pkexec's environment for the user's start, and what a careless launcher adds to it.
    std::vector<std::string> environment(uid_t invoking) const {
        std::vector<std::string> values = {"PKEXEC_UID=" + std::to_string(invoking),
                                           "DISPLAY=" + display.display,
                                           "PATH=/usr/sbin:/usr/bin:/sbin:/bin",
                                           "HOME=/root",
                                           "USER=root",
                                           "LOGNAME=root",
                                           "SHELL=/bin/bash",
                                           "TERM=xterm",
                                           "LANG=C.UTF-8",
                                           "KORVA_RUN_DIR=" + runFolder,
                                           "XDG_CONFIG_HOME=" + rootOnly,
                                           "XDG_RUNTIME_DIR=" + session,
                                           "XDG_DATA_DIRS=" + session,
                                           "QT_LOGGING_RULES=*.debug=true",
                                           "QT_MESSAGE_PATTERN=from-the-session %{message}",
                                           "QT_DEBUG_PLUGINS=1",
                                           "QT_PLUGIN_PATH=" + session,
                                           "QT_QPA_PLATFORM=offscreen",
                                           "FONTCONFIG_FILE=" + session + "/fonts.conf",
                                           "TMPDIR=" + session};
        // The sanitizer build's settings (the machine's, not the session's).
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (const char* value = getenv(name)) {
                values.push_back(std::string(name) + "=" + value);
            }
        }
        return values;
    }

    // Starts the client as pkexec would, in the user's working folder, with the user's
    // arguments after the program. Standard error goes to errors.
    pid_t start(uid_t invoking, const std::string& errors, const std::vector<std::string>& userArgs = {}) {
        std::vector<std::string> args = {program};
        args.insert(args.end(), userArgs.begin(), userArgs.end());
        const std::vector<std::string> env = environment(invoking);
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(hostile.c_str()) != 0) {
                _exit(126);
            }
            const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, 2);
            const int out = open("/dev/null", O_WRONLY);
            dup2(out, 1);
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(&arg[0]);
            }
            argv.push_back(nullptr);
            std::vector<char*> envp;
            for (const std::string& entry : env) {
                envp.push_back(const_cast<char*>(entry.c_str()));
            }
            envp.push_back(nullptr);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        return pid;
    }

    std::string logs() const {
        std::string text;
        const std::string folder = programFolder + "/Halvex_log";
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir)) {
                if (entry->d_name[0] != '.') {
                    text += ReadAll(folder + "/" + entry->d_name);
                }
            }
            closedir(dir);
        }
        return text;
    }

    // Runs the client until its window shows, checks it while it runs, then closes it as
    // the system does; its exit status.
    int runOnce(const std::function<void(pid_t)>& whileRunning,
                const std::vector<std::string>& userArgs = {}) {
        const std::string errors = Cwd() + "/client-errors.txt";
        const size_t before = logs().size();
        const pid_t client = start(user.uid, errors, userArgs);
        EXPECT_GT(client, 0);
        const bool started =
            WaitFor([&] { return logs().find("Korva VPN Start", before) != std::string::npos; }, 30000);
        EXPECT_TRUE(started) << logs() << ReadAll(errors);
        if (started) {
            whileRunning(client);
        }
        kill(client, SIGTERM);
        int status = -1;
        const bool ended = WaitFor([&] { return waitpid(client, &status, WNOHANG) == client; }, 30000);
        if (!ended) {
            kill(client, SIGKILL);
            waitpid(client, &status, 0);
        }
        clientErrors = ReadAll(errors);
        return status;
    }

    testsupport::ThrowawayUser user;
    VirtualDisplay display;
    std::string programFolder;
    std::string program;
    std::string rootOnly;
    std::string hostile;
    std::string session;
    std::string runFolder;
    std::string clientErrors;
};

TEST_F(ElevatedStart, NothingOfTheUsersRunsAndTheSessionIsNotHonoured) {
    // The user holds a lock of the client's name where the session's runtime folder says.
    const int held = open((session + "/Korva VPN.exe").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    fchown(held, user.uid, user.gid);

    const int status = runOnce([&](pid_t client) {
        // It works in its own folder.
        char cwd[PATH_MAX] = {};
        ASSERT_GT(readlink(("/proc/" + std::to_string(client) + "/cwd").c_str(), cwd, sizeof(cwd) - 1), 0);
        EXPECT_EQ(std::string(cwd), programFolder);
        // It shows on the X server, not offscreen as the launcher asked.
        std::string windows;
        FILE* list = popen(("xwininfo -root -tree -display " + display.display + " 2>&1").c_str(), "r");
        char line[512];
        while (list != nullptr && fgets(line, sizeof(line), list) != nullptr) {
            windows += line;
        }
        if (list != nullptr) {
            pclose(list);
        }
        EXPECT_NE(windows.find("korva-vpn"), std::string::npos) << windows;
        // A second user cannot reach the lock or the socket.
        EXPECT_EQ(user.runAs([&] {
            const bool lockClosed = open((runFolder + "/Korva VPN.exe").c_str(), O_RDONLY) < 0;
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof(address.sun_path), "%s/Korva VPN", runFolder.c_str());
            const bool socketClosed =
                connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0;
            return lockClosed && socketClosed ? 0 : 1;
        }),
                  0);
        // Another start, for another user, finds this instance and ends.
        const pid_t second = start(65534, Cwd() + "/second-errors.txt");
        int secondStatus = -1;
        ASSERT_TRUE(WaitFor([&] { return waitpid(second, &secondStatus, WNOHANG) == second; }, 30000));
        EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0) << secondStatus;
        EXPECT_NE(logs().find("Korva VPN already running!"), std::string::npos);
    });
    close(held);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << clientErrors;
    EXPECT_NE(logs().find("Korva VPN Stop"), std::string::npos);

    EXPECT_FALSE(Exists(hostile + "/user-program-ran")) << ReadAll(hostile + "/user-program-ran");
    // The start's clean-up ran the bundle's own programs, as root (the adapter script again
    // at the quit: its stand-in leaves the record).
    EXPECT_EQ(ReadAll(programFolder + "/driver/bundle-ran"), "0\n0\n");
    EXPECT_EQ(ReadAll(programFolder + "/bin/Wireguard/bundle-ran"), "0\n");
    // What the client hands its programs: root's environment, its own run folder, nothing of
    // the user's session.
    const std::string environ = "\n" + ReadAll(programFolder + "/driver/bundle-env");
    for (const char* dropped : {"XDG_CONFIG_HOME", "XDG_DATA_DIRS", "QT_", "FONTCONFIG_", "TMPDIR"}) {
        EXPECT_EQ(environ.find(std::string("\n") + dropped), std::string::npos) << dropped << environ;
    }
    EXPECT_NE(environ.find("\nXDG_RUNTIME_DIR=" + runFolder + "\n"), std::string::npos) << environ;
    EXPECT_NE(environ.find("\nHOME=/root\n"), std::string::npos) << environ;
    EXPECT_TRUE(std::string(ReadAll(rootOnly + "/dark.ini")).find("dark") != std::string::npos);
    // Neither Qt's logging and plug-in settings nor fontconfig's file were taken up.
    EXPECT_EQ(clientErrors.find("Fontconfig"), std::string::npos) << clientErrors;
    EXPECT_EQ(clientErrors.find("QFactoryLoader"), std::string::npos) << clientErrors;
    EXPECT_EQ(clientErrors.find("from-the-session"), std::string::npos) << clientErrors;
    // The data folder is the account's, made by the user.
    const std::string data = user.home + "/.config/Halvex/Korva VPN";
    for (const std::string& path : {user.home + "/.config", user.home + "/.config/Halvex", data}) {
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << path;
    }
    struct stat store {};
    ASSERT_EQ(stat((data + "/vpn.db").c_str(), &store), 0);
    EXPECT_EQ(store.st_mode & 0777, 0600u);
    EXPECT_EQ(NotOwnedBy(user.home, user.uid), std::vector<std::string>{})
        << "everything in the home is the user's";
    // Nothing in root's folder came from the client.
    EXPECT_EQ(NotOwnedBy(rootOnly, 0).size(), 0u);
    DIR* dir = opendir(rootOnly.c_str());
    int entries = 0;
    while (dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        entries += entry->d_name[0] != '.' ? 1 : 0;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    EXPECT_EQ(entries, 1) << "only the test's own file is there";
}

TEST_F(ElevatedStart, LinksInTheUsersFoldersLeadNowhere) {
    // The store and the theme file lead into root's folder.
    for (const std::string& folder :
         {user.home + "/.config", user.home + "/.config/Halvex", user.home + "/.config/Halvex/Korva VPN",
          user.home + "/.config/gtk-3.0"}) {
        userMade(folder, true);
    }
    const std::string data = user.home + "/.config/Halvex/Korva VPN";
    ASSERT_EQ(symlink((rootOnly + "/vpn.db").c_str(), (data + "/vpn.db").c_str()), 0);
    userMade(data + "/vpn.db", false);
    ASSERT_EQ(
        symlink((rootOnly + "/dark.ini").c_str(), (user.home + "/.config/gtk-3.0/settings.ini").c_str()), 0);
    userMade(user.home + "/.config/gtk-3.0/settings.ini", false);

    const int status = runOnce([](pid_t) {});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << clientErrors;
    EXPECT_FALSE(Exists(rootOnly + "/vpn.db")) << "the store was made in root's folder";
    EXPECT_FALSE(Exists(rootOnly + "/vpn.db-journal"));
    EXPECT_NE(logs().find("Failed to init IPCSqlite"), std::string::npos) << "the store cannot be had there";
    EXPECT_NE(logs().find("Set theme mode to { System }"), std::string::npos);
    EXPECT_EQ(logs().find("Set theme mode to { Dark }"), std::string::npos);
    EXPECT_EQ(NotOwnedBy(user.home, user.uid), std::vector<std::string>{});
    EXPECT_FALSE(Exists(hostile + "/user-program-ran"));
}

TEST_F(ElevatedStart, QtOptionsOnTheCommandLineLoadNothingOfTheUsers) {
    // The user's own "platform plug-in", in a folder of the user's, named as Qt's options
    // name plug-in folders, styles and style sheets.
    const std::string plugins = user.home + "/plug";
    userMade(plugins, true);
    const std::string plugin = plugins + "/libqxcb.so";
    ASSERT_EQ(std::system(("cp '" + std::string(MARKER_QT_PLUGIN) + "' '" + plugin + "'").c_str()), 0);
    userMade(plugin, false);

    const int status =
        runOnce([](pid_t) {}, {"-platformpluginpath", plugins, "-platform", "xcb", "-plugin", "korvamarker",
                               "-stylesheet", rootOnly + "/dark.ini", "-qwindowgeometry", "10x10+0+0"});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << clientErrors;
    EXPECT_FALSE(Exists(programFolder + "/qt-plugin-loaded"))
        << "loaded by uid " << ReadAll(programFolder + "/qt-plugin-loaded");
}

} // namespace
