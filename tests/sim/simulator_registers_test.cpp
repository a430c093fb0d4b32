// Every basestation register by name through the library's register map and
// VciEncoder, against the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/SimulatorSession.h"

using tolmaren_sim::Faults;
using tolmaren_sim::SimulatorOptions;

namespace {

SimulatorOptions shortMemoryTest() {
    SimulatorOptions options;
    options.memoryTestMs = 200;
    return options;
}

} // namespace

TEST(SimulatorRegisters, IdentityAndCodesReadAsConfigured) {
    SimulatorOptions options;
    options.fpgaVersionMajor = 5;
    options.fpgaVersionMinor = 2;
    options.bsVersion = 7;
    options.bsRevision = 9;
    options.temperatureCode = 2220;
    SimulatorSession s(options);
    auto& cfg = s.map->tolmaren_cfg;
    EXPECT_EQ(cfg.fpga_version.major.read(), 5u);
    EXPECT_EQ(cfg.fpga_version.minor.read(), 2u);
    EXPECT_EQ(cfg.bs_version.read(), 7u);
    EXPECT_EQ(cfg.bs_revision.read(), 9u);
    EXPECT_EQ(cfg.temperature.read(), 2220u);
    s.sim.setTemperatureCode(2560);
    EXPECT_EQ(cfg.temperature.read(), 2560u);
    // Read-only: writes change nothing.
    cfg.fpga_version.major.write(4);
    cfg.temperature.write(1);
    EXPECT_EQ(cfg.fpga_version.major.read(), 5u);
    EXPECT_EQ(cfg.temperature.read(), 2560u);

    EXPECT_EQ(s.vci->getVciDataWidth(), 32u);
    EXPECT_EQ(s.vci->ping(0x7E7D7E7D), 0x7E7D7E7Du);
}

TEST(SimulatorRegisters, DefaultFpgaVersionIsTheApiVersion) {
    SimulatorSession s;
    EXPECT_EQ(s.map->tolmaren_cfg.fpga_version.major.read(), 4u);
    EXPECT_EQ(s.map->tolmaren_cfg.fpga_version.minor.read(), 1u);
}

TEST(SimulatorRegisters, SwitchesHoldWhatIsWritten) {
    SimulatorSession s;
    auto& cfg = s.map->tolmaren_cfg;
    auto& deser = s.map->deserializer_intf;
    const std::vector<SingleAddress> switches{cfg.datamode,
                                              cfg.datapath_reset,
                                              cfg.bs_sw_hbeat,
                                              cfg.supply,
                                              cfg.bypass_datapath,
                                              s.map->tolmaren_reset.reset,
                                              s.map->vci2uart.uart_settings.parity_enable,
                                              s.map->data_generator.enable,
                                              s.map->data_generator.param,
                                              s.map->data_generator.pow2_param,
                                              s.map->leddrv_core.leds,
                                              deser.startTrigger_output_enable,
                                              deser.sync_ext_start,
                                              deser.neural_start,
                                              deser.test9_select,
                                              deser.data_zeroing,
                                              deser.lock_checking,
                                              deser.test7_enable,
                                              deser.open_setting,
                                              cfg.cfg_word6,
                                              deser.deser_word0};
    unsigned int value = 0x11;
    for (const auto& reg : switches) {
        reg.write(value);
        EXPECT_EQ(reg.read(), value) << std::hex << reg.getAddress();
        EXPECT_EQ(s.sim.registerValue(reg.getAddress()), value);
        reg.write(0);
        EXPECT_EQ(reg.read(), 0u);
        ++value;
    }
    // Nothing lives at 0x0014.
    s.vci->vciWrite(0x0014, 5);
    EXPECT_EQ(s.vci->vciRead(0x0014), 0u);
}

