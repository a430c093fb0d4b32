#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

#include "link/ConnectionLinkIntf.h"

// A packet link for tests: records every packet written and every length
// asked of read, and delivers queued packets in order. When the queue is
// empty a source, if set, makes the next packet; otherwise read gives an
// empty packet, as a link that timed out does.
class ScriptedLink : public ConnectionLinkIntf {
public:
    using Bytes = std::vector<unsigned char>;

    // Set to true by the destructor, to see who deletes the link.
    explicit ScriptedLink(bool* destroyed = nullptr) : destroyed_(destroyed) {}
    ~ScriptedLink() override;

    bool write(ConnectionLinkPacket& packet) override;
    ConnectionLinkPacket read(unsigned int length) override;

    // One packet per byte, as a byte stream read one byte at a time.
    void queueBytes(const Bytes& bytes);
    // One packet holding all the bytes (an empty one reads as a time-out).
    void queuePacket(const Bytes& bytes);
    void setSource(std::function<ConnectionLinkPacket()> source) { source_ = std::move(source); }
    // What write reports.
    void setWriteResult(bool result) { writeResult_ = result; }

    const std::vector<Bytes>& written() const { return written_; }
    const std::vector<unsigned int>& readLengths() const { return readLengths_; }
    std::size_t packetsDelivered() const { return delivered_; }

private:
    bool* destroyed_;
    std::deque<ConnectionLinkPacket> queue_;
    std::function<ConnectionLinkPacket()> source_;
    bool writeResult_ = true;
    std::vector<Bytes> written_;
    std::vector<unsigned int> readLengths_;
    std::size_t delivered_ = 0;
};
