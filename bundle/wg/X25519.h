// The public key of a WireGuard private key (X25519 with the base point 9), as "wg show"
// shows it for an interface: wireguard-go's control socket hands out only the private key.
#pragma once

#include <array>
#include <cstdint>

namespace WgTool {

using Key = std::array<uint8_t, 32>;

// X25519(scalar, point) of RFC 7748, the scalar clamped as it says.
Key X25519(const Key& scalar, const Key& point);
// X25519(privateKey, 9).
Key PublicKey(const Key& privateKey);

} // namespace WgTool
