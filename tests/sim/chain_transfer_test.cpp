// The three configuration chains written, verified and read back through the
// facade and the simulated probe's shift registers, and the configuration
// operations that end in them.
#include <random>
#include <stdexcept>

#include "common/LiveControlApi.h"
#include "config/ShiftWords.h"

namespace {

using tolmaren_sim::Faults;
using Chain = std::vector<bool>;

unsigned int field(const Chain& chain, unsigned int first, unsigned int width) {
    unsigned int value = 0;
    for (unsigned int i = 0; i < width; ++i)
        value |= static_cast<unsigned int>(chain.at(first + i)) << i;
    return value;
}

class ChainTransfer : public LiveControlTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { startSimulator(GetParam()); }
};

TEST_P(ChainTransfer, ChainsArriveBitExactAndReadBackIntoTheModels) {
    const int type = GetParam();
    std::mt19937 random(11 + type);
    for (unsigned int c = 0; c < 384; ++c) {
        api->baseConfiguration.setChannelSettingApGain(c, random() % 8);
        api->baseConfiguration.setChannelReferenceIndex(c, random() % 11);
        api->shankConfiguration.setElectrodeConnection(c, random() % 2);
    }
    for (uint8_t adc = 0; adc < 32; ++adc)
        api->baseConfiguration.setAdcCompP(adc, random() % 32);
    api->testConfiguration.settings12to15[1] = api->testConfiguration.setting7 = true;
    ASSERT_EQ(api->tolmaren_mode(3), 0u);

    Chain base, test, shank, read;
    api->baseConfiguration.getChain(base);
    api->testConfiguration.getChain(test);
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 0u);
    EXPECT_EQ(sim->chain(0), base);
    EXPECT_EQ(sim->asicMode(), 3) << "the mode before the transfer comes back";
    api->transactions.clear();
    EXPECT_EQ(api->tolmaren_writeTestRegister(), 0u);
    EXPECT_EQ(sim->chain(2), test);
    for (const auto& t : api->transactions)
        EXPECT_TRUE(t.reg != 0x11 && t.reg != 0x52)
            << "the test chain keeps the mode, reads nothing";

    if (type >= 2) {
        ASSERT_EQ(api->shankConfiguration.getChain(shank), 0u);
        EXPECT_EQ(api->tolmaren_writeShankRegister(true), 0u);
        EXPECT_EQ(sim->chain(1), shank);
        std::vector<uint8_t> connections;
        api->shankConfiguration.getElectrodeConnections(connections);
        for (unsigned int c = 0; c < 384; ++c)
            ASSERT_EQ(sim->registerValue(0x1C + 4 * c), connections[c]) << c;
    } else {
        EXPECT_EQ(api->tolmaren_writeShankRegister(true), 6u);
        EXPECT_EQ(api->tolmaren_readShankRegister(read), 7u);
    }

    const auto settings = api->baseConfiguration.getChannelSettings();
    api->baseConfiguration.reset();
    EXPECT_EQ(api->tolmaren_readBaseRegister(read), 0u);
    EXPECT_EQ(read, base);
    EXPECT_EQ(api->baseConfiguration.getChannelSettings()[17].apGain, settings[17].apGain);
    EXPECT_EQ(sim->chain(0), base) << "a read puts the chain back";
    EXPECT_EQ(sim->asicMode(), 3);
    EXPECT_EQ(api->tolmaren_readShiftRegister(2, read, 18), 0u);
    EXPECT_EQ(read, test);
    if (type >= 2) {
        api->shankConfiguration.reset();
        EXPECT_EQ(api->tolmaren_readShankRegister(read), 0u);
        EXPECT_EQ(read, shank);
        Chain again;
        api->shankConfiguration.getChain(again);
        EXPECT_EQ(again, shank);
    }
}

INSTANTIATE_TEST_SUITE_P(ProbeTypes, ChainTransfer, ::testing::Values(0, 1, 2, 3));

using ChainFaults = LiveControlTest;

TEST_F(ChainFaults, AFlippedBitFailsVerificationWithOneLogLine) {
    Chain base;
    api->baseConfiguration.getChain(base);
    // Bits at both ends of the first captured byte, inside, and the last bit,
    // alone in the last captured byte.
    for (const std::size_t bit : {0u, 5u, 6u, 100u, 7413u}) {
        // Right after the plain write the probe loses the bit.
        api->afterWrite = [&](const LiveControlApi::Transaction& t) {
            if (t.reg != 0x51 || (t.firstValue & 0x100)) return;
            Chain damaged = base;
            damaged[bit] = !damaged[bit];
            sim->modify([&](tolmaren_sim::HardwareModel& hw) {
                for (unsigned short word : ShiftWords::pack(damaged, false))
                    hw.asic.shiftByte(0, static_cast<uint8_t>(word));
                return 0;
            });
        };
        const std::string line = "error in qchain at " + std::to_string(bit) + " value is " +
                                 (base[bit] ? "0" : "1") + "\n";
        const std::size_t lines = count(log(), "error in qchain at ");
        const std::size_t lineOfBit = count(log(), line);
        EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 6u) << bit;
        EXPECT_EQ(count(log(), "error in qchain at "), lines + 1) << bit;
        EXPECT_EQ(count(log(), line), lineOfBit + 1) << bit;
        EXPECT_EQ(sim->chain(0), base) << "the verifying shift put the chain in as written";
        EXPECT_EQ(api->tolmaren_writeBaseRegister(false), 0u)
            << "unverified, the damage goes unseen";
    }
}

