#include "StrongSwanControl.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "IPSecServiceManager.h"
#include "IPSecVPNContext.h"
#include "ProcessPipe.h"
#include "SwanctlConf.h"
#include "TunnelPaths.h"
#include "zrwlog.h"

#define IPSEC_LOG(...) ZRWLog(6, 3, __VA_ARGS__)

using namespace IPSecPaths;

namespace {

// Runs one command line; an empty working directory means the client's own.
std::string run(const std::string& command, bool capture, const std::string& workDir) {
    ProcessPipe pipe;
    return pipe.ExecuteCommand(command.c_str(), capture, workDir.empty() ? nullptr : workDir.c_str());
}

bool contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

std::string strongSwanFolder(const std::string& projectPath) {
    return projectPath + kStrongSwanFolder;
}

std::string swanctlCommand(const std::string& projectPath, const std::string& args) {
    return std::string(kSwanctlPrefix) + projectPath + kSwanctlProgram + kSwanctlSuffix + args;
}

int startIPSecPolicy(const std::string& policyName, const std::string& projectPath) {
    if (IPSecServiceManager::GetInstance()->DisableIKEEXT() != 1) {
        return -7;
    }

    int code = 0;
    if (getCharonPid() == 0) {
        code = startCharon(projectPath);
        if (code == 0 && waitForCharon(projectPath)) {
            logCharonBackend(projectPath);
        }
    }
    if (getCharonPid() == 0) {
        code = -8;
    }
    IPSecVPNContext* context = IPSecVPNContext::Current();
    if (code == 0 && context == nullptr) {
        code = -1;
    }
    if (code < 0) {
        IPSEC_LOG("IPSec :: startIPSecPolicy::Error %d\n", code);
        // IKEEXT was disabled above; a preparation that goes no further sets it back.
        IPSecServiceManager::GetInstance()->EnableIKEEXT();
        return code;
    }

    std::shared_ptr<IPSecConnectAttempt> attempt = context->BeginConnectAttempt();
    // The load is waited for, so that the first initiate finds the configuration.
    loadSwanctlConf(projectPath);
    attempt->initiateEvent.Set();

    std::thread worker(startIPSecPolicyThread, attempt, policyName, projectPath);
    context->SetConnectThread(worker.get_id());
    worker.detach();
    return 0;
}

void startIPSecPolicyThread(std::shared_ptr<IPSecConnectAttempt> attempt, std::string policyName,
                            std::string projectPath) {
    const std::string child = SwanctlConnectionName(policyName) + kChildSuffix;
    const std::string workDir = strongSwanFolder(projectPath);
    int result = -9;
    for (int i = 0; i < kInitiateAttempts; ++i) {
        if (attempt->finished.load()) {
            result = -4;
            break;
        }
        attempt->initiateEvent.Reset();
        if (initiateChildSa(child, projectPath, workDir)) {
            result = 0;
            break;
        }
        attempt->initiateEvent.Set();
    }
    IPSEC_LOG("IPSec :: startIPSecPolicy::Error %d\n", result);
    attempt->result.store(result);
    attempt->finished.store(true);
}

bool initiateChildSa(const std::string& child, const std::string& projectPath, const std::string& workDir) {
    if (!IsSwanctlName(child)) {
        return false;
    }
    std::string answer = run(swanctlCommand(projectPath, kInitiateChildArgs + child), true, workDir);
    if (contains(answer, kPeerNotResponding)) {
        IPSEC_LOG("IPSec :: initiate Child SA Error::Peer not responding\n");
        return false;
    }
    return contains(answer, kInitiateSucceeded);
}

int initiateChildSaWithRetry(const std::string& child, const std::string& projectPath) {
    const std::string workDir = strongSwanFolder(projectPath);
    for (int i = 0; i < kInitiateAttempts; ++i) {
        if (initiateChildSa(child, projectPath, workDir)) {
            return 0;
        }
    }
    return -9;
}

bool rekeyChildSa(const std::string& child, const std::string& projectPath) {
    if (!IsSwanctlName(child)) {
        return false;
    }
    std::string answer =
        run(swanctlCommand(projectPath, kRekeyChildArgs + child), true, strongSwanFolder(projectPath));
    return contains(answer, kRekeySucceeded);
}

int listSas(const std::string& projectPath, std::string& listing) {
    std::string answer = run(swanctlCommand(projectPath, kListSasArgs), true, strongSwanFolder(projectPath));
    if (answer.empty() || answer == kRunnerFailed) {
        IPSEC_LOG("IPSec :: list sas failed.\n");
        return -1;
    }
    listing += answer;
    return 0;
}

int getChildSaState(const std::string& listing, const std::string& child) {
    std::string::size_type at = child.empty() ? std::string::npos : listing.find(child);
    if (at == std::string::npos) {
        IPSEC_LOG("IPSec :: CHILD_SAS status:%s!\n", listing.c_str());
        return 2;
    }
    std::string window = listing.substr(at, kChildStateWindow);
    if (contains(window, kStateRekeying)) {
        return 1;
    }
    if (contains(window, kStateInstalled) || contains(window, kStateRekeyed) ||
        contains(window, kStateInstalling)) {
        return 0;
    }
    return 3;
}

int startCharon(const std::string& projectPath) {
    std::string answer = run(kCharonCommand, false, strongSwanFolder(projectPath));
    return answer == kRunnerFailed ? -1 : 0;
}

void logCharonBackend(const std::string& projectPath) {
    std::ifstream file(projectPath + kCharonBackendFile);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, 4, "load") != 0) {
            continue;
        }
        if ((line + " ").find(std::string(" ") + kUserSpaceBackend + " ") != std::string::npos) {
            IPSEC_LOG("IPSec :: IPsec backend: kernel-libipsec (ESP in user space: the kernel takes no ESP "
                      "security associations)\n");
        } else {
            IPSEC_LOG("IPSec :: IPsec backend: kernel-netlink (the kernel's IPsec)\n");
        }
        return;
    }
}

