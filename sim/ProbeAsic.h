#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/Faults.h"
#include "sim/ShiftRegister.h"

namespace tolmaren_sim {

// The probe ASIC as the headstage sees it: three configuration shift
// registers (0 base, 1 shank, 2 test) of the lengths its probe type gives,
// and the operating mode latched from the headstage.
class ProbeAsic {
public:
    static constexpr unsigned int chainCount = 3;

    ProbeAsic(int probeType, const Faults& faults);

    // Length in bits of a chain for a probe type; 0 where the probe has none
    // (no shank chain on types 0 and 1; chain numbers above 2).
    static std::size_t chainLength(unsigned int chain, int probeType);

    int probeType() const { return probeType_; }
    // Shifts the eight bits of data into the chain, least significant first,
    // and returns the eight bits that left it, the first out in bit 0. Data
    // for a chain the probe does not have is lost and 0 comes back. The first
    // injected defect of the chain, if any, acts on every bit.
    uint8_t shiftByte(unsigned int chain, uint8_t data);
    // The chain's content, chain bit 0 (the output end) first.
    std::vector<bool> chain(unsigned int chain) const;

    // 0 configuration, 1 calibration, 2 (unnamed), 3 recording.
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode & 3; }

private:
    const ChainFault* defectOf(unsigned int chain) const;

    int probeType_;
    const Faults& faults_;
    std::array<ShiftRegister, chainCount> chains_;
    int mode_ = 0;
};

} // namespace tolmaren_sim
