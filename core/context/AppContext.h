// The application's shared state behind the user interface: the open profile database,
// the cached profile list, the settings row, the connection status, the current
// profile, the data and log paths, and the tunnel contexts. There is exactly one; the
// SystemContext creates it before main and it is never deleted.
#pragma once

#include <vector>

#include "IPCSqlite.h"
#include "ProfileRecords.h"

class WireGuardContext;
class OpenVPNContext;
class IPSecVPNContext;

class AppContext {
public:
    AppContext();
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // Opens the store, loads the profile list and settings row 1 (creating it when
    // missing) and sets up the tunnel contexts.
    int Start();
    // Closes the store and cleans up the tunnel contexts.
    int Stop();
    int SetupAppSqlContext();
    int CleanupAppSqlContext();
    int IsStarted();
    int IsStopped();

    IPCSqlite* GetSqlite();
    WireGuardContext* GetWireGuardContext();
    OpenVPNContext* GetOpenVPNContext();
    IPSecVPNContext* GetIPSecVPNContext();

    std::vector<ProfileInfo>* GetProfileList();
    void ClearProfileList();
    void AddProfile(const ProfileInfo& profile);
    int FindProfileIndex(const char* profileName);

    // Re-reads settings row 1 into the cache and copies it out.
    SETTINGINFO* GetSettingInfo(SETTINGINFO* out);
    ProfileInfo* GetCurrentProfile(ProfileInfo* out);
    void SetCurrentProfile(const ProfileInfo& profile);
    int GetConnectStatus();
    void SetConnectStatus(int status);

    int SetDataPath(const char* path);
    const char* GetDataPath();
    void SetLogPath(const char* path);
    const char* GetLogPath();

    // Appends the first IPv4 address of every adapter that has a usable one.
    void GetAdapterAddresses(std::vector<AdapterAddress>& addresses);

    int SetupWireGuardContext();
    int SetupOpenVPNContext();
    int SetupIPSecVPNContext();
    int CleanupWireGuardContext();
    int CleanupOpenVPNContext();
    int CleanupIPSecVPNContext();

private:
    int stopped;
    WireGuardContext* wireGuardContext;
    OpenVPNContext* openVPNContext;
    IPSecVPNContext* ipsecVPNContext;
    std::vector<ProfileInfo> profileList;
    SETTINGINFO settingInfo;
    int connectStatus;
    char dataPath[512];
    char logPath[260];
    IPCSqlite sqlite;
    ProfileInfo currentProfile;
};
