#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/ChainFault.h"

namespace tolmaren_sim {

// A serial shift register of fixed length. Position 0 is the output end:
// shifting a bit in at the input end pushes the bit at position 0 out.
class ShiftRegister {
public:
    explicit ShiftRegister(std::size_t length = 0) : bits_(length, 0) {}

    std::size_t length() const { return bits_.size(); }
    // Shifts one bit in and returns the bit that left. A register of length
    // zero passes nothing through: it returns 0. A defective cell changes the
    // bit that moves into it.
    bool shift(bool in, const ChainFault* defect = nullptr);
    // Shifts the eight bits of data in, least significant first, through
    // cells without defects; returns the eight bits that left, the first out
    // in bit 0.
    uint8_t shiftByte(uint8_t data);
    // The content, position 0 first.
    std::vector<bool> contents() const;

private:
    // One cell a byte (0 or 1): whole chains pass through a bit at a time.
    std::vector<uint8_t> bits_; // ring buffer, head_ is position 0
    std::size_t head_ = 0;
};

} // namespace tolmaren_sim
