#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

namespace tolmaren_sim {

// The basestation's data FIFO between the probe and the network, in real-time
// pacing. It holds stream units by sequence number (the bytes are made when
// the unit is sent). The probe produces units one after the other; a unit
// that does not fit is dropped, its sequence number is skipped, and the
// overflow is remembered.
class DataFifo {
public:
    explicit DataFifo(std::size_t capacityBytes) : capacity_(capacityBytes) {}

    // Empties the FIFO for units of unitBytes; the next unit produced is
    // number firstSeq.
    void reset(unsigned int unitBytes, uint64_t firstSeq = 0);
    // The probe produced count further units; returns how many were dropped.
    uint64_t produce(uint64_t count);
    // The oldest run of consecutive units: its first sequence number and
    // length (0 when empty).
    std::pair<uint64_t, uint64_t> front() const;
    // Takes count units from the front run (at most its length).
    void consume(uint64_t count);

    std::size_t bytes() const { return units_ * unitBytes_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return units_ == 0; }
    uint64_t nextSeq() const { return nextSeq_; }
    // The fill as t_dma.fifo_filling reports it: 2^28 is full.
    uint32_t fillRegister() const;

private:
    std::size_t capacity_;
    unsigned int unitBytes_ = 1;
    uint64_t nextSeq_ = 0;
    uint64_t units_ = 0;
    std::deque<std::pair<uint64_t, uint64_t>> runs_; // first, count
};

} // namespace tolmaren_sim
