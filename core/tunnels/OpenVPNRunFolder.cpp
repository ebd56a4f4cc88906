#include "OpenVPNRunFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "OpenVPNContext.h"
#include "RunFolder.h"
#include "TunnelPaths.h"
#include "zrwlog.h"

namespace OpenVPNRunFolder {

namespace {

constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
constexpr size_t kPasswordBytes = 16;

bool IsSecretName(const char* name) {
    const size_t prefix = std::strlen(TunnelPaths::kManagementSecretPrefix);
    return std::strncmp(name, TunnelPaths::kManagementSecretPrefix, prefix) == 0 && name[prefix] != '\0';
}

} // namespace

std::string Path() {
    return RunSubfolder(TunnelPaths::kOpenVPNRunSubfolder);
}

bool MakeManagementSecret(ManagementSecret* secret) {
    if (secret == nullptr) {
        return false;
    }
    const std::string folder = Path();
    if (folder.empty()) {
        ZRWLog(kLogModule, kLogLevel, "OpenVPN :: the folder %s of the run folder is not the client's own\n",
               TunnelPaths::kOpenVPNRunSubfolder);
        return false;
    }
    unsigned char random[kPasswordBytes];
    if (getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random))) {
        ZRWLog(kLogModule, kLogLevel, "OpenVPN :: no random bytes for the management password\n");
        return false;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string password;
    for (unsigned char byte : random) {
        password += kHex[byte >> 4];
        password += kHex[byte & 0x0f];
    }
    std::string path = folder + "/" + TunnelPaths::kManagementSecretPrefix + "XXXXXX";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    // A new file of its own, readable by its owner alone.
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        ZRWLog(kLogModule, kLogLevel, "OpenVPN :: cannot make the management password file in %s\n",
               folder.c_str());
        return false;
    }
    const std::string line = password + "\n";
    const bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    const bool closed = close(fd) == 0;
    path.assign(name.data());
    if (!written || !closed) {
        unlink(path.c_str());
        ZRWLog(kLogModule, kLogLevel, "OpenVPN :: cannot write the management password file %s\n",
               path.c_str());
        return false;
    }
    secret->path = path;
    secret->password = password;
    return true;
}

void RemoveManagementSecrets() {
    const std::string folder = Path();
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        if (IsSecretName(entry->d_name) && unlinkat(dirfd(dir), entry->d_name, 0) != 0) {
            ZRWLog(kLogModule, kLogLevel, "OpenVPN :: remove file %s/%s failed!\n", folder.c_str(),
                   entry->d_name);
        }
    }
    closedir(dir);
}

void WithdrawTunnelDNS() {
    if (access(TunnelPaths::kTunnelDnsProgram, X_OK) != 0) {
        return;
    }
    if (RunHiddenCommand(TunnelPaths::kTunnelDnsCleanCommand, TunnelPaths::kTunnelDnsTimeLimitMs) != 0) {
        ZRWLog(kLogModule, kLogLevel, "OpenVPN :: the DNS of the tunnel could not be taken away\n");
    }
}

void RemoveLeftovers() {
    RemoveManagementSecrets();
    WithdrawTunnelDNS();
}

} // namespace OpenVPNRunFolder
