// The list of network adapters (what GetAdaptersInfo gives on Windows): every interface
// but loopback, with its first IPv4 address and mask, and its description, which is the
// interface's alias (/sys/class/net/IF/ifalias) or else its name. An interface without
// an IPv4 address reads "0.0.0.0" for both.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct NetworkAdapter {
    std::string name;
    std::string description;
    std::string ip;
    std::string mask;
};

std::vector<NetworkAdapter> ListNetworkAdapters();

// Replaces the system's list, for tests; an empty function restores it.
void SetNetworkAdapterSource(std::function<std::vector<NetworkAdapter>()> source);

// True when this machine can give openvpn a TAP (or TUN) device when it connects: the
// kernel's tun driver answers at /dev/net/tun. Linux makes such devices on demand, so no
// adapter has to exist beforehand.
bool TapDevicesCanBeMade();

// Names another device file for TapDevicesCanBeMade, for tests; empty returns to
// /dev/net/tun.
void SetTunDevicePath(const std::string& path);
