// What the client reads from "wg show": whether the tunnel's interface is listed, whether
// its peer's handshake has completed, and the transfer totals of its block.
//
// Input: the tunnel's name up to the first line feed, then the output of "wg show".
#include <cmath>
#include <string>

#include "FuzzTarget.h"
#include "TrafficReadings.h"

KORVA_FUZZ_TARGET(wg_show) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string name = newline == std::string::npos ? std::string() : input.substr(0, newline);
    const std::string output = newline == std::string::npos ? input : input.substr(newline + 1);

    const TrafficReadings::WireGuardTunnelState state =
        TrafficReadings::ReadWireGuardTunnelState(output, name);
    FUZZ_CHECK(state.listed || !state.handshake);

    double received = -7;
    double sent = -7;
    const bool read = TrafficReadings::ParseWireGuardTransfer(output, name, &received, &sent);
    if (read) {
        FUZZ_CHECK(state.listed);
        FUZZ_CHECK(std::isfinite(received) && received >= 0);
        FUZZ_CHECK(std::isfinite(sent) && sent >= 0);
    } else {
        // A failed reading leaves the caller's totals as they were.
        FUZZ_CHECK(received == -7 && sent == -7);
    }
}
