#include "link/ConnectionLinkPacket.h"

#include <algorithm>
#include <sstream>
#include <string>

ConnectionLinkPacket::ConnectionLinkPacket(char* data, unsigned int length)
    : std::deque<unsigned char>(reinterpret_cast<unsigned char*>(data),
                                reinterpret_cast<unsigned char*>(data) + length) {}

unsigned char* ConnectionLinkPacket::stream() const {
    unsigned char* bytes = new unsigned char[size()];
    std::copy(begin(), end(), bytes);
    return bytes;
}

void ConnectionLinkPacket::pack(unsigned int value, unsigned int count) {
    for (unsigned int k = 1; k <= count; ++k)
        push_back(static_cast<unsigned char>(value >> (8u * (count - k))));
}

unsigned int ConnectionLinkPacket::unpack(unsigned int count) {
    unsigned int value = 0;
    for (unsigned int k = 0; k < count && !empty(); ++k) {
        value = (value << 8) | front();
        pop_front();
    }
    return value;
}

void ConnectionLinkPacket::push_front(unsigned int value) {
    for (unsigned int shift = 0; shift < 32; shift += 8)
        push_front(static_cast<unsigned char>(value >> shift));
}

ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, unsigned char value) {
    packet.push_back(value);
    return packet;
}

ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, char value) {
    packet.push_back(static_cast<unsigned char>(value));
    return packet;
}

ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, unsigned short value) {
    packet.pack(value, 2);
    return packet;
}

ConnectionLinkPacket& operator<<(ConnectionLinkPacket& packet, unsigned int value) {
    packet.pack(value, 4);
    return packet;
}

ConnectionLinkPacket& operator<<(ConnectionLinkPacket& dst, const ConnectionLinkPacket& src) {
    if (&dst == &src) {
        // Growing the packet invalidates the iterators of its own contents.
        const ConnectionLinkPacket copy(src);
        dst.insert(dst.end(), copy.begin(), copy.end());
    } else {
        dst.insert(dst.end(), src.begin(), src.end());
    }
    return dst;
}

ConnectionLinkPacket& operator>>(ConnectionLinkPacket& packet, unsigned char& value) {
    if (packet.size() >= 1) value = static_cast<unsigned char>(packet.unpack(1));
    return packet;
}

ConnectionLinkPacket& operator>>(ConnectionLinkPacket& packet, unsigned short& value) {
    if (packet.size() >= 2) value = static_cast<unsigned short>(packet.unpack(2));
    return packet;
}

ConnectionLinkPacket& operator>>(ConnectionLinkPacket& packet, unsigned int& value) {
    if (packet.size() >= 4) value = packet.unpack(4);
    return packet;
}

ConnectionLinkPacket& operator>>(ConnectionLinkPacket& src, ConnectionLinkPacket& dst) {
    dst = src;
    src.clear();
    return src;
}

std::ostream& operator<<(std::ostream& out, const ConnectionLinkPacket& packet) {
    out << std::hex;
    for (unsigned char byte : packet)
        out << static_cast<unsigned int>(byte) << " ";
    out << "\n" << std::dec;
    return out;
}

std::istream& operator>>(std::istream& in, ConnectionLinkPacket& packet) {
    std::string line;
    // A last line without "\n" still counts: only a read that found nothing
    // leaves the packet unchanged.
    if (!std::getline(in, line)) return in;
    std::istringstream numbers(line);
    unsigned int value = 0;
    while (numbers >> std::hex >> value)
        packet.push_back(static_cast<unsigned char>(value));
    return in;
}

std::istream& operator>>(std::istream& in, std::deque<ConnectionLinkPacket>& packets) {
    for (;;) {
        in.peek();
        if (!in.good()) return in;
        ConnectionLinkPacket packet;
        in >> packet;
        packets.push_back(packet);
    }
}
