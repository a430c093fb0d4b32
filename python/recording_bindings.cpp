// Recordings: read back into NumPy arrays, their settings, the export.
#include <limits>
#include <memory>
#include <optional>
#include <pybind11/stl.h>
#include <sstream>

#include "Bindings.h"
#include "Interruptible.h"
#include "PacketArrays.h"
#include "PythonJson.h"
#include "recording/Exporter.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSettings.h"
#include "recording/Sidecar.h"

namespace py = pybind11;
using tolmaren_recording::RecordingInfo;
using tolmaren_recording::RecordingReader;
using tolmaren_recording::RecordingSettings;

namespace {

// Packets decoded between looks for Ctrl-C: a few milliseconds.
constexpr std::size_t packetsPerPiece = 2500;

std::unique_ptr<RecordingReader> openRecording(const std::string& path) {
    py::gil_scoped_release release;
    return std::make_unique<RecordingReader>(path);
}

// The recording's settings, with what was assumed, or found cut short, as
// Python warnings.
RecordingSettings loadSettings(const RecordingReader& reader) {
    std::ostringstream notes;
    RecordingSettings settings;
    {
        py::gil_scoped_release release;
        settings = RecordingSettings::load(reader, notes);
    }
    if (!notes.str().empty())
        py::module_::import("warnings").attr("warn")(notes.str().substr(0, notes.str().size() - 1));
    return settings;
}

PacketArrays readRecording(const std::string& path, bool raw, uint64_t start,
                           std::optional<uint64_t> count) {
    const auto reader = openRecording(path);
    const std::string leftover = reader->leftoverWarning();
    if (!leftover.empty()) py::module_::import("warnings").attr("warn")(leftover);
    // Packets missing blocks can make more packets than whole ones would: the
    // arrays then grow.
    const uint64_t left = reader->packetCapacity() - std::min(start, reader->packetCapacity());
    const uint64_t wanted = count.value_or(std::numeric_limits<uint64_t>::max());
    PacketArrays arrays(std::min(left + 1, wanted), raw);
    Interruptible::run(start, packetsPerPiece,
                       [&](std::size_t) { return reader->next() != nullptr; });
    const StreamCounts skipped = reader->counts();
    const CodePacket* packet = nullptr;
    for (uint64_t held = 0; held < wanted;) {
        held += Interruptible::run(wanted - held, packetsPerPiece, [&](std::size_t) {
            packet = reader->next();
            return packet != nullptr && arrays.put(*packet);
        });
        if (packet == nullptr) break;
        if (held < wanted) { // full: the packet in hand goes in once there is room
            arrays.grow(std::min<uint64_t>(wanted - held, arrays.capacity() / 8 + 16));
            arrays.put(*packet);
            ++held;
        }
    }
    arrays.ended = packet == nullptr;
    reader->requireBlocks();
    arrays.counts = reader->counts();
    arrays.counts -= skipped;
    arrays.trim();
    return arrays;
}

py::dict exportRecording(const std::string& path, const std::string& outDir,
                         std::optional<std::string> geometryPath) {
    const auto reader = openRecording(path);
    const RecordingSettings settings = loadSettings(*reader);
    tolmaren_recording::ExportResult result;
    {
        py::gil_scoped_release release;
        const auto geometry =
            geometryPath
                ? tolmaren_recording::ProbeGeometry::load(*geometryPath, settings.info.probeType)
                : tolmaren_recording::ProbeGeometry::alongShank();
        result = tolmaren_recording::Exporter::run(*reader, path, outDir, settings.info,
                                                   settings.assumed, geometry);
    }
    py::list files, gaps, segments;
    for (const std::string& name : tolmaren_recording::Exporter::files())
        files.append(outDir + "/" + name);
    for (const auto& gap : result.gaps)
        gaps.append(py::make_tuple(gap.firstRow, gap.rows));
    for (const auto& segment : result.segments)
        segments.append(py::make_tuple(segment.apFirstRow, segment.apRows));
    py::dict summary;
    summary["ap_samples"] = result.apSamples;
    summary["lfp_samples"] = result.lfpSamples;
    summary["gaps"] = gaps;
    summary["segments"] = segments;
    summary["counts"] = PythonJson::counts(result.counts);
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
        "read (a packet missing blocks counts as one). The file is read in pieces, never "
        "whole, through the library's decoder: its counts are those of `tolmaren play`. A file "
        "that ends inside a block is read up to its last whole block, with a warning.");
    module.def(
        "read_settings",
        [](const std::string& path) {
            return PythonJson::parse(
                tolmaren_recording::Sidecar::toJson(loadSettings(*openRecording(path)).info));
        },
        py::arg("path"),
        "The settings a recording was made with, from its sidecar (path + '.json'), as a dict: "
        "probe, versions, start time, per-channel bank, electrode, gain codes and gains, "
        "reference and standby, the stream's rates and scale, what the recorder saw. Without "
        "a sidecar, those of a freshly opened probe of type 0, with a warning.");
    module.def("export", &exportRecording, py::arg("path"), py::arg("outdir"),
               py::arg("geometry") = py::none(),
               "Exports a recording as `tolmaren export` does: OUTDIR/ap.bin and lfp.bin (int16, "
               "code minus 512, shape (samples, 384), one row per sample period, lost samples "
               "0), sync.bin (uint16) and start_trigger.bin (uint8) per AP row, recording.json "
               "and probe.json. `geometry`: a probeinterface file whose first probe's contact e "
               "is electrode e. Returns what was written: sample counts, `gaps` as (first AP "
               "row, rows), `segments` as (first AP row, rows), the decoder's counts, the files.");
}
