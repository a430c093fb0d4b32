#pragma once

#include <cstddef>
#include <pybind11/numpy.h>

#include "data/CodePacket.h"
#include "data/StreamCounts.h"

// Electrode packets as NumPy arrays: one AP row per block delivered (12 a
// whole packet, fewer an abandoned one), with its 13 counters,
// synchronization value and start-trigger bit; one LFP row per packet, the
// channels of its missing blocks at mid-scale (code 512, no signal). Samples
// are in volts at the ADC input (float32) or in 10-bit ADC codes (uint16)
// when raw.
//
// The arrays are allocated and cut to size with the GIL held; put() fills
// rows without it, so that readers can run while Python does other work.
class PacketArrays {
public:
    PacketArrays(std::size_t packets, bool raw);

    // Appends the packet; false when the arrays are full.
    bool put(const CodePacket& decoded);
    // Room for `more` packets beyond what is held; with the GIL.
    void grow(std::size_t more);
    // Cuts the arrays to what was put.
    void trim();
    std::size_t capacity() const { return capacity_; }

    bool raw;
    pybind11::array ap;
    pybind11::array lfp;
    pybind11::array counters;
    pybind11::array synchronization;
    pybind11::array startTrigger;
    StreamCounts counts;
    // The stream ended (the end of a recording) before all packets asked for
    // were read.
    bool ended = false;

private:
    void allocate(std::size_t packets);

    std::size_t capacity_;
    std::size_t packets_ = 0;
    std::size_t rows_ = 0;
    void* ap_;
    void* lfp_;
    uint32_t* counters_;
    uint16_t* synchronization_;
    bool* startTrigger_;
};
