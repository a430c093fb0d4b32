#include "vci/VciInterface.h"

// The default bursts are plain loops of single accesses. The step is computed
// in unsigned arithmetic: one data word for Increment, zero for NoIncrement.
void VciInterface::vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                                 IncrementAddress increment) {
    const unsigned int step = (getVciDataWidth() * static_cast<unsigned int>(increment)) / 8u;
    for (unsigned int word : data) {
        vciWrite(address, word);
        address += step;
    }
}

std::vector<unsigned int> VciInterface::vciBurstRead(unsigned int address, unsigned int count,
                                                     IncrementAddress increment) {
    const unsigned int step = (getVciDataWidth() * static_cast<unsigned int>(increment)) / 8u;
    std::vector<unsigned int> result(count, 0u);
    for (unsigned int i = 0; i < count; ++i)
        result[i] = vciRead(address + i * step);
    return result;
}
