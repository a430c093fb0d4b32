#include <algorithm>
#include <cmath>
#include <ios>
#include <iterator>

#include "api/Tolmaren_basestation_api.h"
#include "math/array_statistics.h"
#include "math/count_ones.h"

// The ADC calibrations. The 32 ADCs share their analogue settings in 16
// pairs: pair 2k joins ADCs 4k and 4k+2, pair 2k+1 joins 4k+1 and 4k+3. Each
// procedure drives DC levels with the signal generator, sweeps one setting
// of every pair or ADC at once, and after every datapath reset lets the ADC
// stream settle before it reads.

namespace {

constexpr unsigned int pairCount = 16;
constexpr unsigned int adcCount = 32;
constexpr unsigned int slopeCodes = 128;
constexpr unsigned int cfixValues = 16;
constexpr unsigned int comparatorSteps = 32; // t from 1 to 31
constexpr unsigned int settlePackets = 3000;
constexpr unsigned char configurationMode = 0;
constexpr unsigned char calibrationMode = 1;

// The slope sweep's levels, as generator texts and volts, in sweep order.
constexpr unsigned int levelCount = 10;
constexpr const char* levelTexts[levelCount] = {"150", "200", "400", "450",  "500",
                                                "700", "750", "800", "1000", "1050"};
constexpr float levelVolts[levelCount] = {0.15f, 0.2f,  0.4f, 0.45f, 0.5f,
                                          0.7f,  0.75f, 0.8f, 1.0f,  1.05f};
constexpr unsigned int samplesPerLevel = 10; // records 0 to 9 of the packet

// The level of the offset and comparator sweeps: the middle of the range.
constexpr const char* middleLevel = "600";
constexpr double middleVolts = 0.6;
constexpr unsigned int offsetSample = 6;

constexpr unsigned int comparatorPackets = 770;
constexpr unsigned int comparatorSamples = 10000;
constexpr double halfOfTheBits = 50000; // of ten bits in 10000 samples

unsigned int firstAdc(unsigned int pair) {
    return 4 * (pair / 2) + pair % 2;
}

uint8_t slopeOf(unsigned int code) {
    return static_cast<uint8_t>(code >> 4);
}
uint8_t coarseOf(unsigned int code) {
    return static_cast<uint8_t>((code >> 2) & 3);
}
uint8_t fineOf(unsigned int code) {
    return static_cast<uint8_t>(code & 3);
}

} // namespace

unsigned int Tolmaren_basestation_api::settleAndReadAdc(std::vector<AdcPacket>& packets) {
    if (skipAdcData(settlePackets) != 0) return 6;
    for (AdcPacket& packet : packets)
        if (tolmaren_readADCData(packet) != 0) return 6;
    return 0;
}

