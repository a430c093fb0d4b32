#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "data/StreamCounts.h"

namespace tolmaren_view {

// What the acquisition thread publishes about the stream, the basestation
// and the recording: the page's health panel and /status show it.
struct HealthReport {
    StreamCounts counts; // since the view started
    double packetsPerSecond = 0;
    float fifoFillingPercent = 0;
    std::optional<float> temperatureCelsius; // none until read, or when the read failed
    uint64_t stalls = 0;                     // reads that found no data within the 1-s time-out
    std::string streamProblem;               // the latest trouble of the stream, if any

    bool recording = false;
    std::string recordingFile; // the one in progress, else the latest
    uint64_t recordingPackets = 0;
    std::string recordingMessage; // how the latest start or stop went

    uint64_t viewPacketsSkipped = 0; // left out of the view, never out of a recording

    // {"packets": ..., "packets_per_second": ..., "fifo_filling_percent": ...,
    //  "temperature_celsius": ..., "recording": {...}, ...}
    nlohmann::ordered_json toJson() const;
};

} // namespace tolmaren_view
