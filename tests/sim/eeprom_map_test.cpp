// The EEPROM operations on an open probe: the code of each failing controller
// step, the memory map as bytes in the simulated EEPROM, partial writes, and
// applying stored calibration to the probe and the basestation.
#include <gtest/gtest.h>

#include "common/LiveProbe.h"

using tolmaren_sim::EepromFault;
using tolmaren_sim::UartFailure;
using tolmaren_sim::UartFault;

namespace {

struct Step {
    bool write; // the operation: write or read one byte
    std::vector<UartFault> fault;
    EepromFault eeprom;
    unsigned int code;
};

const Step steps[] = {
    {true, {{0x40, 0x61, false}}, EepromFault::None, 2},
    {false, {{0x40, 0x61, true, {}, 0, 1, UartFailure::Refused}}, EepromFault::None, 2},
    {false, {{0x40, 0x66, false}}, EepromFault::None, 4},
    {true, {{0x40, 0x67, false}}, EepromFault::None, 5},
    {true, {{0x40, 0x63, false}}, EepromFault::None, 6},
    {false, {{0x40, 0x64, true}}, EepromFault::None, 7},
    {true, {{0x40, 0x62, false, 0x6C}}, EepromFault::None, 8},
    {false, {{0x40, 0x60, false, 0, 0, 1, UartFailure::Refused}}, EepromFault::None, 12},
    {true, {}, EepromFault::NotDone, 9},
    {false, {}, EepromFault::Error, 10},
};

} // namespace

TEST(EepromOnLiveProbe, EveryFailingStepHasItsCode) {
    LiveProbe p(LiveProbe::probe(0, 0));
    ASSERT_EQ(p.api.tolmaren_open(0), 0u);
    for (const Step& step : steps) {
        auto faults = p.sim.faults();
        faults.uartFaults = step.fault;
        faults.eeprom = step.eeprom;
        p.sim.setFaults(faults);
        unsigned char value = 0x77;
        const unsigned int code = step.write ? p.api.tolmaren_writeEeprom(600, 0x12)
                                             : p.api.tolmaren_readEeprom(600, value);
        EXPECT_EQ(code, step.code) << "expected " << step.code;
        EXPECT_EQ(value, 0x77); // untouched on failure
    }
    p.sim.setFaults({});
    EXPECT_EQ(p.sim.eepromContents()[600], 0xFF);
    AsicID bad{0x40000000, 1};
    EXPECT_EQ(p.api.tolmaren_writeId(bad), 11u);
    EXPECT_EQ(p.api.tolmaren_getId().serialNumber, 0u);
    p.api.gainCorrectionCalibration_.pop_back(); // 383 values for 384 channels
    EXPECT_EQ(p.api.tolmaren_writeGainCorrection(), 11u);
    p.api.adcCompCalibration_.pop_back();
    EXPECT_EQ(p.api.tolmaren_writeADCCalibration(), 11u);
    EXPECT_EQ(p.sim.eepromContents()[116] & p.sim.eepromContents()[8], 0xFF);
}

