#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "link/ConnectionLinkIntf.h"
#include "link/DiagnosticsSink.h"
#include "link/TCPDescriptor.h"
#include "link/TCPSocket.h"

// The bottom of the configuration link: the bytes of packets over one TCP
// connection, every wait bounded by 1 second. Each receive takes what the
// connection holds, up to the size of a buffer the link keeps for its whole
// life; reads are served from that buffer, and what a read leaves stays for
// the next one.
class TcpConnectionLink : public ConnectionLinkIntf {
public:
    static constexpr unsigned int receiveBufferSize = 1u << 16;

    // Throws morvek::TCPSocket::Exception when the connection fails. The
    // line announcing the link goes to the process-wide diagnostics sink, or
    // to the one given.
    TcpConnectionLink(const std::string& host, unsigned short port);
    TcpConnectionLink(const std::string& host, unsigned short port, DiagnosticsSink& diagnostics);
    // Over a connection that is already open; takes ownership of it.
    explicit TcpConnectionLink(morvek::FileDescriptor* connection);
    ~TcpConnectionLink() override;
    TcpConnectionLink(const TcpConnectionLink&) = delete;
    TcpConnectionLink& operator=(const TcpConnectionLink&) = delete;

    bool write(ConnectionLinkPacket& packet) override;
    bool writeBytes(const unsigned char* bytes, std::size_t length) override;
    // Exactly length bytes, or an empty packet when the data stops for 1 s
    // (the bytes received until then are dropped).
    ConnectionLinkPacket read(unsigned int length) override;
    ConnectionLinkPacket readUntil(unsigned char delimiter, unsigned int maxLength) override;
    unsigned int readUntilInto(unsigned char delimiter, unsigned char* bytes,
                               unsigned int maxLength) override;

private:
    void start(DiagnosticsSink& diagnostics);
    // Refills the empty buffer with one receive; false when nothing arrives
    // for 1 s.
    bool fill();
    // Takes the bytes readUntil() delivers out of the buffer: their count
    // (0 when none came), the first at `first`.
    unsigned int takeUntil(unsigned char delimiter, unsigned int maxLength, char*& first);

    morvek::TCPSocket socket_;
    std::unique_ptr<morvek::FileDescriptor> connection_;
    const std::unique_ptr<char[]> buffer_;
    // The bytes received and not yet read: [begin_, end_) of buffer_.
    unsigned int begin_ = 0;
    unsigned int end_ = 0;
};
