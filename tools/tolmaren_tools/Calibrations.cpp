#include "tolmaren_tools/Calibrations.h"

#include <algorithm>

#include "recording/PendingFile.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"

namespace tolmaren_tools {

using tolmaren_recording::PendingFile;
using tolmaren_recording::StatusWords;

namespace {

using Api = Tolmaren_basestation_api;

// Packets each sweep reads, settling included: every datapath reset is
// followed by 3000 skipped ADC packets (75000 electrode packets in the gain
// calibration) and the packets analysed.
constexpr double slopePackets = 128 * 10 * 3001.0;
constexpr double offsetPackets = 16 * 3001.0;
constexpr double comparatorPackets = 31 * 3770.0;
constexpr double gainPacketsPerBank = 75000 + 2731.0;
constexpr double impedancePacketsPerBank = 109;

// The sine that the gain calibration and the impedance measurement need:
// 10 mV peak to peak (amplitude 10 in 1 mV steps) at 1 kHz (setting 9).
constexpr int sineAmplitude = 10;
constexpr int sineFrequency = 9;
// All 14 bits of a stored gain correction set, as an erased EEPROM reads.
constexpr unsigned short largestGainCorrection = 0x3FFF;

unsigned int bankCount(Api& api) {
    const int type = api.tolmaren_getOption();
    return type == 3 ? 4 : type == 2 ? 3 : 1;
}

// Runs one procedure, its report written under a temporary name and kept
// only on success.
template <typename Procedure>
void sweep(Calibrations::Observer* observer, const std::string& operation, const std::string& name,
           double packets, const std::string& report, Procedure procedure) {
    PendingFile file(report);
    if (observer) observer->sweepStarted(name, packets);
    const unsigned int status = procedure(file.temporaryPath());
    if (status == 0) file.commit();
    if (observer) observer->sweepFinished(status == 0, report);
    StatusWords::check(operation, status);
}

void generateSine(Api& api) {
    StatusWords::check("tolmaren_generateSine",
                       api.tolmaren_generateSine(sineAmplitude, false, sineFrequency));
}

} // namespace

Calibrations::AdcSettings Calibrations::adc(Api& api, const std::string& dir, Observer* observer) {
    sweep(observer, "tolmaren_ADCSlopeCalibration", "slope sweep", slopePackets,
          dir + "/adc_slope.csv",
          [&](const std::string& f) { return api.tolmaren_ADCSlopeCalibration(f); });
    sweep(observer, "tolmaren_ADCOffsetCalibration", "offset sweep", offsetPackets,
          dir + "/adc_offset.csv",
          [&](const std::string& f) { return api.tolmaren_ADCOffsetCalibration(f); });
    sweep(observer, "tolmaren_comparatorCalibration", "comparator sweep", comparatorPackets,
          dir + "/adc_comparator.csv",
          [&](const std::string& f) { return api.tolmaren_comparatorCalibration(f); });
    AdcSettings settings;
    api.tolmaren_getADCPairCommonCalibration(settings.pairs);
    api.tolmaren_getADCCompCalibration(settings.comparators);
    return settings;
}

std::vector<unsigned short> Calibrations::gain(Api& api, const std::string& dir,
                                               Observer* observer) {
    generateSine(api);
    sweep(observer, "tolmaren_gainCalibration", "gain sweep", bankCount(api) * gainPacketsPerBank,
          dir + "/gain.csv", [&](const std::string& f) { return api.tolmaren_gainCalibration(f); });
    std::vector<unsigned short> corrections;
    api.tolmaren_getGainCorrectionCalibration(corrections);
    return corrections;
}

void Calibrations::loadStoredGainCorrections(Api& api) {
    StatusWords::check("tolmaren_readGainCorrection", api.tolmaren_readGainCorrection());
    std::vector<unsigned short> table;
    api.tolmaren_getGainCorrectionCalibration(table);
    const unsigned short blanks[] = {0, largestGainCorrection};
    for (const unsigned short blank : blanks)
        if (std::all_of(table.begin(), table.end(), [&](unsigned short v) { return v == blank; }))
            throw tolmaren_recording::ToolError(
                "the EEPROM holds no gain calibration to measure impedance with: every gain "
                "correction is " +
                std::to_string(blank) + (blank == 0 ? " (never written)" : " (erased)"));
}

std::vector<int> Calibrations::impedance(Api& api, const std::string& dir, Observer* observer) {
    generateSine(api);
    sweep(observer, "tolmaren_impedanceMeasurement", "impedance sweep",
          bankCount(api) * impedancePacketsPerBank, dir + "/impedance.csv",
          [&](const std::string& f) { return api.tolmaren_impedanceMeasurement(f); });
    std::vector<int> impedances;
    api.tolmaren_getImpedanceMeasurement(impedances);
    return impedances;
}

} // namespace tolmaren_tools
