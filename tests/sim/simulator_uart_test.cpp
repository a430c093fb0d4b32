// The UART bridge and the devices behind it: command transactions word by
// word, serializer/deserializer, headstage control registers, error flags and
// the injected serial-link faults.
#include <gtest/gtest.h>

#include "sim/SimulatorSession.h"

using tolmaren_sim::Faults;
using tolmaren_sim::SimulatorOptions;

namespace {
const std::optional<uint8_t> ack = 0xC3;
} // namespace

TEST(SimulatorUart, TransactionsWrittenWordByWord) {
    SimulatorSession s;
    auto& uart = s.map->vci2uart;
    // Headstage write 79 40 reg 01 value, one register write per word.
    for (unsigned int word : {0x79u, 0x40u, 0x10u, 0x01u, 0x1Bu})
        uart.tx_data.write(word);
    EXPECT_EQ(uart.rx_count.read(), 1u);
    EXPECT_EQ(uart.rx_data.read(), 0xC3u);
    EXPECT_EQ(uart.rx_count.read(), 0u);
    EXPECT_EQ(s.sim.headstageRegister(0x10), 0x1B);

    // Headstage read 79 41 reg 01: the acknowledge, then the byte.
    for (unsigned int word : {0x79u, 0x41u, 0x10u, 0x01u})
        uart.tx_data.write(word);
    EXPECT_EQ(uart.rx_count.read(), 2u);
    EXPECT_EQ(uart.rx_data.read(), 0xC3u);
    EXPECT_EQ(uart.rx_data.read(), 0x1Bu);
    EXPECT_EQ(uart.uart_error_flags.flags.read(), 0u);
}

TEST(SimulatorUart, HeadstageRegisters) {
    SimulatorOptions options;
    options.headstageId0 = 0x12;
    options.headstageId1 = 0x34;
    SimulatorSession s(options);
    const auto ids = s.uartRead(0x40, 0x00, 2);
    EXPECT_EQ(ids.ack, ack);
    EXPECT_EQ(ids.bytes, (std::vector<uint8_t>{0x12, 0x34}));

    // The headstage register reset of the open sequence, then values that
    // must read back.
    for (auto [reg, value] : std::vector<std::pair<uint8_t, uint8_t>>{{0x10, 0x00},
                                                                      {0x11, 0x00},
                                                                      {0x31, 0x07},
                                                                      {0x40, 0x00},
                                                                      {0x41, 0x00},
                                                                      {0x42, 0x00},
                                                                      {0x43, 0x00},
                                                                      {0x50, 0x00},
                                                                      {0x65, 0xA0}})
        s.headstageWrite(reg, value);
    EXPECT_EQ(s.headstageRead(0x65), 0xA0);
    s.headstageWrite(0x40, 0x39); // sine, flag true, setting 3, channel A
    s.headstageWrite(0x41, 0x2E);
    s.headstageWrite(0x42, 0xB8);
    s.headstageWrite(0x43, 0x05);
    const auto generator = s.uartRead(0x40, 0x40, 4);
    EXPECT_EQ(generator.bytes, (std::vector<uint8_t>{0x39, 0x2E, 0xB8, 0x05}));
    // Several values of one write go to consecutive registers.
    EXPECT_EQ(s.uartWrite(0x40, 0x41, {0x12, 0x34}).ack, ack);
    EXPECT_EQ(s.sim.headstageRegister(0x42), 0x34);
    // Identification is read-only.
    s.headstageWrite(0x00, 0x99);
    EXPECT_EQ(s.headstageRead(0x00), 0x12);
}

TEST(SimulatorUart, AsicTakesModeWhenNrstRises) {
    SimulatorSession s;
    // MODE 1 written while NRST stays low: the ASIC keeps mode 0.
    s.headstageWrite(0x11, 0x40);
    EXPECT_EQ(s.sim.asicMode(), 0);
    s.headstageWrite(0x11, 0x50); // NRST rises with MODE 1
    EXPECT_EQ(s.sim.asicMode(), 1);
    s.headstageWrite(0x11, 0xD0); // MODE 3 while NRST stays high
    EXPECT_EQ(s.sim.asicMode(), 1);
    s.headstageWrite(0x11, 0xC0);
    s.headstageWrite(0x11, 0xD0);
    EXPECT_EQ(s.sim.asicMode(), 3);
    // Register and ASIC agree, and the other bits read back (reset 1, PR_NRST 0).
    s.headstageWrite(0x11, 0xD1);
    EXPECT_EQ(s.headstageRead(0x11), 0xD1);
}

