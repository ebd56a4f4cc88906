// What the client keeps for a running openvpn outside the profile's files: the password of
// openvpn's management interface, made anew for each connect, in a folder of the client's
// run folder (RunFolder.h), which root alone may enter; and the withdrawal of the DNS that the bundle's
// tunnel-dns gave the system's resolver, for when openvpn could not take it away itself (it was ended or
// killed).
#pragma once

#include <string>

namespace OpenVPNRunFolder {

// The folder: "openvpn" in the client's run folder (/run/korva-vpn/openvpn), made (mode
// 0700) when it is missing; empty when it is not a folder of this user's that nobody else
// may write (a link, another owner, open to others) or cannot be made.
std::string Path();

// A management password and the file that hands it to openvpn.
struct ManagementSecret {
    std::string path;
    std::string password;
};

// Makes a new password file (mode 0600) in the folder. False, with a log line, when there
// is no folder (see Path) or nothing could be written.
bool MakeManagementSecret(ManagementSecret* secret);

// Removes every management password file of the folder: openvpn reads its file when it
// starts, and only one openvpn runs at a time.
void RemoveManagementSecrets();

// Takes away the DNS of every OpenVPN tunnel that the bundle's tunnel-dns has given the
// resolver ("./bin/OpenVPN/tunnel-dns clean"); nothing when the bundle has no such script.
void WithdrawTunnelDNS();

// The start-up clean-up after a client that was killed: the management password files
// and the tunnels' DNS it left. Call it once the openvpn it left has been ended.
void RemoveLeftovers();

} // namespace OpenVPNRunFolder
