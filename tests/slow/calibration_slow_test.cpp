// The calibrations whole: every code of the slope sweep through the facade
// of the CI sweeps, and the tool's gain calibration stored in the EEPROM and
// applied after a new open.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/CalibrationProbe.h"
#include "common/TestAddress.h"
#include "common/ToolRun.h"

TEST(SlowCalibration, FullAdcCalibrationFindsEveryPairAndAdc) {
    CalibrationProbe<> probe(2, 7);
    auto& api = probe.api;
    const auto& truth = probe.sim.truth();
    ASSERT_EQ(api.tolmaren_ADCSlopeCalibration("slope.csv"), 0u);
    // The probe keeps the last code tried, 127, until a calibration is
    // applied: pair 0's slope, fine and coarse are chain bits 7397 to 7403.
    const std::vector<bool> chain = probe.sim.chain(0);
    EXPECT_EQ(std::vector<bool>(chain.begin() + 7397, chain.begin() + 7404),
              std::vector<bool>(7, true));
    ASSERT_EQ(api.tolmaren_ADCOffsetCalibration("offset.csv"), 0u);
    ASSERT_EQ(api.tolmaren_comparatorCalibration("comparator.csv"), 0u);
    for (unsigned int p = 0; p < 16; ++p) {
        const adcPairCommon& pair = api.adcPairCommonCalibration_[p];
        EXPECT_EQ(16 * pair.slope + 4 * pair.coarse + pair.fine, truth.pairs[p].slopeCode) << p;
        EXPECT_EQ(pair.cfix, truth.pairs[p].cfix) << p;
    }
    for (unsigned int a = 0; a < 32; ++a)
        EXPECT_EQ(api.adcCompCalibration_[a].compP, truth.adcs[a].comparatorT) << a;
}

TEST(SlowCalibration, ToolStoresTheGainCorrectionsThatReachTheBasestationAfterAnOpen) {
    ScopedWorkDir dir;
    auto options = TestAddress::simulator();
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    ASSERT_EQ(std::system((toolCommand("calibrate gain --store") + " >out.txt").c_str()), 0);
    EXPECT_NE(dir.readFile("out.txt").find("gain correction    min 0.9"), std::string::npos);
    Tolmaren_basestation_api api;
    api.tolmaren_setBasestationAddress(TestAddress::own());
    ASSERT_EQ(api.tolmaren_open(0), 0u);
    ASSERT_EQ(api.tolmaren_applyGainCalibrationFromEeprom(), 0u);
    std::vector<unsigned short> registers;
    ASSERT_EQ(api.tolmaren_getGainCorrection(registers), 0u);
    for (unsigned int j = 0; j < 384; ++j)
        EXPECT_NEAR(registers.at(j) / 512.0 * sim.truth().electrodeGain[j], 1, 0.01) << j;
}
