// Every CSV reader of the facade on one file: the three chain readers and
// the four calibration-table readers, for the probe type the first byte picks
// (0 to 3, or an unknown one). Each returns a code and never reads past what
// the file holds; a table read whole is written back and reads back the same.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "api/Tolmaren_basestation_api.h"

namespace {

class CsvApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::adcCompCalibration_;
    using Tolmaren_basestation_api::adcPairCommonCalibration_;
    using Tolmaren_basestation_api::gainCorrectionCalibration_;
    void setProbeType(int8_t type) { asicId_.probeType = type; }
};

std::string temporaryFile(const char* name) {
    return std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/fuzz_csv_" +
           std::to_string(getpid()) + name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const std::string file = temporaryFile(".csv"), back = temporaryFile("_back.csv");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    CsvApi api;
    api.setProbeType(static_cast<int8_t>(data[0] % 5));
    for (unsigned int code : {api.tolmaren_readBaseConfigurationFromCsv(file),
                              api.tolmaren_readShankConfigurationFromCsv(file),
                              api.tolmaren_readTestConfigurationFromCsv(file)})
        if (code > 2) std::abort();

    const auto pairs = api.adcPairCommonCalibration_;
    if (api.tolmaren_readADCSlopeCalibrationFromCsv(file) == 0) {
        api.tolmaren_writeADCSlopeCalibrationToCsv(back);
        const auto read = api.adcPairCommonCalibration_;
        api.adcPairCommonCalibration_ = pairs;
        if (api.tolmaren_readADCSlopeCalibrationFromCsv(back) != 0) std::abort();
        for (size_t p = 0; p < read.size(); ++p)
            if (read[p].slope != api.adcPairCommonCalibration_[p].slope) std::abort();
    }
    if (api.tolmaren_readADCOffsetCalibrationFromCsv(file) > 3) std::abort();
    if (api.tolmaren_readComparatorCalibrationFromCsv(file) > 3) std::abort();
    if (api.tolmaren_readGainCalibrationFromCsv(file) == 0) {
        const auto gains = api.gainCorrectionCalibration_;
        api.tolmaren_writeGainCorrectionCalibrationToCsv(back);
        if (api.tolmaren_readGainCalibrationFromCsv(back) != 0) std::abort();
        if (api.gainCorrectionCalibration_ != gains) std::abort();
    }
    return 0;
}
