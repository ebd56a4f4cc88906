#include "WgShow.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "Sha256.h"

namespace WgTool {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool KeyFromHex(const std::string& text, Key* key) {
    if (text.size() != 64) {
        return false;
    }
    for (size_t i = 0; i < 32; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        (*key)[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

bool IsZero(const Key& key) {
    return std::all_of(key.begin(), key.end(), [](uint8_t b) { return b == 0; });
}

// A decimal number of at most `limit`, digits only.
bool Number(const std::string& text, uint64_t limit, uint64_t* value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (result > (UINT64_MAX - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    if (result > limit) {
        return false;
    }
    *value = result;
    return true;
}

// "192.0.2.1:51820" or "[2001:db8::1]:51820" as wg writes it: numeric, IPv6 in brackets.
// A scoped IPv6 address is left to wg.
bool Endpoint(const std::string& text, std::string* written) {
    std::string host;
    std::string port;
    if (!text.empty() && text[0] == '[') {
        const std::string::size_type close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            return false;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::string::size_type colon = text.rfind(':');
        if (colon == std::string::npos) {
            return false;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    uint64_t portNumber = 0;
    if (!Number(port, 65535, &portNumber)) {
        return false;
    }
    char address[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        inet_ntop(AF_INET, &v4, address, sizeof(address));
        *written = std::string(address) + ":" + std::to_string(portNumber);
        return true;
    }
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
        // wg writes a mapped IPv4 address as IPv4 (getnameinfo does).
        if (IN6_IS_ADDR_V4MAPPED(&v6) || IN6_IS_ADDR_LINKLOCAL(&v6)) {
            return false;
        }
        inet_ntop(AF_INET6, &v6, address, sizeof(address));
        *written = "[" + std::string(address) + "]:" + std::to_string(portNumber);
        return true;
    }
    return false;
}

// "10.0.0.0/24" as wg writes it.
bool AllowedIp(const std::string& text, std::string* written) {
    const std::string::size_type slash = text.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    const std::string address = text.substr(0, slash);
    uint64_t prefix = 0;
    char printed[INET6_ADDRSTRLEN] = {};
    if (address.find(':') != std::string::npos) {
        in6_addr v6{};
        if (inet_pton(AF_INET6, address.c_str(), &v6) != 1 || !Number(text.substr(slash + 1), 128, &prefix)) {
            return false;
        }
        inet_ntop(AF_INET6, &v6, printed, sizeof(printed));
    } else {
        in_addr v4{};
        if (inet_pton(AF_INET, address.c_str(), &v4) != 1 || !Number(text.substr(slash + 1), 32, &prefix)) {
            return false;
        }
        inet_ntop(AF_INET, &v4, printed, sizeof(printed));
    }
    *written = std::string(printed) + "/" + std::to_string(prefix);
    return true;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

} // namespace

bool ParseReply(const std::string& reply, Device* device) {
    *device = Device();
    Peer* peer = nullptr;
    bool sawErrno = false;
    bool ended = false;
    std::string::size_type start = 0;
    while (start < reply.size()) {
        const std::string::size_type end = reply.find('\n', start);
        if (end == std::string::npos) {
            return false;
        }
        const std::string line = reply.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            ended = true;
            break;
        }
        const std::string::size_type equals = line.find('=');
        if (equals == std::string::npos) {
            return false;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        uint64_t number = 0;
        if (sawErrno) {
            return false;
        }
        if (key == "errno") {
            if (!Number(value, UINT64_MAX, &number) || number != 0) {
                return false;
            }
            sawErrno = true;
        } else if (key == "private_key" && peer == nullptr) {
            if (!KeyFromHex(value, &device->privateKey)) {
                return false;
            }
            device->hasPrivateKey = true;
        } else if (key == "listen_port" && peer == nullptr) {
            if (!Number(value, 65535, &number)) {
                return false;
            }
            device->listenPort = static_cast<unsigned>(number);
        } else if (key == "fwmark" && peer == nullptr) {
            if (!Number(value, UINT32_MAX, &number)) {
                return false;
            }
            device->fwmark = static_cast<uint32_t>(number);
        } else if (key == "public_key") {
            device->peers.emplace_back();
            peer = &device->peers.back();
            if (!KeyFromHex(value, &peer->publicKey)) {
                return false;
            }
        } else if (peer == nullptr) {
            // A peer's key before any peer, or a key of the device that wg does not know.
            return false;
        } else if (key == "preshared_key") {
            if (!KeyFromHex(value, &peer->presharedKey)) {
                return false;
            }
            peer->hasPresharedKey = !IsZero(peer->presharedKey);
        } else if (key == "endpoint") {
            if (!Endpoint(value, &peer->endpoint)) {
                return false;
            }
        } else if (key == "last_handshake_time_sec") {
            if (!Number(value, INT64_MAX, &number)) {
                return false;
            }
            peer->handshakeSeconds = static_cast<int64_t>(number);
        } else if (key == "last_handshake_time_nsec") {
            if (!Number(value, 999999999, &number)) {
                return false;
            }
            peer->handshakeNanoseconds = static_cast<int64_t>(number);
        } else if (key == "protocol_version") {
            if (!Number(value, UINT64_MAX, &number)) {
                return false;
            }
        } else if (key == "rx_bytes") {
            if (!Number(value, UINT64_MAX, &peer->receivedBytes)) {
                return false;
            }
        } else if (key == "tx_bytes") {
            if (!Number(value, UINT64_MAX, &peer->sentBytes)) {
                return false;
            }
        } else if (key == "persistent_keepalive_interval") {
            if (!Number(value, 65535, &number)) {
                return false;
            }
            peer->keepaliveSeconds = static_cast<unsigned>(number);
        } else if (key == "allowed_ip") {
            std::string written;
            if (!AllowedIp(value, &written)) {
                return false;
            }
            peer->allowedIps.push_back(written);
        } else {
            return false;
        }
    }
    return sawErrno && ended;
}

std::string Base64(const Key& key) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < key.size(); i += 3) {
        const uint32_t group = uint32_t(key[i]) << 16 | (i + 1 < key.size() ? uint32_t(key[i + 1]) << 8 : 0) |
                               (i + 2 < key.size() ? uint32_t(key[i + 2]) : 0);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += i + 1 < key.size() ? kDigits[(group >> 6) & 63] : '=';
        text += i + 2 < key.size() ? kDigits[group & 63] : '=';
    }
    return text;
}

std::string Bytes(uint64_t count) {
    const double value = static_cast<double>(count);
    if (count < 1024ULL) {
        return std::to_string(count) + " B";
    }
    if (count < 1024ULL * 1024) {
        return Format("%.2f KiB", value / 1024);
    }
    if (count < 1024ULL * 1024 * 1024) {
        return Format("%.2f MiB", value / (1024 * 1024));
    }
    if (count < 1024ULL * 1024 * 1024 * 1024) {
        return Format("%.2f GiB", value / (1024 * 1024 * 1024));
    }
    return Format("%.2f TiB", value / (1024.0 * 1024 * 1024) / 1024);
}

std::string Duration(uint64_t seconds) {
    const uint64_t parts[] = {seconds / (365 * 24 * 3600), seconds % (365 * 24 * 3600) / (24 * 3600),
                              seconds % (24 * 3600) / 3600, seconds % 3600 / 60, seconds % 60};
    const char* const units[] = {"year", "day", "hour", "minute", "second"};
    std::string text;
    for (int i = 0; i < 5; ++i) {
        if (parts[i] == 0) {
            continue;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(parts[i]) + " " + units[i] + (parts[i] == 1 ? "" : "s");
    }
    return text;
}

std::string Pretty(const Device& device, const std::string& name, std::time_t now, bool showKeys) {
    const auto secret = [showKeys](const Key& key) {
        return showKeys ? Base64(key) : std::string("(hidden)");
    };
    std::string text = "interface: " + name + "\n";
    if (device.hasPrivateKey) {
        text += "  public key: " + Base64(PublicKey(device.privateKey)) + "\n";
        text += "  private key: " + secret(device.privateKey) + "\n";
    }
    if (device.listenPort != 0) {
        text += "  listening port: " + std::to_string(device.listenPort) + "\n";
    }
    if (device.fwmark != 0) {
        char mark[16];
        std::snprintf(mark, sizeof(mark), "0x%x", device.fwmark);
        text += std::string("  fwmark: ") + mark + "\n";
    }
    if (device.peers.empty()) {
        return text;
    }
    text += "\n";
    // The most recent handshake first; peers without one last, in their order.
    std::vector<const Peer*> peers;
    for (const Peer& peer : device.peers) {
        peers.push_back(&peer);
    }
    std::stable_sort(peers.begin(), peers.end(), [](const Peer* a, const Peer* b) {
        const bool aNever = a->handshakeSeconds == 0 && a->handshakeNanoseconds == 0;
        const bool bNever = b->handshakeSeconds == 0 && b->handshakeNanoseconds == 0;
        if (aNever != bNever) {
            return bNever;
        }
        if (a->handshakeSeconds != b->handshakeSeconds) {
            return a->handshakeSeconds > b->handshakeSeconds;
        }
        return a->handshakeNanoseconds > b->handshakeNanoseconds;
    });
    for (size_t i = 0; i < peers.size(); ++i) {
        const Peer& peer = *peers[i];
        text += "peer: " + Base64(peer.publicKey) + "\n";
        if (peer.hasPresharedKey) {
            text += "  preshared key: " + secret(peer.presharedKey) + "\n";
        }
        if (!peer.endpoint.empty()) {
            text += "  endpoint: " + peer.endpoint + "\n";
        }
        text += "  allowed ips: ";
        if (peer.allowedIps.empty()) {
            text += "(none)";
        }
        for (size_t j = 0; j < peer.allowedIps.size(); ++j) {
            text += (j == 0 ? "" : ", ") + peer.allowedIps[j];
        }
        text += "\n";
        if (peer.handshakeSeconds != 0) {
            text += "  latest handshake: ";
            if (now == peer.handshakeSeconds) {
                text += "Now";
            } else if (now < peer.handshakeSeconds) {
                text += "(System clock wound backward; connection problems may ensue.)";
            } else {
                text += Duration(static_cast<uint64_t>(now - peer.handshakeSeconds)) + " ago";
            }
            text += "\n";
        }
        if (peer.receivedBytes != 0 || peer.sentBytes != 0) {
            text += "  transfer: " + Bytes(peer.receivedBytes) + " received, " + Bytes(peer.sentBytes) +
                    " sent\n";
        }
        if (peer.keepaliveSeconds != 0) {
            text += "  persistent keepalive: every " + Duration(peer.keepaliveSeconds) + "\n";
        }
        if (i + 1 < peers.size()) {
            text += "\n";
        }
    }
    return text;
}

std::string InterfaceName(const std::string& tunnelName) {
    bool usable = !tunnelName.empty() && tunnelName.size() <= 15 && tunnelName != "." && tunnelName != "..";
    for (char c : tunnelName) {
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        usable = usable && (letterOrDigit || c == '_' || c == '=' || c == '+' || c == '.' || c == '-');
    }
    if (usable) {
        return tunnelName;
    }
    static const char kHex[] = "0123456789abcdef";
    const std::array<uint8_t, 32> digest = Sha256(tunnelName);
    std::string name = "wg";
    for (size_t i = 0; name.size() < 15; ++i) {
        name += kHex[digest[i / 2] >> (i % 2 == 0 ? 4 : 0) & 0x0f];
    }
    return name;
}

std::string TunnelName(const std::string& interfaceName, const std::string& runDir) {
    const std::string path = runDir + "/" + interfaceName + ".name";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return interfaceName;
    }
    // A name is one line: of the file only that line counts.
    char buffer[512];
    ssize_t length;
    do {
        length = ::read(fd, buffer, sizeof(buffer));
    } while (length < 0 && errno == EINTR);
    ::close(fd);
    if (length <= 0) {
        return interfaceName;
    }
    const std::string text(buffer, static_cast<size_t>(length));
    return text.substr(0, text.find('\n'));
}

} // namespace WgTool
