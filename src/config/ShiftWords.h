#pragma once

#include <cstddef>
#include <vector>

// The packing of a configuration chain into the 16-bit words that the
// headstage shifts into the probe, and of the captured bytes back into bits.
//
// The headstage shifts each word's eight data bits in least significant bit
// first, so word 0 is padded at its low end: after a full write chain bit 0
// sits at the output end of the register. Bit 8 asks the headstage to return
// the bits that the word pushes out, one byte per word, first bit out in bit 0.
class ShiftWords {
public:
    static constexpr unsigned short captureFlag = 0x100;

    // ceil(bits / 8): one word per eight chain bits.
    static std::size_t wordCount(std::size_t bits) { return (bits + 7) / 8; }

    // The words of a chain (bit 0 first), with the capture flag set in every
    // word when `capture` is true. An empty chain gives no words.
    static std::vector<unsigned short> pack(const std::vector<bool>& chain, bool capture);

    // Fills every bit of `chain` from the captured bytes: bit 8k + p is bit p
    // of byte k. Bits for which no byte arrived are cleared.
    static void unpack(const std::vector<unsigned char>& bytes, std::vector<bool>& chain);

    // True when unpacking the captured bytes into a chain of `bits` bits gives
    // the chain that `words` were packed from (capture flags aside); compares
    // whole bytes.
    static bool matches(const std::vector<unsigned short>& words,
                        const std::vector<unsigned char>& bytes, std::size_t bits);
};
