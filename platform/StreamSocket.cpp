#include "StreamSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// How long a connect waits before it tries a local listener with a full queue again.
constexpr int kQueueFullRetryMs = 10;
// How much one read takes from the socket.
constexpr size_t kReadChunk = 16384;

Clock::time_point DeadlineAfter(int timeLimitMs) {
    return Clock::now() + std::chrono::milliseconds(timeLimitMs);
}

// Milliseconds left until the deadline, rounded up; 0 once it has passed.
int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void CloseDescriptor(int descriptor) {
    // Linux releases the descriptor even when close reports EINTR: it is not closed twice.
    if (descriptor >= 0) {
        close(descriptor);
    }
}

} // namespace

int PollFor(int descriptor, short events, int timeLimitMs) {
    const Clock::time_point deadline = DeadlineAfter(timeLimitMs < 0 ? 0 : timeLimitMs);
    int wait = timeLimitMs;
    while (true) {
        pollfd entry{descriptor, events, 0};
        const int result = poll(&entry, 1, wait);
        if (result > 0) {
            return entry.revents;
        }
        if (result == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
        if (timeLimitMs >= 0) {
            wait = MsLeft(deadline);
        }
    }
}

StreamSocket::StreamSocket(int connected) : descriptor(connected) {
    if (descriptor < 0) {
        return;
    }
    const int statusFlags = fcntl(descriptor, F_GETFL);
    const int descriptorFlags = fcntl(descriptor, F_GETFD);
    if (statusFlags < 0 || descriptorFlags < 0 || fcntl(descriptor, F_SETFL, statusFlags | O_NONBLOCK) != 0 ||
        fcntl(descriptor, F_SETFD, descriptorFlags | FD_CLOEXEC) != 0) {
        Fail(errno);
    }
}

StreamSocket::~StreamSocket() {
    Close();
}

StreamSocket::StreamSocket(StreamSocket&& other) noexcept
    : descriptor(other.descriptor), error(other.error), unsent(std::move(other.unsent)) {
    other.descriptor = -1;
    other.unsent.clear();
}

StreamSocket& StreamSocket::operator=(StreamSocket&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor = other.descriptor;
        error = other.error;
        unsent = std::move(other.unsent);
        other.descriptor = -1;
        other.unsent.clear();
    }
    return *this;
}

void StreamSocket::Close() {
    CloseDescriptor(descriptor);
    descriptor = -1;
    unsent.clear();
}

void StreamSocket::Fail(int code) {
    Close();
    error = code;
}

bool StreamSocket::ConnectLocal(const std::string& path, int timeLimitMs) {
    Close();
    error = 0;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        Fail(ENAMETOOLONG);
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // connect() would follow a link: only a socket file itself is connected to.
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        Fail(errno);
        return false;
    }
    if (!S_ISSOCK(info.st_mode)) {
        Fail(ENOTSOCK);
        return false;
    }
    return Connect(AF_UNIX, &address, sizeof(address), timeLimitMs);
}

bool StreamSocket::ConnectTcp(const char* text, int port, int timeLimitMs) {
    Close();
    error = 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (text == nullptr || inet_pton(AF_INET, text, &address.sin_addr) != 1) {
        Fail(EINVAL);
        return false;
    }
    return Connect(AF_INET, &address, sizeof(address), timeLimitMs);
}

bool StreamSocket::Connect(int domain, const void* address, unsigned length, int timeLimitMs) {
    descriptor = socket(domain, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) {
        Fail(errno);
        return false;
    }
    const Clock::time_point deadline = DeadlineAfter(timeLimitMs);
    while (true) {
        if (connect(descriptor, static_cast<const sockaddr*>(address), length) == 0) {
            return true;
        }
        const int code = errno;
        if (code == EAGAIN) {
            // A local listener whose queue of waiting connections is full: tried again
            // shortly, until the time limit.
            const int left = MsLeft(deadline);
            if (left == 0) {
                Fail(ETIMEDOUT);
                return false;
            }
            poll(nullptr, 0, left < kQueueFullRetryMs ? left : kQueueFullRetryMs);
            continue;
        }
        if (code != EINPROGRESS && code != EALREADY && code != EINTR) {
            Fail(code);
            return false;
        }
        // The connection is being made: it is done when the socket can be written.
        const int events = PollFor(descriptor, POLLOUT, MsLeft(deadline));
        if (events < 0) {
            Fail(errno);
            return false;
        }
        if (events == 0) {
            Fail(ETIMEDOUT);
            return false;
        }
        int result = 0;
        socklen_t size = sizeof(result);
        if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &result, &size) != 0) {
            Fail(errno);
            return false;
        }
        if (result != 0) {
            Fail(result);
            return false;
        }
        return true;
    }
}

bool StreamSocket::Send(const char* data, size_t size) {
    if (!IsOpen()) {
        return false;
    }
    unsent.append(data, size);
    return SendQueued();
}

bool StreamSocket::SendQueued() {
    size_t sent = 0;
    while (IsOpen() && sent < unsent.size()) {
        const ssize_t n = send(descriptor, unsent.data() + sent, unsent.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        }
        Fail(errno);
        return false;
    }
    if (!IsOpen()) {
        return false;
    }
    unsent.erase(0, sent);
    return true;
}

bool StreamSocket::WaitSent(int timeLimitMs) {
    const Clock::time_point deadline = DeadlineAfter(timeLimitMs);
    while (true) {
        if (!SendQueued()) {
            return false;
        }
        if (unsent.empty()) {
            return true;
        }
        const int left = MsLeft(deadline);
        if (left == 0) {
            return false;
        }
        const int events = PollFor(descriptor, POLLOUT, left);
        if (events < 0) {
            Fail(errno);
            return false;
        }
        if (events == 0) {
            return false;
        }
    }
}

bool StreamSocket::WaitReadable(int timeLimitMs) {
    if (!IsOpen()) {
        return false;
    }
    const int events = PollFor(descriptor, POLLIN, timeLimitMs);
    if (events < 0) {
        Fail(errno);
        return false;
    }
    return events != 0;
}

std::string StreamSocket::ReadAvailable() {
    std::string text;
    char buffer[kReadChunk];
    while (IsOpen() && text.size() < kReadLimit) {
        const size_t want =
            kReadLimit - text.size() < sizeof(buffer) ? kReadLimit - text.size() : sizeof(buffer);
        const ssize_t n = recv(descriptor, buffer, want, 0);
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) {
            // The peer's end.
            Fail(0);
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail(errno);
        }
        break;
    }
    return text;
}
