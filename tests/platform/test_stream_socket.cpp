// StreamSocket and LocalSocketServer: what a connect finds at the path or the port, sends
// the kernel takes only in part, reads that come in pieces, a peer that goes away, time
// limits that run out, and what the local server does with something at its path.
#include "LocalSocketServer.h"
#include "PlatformTestSupport.h"
#include "StreamSocket.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace platformtest;

namespace {

// A descriptor closed at the end of the scope.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int value = -1) : fd(value) {}
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// An AF_UNIX listener bound at the path with the given queue, or -1.
int ListenAt(const std::string& path, int queue) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, queue) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

// A TCP listener on a free loopback port with the given queue; the port in *port.
int ListenOnLoopback(int queue, int* port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, queue) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// A connected AF_UNIX pair: the first end for the StreamSocket, the second for the test.
bool Pair(int ends[2]) {
    return socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0;
}

// Reads from a blocking descriptor until `size` bytes or the end.
std::string ReadBytes(int fd, size_t size) {
    std::string got;
    char buffer[65536];
    while (got.size() < size) {
        const ssize_t n = read(fd, buffer, std::min(sizeof(buffer), size - got.size()));
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

class StreamSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        // A signal that reached the process would end the test: a send must never raise it.
        previousPipe = signal(SIGPIPE, SIG_DFL);
    }
    void TearDown() override { signal(SIGPIPE, previousPipe); }
    std::string Path(const char* name) const {
        return folder.filePath(QString::fromLatin1(name)).toStdString();
    }

    QTemporaryDir folder;
    void (*previousPipe)(int) = nullptr;
};

