// The probe's configuration chains written, verified and read back through
// the facade's shift-register transfer and the simulator's probe registers.
#include <random>
#include <stdexcept>

#include "config/ShiftWords.h"
#include "sim/LiveControlApi.h"

namespace {

using tolmaren_sim::Faults;

// Puts `bits` into a chain of the simulated probe, as a write would.
void loadChain(tolmaren_sim::BasestationSimulator& sim, unsigned int chain,
               const std::vector<bool>& bits) {
    sim.modify([&](tolmaren_sim::HardwareModel& hw) {
        for (unsigned short word : ShiftWords::pack(bits, false))
            hw.asic.shiftByte(chain, static_cast<uint8_t>(word & 0xFF));
        return 0;
    });
}

void randomiseModels(Tolmaren_basestation_api& api, unsigned int seed) {
    std::mt19937 random(seed);
    for (unsigned int channel = 0; channel < 384; ++channel) {
        api.baseConfiguration.setChannelSettingApGain(channel, random() % 8);
        api.baseConfiguration.setChannelSettingLfpGain(channel, random() % 8);
        api.baseConfiguration.setChannelSettingStandby(channel, random() % 2);
        api.baseConfiguration.setChannelReferenceIndex(channel, random() % 11);
        api.shankConfiguration.setElectrodeConnection(channel, random() % 2);
    }
    for (unsigned int adc = 0; adc < 32; ++adc)
        api.baseConfiguration.setAdcCompP(adc, random() % 32);
    api.baseConfiguration.setAdditionalSettingBwHp(3);
    api.testConfiguration.settings12to15[1] = true;
    api.testConfiguration.setting7 = true;
}

class ControlShift : public LiveControlTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { startSimulator(GetParam()); }
};

TEST_P(ControlShift, AllChainsWrittenVerifiedAndReadBackBitExact) {
    const int type = GetParam();
    randomiseModels(*api, 11 + type);
    ASSERT_EQ(api->tolmaren_mode(3), 0u);

    std::vector<bool> base;
    api->baseConfiguration.getChain(base);
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 0u);
    EXPECT_EQ(sim->chain(0), base);
    // The mode the probe was in comes back after the transfer.
    EXPECT_EQ(sim->asicMode(), 3);

    std::vector<bool> test;
    api->testConfiguration.getChain(test);
    api->transactions.clear();
    EXPECT_EQ(api->tolmaren_writeTestRegister(), 0u);
    EXPECT_EQ(sim->chain(2), test);
    // The test chain neither touches the ASIC mode nor reads back.
    for (const auto& t : api->transactions) {
        EXPECT_NE(t.reg, 0x11);
        EXPECT_NE(t.reg, 0x52);
    }

    std::vector<bool> shank;
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
        EXPECT_EQ(api->tolmaren_readShankRegister(shank), 7u);
    }

    // The models are reset so that the reads have something to restore.
    const auto settings = api->baseConfiguration.getChannelSettings();
    api->baseConfiguration.reset();
    std::vector<bool> read;
    EXPECT_EQ(api->tolmaren_readBaseRegister(read), 0u);
    EXPECT_EQ(read, base);
    EXPECT_EQ(api->baseConfiguration.getChannelSettings()[17].apGain, settings[17].apGain);
    EXPECT_EQ(sim->chain(0), base) << "a read leaves the chain as it was";
    EXPECT_EQ(sim->asicMode(), 3);

    EXPECT_EQ(api->tolmaren_readShiftRegister(2, read, 18), 0u);
    EXPECT_EQ(read, test);
    EXPECT_EQ(sim->chain(2), test);

    if (type >= 2) {
        api->shankConfiguration.reset();
        EXPECT_EQ(api->tolmaren_readShankRegister(read), 0u);
        EXPECT_EQ(read, shank);
        std::vector<bool> again;
        api->shankConfiguration.getChain(again);
        EXPECT_EQ(again, shank);
        EXPECT_EQ(sim->chain(1), shank);
        EXPECT_NE(log().find("probeType = " + std::to_string(type) + "\n"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(ProbeTypes, ControlShift, ::testing::Values(0, 1, 2, 3));

using ControlShiftFaults = LiveControlTest;

TEST_F(ControlShiftFaults, AFlippedBitFailsVerificationWithOneLogLine) {
    std::vector<bool> base;
    api->baseConfiguration.getChain(base);
    // Right after the plain write the probe loses bit 100.
    api->afterWrite = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x51 && !(t.firstValue & ShiftWords::captureFlag)) {
            std::vector<bool> damaged = base;
            damaged[100] = !damaged[100];
            loadChain(*sim, 0, damaged);
        }
    };
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 6u);
    const std::string text = log();
    EXPECT_EQ(count(text, "error in qchain at "), 1u);
    EXPECT_NE(
        text.find(std::string("error in qchain at 100 value is ") + (base[100] ? "0" : "1") + "\n"),
        std::string::npos);
    // The second shift put the chain in as written.
    EXPECT_EQ(sim->chain(0), base);

    // Without verification the damage goes unnoticed.
    EXPECT_EQ(api->tolmaren_writeBaseRegister(false), 0u);
}

