// Sockets and descriptors against loopback peers on ephemeral ports, the
// generic descriptor operations on a scripted descriptor, and the TCP link.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/LoopbackPeer.h"
#include "link/TCPDescriptor.h"
#include "link/TCPSocket.h"
#include "link/TcpConnectionLink.h"

namespace {

using Bytes = LoopbackPeer::Bytes;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

template <typename F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

std::unique_ptr<morvek::TCPDescriptor> connectTo(const LoopbackPeer& peer) {
    morvek::TCPSocket socket;
    return std::unique_ptr<morvek::TCPDescriptor>(socket.connect("127.0.0.1", peer.port()));
}

// A socket bound to a loopback port but not listening: connecting to that
// port is refused, and no other test can take the port meanwhile.
class RefusingPort {
public:
    RefusingPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot bind a loopback port");
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd_); }
    unsigned short port() const { return port_; }

private:
    int fd_ = -1;
    unsigned short port_ = 0;
};

// A port of the wildcard address that was free a moment ago.
unsigned short freeWildcardPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A descriptor over byte queues, recording the lengths asked of readn; a
// read beyond the queued input is a time-out.
class ScriptedDescriptor : public morvek::FileDescriptor {
public:
    std::string input;
    std::string output;
    std::vector<unsigned int> readLengths;
    std::vector<std::string> setterCalls;

    bool readn(char* buffer, unsigned int length) override {
        readLengths.push_back(length);
        if (input.size() < length) return false;
        input.copy(buffer, length);
        input.erase(0, length);
        return true;
    }
    bool writen(const char* buffer, unsigned int length) override {
        output.append(buffer, length);
        return true;
    }
    void setReadTimeout(unsigned int s) override {
        setterCalls.push_back("read");
        FileDescriptor::setReadTimeout(s);
    }
    void setWriteTimeout(unsigned int s) override {
        setterCalls.push_back("write");
        FileDescriptor::setWriteTimeout(s);
    }
    unsigned int readTimeout() const { return readTimeoutMilli_; }
    unsigned int writeTimeout() const { return writeTimeoutMilli_; }
};

TEST(FileDescriptor, TimeoutsAreStoredInMilliseconds) {
    ScriptedDescriptor d;
    EXPECT_EQ(d.readTimeout(), 0u);
    EXPECT_EQ(d.writeTimeout(), 0u);
    d.setTimeout(2);
    EXPECT_EQ(d.readTimeout(), 2000u);
    EXPECT_EQ(d.writeTimeout(), 2000u);
    EXPECT_EQ(d.setterCalls, (std::vector<std::string>{"read", "write"}));
    d.setTimeoutMilli(75);
    EXPECT_EQ(d.readTimeout(), 75u);
    EXPECT_EQ(d.writeTimeout(), 75u);
    d.setWriteTimeoutMilli(5);
    EXPECT_EQ(d.readTimeout(), 75u);
    EXPECT_EQ(d.writeTimeout(), 5u);
}

TEST(FileDescriptor, BasePrimitivesAreUnreachable) {
    morvek::FileDescriptor d;
    char buffer[1];
    EXPECT_EQ(messageOf([&] { d.readn(buffer, 1); }), "unreachable code");
    EXPECT_EQ(messageOf([&] { d.writen(buffer, 1); }), "unreachable code");
    EXPECT_EQ(messageOf([&] { d.readSome(buffer, 1); }), "unreachable code");
    EXPECT_EQ(messageOf([&] { d.canRead(); }), "unreachable code");
    EXPECT_THROW(d.canRead(), std::logic_error);
    d.close();
}

