// Sockets, descriptors and the TCP link over loopback on ephemeral ports; the
// generic descriptor operations on a scripted descriptor.
#include <gtest/gtest.h>

#include "common/LoopbackPeer.h"
#include "common/PacketBytes.h"
#include "link/TcpConnectionLink.h"

using morvek::FileDescriptor;
using Descriptor = std::unique_ptr<morvek::TCPDescriptor>;
static const std::string refused = "TCPSocket::connect failed : ";

// A loopback port that was free a moment ago.

TEST(TcpDescriptor, ReadsTimeOutWithFalseOrWaitForAllBytesAndTheEndOfTheStreamFails) {
    LoopbackPeer peer;
    const Descriptor d(morvek::TCPSocket().connect("127.0.0.1", peer.port()));
    char buffer[65536] = {};
    EXPECT_TRUE(d->readn(buffer, 0));
    EXPECT_FALSE(d->canRead());
    d->setReadTimeoutMilli(50);
    EXPECT_FALSE(d->readn(buffer, 4));
    d->setReadTimeoutMilli(0);            // no limit, and the connection is still usable
    const std::string big(32 << 20, 'w'); // more than the buffers hold: writes wait
    d->setWriteTimeoutMilli(1000);
    EXPECT_TRUE(d->writen(big.data(), big.size()));
    EXPECT_TRUE(peer.waitForReceived(big.size()));
    peer.send({'a'}).pause(std::chrono::milliseconds(100)).send({'b', 'c', 'd', 7, 8, 9});
    peer.closeConnection();
    EXPECT_TRUE(d->readn(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(d->readSome(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_TRUE(d->canRead());
    d->setTimeout(1);
    EXPECT_EQ(messageOf<FileDescriptor::ReadError>([&] { d->readn(buffer, 4); }),
              "TCPDescriptor readn failed");
    EXPECT_TRUE(d->canRead());
    EXPECT_EQ(messageOf<FileDescriptor::ReadError>([&] { d->readSome(buffer, 4); }),
              "FileDescriptor readSome failed");
    std::string message = "no exception"; // the first writes may still be taken
    for (int attempt = 0; attempt < 100 && message == "no exception"; ++attempt)
        message = messageOf<FileDescriptor::WriteError>([&] { d->writen(buffer, 65536); });
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
        output.append(writable ? std::string(buffer, length) : "");
        return writable;
    }
    std::string input, output;
    std::vector<unsigned int> readLengths;
    bool writable = true;
    std::pair<unsigned int, unsigned int> timeouts() const {
        return {readTimeoutMilli_, writeTimeoutMilli_};
    }
};

TEST(FileDescriptor, TimeOutsInMillisecondsStringsInChunksLinesWithTheirEnd) {
    ScriptedDescriptor d;
    d.setTimeout(2);
    EXPECT_EQ(d.timeouts(), std::make_pair(2000u, 2000u));
    d.setTimeoutMilli(75);
    EXPECT_EQ(d.timeouts(), std::make_pair(75u, 75u));
    std::string s = "old", body(10000, 'a');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 26);
    EXPECT_TRUE(d.writeString(body) && d.writeString("") && d.writeString(std::string(65535, 'x')));
    EXPECT_TRUE(d.writeLine("no end added"));
    EXPECT_EQ(d.output, "\x27\x10" + body + std::string(2, '\0') + "\xFF\xFF" +
                            std::string(65535, 'x') + "no end added");
    EXPECT_EQ(messageOf<FileDescriptor::Exception>([&] { d.writeString(std::string(65536, 'x')); }),
              "string too long for FileDescriptor::writeString");
    d.writable = false;
    EXPECT_FALSE(d.writeString("lost"));
    d.input = d.output.substr(0, 10004) + "\x10"; // 10000, 0, half a length
    EXPECT_TRUE(d.readString(s));
    EXPECT_EQ(s, body);
    EXPECT_EQ(d.readLengths, (std::vector<unsigned int>{2, 4090, 4090, 1820}));
    EXPECT_TRUE(d.readString(s));
    EXPECT_EQ(s, "");
    EXPECT_FALSE(d.readString(s));
    d.input = std::string("\x10\x00", 2) + std::string(4090, 'q'); // 4096, then silence
    EXPECT_FALSE(d.readString(s));
    EXPECT_EQ(s, std::string(4090, 'q'));

    d.input = "ab\ncd";
    EXPECT_TRUE(d.readLine(s));
    EXPECT_EQ(s, "ab\n");
    EXPECT_FALSE(d.readLine(s));
    d.input = std::string(65534, 'l') + "\n" + std::string(65535, 'l') + "\n";
    EXPECT_TRUE(d.readLine(s));
    EXPECT_EQ(s.size(), 65535u);
    EXPECT_EQ(messageOf<FileDescriptor::ReadError>([&] { d.readLine(s); }),
              "FileDescriptor readLine line too long");
}

TEST(TcpSocket, AcceptKeepsOneListeningSocketPerServiceAndFailuresThrow) {
    auto freePort = [] { return LoopbackPeer().port(); }; // free a moment ago
    const unsigned short first = freePort(), second = freePort();
    morvek::TCPSocket server, client;
    const std::string message = messageOf<morvek::TCPSocket::Exception>(
        [&] { delete client.connect("127.0.0.1", second); });
    EXPECT_EQ(message.rfind(refused, 0), 0u) << message;
    EXPECT_EQ(messageOf<morvek::TCPSocket::Exception>(
                  [&] { delete client.connect("127.0.0.1", "no-such-service-tolmaren"); }),
              "getaddrinfo failed in TCPSocket::connect");
    EXPECT_EQ(messageOf<morvek::TCPSocket::Exception>(
                  [&] { delete server.accept("no-such-service-tolmaren"); }),
              "getaddrinfo failed in TCPSocket::accept");

    server.setAcceptTimeout(1);
    EXPECT_EQ(messageOf<morvek::TCPSocket::Timeout>([&] { delete server.accept(first); }),
              "TCPSocket accept timeout");
    // The listening socket outlives a time-out and an accept: connections
    // made now wait on it for the next accepts of the same service.
    const Descriptor out(client.connect("127.0.0.1", first)),
        out2(client.connect("127.0.0.1", first));
    delete server.accept(std::to_string(first));
    delete server.accept(first);
    // Another service replaces it.
    EXPECT_THROW(delete server.accept(second), morvek::TCPSocket::Timeout);
    EXPECT_THROW(delete client.connect("127.0.0.1", first), morvek::TCPSocket::Exception);
}

// A peer that neither sends nor reads.
TEST(TcpLink, ReadsGiveAnEmptyPacketAfterOneSecondAndWritesFalseOnceTheBuffersAreFull) {
    LoopbackPeer peer;
    peer.pause(std::chrono::minutes(1));
    TcpConnectionLink link("127.0.0.1", peer.port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(link.read(1).empty());
    // Only a lower bound: a wait never ends before its time-out.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
    const ConnectionLinkPacket chunk = packetOf(Bytes(1 << 20, 0x55));
    int written = 0; // far below the bound, whatever the kernel's buffer sizes
    for (ConnectionLinkPacket packet = chunk; written < 128 && link.write(packet); packet = chunk)
        ++written;
    EXPECT_LT(written, 128);
}
