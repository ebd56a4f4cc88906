// The answer of wireguard-go's control socket as the bundle's wg reads it ("get=1"), and
// what the client then reads from the "wg show" text the bundle's wg writes for it: the
// tunnel is listed, a handshake is seen exactly when a peer has one, and a transfer line
// read is one peer's counters.
//
// Input: the socket's answer.
#include <cmath>
#include <string>

#include "FuzzTarget.h"
#include "TrafficReadings.h"
#include "WgShow.h"

namespace {

// The counter as the transfer line shows it, in MiB, within its rounding to two decimals.
bool Near(double readMiB, uint64_t bytes) {
    const double mib = static_cast<double>(bytes) / 1048576.0;
    double unitMiB = 1.0 / 1048576.0;
    if (bytes >= 1024ULL * 1024 * 1024) {
        unitMiB = 1024.0;
    } else if (bytes >= 1024ULL * 1024) {
        unitMiB = 1.0;
    } else if (bytes >= 1024ULL) {
        unitMiB = 1.0 / 1024.0;
    }
    return std::fabs(readMiB - mib) <= 0.0051 * unitMiB;
}

} // namespace

KORVA_FUZZ_TARGET(wg_uapi) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    WgTool::Device device;
    if (!WgTool::ParseReply(answer, &device)) {
        return;
    }
    const std::string shown = WgTool::Pretty(device, "tunnel", 1700000000);
    const TrafficReadings::WireGuardTunnelState state =
        TrafficReadings::ReadWireGuardTunnelState(shown, "tunnel");
    FUZZ_CHECK(state.listed);
    bool handshake = false;
    bool transfer = false;
    for (const WgTool::Peer& peer : device.peers) {
        handshake = handshake || peer.handshakeSeconds != 0;
        transfer = transfer || peer.receivedBytes != 0 || peer.sentBytes != 0;
    }
    FUZZ_CHECK(state.handshake == handshake);

    double received = -7;
    double sent = -7;
    if (TrafficReadings::ParseWireGuardTransfer(shown, "tunnel", &received, &sent)) {
        bool matches = false;
        for (const WgTool::Peer& peer : device.peers) {
            matches = matches || (Near(received, peer.receivedBytes) && Near(sent, peer.sentBytes));
        }
        FUZZ_CHECK(matches);
    } else {
        FUZZ_CHECK(received == -7 && sent == -7);
        FUZZ_CHECK(!transfer || shown.find(" TiB ") != std::string::npos);
    }
}
