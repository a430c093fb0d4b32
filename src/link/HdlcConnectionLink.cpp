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

// The link below hands over the bytes up to each flag at once, so a reply
// costs a few calls and bytes after a frame's closing flag stay below for the
// next read.
ConnectionLinkPacket HdlcConnectionLink::read(unsigned int) {
    // Counts every byte so that no stream, flags or data, keeps one call busy
    // or growing for ever.
    unsigned int taken = 0;
    bool started = false; // a byte other than a flag came since the hunt ended
    bool escaped = false;
    ConnectionLinkPacket payload;
    for (;;) {
        const ConnectionLinkPacket bytes = below_->readUntil(flag, maxBytesPerRead - taken);
        if (bytes.empty()) return ConnectionLinkPacket();
        taken += static_cast<unsigned int>(bytes.size());
        for (unsigned char byte : bytes) {
            if (hunting_) {
                hunting_ = byte != flag;
            } else if (byte == flag) {
                if (started) return payload;
            } else if (byte == controlEscape) {
                started = escaped = true;
            } else {
                started = true;
                payload.push_back(escaped ? static_cast<unsigned char>(byte ^ escapeMask) : byte);
                escaped = false;
            }
        }
        if (taken >= maxBytesPerRead) {
            if (started) {
                // The rest of this frame is discarded by hunting for its flag.
                hunting_ = true;
                diagnostics_.line() << "HdlcConnectionLink: frame longer than " << maxBytesPerRead
                                    << " bytes dropped\n";
            }
            return ConnectionLinkPacket();
        }
    }
}
