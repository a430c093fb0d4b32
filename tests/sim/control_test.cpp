// Basestation control and the headstage serial link, through the facade on
// the simulator: register addresses, bit positions, sequences and codes.
#include <array>

#include "common/LiveControlApi.h"

namespace {

using Api = Tolmaren_basestation_api;
using Control = LiveControlTest;
using tolmaren_sim::Faults;

TEST_F(Control, SwitchesReachTheirRegistersAndReadBack) {
    const struct {
        unsigned int address;
        unsigned int (Api::*set)(bool);
        unsigned int (Api::*get)(bool&);
    } switches[] = {
        {0x1000, &Api::tolmaren_setBSSwHbeat, &Api::tolmaren_getBSSwHbeat},
        {0x1228, &Api::setNeuralStart, &Api::tolmaren_getNeuralStart},
        {0x1220, &Api::tolmaren_triggerMode, &Api::tolmaren_getTriggerMode},
        {0x1224, &Api::tolmaren_setSyncExtStart, &Api::tolmaren_getSyncExtStart},
        {0x1004, &Api::tolmaren_supplyBS, &Api::tolmaren_getSupplyBS},
        {0x1264, &Api::tolmaren_setDataZeroing, &Api::tolmaren_getDataZeroing},
        {0x1268, &Api::tolmaren_setLockChecking, &Api::tolmaren_getLockChecking},
        {0x0008, &Api::tolmaren_datamode, &Api::tolmaren_readDatamodeFromBS},
        {0x1010, &Api::tolmaren_setBypassDatapath, nullptr},
    };
    for (const auto& s : switches) {
        for (bool on : {true, false, true}) {
            EXPECT_EQ((api.get()->*s.set)(on), 0u) << std::hex << s.address;
            EXPECT_EQ(sim->registerValue(s.address), on ? 1u : 0u) << std::hex << s.address;
            bool read = !on;
            if (s.get) {
                EXPECT_EQ((api.get()->*s.get)(read), 0u);
                EXPECT_EQ(read, on) << std::hex << s.address;
            }
        }
    }
    api->writeRegister(0x0008, 0);
    bool electrode = true;
    EXPECT_EQ(api->tolmaren_readDatamodeFromBS(electrode), 0u);
    EXPECT_FALSE(api->tolmaren_getDatamode()) << "the basestation's mode replaces the facade's";

    unsigned char version = 0, revision = 0;
    EXPECT_EQ(api->tolmaren_getBSVersion(version) + api->tolmaren_getBSRevision(revision), 0u);
    EXPECT_EQ(version, sim->options().bsVersion);
    EXPECT_EQ(revision, sim->options().bsRevision);
}

TEST_F(Control, DisplayGeneratorTemperatureAndFifoFill) {
    EXPECT_EQ(api->tolmaren_writeLCD("ABCDEFGHIJKLMNOP", "0123456789abcdef"), 0u);
    // Groups of four characters in reverse order, the first one highest.
    EXPECT_EQ(sim->registerValue(0x1020), 0x4D4E4F50u);
    EXPECT_EQ(sim->registerValue(0x102C), 0x41424344u);
    EXPECT_EQ(sim->registerValue(0x103C), 0x30313233u);
    EXPECT_EQ(sim->displayLines(),
              (std::array<std::string, 2>{"ABCDEFGHIJKLMNOP", "0123456789abcdef"}));
    EXPECT_EQ(api->tolmaren_writeLCD("    Tolmaren    ", "0123456789abcde"), 3u);
    EXPECT_EQ(api->tolmaren_writeLCD("    Tolmaren     ", "0123456789abcdef"), 3u);
    EXPECT_EQ(sim->displayLines()[0], "ABCDEFGHIJKLMNOP");
    // Codes above 0x7F stay 8-bit and do not spill into their neighbours.
    const std::string high = "\xE9" + std::string(14, ' ') + "\xFF";
    EXPECT_EQ(api->tolmaren_writeLCD(high, high), 0u);
    EXPECT_EQ(sim->registerValue(0x1020), 0x202020FFu);
    EXPECT_EQ(sim->registerValue(0x102C), 0xE9202020u);

    // Generator: enable, parameter and 2^exponent (low five bits) at 0x1080..0x1088.
    bool enabled = false;
    unsigned char parameter = 0;
    unsigned int exponent = 0;
    for (unsigned int e : {10u, 33u, 31u}) {
        EXPECT_EQ(api->tolmaren_enableBasestationGenerator(e != 33, 0x5A, e), 0u);
        EXPECT_EQ(sim->registerValue(0x1080), e != 33 ? 1u : 0u);
        EXPECT_EQ(sim->registerValue(0x1084), 0x5Au);
        EXPECT_EQ(sim->registerValue(0x1088), 1u << (e & 31));
        EXPECT_EQ(api->tolmaren_getBasestationGeneratorEnabled(enabled, parameter, exponent), 0u);
        EXPECT_EQ(enabled, e != 33);
        EXPECT_EQ(parameter, 0x5A);
        EXPECT_EQ(exponent, e & 31);
    }

    // 2^28 is a full FIFO; temperature = code * 503.975 / 4096 - 273.15.
    for (auto [raw, percent] : {std::pair<uint32_t, float>{1u << 27, 50.0f}, {1u << 28, 100.0f}}) {
        sim->modify([raw = raw](tolmaren_sim::HardwareModel& hw) {
            hw.registers.setFifoFilling(raw);
            return 0;
        });
        EXPECT_FLOAT_EQ(api->tolmaren_fifoFilling(), percent);
    }
    float celsius = -1000.0f;
    for (auto [code, expected] : {std::pair<uint32_t, float>{2220, 0.0f}, {2560, 41.83f}}) {
        sim->setTemperatureCode(code);
        EXPECT_EQ(api->tolmaren_readTemperature(celsius), 0u);
        EXPECT_NEAR(celsius, expected, 0.005f);
    }
}

TEST_F(Control, DatapathCheckReportsTheFirstErrorInItsOrder) {
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 0u);
    // Each row adds one error to the ones before: the earlier check wins.
    const std::pair<void (*)(Faults&), unsigned int> rows[] = {
        {[](Faults& f) { f.test9Errors[7] = 1; }, 5}, {[](Faults& f) { f.test9Errors[4] = 3; }, 5},
        {[](Faults& f) { f.test9Errors[2] = 1; }, 3}, {[](Faults& f) { f.test9Errors[0] = 1; }, 2},
        {[](Faults& f) { f.dmaError = 1; }, 1},
    };
    Faults faults;
    for (const auto& [add, code] : rows) {
        add(faults);
        sim->setFaults(faults);
        EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), code);
    }
    // The self-test 7 error count lies between results 2 and 4; it shows
    // once the test has checked words (BIST transmit on, test 7 enabled).
    setFaults([](Faults& f) {
        f.test7ErrorCount = 2;
        f.test9Errors[5] = 1;
    });
    ASSERT_EQ(api->tolmaren_bistTx(true), 0u);
    api->writeRegister(0x126C, 1);
    api->tolmaren_milliSleep(5);
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 4u);
}

