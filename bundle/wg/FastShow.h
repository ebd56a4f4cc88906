// "wg show INTERFACE" written from wireguard-go's answer without the C library, for the
// bundle's wg front (ShowFront.cpp), which the client runs once a second: the same text as
// WgTool::Pretty(WgTool::ParseReply(...)) writes, in fixed buffers. Whatever it does not
// write exactly as that would (an address that inet_ntop writes with an IPv4 part, more
// peers or text than the buffers hold) it declines, and the full program answers.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace WgFast {

// A text written into a caller's buffer; `full` once something did not fit.
struct Text {
    char* data;
    size_t capacity;
    size_t size = 0;
    bool full = false;

    Text(char* buffer, size_t bufferSize) : data(buffer), capacity(bufferSize) {}
    void add(const char* bytes, size_t count);
    void add(const char* text);
    void add(char c) { add(&c, 1); }
    void number(uint64_t value);
};

struct Peer {
    uint8_t publicKey[32];
    bool hasPresharedKey;
    uint8_t presharedKey[32];
    char endpoint[64];
    size_t endpointSize;
    // The peer's allowed IPs as written, joined by ", ", in the workspace's text.
    size_t allowedStart;
    size_t allowedSize;
    int64_t handshakeSeconds;
    int64_t handshakeNanoseconds;
    uint64_t receivedBytes;
    uint64_t sentBytes;
    unsigned keepaliveSeconds;
};

constexpr size_t kMaxPeers = 128;
constexpr size_t kAllowedSpace = 32 * 1024;

// Room for one answer's peers, given by the caller (a static one in the front).
struct Workspace {
    Peer peers[kMaxPeers];
    const Peer* order[kMaxPeers];
    char allowed[kAllowedSpace];
};

enum class Result {
    Written,
    // An answer that wg would show otherwise (ParseReply refuses it): the full program asks wg.
    Refused,
    // An answer this code leaves to the full program (see above).
    Declined,
};

// The block of "wg show" for wireguard-go's answer (key=value lines, "errno=0" and an empty
// line), headed by `name`, the handshake's age counted to `now`; keys hidden unless showKeys.
Result Show(const char* reply, size_t replySize, const char* name, size_t nameSize, int64_t now,
            bool showKeys, Workspace* work, Text* out);

// tunnel-name.sh's rule (as WgTool::InterfaceName): the interface name of a tunnel, at most
// 15 bytes, written into out with a NUL; its length.
size_t InterfaceName(const char* tunnel, size_t size, char out[16]);

} // namespace WgFast
