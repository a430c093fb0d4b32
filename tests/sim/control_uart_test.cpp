// The headstage serial link through the simulator's UART bridge.
#include "sim/LiveControlApi.h"

namespace {

using ControlUart = LiveControlTest;
using tolmaren_sim::Faults;

TEST_F(ControlUart, EveryStatusCodeOfTheTransactions) {
    std::vector<unsigned char> one(1);
    std::vector<unsigned char> two(2);
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x5A}), 0u);
    EXPECT_EQ(sim->headstageRegister(0x42), 0x5A);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 0u);
    EXPECT_EQ(one[0], 0x5A);

    changeFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01}), 2u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 2u);
    EXPECT_EQ(sim->headstageRegister(0x42), 0x5A);

    changeFaults([](Faults& f) {
        f = Faults();
        f.uartWrongAck = 0x00;
    });
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01}), 3u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 3u);
    api->tolmaren_resetUart();

    const struct {
        uint8_t flags;
        unsigned int code;
    } flagCases[] = {{0x1, 4}, {0x2, 5}, {0x4, 6}, {0x6, 5}, {0x8, 0}};
    for (const auto& c : flagCases) {
        changeFaults([&](Faults& f) {
            f = Faults();
            f.uartErrorFlags = c.flags;
        });
        EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01}), c.code) << int(c.flags);
        EXPECT_EQ(api->tolmaren_readUart(0x90, 0x07, one), c.code) << int(c.flags);
    }
    // The accelerated paths also fail on bit 3.
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x51, {0x000}), 3u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x52, one), 3u);
    changeFaults([](Faults& f) {
        f = Faults();
        f.uartErrorFlags = 0x2;
    });
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x51, {0x000}), 5u);

    // A silent headstage fails the accelerated transfer with flag bit 3.
    changeFaults([](Faults& f) {
        f = Faults();
        f.headstageSilent = true;
    });
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x51, {0x100}), 3u);

    // A reply that stops early: the bytes that came stay.
    changeFaults([](Faults& f) {
        f = Faults();
        f.uartMissingReplyBytes = 1;
    });
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x43, 0x77), 0u);
    two = {0xEE, 0xEE};
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, two), 2u);
    EXPECT_EQ(two, (std::vector<unsigned char>{0x01, 0xEE}));
    EXPECT_EQ(count(log(), "uart timeout\n"), 3u);

    api->tolmaren_close();
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x42, {0x01}), 1u);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x42, one), 1u);
}

TEST_F(ControlUart, AcceleratedPortsMoveShiftWordsAndCapturedBytes) {
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x50, 2), 0u);
    // 18-bit test chain: three words, word 0 with chain bits 0 and 1 on top.
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x51, {0xC0, 0x00, 0x80}), 0u);
    std::vector<bool> expected(18, false);
    expected[0] = expected[1] = expected[17] = true;
    EXPECT_EQ(sim->chain(2), expected);
    EXPECT_EQ(sim->registerValue(0x1064), 0u);
    EXPECT_EQ(api->tolmaren_writeUart(0x40, 0x51, {0x100, 0x100, 0x100}), 0u);
    EXPECT_EQ(sim->registerValue(0x1064), 3u);
    std::vector<unsigned char> bytes(3);
    EXPECT_EQ(api->tolmaren_readUart(0x40, 0x52, bytes), 0u);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x03, 0x00, 0x02}));
    EXPECT_EQ(sim->registerValue(0x1064), 0u);
    const std::string text = log();
    EXPECT_NE(text.find("tolmaren_writeUart(40, 51, c0) called\naccelerated TRANSMIT\n"),
              std::string::npos);
    EXPECT_NE(text.find("tolmaren_readUart(40, 52, std::vector<unsigned char> & data) called\n"
                        "accelerated RECEIVE\n"),
              std::string::npos);
}

