// SHA-256 of a byte string, for the bundle's tunnel-name rule (tunnel-name.sh maps a
// name that is no interface name to "wg" and the first hex digits of its SHA-256).
#pragma once

#include <stddef.h>
#include <stdint.h>

#if __STDC_HOSTED__
#include <array>
#include <string>
#endif

namespace WgTool {

// Without the C library or allocation, so that the bundle's wg front (ShowFront.cpp) uses it too.
void Sha256(const uint8_t* data, size_t size, uint8_t digest[32]);

#if __STDC_HOSTED__
std::array<uint8_t, 32> Sha256(const std::string& data);
#endif

} // namespace WgTool
