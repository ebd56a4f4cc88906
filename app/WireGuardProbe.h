// WireGuard starts its handshake with the peer only when a packet is to be sent through
// the tunnel. After the tunnel is installed the client sends one small datagram into it,
// to an address that the peer's AllowedIPs route to it, so that a peer that answers
// has completed its handshake by the end of the connect's wait, and one that does not
// answer is recognised, even for a profile without keepalives.
#pragma once

#include <string>

namespace WireGuardProbe {

// The address (dotted IPv4) that the nudge goes to for a configuration file's text: an
// address that one of the IPv4 AllowedIPs networks holds and that is not the interface's
// own address. Tried in this order for each network: the first other host of the
// interface's own network, then of its /24 (where a peer's tunnel side usually is, also
// for an own /32 address), then the first other host of the AllowedIPs network itself.
// A network of everything (/0) takes only the first two. Empty when there is none.
std::string NudgeTarget(const std::string& configText);

// Sends the nudge for the configuration file at path out of the tunnel's interface (bound
// to it, so that neither the machine's routes nor a full tunnel's rules can send it
// elsewhere; by the routes where the binding is refused); false when it could not be sent.
bool NudgePeer(const std::string& configPath, const std::string& interfaceName);

} // namespace WireGuardProbe
