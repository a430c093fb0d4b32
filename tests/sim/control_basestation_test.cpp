// Basestation control operations against the simulator's registers.
#include <cmath>

#include "sim/LiveControlApi.h"

namespace {

using ControlBasestation = LiveControlTest;

struct Switch {
    const char* name;
    unsigned int address;
    unsigned int (Tolmaren_basestation_api::*set)(bool);
    unsigned int (Tolmaren_basestation_api::*get)(bool&);
};

TEST_F(ControlBasestation, SwitchesReachTheirRegistersAndReadBack) {
    const Switch switches[] = {
        {"heartbeat", 0x1000, &Tolmaren_basestation_api::tolmaren_setBSSwHbeat,
         &Tolmaren_basestation_api::tolmaren_getBSSwHbeat},
        {"neural start", 0x1228, &Tolmaren_basestation_api::setNeuralStart,
         &Tolmaren_basestation_api::tolmaren_getNeuralStart},
        {"trigger mode", 0x1220, &Tolmaren_basestation_api::tolmaren_triggerMode,
         &Tolmaren_basestation_api::tolmaren_getTriggerMode},
        {"external start", 0x1224, &Tolmaren_basestation_api::tolmaren_setSyncExtStart,
         &Tolmaren_basestation_api::tolmaren_getSyncExtStart},
        {"supply", 0x1004, &Tolmaren_basestation_api::tolmaren_supplyBS,
         &Tolmaren_basestation_api::tolmaren_getSupplyBS},
        {"data zeroing", 0x1264, &Tolmaren_basestation_api::tolmaren_setDataZeroing,
         &Tolmaren_basestation_api::tolmaren_getDataZeroing},
        {"lock checking", 0x1268, &Tolmaren_basestation_api::tolmaren_setLockChecking,
         &Tolmaren_basestation_api::tolmaren_getLockChecking},
    };
    for (const Switch& s : switches) {
        for (bool on : {true, false, true}) {
            EXPECT_EQ((api.get()->*s.set)(on), 0u) << s.name;
            EXPECT_EQ(sim->registerValue(s.address), on ? 1u : 0u) << s.name;
            bool read = !on;
            EXPECT_EQ((api.get()->*s.get)(read), 0u) << s.name;
            EXPECT_EQ(read, on) << s.name;
        }
    }
    EXPECT_EQ(api->tolmaren_setBypassDatapath(true), 0u);
    EXPECT_EQ(sim->registerValue(0x1010), 1u);
    EXPECT_EQ(api->tolmaren_setBypassDatapath(false), 0u);
    EXPECT_EQ(sim->registerValue(0x1010), 0u);

    unsigned char version = 0, revision = 0;
    EXPECT_EQ(api->tolmaren_getBSVersion(version), 0u);
    EXPECT_EQ(api->tolmaren_getBSRevision(revision), 0u);
    EXPECT_EQ(version, sim->options().bsVersion);
    EXPECT_EQ(revision, sim->options().bsRevision);
}

TEST_F(ControlBasestation, DisplayTextIsWhatTheBasestationShows) {
    EXPECT_EQ(api->tolmaren_writeLCD("    Tolmaren    ", "   BaseStation  "), 0u);
    EXPECT_EQ(sim->displayLines(),
              (std::array<std::string, 2>{"    Tolmaren    ", "   BaseStation  "}));
    // A wrong length leaves the display as it was.
    EXPECT_EQ(api->tolmaren_writeLCD("Tolmaren  BIST  ", "too short"), 3u);
    EXPECT_EQ(sim->displayLines()[0], "    Tolmaren    ");
    EXPECT_EQ(api->tolmaren_writeLCD("ABCDEFGHIJKLMNOP", "0123456789abcdef"), 0u);
    EXPECT_EQ(sim->registerValue(0x1020), 0x4D4E4F50u);
    EXPECT_EQ(sim->registerValue(0x103C), 0x30313233u);
    EXPECT_EQ(sim->displayLines(),
              (std::array<std::string, 2>{"ABCDEFGHIJKLMNOP", "0123456789abcdef"}));
}

TEST_F(ControlBasestation, GeneratorExponentRoundTrip) {
    EXPECT_EQ(api->tolmaren_enableBasestationGenerator(true, 0x5A, 10), 0u);
    EXPECT_EQ(sim->registerValue(0x1080), 1u);
    EXPECT_EQ(sim->registerValue(0x1084), 0x5Au);
    EXPECT_EQ(sim->registerValue(0x1088), 1024u);
    bool enabled = false;
    unsigned char parameter = 0;
    unsigned int exponent = 0;
    EXPECT_EQ(api->tolmaren_getBasestationGeneratorEnabled(enabled, parameter, exponent), 0u);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(parameter, 0x5A);
    EXPECT_EQ(exponent, 10u);

    // Only the low five bits of the exponent count.
    EXPECT_EQ(api->tolmaren_enableBasestationGenerator(false, 1, 33), 0u);
    EXPECT_EQ(sim->registerValue(0x1088), 2u);
    EXPECT_EQ(api->tolmaren_getBasestationGeneratorEnabled(enabled, parameter, exponent), 0u);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(exponent, 1u);
    EXPECT_EQ(api->tolmaren_enableBasestationGenerator(true, 1, 31), 0u);
    EXPECT_EQ(sim->registerValue(0x1088), 0x80000000u);
    EXPECT_EQ(api->tolmaren_getBasestationGeneratorEnabled(enabled, parameter, exponent), 0u);
    EXPECT_EQ(exponent, 31u);
}

TEST_F(ControlBasestation, DatapathCheckReportsTheFirstErrorInItsOrder) {
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 0u);
    changeFaults([](tolmaren_sim::Faults& f) { f.test9Errors[6] = 1; });
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 5u);
    changeFaults([](tolmaren_sim::Faults& f) { f.test9Errors[4] = 3; });
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 5u);
    changeFaults([](tolmaren_sim::Faults& f) { f.test9Errors[2] = 1; });
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 3u);
    changeFaults([](tolmaren_sim::Faults& f) { f.test9Errors[0] = 1; });
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 2u);
    changeFaults([](tolmaren_sim::Faults& f) { f.dmaError = 1; });
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 1u);

    // The self-test 7 error count sits between results 2 and 4; it shows once
    // the test has checked words (BIST transmit on, test 7 enabled).
    changeFaults([](tolmaren_sim::Faults& f) {
        f = tolmaren_sim::Faults();
        f.test7ErrorCount = 2;
        f.test9Errors[5] = 1;
    });
    ASSERT_EQ(api->tolmaren_bistTx(true), 0u);
    api->writeRegister(0x126C, 1);
    api->tolmaren_milliSleep(5);
    EXPECT_EQ(api->tolmaren_checkBasestationDatapath(), 4u);
}

