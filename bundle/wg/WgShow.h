// What the bundle's `wg show` does without a helper program: wireguard-go's answer to
// "get=1" on its control socket (the cross-platform userspace API) read into a device, the
// device written in wg's own "wg show" format, and the bundle's tunnel names
// (tunnel-name.sh) both ways.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "X25519.h"

namespace WgTool {

struct Peer {
    Key publicKey{};
    bool hasPresharedKey = false;
    Key presharedKey{};
    // As wg writes it ("192.0.2.1:51820", "[2001:db8::1]:51820"); empty for none.
    std::string endpoint;
    // As wg writes them ("10.0.0.0/24").
    std::vector<std::string> allowedIps;
    int64_t handshakeSeconds = 0;
    int64_t handshakeNanoseconds = 0;
    uint64_t receivedBytes = 0;
    uint64_t sentBytes = 0;
    unsigned keepaliveSeconds = 0;
};

struct Device {
    bool hasPrivateKey = false;
    Key privateKey{};
    unsigned listenPort = 0;
    uint32_t fwmark = 0;
    std::vector<Peer> peers;
};

// Reads the answer (key=value lines ending with "errno=N" and an empty line). False when
// it is not an answer that wg itself would show as it is: a line or value it cannot read,
// an errno other than 0, or no errno line; wg is then asked instead.
bool ParseReply(const std::string& reply, Device* device);

// "wg show INTERFACE" for the device, its block headed by `name`, the handshake's age
// counted to `now`; without colours. Keys show as "(hidden)" unless showKeys.
std::string Pretty(const Device& device, const std::string& name, std::time_t now, bool showKeys = false);

// The pieces wg writes: a key in Base64, a count of bytes ("1.50 KiB"), a duration
// ("1 minute, 2 seconds").
std::string Base64(const Key& key);
std::string Bytes(uint64_t count);
std::string Duration(uint64_t seconds);

// tunnel-name.sh's rule: a tunnel name that Linux takes as an interface name (at most 15
// bytes of [A-Za-z0-9_=+.-], not "." or "..") is its own interface name; any other maps to
// "wg" and the first 13 hex digits of its SHA-256.
std::string InterfaceName(const std::string& tunnelName);
// The tunnel an interface stands for: the first line of runDir/INTERFACE.name, written by
// the bundle's wireguard when it made the interface; else the interface name itself.
std::string TunnelName(const std::string& interfaceName, const std::string& runDir);

} // namespace WgTool
