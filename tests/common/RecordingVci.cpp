#include "common/RecordingVci.h"

void RecordingVci::checkFault() {
    if (!faultArmed_) return;
    if (faultSkip_ > 0) {
        --faultSkip_;
        return;
    }
    faultArmed_ = false;
    throw VciInterface::Exception(faultMessage_);
}

void RecordingVci::vciWrite(unsigned int address, unsigned int data) {
    checkFault();
    calls_.push_back({Kind::Write, address, data, {}, NoIncrement});
    memory_[address] = data;
    if (writeHook_) writeHook_(address, data);
}

unsigned int RecordingVci::vciRead(unsigned int address) {
    checkFault();
    unsigned int result = value(address);
    auto queue = queued_.find(address);
    if (queue != queued_.end() && !queue->second.empty()) {
        result = queue->second.front();
        queue->second.pop_front();
    }
    calls_.push_back({Kind::Read, address, result, {}, NoIncrement});
    return result;
}

unsigned int RecordingVci::getVciDataWidth() const {
    calls_.push_back({Kind::DataWidth, 0, 0, {}, NoIncrement});
    return 32;
}

void RecordingVci::vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                                 IncrementAddress increment) {
    calls_.push_back({Kind::BurstWrite, address, 0, data, increment});
    VciInterface::vciBurstWrite(address, data, increment);
}

std::vector<unsigned int> RecordingVci::vciBurstRead(unsigned int address, unsigned int count,
                                                     IncrementAddress increment) {
    // Recorded before the words are read so that the record stays in call order.
    const std::size_t entry = calls_.size();
    calls_.push_back({Kind::BurstRead, address, count, {}, increment});
    std::vector<unsigned int> result = VciInterface::vciBurstRead(address, count, increment);
    calls_[entry].words = result;
    return result;
}

std::vector<std::pair<unsigned int, unsigned int>> RecordingVci::writes() const {
    std::vector<std::pair<unsigned int, unsigned int>> result;
    for (const Call& call : calls_)
        if (call.kind == Kind::Write) result.emplace_back(call.address, call.data);
    return result;
}

std::vector<std::pair<unsigned int, unsigned int>> RecordingVci::reads() const {
    std::vector<std::pair<unsigned int, unsigned int>> result;
    for (const Call& call : calls_)
        if (call.kind == Kind::Read) result.emplace_back(call.address, call.data);
    return result;
}

unsigned int RecordingVci::value(unsigned int address) const {
    auto it = memory_.find(address);
    return it == memory_.end() ? 0u : it->second;
}

void RecordingVci::queueReads(unsigned int address, const std::vector<unsigned int>& values) {
    queued_[address].insert(queued_[address].end(), values.begin(), values.end());
}

void RecordingVci::failAccess(unsigned int skip, const std::string& message) {
    faultArmed_ = true;
    faultSkip_ = skip;
    faultMessage_ = message;
}
