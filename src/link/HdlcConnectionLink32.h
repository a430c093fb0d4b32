#pragma once

#include "link/Diagnostics.h"
#include "link/HdlcConnectionLink.h"

// The framing the basestation expects: every outgoing frame is padded with
// further flags to a whole number of 32-bit words. Receives like its base.
class HdlcConnectionLink32 : public HdlcConnectionLink {
public:
    // Takes ownership of the link below.
    explicit HdlcConnectionLink32(ConnectionLinkIntf* below)
        : HdlcConnectionLink32(below, Diagnostics::sink()) {}
    HdlcConnectionLink32(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics)
        : HdlcConnectionLink(below, diagnostics, 4) {}
};
