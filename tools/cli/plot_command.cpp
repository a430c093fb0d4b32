// tolmaren plot FILE OUT.png: a picture of a stretch of recording.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/FiniteRange.h"
#include "cli/RecordingPicture.h"
#include "recording/InputFiles.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSettings.h"
#include "recording/ToolError.h"

using tolmaren_recording::RecordingInfo;

namespace {

constexpr unsigned int columns = 1200;

struct PlotOptions {
    std::string file;
    std::string png;
    double start = 0;
    double seconds = 1;
    unsigned int traces = 4;
};

void plot(const PlotOptions& options) {
    tolmaren_recording::InputFiles(options.file).refuseAsOutput(options.png);
    tolmaren_recording::RecordingReader reader(options.file);
    const auto settings = tolmaren_recording::RecordingSettings::load(reader, std::cerr);
    const auto first =
        static_cast<uint64_t>(std::llround(options.start * RecordingInfo::lfpSampleRateHz));
    if (first >= reader.packetCapacity())
        throw tolmaren_recording::ToolError("--start " + std::to_string(options.start) +
                                            " lies beyond the end of " + options.file);
    const uint64_t packets = std::min<uint64_t>(
        reader.packetCapacity() - first,
        std::max<uint64_t>(1, std::llround(options.seconds * RecordingInfo::lfpSampleRateHz)));

    for (uint64_t skipped = 0; skipped < first && reader.next() != nullptr;)
        ++skipped;
    StretchBins bins(settings.info, packets * CodePacket::blocks, columns);
    for (uint64_t taken = 0; taken < packets; ++taken) {
        const CodePacket* packet = reader.next();
        if (packet == nullptr) break;
        bins.add(*packet);
    }
    reader.requireBlocks();

    RecordingPicture::Labels labels;
    labels.startSeconds = static_cast<double>(first) / RecordingInfo::lfpSampleRateHz;
    labels.seconds = static_cast<double>(packets) / RecordingInfo::lfpSampleRateHz;
    labels.title = options.file + ": AP band, uV at the probe's input, probe type " +
                   std::to_string(settings.info.probeType) + ", serial number " +
                   std::to_string(settings.info.serialNumber);
    RecordingPicture::draw(bins, labels, options.traces, options.png);
    std::printf("wrote %s: %.3f s from %.3f s, %u traces\n", options.png.c_str(), labels.seconds,
                labels.startSeconds, options.traces);
}

} // namespace

void addPlotCommand(CLI::App& app, Invocation&) {
    auto options = std::make_shared<PlotOptions>();
    CLI::App* command = app.add_subcommand(
        "plot", "Draw a stretch of recording as a PNG: all channels over time, and the traces "
                "of the busiest channels");
    command->add_option("FILE", options->file, "Recording to draw")->required();
    command->add_option("OUT", options->png, "PNG file to write")->required();
    command->add_option("--start", options->start, "Start of the stretch in seconds")
        ->check(FiniteRange(0.0, 1e7))
        ->capture_default_str();
    command->add_option("--seconds", options->seconds, "Length of the stretch in seconds")
        ->check(FiniteRange(1.0 / RecordingInfo::lfpSampleRateHz, 1e4))
        ->capture_default_str();
    command->add_option("--traces", options->traces, "Traces to draw below the map")
        ->check(CLI::Range(1, 16))
        ->capture_default_str();
    command->callback([options] { plot(*options); });
}
