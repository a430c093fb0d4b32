#include "view/FrameWriter.h"

#include <cstring>

namespace tolmaren_view {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "frames carry the host's numbers as they lie in memory");

FrameWriter::FrameWriter(uint32_t sequence, int64_t newestPosition) {
    put32(magic);
    put32(sequence);
    putDouble(static_cast<double>(newestPosition));
}

void FrameWriter::addTraces(const TraceSettings& settings, const TraceDecimator::Run& run) {
    beginSection(Traces);
    put32(static_cast<uint32_t>(settings.channels.size()));
    put32(run.bins);
    put32(settings.binSamples);
    put32((settings.highPass ? 1u : 0u) | (settings.commonAverage ? 2u : 0u));
    putDouble(static_cast<double>(run.firstSample));
    const std::size_t idBytes = settings.channels.size() * sizeof(uint16_t);
    bytes_.append(reinterpret_cast<const char*>(settings.channels.data()), idBytes);
    bytes_.append((4 - idBytes % 4) % 4, '\0');
    putFloats(run.minMax.data(), run.minMax.size());
    endSection();
}

void FrameWriter::addActivity(const std::vector<float>& rms, const std::vector<float>& rate) {
    beginSection(Activity);
    put32(static_cast<uint32_t>(rms.size()));
    put32(0);
    putFloats(rms.data(), rms.size());
    putFloats(rate.data(), rate.size());
    endSection();
}

void FrameWriter::addLfp(const std::vector<int64_t>& positions, const std::vector<float>& values) {
    beginSection(Lfp);
    const std::size_t columns = positions.size();
    put32(static_cast<uint32_t>(columns == 0 ? 0 : values.size() / columns));
    put32(static_cast<uint32_t>(columns));
    for (const int64_t position : positions)
        putDouble(static_cast<double>(position));
    putFloats(values.data(), values.size());
    endSection();
}

void FrameWriter::put32(uint32_t value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void FrameWriter::putDouble(double value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void FrameWriter::putFloats(const float* values, std::size_t count) {
    bytes_.append(reinterpret_cast<const char*>(values), count * sizeof(float));
}

void FrameWriter::beginSection(Kind kind) {
    put32(kind);
    section_ = bytes_.size();
    put32(0); // the payload's length, once known
}

void FrameWriter::endSection() {
    const auto length = static_cast<uint32_t>(bytes_.size() - section_ - sizeof(uint32_t));
    std::memcpy(&bytes_[section_], &length, sizeof length);
}

} // namespace tolmaren_view
