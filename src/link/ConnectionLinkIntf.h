#pragma once

#include "link/ConnectionLinkPacket.h"

// A link that moves whole packets. Links stack: each wraps the one below.
// Time-outs are results (false, an empty packet); failures are exceptions.
class ConnectionLinkIntf {
public:
    virtual ~ConnectionLinkIntf() = default;
    // True when sent, false on a time-out. Framing links rewrite the packet.
    virtual bool write(ConnectionLinkPacket& packet) = 0;
    // An empty packet means nothing arrived in time; what the argument means
    // is up to each link.
    virtual ConnectionLinkPacket read(unsigned int length) = 0;
};
