#include <gtest/gtest.h>

#include "common/ControlTestApi.h"

namespace {

constexpr unsigned int datapathReset = 0x0010;
constexpr unsigned int startTriggerEnable = 0x1220;
constexpr unsigned int neuralStart = 0x1228;

TEST(ControlSequence, ClosedFacadeAnswersWithTheGuardAndKeepsItsDataMode) {
    ControlTestApi api;
    bool flag = true;
    unsigned char byte = 7;
    float value = 1.5f;
    unsigned int exponent = 9;
    EXPECT_EQ(api.tolmaren_datamode(true), 1u);
    EXPECT_FALSE(api.tolmaren_getDatamode());
    EXPECT_EQ(api.tolmaren_readDatamodeFromBS(flag), 1u);
    EXPECT_EQ(api.tolmaren_setBSSwHbeat(true), 1u);
    EXPECT_EQ(api.tolmaren_getLockChecking(flag), 1u);
    EXPECT_EQ(api.tolmaren_setBypassDatapath(true), 1u);
    EXPECT_EQ(api.tolmaren_getBSRevision(byte), 1u);
    EXPECT_EQ(api.tolmaren_resetDatapath(), 1u);
    EXPECT_EQ(api.flushes, 0u);
    EXPECT_EQ(api.tolmaren_enableBasestationGenerator(true, 1, 2), 1u);
    EXPECT_EQ(api.tolmaren_getBasestationGeneratorEnabled(flag, byte, exponent), 1u);
    EXPECT_EQ(api.tolmaren_readTemperature(value), 1u);
    EXPECT_TRUE(flag);
    EXPECT_EQ(byte, 7);
    EXPECT_EQ(value, 1.5f);
    EXPECT_EQ(exponent, 9u);
    // No guard code of their own: nothing to start, nothing checked, no fill.
    EXPECT_EQ(api.tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(api.tolmaren_checkBasestationDatapath(), 1u);
    EXPECT_EQ(api.tolmaren_fifoFilling(), 0.0f);
}

TEST(ControlSequence, DatapathResetFlushesTheDataLinkWhileTheResetIsHeld) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    std::vector<std::pair<unsigned int, unsigned int>> writesAtFlush;
    api.onFlush = [&] { writesAtFlush = vci.writes(); };
    EXPECT_EQ(api.tolmaren_resetDatapath(), 0u);
    EXPECT_EQ(api.flushes, 1u);
    EXPECT_EQ(writesAtFlush,
              (std::vector<std::pair<unsigned int, unsigned int>>{{datapathReset, 1}}));
    EXPECT_EQ(vci.writes(), (std::vector<std::pair<unsigned int, unsigned int>>{
                                {datapathReset, 1}, {datapathReset, 0}}));
}

TEST(ControlSequence, SoftwareStartActsOnlyWithTheStartTriggerOutputEnabled) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    EXPECT_EQ(api.tolmaren_setNeuralStart(), 0u);
    EXPECT_TRUE(vci.writes().empty());
    EXPECT_EQ(vci.reads(),
              (std::vector<std::pair<unsigned int, unsigned int>>{{startTriggerEnable, 0}}));
    EXPECT_EQ(api.flushes, 0u);

    vci.setValue(startTriggerEnable, 1);
    vci.clearCalls();
    EXPECT_EQ(api.tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(vci.writes(),
              (std::vector<std::pair<unsigned int, unsigned int>>{
                  {neuralStart, 0}, {datapathReset, 1}, {datapathReset, 0}, {neuralStart, 1}}));
    EXPECT_EQ(api.flushes, 1u);
}

TEST(ControlSequence, DataModeIsKeptInTheFacadeAndInTheBasestation) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    EXPECT_EQ(api.tolmaren_datamode(true), 0u);
    EXPECT_TRUE(api.tolmaren_getDatamode());
    EXPECT_EQ(vci.value(0x0008), 1u);
    // Reading from the basestation overwrites the facade's copy.
    vci.setValue(0x0008, 0);
    bool electrode = true;
    EXPECT_EQ(api.tolmaren_readDatamodeFromBS(electrode), 0u);
    EXPECT_FALSE(electrode);
    EXPECT_FALSE(api.tolmaren_getDatamode());
}

TEST(ControlSequence, GeneratorExponentOfAClearedRegisterIsZero) {
    ControlTestApi api;
    api.attachRecording();
    bool enabled = true;
    unsigned char parameter = 1;
    unsigned int exponent = 5;
    EXPECT_EQ(api.tolmaren_getBasestationGeneratorEnabled(enabled, parameter, exponent), 0u);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(parameter, 0);
    EXPECT_EQ(exponent, 0u);
}

} // namespace