TEST_F(ControlShiftFaults, BytesLeftInTheShiftFifoAreAFault) {
    ASSERT_EQ(api->tolmaren_mode(1), 0u);
    // A stray captured byte before the read-back.
    api->afterWrite = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x51 && !(t.firstValue & ShiftWords::captureFlag))
            api->writeRegister(0x1060, ShiftWords::captureFlag);
    };
    try {
        api->tolmaren_writeBaseRegister(true);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "shift_fifo should be empty");
    }
    EXPECT_EQ(sim->asicMode(), 0) << "the probe stays in configuration mode";

    // One captured byte more than the read-back takes.
    api->afterWrite = nullptr;
    api->tolmaren_resetUart();
    sim->modify([](tolmaren_sim::HardwareModel& hw) {
        hw.bridge.reset();
        return 0;
    });
    api->beforeRead = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x52) api->writeRegister(0x1060, ShiftWords::captureFlag);
    };
    EXPECT_THROW(api->tolmaren_writeBaseRegister(true), std::runtime_error);
}

TEST_F(ControlShiftFaults, EachFailingStepHasItsCode) {
    ASSERT_EQ(api->tolmaren_mode(3), 0u);
    changeFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 1u);
    std::vector<bool> chain;
    EXPECT_EQ(api->tolmaren_readBaseRegister(chain), 1u);
    changeFaults([](Faults& f) { f = Faults(); });

    // Flag bit 3 fails only the accelerated shift data.
    changeFaults([](Faults& f) { f.uartErrorFlags = 0x8; });
    EXPECT_EQ(api->tolmaren_writeBaseRegister(false), 4u);
    EXPECT_EQ(sim->asicMode(), 0);
    EXPECT_EQ(api->tolmaren_readShiftRegister(0, chain, 7414), 4u);
    changeFaults([](Faults& f) { f = Faults(); });
    ASSERT_EQ(api->tolmaren_mode(3), 0u);

    const struct {
        unsigned char reg;
        bool write;
        bool capture; // the fault hits only words with (or without) the capture flag
        unsigned int code;
    } steps[] = {
        {0x11, true, false, 2}, {0x50, true, false, 3},  {0x51, true, false, 4},
        {0x51, true, true, 4},  {0x52, false, false, 5},
    };
    for (const auto& step : steps) {
        api->failWith = [&](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
            if (t.reg != step.reg || t.write != step.write) return std::nullopt;
            if (t.write && step.reg == 0x51 &&
                ((t.firstValue & ShiftWords::captureFlag) != 0) != step.capture)
                return std::nullopt;
            return 7u;
        };
        EXPECT_EQ(api->tolmaren_writeBaseRegister(true), step.code) << int(step.reg);
        api->failWith = nullptr;
        api->tolmaren_resetUart();
        sim->modify([](tolmaren_sim::HardwareModel& hw) {
            hw.bridge.reset();
            return 0;
        });
        ASSERT_EQ(api->tolmaren_mode(3), 0u);
    }

    // Restoring the mode after a complete transfer.
    int modeWrites = 0;
    api->failWith = [&](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
        if (t.write && t.reg == 0x11 && ++modeWrites > 3) return 7u;
        return std::nullopt;
    };
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 2u);
    std::vector<bool> base;
    api->baseConfiguration.getChain(base);
    EXPECT_EQ(sim->chain(0), base);
}

} // namespace
