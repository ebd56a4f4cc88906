// The fixed paths, file names, command lines and texts of the OpenVPN and WireGuard
// roads. Paths are relative to the working directory, the client's project path.
#pragma once

#include <string>

namespace TunnelPaths {

// OpenVPN program and its management interface.
constexpr const char* kOpenVPNProgram = "./bin/OpenVPN/openvpn.exe";
constexpr const char* kOpenVPNConfigDir = "./Config/openvpn";
constexpr const char* kOpenVPNPasswordFile = "ovpnpwd.txt";
constexpr const char* kManagementHost = "127.0.0.1";
constexpr int kManagementPort = 11505;
constexpr const char* kLoadStatsRequest = "load-stats\n";

// TAP adapter scripts and the description that marks a TAP adapter.
constexpr const char* kAddTapScript = "./driver/addtap.bat";
constexpr const char* kDeleteAllTapScript = "./driver/deltapall.bat";
constexpr const char* kTapAdapterDescription = "TAP-Windows Adapter V9";
// How long start-up waits for the adapter script before it ends it. Creating an
// adapter takes well under a second; the limit only guards against a hung script.
constexpr int kTapScriptTimeLimitMs = 120000;

// WireGuard tools and configuration files.
constexpr const char* kWireGuardConfigDir = "./Config/wireguard";
constexpr const char* kWireGuardConfigDirSuffix = "/Config/wireguard/";
constexpr const char* kWireGuardConfigExtension = ".conf";
constexpr const char* kWireGuardInstallCommand =
    "cmd.exe /c ./bin/Wireguard/wireguard /installtunnelservice ";
constexpr const char* kWireGuardUninstallCommand =
    "cmd.exe /c ./bin/Wireguard/wireguard /uninstalltunnelservice ";
constexpr const char* kWireGuardShowCommand = "./bin/Wireguard/wg show";

} // namespace TunnelPaths
