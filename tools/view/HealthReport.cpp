#include "view/HealthReport.h"

#include "recording/StreamCountsText.h"

namespace tolmaren_view {

nlohmann::ordered_json HealthReport::toJson() const {
    nlohmann::ordered_json status = nlohmann::ordered_json::object();
    tolmaren_recording::StreamCountsText::addTo(status, counts);
    status["packets_per_second"] = packetsPerSecond;
    status["fifo_filling_percent"] = fifoFillingPercent;
    status["temperature_celsius"] =
        temperatureCelsius ? nlohmann::ordered_json(*temperatureCelsius) : nullptr;
    status["stalls"] = stalls;
    status["stream_problem"] = streamProblem;
    status["recording"] = {{"active", recording},
                           {"file", recordingFile},
                           {"packets", recordingPackets},
                           {"message", recordingMessage}};
    status["view_packets_skipped"] = viewPacketsSkipped;
    return status;
}

} // namespace tolmaren_view
