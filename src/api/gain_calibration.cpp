#include <cmath>

#include "api/ElectrodeBanks.h"
#include "api/Tolmaren_basestation_api.h"
#include "math/calcAmp.h"
#include "math/tolmaren_impedance.h"

// Gain calibration and impedance measurement: with the signal generator on
// a 1 kHz sine, every electrode is recorded in turn, bank by bank, and its
// signal's amplitude gives its gain correction or its impedance.

namespace {

constexpr unsigned char configurationMode = 0;
constexpr unsigned char impedanceMode = 2;
constexpr unsigned char recordingMode = 3;
constexpr unsigned short unitGain = 512;
constexpr unsigned short largestGainCorrection = 16383; // 14 bits in the EEPROM

// The gain calibration lets the recording settle for 30 s, then analyses
// 32768 AP samples per channel: all blocks of packets 0 to 2729 and blocks
// 0 to 7 of packet 2730.
constexpr unsigned int gainSettlePackets = 75000;
constexpr unsigned int gainPackets = 2731;
constexpr unsigned int gainSamples = 32768;
// The generator's 10 mV peak to peak at gain 50 measure 0.5 V peak to peak.
constexpr double expectedGain = 50;
constexpr double generatorPeakToPeak = 0.01;
// Type 1 probes see the generator's signal this many times weaker.
constexpr double type1Attenuation = 2.1;

constexpr unsigned int impedancePackets = 109; // 1308 AP samples

// The correction that brings a channel measuring `amplitude` volts peak to
// the expected gain, rounded half away from zero. A channel with almost no
// signal (and none at all, or no measurable one) gets the largest the
// EEPROM keeps.
unsigned short gainCorrection(double amplitude) {
    const double measuredGain = 2 * amplitude / generatorPeakToPeak;
    const double value = std::round(expectedGain / measuredGain * unitGain);
    if (!(value <= largestGainCorrection)) return largestGainCorrection;
    return static_cast<unsigned short>(value);
}

// Connects channels 0 to width - 1 to their electrodes in bank `bank`, in
// the model only; false when the model refuses one.
bool connectToBank(ShankConfiguration& shank, unsigned int width, unsigned int bank) {
    for (unsigned int c = 0; c < width; ++c)
        if (shank.setElectrodeConnection(c, static_cast<uint8_t>(bank)) != 0) return false;
    return true;
}

} // namespace

