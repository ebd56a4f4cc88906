// SHA-256 of a byte string, for the bundle's tunnel-name rule (tunnel-name.sh maps a
// name that is no interface name to "wg" and the first hex digits of its SHA-256).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace WgTool {

std::array<uint8_t, 32> Sha256(const std::string& data);

} // namespace WgTool
