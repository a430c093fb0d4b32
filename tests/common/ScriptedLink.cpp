#include "common/ScriptedLink.h"

ScriptedLink::~ScriptedLink() {
    if (destroyed_ != nullptr) *destroyed_ = true;
}

bool ScriptedLink::write(ConnectionLinkPacket& packet) {
    written_.emplace_back(packet.begin(), packet.end());
    return writeResult_;
}

ConnectionLinkPacket ScriptedLink::read(unsigned int length) {
    readLengths_.push_back(length);
    ConnectionLinkPacket packet;
    if (!queue_.empty()) {
        packet = std::move(queue_.front());
        queue_.pop_front();
    } else if (source_) {
        packet = source_();
    }
    if (!packet.empty()) ++delivered_;
    return packet;
}

void ScriptedLink::queueBytes(const Bytes& bytes) {
    for (unsigned char byte : bytes) {
        ConnectionLinkPacket packet;
        packet.push_back(byte);
        queue_.push_back(std::move(packet));
    }
}

void ScriptedLink::queuePacket(const Bytes& bytes) {
    ConnectionLinkPacket packet;
    packet.insert(packet.end(), bytes.begin(), bytes.end());
    queue_.push_back(std::move(packet));
}
