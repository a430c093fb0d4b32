// The basestation register map on an in-memory register space: every
// register at its byte address, and the UART error flags with their snapshot.
#include <gtest/gtest.h>

#include <memory>

#include "common/PacketBytes.h"
#include "registers/neuroprobe.h"
#include "vci/VciDummy.h"

TEST(RegisterMap, EveryRegisterIsReachedAtItsAddress) {
    for (unsigned int base : {0u, 0x100u}) { // a word base moves every byte address by 4 x base
        VciDummy vci;
        const neuroprobe m(base, &vci);
        const auto& c = m.tolmaren_cfg;
        const auto& l = m.lcd_control;
        const auto& u = m.vci2uart;
        const auto& d = m.dma;
        const auto& s = m.deserializer_intf;
        // Runs of registers 4 bytes apart, each from its first byte address.
        // clang-format off
        const std::pair<unsigned int, std::vector<SingleAddress>> runs[] = {
            {0x0000, {c.fpga_version.major, c.fpga_version.minor, c.datamode, c.temperature,
                      c.datapath_reset}},
            {0x0018, {c.cfg_word6, c.channel_to_electrode[0]}},
            {0x0618, {c.channel_to_electrode[383]}},
            {0x1000, {c.bs_sw_hbeat, c.supply, c.bs_version, c.bs_revision, c.bypass_datapath,
                      m.tolmaren_reset.reset, m.reorder.reorder_word0, m.reorder.reorder_word1,
                      l.lcd_text0, l.lcd_text1, l.lcd_text2, l.lcd_text3, l.lcd_text4, l.lcd_text5,
                      l.lcd_text6, l.lcd_text7, u.rx_data, u.tx_data, u.rx_count, u.vci2uart_word3,
                      u.uart_settings.uart_setting0, u.uart_settings.parity_enable,
                      u.uart_error_flags.flags, u.rx_accel, u.tx_accel, u.shift_fifo}},
            {0x1080, {m.data_generator.enable, m.data_generator.param,
                      m.data_generator.pow2_param}},
            {0x1090, {m.leddrv_core.leds}},
            {0x1100, {d.dma_word0, d.dma_word1, d.dma_word2, d.dma_word3, d.dma_array1[0]}},
            {0x114C, {d.dma_array1[15], d.dram_test_start, d.dma_word5, d.dma_array2[0]}},
            {0x1194, {d.dma_array2[15], d.dma_error, d.dram_test_busy, d.dram_test_error,
                      d.dma_word9, d.dma_word10, d.fifo_filling}},
            {0x1200, {s.deser_word0, s.deser_word1, s.deser_word2, s.deser_word3, s.deser_word4,
                      s.deser_word5, s.deser_word6, s.deser_word7, s.startTrigger_output_enable,
                      s.sync_ext_start, s.neural_start, s.deser_word11, s.test9_select,
                      s.test7_error_mask, s.test7_error_counter, s.test7_total_checked,
                      s.test9_result0, s.test9_result1, s.test9_result2, s.test9_result3,
                      s.test9_result4, s.test9_result5, s.test9_result6, s.test9_result7,
                      s.test9_result8, s.data_zeroing, s.lock_checking, s.test7_enable,
                      s.deser_word28, s.deser_word29, s.deser_word30, s.deser_word31,
                      s.open_setting}},
            {0x2000, {m.scale.scale[0]}},
            {0x2600, {m.scale.scale[384]}},
            {0x2F14, {m.scale.scale[965]}},
        };
        // clang-format on
        unsigned int value = 0xC0DE0000;
        for (const auto& [first, registers] : runs) {
            for (std::size_t k = 0; k < registers.size(); ++k) {
                const unsigned int address = 4 * base + first + 4 * static_cast<unsigned int>(k);
                registers[k].write(++value);
                EXPECT_EQ(vci.vciRead(address), value) << std::hex << address;
            }
        }
        EXPECT_EQ(messageOf<std::runtime_error>([&] { m.scale.scale[966]; }), "index out of range");
    }
}

static unsigned long long bitsOf(const field_uart_error_flags& f) {
    return f.error_bit0.read() | f.error_bit1.read() << 1 | f.error_bit2.read() << 2 |
           f.error_bit3.read() << 3;
}

TEST(UartErrorFlags, BitsComeFromTheRegisterOrFromASnapshotWrittenBackOnce) {
    VciDummy vci;
    const field_uart_error_flags live(0x1058, &vci);
    const std::string refused = "writeall not allowed, first do readall";
    EXPECT_EQ(messageOf<std::runtime_error>([&] { live.writeall(); }), refused);
    for (unsigned int value : {0xAu, 0x5u}) {
        vci.vciWrite(0x1058, value);
        std::unique_ptr<field_uart_error_flags> snapshot(
            new field_uart_error_flags(live.readall()));
        vci.vciWrite(0x1058, value ^ 0xF);            // the hardware changes, the snapshot does not
        const field_uart_error_flags copy(*snapshot); // a copy reads the register again
        EXPECT_EQ((std::vector<unsigned long long>{bitsOf(*snapshot), bitsOf(copy), bitsOf(live)}),
                  (std::vector<unsigned long long>{value, value ^ 0xF, value ^ 0xF}));
        snapshot->write(0x100000000ull | value); // kept whole, not written yet
        EXPECT_EQ(snapshot->read(), 0x100000000ull | value);
        EXPECT_EQ(vci.vciRead(0x1058), value ^ 0xF);
        snapshot->writeall();
        EXPECT_EQ(vci.vciRead(0x1058), value);
        EXPECT_EQ(messageOf<std::runtime_error>([&] { snapshot->writeall(); }), refused);
        snapshot.reset();
        EXPECT_EQ(bitsOf(copy), value); // bound to itself, not to its source
    }
}