bool waitForCharon(const std::string& projectPath) {
    std::string path = projectPath + kControlSocket;
    sockaddr_un address = {};
    if (path.size() >= sizeof(address.sun_path)) {
        // Too long for a socket address: give the daemon the whole time instead.
        sleepMs(kCharonReadyTimeLimitMs);
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (int waited = 0; waited < kCharonReadyTimeLimitMs; waited += kCharonReadyPollMs) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0) {
            bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
            ::close(fd);
            if (answered) {
                return true;
            }
        }
        sleepMs(kCharonReadyPollMs);
    }
    return false;
}

void loadSwanctlConf(const std::string& projectPath) {
    run(swanctlCommand(projectPath, kLoadAllArgs), true, strongSwanFolder(projectPath));
}

namespace {

// The process ids of every daemon line of a process-list answer: lines whose image name
// is the daemon's, with a process id above 1.
std::vector<int> charonPids(const std::string& answer) {
    std::vector<int> pids;
    std::string::size_type start = 0;
    while (start < answer.size()) {
        std::string::size_type end = answer.find('\n', start);
        if (end == std::string::npos) {
            end = answer.size();
        }
        std::string line = answer.substr(start, end - start);
        start = end + 1;

        std::string::size_type nameLength = std::strlen(kCharonImageName);
        if (line.compare(0, nameLength, kCharonImageName) != 0 || line.size() <= nameLength ||
            (line[nameLength] != ' ' && line[nameLength] != '\t')) {
            continue;
        }
        std::string::size_type pos = line.find_first_not_of(" \t", nameLength);
        if (pos == std::string::npos || line[pos] < '0' || line[pos] > '9') {
            continue;
        }
        long pid = 0;
        while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && pid <= 0x7fffffff) {
            pid = pid * 10 + (line[pos] - '0');
            ++pos;
        }
        if (pid > 1 && pid <= 0x7fffffff) {
            pids.push_back(static_cast<int>(pid));
        }
    }
    return pids;
}

// The strongSwan folder of the client's own bundle: the project path is the working
// directory.
std::string ownStrongSwanFolder() {
    char cwd[PATH_MAX];
    return strongSwanFolder(getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : ".");
}

} // namespace

int getCharonPid() {
    std::string answer = run(kCharonLookupCommand, true, std::string());
    if (answer.empty() || answer == kRunnerFailed) {
        return -2;
    }
    if (answer == kCharonNotRunningAnswer) {
        return 0;
    }
    std::vector<int> pids = charonPids(answer);
    if (pids.empty()) {
        return parseCharonPid(answer);
    }
    // Another program's daemon of the same name (another installation of the client, a
    // test run beside it) is neither used nor ended: only the daemon that runs from this
    // client's own bundle counts.
    const std::string folder = ownStrongSwanFolder();
    for (int pid : pids) {
        if (ProcessRunsFrom(pid, folder)) {
            return pid;
        }
    }
    return 0;
}

int parseCharonPid(const std::string& answer) {
    // A process-list line: the image name, blanks, the process id, further columns. Only
    // a line whose image name is the daemon's counts, and only a process id above 1.
    std::vector<int> pids = charonPids(answer);
    if (!pids.empty()) {
        return pids.front();
    }
    IPSEC_LOG("IPSec :: match pid error\n");
    return -1;
}

int killProcessByPid(int pid) {
    if (pid <= 1) {
        return 0;
    }
    // Watched from before the request, so that its end is seen even if the id is reused.
    ProcessEndWatch watch(pid);
    char command[1024];
    std::snprintf(command, sizeof(command), kKillCommandFormat, pid);
    run(command, true, std::string());
    // A connect right after this must not find the daemon still shutting down.
    if (!watch.WaitEnded(kCharonEndTimeLimitMs)) {
        IPSEC_LOG("IPSec :: charon-svc.exe %d has not ended yet\n", pid);
    }
    return 0;
}

int stopCharon() {
    int pid = getCharonPid();
    if (pid <= 0) {
        return pid;
    }
    killProcessByPid(pid);
    IPSecServiceManager::GetInstance()->EnableIKEEXT();
    return 0;
}

int stopIPSecPolicy(const std::string& policyName, const std::string& projectPath) {
    int pid = getCharonPid();
    IPSecVPNContext* context = IPSecVPNContext::Current();
    if (context != nullptr && context->KillRekeyTimer()) {
        IPSEC_LOG("IPSec :: Timer Killed.\n");
    }
    if (pid < 1) {
        IPSecServiceManager::GetInstance()->EnableIKEEXT();
        return pid;
    }
    std::string name = SwanctlConnectionName(policyName);
    if (IsSwanctlName(name)) {
        run(swanctlCommand(projectPath, kTerminateForceIkeArgs + name), false, strongSwanFolder(projectPath));
    }
    sleepMs(kTerminatePauseMs);
    killProcessByPid(pid);
    IPSecServiceManager::GetInstance()->EnableIKEEXT();
    return 0;
}

bool terminateIke(const std::string& ikeName, const std::string& projectPath, bool force) {
    std::string name = SwanctlConnectionName(ikeName);
    if (!IsSwanctlName(name)) {
        return false;
    }
    if (force) {
        std::string answer = run(swanctlCommand(projectPath, kTerminateForceIkeArgs + name), true,
                                 strongSwanFolder(projectPath));
        return contains(answer, kTerminateSucceeded);
    }
    run(swanctlCommand(projectPath, kTerminateIkeArgs + name), false, strongSwanFolder(projectPath));
    return true;
}
