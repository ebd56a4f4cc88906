// WireGuard starts its handshake with the peer only when a packet is to be sent through
// the tunnel. After the tunnel is installed the client sends one small datagram into it,
// to an address that the peer's AllowedIPs route to it, so that a peer that answers
// has completed its handshake by the end of the connect's wait, and one that does not
// answer is recognised, even for a profile without keepalives.
#pragma once

#include <string>

namespace WireGuardProbe {

// The address (dotted IPv4) that the nudge goes to for a configuration file's text: the
// first host of the first IPv4 AllowedIPs network that is not the interface's own
// address; for a network of everything (/0), the first other host of the interface's own
// network. Empty when there is none.
std::string NudgeTarget(const std::string& configText);

// Sends the nudge for the configuration file at path; false when it could not be sent.
bool NudgePeer(const std::string& configPath);

} // namespace WireGuardProbe