TEST(FileDescriptor, StringsCarryABigEndianLengthAndAreReadInChunks) {
    ScriptedDescriptor d;
    EXPECT_TRUE(d.writeString(std::string(65535, 'x')));
    ASSERT_EQ(d.output.size(), 65537u);
    EXPECT_EQ(d.output.substr(0, 2), "\xFF\xFF");
    EXPECT_THROW(d.writeString(std::string(65536, 'x')), morvek::FileDescriptor::Exception);
    EXPECT_EQ(messageOf([&] { d.writeString(std::string(65536, 'x')); }),
              "string too long for FileDescriptor::writeString");
    EXPECT_EQ(d.output.size(), 65537u);

    std::string body(10000, 'a');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 26);
    d.input = std::string("\x27\x10", 2) + body; // 0x2710 = 10000
    std::string s = "old";
    EXPECT_TRUE(d.readString(s));
    EXPECT_EQ(s, body);
    EXPECT_EQ(d.readLengths, (std::vector<unsigned int>{2, 4090, 4090, 1820}));

    d.input = std::string("\x00\x00", 2);
    EXPECT_TRUE(d.readString(s));
    EXPECT_EQ(s, "");

    // A pause after the first chunk: false, with that chunk kept.
    d.input = std::string("\x10\x00", 2) + std::string(4090, 'q');
    EXPECT_FALSE(d.readString(s));
    EXPECT_EQ(s, std::string(4090, 'q'));
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
    EXPECT_EQ(messageOf([&] { d.readLine(s); }), "FileDescriptor readLine line too long");
    d.input = std::string(65536, 'l');
    EXPECT_THROW(d.readLine(s), morvek::FileDescriptor::ReadError);

    d.output.clear();
    EXPECT_TRUE(d.writeLine("no end added"));
    EXPECT_EQ(d.output, "no end added");
}

TEST(TcpDescriptor, ZeroLengthTransfersDoNotTouchTheSocket) {
    LoopbackPeer peer;
    auto d = connectTo(peer);
    char buffer[1] = {'z'};
    EXPECT_TRUE(d->readn(buffer, 0));
    EXPECT_TRUE(d->writen(buffer, 0));
    d->close();
    // Closed: any real transfer now fails, a zero-length one still does not.
    EXPECT_TRUE(d->readn(buffer, 0));
    EXPECT_THROW(d->readn(buffer, 1), morvek::FileDescriptor::ReadError);
    EXPECT_THROW(d->writen(buffer, 1), morvek::FileDescriptor::WriteError);
}

TEST(TcpDescriptor, ReadTimeoutGivesFalseAndTheConnectionStaysUsable) {
    LoopbackPeer peer;
    peer.send({0x01, 0x02});
    auto d = connectTo(peer);
    d->setReadTimeoutMilli(50);
    char buffer[4] = {};
    const auto start = Clock::now();
    EXPECT_FALSE(d->readn(buffer, 4));
    const long long waited = msSince(start);
    EXPECT_GE(waited, 45);
    EXPECT_LT(waited, 900);
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x02);

    peer.send({0x0A, 0x0B, 0x0C, 0x0D});
    EXPECT_TRUE(d->readn(buffer, 4));
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0x0A, 0x0B, 0x0C, 0x0D}));
}

