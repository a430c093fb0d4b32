// tolmaren play FILE: decodes a recording and prints per-channel statistics
// in microvolts at the probe's input.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "recording/ChannelStatistics.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSettings.h"
#include "recording/StreamCountsText.h"
#include "recording/ToolError.h"

using tolmaren_recording::ChannelStatistics;
using tolmaren_recording::RecordingInfo;

namespace {

void printBand(const ChannelStatistics::Band& band, double microvoltsPerCode) {
    const double zero = RecordingInfo::adcZeroCode;
    std::printf(" %9.1f %8.1f %9.1f %9.1f", (band.mean() - zero) * microvoltsPerCode,
                band.deviation() * microvoltsPerCode, (band.min - zero) * microvoltsPerCode,
                (band.max - zero) * microvoltsPerCode);
}

void play(const std::string& file) {
    tolmaren_recording::RecordingReader reader(file);
    const auto settings = tolmaren_recording::RecordingSettings::load(reader, std::cerr);
    const RecordingInfo& info = settings.info;
    ChannelStatistics statistics;
    while (const CodePacket* packet = reader.next())
        statistics.add(*packet);
    const StreamCounts& counts = reader.counts();
    reader.requireBlocks();

    std::printf("%s: %llu packets (%.2f s), probe type %d, serial number %u%s%s\n", file.c_str(),
                static_cast<unsigned long long>(counts.packets),
                static_cast<double>(counts.packets) / RecordingInfo::lfpSampleRateHz,
                info.probeType, info.serialNumber, info.startTime.empty() ? "" : ", started ",
                TerminalText::escape(info.startTime).c_str());
    std::printf("%s\n", tolmaren_recording::StreamCountsText::line(counts).c_str());
    std::printf("microvolts at the probe's input; rms about the mean\n");
    std::printf("channel electrode   AP mean   AP rms    AP min    AP max  LFP mean  LFP rms   "
                "LFP min   LFP max\n");
    const std::vector<int> electrodes = info.electrodes();
    for (unsigned int c = 0; c < CodePacket::channels; ++c) {
        if (electrodes[c] < 0)
            std::printf("%7u         -", c);
        else
            std::printf("%7u %9d", c, electrodes[c]);
        printBand(statistics.ap(c), info.apMicrovoltsPerCode(c));
        printBand(statistics.lfp(c), info.lfpMicrovoltsPerCode(c));
        std::printf("\n");
    }
}

} // namespace

void addPlayCommand(CLI::App& app, Invocation&) {
    auto file = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "play", "Decode a recording and print per-channel statistics in microvolts at the "
                "probe's input (using the sidecar FILE.json when there is one)");
    command->add_option("FILE", *file, "Recording to play back")->required();
    command->callback([file] { play(*file); });
}
