// Options of the simulator executable.
#include <gtest/gtest.h>

#include "sim/CommandLine.h"

using tolmaren_sim::CommandLine;
using tolmaren_sim::EepromFault;
using tolmaren_sim::ReplyFault;

TEST(SimulatorCommandLine, OptionsAndFaults) {
    const auto r = CommandLine::parse(
        {"--probe-type", "3", "--serial=0x3FFFFFFF", "--eeprom", "p.bin", "--fpga-version", "5.2",
         "--config-port", "0", "--late-reply", "1200", "--uart-wrong-ack", "0x00", "--uart-flags",
         "0x4", "--eeprom-error", "--headstage-silent", "--close-after", "3"});
    ASSERT_EQ(r.error, "");
    EXPECT_FALSE(r.help);
    EXPECT_EQ(r.options.probeType, 3);
    EXPECT_EQ(r.options.serialNumber, 0x3FFFFFFFu);
    EXPECT_EQ(r.options.eepromFile, "p.bin");
    EXPECT_EQ(r.options.fpgaVersionMajor, 5);
    EXPECT_EQ(r.options.fpgaVersionMinor, 2);
    EXPECT_EQ(r.options.configPort, 0);
    EXPECT_EQ(r.options.faults.reply, ReplyFault::LateReply);
    EXPECT_EQ(r.options.faults.lateReplyMs, 1200u);
    EXPECT_EQ(r.options.faults.uartWrongAck, std::optional<uint8_t>(0));
    EXPECT_EQ(r.options.faults.uartErrorFlags, 4);
    EXPECT_EQ(r.options.faults.eeprom, EepromFault::Error);
    EXPECT_TRUE(r.options.faults.headstageSilent);
    EXPECT_EQ(r.options.faults.closeAfterRequests, std::optional<unsigned int>(3));

    const auto defaults = CommandLine::parse({});
    EXPECT_EQ(defaults.error, "");
    EXPECT_EQ(defaults.options.configPort, 1235);
    EXPECT_FALSE(defaults.options.probeType.has_value());
}

TEST(SimulatorCommandLine, RejectsBadArgumentsAndDocumentsOptions) {
    EXPECT_NE(CommandLine::parse({"--probe-type", "4"}).error, "");
    EXPECT_NE(CommandLine::parse({"--serial", "1073741824"}).error, "");
    EXPECT_NE(CommandLine::parse({"--serial", "-1"}).error, "");
    EXPECT_NE(CommandLine::parse({"--config-port", "12x"}).error, "");
    EXPECT_NE(CommandLine::parse({"--fpga-version", "4"}).error, "");
    EXPECT_NE(CommandLine::parse({"--eeprom"}).error, "");
    EXPECT_NE(CommandLine::parse({"--no-reply=1"}).error, "");
    EXPECT_NE(CommandLine::parse({"--frobnicate"}).error, "");

    EXPECT_TRUE(CommandLine::parse({"--help"}).help);
    const std::string usage = CommandLine::usage();
    for (const char* option :
         {"--probe-type", "--serial", "--eeprom", "--no-reply", "--late-reply", "--uart-no-ack",
          "--headstage-silent", "--eeprom-error", "--close-after"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