TEST_F(Control, DatapathResetFlushesWhileHeldAndSoftwareStartRestarts) {
    std::vector<std::array<uint32_t, 2>> atFlush; // datapath reset, neural start
    api->onFlush = [&] {
        atFlush.push_back({sim->registerValue(0x10), sim->registerValue(0x1228)});
    };
    ASSERT_EQ(api->setNeuralStart(true), 0u);
    EXPECT_EQ(api->tolmaren_resetDatapath(), 0u);
    EXPECT_EQ(sim->registerValue(0x10), 0u);

    // Without the start-trigger output nothing happens.
    EXPECT_EQ(api->tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(atFlush.size(), 1u);
    ASSERT_EQ(api->tolmaren_triggerMode(true), 0u);
    EXPECT_EQ(api->tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(atFlush, (std::vector<std::array<uint32_t, 2>>{{1, 1}, {1, 0}}));
    EXPECT_EQ(sim->registerValue(0x1228), 1u);
    EXPECT_EQ(sim->registerValue(0x10), 0u);
}

TEST_F(Control, UartTransactionCodes) {
    std::vector<unsigned char> one(1), two(2);
    EXPECT_EQ(api->tolmaren_headstageWriteRegister(0x42, 0x5A), 0u);
    EXPECT_EQ(sim->headstageRegister(0x42), 0x5A);
    EXPECT_EQ(count(log(), "tolmaren_headstageWriteRegister(42, 5a) called\n"), 1u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 0u);
    EXPECT_EQ(one[0], 0x5A);

    // No acknowledge: 2 after exactly 2002 polls of the receive count,
    // without reading the data or the flags.
    setFaults([](Faults& f) { f.uartNoAck = true; });
    const auto requests = sim->counters().requests;
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01}), 2u);
    EXPECT_EQ(sim->counters().requests - requests, 1u + 2002u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 2u);
    EXPECT_EQ(sim->headstageRegister(0x42), 0x5A);
    EXPECT_EQ(count(log(), "uart timeout\n"), 2u);
    heal();

    // Wrong acknowledge, error flags, silent headstage: codes of command
    // transactions and of the accelerated shift ports.
    const struct {
        int wrongAck;
        uint8_t flags;
        bool silent;
        unsigned int command, accelerated;
    } rows[] = {{-1, 0, false, 0, 0},   {0x00, 0, false, 3, 0}, {-1, 0x1, false, 4, 4},
                {-1, 0x2, false, 5, 5}, {-1, 0x4, false, 6, 6}, {-1, 0x6, false, 5, 5},
                {-1, 0x8, false, 0, 3}, {-1, 0, true, 2, 3}};
    for (const auto& row : rows) {
        setFaults([&](Faults& f) {
            if (row.wrongAck >= 0) f.uartWrongAck = static_cast<uint8_t>(row.wrongAck);
            f.uartErrorFlags = row.flags;
            f.headstageSilent = row.silent;
        });
        const auto name = std::to_string(row.wrongAck) + "/" + std::to_string(row.flags);
        EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x43, {0x01}), row.command) << name;
        EXPECT_EQ(api->tolmaren_readUart(0x40, 0x43, one), row.command) << name;
        EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x51, {0x100}), row.accelerated) << name;
        EXPECT_EQ(api->tolmaren_readUart(0x40, 0x52, one), row.accelerated) << name;
        heal();
    }

    // A reply that stops early keeps the bytes that came; the caller's value
    // stays on any failure.
    setFaults([](Faults& f) { f.uartMissingReplyBytes = 1; });
    ASSERT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01, 0x77}), 0u);
    two = {0xEE, 0xEE};
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, two), 2u);
    EXPECT_EQ(two, (std::vector<unsigned char>{0x01, 0xEE}));
    unsigned char value = 0x33;
    EXPECT_EQ(api->tolmaren_headstageReadRegister(0x42, value), 2u);
    EXPECT_EQ(value, 0x33);

    api->tolmaren_close();
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01}), 1u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 1u);
}

