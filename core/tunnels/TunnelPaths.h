// The fixed paths, file names, command lines and texts of the tunnels layer: the OpenVPN
// and WireGuard roads, then the IPsec road. Paths are relative to the working directory,
// the client's project path.
#pragma once

#include <string>

namespace TunnelPaths {

// The mode of every folder the client makes for profiles' files, credentials and logs.
constexpr unsigned kPrivateFolderMode = 0700;

// OpenVPN program and its management interface.
constexpr const char* kOpenVPNProgram = "./bin/OpenVPN/openvpn.exe";
constexpr const char* kOpenVPNConfigDir = "./Config/openvpn";
constexpr const char* kOpenVPNPasswordFile = "ovpnpwd.txt";
constexpr const char* kManagementHost = "127.0.0.1";
constexpr int kManagementPort = 11505;
constexpr const char* kLoadStatsRequest = "load-stats\n";
// The program's arguments: the first text, the .ovpn path between double quotes, the rest,
// then the management interface's password file between double quotes. openvpn ends at the
// first refusal of the credentials (--auth-retry none), so that each typed password makes
// one attempt.
constexpr const char* kOpenVPNConfigArgument = " --config ";
constexpr const char* kOpenVPNTrailingArguments = " --auth-retry none --management 127.0.0.1 11505";

// The folder of the management password files in the client's run folder (root's alone),
// and the start of their names.
constexpr const char* kOpenVPNRunSubfolder = "openvpn";
constexpr const char* kManagementSecretPrefix = "management-";

// The bundle's DNS script of OpenVPN tunnels, and its clean-up of every tunnel's DNS.
constexpr const char* kTunnelDnsProgram = "./bin/OpenVPN/tunnel-dns";
constexpr const char* kTunnelDnsCleanCommand = "./bin/OpenVPN/tunnel-dns clean";
constexpr int kTunnelDnsTimeLimitMs = 10000;

// What the client reads from openvpn's console (substrings of one read) and from the
// management interface's "load-stats" reply.
constexpr const char* kOpenVPNConnectedText = "Initialization Sequence Completed";
constexpr const char* kNoTapAdapterText = "There are no TAP-Windows adapters on this system";
constexpr const char* kTapAdaptersInUseText = "All TAP-Windows adapters on this system are currently in use";
constexpr const char* kAuthFailedText = "AUTH_FAILED";
constexpr const char* kLocalAddressText = "Notified TAP-Windows driver to set a DHCP IP/netmask of ";
// What openvpn says when it ends by itself, for the reason the page shows.
constexpr const char* kPortInUseTexts[] = {"Socket bind failed", "Address already in use"};
constexpr const char* kTlsErrorTexts[] = {"TLS Error", "TLS handshake failed", "VERIFY ERROR"};
constexpr const char* kNoAnswerTexts[] = {"Inactivity timeout"};
constexpr const char* kConfigErrorTexts[] = {"Options error"};
constexpr const char* kBytesInKey = "bytesin=";
constexpr const char* kBytesOutKey = "bytesout=";

// TAP adapter scripts and the description that marks a TAP adapter. The adapters that
// addtap.bat makes are recorded in the run folder's kTapRecordsFolder, and removed again by
// kDeleteMadeTapScript. Linux makes TAP and TUN devices on demand through kTunDevice.
constexpr const char* kAddTapScript = "./driver/addtap.bat";
constexpr const char* kDeleteAllTapScript = "./driver/deltapall.bat";
constexpr const char* kDeleteMadeTapScript = "./driver/deltapmade.bat";
constexpr const char* kTapRecordsFolder = "tap";
constexpr const char* kTunDevice = "/dev/net/tun";
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
// The line of a peer with which a handshake has completed.
constexpr const char* kWireGuardHandshakePrefix = "latest handshake:";

} // namespace TunnelPaths

