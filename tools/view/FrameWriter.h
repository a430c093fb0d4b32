#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "view/TraceDecimator.h"
#include "view/TraceSettings.h"

namespace tolmaren_view {

// One binary WebSocket message to a page: what it has not drawn yet. All
// numbers little-endian, every section 4-byte aligned so that the page reads
// its arrays as typed arrays in place.
//   header:   u32 magic "TVF1", u32 sequence, f64 newest stream position
//   section:  u32 kind, u32 payload bytes, payload
//   traces:   u32 channels n, u32 bins, u32 binSamples, u32 flags (1 high-pass,
//             2 common average), f64 first sample, u16 channel[n] padded to
//             4 bytes, f32 [bin][channel][min, max] in microvolts
//   activity: u32 channels n, u32 0, f32 rms[n] in microvolts, f32 rate[n]
//             in crossings per second
//   lfp:      u32 channels n, u32 columns m, f64 position[m], f32 [column]
//             [channel] in microvolts
class FrameWriter {
public:
    static constexpr uint32_t magic = 0x31465654; // "TVF1" in memory
    enum Kind : uint32_t { Traces = 1, Activity = 2, Lfp = 3 };

    FrameWriter(uint32_t sequence, int64_t newestPosition);

    void addTraces(const TraceSettings& settings, const TraceDecimator::Run& run);
    void addActivity(const std::vector<float>& rms, const std::vector<float>& rate);
    void addLfp(const std::vector<int64_t>& positions, const std::vector<float>& values);

    std::size_t size() const { return bytes_.size(); }
    std::string take() { return std::move(bytes_); }

private:
    void put32(uint32_t value);
    void putDouble(double value);
    void putFloats(const float* values, std::size_t count);
    void beginSection(Kind kind);
    void endSection();

    std::string bytes_;
    std::size_t section_ = 0;
};

} // namespace tolmaren_view
