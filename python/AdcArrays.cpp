#include "AdcArrays.h"

#include <cstring>

#include "data/AdcPacket.h"
#include "data/CodeVolts.h"

namespace py = pybind11;

namespace {

constexpr std::size_t records = AdcPacket::recordCount;
constexpr std::size_t adcs = AdcRecord::adcs;

} // namespace

AdcArrays::AdcArrays(std::size_t packets, bool raw) : raw(raw) {
    if (raw)
        adc = py::array_t<uint16_t>({packets * records, adcs});
    else
        adc = py::array_t<float>({packets * records, adcs});
    counters = py::array_t<uint32_t>(packets * records);
    adc_ = adc.mutable_data();
    counters_ = static_cast<uint32_t*>(counters.mutable_data());
}

void AdcArrays::put(std::size_t row, uint32_t counter, const uint16_t (&codes)[adcs]) {
    counters_[row] = counter;
    if (raw)
        std::memcpy(static_cast<uint16_t*>(adc_) + row * adcs, codes, sizeof codes);
    else
        CodeVolts::toVolts(codes, adcs, static_cast<float*>(adc_) + row * adcs);
}