TEST(EepromOnLiveProbe, MemoryMapAndCalibration) {
    LiveProbe p(LiveProbe::probe(0, 0));
    ASSERT_EQ(p.api.tolmaren_open(0), 0u);
    AsicID id{1234, 2};
    ASSERT_EQ(p.api.tolmaren_writeId(id), 0u);
    auto bytes = p.sim.eepromContents();
    EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.begin() + 4),
              (std::vector<int>{0xD2, 0x04, 0x00, 0x80}));

    // An erased EEPROM gives the largest value of every field.
    ASSERT_EQ(p.api.tolmaren_readADCCalibration(), 0u);
    ASSERT_EQ(p.api.adcPairCommonCalibration_.size(), 16u);
    for (const adcPairCommon& pr : p.api.adcPairCommonCalibration_)
        EXPECT_EQ((std::vector<int>{pr.slope, pr.fine, pr.coarse, pr.cfix}),
                  (std::vector<int>{7, 3, 3, 15}));
    ASSERT_EQ(p.api.adcCompCalibration_.size(), 32u);
    for (const adcComp& c : p.api.adcCompCalibration_)
        EXPECT_EQ(c.compP + 100 * c.compN, 31 + 100 * 31);

    std::vector<adcPairCommon> pairs(16);
    std::vector<adcComp> comps(32);
    for (uint8_t i = 0; i < 16; ++i)
        pairs[i] = {uint8_t(i % 8), uint8_t(i % 4), uint8_t(3 - i % 4), i};
    for (uint8_t a = 0; a < 32; ++a)
        comps[a] = {a, uint8_t(31 - a)};
    pairs[15].slope = 15; // out of range: cut to its 3 bits, bit 7 stays clear
    ASSERT_EQ(p.api.tolmaren_setADCPairCommonCalibration(pairs), 0u);
    ASSERT_EQ(p.api.tolmaren_setADCCompCalibration(comps), 0u);
    ASSERT_EQ(p.api.tolmaren_writeADCCalibration(), 0u);
    bytes = p.sim.eepromContents();
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(bytes[8 + k], (2 * k) << 4 | (2 * k + 1));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[16 + i], (i % 8) << 4 | (i % 4) << 2 | (3 - i % 4));
    for (int a = 0; a < 32; ++a)
        EXPECT_EQ(bytes[32 + a] + 256 * bytes[64 + a], a + 256 * (31 - a));
    EXPECT_EQ(bytes[7] & bytes[96] & bytes[115], 0xFF); // reserved, never written

    // Stored calibration reaches the base chain: pair 15 slope 7 at bits
    // 20..22, ADC 29 compP 29 at bits 0..4.
    ASSERT_EQ(p.api.tolmaren_applyAdcCalibrationFromEeprom(), 0u);
    const auto chain = p.sim.chain(0);
    EXPECT_EQ(std::vector<bool>(chain.begin(), chain.begin() + 5),
              (std::vector<bool>{1, 0, 1, 1, 1}));
    EXPECT_TRUE(chain[20] && chain[21] && chain[22]);
    // A defective cell that bits of both values pass: the read-back differs.
    auto faults = p.sim.faults();
    using tolmaren_sim::CellDefect;
    for (CellDefect defect : {CellDefect::Inverting, CellDefect::StuckAt0, CellDefect::StuckAt1}) {
        faults.chainFaults = {{0, 100, defect}};
        p.sim.setFaults(faults);
        EXPECT_EQ(p.api.tolmaren_applyAdcCalibrationFromEeprom(), 1u);
    }
}

TEST(EepromOnLiveProbe, GainCorrectionsPartlyWrittenThenApplied) {
    LiveProbe p(LiveProbe::probe(0, 0));
    ASSERT_EQ(p.api.tolmaren_open(0), 0u);
    p.api.gainCorrectionCalibration_[0] = 0x3FFF;
    p.api.gainCorrectionCalibration_[1] = 0xC123;
    auto faults = p.sim.faults();
    faults.eepromWritableBytes = 4;
    p.sim.setFaults(faults);
    EXPECT_EQ(p.api.tolmaren_writeGainCorrection(), 10u);
    const auto bytes = p.sim.eepromContents();
    EXPECT_EQ(std::vector<int>(bytes.begin() + 116, bytes.begin() + 121),
              (std::vector<int>{0xFF, 0x3F, 0x23, 0x01, 0xFF}));

    p.failUart({{0x40, 0x64, true, {}, 4}});
    EXPECT_EQ(p.api.tolmaren_readGainCorrection(), 7u);
    EXPECT_EQ(p.api.gainCorrectionCalibration_, (std::vector<unsigned short>{0x3FFF, 0x0123}));

    p.sim.setFaults({});
    ASSERT_EQ(p.api.tolmaren_applyGainCalibrationFromEeprom(), 0u);
    EXPECT_EQ(p.sim.registerValue(0x2000 + 4 * 1), 0x0123u);
    EXPECT_EQ(p.sim.registerValue(0x2000 + 4 * 383), 0x3FFFu); // erased
}
