#include "link/TcpConnectionLink.h"

#include <algorithm>
#include <cstring>

#include "link/Diagnostics.h"

TcpConnectionLink::TcpConnectionLink(const std::string& host, unsigned short port)
    : TcpConnectionLink(host, port, Diagnostics::sink()) {}

TcpConnectionLink::TcpConnectionLink(const std::string& host, unsigned short port,
                                     DiagnosticsSink& diagnostics)
    : connection_(socket_.connect(host, port)), buffer_(new char[receiveBufferSize]) {
    start(diagnostics);
}

TcpConnectionLink::TcpConnectionLink(morvek::FileDescriptor* connection)
    : connection_(connection), buffer_(new char[receiveBufferSize]) {
    start(Diagnostics::sink());
}

void TcpConnectionLink::start(DiagnosticsSink& diagnostics) {
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

bool TcpConnectionLink::writeBytes(const unsigned char* bytes, std::size_t length) {
    return connection_->writen(reinterpret_cast<const char*>(bytes),
                               static_cast<unsigned int>(length));
}

bool TcpConnectionLink::fill() {
    begin_ = 0;
    end_ = connection_->readAvailable(buffer_.get(), receiveBufferSize);
    return end_ != 0;
}

ConnectionLinkPacket TcpConnectionLink::read(unsigned int length) {
    ConnectionLinkPacket packet;
    while (packet.size() < length) {
        if (begin_ == end_ && !fill()) return ConnectionLinkPacket();
        const unsigned int count =
            std::min(length - static_cast<unsigned int>(packet.size()), end_ - begin_);
        packet.insert(packet.end(), buffer_.get() + begin_, buffer_.get() + begin_ + count);
        begin_ += count;
    }
    return packet;
}

unsigned int TcpConnectionLink::takeUntil(unsigned char delimiter, unsigned int maxLength,
                                          char*& first) {
    if (maxLength == 0 || (begin_ == end_ && !fill())) return 0;
    first = buffer_.get() + begin_;
    const unsigned int available = std::min(maxLength, end_ - begin_);
    const void* found = std::memchr(first, delimiter, available);
    const unsigned int count =
        found != nullptr ? static_cast<unsigned int>(static_cast<const char*>(found) - first) + 1
                         : available;
    begin_ += count;
    return count;
}

ConnectionLinkPacket TcpConnectionLink::readUntil(unsigned char delimiter, unsigned int maxLength) {
    char* first = nullptr;
    const unsigned int count = takeUntil(delimiter, maxLength, first);
    if (count == 0) return ConnectionLinkPacket();
    return ConnectionLinkPacket(first, count);
}

unsigned int TcpConnectionLink::readUntilInto(unsigned char delimiter, unsigned char* bytes,
                                              unsigned int maxLength) {
    char* first = nullptr;
    const unsigned int count = takeUntil(delimiter, maxLength, first);
    if (count != 0) std::memcpy(bytes, first, count);
    return count;
}
