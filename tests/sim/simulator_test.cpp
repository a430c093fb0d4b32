// What the simulator does that the library's own end-to-end tests do not
// reach: its options and command line, the EEPROM file, malformed bridge
// commands, protocol faults as the register stack reports them, the memory
// test and the self-test counters.
#include <chrono>
#include <fstream>
#include <thread>

#include "common/LiveControlApi.h"
#include "link/FileDescriptor.h"
#include "sim/CommandLine.h"
#include "vci/VciEncoder.h"

namespace {

using tolmaren_sim::Faults;
using tolmaren_sim::ReplyFault;
using tolmaren_sim::SimulatorOptions;
using Simulator = LiveControlTest;

template <typename F> std::string failure(F&& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no exception";
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST(SimulatorCommandLine, OptionsAndRefusals) {
    using tolmaren_sim::CommandLine;
    const auto r = CommandLine::parse({"--probe-type", "3", "--serial=0x3FFFFFFF", "--eeprom",
                                       "p.bin", "--fpga-version", "5.2", "--late-reply", "1200",
                                       "--uart-flags", "0x4", "--close-after", "3"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.probeType, 3);
    EXPECT_EQ(r.options.serialNumber, 0x3FFFFFFFu);
    EXPECT_EQ(r.options.eepromFile, "p.bin");
    EXPECT_EQ(r.options.fpgaVersionMajor * 10 + r.options.fpgaVersionMinor, 52);
    EXPECT_EQ(r.options.faults.reply, ReplyFault::LateReply);
    EXPECT_EQ(r.options.faults.lateReplyMs, 1200u);
    EXPECT_EQ(r.options.faults.uartErrorFlags, 4);
    EXPECT_EQ(r.options.faults.closeAfterRequests, std::optional<unsigned int>(3));
    EXPECT_EQ(CommandLine::parse({}).options.configPort, 1235);
    EXPECT_TRUE(CommandLine::parse({"--help"}).help);
    for (auto args : std::vector<std::vector<std::string>>{{"--probe-type", "4"},
                                                           {"--serial", "1073741824"},
                                                           {"--config-port", "12x"},
                                                           {"--fpga-version", "4"},
                                                           {"--eeprom"},
                                                           {"--no-reply=1"},
                                                           {"--frobnicate"}})
        EXPECT_NE(CommandLine::parse(args).error, "") << args[0];
}

TEST_F(Simulator, IdentityAndEepromFileSurviveARestart) {
    SimulatorOptions options;
    options.eepromFile = dir.path() + "/probe.eeprom";
    options.serialNumber = 1234;
    startSimulator(2, options);
    // Serial 1234, type 2 packed as 0x800004D2, least significant byte first.
    auto contents = sim->eepromContents();
    EXPECT_EQ(std::vector<uint8_t>(contents.begin(), contents.begin() + 4),
              (std::vector<uint8_t>{0xD2, 0x04, 0x00, 0x80}));
    EXPECT_EQ(contents[116], 0xFF) << "erased";
    sim->modify([](tolmaren_sim::HardwareModel& hw) { return hw.eeprom.write(1000, 0x5A); });
    api.reset();
    sim.reset();
    SimulatorOptions restart;
    restart.eepromFile = options.eepromFile;
    tolmaren_sim::BasestationSimulator again(restart);
    EXPECT_EQ(again.probeType(), 2);
    EXPECT_EQ(again.chain(1).size(), 962u);
    EXPECT_EQ(again.eepromContents()[1000], 0x5A);

    { std::ofstream(dir.path() + "/short.eeprom") << "too short"; }
    restart.eepromFile = dir.path() + "/short.eeprom";
    EXPECT_THROW(tolmaren_sim::BasestationSimulator{restart}, std::runtime_error);
    SimulatorOptions type;
    type.probeType = 4;
    EXPECT_THROW(tolmaren_sim::BasestationSimulator{type}, std::invalid_argument);
}

TEST_F(Simulator, BridgeTakesCommandsWordByWordAndFlagsMalformedOnes) {
    auto& uart = api->datamodel_->vci2uart;
    for (unsigned int word : {0x79u, 0x40u, 0x41u, 0x02u, 0x1Bu, 0x2Cu})
        uart.tx_data.write(word);
    EXPECT_EQ(uart.rx_count.read(), 1u);
    EXPECT_EQ(uart.rx_data.read(), 0xC3u);
    EXPECT_EQ(sim->headstageRegister(0x42), 0x2C) << "values go to consecutive registers";
    ASSERT_EQ(api->tolmaren_headstageWriteRegister(0x00, 0x99), 0u);
    EXPECT_EQ(sim->headstageRegister(0x00), sim->options().headstageId0) << "read-only";

    uart.tx_data.write(0x55); // not a command marker
    EXPECT_EQ(uart.uart_error_flags.flags.read(), 0x2u);
    EXPECT_EQ(uart.uart_error_flags.flags.read(), 0u) << "cleared by reading";
    std::vector<unsigned char> byte(1);
    EXPECT_EQ(api->tolmaren_readUart(0x20, 0x00, byte), 2u) << "nobody answers device 0x20";
}

TEST_F(Simulator, ReplyFaultsReachTheRegisterStackAsItsExceptions) {
    auto& vci = dynamic_cast<VciEncoder&>(*api->configLink_);
    const unsigned int heartbeat = 0x1000;
    const std::pair<Faults, std::vector<std::pair<std::function<void()>, const char*>>> rows[] = {
        {[] {
             Faults f;
             f.reply = ReplyFault::WrongFirstWord;
             return f;
         }(),
         {{[&] { vci.vciRead(heartbeat); }, "vciRead failed: wrong vci reply"},
          {[&] { vci.vciWrite(heartbeat, 1); }, "vciWrite failed: wrong vci reply"},
          {[&] { vci.ping(1); }, "vciPing failed: wrong vci reply"},
          {[&] { vci.getVciDataWidth(); }, "vciInfo failed: wrong vci reply"}}},
        {[] {
             Faults f;
             f.reply = ReplyFault::WrongSize;
             return f;
         }(),
         {{[&] { vci.vciWrite(heartbeat, 1); }, "vciwrite failed: reply size = 9, expected 8"},
          {[&] { vci.vciBurstRead(heartbeat, 2, VciInterface::Increment); },
           "vciRead failed: reply size = 17, expected 16"}}},
        {[] {
             Faults f;
             f.reply = ReplyFault::NoReply;
             return f;
         }(),
         {{[&] { vci.vciRead(heartbeat); }, "vciRead failed: No reply received"}}},
    };
    for (const auto& [faults, calls] : rows) {
        sim->setFaults(faults);
        for (const auto& [call, message] : calls)
            EXPECT_EQ(failure(call), message);
    }
    setFaults([](Faults& f) { f.statusErrorBits = 0x0021; });
    testing::internal::CaptureStderr();
    EXPECT_EQ(vci.vciRead(heartbeat), 1u) << "error bits are printed, not thrown";
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("CRC error\n"), std::string::npos);
    EXPECT_NE(printed.find("Unknown command error\n"), std::string::npos);

    setFaults([](Faults& f) { f.closeAfterRequests = 1; });
    ASSERT_EQ(api->setupConfigLink(), 0u); // no reply is outstanding on a fresh link
    EXPECT_EQ(api->configLink_->vciRead(heartbeat), 1u);
    EXPECT_THROW(api->configLink_->vciWrite(heartbeat, 0), morvek::FileDescriptor::ReadError);
    EXPECT_EQ(sim->registerValue(heartbeat), 1u) << "the request after the close is not run";
    ASSERT_EQ(api->setupConfigLink(), 0u);
    EXPECT_EQ(api->configLink_->vciRead(heartbeat), 1u) << "the fault fired once";
}

TEST_F(Simulator, MemoryTestAndSelfTestCounters) {
    SimulatorOptions options;
    options.memoryTestMs = 300;
    startSimulator(2, options);
    auto& dma = api->datamodel_->dma;
    auto& deser = api->datamodel_->deserializer_intf;
    for (bool fault : {false, true}) {
        setFaults([&](Faults& f) { f.memoryTestError = fault; });
        dma.dram_test_start.write(dma.dram_test_start.read() ? 0 : 1);
        EXPECT_EQ(dma.dram_test_error.read(), 0u) << "no verdict while busy";
        for (int wait = 0; wait < 500 && dma.dram_test_busy.read() != 0; ++wait)
            sleepMs(20);
        ASSERT_EQ(dma.dram_test_busy.read(), 0u);
        EXPECT_EQ(dma.dram_test_error.read(), fault ? 1u : 0u);
    }
    // Test 7 counts only with test7_enable and BIST transmit (0x10 bit 2).
    deser.test7_enable.write(1);
    sleepMs(5);
    EXPECT_EQ(deser.test7_total_checked.read(), 0u);
    ASSERT_EQ(api->tolmaren_bistTx(true), 0u);
    sleepMs(5);
    EXPECT_GT(deser.test7_total_checked.read(), 0u);
    // Test 9a counts in results 1 and 3, 9b in result 8, from 0 at each start.
    deser.test9_select.write(1);
    deser.neural_start.write(1);
    sleepMs(5);
    EXPECT_GT(deser.test9_result1.read() * deser.test9_result3.read(), 0u);
    deser.test9_select.write(0);
    deser.neural_start.write(0);
    deser.neural_start.write(1);
    sleepMs(5);
    EXPECT_EQ(deser.test9_result1.read(), 0u);
    EXPECT_GT(deser.test9_result8.read(), 0u);
}

} // namespace
