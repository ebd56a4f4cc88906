// The answer of wireguard-go's control socket as the bundle's wg reads it ("get=1"), the same
// text from the bundle's wg front as from its full program, and what the client then reads
// from the "wg show" text the bundle's wg writes for it: the tunnel is listed, a handshake is
// seen exactly when a peer has one, and a transfer line read is one peer's counters.
//
// Input: the socket's answer.
#include <cmath>
#include <string>

#include "FastShow.h"
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
    const bool parsed = WgTool::ParseReply(answer, &device);
    // The bundle's wg front writes what the full program writes, or leaves the answer to it;
    // an answer the full program refuses it never writes.
    static WgFast::Workspace work;
    static char buffer[256 * 1024];
    WgFast::Text out(buffer, sizeof(buffer));
    const WgFast::Result front =
        WgFast::Show(answer.data(), answer.size(), "tunnel", 6, 1700000000, false, &work, &out);
    if (!parsed) {
        FUZZ_CHECK(front != WgFast::Result::Written);
        return;
    }
    const std::string shown = WgTool::Pretty(device, "tunnel", 1700000000);
    FUZZ_CHECK(front != WgFast::Result::Refused);
    FUZZ_CHECK(front != WgFast::Result::Written || std::string(out.data, out.size) == shown);
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
