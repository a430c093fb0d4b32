#include "AdcArrays.h"

#include <cstring>

#include "SampleUnits.h"

namespace py = pybind11;

namespace {

constexpr std::size_t records = AdcPacket::recordCount;
constexpr std::size_t adcs = AdcPacket::adcCount;

} // namespace

AdcArrays::AdcArrays(std::size_t packets, bool raw, float voltsPerCode)
    : raw(raw), voltsPerCode_(voltsPerCode) {
    if (raw)
        adc = py::array_t<uint16_t>({packets * records, adcs});
    else
        adc = py::array_t<float>({packets * records, adcs});
    counters = py::array_t<uint32_t>(packets * records);
    adc_ = adc.mutable_data();
    counters_ = static_cast<uint32_t*>(counters.mutable_data());
}

void AdcArrays::put(std::size_t packet, const AdcPacket& decoded) {
    for (std::size_t r = 0; r < records; ++r) {
        const AdcPacket::Record& record = decoded.records[r];
        const std::size_t row = packet * records + r;
        counters_[row] = record.ctr;
        if (raw)
            SampleUnits::toCodes(record.adcData, adcs, voltsPerCode_,
                                 static_cast<uint16_t*>(adc_) + row * adcs);
        else
            std::memcpy(static_cast<float*>(adc_) + row * adcs, record.adcData,
                        sizeof record.adcData);
    }
}
