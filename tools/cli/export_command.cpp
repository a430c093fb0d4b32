// tolmaren export FILE OUTDIR: the recording as spike sorters read it.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "recording/Exporter.h"
#include "recording/RecordingSettings.h"
#include "recording/StreamCountsText.h"

using tolmaren_recording::Exporter;
using tolmaren_recording::ProbeGeometry;

namespace {

struct ExportOptions {
    std::string file;
    std::string outDir;
    std::string geometry;
};

void exportRecording(const ExportOptions& options) {
    tolmaren_recording::RecordingReader reader(options.file);
    const auto settings = tolmaren_recording::RecordingSettings::load(reader, std::cerr);
    const ProbeGeometry geometry =
        options.geometry.empty() ? ProbeGeometry::alongShank()
                                 : ProbeGeometry::load(options.geometry, settings.info.probeType);
    const auto result = Exporter::run(reader, options.file, options.outDir, settings.info,
                                      settings.assumed, geometry);
    std::printf("%s: %llu AP and %llu LFP samples of 384 channels in %zu segment%s, %zu gap%s; "
                "%s\n",
                options.file.c_str(), static_cast<unsigned long long>(result.apSamples),
                static_cast<unsigned long long>(result.lfpSamples), result.segments.size(),
                result.segments.size() == 1 ? "" : "s", result.gaps.size(),
                result.gaps.size() == 1 ? "" : "s",
                tolmaren_recording::StreamCountsText::line(result.counts).c_str());
    for (const std::string& name : Exporter::files())
        std::printf("wrote %s/%s\n", options.outDir.c_str(), name.c_str());
}

} // namespace

void addExportCommand(CLI::App& app, Invocation&) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = app.add_subcommand(
        "export", "Write the AP and LFP bands as flat channel-interleaved int16 binaries on the "
                  "stream's timeline (lost samples 0), the sync and start-trigger values, their "
                  "metadata and a probeinterface probe description, into OUTDIR");
    command->add_option("FILE", options->file, "Recording to export")->required();
    command->add_option("OUTDIR", options->outDir, "Directory to write into (created if needed)")
        ->required();
    command->add_option("--geometry", options->geometry,
                        "probeinterface file whose first probe's contact e is electrode e "
                        "(default: electrode e at (0, e) in electrode pitches)");
    command->callback([options] { exportRecording(*options); });
}
