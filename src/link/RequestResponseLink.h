#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "link/ConnectionLinkIntf.h"

// Transactions on a packet link: the reply to a request is the next packet
// the link delivers, so requests and replies must strictly alternate.
class RequestResponseLink {
public:
    // Takes ownership of the link below.
    explicit RequestResponseLink(ConnectionLinkIntf* link) : link_(link) {}
    RequestResponseLink(const RequestResponseLink&) = delete;
    RequestResponseLink& operator=(const RequestResponseLink&) = delete;

    // Sends the request (which the link may rewrite in place) and returns the
    // reply; empty when none arrived in time or the request could not be sent.
    ConnectionLinkPacket transfer(ConnectionLinkPacket& request, unsigned int replyLength);
    // The same for a request in contiguous memory, which stays as it is; the
    // reply goes into `reply` (replaced).
    void transfer(const unsigned char* request, std::size_t length, unsigned int replyLength,
                  std::vector<unsigned char>& reply);
    // The next packet without sending anything, for a caller that drops
    // replies it no longer waits for; empty when none arrived in time.
    ConnectionLinkPacket receive(unsigned int replyLength) { return link_->read(replyLength); }

private:
    std::unique_ptr<ConnectionLinkIntf> link_;
};
