#include <gtest/gtest.h>

#include <fstream>

#include "common/ControlTestApi.h"
#include "common/ScopedWorkDir.h"

namespace {

// A facade opened for playback on an empty recording: the register space is
// in memory and nothing reaches a headstage.
class PlaybackFacade : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream("empty.bin").close();
        ASSERT_EQ(api.tolmaren_open(std::string("empty.bin")), 0u);
        api.setProbeType(2);
    }

    ScopedWorkDir dir;
    ControlTestApi api;
};

TEST_F(PlaybackFacade, SerialLinkSucceedsWithoutSendingAndReadsZeros) {
    std::vector<unsigned char> bytes = {1, 2, 3};
    testing::internal::CaptureStderr();
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x60, bytes), 0u);
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {0x01}), 0u);
    EXPECT_EQ(api.tolmaren_mode(1), 0u);
    unsigned char mode = 9;
    EXPECT_EQ(api.tolmaren_readMode(mode), 0u);
    // Register accesses of the in-memory space leave trace lines; there are none.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0, 0, 0}));
    EXPECT_EQ(mode, 0);
}

TEST_F(PlaybackFacade, ChainsAreWrittenNowhereAndReadFromTheModels) {
    api.baseConfiguration.setChannelSettingApGain(17, 5);
    testing::internal::CaptureStderr();
    EXPECT_EQ(api.tolmaren_writeBaseRegister(true), 0u);
    EXPECT_EQ(api.tolmaren_writeTestRegister(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    std::vector<bool> expected;
    api.baseConfiguration.getChain(expected);
    std::vector<bool> chain;
    EXPECT_EQ(api.tolmaren_readBaseRegister(chain), 0u);
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[17].apGain, 5);

    api.shankConfiguration.setElectrodeConnection(3, 1);
    api.shankConfiguration.getChain(expected);
    EXPECT_EQ(api.tolmaren_readShankRegister(chain), 0u);
    EXPECT_EQ(chain, expected);
    // An unknown chain number leaves the caller's bits alone.
    std::vector<bool> untouched = {true};
    EXPECT_EQ(api.tolmaren_readShiftRegister(7, untouched, 5), 0u);
    EXPECT_EQ(untouched, std::vector<bool>{true});
}

TEST_F(PlaybackFacade, EveryConfigurationOperationSucceedsOnATypeTwoProbe) {
    EXPECT_EQ(api.tolmaren_selectElectrode(5, 1, true), 0u);
    EXPECT_EQ(api.tolmaren_setExtRef(false, true), 0u);
    EXPECT_EQ(api.tolmaren_setGain(10, 2, 3, true), 0u);
    EXPECT_EQ(api.tolmaren_setStdb(11, true, true), 0u);
    EXPECT_EQ(api.tolmaren_setFilter(1), 0u);
    EXPECT_EQ(api.tolmaren_setReference(12, 4, true), 0u);
    EXPECT_EQ(api.tolmaren_writeAllAPGains(6), 0u);
    EXPECT_EQ(api.tolmaren_writeAllLFPGains(7), 0u);
    EXPECT_EQ(api.tolmaren_writeAllStandby(false), 0u);
    EXPECT_EQ(api.tolmaren_writeAllReferences(10), 0u);
    EXPECT_EQ(api.tolmaren_writeShankRegister(true), 0u);

    // The shank write still refreshes the basestation's channel-to-electrode table.
    EXPECT_EQ(api.configLink_->vciRead(0x1C + 4 * 5), 1u);
    EXPECT_EQ(api.configLink_->vciRead(0x1C + 4 * 6), 255u);
    const auto settings = api.baseConfiguration.getChannelSettings();
    EXPECT_EQ(settings[10].apGain, 6);
    EXPECT_EQ(settings[10].lfpGain, 7);
    EXPECT_FALSE(settings[11].standby);
    EXPECT_FALSE(api.shankConfiguration.getEvenReference());
    EXPECT_FALSE(api.shankConfiguration.getOddReference());
}

TEST_F(PlaybackFacade, ShankChainNeedsAProbeTypeWithAShank) {
    api.setProbeType(1);
    std::vector<bool> chain;
    EXPECT_EQ(api.tolmaren_readShankRegister(chain), 7u);
    // The table is uploaded before the model is found not to encode.
    api.shankConfiguration.reset();
    api.configLink_->vciWrite(0x1C, 0);
    EXPECT_EQ(api.tolmaren_writeShankRegister(true), 6u);
    EXPECT_EQ(api.configLink_->vciRead(0x1C), 255u);
    EXPECT_EQ(api.tolmaren_selectElectrode(5, 1, false), 1u);
    EXPECT_EQ(api.tolmaren_setExtRef(true, true), 5u);
}

TEST(ConfigurationCodes, ModelRefusalsAndWriteFailures) {
    ControlTestApi api;
    api.setProbeType(2);
    // LFP gain refused after the AP gain was taken.
    EXPECT_EQ(api.tolmaren_setGain(10, 8, 1, true), 3u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[10].apGain, 1);
    EXPECT_EQ(api.tolmaren_setGain(10, 1, 8, true), 3u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[10].apGain, 1);
    EXPECT_EQ(api.tolmaren_setGain(10, 4, 8, true), 3u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[10].apGain, 4);
    EXPECT_EQ(api.tolmaren_setGain(384, 1, 1, false), 2u);
    EXPECT_EQ(api.tolmaren_setGain(-1, 1, 1, false), 2u);
    // Only the low 8 bits of a gain reach the model: 257 is gain 1, 264 is 8.
    EXPECT_EQ(api.tolmaren_setGain(0, 257, 1, false), 0u);
    EXPECT_EQ(api.tolmaren_setGain(0, 264, 1, false), 3u);

    EXPECT_EQ(api.tolmaren_selectElectrode(5, -1, false), 0u);
    EXPECT_EQ(api.tolmaren_selectElectrode(200, 2, false), 3u);
    EXPECT_EQ(api.tolmaren_selectElectrode(384, 0, false), 2u);
    EXPECT_EQ(api.tolmaren_setStdb(384, true, false), 2u);
    EXPECT_EQ(api.tolmaren_setFilter(2), 3u);
    EXPECT_EQ(api.tolmaren_setFilter(-1), 3u);
    EXPECT_EQ(api.tolmaren_setReference(0, 11, true), 3u);
    EXPECT_EQ(api.tolmaren_setReference(0, 10, false), 0u);
    EXPECT_EQ(api.tolmaren_writeAllAPGains(8), 3u);
    EXPECT_EQ(api.tolmaren_writeAllLFPGains(8), 3u);
    EXPECT_EQ(api.tolmaren_writeAllReferences(11), 3u);
    api.setProbeType(3);
    EXPECT_EQ(api.tolmaren_writeAllReferences(8), 3u);

    // No probe is open: the model changes, the write fails.
    api.setProbeType(2);
    EXPECT_EQ(api.tolmaren_setGain(20, 2, 2, true), 4u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[20].apGain, 2);
    EXPECT_EQ(api.tolmaren_setStdb(20, true, true), 4u);
    EXPECT_EQ(api.tolmaren_setFilter(3), 4u);
    EXPECT_EQ(api.tolmaren_setReference(1, 1, true), 4u);
    EXPECT_EQ(api.tolmaren_writeAllAPGains(1), 4u);
    EXPECT_EQ(api.tolmaren_writeAllLFPGains(1), 4u);
    EXPECT_EQ(api.tolmaren_writeAllStandby(true), 4u);
    EXPECT_EQ(api.tolmaren_writeAllReferences(0), 4u);
    EXPECT_EQ(api.tolmaren_selectElectrode(6, 1, true), 5u);
    EXPECT_EQ(api.tolmaren_setExtRef(true, true), 5u);
    EXPECT_EQ(api.tolmaren_writeShankRegister(true), 8u);
    EXPECT_EQ(api.tolmaren_writeBaseRegister(false), 1u);
    EXPECT_EQ(api.tolmaren_writeTestRegister(), 3u);
}

TEST_F(PlaybackFacade, ConfigurationLogLines) {
    api.tolmaren_startLog();
    api.tolmaren_setExtRef(true, false);
    api.tolmaren_selectElectrode(5, -1, true);
    // A hexadecimal write in between does not change the decimal arguments.
    api.tolmaren_headstageWriteRegister(0x1A, 0x1B);
    api.tolmaren_setGain(10, 2, 3, true);
    api.tolmaren_setStdb(11, true, false);
    api.tolmaren_setFilter(3);
    api.tolmaren_setReference(1, 2, true);
    api.tolmaren_writeAllStandby(false);
    EXPECT_EQ(dir.readFile("api_log.txt"),
              "tolmaren_setExtRef(1) called"
              "ext ref connection successfully written to api member shankConfiguration\n"
              "tolmaren_selectElectrode(5, -1) called"
              "electrode connection successfully written to api member shankConfiguration\n"
              "tolmaren_writeShankRegister() called\n"
              "channel_to_electrode registers in basestation fpga successfully configured\n"
              "electrode connection successfully written to basestation fpga configuration "
              "registers and shank shift register\n"
              "tolmaren_headstageWriteRegister(1a, 1b) called\n"
              "tolmaren_writeUart(40, 1a, 1b) called\n"
              "tolmaren_setGain(10, 2, 3) called\n"
              "ap = 2 and lfp = 3 gain for channel 10 successfully written to api member "
              "baseConfiguration\n"
              "tolmaren_writeBaseRegister() called\n"
              "base shift register successfully written\n"
              "tolmaren_setStdb(11, 1) called\n"
              "standby = 1for channel 11 successfully written to api member baseConfiguration\n"
              "tolmaren_setFilter(3) called\n"
              "additional setting BwHp = 3 successfully written to api member "
              "baseConfiguration\n"
              "tolmaren_writeBaseRegister() called\n"
              "base shift register successfully written\n"
              "tolmaren_writeBaseRegister() called\n"
              "tolmaren_writeBaseRegister() called\n");
}

} // namespace