TEST(SimulatorRegisters, DisplayShowsTheTwoLines) {
    SimulatorSession s;
    auto& lcd = s.map->lcd_control;
    EXPECT_EQ(s.sim.displayLines()[0], std::string(16, ' '));
    // "ABCDEFGHIJKLMNOP" / "0123456789abcdef" as the host writes them.
    lcd.lcd_text0.write(0x4D4E4F50);
    lcd.lcd_text1.write(0x494A4B4C);
    lcd.lcd_text2.write(0x45464748);
    lcd.lcd_text3.write(0x41424344);
    lcd.lcd_text4.write(0x63646566);
    lcd.lcd_text5.write(0x38396162);
    lcd.lcd_text6.write(0x34353637);
    lcd.lcd_text7.write(0x30313233);
    const auto lines = s.sim.displayLines();
    EXPECT_EQ(lines[0], "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(lines[1], "0123456789abcdef");
    EXPECT_EQ(lcd.lcd_text3.read(), 0x41424344u);
}

TEST(SimulatorRegisters, TablesTakeIncrementingBursts) {
    SimulatorSession s;
    const auto& scale = s.map->scale.scale;
    EXPECT_EQ(scale[0].read(), 512u);
    EXPECT_EQ(scale[965].read(), 512u);
    std::vector<unsigned int> gains(966);
    for (unsigned int i = 0; i < gains.size(); ++i)
        gains[i] = 300 + i;
    s.vci->vciBurstWrite(scale.address_, gains, VciInterface::Increment);
    EXPECT_EQ(s.sim.registerValue(0x2F14), 300u + 965);
    EXPECT_EQ(s.vci->vciBurstRead(scale.address_, 966, VciInterface::Increment), gains);

    const auto& banks = s.map->tolmaren_cfg.channel_to_electrode;
    std::vector<unsigned int> connection(384);
    for (unsigned int c = 0; c < connection.size(); ++c)
        connection[c] = c % 3 == 2 ? 255 : c % 3;
    s.vci->vciBurstWrite(banks.address_, connection, VciInterface::Increment);
    EXPECT_EQ(s.sim.registerValue(0x001C), 0u);
    EXPECT_EQ(s.sim.registerValue(0x001C + 4 * 383), 255u);
    EXPECT_EQ(banks[382].read(), 1u);
}

TEST(SimulatorRegisters, MemoryTestIsBusyThenDone) {
    SimulatorSession s(shortMemoryTest());
    auto& dma = s.map->dma;
    EXPECT_EQ(dma.dram_test_busy.read(), 0u);
    dma.dram_test_start.write(dma.dram_test_start.read() ? 0 : 1);
    EXPECT_NE(dma.dram_test_busy.read(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(dma.dram_test_busy.read(), 0u);
    EXPECT_EQ(dma.dram_test_error.read(), 0u);

    s.setFaults([](Faults& f) { f.memoryTestError = true; });
    dma.dram_test_start.write(dma.dram_test_start.read() ? 0 : 1);
    EXPECT_NE(dma.dram_test_busy.read(), 0u);
    EXPECT_EQ(dma.dram_test_error.read(), 0u); // no verdict while busy
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(dma.dram_test_busy.read(), 0u);
    EXPECT_NE(dma.dram_test_error.read(), 0u);
}

TEST(SimulatorRegisters, SelfTestCountersRunWhileTheirTestRuns) {
    SimulatorSession s;
    auto& deser = s.map->deserializer_intf;
    // Test 7 needs test7_enable and the headstage's BIST transmit (0x10 bit 2).
    deser.test7_enable.write(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(deser.test7_total_checked.read(), 0u);
    s.headstageWrite(0x10, 0x04);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto checked = deser.test7_total_checked.read();
    EXPECT_GT(checked, 0u);
    EXPECT_EQ(deser.test7_error_counter.read(), 0u);
    s.headstageWrite(0x10, 0x00);
    const auto stopped = deser.test7_total_checked.read();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(deser.test7_total_checked.read(), stopped);

    s.setFaults([](Faults& f) {
        f.test7ErrorCount = 3;
        f.test7ErrorMask = 0x81;
        f.test9Errors[5] = 2;
        f.dmaError = 1;
    });
    EXPECT_EQ(deser.test7_error_counter.read(), 3u);
    EXPECT_EQ(deser.test7_error_mask.read(), 0x81u);
    EXPECT_EQ(s.map->dma.dma_error.read(), 1u);

    // Test 9a: data arrives in results 1 and 3, 9b in result 8.
    EXPECT_EQ(deser.test9_result1.read(), 0u);
    deser.neural_start.write(1);
    deser.test9_select.write(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(deser.test9_result1.read(), 0u);
    EXPECT_GT(deser.test9_result3.read(), 0u);
    deser.test9_select.write(0);
    deser.neural_start.write(0);
    EXPECT_EQ(deser.test9_result5.read(), 2u);
    EXPECT_EQ(deser.test9_result0.read(), 0u);
    deser.neural_start.write(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(deser.test9_result1.read(), 0u); // a new run starts from zero
    EXPECT_GT(deser.test9_result8.read(), 0u);
}

TEST(SimulatorRegisters, ResetEmptiesTheUartBridge) {
    SimulatorSession s;
    // A read of the two identification registers leaves three bytes queued.
    s.vci->vciBurstWrite(s.map->vci2uart.tx_data.getAddress(), {0x79, 0x41, 0x00, 2},
                         VciInterface::NoIncrement);
    EXPECT_EQ(s.map->vci2uart.rx_count.read(), 3u);
    s.map->tolmaren_reset.reset.write(1);
    s.map->tolmaren_reset.reset.write(0);
    EXPECT_EQ(s.map->vci2uart.rx_count.read(), 0u);
    EXPECT_EQ(s.map->vci2uart.rx_data.read(), 0u);
}
