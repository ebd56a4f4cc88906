#include "FastShow.h"

#include "Sha256.h"
#include "X25519.h"

namespace WgFast {

namespace {

// A piece of the answer.
struct Slice {
    const char* data;
    size_t size;

    bool is(const char* text) const {
        size_t i = 0;
        for (; text[i] != '\0'; ++i) {
            if (i >= size || data[i] != text[i]) {
                return false;
            }
        }
        return i == size;
    }
    size_t find(char c, size_t from = 0) const {
        for (size_t i = from; i < size; ++i) {
            if (data[i] == c) {
                return i;
            }
        }
        return kNone;
    }
    size_t findLast(char c) const {
        for (size_t i = size; i > 0; --i) {
            if (data[i - 1] == c) {
                return i - 1;
            }
        }
        return kNone;
    }
    Slice part(size_t from, size_t to) const { return Slice{data + from, to - from}; }
    Slice from(size_t at) const { return Slice{data + at, size - at}; }

    static constexpr size_t kNone = ~size_t(0);
};

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

bool KeyFromHex(Slice text, uint8_t key[32]) {
    if (text.size != 64) {
        return false;
    }
    for (size_t i = 0; i < 32; ++i) {
        const int high = HexDigit(text.data[2 * i]);
        const int low = HexDigit(text.data[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        key[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

bool IsZero(const uint8_t key[32]) {
    uint8_t any = 0;
    for (size_t i = 0; i < 32; ++i) {
        any |= key[i];
    }
    return any == 0;
}

// A decimal number of at most `limit`, digits only (WgTool's rule).
bool Number(Slice text, uint64_t limit, uint64_t* value) {
    if (text.size == 0 || text.size > 20) {
        return false;
    }
    uint64_t result = 0;
    for (size_t i = 0; i < text.size; ++i) {
        const char c = text.data[i];
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

// inet_pton's IPv4 form: four decimal parts of at most 255, none with a leading zero.
bool ParseIpv4(Slice text, uint8_t address[4]) {
    size_t octets = 0;
    bool sawDigit = false;
    unsigned value = 0;
    for (size_t i = 0; i < text.size; ++i) {
        const char c = text.data[i];
        if (c >= '0' && c <= '9') {
            if (sawDigit && value == 0) {
                return false;
            }
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255) {
                return false;
            }
            if (!sawDigit) {
                if (++octets > 4) {
                    return false;
                }
                sawDigit = true;
            }
            address[octets - 1] = static_cast<uint8_t>(value);
        } else if (c == '.' && sawDigit) {
            if (octets == 4) {
                return false;
            }
            sawDigit = false;
            value = 0;
        } else {
            return false;
        }
    }
    return octets == 4;
}

// inet_pton's IPv6 form without an IPv4 part (declined: Unsure).
enum class Parsed { Yes, No, Unsure };

Parsed ParseIpv6(Slice text, uint16_t words[8]) {
    uint16_t parsed[8] = {};
    size_t count = 0;
    size_t gap = Slice::kNone;
    size_t i = 0;
    if (text.size == 0) {
        return Parsed::No;
    }
    if (text.data[0] == ':') {
        if (text.size < 2 || text.data[1] != ':') {
            return Parsed::No;
        }
        ++i;
    }
    unsigned value = 0;
    int digits = 0;
    while (i < text.size) {
        const char c = text.data[i++];
        const int digit = HexDigit(c);
        if (digit >= 0) {
            if (digits == 4) {
                return Parsed::No;
            }
            value = value << 4 | static_cast<unsigned>(digit);
            ++digits;
            continue;
        }
        if (c == ':') {
            if (digits == 0) {
                if (gap != Slice::kNone) {
                    return Parsed::No;
                }
                gap = count;
                continue;
            }
            if (i == text.size || count == 8) {
                return Parsed::No;
            }
            parsed[count++] = static_cast<uint16_t>(value);
            value = 0;
            digits = 0;
            continue;
        }
        return c == '.' ? Parsed::Unsure : Parsed::No;
    }
    if (digits > 0) {
        if (count == 8) {
            return Parsed::No;
        }
        parsed[count++] = static_cast<uint16_t>(value);
    }
    if (gap != Slice::kNone) {
        if (count == 8) {
            return Parsed::No;
        }
        const size_t zeros = 8 - count;
        for (size_t w = 0, from = 0; w < 8; ++w) {
            words[w] = w >= gap && w < gap + zeros ? 0 : parsed[from++];
        }
        return Parsed::Yes;
    }
    if (count != 8) {
        return Parsed::No;
    }
    for (size_t w = 0; w < 8; ++w) {
        words[w] = parsed[w];
    }
    return Parsed::Yes;
}

void WriteIpv4(const uint8_t address[4], Text* out) {
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            out->add('.');
        }
        out->number(address[i]);
    }
}

void WriteHex(uint64_t value, Text* out) {
    char digits[16];
    size_t count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0x0f];
        value >>= 4;
    } while (value != 0);
    while (count > 0) {
        out->add(digits[--count]);
    }
}

// inet_ntop's IPv6 form: the first longest run of two or more zero words as "::"; false for
// the addresses it writes with an IPv4 part (a run of five to seven zero words at the start).
bool WriteIpv6(const uint16_t words[8], Text* out) {
    int bestBase = -1;
    int bestLength = 0;
    int base = -1;
    int length = 0;
    for (int i = 0; i < 8; ++i) {
        if (words[i] == 0) {
            if (base == -1) {
                base = i;
                length = 1;
            } else {
                ++length;
            }
        } else if (base != -1) {
            if (bestBase == -1 || length > bestLength) {
                bestBase = base;
                bestLength = length;
            }
            base = -1;
        }
    }
    if (base != -1 && (bestBase == -1 || length > bestLength)) {
        bestBase = base;
        bestLength = length;
    }
    if (bestBase != -1 && bestLength < 2) {
        bestBase = -1;
    }
    if (bestBase == 0 && bestLength >= 5 && bestLength <= 7) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (bestBase != -1 && i >= bestBase && i < bestBase + bestLength) {
            if (i == bestBase) {
                out->add(':');
            }
            continue;
        }
        if (i != 0) {
            out->add(':');
        }
        WriteHex(words[i], out);
    }
    if (bestBase != -1 && bestBase + bestLength == 8) {
        out->add(':');
    }
    return true;
}

// As WgTool writes an endpoint: "192.0.2.1:51820" or "[2001:db8::1]:51820".
Parsed Endpoint(Slice text, Text* out) {
    Slice host{nullptr, 0};
    Slice port{nullptr, 0};
    if (text.size > 0 && text.data[0] == '[') {
        const size_t close = text.find(']');
        if (close == Slice::kNone || close + 1 >= text.size || text.data[close + 1] != ':') {
            return Parsed::No;
        }
        host = text.part(1, close);
        port = text.from(close + 2);
    } else {
        const size_t colon = text.findLast(':');
        if (colon == Slice::kNone) {
            return Parsed::No;
        }
        host = text.part(0, colon);
        port = text.from(colon + 1);
    }
    uint64_t portNumber = 0;
    if (!Number(port, 65535, &portNumber)) {
        return Parsed::No;
    }
    // The C library reads a host only up to a NUL; and an IPv4 host in brackets, or an IPv6
    // one without, is rare enough to leave.
    if (host.find('\0') != Slice::kNone || (text.data[0] == '[') != (host.find(':') != Slice::kNone)) {
        return Parsed::Unsure;
    }
    uint8_t v4[4];
    uint16_t v6[8];
    if (text.data[0] != '[') {
        if (!ParseIpv4(host, v4)) {
            return Parsed::No;
        }
        WriteIpv4(v4, out);
    } else {
        const Parsed parsed = ParseIpv6(host, v6);
        if (parsed != Parsed::Yes) {
            return parsed;
        }
        // WgTool leaves a mapped IPv4 address and a link-local one to wg.
        const bool mapped =
            v6[0] == 0 && v6[1] == 0 && v6[2] == 0 && v6[3] == 0 && v6[4] == 0 && v6[5] == 0xffff;
        if (mapped || (v6[0] & 0xffc0) == 0xfe80) {
            return Parsed::No;
        }
        out->add('[');
        if (!WriteIpv6(v6, out)) {
            return Parsed::Unsure;
        }
        out->add(']');
    }
    out->add(':');
    out->number(portNumber);
    return Parsed::Yes;
}

// As WgTool writes an allowed IP: "10.0.0.0/24".
Parsed AllowedIp(Slice text, Text* out) {
    const size_t slash = text.find('/');
    if (slash == Slice::kNone) {
        return Parsed::No;
    }
    const Slice address = text.part(0, slash);
    if (address.find('\0') != Slice::kNone) {
        return Parsed::Unsure;
    }
    uint64_t prefix = 0;
    if (address.find(':') != Slice::kNone) {
        uint16_t v6[8];
        const Parsed parsed = ParseIpv6(address, v6);
        if (parsed != Parsed::Yes) {
            return parsed;
        }
        if (!Number(text.from(slash + 1), 128, &prefix)) {
            return Parsed::No;
        }
        if (!WriteIpv6(v6, out)) {
            return Parsed::Unsure;
        }
    } else {
        uint8_t v4[4];
        if (!ParseIpv4(address, v4) || !Number(text.from(slash + 1), 32, &prefix)) {
            return Parsed::No;
        }
        WriteIpv4(v4, out);
    }
    out->add('/');
    out->number(prefix);
    return Parsed::Yes;
}

void Base64(const uint8_t key[32], Text* out) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < 32; i += 3) {
        const uint32_t group = uint32_t(key[i]) << 16 | (i + 1 < 32 ? uint32_t(key[i + 1]) << 8 : 0) |
                               (i + 2 < 32 ? uint32_t(key[i + 2]) : 0);
        out->add(kDigits[(group >> 18) & 63]);
        out->add(kDigits[(group >> 12) & 63]);
        out->add(i + 1 < 32 ? kDigits[(group >> 6) & 63] : '=');
        out->add(i + 2 < 32 ? kDigits[group & 63] : '=');
    }
}

// printf's "%.2f" of count / 2^shift, the count first made a double as WgTool makes it
// (rounded to 53 bits, ties to even): the exact value rounded to hundredths, ties to even.
void Hundredths(uint64_t count, int shift, Text* out) {
    using Wide = unsigned __int128;
    Wide value = count;
    int bits = 0;
    for (uint64_t rest = count; rest != 0; rest >>= 1) {
        ++bits;
    }
    if (bits > 53) {
        const int drop = bits - 53;
        const uint64_t kept = count >> drop;
        const uint64_t rest = count & ((uint64_t(1) << drop) - 1);
        const uint64_t half = uint64_t(1) << (drop - 1);
        const uint64_t rounded = rest > half || (rest == half && (kept & 1) != 0) ? kept + 1 : kept;
        value = Wide(rounded) << drop;
    }
    const Wide scaled = value * 100;
    const Wide mask = (Wide(1) << shift) - 1;
    Wide whole = scaled >> shift;
    const Wide rest = scaled & mask;
    const Wide half = Wide(1) << (shift - 1);
    if (rest > half || (rest == half && (whole & 1) != 0)) {
        ++whole;
    }
    out->number(static_cast<uint64_t>(whole / 100));
    const unsigned cents = static_cast<unsigned>(whole % 100);
    out->add(static_cast<char>('0' + cents / 10));
    out->add(static_cast<char>('0' + cents % 10));
}

// As WgTool::Bytes: "92 B", "1.50 KiB", ...
void Bytes(uint64_t count, Text* out) {
    if (count < 1024ULL) {
        out->number(count);
        out->add(" B");
        return;
    }
    static const char* const kUnits[] = {" KiB", " MiB", " GiB", " TiB"};
    int unit = 0;
    while (unit < 3 && count >= (1024ULL << (10 * (unit + 1)))) {
        ++unit;
    }
    const int shift = 10 * (unit + 1);
    // Hundredths of the whole part and the rest, without the decimal point.
    char digits[32];
    Text number(digits, sizeof(digits));
    Hundredths(count, shift, &number);
    out->add(number.data, number.size - 2);
    out->add('.');
    out->add(number.data + number.size - 2, 2);
    out->add(kUnits[unit]);
}

// As WgTool::Duration: "1 hour, 2 seconds".
void Duration(uint64_t seconds, Text* out) {
    const uint64_t parts[] = {seconds / (365 * 24 * 3600), seconds % (365 * 24 * 3600) / (24 * 3600),
                              seconds % (24 * 3600) / 3600, seconds % 3600 / 60, seconds % 60};
    const char* const units[] = {" year", " day", " hour", " minute", " second"};
    bool first = true;
    for (int i = 0; i < 5; ++i) {
        if (parts[i] == 0) {
            continue;
        }
        if (!first) {
            out->add(", ");
        }
        first = false;
        out->number(parts[i]);
        out->add(units[i]);
        if (parts[i] != 1) {
            out->add('s');
        }
    }
}

bool Newer(const Peer* a, const Peer* b) {
    const bool aNever = a->handshakeSeconds == 0 && a->handshakeNanoseconds == 0;
    const bool bNever = b->handshakeSeconds == 0 && b->handshakeNanoseconds == 0;
    if (aNever != bNever) {
        return bNever;
    }
    if (a->handshakeSeconds != b->handshakeSeconds) {
        return a->handshakeSeconds > b->handshakeSeconds;
    }
    return a->handshakeNanoseconds > b->handshakeNanoseconds;
}

} // namespace