TEST(SimulatorUart, SerializerDeserializerAndPrbs) {
    SimulatorSession s;
    EXPECT_EQ(s.checked(s.uartRead(0x80, 0x04, 1)).bytes.at(0), 0x87);
    EXPECT_EQ(s.checked(s.uartRead(0x90, 0x04, 1)).bytes.at(0), 0x87);
    s.checked(s.uartWrite(0x90, 0x07, {0x12}));
    s.checked(s.uartWrite(0x80, 0x07, {0x12}));
    EXPECT_EQ(s.sim.serializerRegister(0x07), 0x12);
    EXPECT_EQ(s.sim.deserializerRegister(0x07), 0x12);

    // A clean PRBS run, then one with two errors.
    s.checked(s.uartWrite(0x90, 0x04, {0xA7}));
    s.checked(s.uartWrite(0x80, 0x04, {0xA7}));
    s.checked(s.uartWrite(0x80, 0x04, {0x87}));
    s.checked(s.uartWrite(0x90, 0x04, {0x87}));
    EXPECT_EQ(s.checked(s.uartRead(0x90, 0x13, 1)).bytes.at(0), 0);
    s.setFaults([](Faults& f) { f.prbsErrors = 2; });
    s.checked(s.uartWrite(0x90, 0x04, {0xA7}));
    s.checked(s.uartWrite(0x90, 0x04, {0x87}));
    EXPECT_EQ(s.checked(s.uartRead(0x90, 0x13, 1)).bytes.at(0), 2);
    EXPECT_EQ(s.checked(s.uartRead(0x90, 0x04, 1)).bytes.at(0), 0x87);
}

TEST(SimulatorUart, Test8FlagsAppearWithBistReceiveAndClearByWriting) {
    SimulatorSession s;
    s.setFaults([](Faults& f) { f.test8ErrorFlags = 0x5; });
    s.headstageWrite(0x31, 0xFF);
    EXPECT_EQ(s.headstageRead(0x31), 0x00);
    s.headstageWrite(0x10, 0x08 | 0x40); // BIST receive, selection 2
    EXPECT_EQ(s.headstageRead(0x31), 0x05);
    s.headstageWrite(0x31, 0x01);
    EXPECT_EQ(s.headstageRead(0x31), 0x04);
}

TEST(SimulatorUart, ErrorFlagsAreClearedByReading) {
    SimulatorSession s;
    auto& flags = s.map->vci2uart.uart_error_flags.flags;
    s.map->vci2uart.tx_data.write(0x55); // not a command marker
    const auto snapshot = flags.readall();
    EXPECT_EQ(snapshot.error_bit1.read(), 1u);
    EXPECT_EQ(snapshot.error_bit0.read(), 0u);
    EXPECT_EQ(flags.read(), 0u);
    // A device nobody answers to leaves the FIFO empty.
    const auto nobody = s.uartRead(0x20, 0x00, 1);
    EXPECT_EQ(nobody.ack, std::nullopt);
}

TEST(SimulatorUart, InjectedSerialLinkFaults) {
    SimulatorSession s;
    s.setFaults([](Faults& f) { f.uartNoAck = true; });
    const auto lost = s.uartWrite(0x40, 0x43, {0x09});
    EXPECT_EQ(lost.ack, std::nullopt);
    EXPECT_EQ(s.sim.headstageRegister(0x43), 0x00); // not executed

    s.setFaults([](Faults& f) {
        f.uartNoAck = false;
        f.uartWrongAck = 0x00;
    });
    EXPECT_EQ(s.uartWrite(0x40, 0x43, {0x09}).ack, std::optional<uint8_t>(0x00));

    for (unsigned int bit = 0; bit < 4; ++bit) {
        Faults faults;
        faults.uartErrorFlags = static_cast<uint8_t>(1u << bit);
        s.sim.setFaults(faults);
        const auto reply = s.uartRead(0x80, 0x04, 1);
        EXPECT_EQ(reply.ack, ack);
        EXPECT_EQ(reply.flags, 1u << bit);
    }

    s.setFaults([](Faults& f) {
        f = Faults{};
        f.uartMissingReplyBytes = 1;
    });
    const auto shortReply = s.uartRead(0x40, 0x00, 2);
    EXPECT_EQ(shortReply.ack, ack);
    EXPECT_EQ(shortReply.bytes.size(), 1u);

    s.setFaults([](Faults& f) {
        f = Faults{};
        f.headstageSilent = true;
    });
    EXPECT_EQ(s.uartRead(0x40, 0x00, 1).ack, std::nullopt);
    EXPECT_EQ(s.uartRead(0x80, 0x04, 1).ack, ack);
    // The accelerated transmit fails with flag bit 3.
    s.vci->vciBurstWrite(s.map->vci2uart.tx_accel.getAddress(), {0x100, 0x100},
                         VciInterface::NoIncrement);
    EXPECT_EQ(s.map->vci2uart.uart_error_flags.flags.read(), 0x8u);
    EXPECT_EQ(s.map->vci2uart.shift_fifo.read(), 0u);
}