TEST_F(StreamSocketTest, ALocalConnectReachesOnlyASocketFileWithALiveListener) {
    const std::string target = Path("listener");
    Descriptor listener(ListenAt(target, 8));
    ASSERT_GE(listener.fd, 0);
    // A listener that takes one waiting connection and no more, and has one already.
    const std::string full = Path("full");
    Descriptor fullListener(ListenAt(full, 0));
    ASSERT_GE(fullListener.fd, 0);
    StreamSocket waiting;
    ASSERT_TRUE(waiting.ConnectLocal(full, 5000));

    // Each case puts something at a fresh path and names the path to connect to.
    const struct {
        const char* name;
        std::function<std::string(const std::string&)> place;
        int error;
    } cases[] = {
        {"nothing", [](const std::string& path) { return path; }, ENOENT},
        {"plain file",
         [](const std::string& path) {
             Descriptor file(open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
             return file.fd >= 0 ? path : std::string();
         },
         ENOTSOCK},
        {"folder",
         [](const std::string& path) { return mkdir(path.c_str(), 0700) == 0 ? path : std::string(); },
         ENOTSOCK},
        {"link to a live socket",
         [&](const std::string& path) {
             return symlink(target.c_str(), path.c_str()) == 0 ? path : std::string();
         },
         ENOTSOCK},
        {"socket file nobody listens on",
         [](const std::string& path) {
             Descriptor fd(ListenAt(path, 1));
             return fd.fd >= 0 ? path : std::string();
         },
         ECONNREFUSED},
        {"listener with a full queue", [&](const std::string&) { return full; }, ETIMEDOUT},
        {"path longer than a socket address",
         [&](const std::string&) { return Path(std::string(120, 'x').c_str()); }, ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.place(Path(c.name));
        ASSERT_FALSE(path.empty());
        StreamSocket socket;
        EXPECT_FALSE(socket.ConnectLocal(path, 200));
        EXPECT_FALSE(socket.IsOpen());
        EXPECT_EQ(socket.Error(), c.error) << std::strerror(socket.Error());
    }
    // The link led nowhere: the live listener has nobody waiting.
    EXPECT_EQ(PollFor(listener.fd, POLLIN, 0), 0);
    StreamSocket direct;
    EXPECT_TRUE(direct.ConnectLocal(target, 5000));
    EXPECT_EQ(direct.Error(), 0);
}

TEST_F(StreamSocketTest, ATcpConnectReportsRefusalBadAddressAndItsTimeLimit) {
    int port = 0;
    // A loopback listener that has one connection waiting and drops further attempts.
    Descriptor full(ListenOnLoopback(0, &port));
    ASSERT_GE(full.fd, 0);
    StreamSocket first;
    ASSERT_TRUE(first.ConnectTcp("127.0.0.1", port, 5000));
    ASSERT_GT(PollFor(full.fd, POLLIN, 5000), 0) << "the first connection waits to be taken";
    int freePort = 0;
    {
        Descriptor closed(ListenOnLoopback(1, &freePort));
        ASSERT_GE(closed.fd, 0);
    }
    const struct {
        const char* address;
        int port;
        int error;
    } cases[] = {
        {"127.0.0.1", freePort, ECONNREFUSED},
        {"localhost", port, EINVAL},
        {"127.0.0.1", port, ETIMEDOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + ":" + std::to_string(c.port));
        StreamSocket socket;
        EXPECT_FALSE(socket.ConnectTcp(c.address, c.port, 300));
        EXPECT_FALSE(socket.IsOpen());
        EXPECT_EQ(socket.Error(), c.error) << std::strerror(socket.Error());
    }
}

TEST_F(StreamSocketTest, WhatTheKernelDoesNotTakeStaysQueuedInOrderUntilTheWaitSendsIt) {
    int ends[2];
    ASSERT_TRUE(Pair(ends));
    StreamSocket socket(ends[0]);
    Descriptor peer(ends[1]);
    std::string data(8 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 + i / 4096);
    }
    ASSERT_TRUE(socket.Send(data.data(), data.size() / 2));
    EXPECT_GT(socket.Unsent(), 0u) << "a peer that does not read leaves the rest queued";
    ASSERT_TRUE(socket.Send(data.data() + data.size() / 2, data.size() - data.size() / 2));
    // The time limit runs out while nobody reads; the connection stays and keeps its queue.
    EXPECT_FALSE(socket.WaitSent(50));
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_EQ(socket.Error(), 0);
    EXPECT_GT(socket.Unsent(), 0u);

    std::string received;
    std::thread reader([&] { received = ReadBytes(peer.fd, data.size()); });
    EXPECT_TRUE(socket.WaitSent(60000));
    reader.join();
    EXPECT_EQ(socket.Unsent(), 0u);
    EXPECT_TRUE(received == data) << "sent " << data.size() << " bytes, received " << received.size();
}

TEST_F(StreamSocketTest, ReadsTakeWhatHasArrivedAndTheEndClosesAfterTheLastBytes) {
    int ends[2];
    ASSERT_TRUE(Pair(ends));
    StreamSocket socket(ends[0]);
    Descriptor peer(ends[1]);
    // Nothing has come: no wait, and the time limit of a wait runs out.
    EXPECT_EQ(socket.ReadAvailable(), "");
    EXPECT_FALSE(socket.WaitReadable(20));
    EXPECT_TRUE(socket.IsOpen());

    std::string all;
    for (const char* piece : {"SUCCESS: nclients=0,bytes", "in=48,", "bytesout=64\r\n"}) {
        ASSERT_EQ(write(peer.fd, piece, std::strlen(piece)), static_cast<ssize_t>(std::strlen(piece)));
        ASSERT_TRUE(socket.WaitReadable(5000));
        const std::string got = socket.ReadAvailable();
        EXPECT_EQ(got, piece);
        all += got;
    }
    EXPECT_EQ(all, "SUCCESS: nclients=0,bytesin=48,bytesout=64\r\n");

    // The last bytes and the end arrive together: the bytes are read, then the socket is
    // closed without an error.
    ASSERT_EQ(write(peer.fd, "END\r\n", 5), 5);
    close(peer.fd);
    peer.fd = -1;
    ASSERT_TRUE(socket.WaitReadable(5000));
    EXPECT_EQ(socket.ReadAvailable(), "END\r\n");
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.Error(), 0);
    EXPECT_EQ(socket.ReadAvailable(), "");
    EXPECT_FALSE(socket.WaitReadable(0));
    EXPECT_FALSE(socket.Send("x", 1));
}

