#pragma once

#include <cstddef>
#include <pybind11/numpy.h>

#include "data/ElectrodePacket.h"
#include "tolmaren_tools/CodePacket.h"
#include "tolmaren_tools/RecordingReader.h"

// Electrode packets as NumPy arrays, one row per sample: AP (samples,
// channels) with 12 samples a packet, LFP (packets, channels), the 13
// counters and the synchronization value and start-trigger bit of each AP
// sample. Samples are in volts at the ADC input (float32, as the library
// gives them) or in 10-bit ADC codes (uint16) when raw.
//
// The arrays are allocated and cut to size with the GIL held; put() fills a
// packet's rows from the decoded packet without it, so that readers can run
// while Python does other work.
class PacketArrays {
public:
    PacketArrays(std::size_t packets, bool raw, float voltsPerCode);

    // From the library's decoder (samples in volts).
    void put(std::size_t packet, const ElectrodePacket& decoded);
    // From the tools' recording reader (samples in codes).
    void put(std::size_t packet, const tolmaren_tools::CodePacket& decoded);
    // Keeps the first `packets` packets.
    void truncate(std::size_t packets);

    bool raw;
    pybind11::array ap;
    pybind11::array lfp;
    pybind11::array counters;
    pybind11::array synchronization;
    pybind11::array startTrigger;
    tolmaren_tools::StreamCounts counts;

private:
    float voltsPerCode_;
    void* ap_;
    void* lfp_;
    uint32_t* counters_;
    uint16_t* synchronization_;
    bool* startTrigger_;
};
