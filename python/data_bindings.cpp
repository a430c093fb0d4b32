// tolmaren.Data: what a read gives, as NumPy arrays.
#include "AdcArrays.h"
#include "Bindings.h"
#include "PacketArrays.h"

namespace py = pybind11;

void bindData(py::module_& module) {
    py::class_<PacketArrays>(
        module, "Data",
        "Electrode packets as NumPy arrays, one row per sample. A packet is 1/2500 s: 12 AP "
        "samples (30 kHz) and one LFP sample of each of the 384 channels.")
        .def_readonly("ap", &PacketArrays::ap,
                      "AP band, shape (samples, 384): volts at the ADC input (float32), or ADC "
                      "codes 0 to 1023 (uint16) when read raw. Mid-scale, code 512, is zero.")
        .def_readonly("lfp", &PacketArrays::lfp,
                      "LFP band, shape (packets, 384), in the units of `ap`.")
        .def_readonly("counters", &PacketArrays::counters,
                      "Counters of each AP sample's block, shape (samples, 13), uint32: column 0 "
                      "the block counter, 1 to 12 the conversion slots. A jump in column 0 "
                      "means dropped data.")
        .def_readonly("synchronization", &PacketArrays::synchronization,
                      "Synchronization value of each AP sample's block, shape (samples,), "
                      "uint16.")
        .def_readonly("start_trigger", &PacketArrays::startTrigger,
                      "Start-trigger bit of each AP sample's block, shape (samples,), bool.")
        .def_readonly("raw", &PacketArrays::raw, "True when the samples are ADC codes.")
        .def_property_readonly(
            "packets", [](const PacketArrays& data) { return data.counts.packets; },
            "Packets held.")
        .def_property_readonly(
            "decode_errors", [](const PacketArrays& data) { return data.counts.decodeErrors; },
            "Packets skipped because a block failed its checks (a marker, block index or "
            "reserved bit was wrong).")
        .def_property_readonly(
            "counter_gaps", [](const PacketArrays& data) { return data.counts.counterGaps; },
            "Jumps of the block counter: places where data was dropped.")
        .def("__repr__", [](const PacketArrays& data) {
            return "<tolmaren.Data: " + std::to_string(data.counts.packets) + " packets, " +
                   (data.raw ? "ADC codes" : "volts") + ", " +
                   std::to_string(data.counts.decodeErrors) + " decode errors, " +
                   std::to_string(data.counts.counterGaps) + " counter gaps>";
        });
    py::class_<AdcArrays>(module, "AdcData",
                          "ADC packets as NumPy arrays, one row per record (13 a packet, "
                          "360000 a second): what each of the 32 ADCs converted.")
        .def_readonly("adc", &AdcArrays::adc,
                      "Shape (records, 32): volts at the ADC input (float32), or ADC codes "
                      "(uint16) when read raw.")
        .def_readonly("counters", &AdcArrays::counters, "Each record's counter, uint32.")
        .def_readonly("raw", &AdcArrays::raw, "True when the samples are ADC codes.");
}
