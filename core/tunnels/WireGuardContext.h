// The tunnel context of WireGuard profiles: forwards the ZRWIREGUARDVPN rows to the
// store, writes a profile's configuration file and uninstalls its tunnel.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

#include "ProfileRecords.h"

class IPCSqlite;

class WireGuardContext {
public:
    WireGuardContext();
    ~WireGuardContext();

    int SetSqlite(IPCSqlite* store);

    int GetWireGuardInfoByID(int configId, WireGuardVPNInfo* info);
    int AddWireGuardInfo(WireGuardVPNInfo* info, int write);
    int UpdateWireGuardInfo(WireGuardVPNInfo* info, int write);
    int DeleteWireGuardInfo(WireGuardVPNInfo* info);

    // Uninstalls the tunnel named after the profile; always 0.
    int Disconnect(const char* tunnelName);

    // True when the tunnel named after the profile is up: the bundle's "wg show" knows
    // it. A connect counts as connected only then.
    bool IsTunnelUp(const char* tunnelName);

    // Writes ./Config/wireguard/<ProfileName>.conf whole, or not at all: 0, or -1 when
    // the name cannot name a file, a value is not what its key takes (WireGuardValues),
    // or the file cannot be written.
    int WriteWireGuardConfig(const ProfileInfo& profile, const WireGuardVPNInfo* info);

private:
    IPCSqlite* sqlite;
};

// The configuration file's text for a record (lines end in a line feed).
std::string WireGuardConfigText(const WireGuardVPNInfo& info);

// True when a profile name may name a tunnel, a file and a command-line argument:
// not empty, at most kMaxTunnelNameBytes bytes, no "/", "\", "..", control characters or shell
// metacharacters, and not beginning with "-" or ".".
constexpr size_t kMaxTunnelNameBytes = 243;
bool IsValidTunnelName(const char* name);

// The network interface that the bundle's WireGuard tools make for a tunnel: the tunnel's
// name when Linux takes it as an interface name (at most 15 bytes of [A-Za-z0-9_=+.-],
// not "." or ".."), else "wg" and the first 13 hex digits of the SHA-256 of the name, the
// same rule as the bundle's tunnel-name.sh and its wg.
constexpr size_t kMaxInterfaceNameBytes = 15;
std::string WireGuardInterfaceName(const char* tunnelName);

// The command lines of the WireGuard tools for a tunnel; empty for a name that
// IsValidTunnelName refuses.
std::string WireGuardInstallCommandLine(const QString& projectPath, const char* tunnelName);
std::string WireGuardUninstallCommandLine(const char* tunnelName);
std::string WireGuardShowCommandLine(const char* tunnelName);

// Creates every missing level of a "/"-separated folder path and returns the path.
QString CreateDirPath(const QString& path);
