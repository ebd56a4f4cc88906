#include "StartupCleanup.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <net/if.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "AppContext.h"
#include "ChildRecords.h"
#include "FileWrite.h"
#include "InvokingUser.h"
#include "OpenVPNContext.h"
#include "OpenVPNRunFolder.h"
#include "PlatformConstants.h"
#include "RunFolder.h"
#include "StorePaths.h"
#include "StrUtils.h"
#include "SystemContext.h"
#include "TunnelPaths.h"
#include "WireGuardContext.h"
#include "zrwlog.h"

namespace {

constexpr const char* kWireGuardRecordsVariable = "KORVA_WG_RUNDIR";
constexpr const char* kWireGuardRecordsFolder = "wireguard";
// A WireGuard tunnel's records: the index of the interface it brought up, the copy of its
// configuration it was installed from, and its tunnel name.
constexpr const char* kWireGuardIndexSuffix = ".ifindex";
constexpr const char* kWireGuardConfigSuffix = ".conf";
constexpr const char* kWireGuardNameSuffix = ".name";

constexpr const char* kEndedLine = "System :: Ended %s (%d), left running by an earlier run\n";
constexpr const char* kTunnelLine = "WireGuard :: Taking down tunnel %s, left up by an earlier run\n";
constexpr const char* kRemovedLine = "System :: Removed %s, left by an earlier run\n";
constexpr const char* kFolderPrivateLine =
    "System :: Folder %s made private (0700), open to other users before\n";

// Files that hold secrets in plain text while the client works with them: a folder
// (relative to the program folder, or in the data folder) and a name pattern. A file being
// written whole carries a six-character suffix until it is renamed.
struct SecretFiles {
    bool inDataFolder;
    const char* folder;
    const char* pattern;
};
constexpr SecretFiles kSecretFiles[] = {
    {false, "Config/openvpn", "ovpnpwd.txt"},
    {false, "Config/openvpn", "ovpnpwd.txt.??????"},
    {false, "Config/openvpn", "*.ovpn.??????"},
    {false, "Config/wireguard", "*.conf.??????"},
    {false, "Config", "decrypted.cfg"},
    {false, "Config", "decrypted.cfg.??????"},
    {false, "Config", "decrypted.db"},
    {false, "Config", "encrypted.cfg"},
    {false, "Config", "encrypted.cfg.??????"},
    {false, "bin/ipsec/swanctl", "swanctl.conf.??????"},
    {true, "", "tempvpn.db"},
    {true, "", "tempvpn.db.??????"},
};

std::vector<std::string> Matching(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.' && fnmatch(pattern, entry->d_name, FNM_PERIOD) == 0) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(dir);
    return names;
}

// Removes a file (never what a link points to); folders stay.
void RemoveFile(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && unlink(path.c_str()) == 0) {
        ZRWLog(6, 3, kRemovedLine, path.c_str());
    }
}

void RemoveSecretFiles() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    std::string dataFolder = app != nullptr ? app->GetDataPath() : "";
    while (dataFolder.size() > 1 && dataFolder.back() == '/') {
        dataFolder.pop_back();
    }
    for (const SecretFiles& files : kSecretFiles) {
        if (files.inDataFolder) {
            if (dataFolder.empty()) {
                continue;
            }
            // The data folder is the user's: looked at and changed as the user.
            UserFileAccess access;
            for (const std::string& name : Matching(dataFolder, files.pattern)) {
                RemoveFile(dataFolder + "/" + name);
            }
        } else {
            for (const std::string& name : Matching(files.folder, files.pattern)) {
                RemoveFile(std::string(files.folder) + "/" + name);
            }
        }
    }
}

// A tunnel whose install was ended half-way (the client was killed, then its install script
// ended as a leftover) has its configuration's copy recorded but not its interface. The
// install script checks that no interface of another's has the name before it records the
// copy, so an interface of that name now is the one the interrupted install made: it is
// recorded as the script would have, so that the uninstall takes it down. Without an
// interface the records go.
void CompleteInterruptedInstalls(const std::string& folder) {
    const std::string pattern = std::string("*") + kWireGuardConfigSuffix;
    for (const std::string& name : Matching(folder, pattern.c_str())) {
        const std::string interface =
            name.substr(0, name.size() - std::string(kWireGuardConfigSuffix).size());
        const std::string record = folder + "/" + interface + kWireGuardIndexSuffix;
        struct stat info {};
        if (lstat(record.c_str(), &info) == 0) {
            continue;
        }
        const unsigned index = if_nametoindex(interface.c_str());
        if (index == 0) {
            for (const char* suffix : {kWireGuardConfigSuffix, kWireGuardNameSuffix}) {
                unlink((folder + "/" + interface + suffix).c_str());
            }
            continue;
        }
        const int fd = open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            const std::string text = std::to_string(index) + "\n";
            WriteAll(fd, text.data(), text.size());
            close(fd);
        }
    }
}

void TakeDownWireGuardTunnels() {
    const char* folder = std::getenv(kWireGuardRecordsVariable);
    if (folder == nullptr || *folder == '\0') {
        return;
    }
    CompleteInterruptedInstalls(folder);
    const std::string pattern = std::string("*") + kWireGuardIndexSuffix;
    for (const std::string& name : Matching(folder, pattern.c_str())) {
        const std::string interface = name.substr(0, name.size() - std::string(kWireGuardIndexSuffix).size());
        ZRWLog(6, 3, kTunnelLine, interface.c_str());
        // The bundle's own uninstall takes down only an interface it made itself.
        WireGuardContext().Disconnect(interface.c_str());
    }
}

} // namespace

void ShareRunFolderWithBundle() {
    const std::string folder = RunFolder();
    if (folder.empty()) {
        return;
    }
    setenv(kRunFolderVariable, folder.c_str(), 1);
    const char* records = std::getenv(kWireGuardRecordsVariable);
    if (records == nullptr || *records == '\0') {
        setenv(kWireGuardRecordsVariable, (folder + "/" + kWireGuardRecordsFolder).c_str(), 1);
    }
}

void MakeClientFoldersPrivate() {
    const std::string folders[] = {StorePaths::kConfigDir, TunnelPaths::kOpenVPNConfigDir,
                                   TunnelPaths::kWireGuardConfigDir,
                                   std::string(".") + IPSecPaths::kSwanctlFolder, kLogFolderName};
    for (const std::string& folder : folders) {
        struct stat before {};
        if (lstat(folder.c_str(), &before) == 0 && S_ISDIR(before.st_mode) && (before.st_mode & 077) != 0 &&
            MakeFolderPrivate(folder.c_str()) == 0) {
            ZRWLog(6, 3, kFolderPrivateLine, folder.c_str());
        }
    }
}

void CleanUpAfterEarlierRun() {
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof(folder)) != nullptr) {
        for (const LeftoverChild& child : EndLeftoverChildren(folder)) {
            ZRWLog(6, 3, kEndedLine, child.program.c_str(), static_cast<int>(child.pid));
        }
    }
    // An openvpn ended above could not run its down script: the DNS it gave the resolver,
    // and its management password file, are taken away here.
    OpenVPNRunFolder::RemoveLeftovers();
    TakeDownWireGuardTunnels();
    OpenVPNContext::DeleteMadeTapAdapters();
    RemoveSecretFiles();
}
