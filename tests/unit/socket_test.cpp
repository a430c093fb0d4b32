// Sockets, descriptors and the TCP link on loopback connections over
// ephemeral ports; the generic descriptor operations on a scripted descriptor.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/LoopbackPeer.h"
#include "common/PacketBytes.h"
#include "common/Thrown.h"
#include "link/TCPDescriptor.h"
#include "link/TCPSocket.h"
#include "link/TcpConnectionLink.h"

namespace {

using morvek::FileDescriptor;
using std::chrono::milliseconds;
const std::string refusedPrefix = "TCPSocket::connect failed : ";

// A TCP socket bound to an ephemeral loopback port, with its buffers shrunk
// to about `buffer` bytes when asked (before any connection).
int boundSocket(unsigned short& port, int buffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (buffer != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind a loopback port");
    port = ntohs(address.sin_port);
    return fd;
}

// A connection over loopback: a descriptor at one end, a plain socket at the
// other, both with shrunk buffers when asked.
struct Connection {
    explicit Connection(int buffer = 0) {
        unsigned short port = 0, unused = 0;
        const int listening = boundSocket(port, buffer);
        const int client = boundSocket(unused, buffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::listen(listening, 1) != 0 ||
            ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            (peer = ::accept(listening, nullptr, nullptr)) < 0)
            throw std::runtime_error("cannot connect over loopback");
        ::close(listening);
        descriptor.reset(new morvek::TCPDescriptor(static_cast<unsigned int>(client)));
    }
    ~Connection() { ::close(peer); }
    void send(const std::string& bytes) { ::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    int peer = -1;
    std::unique_ptr<morvek::TCPDescriptor> descriptor;
};

TEST(TcpDescriptor, ATimedOutReadIsFalseAndTheConnectionStaysUsable) {
    Connection c;
    char buffer[4] = {};
    EXPECT_TRUE(c.descriptor->readn(buffer, 0));
    EXPECT_TRUE(c.descriptor->writen(buffer, 0));
    c.descriptor->setReadTimeoutMilli(50);
    c.send("\x01\x02");
    EXPECT_FALSE(c.descriptor->readn(buffer, 4));
    EXPECT_EQ(std::string(buffer, 2), "\x01\x02");
    c.send("wxyz");
    EXPECT_TRUE(c.descriptor->readn(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "wxyz");
}

TEST(TcpDescriptor, WithoutATimeOutAReadWaitsForAllBytes) {
    LoopbackPeer peer;
    peer.send({'a'}).pause(milliseconds(100)).send({'b', 'c'});
    morvek::TCPSocket socket;
    std::unique_ptr<morvek::TCPDescriptor> d(socket.connect("127.0.0.1", peer.port()));
    char buffer[3];
    EXPECT_TRUE(d->readn(buffer, 3));
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST(TcpDescriptor, TheEndOfTheStreamIsReadableAndAReadError) {
    Connection c;
    EXPECT_FALSE(c.descriptor->canRead());
    c.send("\x07\x08\x09");
    ::shutdown(c.peer, SHUT_WR);
    char buffer[4] = {};
    EXPECT_EQ(c.descriptor->readSome(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_TRUE(c.descriptor->canRead());
    c.descriptor->setReadTimeout(1);
    EXPECT_EQ(messageOf<FileDescriptor::ReadError>([&] { c.descriptor->readn(buffer, 4); }),
              "TCPDescriptor readn failed");
    EXPECT_TRUE(c.descriptor->canRead());
    EXPECT_EQ(messageOf<FileDescriptor::ReadError>([&] { c.descriptor->readSome(buffer, 4); }),
              "FileDescriptor readSome failed");
}

TEST(TcpDescriptor, AWriteTimesOutWithFalseWhenThePeerDoesNotRead) {
    Connection c(4096); // small buffers at both ends
    c.descriptor->setWriteTimeoutMilli(50);
    const std::string chunk(1 << 20, 'x');
    int written = 0; // far below the bound whatever the kernel's defaults
    while (written < 64 && c.descriptor->writen(chunk.data(), chunk.size()))
        ++written;
    EXPECT_LT(written, 64);
}

TEST(TcpDescriptor, WritingToAGonePeerIsAWriteError) {
    Connection c;
    ::close(c.peer);
    c.peer = -1;
    const std::string chunk(65536, 'w');
    std::string message = "no exception"; // the first writes may still be buffered
    for (int attempt = 0; attempt < 100 && message == "no exception"; ++attempt)
        message = messageOf<FileDescriptor::WriteError>(
            [&] { c.descriptor->writen(chunk.data(), chunk.size()); });
    EXPECT_EQ(message, "TCPDescriptor write failed");
}

// A descriptor over strings; a read beyond the input is a time-out.
struct ScriptedDescriptor : FileDescriptor {
    bool readn(char* buffer, unsigned int length) override {
        readLengths.push_back(length);
        if (input.size() < length) return false;
        input.copy(buffer, length);
        input.erase(0, length);
        return true;
    }
    bool writen(const char* buffer, unsigned int length) override {
        if (writable) output.append(buffer, length);
        return writable;
    }
    std::string input, output;
    std::vector<unsigned int> readLengths;
    bool writable = true;
    unsigned int readTimeout() const { return readTimeoutMilli_; }
    unsigned int writeTimeout() const { return writeTimeoutMilli_; }
};

TEST(FileDescriptor, TimeOutsAreKeptInMilliseconds) {
    ScriptedDescriptor d;
    d.setTimeout(2);
    EXPECT_EQ(d.readTimeout(), 2000u);
    EXPECT_EQ(d.writeTimeout(), 2000u);
    d.setTimeoutMilli(75);
    EXPECT_EQ(d.readTimeout(), 75u);
    EXPECT_EQ(d.writeTimeout(), 75u);
}

TEST(FileDescriptor, StringsHaveABigEndianLengthAndAreReadInChunks) {
    ScriptedDescriptor d;
    EXPECT_TRUE(d.writeString(std::string(65535, 'x')));
    EXPECT_EQ(d.output, "\xFF\xFF" + std::string(65535, 'x'));
    EXPECT_EQ(messageOf<FileDescriptor::Exception>([&] { d.writeString(std::string(65536, 'x')); }),
              "string too long for FileDescriptor::writeString");
    d.writable = false;
    EXPECT_FALSE(d.writeString("lost"));

    std::string body(10000, 'a');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 26);
    d.input = std::string("\x27\x10", 2) + body; // 10000
    std::string s = "old";
    EXPECT_TRUE(d.readString(s));
    EXPECT_EQ(s, body);
    EXPECT_EQ(d.readLengths, (std::vector<unsigned int>{2, 4090, 4090, 1820}));
    d.input = std::string("\x00\x00", 2);
    EXPECT_TRUE(d.readString(s));
    EXPECT_EQ(s, "");
    d.input = std::string("\x10\x00", 2) + std::string(4090, 'q'); // 4096, then silence
    EXPECT_FALSE(d.readString(s));
    EXPECT_EQ(s, std::string(4090, 'q'));
    EXPECT_FALSE(d.readString(s)); // not even a length
}

TEST(FileDescriptor, LinesKeepTheirEndAndAreLimited) {
    ScriptedDescriptor d;
    d.input = "ab\ncd";
    std::string s;
    EXPECT_TRUE(d.readLine(s));
    EXPECT_EQ(s, "ab\n");
    EXPECT_FALSE(d.readLine(s));
    d.input = std::string(65534, 'l') + "\n";
    EXPECT_TRUE(d.readLine(s));
    EXPECT_EQ(s.size(), 65535u);
    d.input = std::string(65535, 'l') + "\n";
    EXPECT_EQ(messageOf<FileDescriptor::ReadError>([&] { d.readLine(s); }),
              "FileDescriptor readLine line too long");
    EXPECT_TRUE(d.writeLine("no end added"));
    EXPECT_EQ(d.output, "no end added");
}

TEST(TcpSocket, ConnectAndAcceptFailuresAreSocketExceptions) {
    unsigned short port = 0;
    const int bound = boundSocket(port); // bound, not listening: refused
    morvek::TCPSocket socket;
    const std::string refused =
        messageOf<morvek::TCPSocket::Exception>([&] { delete socket.connect("127.0.0.1", port); });
    ::close(bound);
    EXPECT_EQ(refused.rfind(refusedPrefix, 0), 0u) << refused;
    EXPECT_GT(refused.size(), refusedPrefix.size());
    EXPECT_EQ(messageOf<morvek::TCPSocket::Exception>(
                  [&] { delete socket.connect("127.0.0.1", "no-such-service-tolmaren"); }),
              "getaddrinfo failed in TCPSocket::connect");
    EXPECT_EQ(messageOf<morvek::TCPSocket::Exception>(
                  [&] { delete socket.accept("no-such-service-tolmaren"); }),
              "getaddrinfo failed in TCPSocket::accept");
}

TEST(TcpSocket, AcceptKeepsOneListeningSocketPerService) {
    unsigned short first = 0, second = 0;
    ::close(boundSocket(first)); // ports that were free a moment ago
    ::close(boundSocket(second));
    morvek::TCPSocket server, other, client;
    server.setAcceptTimeout(1);
    other.setAcceptTimeout(1);
    EXPECT_EQ(messageOf<morvek::TCPSocket::Timeout>([&] { delete server.accept(first); }),
              "TCPSocket accept timeout");
    EXPECT_EQ(messageOf<morvek::TCPSocket::PortInUse>([&] { delete other.accept(first); }),
              "bind failed in TCPSocket::accept");

    // The listening socket outlived the time-out: a connection made now
    // waits on it for the next accept of the same service.
    std::unique_ptr<morvek::TCPDescriptor> out(client.connect("127.0.0.1", first));
    std::unique_ptr<morvek::TCPDescriptor> in(server.accept(std::to_string(first)));
    ASSERT_TRUE(out->writen("ping", 4));
    char buffer[4];
    ASSERT_TRUE(in->readn(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "ping");

    // Another service replaces it.
    EXPECT_THROW(delete server.accept(second), morvek::TCPSocket::Timeout);
    EXPECT_EQ(messageOf<morvek::TCPSocket::Exception>([&] {
                  delete client.connect("127.0.0.1", first);
              }).rfind(refusedPrefix, 0),
              0u);
}

TEST(TcpLink, MovesThePacketsBytesExactly) {
    LoopbackPeer peer;
    peer.awaitReceived(3).send({0x10}).pause(milliseconds(100)).send({0x20, 0x30});
    testing::internal::CaptureStderr();
    TcpConnectionLink link("127.0.0.1", peer.port());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TcpConnectionLink\n");
    ConnectionLinkPacket empty, packet = packetOf({0x7E, 0x00, 0xFF});
    EXPECT_TRUE(link.write(empty));
    EXPECT_TRUE(link.write(packet));
    EXPECT_EQ(bytesOf(packet), (Bytes{0x7E, 0x00, 0xFF}));
    ASSERT_TRUE(peer.waitForReceived(3));
    EXPECT_EQ(peer.received(), (Bytes{0x7E, 0x00, 0xFF}));
    EXPECT_TRUE(link.read(0).empty());
    EXPECT_EQ(bytesOf(link.read(3)), (Bytes{0x10, 0x20, 0x30})); // in two pieces
}

TEST(TcpLink, ASilentPeerGivesAnEmptyPacketAfterOneSecond) {
    LoopbackPeer peer;
    TcpConnectionLink link("127.0.0.1", peer.port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(link.read(1).empty());
    // Only a lower bound: a wait never ends before its time-out.
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(950));
}

TEST(TcpLink, AClosedPeerIsAReadErrorAndARefusedPortThrowsQuietly) {
    LoopbackPeer peer;
    peer.closeConnection();
    TcpConnectionLink link("127.0.0.1", peer.port());
    EXPECT_THROW(link.read(1), FileDescriptor::ReadError);

    unsigned short port = 0;
    const int bound = boundSocket(port);
    testing::internal::CaptureStderr();
    const std::string message = messageOf<morvek::TCPSocket::Exception>(
        [&] { TcpConnectionLink refused("127.0.0.1", port); });
    ::close(bound);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(message.rfind(refusedPrefix, 0), 0u) << message;
}

} // namespace
