#include "CommandShell.h"

#include "ChildProcess.h"
#include "FileWrite.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pthread.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    while (true) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return text;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// The image name: the command name, or the base name of argv[0] when the kernel cut the
// command name to its 15 bytes.
std::string ImageName(const std::string& pid) {
    std::string comm = ReadSmallFile("/proc/" + pid + "/comm");
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\r')) {
        comm.pop_back();
    }
    if (comm.size() == 15) {
        std::string cmdline = ReadSmallFile("/proc/" + pid + "/cmdline");
        std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
        size_t slash = argv0.rfind('/');
        std::string base = slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
        if (base.compare(0, comm.size(), comm) == 0) {
            return base;
        }
    }
    return comm;
}

std::string GroupThousands(unsigned long long value) {
    std::string digits = std::to_string(value);
    std::string grouped;
    int count = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (count > 0 && count % 3 == 0) {
            grouped.insert(grouped.begin(), ',');
        }
        grouped.insert(grouped.begin(), *it);
        ++count;
    }
    return grouped;
}

unsigned long long ResidentKb(const std::string& pid) {
    std::istringstream status(ReadSmallFile("/proc/" + pid + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0) {
            return std::strtoull(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

// Lines containing any of the words, as findstr prints them.
std::string FilterLines(const std::string& input, const std::vector<std::string>& words) {
    std::string output;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        size_t next = end == std::string::npos ? input.size() : end + 1;
        std::string line = input.substr(start, next - start);
        for (const std::string& word : words) {
            if (line.find(word) != std::string::npos) {
                output += line;
                if (line.back() != '\n') {
                    output += '\n';
                }
                break;
            }
        }
        start = next;
    }
    return output;
}

std::string Taskkill(const std::string& idText) {
    long pid = std::strtol(idText.c_str(), nullptr, 10);
    if (pid > 1 && TerminateByPid(static_cast<pid_t>(pid))) {
        return "SUCCESS: Sent termination signal to the process with PID " + idText + ".\n";
    }
    return "ERROR: The process \"" + idText + "\" not found.\n";
}

void RunBuiltin(CommandStage stage, int inFd, int outFd) {
    // A reader that went away makes write() fail with EPIPE here instead of raising
    // SIGPIPE against the whole client.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::string output;
    switch (stage.kind) {
    case CommandStage::Tasklist:
        output = ProcessListText();
        break;
    case CommandStage::Findstr:
        output = FilterLines(ReadAll(inFd), stage.args);
        break;
    case CommandStage::Echo:
        output = (stage.text.empty() ? std::string("ECHO is on.") : stage.text) + "\n";
        break;
    case CommandStage::Taskkill:
        output = Taskkill(stage.args[0]);
        break;
    case CommandStage::Program:
        break;
    }
    close(inFd);
    WriteAll(outFd, output.data(), output.size());
    close(outFd);
}

} // namespace

std::string ProcessListText() {
    std::string text = "\nImage Name                     PID Session Name        Session#    Mem Usage\n"
                       "========================= ======== ================ =========== ============\n";
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return text;
    }
    while (dirent* entry = readdir(proc)) {
        const char* name = entry->d_name;
        if (!std::isdigit(static_cast<unsigned char>(name[0])) ||
            std::strspn(name, "0123456789") != std::strlen(name)) {
            continue;
        }
        std::string image = ImageName(name);
        if (image.empty()) {
            continue;
        }
        std::string memory = GroupThousands(ResidentKb(name)) + " K";
        char line[256];
        std::snprintf(line, sizeof(line), "%-25.25s %8s %-16s %11d %12s\n", image.c_str(), name, "Console", 1,
                      memory.c_str());
        text += line;
    }
    closedir(proc);
    return text;
}

int RunStages(const std::vector<CommandStage>& stages, int outFd, const char* workDir,
              std::vector<pid_t>* children) {
    int inFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (inFd < 0) {
        return errno;
    }
    for (size_t i = 0; i < stages.size(); ++i) {
        const bool last = i + 1 == stages.size();
        int nextIn = -1;
        int stageOut = -1;
        if (last) {
            stageOut = fcntl(outFd, F_DUPFD_CLOEXEC, 3);
        } else {
            int link[2];
            if (pipe2(link, O_CLOEXEC) == 0) {
                nextIn = link[0];
                stageOut = link[1];
            }
        }
        if (stageOut < 0) {
            int error = errno;
            close(inFd);
            return error;
        }
        const CommandStage& stage = stages[i];
        if (stage.kind == CommandStage::Program) {
            pid_t pid = 0;
            int error = SpawnProgram(stage.args, inFd, stageOut, outFd, workDir, &pid);
            close(inFd);
            close(stageOut);
            if (error != 0) {
                if (nextIn >= 0) {
                    close(nextIn);
                }
                return error;
            }
            if (children != nullptr) {
                children->push_back(pid);
            } else {
                ReapInBackground(pid);
            }
        } else {
            std::thread(RunBuiltin, stage, inFd, stageOut).detach();
        }
        inFd = nextIn;
    }
    return 0;
}