TEST_F(ControlUart, SerialLinkConfigurationAndHeadstageReset) {
    EXPECT_EQ(api->tolmaren_configureSerializer(), 0u);
    EXPECT_EQ(api->tolmaren_configureDeserializer(), 0u);
    EXPECT_EQ(sim->serializerRegister(7), 0x12);
    EXPECT_EQ(sim->deserializerRegister(7), 0x12);
    unsigned char value = 0;
    EXPECT_EQ(api->tolmaren_serializerReadRegister(7, value), 0u);
    EXPECT_EQ(value, 0x12);
    EXPECT_EQ(api->tolmaren_deserializerReadRegister(4, value), 0u);
    EXPECT_EQ(value, 0x87);

    // After a time-out the serializer is tried once more, the deserializer not.
    changeFaults([](Faults& f) { f.uartNoAck = true; });
    const std::size_t before = count(log(), "uart timeout\n");
    EXPECT_EQ(api->tolmaren_configureSerializer(), 1u);
    EXPECT_EQ(count(log(), "uart timeout\n"), before + 2);
    EXPECT_EQ(api->tolmaren_configureDeserializer(), 1u);
    EXPECT_EQ(count(log(), "uart timeout\n"), before + 3);
    changeFaults([](Faults& f) {
        f = Faults();
        f.uartWrongAck = 0x55;
    });
    api->transactions.clear();
    EXPECT_EQ(api->tolmaren_configureSerializer(), 1u);
    EXPECT_EQ(api->transactions.size(), 1u);
    changeFaults([](Faults& f) { f = Faults(); });
    api->tolmaren_resetUart();

    for (unsigned char reg : {0x10, 0x11, 0x40, 0x41, 0x42, 0x43, 0x50})
        ASSERT_EQ(api->tolmaren_headstageWriteRegister(reg, 0x0C), 0u);
    api->transactions.clear();
    EXPECT_EQ(api->resetHeadstageRegisters(), 0u);
    for (unsigned char reg : {0x10, 0x11, 0x40, 0x41, 0x42, 0x43, 0x50})
        EXPECT_EQ(sim->headstageRegister(reg), 0) << int(reg);
    std::vector<std::pair<int, int>> written;
    for (const auto& t : api->transactions)
        written.emplace_back(t.reg, t.firstValue);
    EXPECT_EQ(written, (std::vector<std::pair<int, int>>{{0x10, 0x00},
                                                         {0x11, 0x00},
                                                         {0x31, 0x07},
                                                         {0x40, 0x00},
                                                         {0x41, 0x00},
                                                         {0x42, 0x00},
                                                         {0x43, 0x00},
                                                         {0x50, 0x00}}));

    // The first failing write ends the reset with its status.
    for (unsigned char reg : {0x40, 0x50})
        ASSERT_EQ(api->tolmaren_headstageWriteRegister(reg, 0x0C), 0u);
    api->failWith = [](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
        if (t.reg == 0x31) return 2u;
        return std::nullopt;
    };
    EXPECT_EQ(api->resetHeadstageRegisters(), 2u);
    EXPECT_EQ(sim->headstageRegister(0x40), 0x0C);
    EXPECT_EQ(sim->headstageRegister(0x50), 0x0C);
}

TEST_F(ControlUart, ResetUartDropsLateReplyBytes) {
    // A read whose reply is never collected leaves bytes in the bridge.
    api->configLink_->vciBurstWrite(0x1044, {0x79, 0x41, 0x00, 0x02}, VciInterface::NoIncrement);
    EXPECT_EQ(sim->registerValue(0x1048), 3u);
    api->tolmaren_resetUart();
    EXPECT_EQ(sim->registerValue(0x1048), 0u);
    unsigned char id = 0;
    EXPECT_EQ(api->tolmaren_headstageReadRegister(0x00, id), 0u);
    EXPECT_EQ(id, sim->options().headstageId0);
}

struct ControlBit {
    const char* name;
    unsigned int (Tolmaren_basestation_api::*set)(bool);
    unsigned char reg;
    unsigned int bit;
};

TEST_F(ControlUart, ControlBitsChangeOneBitAndKeepTheOthers) {
    const ControlBit bits[] = {
        {"heartbeat", &Tolmaren_basestation_api::tolmaren_HSSwHbeat, 0x10, 0},
        {"nd enable", &Tolmaren_basestation_api::tolmaren_ndEnable, 0x10, 1},
        {"bist tx", &Tolmaren_basestation_api::tolmaren_bistTx, 0x10, 2},
        {"bist rx", &Tolmaren_basestation_api::tolmaren_bistRx, 0x10, 3},
        {"hs reset", &Tolmaren_basestation_api::tolmaren_HSReset, 0x11, 0},
        {"nrst", &Tolmaren_basestation_api::tolmaren_nrst, 0x11, 4},
        {"pr nrst", &Tolmaren_basestation_api::tolmaren_prnrst, 0x11, 5},
    };
    for (const ControlBit& b : bits) {
        // Bit 6 of register 0x10 and bit 1 of 0x11 have no operation of their own.
        ASSERT_EQ(api->tolmaren_headstageWriteRegister(b.reg, b.reg == 0x10 ? 0x40 : 0x02), 0u);
        EXPECT_EQ((api.get()->*b.set)(true), 0u) << b.name;
        const unsigned char kept = b.reg == 0x10 ? 0x40 : 0x02;
        EXPECT_EQ(sim->headstageRegister(b.reg), kept | (1u << b.bit)) << b.name;
        EXPECT_EQ((api.get()->*b.set)(false), 0u) << b.name;
        EXPECT_EQ(sim->headstageRegister(b.reg), kept) << b.name;
    }
    EXPECT_EQ(api->tolmaren_te(1), 0u);
    EXPECT_EQ(sim->headstageRegister(0x10), 0x50);
    EXPECT_EQ(api->tolmaren_te(0), 0u);
    EXPECT_EQ(sim->headstageRegister(0x10), 0x40);
    const auto before = sim->counters().uartTransactions;
    EXPECT_EQ(api->tolmaren_te(2), 3u);
    EXPECT_EQ(sim->counters().uartTransactions, before);

    // A failed read gives 1, a failed write 2; the reset ignores its write.
    changeFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_ndEnable(true), 1u);
    EXPECT_EQ(api->tolmaren_HSReset(true), 1u);
    changeFaults([](Faults& f) { f = Faults(); });
    api->failWith = [](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
        return t.write ? std::optional<unsigned int>(3u) : std::nullopt;
    };
    EXPECT_EQ(api->tolmaren_ndEnable(true), 2u);
    EXPECT_EQ(api->tolmaren_te(1), 2u);
    EXPECT_EQ(api->tolmaren_prnrst(true), 2u);
    EXPECT_EQ(api->tolmaren_HSReset(true), 0u);
}

