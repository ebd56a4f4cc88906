// StreamSocket: one connected stream socket on POSIX calls, for the client's two local
// conversations: the single-instance socket (AF_UNIX, in the run folder) and openvpn's
// management interface (TCP on 127.0.0.1). The descriptor is close-on-exec and
// non-blocking; every wait is a poll() with a time limit, resumed with what is left of
// the limit when a signal interrupts it; sends use MSG_NOSIGNAL, so that a peer that has
// gone gives an error and never SIGPIPE.
//
// What a send cannot hand to the kernel at once stays queued in the object, in order, and
// goes with the next send or wait. The first failure (the peer's end, a reset, a refused
// or timed-out connect) closes the socket and is kept in Error().
#pragma once

#include <cstddef>
#include <string>

class StreamSocket {
public:
    StreamSocket() = default;
    // Takes over a connected descriptor (made non-blocking and close-on-exec here).
    explicit StreamSocket(int descriptor);
    ~StreamSocket();
    StreamSocket(StreamSocket&& other) noexcept;
    StreamSocket& operator=(StreamSocket&& other) noexcept;
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    // Drops any earlier connection and connects to the AF_UNIX socket file at path within
    // timeLimitMs (a listener whose queue is full is tried again until then). Anything at
    // the path that is not a socket, a link included, is not connected to (ENOTSOCK).
    bool ConnectLocal(const std::string& path, int timeLimitMs);
    // Drops any earlier connection and connects to an IPv4 address in dotted form and a
    // port within timeLimitMs.
    bool ConnectTcp(const char* address, int port, int timeLimitMs);

    // True while connected: no failure and no end from the peer seen yet.
    bool IsOpen() const { return descriptor >= 0; }
    // The errno of the failure that closed the socket (ETIMEDOUT for a connect's time
    // limit), 0 after the peer's orderly end or while open.
    int Error() const { return error; }

    // Queues the bytes and sends as much of the queue as the socket takes now, without
    // waiting. False when the socket is closed or closes on this send.
    bool Send(const char* data, size_t size);
    // Waits at most timeLimitMs until the whole queue has been sent. False at the time
    // limit (the rest stays queued and the socket open) or when the socket closes.
    bool WaitSent(int timeLimitMs);
    // Bytes queued and not yet handed to the kernel.
    size_t Unsent() const { return unsent.size(); }

    // Waits at most timeLimitMs until something can be read or the peer has ended.
    bool WaitReadable(int timeLimitMs);
    // Everything that has arrived and was not read before, without waiting (at most
    // kReadLimit bytes at once). The peer's end or an error closes the socket after what
    // arrived before it has been read.
    std::string ReadAvailable();
    static constexpr size_t kReadLimit = 1 << 20;

    // Closes the socket; what is still queued is dropped.
    void Close();

private:
    bool Connect(int domain, const void* address, unsigned length, int timeLimitMs);
    bool SendQueued();
    void Fail(int code);

    int descriptor = -1;
    int error = 0;
    std::string unsent;
};

// Waits until the descriptor has one of the poll events or timeLimitMs has passed
// (negative: no limit); a signal does not cut the wait short. The events that came, 0 at
// the time limit, -1 with errno on failure.
int PollFor(int descriptor, short events, int timeLimitMs);