void Text::add(const char* bytes, size_t count) {
    if (count > capacity - size) {
        full = true;
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        data[size + i] = bytes[i];
    }
    size += count;
}

void Text::add(const char* text) {
    size_t count = 0;
    while (text[count] != '\0') {
        ++count;
    }
    add(text, count);
}

void Text::number(uint64_t value) {
    char digits[20];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        add(digits[--count]);
    }
}

Result Show(const char* reply, size_t replySize, const char* name, size_t nameSize, int64_t now,
            bool showKeys, Workspace* work, Text* out) {
    // The answer read as WgTool::ParseReply reads it.
    bool hasPrivateKey = false;
    uint8_t privateKey[32] = {};
    uint64_t listenPort = 0;
    uint64_t fwmark = 0;
    size_t peerCount = 0;
    Peer* peer = nullptr;
    Text allowed(work->allowed, sizeof(work->allowed));
    bool sawErrno = false;
    bool ended = false;
    const Slice whole{reply, replySize};
    size_t start = 0;
    while (start < replySize) {
        const size_t end = whole.find('\n', start);
        if (end == Slice::kNone) {
            return Result::Refused;
        }
        const Slice line = whole.part(start, end);
        start = end + 1;
        if (line.size == 0) {
            ended = true;
            break;
        }
        const size_t equals = line.find('=');
        if (equals == Slice::kNone) {
            return Result::Refused;
        }
        const Slice key = line.part(0, equals);
        const Slice value = line.from(equals + 1);
        uint64_t number = 0;
        if (sawErrno) {
            return Result::Refused;
        }
        if (key.is("errno")) {
            if (!Number(value, UINT64_MAX, &number) || number != 0) {
                return Result::Refused;
            }
            sawErrno = true;
        } else if (key.is("private_key") && peer == nullptr) {
            if (!KeyFromHex(value, privateKey)) {
                return Result::Refused;
            }
            hasPrivateKey = true;
        } else if (key.is("listen_port") && peer == nullptr) {
            if (!Number(value, 65535, &listenPort)) {
                return Result::Refused;
            }
        } else if (key.is("fwmark") && peer == nullptr) {
            if (!Number(value, UINT32_MAX, &fwmark)) {
                return Result::Refused;
            }
        } else if (key.is("public_key")) {
            if (peerCount == kMaxPeers) {
                return Result::Declined;
            }
            peer = &work->peers[peerCount++];
            *peer = Peer();
            peer->allowedStart = allowed.size;
            if (!KeyFromHex(value, peer->publicKey)) {
                return Result::Refused;
            }
        } else if (peer == nullptr) {
            return Result::Refused;
        } else if (key.is("preshared_key")) {
            if (!KeyFromHex(value, peer->presharedKey)) {
                return Result::Refused;
            }
            peer->hasPresharedKey = !IsZero(peer->presharedKey);
        } else if (key.is("endpoint")) {
            Text endpoint(peer->endpoint, sizeof(peer->endpoint));
            const Parsed parsed = Endpoint(value, &endpoint);
            if (parsed != Parsed::Yes) {
                return parsed == Parsed::No ? Result::Refused : Result::Declined;
            }
            if (endpoint.full) {
                return Result::Declined;
            }
            peer->endpointSize = endpoint.size;
        } else if (key.is("last_handshake_time_sec")) {
            if (!Number(value, INT64_MAX, &number)) {
                return Result::Refused;
            }
            peer->handshakeSeconds = static_cast<int64_t>(number);
        } else if (key.is("last_handshake_time_nsec")) {
            if (!Number(value, 999999999, &number)) {
                return Result::Refused;
            }
            peer->handshakeNanoseconds = static_cast<int64_t>(number);
        } else if (key.is("protocol_version")) {
            if (!Number(value, UINT64_MAX, &number)) {
                return Result::Refused;
            }
        } else if (key.is("rx_bytes")) {
            if (!Number(value, UINT64_MAX, &peer->receivedBytes)) {
                return Result::Refused;
            }
        } else if (key.is("tx_bytes")) {
            if (!Number(value, UINT64_MAX, &peer->sentBytes)) {
                return Result::Refused;
            }
        } else if (key.is("persistent_keepalive_interval")) {
            if (!Number(value, 65535, &number)) {
                return Result::Refused;
            }
            peer->keepaliveSeconds = static_cast<unsigned>(number);
        } else if (key.is("allowed_ip")) {
            // Another peer's allowed IPs may not come between (the text is one run each).
            if (peer->allowedStart + peer->allowedSize != allowed.size) {
                return Result::Declined;
            }
            const size_t before = allowed.size;
            if (peer->allowedSize > 0) {
                allowed.add(", ");
            }
            const Parsed parsed = AllowedIp(value, &allowed);
            if (parsed != Parsed::Yes) {
                return parsed == Parsed::No ? Result::Refused : Result::Declined;
            }
            if (allowed.full) {
                return Result::Declined;
            }
            peer->allowedSize += allowed.size - before;
        } else {
            return Result::Refused;
        }
    }
    if (!sawErrno || !ended) {
        return Result::Refused;
    }

    // Written as WgTool::Pretty writes it.
    out->add("interface: ");
    out->add(name, nameSize);
    out->add('\n');
    if (hasPrivateKey) {
        uint8_t publicKey[32];
        WgTool::Key secret{};
        for (size_t i = 0; i < 32; ++i) {
            secret[i] = privateKey[i];
        }
        const WgTool::Key derived = WgTool::PublicKey(secret);
        for (size_t i = 0; i < 32; ++i) {
            publicKey[i] = derived[i];
        }
        out->add("  public key: ");
        Base64(publicKey, out);
        out->add("\n  private key: ");
        if (showKeys) {
            Base64(privateKey, out);
        } else {
            out->add("(hidden)");
        }
        out->add('\n');
    }
    if (listenPort != 0) {
        out->add("  listening port: ");
        out->number(listenPort);
        out->add('\n');
    }
    if (fwmark != 0) {
        out->add("  fwmark: 0x");
        WriteHex(fwmark, out);
        out->add('\n');
    }
    if (peerCount > 0) {
        out->add('\n');
    }
    // The most recent handshake first; peers without one last, in their order (a stable
    // insertion sort).
    for (size_t i = 0; i < peerCount; ++i) {
        const Peer* next = &work->peers[i];
        size_t at = i;
        while (at > 0 && Newer(next, work->order[at - 1])) {
            work->order[at] = work->order[at - 1];
            --at;
        }
        work->order[at] = next;
    }
    for (size_t i = 0; i < peerCount; ++i) {
        const Peer& shown = *work->order[i];
        out->add("peer: ");
        Base64(shown.publicKey, out);
        out->add('\n');
        if (shown.hasPresharedKey) {
            out->add("  preshared key: ");
            if (showKeys) {
                Base64(shown.presharedKey, out);
            } else {
                out->add("(hidden)");
            }
            out->add('\n');
        }
        if (shown.endpointSize > 0) {
            out->add("  endpoint: ");
            out->add(shown.endpoint, shown.endpointSize);
            out->add('\n');
        }
        out->add("  allowed ips: ");
        if (shown.allowedSize == 0) {
            out->add("(none)");
        }
        out->add(work->allowed + shown.allowedStart, shown.allowedSize);
        out->add('\n');
        if (shown.handshakeSeconds != 0) {
            out->add("  latest handshake: ");
            if (now == shown.handshakeSeconds) {
                out->add("Now");
            } else if (now < shown.handshakeSeconds) {
                out->add("(System clock wound backward; connection problems may ensue.)");
            } else {
                Duration(static_cast<uint64_t>(now - shown.handshakeSeconds), out);
                out->add(" ago");
            }
            out->add('\n');
        }
        if (shown.receivedBytes != 0 || shown.sentBytes != 0) {
            out->add("  transfer: ");
            Bytes(shown.receivedBytes, out);
            out->add(" received, ");
            Bytes(shown.sentBytes, out);
            out->add(" sent\n");
        }
        if (shown.keepaliveSeconds != 0) {
            out->add("  persistent keepalive: every ");
            Duration(shown.keepaliveSeconds, out);
            out->add('\n');
        }
        if (i + 1 < peerCount) {
            out->add('\n');
        }
    }
    return out->full ? Result::Declined : Result::Written;
}

size_t InterfaceName(const char* tunnel, size_t size, char out[16]) {
    const Slice name{tunnel, size};
    bool usable = size > 0 && size <= 15 && !name.is(".") && !name.is("..");
    for (size_t i = 0; i < size; ++i) {
        const char c = tunnel[i];
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        usable = usable && (letterOrDigit || c == '_' || c == '=' || c == '+' || c == '.' || c == '-');
    }
    if (usable) {
        for (size_t i = 0; i < size; ++i) {
            out[i] = tunnel[i];
        }
        out[size] = '\0';
        return size;
    }
    uint8_t digest[32];
    WgTool::Sha256(reinterpret_cast<const uint8_t*>(tunnel), size, digest);
    static const char kHex[] = "0123456789abcdef";
    out[0] = 'w';
    out[1] = 'g';
    for (size_t i = 0; i < 13; ++i) {
        out[2 + i] = kHex[digest[i / 2] >> (i % 2 == 0 ? 4 : 0) & 0x0f];
    }
    out[15] = '\0';
    return 15;
}

} // namespace WgFast