unsigned int Tolmaren_basestation_api::setShankReferences(bool on) {
    if (asicId_.probeType != 2 && asicId_.probeType != 3) return 0;
    shankConfiguration.setEvenReference(on);
    shankConfiguration.setOddReference(on);
    if (tolmaren_writeShankRegister(true) != 0) return 3;
    if (logging())
        log_ << "successfully set shank configuration references to " << (on ? "1" : "0") << "\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_calibrationStartupConfiguration() {
    if (logging()) log_ << "tolmaren_calibrationStartupConfiguration() called\n";
    if (tolmaren_mode(configurationMode) != 0) return 1;
    if (logging()) log_ << "successfully set ASIC mode to configuration\n";
    baseConfiguration.reset();
    if (tolmaren_writeBaseRegister(true) != 0) return 3;
    if (logging()) log_ << "successfully set base configuration register to default values\n";
    testConfiguration.reset();
    if (tolmaren_writeTestRegister() != 0) return 3;
    if (logging()) log_ << "successfully set test configuration register to default values\n";
    if (const unsigned int status = setShankReferences(false)) return status;
    if (baseConfiguration.setAdditionalSettingSarCal(true) != 0) return 2;
    if (tolmaren_writeBaseRegister(true) != 0) return 3;
    if (logging()) log_ << "successfully set SAR_CAL to '1' in base configuration register\n";
    if (tolmaren_mode(calibrationMode) != 0) return 1;
    if (logging()) log_ << "successfully set ASIC mode to calibration\n";
    if (datamodel_ == nullptr) return 4;
    datamode_ = false;
    datamodel_->tolmaren_cfg.datamode.write(0);
    if (logging())
        log_ << "successfully set recording system in ADC data mode\n"
             << "tolmaren_calibrationStartupConfiguration() done\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_ADCSlopeCalibration(std::string file) {
    if (logging()) log_ << "tolmaren_ADCSlopeCalibration(" << file << ") called\n";
    if (const unsigned int status = tolmaren_calibrationStartupConfiguration()) return status;
    if (logging()) log_ << "successfully executed  tolmaren_calibrationStartupConfiguration()\n";

    std::vector<AdcPacket> packets(1);
    std::vector<AdcPacket> levels(levelCount);
    for (unsigned int c = 0; c < slopeCodes; ++c) {
        for (uint8_t p = 0; p < pairCount; ++p)
            if (baseConfiguration.setAdcPairSlope(p, slopeOf(c), coarseOf(c), fineOf(c)) != 0)
                return 2;
        if (tolmaren_writeBaseRegister(true) != 0) return 3;
        if (logging())
            log_ << "successfully set Slopecal to " << std::hex << c
                 << "in base configuration register\n";

        for (unsigned int l = 0; l < levelCount; ++l) {
            if (tolmaren_generateDC(levelTexts[l]) != 0) return 5;
            if (logging()) log_ << "generateDC successful\n";
            if (tolmaren_mode(configurationMode) != 0) return 1;
            if (logging()) log_ << "successfully set ASIC mode to Configuration\n";
            if (tolmaren_resetDatapath() != 0) return 7;
            if (logging()) log_ << "successfully reset Datapath\n";
            if (tolmaren_mode(calibrationMode) != 0) return 1;
            if (logging()) log_ << "successfully set ASIC mode to Calibration\n";
            if (const unsigned int status = settleAndReadAdc(packets)) return status;
            if (logging()) log_ << "successfully read ADC Data\n";
            levels[l] = packets[0];
        }

        float volts[levelCount];
        std::copy(std::begin(levelVolts), std::end(levelVolts), volts);
        for (unsigned int a = 0; a < adcCount; ++a) {
            float means[levelCount];
            for (unsigned int l = 0; l < levelCount; ++l) {
                float samples[samplesPerLevel];
                for (unsigned int r = 0; r < samplesPerLevel; ++r)
                    samples[r] = levels[l].records[r].adcData[a];
                means[l] = static_cast<float>(array_mean(samples, samplesPerLevel));
            }
            slopeTable_[c][a] = static_cast<float>(array_slope(volts, means, levelCount));
        }
    }
    if (const unsigned int status = setShankReferences(true)) return status;

    // Per pair the code whose two gains lie nearest 1 together; the lowest
    // code wins a tie. A sum of 2.0 is what ADCs that do not follow the
    // generator at all give, so a pair that finds nothing below it has no
    // calibration to store.
    unsigned int chosen[pairCount];
    for (unsigned int p = 0; p < pairCount; ++p) {
        const unsigned int a = firstAdc(p);
        const unsigned int b = a + 2;
        double best = 2.0;
        bool found = false;
        for (unsigned int c = 0; c < slopeCodes; ++c) {
            const double sum =
                std::fabs(1.0 - slopeTable_[c][a]) + std::fabs(1.0 - slopeTable_[c][b]);
            if (sum < best) {
                best = sum;
                chosen[p] = c;
                found = true;
            }
        }
        if (!found) return 9;
    }

    adcPairCommonCalibration_.resize(pairCount);
    float kept[adcCount];
    for (unsigned int p = 0; p < pairCount; ++p) {
        adcPairCommon& pair = adcPairCommonCalibration_[p];
        pair.slope = slopeOf(chosen[p]);
        pair.coarse = coarseOf(chosen[p]);
        pair.fine = fineOf(chosen[p]);
        kept[firstAdc(p)] = slopeTable_[chosen[p]][firstAdc(p)];
        kept[firstAdc(p) + 2] = slopeTable_[chosen[p]][firstAdc(p) + 2];
    }
    writeSlopeCalibrationToCsv(kept, file);
    adcSlopeCalibrationRun_ = true;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_ADCOffsetCalibration(std::string file) {
    if (logging()) log_ << "tolmaren_ADCOffsetCalibration(" << file << ") called\n";
    if (const unsigned int status = tolmaren_calibrationStartupConfiguration()) return status;
    if (logging()) log_ << "successfully executed  tolmaren_calibrationStartupConfiguration()\n";
    if (tolmaren_generateDC(middleLevel) != 0) return 5;
    if (adcPairCommonCalibration_.size() != pairCount || !adcSlopeCalibrationRun_) return 8;
    for (uint8_t p = 0; p < pairCount; ++p) {
        const adcPairCommon& pair = adcPairCommonCalibration_[p];
        if (baseConfiguration.setAdcPairSlope(p, pair.slope, pair.coarse, pair.fine) != 0) return 2;
    }
    if (tolmaren_writeBaseRegister(true) != 0) return 3;

    std::vector<AdcPacket> sweep(cfixValues);
    std::vector<AdcPacket> packets(1);
    for (unsigned int v = 0; v < cfixValues; ++v) {
        if (tolmaren_mode(configurationMode) != 0) return 1;
        if (tolmaren_resetDatapath() != 0) return 7;
        for (uint8_t p = 0; p < pairCount; ++p)
            if (baseConfiguration.setAdcPairCfix(p, static_cast<uint8_t>(v)) != 0) return 2;
        if (tolmaren_writeBaseRegister(true) != 0) return 3;
        if (tolmaren_mode(calibrationMode) != 0) return 1;
        if (const unsigned int status = settleAndReadAdc(packets)) return status;
        sweep[v] = packets[0];
    }

    // Per pair the cfix that puts both ADCs nearest the level; 0 when none
    // comes nearer than the whole range.
    unsigned int chosen[pairCount];
    for (unsigned int p = 0; p < pairCount; ++p) {
        const unsigned int a = firstAdc(p);
        float best = 1.2f;
        chosen[p] = 0;
        for (unsigned int v = 0; v < cfixValues; ++v) {
            const auto& sample = sweep[v].records[offsetSample].adcData;
            const auto sum = static_cast<float>(std::fabs(middleVolts - sample[a]) +
                                                std::fabs(middleVolts - sample[a + 2]));
            if (sum < best) {
                best = sum;
                chosen[p] = v;
            }
        }
    }
    if (const unsigned int status = setShankReferences(true)) return status;

    float outputs[adcCount];
    for (unsigned int p = 0; p < pairCount; ++p) {
        adcPairCommonCalibration_[p].cfix = static_cast<uint8_t>(chosen[p]);
        const auto& sample = sweep[chosen[p]].records[offsetSample].adcData;
        outputs[firstAdc(p)] = sample[firstAdc(p)];
        outputs[firstAdc(p) + 2] = sample[firstAdc(p) + 2];
    }
    writeOffsetCalibrationToCsv(outputs, file);
    adcOffsetCalibrationRun_ = true;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_comparatorCalibration(std::string file) {
    if (tolmaren_mode(configurationMode) != 0) return 1;
    baseConfiguration.reset();
    if (tolmaren_writeBaseRegister(true) != 0) return 3;
    testConfiguration.reset();
    if (tolmaren_writeTestRegister() != 0) return 3;
    if (const unsigned int status = setShankReferences(false)) return status;
    if (baseConfiguration.setAdditionalSettingTestOn(true) != 0) return 2;
    if (tolmaren_writeBaseRegister(true) != 0) return 3;
    if (tolmaren_mode(calibrationMode) != 0) return 1;
    // Test settings 13 and 15 make the comparators decide between equal inputs.
    testConfiguration.settings12to15[1] = true;
    testConfiguration.settings12to15[3] = true;
    if (tolmaren_writeTestRegister() != 0) return 3;
    if (datamodel_ == nullptr) return 4;
    datamode_ = false;
    datamodel_->tolmaren_cfg.datamode.write(0);
    if (tolmaren_generateDC(middleLevel) != 0) return 5;
    if (!adcSlopeCalibrationRun_ || !adcOffsetCalibrationRun_ ||
        adcPairCommonCalibration_.size() != pairCount)
        return 8;
    if (baseConfiguration.setAdcPair(std::vector<adcPairCommon>(adcPairCommonCalibration_)) != 0)
        return 2;
    if (tolmaren_writeBaseRegister(true) != 0) return 3;

    const float voltsPerCode = tolmaren_getScaleFactorToVoltage();
    double ones[adcCount][comparatorSteps] = {};
    std::vector<AdcPacket> packets(comparatorPackets);
    for (unsigned int t = 1; t < comparatorSteps; ++t) {
        for (uint8_t a = 0; a < adcCount; ++a)
            if (baseConfiguration.setAdcCompP(a, static_cast<uint8_t>(t)) != 0 ||
                baseConfiguration.setAdcCompN(a, static_cast<uint8_t>(comparatorSteps - t)) != 0)
                return 2;
        if (tolmaren_writeBaseRegister(true) != 0) return 3;
        if (tolmaren_resetDatapath() != 0) return 7;
        if (tolmaren_mode(calibrationMode) != 0) return 1;
        if (const unsigned int status = settleAndReadAdc(packets)) return status;
        if (tolmaren_mode(configurationMode) != 0) return 1;

        for (unsigned int a = 0; a < adcCount; ++a) {
            unsigned long count = 0;
            for (unsigned int s = 0; s < comparatorSamples; ++s) {
                const float volts = packets[s / AdcPacket::recordCount]
                                        .records[s % AdcPacket::recordCount]
                                        .adcData[a];
                const long code = std::lround(volts / voltsPerCode);
                count += count_ones(static_cast<unsigned short>(code & 0xFFFF));
            }
            ones[a][t] = static_cast<double>(count);
        }
    }

    // Per ADC the step whose share of ones lies nearest one half; the lowest
    // step wins a tie.
    unsigned int chosen[adcCount];
    double percentages[adcCount];
    for (unsigned int a = 0; a < adcCount; ++a) {
        chosen[a] = 1;
        for (unsigned int t = 2; t < comparatorSteps; ++t)
            if (std::fabs(halfOfTheBits - ones[a][t]) <
                std::fabs(halfOfTheBits - ones[a][chosen[a]]))
                chosen[a] = t;
        percentages[a] = ones[a][chosen[a]] / 100000;
    }
    adcCompCalibration_.resize(adcCount);
    for (unsigned int a = 0; a < adcCount; ++a) {
        adcCompCalibration_[a].compP = static_cast<uint8_t>(chosen[a]);
        adcCompCalibration_[a].compN = static_cast<uint8_t>(comparatorSteps - chosen[a]);
    }
    if (const unsigned int status = setShankReferences(true)) return status;
    writeComparatorCalibrationToCsv(percentages, file);
    comparatorCalibrationRun_ = true;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_ADCCalibration(
    unsigned char pair, unsigned char firstCompP, unsigned char firstCompN,
    unsigned char secondCompP, unsigned char secondCompN, unsigned char slope, unsigned char fine,
    unsigned char coarse, unsigned char cfix) {
    if (logging()) {
        log_ << "tolmaren_ADCCalibration(" << std::dec;
        const unsigned char arguments[] = {pair,  firstCompP, firstCompN, secondCompP, secondCompN,
                                           slope, fine,       coarse,     cfix};
        for (unsigned int i = 0; i < 9; ++i)
            log_ << (i == 0 ? "" : ", ") << static_cast<unsigned int>(arguments[i]);
        log_ << ") called\n";
    }
    if (const unsigned int status = baseConfiguration.setAdcPairSlope(pair, slope, coarse, fine))
        return status;
    if (const unsigned int status = baseConfiguration.setAdcPairCfix(pair, cfix)) return status;
    // A pair's first ADC is 4k + (pair mod 2) for pair 2k or 2k+1; its
    // second two further on.
    const auto first = static_cast<uint8_t>(pair % 2 == 0 ? pair * 2 : pair * 2 - 1);
    const auto second = static_cast<uint8_t>(first + 2);
    if (const unsigned int status = baseConfiguration.setAdcCompP(first, firstCompP)) return status;
    if (const unsigned int status = baseConfiguration.setAdcCompN(first, firstCompN)) return status;
    if (const unsigned int status = baseConfiguration.setAdcCompP(second, secondCompP))
        return status;
    if (const unsigned int status = baseConfiguration.setAdcCompN(second, secondCompN))
        return status;
    return tolmaren_writeBaseRegister(true) != 0 ? 4 : 0;
}
