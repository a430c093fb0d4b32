#include <gtest/gtest.h>

#include <fstream>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"

namespace {

// The gain-correction registers start at 0x2000, one every 4 bytes.
constexpr unsigned int scaleAddress = 0x2000;

std::vector<unsigned short> table(size_t size) {
    std::vector<unsigned short> values(size);
    for (size_t k = 0; k < size; ++k)
        values[k] = static_cast<unsigned short>(512 + 3 * k);
    return values;
}

// A facade open in playback (registers in memory) in electrode data mode.
class GainCorrection : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream("play.bin").put(0);
        ASSERT_EQ(api.tolmaren_open("play.bin"), 0u);
        api.setElectrodeMode(true);
    }
    unsigned int reg(unsigned int k) { return api.configLink_->vciRead(scaleAddress + 4 * k); }

    ScopedWorkDir dir;
    DataTestApi api;
};

TEST_F(GainCorrection, TableSizeFollowsTheProbeType) {
    const struct {
        int8_t type;
        size_t entries;
    } types[] = {{0, 384}, {1, 384}, {2, 960}, {3, 966}};
    for (const auto& t : types) {
        SCOPED_TRACE("probe type " + std::to_string(t.type));
        api.setProbeType(t.type);
        std::vector<unsigned short> tooShort = table(t.entries - 1);
        EXPECT_EQ(api.tolmaren_gainCorrection(tooShort), 3u);
        std::vector<unsigned short> tooLong = table(t.entries + 1);
        EXPECT_EQ(api.tolmaren_gainCorrection(tooLong), 3u);
        EXPECT_EQ(reg(0), 0u) << "a refused table writes nothing";

        std::vector<unsigned short> values = table(t.entries);
        ASSERT_EQ(api.tolmaren_gainCorrection(values), 0u);
        EXPECT_EQ(reg(0), 512u);
        EXPECT_EQ(reg(t.entries - 1), 512 + 3 * (t.entries - 1));

        std::vector<unsigned short> readBack(5, 7);
        ASSERT_EQ(api.tolmaren_getGainCorrection(readBack), 0u);
        EXPECT_EQ(readBack, values);

        // Clear the registers for the next type.
        for (unsigned int k = 0; k < 966; ++k)
            api.configLink_->vciWrite(scaleAddress + 4 * k, 0);
    }
}

TEST_F(GainCorrection, LastRegisterAndSixteenBitReadBack) {
    api.setProbeType(3);
    std::vector<unsigned short> values(966, 0xFFFF);
    ASSERT_EQ(api.tolmaren_gainCorrection(values), 0u);
    EXPECT_EQ(api.configLink_->vciRead(0x2F14), 0xFFFFu);
    EXPECT_EQ(api.configLink_->vciRead(0x2F18), 0u);

    // Only the low 16 bits of a register come back.
    api.configLink_->vciWrite(scaleAddress + 4 * 10, 0x12345);
    std::vector<unsigned short> readBack;
    ASSERT_EQ(api.tolmaren_getGainCorrection(readBack), 0u);
    ASSERT_EQ(readBack.size(), 966u);
    EXPECT_EQ(readBack[10], 0x2345);
}

TEST_F(GainCorrection, RegisterAccessNeedsElectrodeModeAndAnOpenProbe) {
    api.setProbeType(2);
    api.setElectrodeMode(false);
    std::vector<unsigned short> values = table(960);
    EXPECT_EQ(api.tolmaren_gainCorrection(values), 2u);
    EXPECT_EQ(reg(0), 0u);
    std::vector<unsigned short> readBack(3, 1);
    EXPECT_EQ(api.tolmaren_getGainCorrection(readBack), 2u);
    EXPECT_TRUE(readBack.empty());

    api.tolmaren_close();
    api.setElectrodeMode(true);
    EXPECT_EQ(api.tolmaren_gainCorrection(values), 1u);
    readBack.assign(3, 1);
    EXPECT_EQ(api.tolmaren_getGainCorrection(readBack), 1u);
    EXPECT_TRUE(readBack.empty());
}

TEST(GainCorrectionCalibration, StoredTableMustFitTheProbeType) {
    DataTestApi api;
    std::vector<unsigned short> out;
    EXPECT_EQ(api.tolmaren_getGainCorrectionCalibration(out), 1u);
    EXPECT_FALSE(api.gainCalibrationRun_);

    api.setProbeType(2);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(384)), 1u);
    EXPECT_FALSE(api.gainCalibrationRun_);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(960)), 0u);
    EXPECT_TRUE(api.gainCalibrationRun_);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(384)), 1u);
    ASSERT_EQ(api.tolmaren_getGainCorrectionCalibration(out), 0u);
    EXPECT_EQ(out, table(960)) << "a refused table keeps the old one";

    api.setProbeType(0);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(384)), 0u);
    api.setProbeType(3);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(960)), 1u);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(966)), 0u);
    // No register is written: there is not even a register map.
    EXPECT_EQ(api.datamodel_, nullptr);

    // A type beyond the known ones takes any size.
    api.setProbeType(4);
    EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(5)), 0u);
    ASSERT_EQ(api.tolmaren_getGainCorrectionCalibration(out), 0u);
    EXPECT_EQ(out, table(5));
}

} // namespace
