// The probe's configuration chains: shifted in through the accelerated port,
// captured back through the shift FIFO, bit-exact at the chain lengths of
// each probe type.
#include <gtest/gtest.h>

#include <random>

#include "sim/SimulatorSession.h"

using tolmaren_sim::SimulatorOptions;

namespace {

// The host's shift words of a chain: w = ceil(n / 8) words; word 0 carries
// chain bits 0..m-1 in positions 8-m..7 (m = ((n - 1) mod 8) + 1), word k the
// eight bits from m + 8(k - 1) on; bit 8 is the capture flag.
std::vector<unsigned int> shiftWords(const std::vector<bool>& bits, bool capture) {
    const std::size_t n = bits.size();
    const std::size_t w = (n + 7) / 8;
    const std::size_t m = ((n - 1) % 8) + 1;
    std::vector<unsigned int> words(w, capture ? 0x100 : 0);
    for (std::size_t j = 0; j < m; ++j)
        words[0] |= static_cast<unsigned int>(bits[j]) << (8 - m + j);
    for (std::size_t k = 1; k < w; ++k) {
        for (std::size_t p = 0; p < 8; ++p)
            words[k] |= static_cast<unsigned int>(bits[m + 8 * (k - 1) + p]) << p;
    }
    return words;
}

// Byte k, bit p of the captured bytes is chain bit 8k + p.
std::vector<bool> unpack(const std::vector<unsigned int>& bytes, std::size_t n) {
    std::vector<bool> bits(n);
    for (std::size_t i = 0; i < n; ++i)
        bits[i] = (bytes[i / 8] >> (i % 8)) & 1;
    return bits;
}

std::vector<bool> randomBits(std::size_t n, unsigned int seed) {
    std::mt19937 random(seed);
    std::vector<bool> bits(n);
    for (std::size_t i = 0; i < n; ++i)
        bits[i] = random() & 1;
    return bits;
}

class Chains {
public:
    explicit Chains(SimulatorSession& s) : s_(s) {}

    void select(unsigned int chain) { s_.headstageWrite(0x50, static_cast<uint8_t>(chain)); }
    void send(const std::vector<unsigned int>& words) {
        s_.vci->vciBurstWrite(s_.map->vci2uart.tx_accel.getAddress(), words,
                              VciInterface::NoIncrement);
    }
    std::vector<unsigned int> receive(std::size_t count) {
        return s_.vci->vciBurstRead(s_.map->vci2uart.rx_accel.getAddress(),
                                    static_cast<unsigned int>(count), VciInterface::NoIncrement);
    }
    unsigned long long shiftFifo() { return s_.map->vci2uart.shift_fifo.read(); }
    unsigned long long flags() { return s_.map->vci2uart.uart_error_flags.flags.read(); }

    // Write, verify by shifting the same words in again with capture, then
    // read out with empty capture words, as the host's transfer does.
    void roundTrip(unsigned int chain, std::size_t length, std::size_t expectedWords) {
        SCOPED_TRACE("chain " + std::to_string(chain));
        const std::vector<bool> bits = randomBits(length, 100 + chain);
        const auto words = shiftWords(bits, false);
        ASSERT_EQ(words.size(), expectedWords);
        select(chain);
        send(words);
        EXPECT_EQ(s_.sim.chain(chain), bits);

        EXPECT_EQ(shiftFifo(), 0u);
        send(shiftWords(bits, true));
        EXPECT_EQ(shiftFifo(), words.size());
        EXPECT_EQ(unpack(receive(words.size()), length), bits);
        EXPECT_EQ(shiftFifo(), 0u);
        EXPECT_EQ(flags(), 0u);
        EXPECT_EQ(s_.sim.chain(chain), bits);

        send(std::vector<unsigned int>(words.size(), 0x100));
        EXPECT_EQ(unpack(receive(words.size()), length), bits);
        EXPECT_EQ(s_.sim.chain(chain), std::vector<bool>(length, false));
    }

private:
    SimulatorSession& s_;
};

SimulatorOptions probe(int type) {
    SimulatorOptions options;
    options.probeType = type;
    return options;
}

} // namespace

TEST(SimulatorChains, RoundTripOnAType2Probe) {
    SimulatorSession s(probe(2));
    Chains chains(s);
    chains.roundTrip(0, 7414, 927);
    chains.roundTrip(1, 962, 121);
    chains.roundTrip(2, 18, 3);
}

TEST(SimulatorChains, Type3ShankIs968BitsAndType0HasNone) {
    {
        SimulatorSession s(probe(3));
        Chains(s).roundTrip(1, 968, 121);
    }
    SimulatorSession s(probe(0));
    Chains chains(s);
    EXPECT_TRUE(s.sim.chain(1).empty());
    chains.select(1);
    chains.send(std::vector<unsigned int>(4, 0x1FF));
    EXPECT_EQ(chains.receive(4), std::vector<unsigned int>(4, 0));
    // Reading an empty shift FIFO gives 0 and flag bit 3.
    EXPECT_EQ(chains.receive(1), std::vector<unsigned int>{0});
    EXPECT_EQ(chains.flags(), 0x8u);
}

TEST(SimulatorChains, ShiftPortsThroughCommandTransactions) {
    SimulatorSession s(probe(1));
    s.headstageWrite(0x50, 2);
    // The test chain through headstage register 0x51: three words, the first
    // holding chain bits 0 and 1 in positions 6 and 7.
    const std::vector<bool> bits = randomBits(18, 7);
    EXPECT_EQ(s.uartWrite(0x40, 0x51, shiftWords(bits, false)).ack, std::optional<uint8_t>(0xC3));
    EXPECT_EQ(s.sim.chain(2), bits);
    s.checked(s.uartWrite(0x40, 0x51, shiftWords(bits, true)));
    const auto captured = s.checked(s.uartRead(0x40, 0x52, 3)).bytes;
    EXPECT_EQ(unpack({captured.begin(), captured.end()}, 18), bits);
    EXPECT_EQ(s.map->vci2uart.shift_fifo.read(), 0u);
}
