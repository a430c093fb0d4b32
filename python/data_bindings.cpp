// tolmaren.Data: what a read gives, as NumPy arrays.
#include "AdcArrays.h"
#include "Bindings.h"
#include "PacketArrays.h"
#include "PythonJson.h"

namespace py = pybind11;

void bindData(py::module_& module) {
    py::class_<PacketArrays>(module, "Data",
                             "Electrode packets as NumPy arrays, one AP row per block delivered. A "
                             "packet is 1/2500 s: 12 AP "
                             "samples (30 kHz) and one LFP sample of each of the 384 channels.")
        .def_readonly("ap", &PacketArrays::ap,
                      "AP band, shape (samples, 384): volts at the ADC input (float32), or ADC "
                      "codes 0 to 1023 (uint16) when read raw. Mid-scale, code 512, is zero.")
        .def_readonly("lfp", &PacketArrays::lfp,
                      "LFP band, shape (packets, 384), in the units of `ap`; the channels that the "
                      "missing blocks of a packet carry are at mid-scale (code 512).")
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
        .def_readonly("ended", &PacketArrays::ended,
                      "True when the stream ended (a played-back recording) before all packets "
                      "asked for were read.")
        .def_property_readonly(
            "packets", [](const PacketArrays& data) { return data.counts.packets; },
            "Whole packets read.")
        .def_property_readonly(
            "counts", [](const PacketArrays& data) { return PythonJson::counts(data.counts); },
            "What the decoder found while reading, as a dict: packets (whole), "
            "packets_abandoned (packets missing blocks, held with the blocks that arrived), "
            "blocks (delivered), blocks_rejected (failed their checks), gaps and blocks_lost "
            "(jumps of the block counter, and the blocks they skip), segments (runs of "
            "continuous counters).")
        .def("__repr__", [](const PacketArrays& data) {
            return "<tolmaren.Data: " + (data.raw ? std::string("ADC codes, ") : "volts, ") +
                   tolmaren_recording::StreamCountsText::line(data.counts) + ">";
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
