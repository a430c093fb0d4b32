#pragma once

#include "link/HdlcConnectionLink.h"

// The framing the basestation expects: every outgoing frame is padded with
// further flags to a whole number of 32-bit words. Receives like its base.
class HdlcConnectionLink32 : public HdlcConnectionLink {
public:
    // Takes ownership of the link below.
    explicit HdlcConnectionLink32(ConnectionLinkIntf* below) : HdlcConnectionLink(below) {}
    HdlcConnectionLink32(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics)
        : HdlcConnectionLink(below, diagnostics) {}

    bool write(ConnectionLinkPacket& packet) override;
};
