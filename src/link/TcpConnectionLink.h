#pragma once

#include <memory>
#include <string>

#include "link/ConnectionLinkIntf.h"
#include "link/DiagnosticsSink.h"
#include "link/TCPDescriptor.h"
#include "link/TCPSocket.h"

// The bottom of the configuration link: the bytes of packets over one TCP
// connection, every wait bounded by 1 second.
class TcpConnectionLink : public ConnectionLinkIntf {
public:
    // Throws morvek::TCPSocket::Exception when the connection fails. The
    // line announcing the link goes to the process-wide diagnostics sink, or
    // to the one given.
    TcpConnectionLink(const std::string& host, unsigned short port);
    TcpConnectionLink(const std::string& host, unsigned short port, DiagnosticsSink& diagnostics);
    ~TcpConnectionLink() override;
    TcpConnectionLink(const TcpConnectionLink&) = delete;
    TcpConnectionLink& operator=(const TcpConnectionLink&) = delete;

    bool write(ConnectionLinkPacket& packet) override;
    // Exactly length bytes, or an empty packet when the data stops for 1 s.
    ConnectionLinkPacket read(unsigned int length) override;

private:
    morvek::TCPSocket socket_;
    std::unique_ptr<morvek::TCPDescriptor> connection_;
};
