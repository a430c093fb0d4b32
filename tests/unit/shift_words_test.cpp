#include <gtest/gtest.h>

#include <random>

#include "config/ShiftWords.h"

namespace {

std::vector<bool> onlyBit(std::size_t length, std::size_t bit) {
    std::vector<bool> chain(length, false);
    chain[bit] = true;
    return chain;
}

// The headstage's side, modelled from its description: each word's eight data
// bits enter the register least significant first, the bit at the output end
// leaves first; with the capture flag the eight bits that left come back as
// one byte, first out in bit 0.
class ReferenceShiftRegister {
public:
    explicit ReferenceShiftRegister(std::size_t length) : bits_(length, false) {}
    std::vector<unsigned char> shift(const std::vector<unsigned short>& words) {
        std::vector<unsigned char> captured;
        for (unsigned short word : words) {
            unsigned char out = 0;
            for (unsigned int p = 0; p < 8; ++p) {
                out |= static_cast<unsigned char>(bits_.front() << p);
                bits_.erase(bits_.begin());
                bits_.push_back(((word >> p) & 1u) != 0);
            }
            if (word & 0x100) captured.push_back(out);
        }
        return captured;
    }
    const std::vector<bool>& contents() const { return bits_; }

private:
    std::vector<bool> bits_; // front is the output end
};

TEST(ShiftWords, BaseChainTravelsAs927WordsWithTheRemainderInWordZero) {
    EXPECT_EQ(ShiftWords::wordCount(7414), 927u);
    EXPECT_EQ(ShiftWords::pack(std::vector<bool>(7414, false), false).size(), 927u);
    // Chain bits 0..5 sit in positions 2..7 of word 0, positions 0 and 1 stay zero.
    EXPECT_EQ(ShiftWords::pack(onlyBit(7414, 0), false)[0], 0x04);
    EXPECT_EQ(ShiftWords::pack(onlyBit(7414, 5), false)[0], 0x80);
    std::vector<bool> firstSix(7414, false);
    for (int i = 0; i < 6; ++i)
        firstSix[i] = true;
    const auto words = ShiftWords::pack(firstSix, false);
    EXPECT_EQ(words[0], 0xFC);
    EXPECT_EQ(words[1], 0x00);
    // Bit 6 opens word 1; the last chain bit closes the last word.
    EXPECT_EQ(ShiftWords::pack(onlyBit(7414, 6), false)[1], 0x01);
    EXPECT_EQ(ShiftWords::pack(onlyBit(7414, 13), false)[1], 0x80);
    EXPECT_EQ(ShiftWords::pack(onlyBit(7414, 7413), false)[926], 0x80);
    EXPECT_EQ(ShiftWords::pack(onlyBit(7414, 7406), false)[926], 0x01);
}

TEST(ShiftWords, ShankAndTestChainsCarryTwoBitsInWordZero) {
    EXPECT_EQ(ShiftWords::pack(std::vector<bool>(962, false), false).size(), 121u);
    EXPECT_EQ(ShiftWords::pack(onlyBit(962, 0), false)[0], 0x40);
    EXPECT_EQ(ShiftWords::pack(onlyBit(962, 1), false)[0], 0x80);
    EXPECT_EQ(ShiftWords::pack(onlyBit(962, 2), false)[1], 0x01);

    EXPECT_EQ(ShiftWords::pack(std::vector<bool>(18, false), false).size(), 3u);
    EXPECT_EQ(ShiftWords::pack(onlyBit(18, 0), false)[0], 0x40);
    EXPECT_EQ(ShiftWords::pack(onlyBit(18, 1), false)[0], 0x80);
    EXPECT_EQ(ShiftWords::pack(onlyBit(18, 9), false)[1], 0x80);
    EXPECT_EQ(ShiftWords::pack(onlyBit(18, 17), false)[2], 0x80);

    // A multiple of eight needs no padding.
    EXPECT_EQ(ShiftWords::pack(onlyBit(16, 0), false), (std::vector<unsigned short>{0x01, 0x00}));
    EXPECT_TRUE(ShiftWords::pack({}, true).empty());
}

TEST(ShiftWords, CaptureFlagIsBitEightAndNothingAboveIt) {
    std::vector<bool> ones(962, true);
    for (unsigned short word : ShiftWords::pack(ones, true))
        EXPECT_EQ(word & 0xFF00, 0x100);
    const auto plain = ShiftWords::pack(ones, false);
    EXPECT_EQ(plain[0], 0xC0);
    for (std::size_t k = 1; k < plain.size(); ++k)
        EXPECT_EQ(plain[k], 0xFF);
}

TEST(ShiftWords, CapturedBytesUnpackEightBitsPerByteFromBitZero) {
    std::vector<bool> chain(18, true);
    ShiftWords::unpack({0x01, 0x80, 0xFE}, chain);
    std::vector<bool> expected(18, false);
    expected[0] = true;  // byte 0 bit 0
    expected[15] = true; // byte 1 bit 7
    expected[17] = true; // byte 2 bit 1; bits beyond 17 are ignored
    EXPECT_EQ(chain, expected);
    // Bits without a byte come back cleared.
    std::vector<bool> longer(10, true);
    ShiftWords::unpack({0xFF}, longer);
    EXPECT_EQ(longer, (std::vector<bool>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
}

TEST(ShiftWords, WriteThenCaptureThroughAShiftRegisterGivesTheChainBack) {
    std::mt19937 random(7);
    for (std::size_t length : {7414u, 962u, 968u, 18u, 16u, 1u}) {
        std::vector<bool> chain(length);
        for (std::size_t i = 0; i < length; ++i)
            chain[i] = (random() & 1u) != 0;
        ReferenceShiftRegister reg(length);
        reg.shift(ShiftWords::pack(chain, false));
        // After a full write chain bit 0 sits at the output end.
        EXPECT_EQ(reg.contents(), chain) << length;
        const auto bytes = reg.shift(ShiftWords::pack(chain, true));
        ASSERT_EQ(bytes.size(), ShiftWords::wordCount(length));
        std::vector<bool> readBack(length);
        ShiftWords::unpack(bytes, readBack);
        EXPECT_EQ(readBack, chain) << length;
    }
}

} // namespace
