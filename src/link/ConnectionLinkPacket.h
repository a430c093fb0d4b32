#pragma once

#include <deque>
#include <istream>
#include <ostream>

// The unit every link exchanges: bytes filled at the back, consumed at the
// front. Multi-byte values travel most significant byte first.
class ConnectionLinkPacket : public std::deque<unsigned char> {
public:
    ConnectionLinkPacket() = default;
    ConnectionLinkPacket(char* data, unsigned int length);

    // A new[]-allocated copy of the bytes; the caller delete[]s it.
    unsigned char* stream() const;

    void pack(unsigned int value, unsigned int count);
    // The caller guarantees that at least count bytes are present.
    unsigned int unpack(unsigned int count);

    void push_front(unsigned char byte) { std::deque<unsigned char>::push_front(byte); }
    void push_front(char byte) { push_front(static_cast<unsigned char>(byte)); }
    void push_front(unsigned int value);
};

ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, unsigned char value);
ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, char value);
ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, unsigned short value);
ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, unsigned int value);
ConnectionLinkPacket& operator<<(ConnectionLinkPacket& dst, const ConnectionLinkPacket& src);

// Extraction is silent when the packet is too short: value and packet stay.
ConnectionLinkPacket& operator>>(ConnectionLinkPacket& packet, unsigned char& value);
ConnectionLinkPacket& operator>>(ConnectionLinkPacket& packet, unsigned short& value);
ConnectionLinkPacket& operator>>(ConnectionLinkPacket& packet, unsigned int& value);
ConnectionLinkPacket& operator>>(ConnectionLinkPacket& src, ConnectionLinkPacket& dst);

std::ostream& operator<<(std::ostream& out, const ConnectionLinkPacket& packet);
std::istream& operator>>(std::istream& in, ConnectionLinkPacket& packet);
std::istream& operator>>(std::istream& in, std::deque<ConnectionLinkPacket>& packets);
