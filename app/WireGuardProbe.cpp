#include "WireGuardProbe.h"

#include <arpa/inet.h>
#include <cstdint>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "TrafficReadings.h"

namespace WireGuardProbe {

namespace {

// The discard port: nothing behind the tunnel is expected to answer the nudge itself.
constexpr uint16_t kDiscardPort = 9;

struct Network {
    uint32_t address = 0; // host order
    int prefix = -1;
};

// "10.8.0.2/24" (the prefix may be missing: /32). A text that is no network leaves
// `network` as it was.
bool ParseNetwork(std::string text, Network* network) {
    TrafficReadings::TrimString(text);
    const std::string::size_type slash = text.find('/');
    const std::string address = text.substr(0, slash);
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    int prefix = 32;
    if (slash != std::string::npos) {
        const std::string digits = text.substr(slash + 1);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
            digits.size() > 2) {
            return false;
        }
        prefix = std::stoi(digits);
        if (prefix > 32) {
            return false;
        }
    }
    network->address = ntohl(parsed.s_addr);
    network->prefix = prefix;
    return true;
}

uint32_t Mask(int prefix) {
    return prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
}

std::string Dotted(uint32_t address) {
    in_addr value{};
    value.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &value, text, sizeof(text));
    return text;
}

bool Contains(const Network& network, uint32_t address) {
    return (address & Mask(network.prefix)) == (network.address & Mask(network.prefix));
}

// The first host of the network that is not `own`; 0 when there is none.
uint32_t FirstOtherHost(const Network& network, uint32_t own) {
    if (network.prefix == 32) {
        return network.address == own ? 0 : network.address;
    }
    const uint32_t base = network.address & Mask(network.prefix);
    const uint32_t broadcast = base | ~Mask(network.prefix);
    for (uint32_t host = base + 1; host < broadcast && host <= base + 2; ++host) {
        if (host != own) {
            return host;
        }
    }
    return 0;
}

// The values of a key ("Address", "AllowedIPs"), split at commas.
std::vector<std::string> Values(const std::string& configText, const std::string& key) {
    std::vector<std::string> values;
    std::istringstream lines(configText);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        const std::string::size_type equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string name = line.substr(0, equals);
        TrafficReadings::TrimString(name);
        if (name != key) {
            continue;
        }
        std::istringstream items(line.substr(equals + 1));
        std::string item;
        while (std::getline(items, item, ',')) {
            values.push_back(item);
        }
    }
    return values;
}

} // namespace

std::string NudgeTarget(const std::string& configText) {
    Network own;
    for (const std::string& value : Values(configText, "Address")) {
        if (ParseNetwork(value, &own)) {
            break;
        }
    }
    // An own network of everything (/0) says nothing about where the peer is.
    const bool haveOwn = own.prefix > 0;
    Network ownSlash24 = own;
    ownSlash24.prefix = own.prefix < 24 ? own.prefix : 24;
    for (const std::string& value : Values(configText, "AllowedIPs")) {
        Network allowed;
        if (!ParseNetwork(value, &allowed)) {
            continue;
        }
        std::vector<uint32_t> candidates;
        if (haveOwn) {
            candidates.push_back(FirstOtherHost(own, own.address));
            candidates.push_back(FirstOtherHost(ownSlash24, own.address));
        }
        // An address near the own one first: the peer's tunnel side usually is there, and it
        // is the least surprising to see in a capture. A network of everything (/0) offers no
        // address of its own.
        if (allowed.prefix > 0) {
            candidates.push_back(FirstOtherHost(allowed, haveOwn ? own.address : 0));
        }
        for (uint32_t target : candidates) {
            if (target != 0 && Contains(allowed, target)) {
                return Dotted(target);
            }
        }
    }
    return std::string();
}

bool NudgePeer(const std::string& configPath, const std::string& interfaceName) {
    std::ifstream file(configPath);
    std::stringstream text;
    text << file.rdbuf();
    const std::string target = NudgeTarget(text.str());
    if (target.empty()) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    // Out of the tunnel's own interface, whatever the routes say; where the binding is
    // refused (no privilege for it), the routes that the tunnel's install set take it there.
    if (!interfaceName.empty()) {
        ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                     static_cast<socklen_t>(interfaceName.size()));
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    inet_pton(AF_INET, target.c_str(), &to.sin_addr);
    const char payload = 0;
    const bool sent = ::sendto(fd, &payload, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 1;
    ::close(fd);
    return sent;
}

} // namespace WireGuardProbe
