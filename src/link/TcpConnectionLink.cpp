#include "link/TcpConnectionLink.h"

#include "link/Diagnostics.h"

TcpConnectionLink::TcpConnectionLink(const std::string& host, unsigned short port)
    : TcpConnectionLink(host, port, Diagnostics::sink()) {}

TcpConnectionLink::TcpConnectionLink(const std::string& host, unsigned short port,
                                     DiagnosticsSink& diagnostics)
    : connection_(socket_.connect(host, port)) {
    connection_->setTimeout(1);
    diagnostics.line() << "TcpConnectionLink\n";
}

TcpConnectionLink::~TcpConnectionLink() {
    connection_->close();
}

bool TcpConnectionLink::write(ConnectionLinkPacket& packet) {
    const std::unique_ptr<unsigned char[]> bytes(packet.stream());
    return connection_->writen(reinterpret_cast<const char*>(bytes.get()),
                               static_cast<unsigned int>(packet.size()));
}

ConnectionLinkPacket TcpConnectionLink::read(unsigned int length) {
    const std::unique_ptr<char[]> bytes(new char[length]);
    if (!connection_->readn(bytes.get(), length)) return ConnectionLinkPacket();
    return ConnectionLinkPacket(bytes.get(), length);
}
