// The bundle's full wg (bin/Wireguard/wg-full), which the bundle's wg (ShowFront.cpp) runs
// for everything it does not answer itself. "wg show", "wg show all" and "wg show TUNNEL" are
// answered here, without a shell or another program: from wireguard-go's control sockets, in wg's
// own format, each interface named by its tunnel (tunnel-name.sh's names, both ways).
// Everything else is Debian's wg, run directly (genkey, pubkey, set, ...). A "show" that
// the sockets cannot answer exactly (a kernel WireGuard interface, no socket, an answer wg
// would write differently, a field) is wg's too: its interface name mapped, its answer's
// headings named by tunnel and written whole, as the bundle's script did before.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "WgShow.h"

extern char** environ;

namespace {

// wireguard-go's control sockets, where wg looks for them.
constexpr const char* kSocketFolder = "/var/run/wireguard/";
constexpr const char* kSocketSuffix = ".sock";
// The records of the tunnels the bundle's wireguard made (KORVA_WG_RUNDIR in tests).
constexpr const char* kDefaultRunDir = "/run/korva-wireguard";
// Present while the kernel's WireGuard is loaded: its interfaces have no control socket.
constexpr const char* kKernelModule = "/sys/module/wireguard";
// Debian keeps programs in the system folders, which a desktop PATH may lack.
constexpr const char* kSystemFolders = "/usr/local/sbin:/usr/sbin:/sbin";
// How long a control socket may take to answer, and how much it may say.
constexpr int kAnswerTimeLimitMs = 5000;
constexpr size_t kAnswerLimit = 16 * 1024 * 1024;

std::string RunDir() {
    const char* folder = std::getenv("KORVA_WG_RUNDIR");
    return folder != nullptr && folder[0] != '\0' ? folder : kDefaultRunDir;
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

enum class Answer { Absent, Answered, Failed };

// wireguard-go's answer to "get=1" for the interface. Absent when no socket of that name
// takes the connection (none, or one whose program has ended, which wg skips too).
Answer AskSocket(const std::string& interfaceName, std::string* reply) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = kSocketFolder + interfaceName + kSocketSuffix;
    if (interfaceName.empty() || interfaceName.find('/') != std::string::npos ||
        path.size() >= sizeof(address.sun_path)) {
        return Answer::Absent;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        return Answer::Absent;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Answer::Failed;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return Answer::Absent;
    }
    Answer answer = Answer::Failed;
    // The request, and its end: wireguard-go answers, finds the connection's end at once and
    // lets it go, where it would otherwise wait for the next request until the close.
    if (WriteAll(fd, "get=1\n\n") && ::shutdown(fd, SHUT_WR) == 0) {
        char buffer[8192];
        while (reply->size() < kAnswerLimit) {
            pollfd wait{fd, POLLIN, 0};
            const int ready = ::poll(&wait, 1, kAnswerTimeLimitMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                break;
            }
            const ssize_t n = ::read(fd, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            reply->append(buffer, static_cast<size_t>(n));
            // The answer ends with an empty line.
            if (reply->size() >= 2 && reply->compare(reply->size() - 2, 2, "\n\n") == 0) {
                answer = Answer::Answered;
                break;
            }
        }
    }
    ::close(fd);
    return answer;
}

bool ShowKeys() {
    const char* hide = std::getenv("WG_HIDE_KEYS");
    return hide != nullptr && std::strcmp(hide, "never") == 0;
}

// One interface's block; Absent or Failed as AskSocket says, Failed too for an answer
// that wg would show otherwise.
Answer ShowInterface(const std::string& interfaceName, std::string* text) {
    std::string reply;
    const Answer answer = AskSocket(interfaceName, &reply);
    if (answer != Answer::Answered) {
        return answer;
    }
    WgTool::Device device;
    if (!WgTool::ParseReply(reply, &device)) {
        return Answer::Failed;
    }
    *text =
        WgTool::Pretty(device, WgTool::TunnelName(interfaceName, RunDir()), std::time(nullptr), ShowKeys());
    return Answer::Answered;
}

// Every interface with a control socket, in the folder's order as wg lists them, blocks
// separated by an empty line. False when one of them cannot be shown here.
bool ShowAll(std::string* text) {
    struct stat module {};
    if (::stat(kKernelModule, &module) == 0) {
        return false;
    }
    DIR* folder = ::opendir(kSocketFolder);
    if (folder == nullptr) {
        return errno == ENOENT;
    }
    std::vector<std::string> blocks;
    bool whole = true;
    const size_t suffix = std::strlen(kSocketSuffix);
    while (dirent* entry = ::readdir(folder)) {
        const std::string file = entry->d_name;
        if (file.size() <= suffix || file.compare(file.size() - suffix, suffix, kSocketSuffix) != 0) {
            continue;
        }
        std::string block;
        const Answer answer = ShowInterface(file.substr(0, file.size() - suffix), &block);
        if (answer == Answer::Failed) {
            whole = false;
            break;
        }
        if (answer == Answer::Answered) {
            blocks.push_back(block);
        }
    }
    ::closedir(folder);
    for (size_t i = 0; whole && i < blocks.size(); ++i) {
        *text += (i == 0 ? "" : "\n") + blocks[i];
    }
    return whole;
}

// Debian's wg: the first "wg" in PATH and the system folders that is neither this program
// nor the bundle's wg beside it, which runs this one.
std::string FindWg() {
    struct stat self {};
    const bool knowSelf = ::stat("/proc/self/exe", &self) == 0;
    struct stat front {};
    char selfPath[4096];
    const ssize_t length = ::readlink("/proc/self/exe", selfPath, sizeof(selfPath) - 1);
    std::string frontPath = length > 0 ? std::string(selfPath, static_cast<size_t>(length)) : std::string();
    frontPath = frontPath.substr(0, frontPath.rfind('/') + 1) + "wg";
    const bool knowFront = length > 0 && ::stat(frontPath.c_str(), &front) == 0;
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    folders += (folders.empty() ? "" : ":") + std::string(kSystemFolders);
    std::string::size_type start = 0;
    while (start <= folders.size()) {
        std::string::size_type end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = folders.substr(start, end - start);
        start = end + 1;
        // Only absolute folders: never a program from the working folder.
        if (folder.empty() || folder[0] != '/') {
            continue;
        }
        const std::string candidate = folder + "/wg";
        struct stat info {};
        if (::stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            ::access(candidate.c_str(), X_OK) != 0) {
            continue;
        }
        if ((knowSelf && info.st_dev == self.st_dev && info.st_ino == self.st_ino) ||
            (knowFront && info.st_dev == front.st_dev && info.st_ino == front.st_ino)) {
            continue;
        }
        return candidate;
    }
    return std::string();
}

[[noreturn]] void ExecWg(char** argv) {
    const std::string wg = FindWg();
    if (!wg.empty()) {
        argv[0] = const_cast<char*>("wg");
        ::execv(wg.c_str(), argv);
    }
    std::fprintf(stderr, "wg: command not found\n");
    std::exit(127);
}

// wg with these arguments, its output and errors read whole; its exit code, or 127 when
// there is no wg.
int RunWg(std::vector<std::string> args, std::string* output) {
    const std::string wg = FindWg();
    if (wg.empty()) {
        *output = "wg: command not found\n";
        return 127;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return 1;
    }
    std::vector<char*> argv;
    args.insert(args.begin(), "wg");
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, wg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed == 0) {
        char buffer[8192];
        for (;;) {
            const ssize_t n = ::read(ends[0], buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            output->append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(ends[0]);
    if (failed != 0) {
        return 126;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// "show" through wg: a tunnel name after "show" becomes its interface name; the answer's
// "interface: " headings name tunnels; the answer is written whole, each line ended by a
// line feed (wg writes its blocks line by line, and a reader that reads once must get all).
int ShowThroughWg(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[1] != "all" && args[1] != "interfaces") {
        args[1] = WgTool::InterfaceName(args[1]);
    }
    std::string output;
    const int code = RunWg(args, &output);
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    if (output.empty()) {
        return code;
    }
    const std::string heading = "interface: ";
    const std::string runDir = RunDir();
    std::string answer;
    std::string::size_type start = 0;
    while (start <= output.size()) {
        std::string::size_type end = output.find('\n', start);
        if (end == std::string::npos) {
            end = output.size();
        }
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, heading.size(), heading) == 0) {
            answer += heading + WgTool::TunnelName(line.substr(heading.size()), runDir) + "\n";
        } else {
            answer += line + "\n";
        }
    }
    WriteAll(STDOUT_FILENO, answer);
    return code;
}

// "show", "show all" and "show TUNNEL" answered here; false for everything else.
bool ShowHere(int argc, char** argv, std::string* text) {
    if (argc == 2 || (argc == 3 && std::strcmp(argv[2], "all") == 0)) {
        return ShowAll(text);
    }
    if (argc == 3 && std::strcmp(argv[2], "interfaces") != 0) {
        return ShowInterface(WgTool::InterfaceName(argv[2]), text) == Answer::Answered;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "show") != 0) {
        ExecWg(argv);
    }
    std::string text;
    if (ShowHere(argc, argv, &text)) {
        return WriteAll(STDOUT_FILENO, text) ? 0 : 1;
    }
    return ShowThroughWg(argc, argv);
}
