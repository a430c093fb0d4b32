// tolmaren export FILE OUTDIR: the recording as spike sorters read it.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "recording/Exporter.h"
#include "recording/RecordingSettings.h"
#include "recording/StreamCountsText.h"

using tolmaren_recording::Exporter;

namespace {

struct ExportOptions {
    std::string file;
    std::string outDir;
};

void exportRecording(const ExportOptions& options) {
    tolmaren_recording::RecordingReader reader(options.file);
    const auto settings = tolmaren_recording::RecordingSettings::load(reader, std::cerr);
    const auto result =
        Exporter::run(reader, options.file, options.outDir, settings.info, settings.assumed);
    std::printf("%s: %llu AP and %llu LFP samples of 384 channels; %s\n", options.file.c_str(),
                static_cast<unsigned long long>(result.apSamples),
                static_cast<unsigned long long>(result.lfpSamples),
                tolmaren_recording::StreamCountsText::line(result.counts).c_str());
    for (const char* name :
         {Exporter::apFile, Exporter::lfpFile, Exporter::metadataFile, Exporter::probeFile})
        std::printf("wrote %s/%s\n", options.outDir.c_str(), name);
}

} // namespace

void addExportCommand(CLI::App& app, Invocation&) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = app.add_subcommand(
        "export", "Write the AP and LFP bands as flat channel-interleaved int16 binaries with "
                  "their metadata and a probeinterface probe description, into OUTDIR");
    command->add_option("FILE", options->file, "Recording to export")->required();
    command->add_option("OUTDIR", options->outDir, "Directory to write into (created if needed)")
        ->required();
    command->callback([options] { exportRecording(*options); });
}