TEST_F(Control, SerialLinkConfigurationRetriesAndHeadstageReset) {
    EXPECT_EQ(api->tolmaren_configureSerializer(), 0u);
    EXPECT_EQ(api->tolmaren_configureDeserializer(), 0u);
    EXPECT_EQ(sim->serializerRegister(7), 0x12);
    EXPECT_EQ(sim->deserializerRegister(7), 0x12);
    unsigned char value = 0;
    EXPECT_EQ(api->tolmaren_deserializerReadRegister(4, value), 0u);
    EXPECT_EQ(value, 0x87);
    EXPECT_EQ(api->tolmaren_serializerReadRegister(7, value), 0u);
    EXPECT_EQ(value, 0x12);

    // After a time-out the serializer is tried once more, the deserializer
    // not; a wrong acknowledge is not retried either.
    setFaults([](Faults& f) { f.uartNoAck = true; });
    api->transactions.clear();
    EXPECT_EQ(api->tolmaren_configureSerializer(), 1u);
    EXPECT_EQ(api->transactions.size(), 2u);
    EXPECT_EQ(api->tolmaren_configureDeserializer(), 1u);
    EXPECT_EQ(api->transactions.size(), 3u);
    setFaults([](Faults& f) { f.uartWrongAck = 0x55; });
    EXPECT_EQ(api->tolmaren_configureSerializer(), 1u);
    EXPECT_EQ(api->transactions.size(), 4u);
    heal();

    for (unsigned char reg : {0x10, 0x11, 0x31, 0x40, 0x41, 0x42, 0x43, 0x50})
        ASSERT_EQ(api->tolmaren_headstageWriteRegister(reg, 0x08), 0u);
    api->transactions.clear();
    EXPECT_EQ(api->resetHeadstageRegisters(), 0u);
    std::vector<std::pair<int, int>> written;
    for (const auto& t : api->transactions)
        written.emplace_back(t.reg, t.firstValue);
    EXPECT_EQ(written, (std::vector<std::pair<int, int>>{{0x10, 0},
                                                         {0x11, 0},
                                                         {0x31, 7},
                                                         {0x40, 0},
                                                         {0x41, 0},
                                                         {0x42, 0},
                                                         {0x43, 0},
                                                         {0x50, 0}}));
    for (unsigned char reg : {0x10, 0x11, 0x40, 0x41, 0x42, 0x43, 0x50})
        EXPECT_EQ(sim->headstageRegister(reg), 0) << int(reg);

    // The first failing write ends the reset with its status.
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x40, 0x0C), 0u);
    api->failWith = [](const LiveControlApi::Transaction& t) {
        return t.reg == 0x31 ? std::optional<unsigned int>(6u) : std::nullopt;
    };
    EXPECT_EQ(api->resetHeadstageRegisters(), 6u);
    EXPECT_EQ(sim->headstageRegister(0x40), 0x0C);
}

