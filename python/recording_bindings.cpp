// Recordings: read back into NumPy arrays, their settings, the export.
#include <memory>
#include <optional>
#include <pybind11/stl.h>
#include <sstream>

#include "Bindings.h"
#include "Interruptible.h"
#include "PacketArrays.h"
#include "PythonJson.h"
#include "tolmaren_tools/Exporter.h"
#include "tolmaren_tools/RecordingReader.h"
#include "tolmaren_tools/RecordingSettings.h"
#include "tolmaren_tools/Sidecar.h"

namespace py = pybind11;
using tolmaren_tools::RecordingInfo;
using tolmaren_tools::RecordingReader;
using tolmaren_tools::RecordingSettings;

namespace {

// Packets decoded between looks for Ctrl-C: a few milliseconds.
constexpr std::size_t packetsPerPiece = 2500;

// The recording's settings, with what was assumed as a Python warning.
RecordingSettings loadSettings(const std::string& path) {
    std::ostringstream notes;
    RecordingSettings settings;
    {
        py::gil_scoped_release release;
        settings = RecordingSettings::load(path, notes);
    }
    if (!notes.str().empty())
        py::module_::import("warnings").attr("warn")(notes.str().substr(0, notes.str().size() - 1));
    return settings;
}

PacketArrays readRecording(const std::string& path, bool raw, uint64_t start,
                           std::optional<uint64_t> count) {
    std::optional<RecordingReader> reader;
    std::optional<RecordingInfo> sidecar;
    {
        py::gil_scoped_release release;
        reader.emplace(path);
        sidecar = tolmaren_tools::Sidecar::readFor(path);
    }
    // Volts at the ADC input need no settings but the scale, which is the
    // library's constant unless the sidecar says otherwise.
    const float voltsPerCode =
        static_cast<float>(sidecar ? sidecar->voltsPerCode : RecordingInfo::defaultVoltsPerCode);
    const uint64_t left = reader->packetCapacity() - std::min(start, reader->packetCapacity());
    const uint64_t wanted = std::min(left, count.value_or(left));
    PacketArrays arrays(wanted, raw, voltsPerCode);

    auto packet = std::make_unique<tolmaren_tools::CodePacket>();
    Interruptible::run(start, packetsPerPiece, [&](std::size_t) { return reader->next(*packet); });
    const auto skipped = reader->counts();
    const std::size_t read = Interruptible::run(wanted, packetsPerPiece, [&](std::size_t p) {
        if (!reader->next(*packet)) return false;
        arrays.put(p, *packet);
        return true;
    });
    const auto counts = reader->counts();
    arrays.counts.packets = read;
    arrays.counts.decodeErrors = counts.decodeErrors - skipped.decodeErrors;
    arrays.counts.counterGaps = counts.counterGaps - skipped.counterGaps;
    if (read < wanted) arrays.truncate(read);
    return arrays;
}

py::dict exportRecording(const std::string& path, const std::string& outDir) {
    std::optional<RecordingReader> reader;
    {
        py::gil_scoped_release release;
        reader.emplace(path);
    }
    const RecordingSettings settings = loadSettings(path);
    tolmaren_tools::ExportResult result;
    {
        py::gil_scoped_release release;
        result =
            tolmaren_tools::Exporter::run(*reader, path, outDir, settings.info, settings.assumed);
    }
    py::list files;
    for (const char* name :
         {tolmaren_tools::Exporter::apFile, tolmaren_tools::Exporter::lfpFile,
          tolmaren_tools::Exporter::metadataFile, tolmaren_tools::Exporter::probeFile})
        files.append(outDir + "/" + name);
    py::dict summary;
    summary["packets"] = result.counts.packets;
    summary["ap_samples"] = result.apSamples;
    summary["lfp_samples"] = result.lfpSamples;
    summary["decode_errors"] = result.counts.decodeErrors;
    summary["counter_gaps"] = result.counts.counterGaps;
    summary["files"] = files;
    return summary;
}

} // namespace

void bindRecordings(py::module_& module) {
    module.def(
        "read_recording", &readRecording, py::arg("path"), py::arg("raw") = false,
        py::arg("start") = 0, py::arg("count") = py::none(),
        "Decodes a raw recording into a Data object, the arrays Basestation.read() gives: "
        "samples in volts at the ADC input, or ADC codes when raw. `start` and `count` choose "
        "whole packets (2500 a second): the first `start` are skipped, at most `count` are "
        "read. The file is read in pieces, never whole; blocks that fail their checks cost "
        "their packet and count in decode_errors.");
    module.def(
        "read_settings",
        [](const std::string& path) {
            return PythonJson::parse(tolmaren_tools::Sidecar::toJson(loadSettings(path).info));
        },
        py::arg("path"),
        "The settings a recording was made with, from its sidecar (path + '.json'), as a dict: "
        "probe, versions, start time, per-channel bank, electrode, gain codes and gains, "
        "reference and standby, the stream's rates and scale, what the recorder saw. Without "
        "a sidecar, those of a freshly opened probe of type 0, with a warning.");
    module.def("export", &exportRecording, py::arg("path"), py::arg("outdir"),
               "Exports a recording as `tolmaren export` does: OUTDIR/ap.bin and lfp.bin (int16, "
               "code minus 512, shape (samples, 384)), recording.json and probe.json. Returns "
               "what was written.");
}