unsigned int Tolmaren_basestation_api::tolmaren_gainCalibration(std::string file) {
    if (tolmaren_mode(configurationMode) != 0) return 1;
    baseConfiguration.reset();
    if (tolmaren_writeBaseRegister(true) != 0) return 3;
    testConfiguration.reset();
    if (tolmaren_writeTestRegister() != 0) return 3;
    if (datamodel_ == nullptr) return 4;
    datamode_ = true;
    datamodel_->tolmaren_cfg.datamode.write(1);

    const ElectrodeBanks banks(asicId_.probeType);
    for (unsigned int c = 0; c < banks.channels(); ++c)
        if (baseConfiguration.setChannelSettingApGain(c, 0) != 0 ||
            baseConfiguration.setChannelSettingLfpGain(c, 0) != 0)
            return 2;
    if (baseConfiguration.setAllReferences(0) != 0) return 2;
    if (tolmaren_writeBaseRegister(true) != 0) return 3;

    if (!adcSlopeCalibrationRun_ || !adcOffsetCalibrationRun_ || !comparatorCalibrationRun_ ||
        adcPairCommonCalibration_.size() != 16 || adcCompCalibration_.size() != 32)
        return 8;
    if (baseConfiguration.setAdcPair(std::vector<adcPairCommon>(adcPairCommonCalibration_)) != 0 ||
        baseConfiguration.setAdcComp(std::vector<adcComp>(adcCompCalibration_)) != 0)
        return 2;
    if (tolmaren_writeBaseRegister(true) != 0) return 3;

    std::vector<unsigned short> unitTable(banks.electrodes(), unitGain);
    if (datamodel_ == nullptr || !datamode_) return 11;
    if (tolmaren_gainCorrection(unitTable) != 0) return 11;

    const bool shank = asicId_.probeType == 2 || asicId_.probeType == 3;
    std::vector<double> amplitudes;
    std::vector<float> samples; // channel c's samples from c * gainSamples on
    std::vector<double> record(gainSamples);
    ElectrodePacket packet;
    for (unsigned int b = 0; b < banks.count(); ++b) {
        const unsigned int width = banks.width(b);
        if (shank) {
            if (!connectToBank(shankConfiguration, width, b) ||
                shankConfiguration.disableAllInternalReferences() != 0)
                return 10;
            if (tolmaren_writeShankRegister(true) != 0) return 3;
        }
        if (tolmaren_resetDatapath() != 0) return 7;
        if (tolmaren_mode(recordingMode) != 0) return 1;
        if (skipElectrodeData(gainSettlePackets) != 0) return 6;
        samples.assign(std::size_t(width) * gainSamples, 0.0f);
        for (unsigned int p = 0; p < gainPackets; ++p) {
            if (tolmaren_readElectrodeData(packet) != 0) return 6;
            for (unsigned int block = 0; block < ElectrodePacket::blockCount; ++block) {
                const std::size_t sample = std::size_t(p) * ElectrodePacket::blockCount + block;
                if (sample == gainSamples) break;
                for (unsigned int c = 0; c < width; ++c)
                    samples[std::size_t(c) * gainSamples + sample] = packet.apData[block][c];
            }
        }
        if (tolmaren_mode(configurationMode) != 0) return 1;
        for (unsigned int c = 0; c < width; ++c) {
            const float* channel = &samples[std::size_t(c) * gainSamples];
            record.assign(channel, channel + gainSamples);
            const double amplitude = calcAmp(record);
            amplitudes.push_back(asicId_.probeType == 1 ? amplitude * type1Attenuation : amplitude);
        }
    }

    gainCorrectionCalibration_.assign(banks.electrodes(), unitGain);
    for (unsigned int j = 0; j < banks.electrodes(); ++j)
        if (!ElectrodeBanks::isReferenceChannel(j % banks.channels()))
            gainCorrectionCalibration_[j] = gainCorrection(amplitudes[j]);
    writeGainCalibrationToCsv(amplitudes, file);
    gainCalibrationRun_ = true;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_impedanceMeasurement(std::string file) {
    if (tolmaren_mode(impedanceMode) != 0) return 1;
    if (datamodel_ == nullptr) return 4;
    datamode_ = true;
    datamodel_->tolmaren_cfg.datamode.write(1);
    impedanceMeasurement_.clear();

    const ElectrodeBanks banks(asicId_.probeType);
    const bool shank = asicId_.probeType == 2 || asicId_.probeType == 3;
    std::vector<ElectrodePacket> packets(impedancePackets);
    for (unsigned int b = 0; b < banks.count(); ++b) {
        const unsigned int width = banks.width(b);
        if (shank) {
            if (!connectToBank(shankConfiguration, width, b)) return 10;
            if (tolmaren_writeShankRegister(true) != 0) return 3;
        }
        if (tolmaren_resetDatapath() != 0) return 7;
        for (ElectrodePacket& packet : packets)
            if (tolmaren_readElectrodeData(packet) != 0) return 6;
        // The corrections are indexed by electrode; a table that does not
        // hold one per electrode cannot be used.
        if (!gainCalibrationRun_ || gainCorrectionCalibration_.size() < banks.electrodes())
            return 8;
        for (unsigned int c = 0; c < width; ++c) {
            for (unsigned int p = 0; p < impedancePackets; ++p)
                for (unsigned int block = 0; block < ElectrodePacket::blockCount; ++block)
                    sampleValues_[p * ElectrodePacket::blockCount + block] =
                        packets[p].apData[block][c];
            const double gain =
                gainCorrectionCalibration_[b * banks.channels() + c] / double(unitGain);
            impedanceMeasurement_.push_back(tolmaren_impedance(sampleValues_, sampleTimes_, gain));
        }
    }
    writeImpedancesToCsv(file);
    return 0;
}

unsigned int
Tolmaren_basestation_api::tolmaren_getImpedanceMeasurement(std::vector<int>& impedances) {
    if (impedanceMeasurement_.empty()) return 1;
    impedances = impedanceMeasurement_;
    return 0;
}