TEST_F(ControlUart, ModeIsLatchedBetweenNrstLevelsThatEndWhereTheyStarted) {
    std::vector<unsigned short> writes11;
    api->afterWrite = [&](const LiveControlApi::Transaction& t) {
        if (t.reg == 0x11) writes11.push_back(t.firstValue);
    };
    // NRST low: MODE, NRST up (the ASIC takes the mode), NRST down.
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x11, 0x20), 0u);
    writes11.clear();
    EXPECT_EQ(api->tolmaren_mode(1), 0u);
    EXPECT_EQ(writes11, (std::vector<unsigned short>{0x60, 0x70, 0x60}));
    EXPECT_EQ(sim->asicMode(), 1);
    EXPECT_EQ(sim->headstageRegister(0x11), 0x60);

    // NRST high: NRST down, MODE, NRST up.
    ASSERT_EQ(api->tolmaren_nrst(true), 0u);
    writes11.clear();
    EXPECT_EQ(api->tolmaren_mode(3), 0u);
    EXPECT_EQ(writes11, (std::vector<unsigned short>{0x60, 0xE0, 0xF0}));
    EXPECT_EQ(sim->asicMode(), 3);
    EXPECT_EQ(sim->headstageRegister(0x11), 0xF0);

    unsigned char mode = 0;
    EXPECT_EQ(api->tolmaren_readMode(mode), 0u);
    EXPECT_EQ(mode, 3);
    EXPECT_EQ(api->tolmaren_mode(0), 0u);
    EXPECT_EQ(sim->asicMode(), 0);

    writes11.clear();
    EXPECT_EQ(api->tolmaren_mode(4), 3u);
    EXPECT_TRUE(writes11.empty());
    const std::string text = log();
    EXPECT_NE(text.find("tolmaren_mode(4) called\n"), std::string::npos);
    EXPECT_NE(text.find("tolmaren_readMode(unsigned char mode) called\n"), std::string::npos);
    EXPECT_NE(text.find("mode = 3\n"), std::string::npos);

    // The step that fails names its code.
    api->failWith = [](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
        return t.write && (t.firstValue & 0xC0) == 0x40 ? std::optional<unsigned int>(2u)
                                                        : std::nullopt;
    };
    EXPECT_EQ(api->tolmaren_mode(1), 2u);
    changeFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_mode(1), 1u);
    EXPECT_EQ(api->tolmaren_readMode(mode), 1u);
}

TEST_F(ControlUart, DigitalControlRegistersDecode) {
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x10, 0x1B), 0u);
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x11, 0xD1), 0u);
    unsigned char mode = 0;
    bool te = false, nrst = false, prnrst = true, ndEnable = false, heartbeat = false,
         hsReset = false, bistRx = false, bistTx = true;
    EXPECT_EQ(api->tolmaren_getDigCtrl(mode, te, nrst, prnrst, ndEnable, heartbeat, hsReset, bistRx,
                                       bistTx),
              0u);
    EXPECT_EQ(mode, 3);
    EXPECT_TRUE(te);
    EXPECT_TRUE(nrst);
    EXPECT_FALSE(prnrst);
    EXPECT_TRUE(ndEnable);
    EXPECT_TRUE(heartbeat);
    EXPECT_TRUE(hsReset);
    EXPECT_TRUE(bistRx);
    EXPECT_FALSE(bistTx);

    // Register 0x11 failing keeps what register 0x10 gave.
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x10, 0x00), 0u);
    api->failWith = [](const LiveControlApi::Transaction& t) -> std::optional<unsigned int> {
        return !t.write && t.reg == 0x11 ? std::optional<unsigned int>(2u) : std::nullopt;
    };
    mode = 7;
    EXPECT_EQ(api->tolmaren_getDigCtrl(mode, te, nrst, prnrst, ndEnable, heartbeat, hsReset, bistRx,
                                       bistTx),
              1u);
    EXPECT_FALSE(te);
    EXPECT_FALSE(heartbeat);
    EXPECT_EQ(mode, 7);
    EXPECT_TRUE(nrst);
}

} // namespace