TEST_F(Control, ResetUartDropsLateReplyBytes) {
    // A read whose reply is never collected leaves three bytes in the bridge.
    api->configLink_->vciBurstWrite(0x1044, {0x79, 0x41, 0x00, 0x02}, VciInterface::NoIncrement);
    EXPECT_EQ(sim->registerValue(0x1048), 3u);
    api->tolmaren_resetUart();
    EXPECT_EQ(sim->registerValue(0x1048), 0u);
    unsigned char id = 0;
    EXPECT_EQ(api->tolmaren_headstageReadRegister(0x00, id), 0u);
    EXPECT_EQ(id, sim->options().headstageId0);
}

TEST_F(Control, HeadstageControlBitsChangeOneBitAndKeepTheOthers) {
    const struct {
        unsigned int (Api::*set)(bool);
        unsigned char reg;
        unsigned int bit;
    } bits[] = {
        {&Api::tolmaren_HSSwHbeat, 0x10, 0}, {&Api::tolmaren_ndEnable, 0x10, 1},
        {&Api::tolmaren_bistTx, 0x10, 2},    {&Api::tolmaren_bistRx, 0x10, 3},
        {&Api::tolmaren_HSReset, 0x11, 0},   {&Api::tolmaren_nrst, 0x11, 4},
        {&Api::tolmaren_prnrst, 0x11, 5},
    };
    for (const auto& b : bits) {
        // Bit 6 of 0x10 and bit 1 of 0x11 belong to no operation.
        const unsigned char kept = b.reg == 0x10 ? 0x40 : 0x02;
        ASSERT_EQ(api->tolmaren_headstageWriteRegister(b.reg, kept), 0u);
        EXPECT_EQ((api.get()->*b.set)(true), 0u);
        EXPECT_EQ(sim->headstageRegister(b.reg), kept | (1u << b.bit)) << int(b.reg) << b.bit;
        EXPECT_EQ((api.get()->*b.set)(false), 0u);
        EXPECT_EQ(sim->headstageRegister(b.reg), kept) << int(b.reg) << b.bit;
    }
    EXPECT_EQ(api->tolmaren_te(1), 0u);
    EXPECT_EQ(sim->headstageRegister(0x10), 0x50);
    EXPECT_EQ(api->tolmaren_te(0), 0u);
    EXPECT_EQ(sim->headstageRegister(0x10), 0x40);
    const auto before = sim->counters().uartTransactions;
    EXPECT_EQ(api->tolmaren_te(2), 3u);
    EXPECT_EQ(sim->counters().uartTransactions, before);

    // A failed read gives 1, a failed write 2; the headstage reset ignores
    // the status of its write.
    setFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_ndEnable(true), 1u);
    EXPECT_EQ(api->tolmaren_HSReset(true), 1u);
    heal();
    api->failWith = [](const LiveControlApi::Transaction& t) {
        return t.write ? std::optional<unsigned int>(3u) : std::nullopt;
    };
    EXPECT_EQ(api->tolmaren_ndEnable(true), 2u);
    EXPECT_EQ(api->tolmaren_te(1), 2u);
    EXPECT_EQ(api->tolmaren_nrst(true), 2u);
    EXPECT_EQ(api->tolmaren_HSReset(true), 0u);
}

