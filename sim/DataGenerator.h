#pragma once

#include <cstdint>

namespace tolmaren_sim {

// The basestation's built-in data generator: while enabled it replaces the
// probe's data with a ramp. The code at position k (the channel, or the ADC
// in ADC records) of sample n is (param + k + n / step) mod 1024, where step
// is the value of t_data_generator.pow2_param (0 counts as 1) and n counts
// from the start of the stream: the block for AP codes, the packet (12
// blocks) for LFP codes, the record for ADC codes.
class DataGenerator {
public:
    DataGenerator(uint8_t param, uint32_t pow2) : param_(param), step_(pow2 == 0 ? 1 : pow2) {}

    uint16_t code(unsigned int position, uint64_t sample) const {
        return static_cast<uint16_t>((param_ + position + sample / step_) & 0x3FF);
    }
    // The data words of electrode block seq, or of ADC record seq.
    void electrodeData(uint8_t* block, uint64_t seq) const;
    void adcData(uint8_t* record, uint64_t seq) const;

private:
    uint32_t param_;
    uint64_t step_;
};

} // namespace tolmaren_sim
