#include "AppContext.h"

#include <cstdio>
#include <cstring>

#include "ContextPaths.h"
#include "IPSecVPNContext.h"
#include "NetworkAdapters.h"
#include "OpenVPNContext.h"
#include "StrUtils.h"
#include "WireGuardContext.h"
#include "zrwlog.h"

AppContext::AppContext()
    : stopped(1), wireGuardContext(nullptr), openVPNContext(nullptr), ipsecVPNContext(nullptr), settingInfo(),
      connectStatus(0), dataPath(), logPath(), currentProfile() {}

// A context dropped without Stop (as at exit) still frees the tunnel contexts that need
// nothing else to go; the IPsec context owns a timer and goes only through Stop, while the
// application object exists.
AppContext::~AppContext() {
    delete wireGuardContext;
    delete openVPNContext;
}

int AppContext::Start() {
    if (stopped == 0) {
        ZRWLog(6, 2, "System :: App context already started\n");
        return 0;
    }
    int result = SetupAppSqlContext();
    if (result != 0) {
        return result;
    }
    result = sqlite.GetProfileList(profileList);
    if (result != 0) {
        ZRWLog(6, 2, "System :: App context GetProfileList failed\n");
        return result;
    }
    result = sqlite.GetSettingInfoByID(&settingInfo, 1);
    if (settingInfo.ID == 0) {
        SETTINGINFO fresh;
        std::snprintf(fresh.DatabaseVersion, sizeof(fresh.DatabaseVersion), "%s",
                      ContextPaths::kDatabaseVersion);
        result = sqlite.InsertSettingInfo(&fresh);
        if (result != 0) {
            ZRWLog(6, 2, "System :: App context InsertSettingInfo failed\n");
            return result;
        }
        result = sqlite.GetSettingInfoByID(&settingInfo, 1);
        if (result != 0) {
            ZRWLog(6, 2, "System :: App context GetSettingInfoByID failed\n");
            return result;
        }
    }
    SetupWireGuardContext();
    SetupOpenVPNContext();
    SetupIPSecVPNContext();
    stopped = 0;
    return result;
}

int AppContext::Stop() {
    if (stopped != 0) {
        ZRWLog(6, 2, "System :: App context already stopped\n");
        return 0;
    }
    int result = CleanupAppSqlContext();
    if (result != 0) {
        return result;
    }
    CleanupWireGuardContext();
    CleanupOpenVPNContext();
    CleanupIPSecVPNContext();
    stopped = 1;
    return 0;
}

int AppContext::SetupAppSqlContext() {
    char path[512] = {};
    int written = std::snprintf(path, sizeof(path), ContextPaths::kDatabasePathFormat, dataPath,
                                ContextPaths::kDatabaseFile);
    ZRWLog(6, 3, "System :: ******** SetupAppSqlContext %s ********\n", path);
    sqlite.SetContext(this);
    // Without a data folder there is no place for the database.
    if (dataPath[0] == '\0' || written < 0 || static_cast<size_t>(written) >= sizeof(path) ||
        sqlite.Init(path) != 0) {
        ZRWLog(6, 2, "System :: Failed to init IPCSqlite!\n");
        return -1;
    }
    return 0;
}

int AppContext::CleanupAppSqlContext() {
    ZRWLog(6, 3, "System :: ######## CleanupAppSqlContext ########\n");
    if (sqlite.DeInit() != 0) {
        ZRWLog(6, 2, "System :: Failed to DeInit Sqlite!\n");
        return -1;
    }
    return 0;
}

int AppContext::IsStarted() {
    return stopped == 0 ? 1 : 0;
}

int AppContext::IsStopped() {
    return stopped;
}

IPCSqlite* AppContext::GetSqlite() {
    return &sqlite;
}

WireGuardContext* AppContext::GetWireGuardContext() {
    return wireGuardContext;
}

OpenVPNContext* AppContext::GetOpenVPNContext() {
    return openVPNContext;
}

IPSecVPNContext* AppContext::GetIPSecVPNContext() {
    return ipsecVPNContext;
}

std::vector<ProfileInfo>* AppContext::GetProfileList() {
    return &profileList;
}

void AppContext::ClearProfileList() {
    profileList.clear();
}

void AppContext::AddProfile(const ProfileInfo& profile) {
    profileList.push_back(profile);
}