TEST_F(Control, ModeIsLatchedByAnNrstRiseThatEndsAtTheLevelItStartedFrom) {
    std::vector<unsigned short> writes;
    api->afterWrite = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x11) writes.push_back(t.firstValue);
    };
    // NRST low: MODE, NRST up (the ASIC takes the mode), NRST down.
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x11, 0x20), 0u);
    writes.clear();
    EXPECT_EQ(api->tolmaren_mode(1), 0u);
    EXPECT_EQ(writes, (std::vector<unsigned short>{0x60, 0x70, 0x60}));
    EXPECT_EQ(sim->asicMode(), 1);
    // NRST high: NRST down, MODE, NRST up.
    ASSERT_EQ(api->tolmaren_nrst(true), 0u);
    writes.clear();
    EXPECT_EQ(api->tolmaren_mode(3), 0u);
    EXPECT_EQ(writes, (std::vector<unsigned short>{0x60, 0xE0, 0xF0}));
    EXPECT_EQ(sim->asicMode(), 3);
    unsigned char mode = 0;
    EXPECT_EQ(api->tolmaren_readMode(mode), 0u);
    EXPECT_EQ(mode, 3);

    writes.clear();
    EXPECT_EQ(api->tolmaren_mode(4), 3u);
    EXPECT_TRUE(writes.empty());
    api->failWith = [](const LiveControlApi::Transaction& t) {
        return t.write && (t.firstValue & 0xC0) == 0x40 ? std::optional<unsigned int>(2u)
                                                        : std::nullopt;
    };
    EXPECT_EQ(api->tolmaren_mode(1), 2u);
    setFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_mode(1), 1u);
    EXPECT_EQ(api->tolmaren_readMode(mode), 1u);
}

TEST_F(Control, DigitalControlRegistersDecode) {
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x10, 0x1B), 0u);
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x11, 0xD1), 0u);
    unsigned char mode = 0;
    bool b[8] = {false, false, true, false, false, false, false, true};
    auto get = [&] {
        return api->tolmaren_getDigCtrl(mode, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
    };
    EXPECT_EQ(get(), 0u);
    EXPECT_EQ(mode, 3);
    // te, nrst, prnrst, ndEnable, heartbeat, hsReset, bistRx, bistTx
    const bool expected[8] = {true, true, false, true, true, true, true, false};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b[i], expected[i]) << i;

    // Register 0x11 failing keeps what register 0x10 gave.
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x10, 0x00), 0u);
    api->failWith = [](const LiveControlApi::Transaction& t) {
        return !t.write && t.reg == 0x11 ? std::optional<unsigned int>(2u) : std::nullopt;
    };
    mode = 7;
    EXPECT_EQ(get(), 1u);
    EXPECT_FALSE(b[0]);
    EXPECT_TRUE(b[1]);
    EXPECT_EQ(mode, 7);
}

} // namespace
