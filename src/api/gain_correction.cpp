#include "api/Tolmaren_basestation_api.h"

// The basestation scales every channel by its gain-correction value (512 is a
// factor of 1.0) in its scale registers, one register per channel of the
// probes without a shank, one per shank electrode of the others.

namespace {

// Entries of the scale registers that a probe type uses.
size_t scaleEntries(int8_t probeType) {
    if (probeType == 0 || probeType == 1) return 384;
    return probeType == 2 ? 960 : 966;
}

} // namespace

unsigned int
Tolmaren_basestation_api::writeGainCorrectionRegisters(const std::vector<unsigned short>& table) {
    if (table.size() != scaleEntries(asicId_.probeType)) return 3;
    for (unsigned int k = 0; k < table.size(); ++k)
        datamodel_->scale.scale[k].write(table[k]);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_gainCorrection(std::vector<unsigned short>& table) {
    if (datamodel_ == nullptr) return 1;
    if (!datamode_) return 2;
    return writeGainCorrectionRegisters(table);
}

unsigned int
Tolmaren_basestation_api::tolmaren_getGainCorrection(std::vector<unsigned short>& table) {
    table.clear();
    if (datamodel_ == nullptr) return 1;
    if (!datamode_) return 2;
    const unsigned int entries = asicId_.probeType < 2 ? 384 : asicId_.probeType == 2 ? 960 : 966;
    table.reserve(entries);
    for (unsigned int k = 0; k < entries; ++k)
        table.push_back(static_cast<unsigned short>(datamodel_->scale.scale[k].read()));
    return 0;
}

unsigned int
Tolmaren_basestation_api::tolmaren_setGainCorrectionCalibration(std::vector<unsigned short> table) {
    // Probe types outside the known ones accept a table of any size.
    const bool knownType = asicId_.probeType >= 0 && asicId_.probeType <= 3;
    if (knownType && table.size() != scaleEntries(asicId_.probeType)) return 1;
    gainCorrectionCalibration_ = std::move(table);
    gainCalibrationRun_ = true;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getGainCorrectionCalibration(
    std::vector<unsigned short>& table) {
    if (gainCorrectionCalibration_.empty()) return 1;
    table = gainCorrectionCalibration_;
    return 0;
}
