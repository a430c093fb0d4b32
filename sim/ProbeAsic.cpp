#include "sim/ProbeAsic.h"

namespace tolmaren_sim {

ProbeAsic::ProbeAsic(int probeType, const Faults& faults) : probeType_(probeType), faults_(faults) {
    for (unsigned int c = 0; c < chainCount; ++c)
        chains_[c] = ShiftRegister(chainLength(c, probeType));
}

std::size_t ProbeAsic::chainLength(unsigned int chain, int probeType) {
    switch (chain) {
    case 0:
        return 7414;
    case 1:
        return probeType == 2 ? 962 : probeType == 3 ? 968 : 0;
    case 2:
        return 18;
    default:
        return 0;
    }
}

uint8_t ProbeAsic::shiftByte(unsigned int chain, uint8_t data) {
    if (chain >= chainCount) return 0;
    const ChainFault* defect = defectOf(chain);
    if (defect == nullptr) return chains_[chain].shiftByte(data);
    uint8_t out = 0;
    for (unsigned int bit = 0; bit < 8; ++bit) {
        if (chains_[chain].shift((data >> bit) & 1, defect)) out |= static_cast<uint8_t>(1u << bit);
    }
    return out;
}

const ChainFault* ProbeAsic::defectOf(unsigned int chain) const {
    for (const ChainFault& fault : faults_.chainFaults)
        if (fault.chain == chain) return &fault;
    return nullptr;
}

std::vector<bool> ProbeAsic::chain(unsigned int chain) const {
    if (chain >= chainCount) return {};
    return chains_[chain].contents();
}

} // namespace tolmaren_sim
