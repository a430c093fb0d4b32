#include <fstream>

#include "api/Tolmaren_basestation_api.h"

// The reports of the calibrations: the calibration table a procedure has
// just stored, followed directly by the measurements it chose from, and the
// impedances of the last measurement.

namespace {

constexpr unsigned int adcCount = 32;

void writeAdcHeader(std::ofstream& out) {
    out << ",";
    for (unsigned int a = 1; a <= adcCount; ++a)
        out << "ADC " << a << ",";
    out << std::endl;
}

template <typename Value>
void writeRow(std::ofstream& out, const char* label, const Value* values, std::size_t count) {
    out << label;
    for (std::size_t i = 0; i < count; ++i)
        out << values[i] << ",";
    out << std::endl;
}

} // namespace

void Tolmaren_basestation_api::writeSlopeCalibrationToCsv(float* slopes, std::string file) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    addSlopeCalibrationValuesToFilestream(out);
    out << std::endl;
    writeAdcHeader(out);
    writeRow(out, "ADC slope ,", slopes, adcCount);
}

void Tolmaren_basestation_api::writeOffsetCalibrationToCsv(float* outputs, std::string file) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    addOffsetCalibrationValuesToFilestream(out);
    out << std::endl;
    writeAdcHeader(out);
    writeRow(out, "ADC output,", outputs, adcCount);
}

void Tolmaren_basestation_api::writeComparatorCalibrationToCsv(double* percentages,
                                                               std::string file) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    addComparatorCalibrationValuesToFilestream(out);
    writeRow(out, "Percentage of ones,", percentages, adcCount);
}

void Tolmaren_basestation_api::writeGainCalibrationToCsv(std::vector<double> amplitudes,
                                                         std::string file) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    addGainCalibrationValuesToFilestream(out);
    writeRow(out, "Signal amplitude,", amplitudes.data(), amplitudes.size());
}

void Tolmaren_basestation_api::writeImpedancesToCsv(std::string file) {
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    out << ",";
    for (std::size_t j = 1; j <= impedanceMeasurement_.size(); ++j)
        out << "Electrode " << j << ",";
    out << std::endl;
    writeRow(out, "Impedance,", impedanceMeasurement_.data(), impedanceMeasurement_.size());
}