TEST_F(StreamSocketTest, APeerThatHasGoneFailsTheSendWithoutASignal) {
    // A local peer: the first send fails at once.
    int ends[2];
    ASSERT_TRUE(Pair(ends));
    StreamSocket local(ends[0]);
    close(ends[1]);
    EXPECT_FALSE(local.Send("load-stats\n", 11));
    EXPECT_FALSE(local.IsOpen());
    EXPECT_EQ(local.Error(), EPIPE);

    // A TCP peer: the first send may still be taken; the reset makes a later one fail.
    int port = 0;
    Descriptor listener(ListenOnLoopback(1, &port));
    ASSERT_GE(listener.fd, 0);
    StreamSocket remote;
    ASSERT_TRUE(remote.ConnectTcp("127.0.0.1", port, 5000));
    close(accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
    EXPECT_TRUE(WaitUntil([&] { return !remote.Send("load-stats\n", 11); }, 10000));
    EXPECT_FALSE(remote.IsOpen());
    EXPECT_TRUE(remote.Error() == EPIPE || remote.Error() == ECONNRESET) << std::strerror(remote.Error());
    EXPECT_FALSE(remote.WaitSent(100));
}

TEST_F(StreamSocketTest, TheLocalServerLeavesWhatIsAtItsPathAndRemovesOnlyTheEntry) {
    const std::string elsewhere = Path("elsewhere");
    {
        Descriptor file(open(elsewhere.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        ASSERT_GE(file.fd, 0);
        ASSERT_EQ(write(file.fd, "keep", 4), 4);
    }
    const struct {
        const char* name;
        std::function<bool(const std::string&)> make;
        bool removable;
    } cases[] = {
        {"stale socket",
         [](const std::string& path) {
             Descriptor fd(ListenAt(path, 1));
             return fd.fd >= 0;
         },
         true},
        {"link to a file",
         [&](const std::string& path) { return symlink(elsewhere.c_str(), path.c_str()) == 0; }, true},
        {"dangling link",
         [&](const std::string& path) { return symlink(Path("missing").c_str(), path.c_str()) == 0; }, true},
        {"plain file",
         [](const std::string& path) {
             Descriptor file(open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
             return file.fd >= 0;
         },
         true},
        {"folder", [](const std::string& path) { return mkdir(path.c_str(), 0700) == 0; }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(c.name);
        ASSERT_TRUE(c.make(path));
        struct stat before;
        ASSERT_EQ(lstat(path.c_str(), &before), 0);
        LocalSocketServer server;
        EXPECT_EQ(server.listen(path), LocalSocketServer::ListenResult::AddressInUse);
        EXPECT_FALSE(server.isListening());
        EXPECT_EQ(server.error(), EADDRINUSE);
        struct stat after;
        ASSERT_EQ(lstat(path.c_str(), &after), 0) << "a failed listen removes nothing";
        EXPECT_EQ(after.st_ino, before.st_ino);

        EXPECT_EQ(LocalSocketServer::removeSocketFile(path), c.removable);
        if (c.removable) {
            EXPECT_EQ(server.listen(path), LocalSocketServer::ListenResult::Listening);
            ASSERT_EQ(lstat(path.c_str(), &after), 0);
            EXPECT_TRUE(S_ISSOCK(after.st_mode));
            server.stop();
            EXPECT_FALSE(Exists(path)) << "stopping removes the socket file";
        }
    }
    EXPECT_EQ(ReadText(elsewhere), "keep") << "what a link pointed to is left alone";
}

TEST_F(StreamSocketTest, TheLocalServerHandsOverEachConnectionInOrderOnTheEventLoop) {
    const std::string path = Path("instance");
    std::vector<std::string> heard;
    {
        LocalSocketServer server;
        ASSERT_EQ(server.listen(path), LocalSocketServer::ListenResult::Listening);
        QObject::connect(&server, &LocalSocketServer::newConnection, [&] {
            StreamSocket connection = server.nextConnection();
            ASSERT_TRUE(connection.IsOpen());
            // A peer that sends nothing: the wait runs out, the connection is dropped.
            connection.WaitReadable(200);
            heard.push_back(connection.ReadAvailable());
        });
        StreamSocket first;
        StreamSocket second;
        StreamSocket silent;
        ASSERT_TRUE(first.ConnectLocal(path, 500));
        ASSERT_TRUE(first.Send("first", 5));
        ASSERT_TRUE(second.ConnectLocal(path, 500));
        ASSERT_TRUE(second.Send("second", 6));
        ASSERT_TRUE(silent.ConnectLocal(path, 500));
        EXPECT_TRUE(QTest::qWaitFor([&] { return heard.size() == 3; }, 20000));
        EXPECT_FALSE(server.nextConnection().IsOpen()) << "none is left waiting";
        // The server has closed each connection it handled.
        ASSERT_TRUE(first.WaitReadable(5000));
        EXPECT_EQ(first.ReadAvailable(), "");
        EXPECT_FALSE(first.IsOpen());
        EXPECT_TRUE(Exists(path));
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "second", ""}));
    EXPECT_FALSE(Exists(path)) << "the destructor removes the socket file";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
