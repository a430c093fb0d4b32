#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/StreamCounts.h"

namespace tolmaren_recording {

// What a raw recording does not say about itself (it has no header): the
// probe, the basestation's address, the versions, the start time, the
// settings of every channel, the stream's rates and scale, and what the
// recorder saw of the stream. It is the content of the sidecar file written
// beside every recording.
struct RecordingInfo {
    static constexpr double apSampleRateHz = 30000;
    static constexpr double lfpSampleRateHz = 2500;
    static constexpr unsigned int adcZeroCode = 512; // mid-scale of the 10-bit ADC
    // 1.2 V / 1023, as the single-precision factor of the library.
    static constexpr float defaultVoltsPerCode = 0.0011730206f;
    // The gain code every channel has after the probe is opened.
    static constexpr int openGainCode = 1;

    int probeType = 0;
    uint32_t serialNumber = 0;
    std::string basestationAddress; // empty: not known (null in the sidecar)
    std::string apiVersion;         // "4.1"
    std::string fpgaVersion;        // "4.1"
    std::string startTime;          // ISO 8601, UTC
    double voltsPerCode = defaultVoltsPerCode;

    // One entry per stream channel (384).
    std::vector<int> bank; // -1: no electrode
    std::vector<int> apGainCode;
    std::vector<int> lfpGainCode;
    std::vector<int> reference;
    std::vector<bool> standby;
    int highPassFilter = 0; // the ASIC's BwHp setting: 0, 1 or 3

    // How a recording ended, in its sidecar's words (endName).
    enum class End {
        InProgress, // not finished: the recorder was killed, or the power failed
        Completed,  // the requested length was recorded
        Stopped,    // stopped on request (Ctrl-C, SIGTERM, SIGHUP) before that
        LinkLost,   // the data link closed or failed, or delivered only damage
        Stalled,    // no data for longer than the stall time-out
        DiskFull,   // the file could not grow: no space left, quota, size limit
        Failed,     // any other error (endDetail says which)
    };

    // What the recorder saw.
    StreamCounts counts;
    uint64_t bytes = 0;
    End ended = End::InProgress;
    std::string endDetail; // the cause in words; empty when there is nothing to add
    // A recording that went on after its link was reopened is a set of
    // files, one per segment (1 for the first), all in one directory.
    unsigned int segment = 1;
    std::vector<std::string> segmentFiles; // the set's file names when last written

    // "in progress", "completed", "stopped", "link lost", "stalled", "disk
    // full", "failed".
    static const char* endName(End end);
    // Throws std::invalid_argument for a name endName() does not give.
    static End endNamed(const std::string& name);
    // Channels connected to an electrode.
    unsigned int recordingChannels() const;

    // A probe of type 0 as the open leaves it: bank 0, gain code 1, reference
    // 0, no standby, filter 0. Used when a recording has no sidecar.
    static RecordingInfo assumedDefaults();

    // Electrode of every channel, -1 for none.
    std::vector<int> electrodes() const;
    // Microvolts at the probe's input of one code step of channel c.
    double apMicrovoltsPerCode(unsigned int channel) const;
    double lfpMicrovoltsPerCode(unsigned int channel) const;
};

} // namespace tolmaren_recording