TEST_F(ChainFaults, EachFailingStepHasItsCode) {
    ASSERT_EQ(api->tolmaren_mode(3), 0u);
    const struct {
        unsigned char reg;
        bool write;
        int capture; // -1 any; else the fault hits only words with (1) or without (0) the flag
        unsigned int code;
    } steps[] = {
        {0x11, false, -1, 1}, {0x11, true, -1, 2}, {0x50, true, -1, 3},
        {0x51, true, 0, 4},   {0x51, true, 1, 4},  {0x52, false, -1, 5},
    };
    for (const auto& step : steps) {
        api->failWith = [&](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
            if (t.reg != step.reg || t.write != step.write) return std::nullopt;
            if (step.capture >= 0 && ((t.firstValue & 0x100) != 0) != (step.capture == 1))
                return std::nullopt;
            return 7u;
        };
        EXPECT_EQ(api->tolmaren_writeBaseRegister(true), step.code) << int(step.reg);
        Chain chain;
        EXPECT_EQ(api->tolmaren_readBaseRegister(chain), step.code) << int(step.reg);
        heal();
        ASSERT_EQ(api->tolmaren_mode(3), 0u);
    }
    // Flag bit 3 fails only the accelerated shift data.
    setFaults([](Faults& f) { f.uartErrorFlags = 0x8; });
    EXPECT_EQ(api->tolmaren_writeBaseRegister(false), 4u);
    EXPECT_EQ(sim->asicMode(), 0) << "the probe stays in configuration mode";
    heal();

    // Restoring the mode after a complete transfer.
    int modeWrites = 0;
    api->failWith = [&](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
        if (t.write && t.reg == 0x11 && ++modeWrites > 3) return 7u;
        return std::nullopt;
    };
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 2u);
    Chain base;
    api->baseConfiguration.getChain(base);
    EXPECT_EQ(sim->chain(0), base);
}

TEST_F(ChainFaults, BytesLeftInTheShiftFifoAreAFault) {
    ASSERT_EQ(api->tolmaren_mode(1), 0u);
    // A stray captured byte before the read-back.
    api->afterWrite = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x51 && !(t.firstValue & 0x100)) api->writeRegister(0x1060, 0x100);
    };
    try {
        api->tolmaren_writeBaseRegister(true);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "shift_fifo should be empty");
    }
    // One captured byte more than the read-back takes.
    heal();
    api->beforeRead = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x52) api->writeRegister(0x1060, 0x100);
    };
    EXPECT_THROW(api->tolmaren_writeBaseRegister(true), std::runtime_error);
}

using Configure = LiveControlTest;

TEST_F(Configure, BaseChainOperationsReachTheProbe) {
    // Even channel c's settings at 5816 + 7 (c / 2), odd channel c's at
    // 248 + 7 (c / 2); even channel c's reference flags at 3704 + 11 (382 - c) / 2.
    EXPECT_EQ(api->tolmaren_setGain(10, 2, 3, true), 0u);
    EXPECT_EQ(field(sim->chain(0), 5816 + 7 * 5, 6), 2u | 3u << 3);
    EXPECT_EQ(api->tolmaren_setStdb(11, true, true), 0u);
    EXPECT_TRUE(sim->chain(0).at(248 + 7 * 5 + 6));
    // Not written: the probe keeps the old chain until the next write.
    EXPECT_EQ(api->tolmaren_setGain(1, 7, 7, false), 0u);
    EXPECT_EQ(field(sim->chain(0), 248, 3), 1u);
    EXPECT_EQ(api->tolmaren_setFilter(3), 0u);
    EXPECT_EQ(field(sim->chain(0), 7408, 2), 3u);
    EXPECT_EQ(field(sim->chain(0), 248, 3), 7u);
    EXPECT_EQ(api->tolmaren_setReference(0, 4, true), 0u);
    EXPECT_EQ(field(sim->chain(0), 3704 + 11 * 191, 11), 1u << 4);

    EXPECT_EQ(api->tolmaren_writeAllAPGains(5) + api->tolmaren_writeAllLFPGains(6) +
                  api->tolmaren_writeAllStandby(true) + api->tolmaren_writeAllReferences(9),
              0u);
    const Chain chain = sim->chain(0);
    for (unsigned int k = 0; k < 192; ++k) {
        ASSERT_EQ(field(chain, 5816 + 7 * k, 7), 5u | 6u << 3 | 1u << 6) << k;
        ASSERT_EQ(field(chain, 248 + 7 * k, 7), 5u | 6u << 3 | 1u << 6) << k;
        ASSERT_EQ(field(chain, 1592 + 11 * k, 11), 1u << 9) << k;
        ASSERT_EQ(field(chain, 3704 + 11 * k, 11), 1u << 9) << k;
    }
}

TEST_F(Configure, FailedWritesLeaveTheModelChanged) {
    setFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_setGain(10, 2, 3, true), 4u);
    EXPECT_EQ(api->baseConfiguration.getChannelSettings()[10].apGain, 2);
    EXPECT_EQ(api->tolmaren_setFilter(1), 4u);
    EXPECT_EQ(api->tolmaren_setReference(1, 1, true), 4u);
    EXPECT_EQ(api->tolmaren_selectElectrode(5, 1, true), 5u);
    EXPECT_EQ(api->tolmaren_setExtRef(true, true), 5u);
    std::vector<uint8_t> connections;
    api->shankConfiguration.getElectrodeConnections(connections);
    EXPECT_EQ(connections[5], 1);
    EXPECT_EQ(sim->registerValue(0x1C + 4 * 5), 1u) << "the table goes out before the chain";
    heal();
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 0u);
    EXPECT_EQ(field(sim->chain(0), 5816 + 7 * 5, 3), 2u);
}

} // namespace
