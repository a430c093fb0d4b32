#pragma once

#include <cstdint>
#include <vector>

#include "sim/NeuralSignalModel.h"

namespace tolmaren_sim {

// One ring of the probe's signal, encoded: the units (electrode blocks or ADC
// records) whose data words are ready, so that sending costs only the
// stamping of headers and counters. Unit seq of the stream is slot
// seq mod units() of the ring. It is encoded piece by piece, a run of the
// ring's packets at a time.
class StreamRing {
public:
    // Sizes the ring for packets of electrode blocks (one per AP sample, 12
    // to a packet) or ADC records. The ADCs convert 12 slots per block, ADC a
    // taking channel a + 32 j in slot j; record 12 t + j is slot j of block t.
    void reset(bool electrode, unsigned int packets);
    // Encodes the units of ring packets [firstPacket, firstPacket + packets).
    void encode(const NeuralSignalModel::Codes& codes, unsigned int firstPacket,
                unsigned int packets);

    bool electrode() const { return electrode_; }
    unsigned int unitSize() const { return unitSize_; }
    uint64_t units() const { return units_; }
    // Units per packet of the ring: 12 blocks, or 144 records.
    unsigned int unitsPerPacket() const { return unitsPerPacket_; }
    uint8_t* unit(uint64_t seq) { return bytes_.data() + (seq % units_) * unitSize_; }

private:
    std::vector<uint8_t> bytes_;
    bool electrode_ = true;
    unsigned int unitSize_ = 0;
    unsigned int unitsPerPacket_ = 0;
    uint64_t units_ = 0;
};

} // namespace tolmaren_sim
