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
// The program's arguments: the first text, the .ovpn path between double quotes, then the
// rest.
constexpr const char* kOpenVPNConfigArgument = " --config ";
constexpr const char* kOpenVPNTrailingArguments = " --auth-retry interact --management 127.0.0.1 11505";

// What the client reads from openvpn's console (substrings of one read) and from the
// management interface's "load-stats" reply.
constexpr const char* kOpenVPNConnectedText = "Initialization Sequence Completed";
constexpr const char* kNoTapAdapterText = "There are no TAP-Windows adapters on this system";
constexpr const char* kTapAdaptersInUseText = "All TAP-Windows adapters on this system are currently in use";
constexpr const char* kAuthFailedText = "AUTH_FAILED";
constexpr const char* kLocalAddressText = "Notified TAP-Windows driver to set a DHCP IP/netmask of ";
constexpr const char* kBytesInKey = "bytesin=";
constexpr const char* kBytesOutKey = "bytesout=";

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
// The block of one tunnel in "wg show" and its traffic line.
constexpr const char* kWireGuardInterfaceHeader = "interface: ";
constexpr const char* kWireGuardTransferPrefix = "transfer:";

} // namespace TunnelPaths
