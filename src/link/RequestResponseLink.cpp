#include "link/RequestResponseLink.h"

ConnectionLinkPacket RequestResponseLink::transfer(ConnectionLinkPacket& request,
                                                   unsigned int replyLength) {
    // A request that could not be sent gets no reply: waiting for one would
    // only add the read time-out.
    if (!link_->write(request)) return ConnectionLinkPacket();
    return link_->read(replyLength);
}
