#include "WireGuardValues.h"

#include <arpa/inet.h>
#include <cstring>
#include <strings.h>
#include <utility>
#include <vector>

#include "ProfileRecords.h"

namespace WireGuardValues {

namespace {

std::string Trimmed(const std::string& text, const char* blanks = " \t") {
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// The items of a comma-separated list, blanks around each taken off; false for an empty
// list or an empty item.
bool SplitList(const std::string& text, std::vector<std::string>* items) {
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item =
            Trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (item.empty()) {
            return false;
        }
        items->push_back(item);
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// An address and an optional prefix length of its family.
bool IsAddressWithPrefix(const std::string& text) {
    const size_t slash = text.find('/');
    const std::string address = text.substr(0, slash);
    in_addr v4{};
    in6_addr v6{};
    long longest = 0;
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        longest = 32;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        longest = 128;
    } else {
        return false;
    }
    return slash == std::string::npos || IsNumber(text.substr(slash + 1), 0, longest);
}

struct KeyRule {
    const char* key;
    bool (*passes)(const std::string&);
};

bool PassesKey(const std::string& value) {
    return IsKey(value);
}
bool PassesPort(const std::string& value) {
    return IsNumber(value, 1, 65535);
}
bool PassesKeepalive(const std::string& value) {
    return IsNumber(value, 0, 65535);
}
// The smallest MTU Linux takes for an interface with IPv4.
bool PassesMtu(const std::string& value) {
    return IsNumber(value, 68, 65535);
}

const KeyRule kRules[] = {
    {"PrivateKey", PassesKey},   {"ListenPort", PassesPort},
    {"Address", IsAddressList},  {"DNS", IsDnsList},
    {"MTU", PassesMtu},          {"PublicKey", PassesKey},
    {"Endpoint", IsEndpoint},    {"AllowedIPs", IsAddressList},
    {"PresharedKey", PassesKey}, {"PersistentKeepalive", PassesKeepalive},
};

} // namespace

bool IsAddress(const std::string& text) {
    in_addr v4{};
    in6_addr v6{};
    return inet_pton(AF_INET, text.c_str(), &v4) == 1 || inet_pton(AF_INET6, text.c_str(), &v6) == 1;
}

bool IsDomainName(const std::string& text) {
    std::string name = text;
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    if (name.empty() || name.size() > 253) {
        return false;
    }
    size_t start = 0;
    bool lastAllDigits = false;
    while (start <= name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos) {
            dot = name.size();
        }
        const std::string label = name.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return false;
        }
        lastAllDigits = true;
        for (char c : label) {
            if (!IsLetterOrDigit(c) && c != '-') {
                return false;
            }
            lastAllDigits = lastAllDigits && IsDigit(c);
        }
        start = dot + 1;
    }
    return !lastAllDigits;
}

bool IsKey(const std::string& text) {
    // 43 characters of base64 carry 258 bits: the last one carries only the 4 bits that
    // end the 32 bytes, so it is one of the characters whose lower two bits are clear.
    static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() != 44 || text[43] != '=') {
        return false;
    }
    for (size_t i = 0; i < 43; ++i) {
        const char* at = text[i] != '\0' ? std::strchr(alphabet, text[i]) : nullptr;
        if (at == nullptr || (i == 42 && ((at - alphabet) & 3) != 0)) {
            return false;
        }
    }
    return true;
}

bool IsNumber(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text[0] == '0')) {
        return false;
    }
    long value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high;
}

bool IsAddressList(const std::string& text) {
    std::vector<std::string> items;
    if (!SplitList(text, &items)) {
        return false;
    }
    for (const std::string& item : items) {
        if (!IsAddressWithPrefix(item)) {
            return false;
        }
    }
    return true;
}

bool IsDnsList(const std::string& text) {
    std::vector<std::string> items;
    if (!SplitList(text, &items)) {
        return false;
    }
    for (const std::string& item : items) {
        if (!IsAddress(item) && !IsDomainName(item)) {
            return false;
        }
    }
    return true;
}

bool IsEndpoint(const std::string& text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || !IsNumber(text.substr(colon + 1), 1, 65535)) {
        return false;
    }
    const std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        in6_addr v6{};
        return inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &v6) == 1;
    }
    in_addr v4{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 || IsDomainName(host);
}

bool IsValue(const std::string& key, const std::string& value) {
    for (const KeyRule& rule : kRules) {
        if (strcasecmp(rule.key, key.c_str()) == 0) {
            return rule.passes(value);
        }
    }
    return false;
}

std::string FirstUnfitKey(const WireGuardVPNInfo& info) {
    // The values as the file's lines take them (WireGuardConfigText), each checked as it
    // stands in the record: nothing of it is cut off as a comment or a blank.
    const std::pair<const char*, std::string> lines[] = {
        {"PrivateKey", info.InterPriKey[0] != '\0' ? info.InterPriKey : std::string()},
        {"ListenPort", info.InterPort != 0 ? std::to_string(info.InterPort) : std::string()},
        {"Address", std::string(info.IPAddr) + "/" + std::to_string(info.InterSubMask)},
        {"DNS", info.DNS},
        {"PublicKey", info.PeerPubKey},
        {"Endpoint", std::string(info.WanIP) + ":" + std::to_string(info.PeerPort)},
        {"AllowedIPs", info.AllowdIPs},
        {"PresharedKey", info.PreShardKey},
        {"PersistentKeepalive", info.KeepaliveTime != 0 ? std::to_string(info.KeepaliveTime) : std::string()},
    };
    for (const auto& line : lines) {
        // Optional lines that the file leaves out when empty; the public key is never empty.
        const bool optional = std::strcmp(line.first, "PublicKey") != 0;
        if (line.second.empty() && optional) {
            continue;
        }
        if (!IsValue(line.first, line.second)) {
            return line.first;
        }
    }
    return std::string();
}

std::string FirstUnfitLine(const std::string& text) {
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++number;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) {
            line.erase(hash);
        }
        line = Trimmed(line, " \t\r\v\f");
        if (line.empty() || strcasecmp(line.c_str(), "[Interface]") == 0 ||
            strcasecmp(line.c_str(), "[Peer]") == 0) {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            return "line " + std::to_string(number);
        }
        const std::string key = Trimmed(line.substr(0, equals), " \t\r\v\f");
        const std::string value = Trimmed(line.substr(equals + 1), " \t\r\v\f");
        if (!IsValue(key, value)) {
            // A key of the file is named as the client writes it; any other by its line.
            for (const KeyRule& rule : kRules) {
                if (strcasecmp(rule.key, key.c_str()) == 0) {
                    return rule.key;
                }
            }
            return "line " + std::to_string(number);
        }
    }
    return std::string();
}

} // namespace WireGuardValues
