#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "vci/VciInterface.h"

// A register interface that records every call in order. Reads return queued
// values first, then the last value written (or preset) at the address, else 0.
// A fault can be armed to throw VciInterface::Exception on a later word access.
// Bursts are recorded as one entry and then run through the default bodies, so
// their single-word accesses follow in the record.
class RecordingVci : public VciInterface {
public:
    enum class Kind { Write, Read, DataWidth, BurstWrite, BurstRead };

    struct Call {
        Kind kind;
        unsigned int address;
        // Write: the word written; Read: the word returned; BurstRead: the count.
        unsigned int data;
        // BurstWrite: the words; BurstRead: the words returned.
        std::vector<unsigned int> words;
        IncrementAddress increment;
    };

    void vciWrite(unsigned int address, unsigned int data) override;
    unsigned int vciRead(unsigned int address) override;
    unsigned int getVciDataWidth() const override;
    void vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                       IncrementAddress increment) override;
    std::vector<unsigned int> vciBurstRead(unsigned int address, unsigned int count,
                                           IncrementAddress increment) override;

    const std::vector<Call>& calls() const { return calls_; }
    // Only the single-word writes or reads, as (address, word) pairs.
    std::vector<std::pair<unsigned int, unsigned int>> writes() const;
    std::vector<std::pair<unsigned int, unsigned int>> reads() const;
    void clearCalls() { calls_.clear(); }

    // Sets what the address reads once its queue is empty, without recording.
    void setValue(unsigned int address, unsigned int value) { memory_[address] = value; }
    unsigned int value(unsigned int address) const;
    // Successive reads of the address return these first (a FIFO port).
    void queueReads(unsigned int address, const std::vector<unsigned int>& values);
    // Called after each recorded write, e.g. to queue a device's reply.
    void setWriteHook(std::function<void(unsigned int address, unsigned int data)> hook) {
        writeHook_ = std::move(hook);
    }
    // The word access after `skip` further successful ones throws; 0 = the next.
    void failAccess(unsigned int skip, const std::string& message);
    void failNextAccess(const std::string& message) { failAccess(0, message); }

private:
    void checkFault();

    mutable std::vector<Call> calls_;
    std::map<unsigned int, unsigned int> memory_;
    std::map<unsigned int, std::deque<unsigned int>> queued_;
    std::function<void(unsigned int, unsigned int)> writeHook_;
    bool faultArmed_ = false;
    unsigned int faultSkip_ = 0;
    std::string faultMessage_;
};
