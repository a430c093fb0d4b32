#include "sim/UartBridge.h"

#include <algorithm>

namespace tolmaren_sim {

UartBridge::UartBridge(Headstage& headstage, SerdesDevice& serializer, SerdesDevice& deserializer,
                       const Faults& faults)
    : headstage_(headstage), serializer_(serializer), deserializer_(deserializer), faults_(faults) {
}

void UartBridge::writeTx(uint32_t word) {
    if (command_.empty() && word != commandMarker) {
        flags_ |= flagMalformed;
        return;
    }
    command_.push_back(word);
    if (command_.size() < 4) return;
    // Device and register are bytes; the count is at most 16 bits.
    if (command_[1] > 0xFF || command_[2] > 0xFF || command_[3] > 0xFFFF) {
        flags_ |= flagMalformed;
        command_.clear();
        return;
    }
    const bool isRead = command_[1] & 1;
    const std::size_t expected = 4 + (isRead ? 0 : command_[3]);
    if (command_.size() == expected) {
        execute();
        command_.clear();
    }
}

void UartBridge::execute() {
    ++transactions_;
    flags_ |= faults_.uartErrorFlags & 0x0F;
    const uint8_t device = static_cast<uint8_t>(command_[1]);
    const uint8_t reg = static_cast<uint8_t>(command_[2]);
    const std::size_t count = command_[3];
    // A device that does not answer, or a lost command, leaves the FIFO empty.
    if (!deviceAnswers(device) || faults_.uartNoAck) return;
    if (const UartFault* fault = targetedFault()) {
        if (fault->failure == UartFailure::Refused) queue(received_, 0x00);
        return;
    }

    std::vector<uint8_t> reply =
        (device & 1) ? readDevice(device & 0xFE, reg, count) : writeDevice(device, reg, count);
    const std::size_t missing = std::min<std::size_t>(faults_.uartMissingReplyBytes, reply.size());
    reply.resize(reply.size() - missing);

    queue(received_, faults_.uartWrongAck.value_or(acknowledge));
    for (uint8_t byte : reply)
        queue(received_, byte);
}

const UartFault* UartBridge::targetedFault() {
    if (faultMatches_.size() != faults_.uartFaults.size()) restartFaultCounts();
    const bool isRead = command_[1] & 1;
    const UartFault* failing = nullptr;
    for (std::size_t i = 0; i < faults_.uartFaults.size(); ++i) {
        const UartFault& fault = faults_.uartFaults[i];
        if ((command_[1] & 0xFE) != (fault.device & 0xFE)) continue;
        if (fault.reg && command_[2] != *fault.reg) continue;
        if (fault.read && isRead != *fault.read) continue;
        if (fault.value && (isRead || command_.size() < 5 || command_[4] != *fault.value)) continue;
        const unsigned int match = ++faultMatches_[i];
        const bool fails =
            match > fault.skip && (fault.times == 0 || match <= fault.skip + fault.times);
        if (fails && failing == nullptr) failing = &fault;
    }
    return failing;
}

bool UartBridge::deviceAnswers(uint8_t device) const {
    switch (device & 0xFE) {
    case headstageDevice:
        return !faults_.headstageSilent;
    case serializerDevice:
    case deserializerDevice:
        return true;
    default:
        return false;
    }
}

std::vector<uint8_t> UartBridge::writeDevice(uint8_t device, uint8_t reg, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t value = command_[4 + i] & 0xFFFF;
        const uint8_t target = static_cast<uint8_t>(reg + i);
        if (device == headstageDevice && reg == Headstage::shiftIn)
            shiftToHeadstage(static_cast<uint16_t>(value));
        else if (device == headstageDevice)
            headstage_.write(target, static_cast<uint8_t>(value));
        else if (device == serializerDevice)
            serializer_.write(target, static_cast<uint8_t>(value));
        else
            deserializer_.write(target, static_cast<uint8_t>(value));
    }
    return {};
}

std::vector<uint8_t> UartBridge::readDevice(uint8_t device, uint8_t reg, std::size_t count) {
    std::vector<uint8_t> bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t target = static_cast<uint8_t>(reg + i);
        if (device == headstageDevice && reg == Headstage::shiftOut)
            bytes.push_back(shifted_.empty() ? 0 : popShifted());
        else if (device == headstageDevice)
            bytes.push_back(headstage_.read(target));
        else if (device == serializerDevice)
            bytes.push_back(serializer_.read(target));
        else
            bytes.push_back(deserializer_.read(target));
    }
    return bytes;
}

void UartBridge::writeAccelerated(uint32_t word) {
    flags_ |= faults_.uartErrorFlags & 0x0F;
    if (faults_.headstageSilent) {
        flags_ |= flagAccelerated;
        return;
    }
    shiftToHeadstage(static_cast<uint16_t>(word));
}

void UartBridge::shiftToHeadstage(uint16_t word) {
    if (auto captured = headstage_.shiftWord(word)) queue(shifted_, *captured);
}

uint8_t UartBridge::popReceived() {
    if (received_.empty()) return 0;
    const uint8_t byte = received_.front();
    received_.pop_front();
    return byte;
}

uint8_t UartBridge::popShifted() {
    flags_ |= faults_.uartErrorFlags & 0x0F;
    if (shifted_.empty()) {
        flags_ |= flagAccelerated;
        return 0;
    }
    const uint8_t byte = shifted_.front();
    shifted_.pop_front();
    return byte;
}

uint32_t UartBridge::takeFlags() {
    const uint32_t flags = flags_;
    flags_ = 0;
    return flags;
}

void UartBridge::reset() {
    command_.clear();
    received_.clear();
    shifted_.clear();
    flags_ = 0;
}

void UartBridge::queue(std::deque<uint8_t>& fifo, uint8_t byte) {
    if (fifo.size() >= fifoCapacity) {
        flags_ |= flagOverflow;
        return;
    }
    fifo.push_back(byte);
}

} // namespace tolmaren_sim