TEST(TcpDescriptor, WithoutTimeoutReadWaitsForTheData) {
    LoopbackPeer peer;
    peer.pause(milliseconds(150)).send({'a'}).pause(milliseconds(50)).send({'b', 'c'});
    auto d = connectTo(peer);
    char buffer[3];
    const auto start = Clock::now();
    EXPECT_TRUE(d->readn(buffer, 3));
    EXPECT_GE(msSince(start), 190);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST(TcpDescriptor, PeerClosingIsAReadError) {
    LoopbackPeer peer;
    peer.send({1, 2}).closeConnection();
    auto d = connectTo(peer);
    d->setReadTimeout(1);
    char buffer[4];
    EXPECT_EQ(messageOf([&] { d->readn(buffer, 4); }), "TCPDescriptor readn failed");

    LoopbackPeer other;
    other.send({7}).closeConnection();
    auto e = connectTo(other);
    EXPECT_EQ(e->readSome(buffer, 4), 1u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(messageOf([&] { e->readSome(buffer, 4); }), "FileDescriptor readSome failed");
}

TEST(TcpDescriptor, CanReadReportsWaitingDataAndEndOfStream) {
    LoopbackPeer peer;
    auto d = connectTo(peer);
    EXPECT_FALSE(d->canRead());
    peer.send({0x42});
    const auto start = Clock::now();
    while (!d->canRead() && msSince(start) < 2000) {
    }
    char byte = 0;
    ASSERT_EQ(d->readSome(&byte, 1), 1u);
    EXPECT_EQ(byte, 0x42);
    EXPECT_FALSE(d->canRead());
    peer.closeConnection();
    ASSERT_TRUE(peer.waitForScript());
    const auto closing = Clock::now();
    while (!d->canRead() && msSince(closing) < 2000) {
    }
    EXPECT_TRUE(d->canRead());
}

TEST(TcpDescriptor, WritesWholeBuffersAndReportsAGonePeer) {
    LoopbackPeer peer;
    auto d = connectTo(peer);
    EXPECT_TRUE(d->writeString(std::string(65535, 's')));
    ASSERT_TRUE(peer.waitForReceived(65537));
    const Bytes got = peer.received();
    EXPECT_EQ(got[0], 0xFF);
    EXPECT_EQ(got[1], 0xFF);
    EXPECT_EQ(got[65536], 's');

    peer.closeConnection();
    ASSERT_TRUE(peer.waitForScript());
    // The first writes may still be buffered; a closed peer must end in a
    // WriteError, never in a signal.
    std::string message;
    const std::string chunk(65536, 'w');
    for (int attempt = 0; attempt < 100 && message.empty(); ++attempt) {
        try {
            d->writen(chunk.data(), static_cast<unsigned int>(chunk.size()));
        } catch (const morvek::FileDescriptor::WriteError& e) {
            message = e.what();
        }
    }
    EXPECT_EQ(message, "TCPDescriptor write failed");
}

TEST(TcpDescriptor, WriteTimeoutGivesFalseWhenThePeerDoesNotRead) {
    LoopbackPeer peer;
    peer.pause(milliseconds(60000));
    auto d = connectTo(peer);
    d->setWriteTimeoutMilli(50);
    // Far more than the loopback buffers hold.
    const std::vector<char> lots(32u << 20, 'x');
    EXPECT_FALSE(d->writen(lots.data(), static_cast<unsigned int>(lots.size())));
}

TEST(TcpSocket, ConnectFailuresAreSocketExceptions) {
    morvek::TCPSocket socket;
    RefusingPort refusing;
    const std::string refused = messageOf([&] { socket.connect("127.0.0.1", refusing.port()); });
    EXPECT_EQ(refused.rfind("TCPSocket::connect failed : ", 0), 0u) << refused;
    EXPECT_GT(refused.size(), std::string("TCPSocket::connect failed : ").size());
    EXPECT_THROW(socket.connect("127.0.0.1", refusing.port()), morvek::TCPSocket::Exception);

    EXPECT_EQ(messageOf([&] { socket.connect("127.0.0.1", "no-such-service-tolmaren"); }),
              "getaddrinfo failed in TCPSocket::connect");
    EXPECT_EQ(messageOf([&] { socket.accept("no-such-service-tolmaren"); }),
              "getaddrinfo failed in TCPSocket::accept");
}

TEST(TcpSocket, AcceptKeepsItsListeningSocketPerService) {
    const unsigned short first = freeWildcardPort();
    morvek::TCPSocket server;
    server.setAcceptTimeout(1);
    const auto start = Clock::now();
    EXPECT_THROW(server.accept(first), morvek::TCPSocket::Timeout);
    EXPECT_GE(msSince(start), 900);

    // The listening socket outlived the time-out: a connection made now is
    // queued on it and taken by the next accept of the same service.
    morvek::TCPSocket client;
    std::unique_ptr<morvek::TCPDescriptor> out(client.connect("127.0.0.1", first));
    std::unique_ptr<morvek::TCPDescriptor> in(server.accept(std::to_string(first)));
    ASSERT_TRUE(out->writen("ping", 4));
    char buffer[4];
    ASSERT_TRUE(in->readn(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "ping");

    // Another service replaces the listening socket.
    const unsigned short second = freeWildcardPort();
    auto accepted = std::async(std::launch::async, [&] { return server.accept(second); });
    std::unique_ptr<morvek::TCPDescriptor> out2;
    for (int attempt = 0; attempt < 100 && !out2; ++attempt) {
        try {
            out2.reset(client.connect("127.0.0.1", second));
        } catch (const morvek::TCPSocket::Exception&) {
            std::this_thread::sleep_for(milliseconds(10));
        }
    }
    ASSERT_TRUE(out2);
    std::unique_ptr<morvek::TCPDescriptor> in2(accepted.get());
    EXPECT_NE(in2, nullptr);
    EXPECT_THROW(client.connect("127.0.0.1", first), morvek::TCPSocket::Exception);
}

TEST(TcpSocket, BusyPortIsPortInUse) {
    // Hold the port on both wildcard addresses.
    const int v4 = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(v4, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(v4, 1), 0);
    ::getsockname(v4, reinterpret_cast<sockaddr*>(&address), &length);
    const unsigned short port = ntohs(address.sin_port);
    const int v6 = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (v6 >= 0) {
        const int on = 1;
        ::setsockopt(v6, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address6{};
        address6.sin6_family = AF_INET6;
        address6.sin6_port = htons(port);
        if (::bind(v6, reinterpret_cast<sockaddr*>(&address6), sizeof address6) == 0)
            ::listen(v6, 1);
    }

    morvek::TCPSocket server;
    server.setAcceptTimeout(1);
    EXPECT_EQ(messageOf([&] { server.accept(port); }), "bind failed in TCPSocket::accept");
    EXPECT_THROW(server.accept(port), morvek::TCPSocket::PortInUse);
    ::close(v4);
    if (v6 >= 0) ::close(v6);
}

TEST(TcpLink, MovesPacketBytesExactly) {
    LoopbackPeer peer;
    peer.awaitReceived(3).send({0x10}).pause(milliseconds(100)).send({0x20, 0x30});
    testing::internal::CaptureStderr();
    TcpConnectionLink link("127.0.0.1", peer.port());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TcpConnectionLink\n");

    ConnectionLinkPacket empty;
    EXPECT_TRUE(link.write(empty));
    ConnectionLinkPacket packet;
    packet << static_cast<unsigned char>(0x7E) << static_cast<unsigned char>(0x00)
           << static_cast<unsigned char>(0xFF);
    EXPECT_TRUE(link.write(packet));
    EXPECT_EQ(packet.size(), 3u);
    ASSERT_TRUE(peer.waitForReceived(3));
    EXPECT_EQ(peer.received(), (Bytes{0x7E, 0x00, 0xFF}));

    EXPECT_TRUE(link.read(0).empty());
    // The bytes come in two pieces; both pauses are within the time-out.
    const ConnectionLinkPacket reply = link.read(3);
    EXPECT_EQ(Bytes(reply.begin(), reply.end()), (Bytes{0x10, 0x20, 0x30}));
}

TEST(TcpLink, SilentPeerGivesAnEmptyPacketAfterOneSecond) {
    LoopbackPeer peer;
    TcpConnectionLink link("127.0.0.1", peer.port());
    const auto start = Clock::now();
    EXPECT_TRUE(link.read(1).empty());
    const long long waited = msSince(start);
    EXPECT_GE(waited, 950);
    EXPECT_LT(waited, 2500);
}

TEST(TcpLink, ClosedPeerIsAReadErrorAndARefusedPortThrowsQuietly) {
    LoopbackPeer peer;
    peer.closeConnection();
    TcpConnectionLink link("127.0.0.1", peer.port());
    EXPECT_THROW(link.read(1), morvek::FileDescriptor::ReadError);

    RefusingPort refusing;
    testing::internal::CaptureStderr();
    const std::string message =
        messageOf([&] { TcpConnectionLink failed("127.0.0.1", refusing.port()); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(message.rfind("TCPSocket::connect failed : ", 0), 0u) << message;
}

} // namespace
