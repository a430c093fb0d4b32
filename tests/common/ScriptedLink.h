#pragma once

#include <deque>
#include <vector>

#include "common/PacketBytes.h"
#include "link/ConnectionLinkIntf.h"

// A packet link for tests: records every packet written and every length asked
// of read, and delivers the queued packets in order; with none queued read
// gives an empty packet, as a link that timed out does.
struct ScriptedLink : ConnectionLinkIntf {
    bool write(ConnectionLinkPacket& packet) override {
        written.push_back(bytesOf(packet));
        return writeResult;
    }
    ConnectionLinkPacket read(unsigned int length) override {
        readLengths.push_back(length);
        if (queue.empty()) return ConnectionLinkPacket();
        ConnectionLinkPacket packet = queue.front();
        queue.pop_front();
        return packet;
    }
    void queueBytes(const Bytes& bytes) { queue.push_back(packetOf(bytes)); }

    std::deque<ConnectionLinkPacket> queue;
    bool writeResult = true;
    std::vector<Bytes> written;
    std::vector<unsigned int> readLengths;
};
