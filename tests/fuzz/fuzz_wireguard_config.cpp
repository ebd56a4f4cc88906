// The profile's WireGuard configuration text as the connect reads it for the address the
// first packet goes to (the peer's AllowedIPs and the interface's Address).
#include <arpa/inet.h>
#include <string>

#include "FuzzTarget.h"
#include "WireGuardProbe.h"

KORVA_FUZZ_TARGET(wireguard_config) {
    const std::string config(reinterpret_cast<const char*>(data), size);
    const std::string target = WireGuardProbe::NudgeTarget(config);
    // Empty, or a dotted IPv4 address.
    in_addr parsed{};
    FUZZ_CHECK(target.empty() || inet_pton(AF_INET, target.c_str(), &parsed) == 1);
}
