#include "link/RequestResponseLink.h"

ConnectionLinkPacket RequestResponseLink::transfer(ConnectionLinkPacket& request,
                                                   unsigned int replyLength) {
    // A request that could not be sent gets no reply: waiting for one would
    // only add the read time-out.
    if (!link_->write(request)) return ConnectionLinkPacket();
    return link_->read(replyLength);
}

void RequestResponseLink::transfer(const unsigned char* request, std::size_t length,
                                   unsigned int replyLength, std::vector<unsigned char>& reply) {
    if (!link_->writeBytes(request, length)) {
        reply.clear();
        return;
    }
    link_->readInto(replyLength, reply);
}