int AppContext::FindProfileIndex(const char* profileName) {
    if (profileName == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < profileList.size(); ++i) {
        if (std::strcmp(profileList[i].ProfileName, profileName) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

SETTINGINFO* AppContext::GetSettingInfo(SETTINGINFO* out) {
    sqlite.GetSettingInfoByID(&settingInfo, 1);
    if (out != nullptr) {
        *out = settingInfo;
    }
    return out;
}

ProfileInfo* AppContext::GetCurrentProfile(ProfileInfo* out) {
    if (out != nullptr) {
        *out = currentProfile;
    }
    return out;
}

void AppContext::SetCurrentProfile(const ProfileInfo& profile) {
    currentProfile = profile;
}

int AppContext::GetConnectStatus() {
    return connectStatus;
}

void AppContext::SetConnectStatus(int status) {
    connectStatus = status;
}

int AppContext::SetDataPath(const char* path) {
    if (path == nullptr || std::strlen(path) >= sizeof(dataPath)) {
        ZRWLog(6, 2, "System :: FATAL: app data path too long!\n");
        return -1;
    }
    std::snprintf(dataPath, sizeof(dataPath), "%s", path);
    ZRWLog(6, 3, "System :: Set datapath: %s\n", dataPath);
    return 0;
}

const char* AppContext::GetDataPath() {
    return dataPath;
}

void AppContext::SetLogPath(const char* path) {
    Utf8CopyBounded(logPath, sizeof(logPath), path != nullptr ? path : "");
}

const char* AppContext::GetLogPath() {
    return logPath;
}

void AppContext::GetAdapterAddresses(std::vector<AdapterAddress>& addresses) {
    for (const auto& adapter : ListNetworkAdapters()) {
        if (adapter.ip.empty() || adapter.ip == "0.0.0.0" || adapter.mask.empty()) {
            continue;
        }
        AdapterAddress address;
        std::strncpy(address.ip, adapter.ip.c_str(), sizeof(address.ip) - 1);
        std::strncpy(address.mask, adapter.mask.c_str(), sizeof(address.mask) - 1);
        addresses.push_back(address);
    }
}

int AppContext::SetupWireGuardContext() {
    if (wireGuardContext != nullptr) {
        return 0;
    }
    ZRWLog(6, 3, "System :: ######## SetupWireGuardContext ########\n");
    wireGuardContext = new WireGuardContext();
    wireGuardContext->SetSqlite(&sqlite);
    return 0;
}

int AppContext::SetupOpenVPNContext() {
    if (openVPNContext != nullptr) {
        return 0;
    }
    ZRWLog(6, 3, "System :: ######## SetupOpenVPNContext ########\n");
    openVPNContext = new OpenVPNContext();
    openVPNContext->SetSqlite(&sqlite);
    return 0;
}

int AppContext::SetupIPSecVPNContext() {
    if (ipsecVPNContext != nullptr) {
        return 0;
    }
    ZRWLog(6, 3, "System :: ######## SetupIPSecVPNContext ########\n");
    ipsecVPNContext = new IPSecVPNContext();
    ipsecVPNContext->SetSqlite(&sqlite);
    return 0;
}

int AppContext::CleanupWireGuardContext() {
    if (wireGuardContext == nullptr) {
        return 0;
    }
    ZRWLog(6, 3, "System :: ######## CleanupWireGuardContext ########\n");
    delete wireGuardContext;
    wireGuardContext = nullptr;
    return 0;
}

int AppContext::CleanupOpenVPNContext() {
    if (openVPNContext == nullptr) {
        return 0;
    }
    ZRWLog(6, 3, "System :: ######## CleanupOpenVPNContext ########\n");
    // A TAP adapter made for openvpn goes with the client.
    OpenVPNContext::DeleteMadeTapAdapters();
    delete openVPNContext;
    openVPNContext = nullptr;
    return 0;
}

int AppContext::CleanupIPSecVPNContext() {
    if (ipsecVPNContext == nullptr) {
        return 0;
    }
    // The context owns the rekey timer, so it goes while the application object still exists.
    ZRWLog(6, 3, "System :: ######## CleanupIPSecVPNContext ########\n");
    delete ipsecVPNContext;
    ipsecVPNContext = nullptr;
    return 0;
}