TEST_F(ControlBasestation, FifoFillAndTemperatureConversions) {
    sim->modify([](tolmaren_sim::HardwareModel& hw) { hw.registers.setFifoFilling(1u << 27); });
    EXPECT_FLOAT_EQ(api->tolmaren_fifoFilling(), 50.0f);
    sim->modify([](tolmaren_sim::HardwareModel& hw) { hw.registers.setFifoFilling(1u << 28); });
    EXPECT_FLOAT_EQ(api->tolmaren_fifoFilling(), 100.0f);

    float celsius = -1000.0f;
    sim->setTemperatureCode(2220);
    EXPECT_EQ(api->tolmaren_readTemperature(celsius), 0u);
    EXPECT_NEAR(celsius, 0.00f, 0.005f);
    sim->setTemperatureCode(2560);
    EXPECT_EQ(api->tolmaren_readTemperature(celsius), 0u);
    EXPECT_NEAR(celsius, 41.83f, 0.005f);
}

TEST_F(ControlBasestation, DataModeResetAndSoftwareStart) {
    EXPECT_EQ(api->tolmaren_datamode(false), 0u);
    EXPECT_EQ(sim->registerValue(0x0008), 0u);
    EXPECT_FALSE(api->tolmaren_getDatamode());
    EXPECT_EQ(api->tolmaren_datamode(true), 0u);
    EXPECT_EQ(sim->registerValue(0x0008), 1u);
    bool electrode = false;
    EXPECT_EQ(api->tolmaren_readDatamodeFromBS(electrode), 0u);
    EXPECT_TRUE(electrode);

    EXPECT_EQ(api->tolmaren_resetDatapath(), 0u);
    EXPECT_EQ(sim->registerValue(0x0010), 0u);

    // With the start-trigger output off nothing is started.
    EXPECT_EQ(api->tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(sim->registerValue(0x1228), 0u);
    ASSERT_EQ(api->tolmaren_triggerMode(true), 0u);
    EXPECT_EQ(api->tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(sim->registerValue(0x1228), 1u);
    EXPECT_EQ(sim->registerValue(0x0010), 0u);
}

} // namespace