// The fixed paths, command lines and texts of the IPsec road: strongSwan's daemon
// charon-svc.exe and its control tool swanctl.exe in the folder bin/ipsec under the
// project path (the working directory), the configuration file they load, and the
// answers the client looks for in their output.
namespace IPSecPaths {

// Folders and files under the project path P (P carries no trailing separator).
constexpr const char* kStrongSwanFolder = "/bin/ipsec/";
constexpr const char* kSwanctlProgram = "/bin/ipsec/swanctl.exe";
constexpr const char* kSwanctlConfFile = "/bin/ipsec/swanctl/swanctl.conf";
constexpr const char* kSwanctlFolder = "/bin/ipsec/swanctl";
// The daemon's control socket, as the bundle's strongswan.conf names it.
constexpr const char* kControlSocket = "/bin/ipsec/charon.vici";
// The daemon's plugin list, written by charon-svc.exe at its start with the IPsec backend
// it chose, and the plugin that marks strongSwan's user-space IPsec in it.
constexpr const char* kCharonBackendFile = "/bin/ipsec/charon-backend.conf";
constexpr const char* kUserSpaceBackend = "kernel-libipsec";

// The daemon, named relative to the project path and started in the strongSwan folder.
constexpr const char* kCharonCommand = "./bin/ipsec/charon-svc.exe";
constexpr const char* kCharonImageName = "charon-svc.exe";
constexpr const char* kCharonLookupCommand = "cmd.exe /c tasklist | findstr charon-svc.exe";
constexpr const char* kCharonNotRunningAnswer = "charon-svc.exe not exist";
constexpr const char* kKillCommandFormat = "cmd.exe /c taskkill /pid %d";

// swanctl command lines: kSwanctlPrefix, P, kSwanctlProgram, kSwanctlSuffix, then the arguments.
constexpr const char* kSwanctlPrefix = "cmd.exe /c \"";
constexpr const char* kSwanctlSuffix = "\" ";
constexpr const char* kLoadAllArgs = "--load-all";
constexpr const char* kInitiateChildArgs = "--initiate --child ";
constexpr const char* kRekeyChildArgs = "--rekey --child ";
constexpr const char* kListSasArgs = "--list-sas --noblock";
constexpr const char* kTerminateForceIkeArgs = "--terminate --force --ike ";
constexpr const char* kTerminateIkeArgs = "--terminate --ike ";

// The child SA of a policy is the policy name followed by this.
constexpr const char* kChildSuffix = "_child";

// Texts looked for in the answers.
constexpr const char* kPeerNotResponding = "peer not responding";
constexpr const char* kInitiateSucceeded = "initiate completed successfully";
constexpr const char* kRekeySucceeded = "rekey completed successfully";
constexpr const char* kTerminateSucceeded = "terminate completed successfully";
constexpr const char* kRunnerFailed = "Failed";
constexpr const char* kStateRekeying = "REKEYING";
constexpr const char* kStateInstalled = "INSTALLED";
constexpr const char* kStateRekeyed = "REKEYED";
constexpr const char* kStateInstalling = "INSTALLING";
// How many characters after the child SA's name its state must appear within.
constexpr int kChildStateWindow = 50;

// Attempts and pauses.
constexpr int kInitiateAttempts = 5;
constexpr int kRekeyAttempts = 5;
constexpr int kTerminatePauseMs = 500;
constexpr int kRekeyIntervalMs = 60000;
// How long a freshly started daemon is given to open its control socket.
constexpr int kCharonReadyTimeLimitMs = 5000;
constexpr int kCharonReadyPollMs = 100;
// How long ending the daemon waits for it to be gone (it is killed outright after the
// process runner's grace time).
constexpr int kCharonEndTimeLimitMs = 5000;

// The Windows service that competes with strongSwan for the IKE ports.
constexpr const char* kIKEEXTServiceName = "IKEEXT";
// The program's own IPsec service (nothing in the system uses it).
constexpr const char* kOwnServiceName = "KORVA VPN IPSEC POLICY SERVICE";
constexpr const char* kOwnServiceProgram = "/usr/lib/korva-vpn/charon-svc.exe";

} // namespace IPSecPaths
