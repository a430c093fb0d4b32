#include "link/HdlcConnectionLink.h"

#include "link/Diagnostics.h"

HdlcConnectionLink::HdlcConnectionLink(ConnectionLinkIntf* below)
    : HdlcConnectionLink(below, Diagnostics::sink()) {}

HdlcConnectionLink::HdlcConnectionLink(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics)
    : below_(below), diagnostics_(diagnostics) {}

void HdlcConnectionLink::frame(ConnectionLinkPacket& packet) {
    ConnectionLinkPacket framed;
    framed.push_back(flag);
    for (unsigned char byte : packet) {
        if (byte == flag || byte == controlEscape) {
            framed.push_back(controlEscape);
            framed.push_back(static_cast<unsigned char>(byte ^ escapeMask));
        } else {
            framed.push_back(byte);
        }
    }
    framed.push_back(flag);
    packet.swap(framed);
}

bool HdlcConnectionLink::write(ConnectionLinkPacket& packet) {
    frame(packet);
    return writeBelow(packet);
}

bool HdlcConnectionLink::nextByte(unsigned char& byte) {
    if (pending_.empty()) {
        pending_ = below_->read(1);
        if (pending_.empty()) return false;
    }
    byte = pending_.front();
    pending_.pop_front();
    return true;
}

ConnectionLinkPacket HdlcConnectionLink::read(unsigned int) {
    unsigned int taken = 0;
    unsigned char byte = 0;
    // Counts every byte so that no stream, flags or data, keeps one call busy
    // or growing for ever.
    auto take = [&]() {
        if (taken == maxBytesPerRead) return false;
        ++taken;
        return nextByte(byte);
    };

    if (!take()) return ConnectionLinkPacket();
    while (hunting_) {
        if (byte == flag)
            hunting_ = false;
        else if (!take())
            return ConnectionLinkPacket();
    }
    while (byte == flag) {
        if (!take()) return ConnectionLinkPacket();
    }

    ConnectionLinkPacket payload;
    bool escaped = false;
    for (;;) {
        if (byte == flag) return payload;
        if (byte == controlEscape) {
            escaped = true;
        } else {
            payload.push_back(escaped ? static_cast<unsigned char>(byte ^ escapeMask) : byte);
            escaped = false;
        }
        if (taken == maxBytesPerRead) {
            // The rest of this frame is discarded by hunting for its flag.
            hunting_ = true;
            diagnostics_.line() << "HdlcConnectionLink: frame longer than " << maxBytesPerRead
                                << " bytes dropped\n";
            return ConnectionLinkPacket();
        }
        if (!take()) return ConnectionLinkPacket();
    }
}
