#include "view/TraceDecimator.h"

#include <algorithm>
#include <cmath>

#include "recording/RecordingInfo.h"

namespace tolmaren_view {

using tolmaren_recording::RecordingInfo;

TraceDecimator::TraceDecimator(TraceSettings settings,
                               const std::vector<float>& apMicrovoltsPerCode,
                               unsigned int maxPendingBins)
    : settings_(std::move(settings)), maxPendingBins_(std::max(1u, maxPendingBins)) {
    const std::size_t n = settings_.channels.size();
    for (const uint16_t channel : settings_.channels)
        scale_.push_back(apMicrovoltsPerCode.at(channel));
    // y[n] = a (y[n-1] + x[n] - x[n-1]): an RC high-pass sampled at the AP rate.
    const double rc = 1 / (2 * M_PI * TraceSettings::highPassHz);
    highPassWeight_ = static_cast<float>(rc / (rc + 1 / RecordingInfo::apSampleRateHz));
    lastInput_.assign(n, 0);
    lastOutput_.assign(n, 0);
    binMin_.assign(n, 0);
    binMax_.assign(n, 0);
}

void TraceDecimator::add(const CodePacket& packet, const float* commonAverage) {
    for (unsigned int b = 0; b < CodePacket::blocks; ++b)
        if (packet.has(b))
            addSample(packet.position + b, packet.ap[b],
                      settings_.commonAverage ? commonAverage[b] : 0.0f);
}

void TraceDecimator::addSample(int64_t position, const uint16_t* codes, float commonAverage) {
    const std::size_t n = settings_.channels.size();
    const auto binSamples = static_cast<int64_t>(settings_.binSamples);
    const bool continues = position == expected_;
    if (!continues) {
        // A gap or a new segment: what came before ends, and the filter
        // starts again from this sample.
        if (binCount_ > 0) closeBin();
        startRun_ = true;
    }
    if (binCount_ == 0) binStart_ = position;
    for (std::size_t k = 0; k < n; ++k) {
        float value = (static_cast<float>(codes[settings_.channels[k]]) -
                       static_cast<float>(RecordingInfo::adcZeroCode)) *
                          scale_[k] -
                      commonAverage;
        if (settings_.highPass) {
            const float input = value;
            value = continues ? highPassWeight_ * (lastOutput_[k] + input - lastInput_[k]) : 0.0f;
            lastInput_[k] = input;
            lastOutput_[k] = value;
        }
        if (binCount_ == 0) {
            binMin_[k] = binMax_[k] = value;
        } else {
            binMin_[k] = std::min(binMin_[k], value);
            binMax_[k] = std::max(binMax_[k], value);
        }
    }
    ++binCount_;
    expected_ = position + 1;
    if ((position + 1) % binSamples == 0) closeBin();
}

void TraceDecimator::closeBin() {
    if (startRun_ || runs_.empty()) {
        runs_.push_back(Run{binStart_, 0, {}});
        startRun_ = false;
    }
    Run& run = runs_.back();
    for (std::size_t k = 0; k < binMin_.size(); ++k) {
        run.minMax.push_back(binMin_[k]);
        run.minMax.push_back(binMax_[k]);
    }
    ++run.bins;
    ++pendingBins_;
    binCount_ = 0;
    if (pendingBins_ > maxPendingBins_) dropOldest();
}

// Down to half the bound at once, so that a page that takes nothing costs
// a copy now and then, not one per bin.
void TraceDecimator::dropOldest() {
    const std::size_t perBin = 2 * settings_.channels.size();
    const int64_t binSamples = settings_.binSamples;
    while (pendingBins_ > maxPendingBins_ / 2) {
        Run& oldest = runs_.front();
        const unsigned int drop = std::min(oldest.bins, pendingBins_ - maxPendingBins_ / 2);
        if (drop == oldest.bins) {
            pendingBins_ -= drop;
            binsDropped_ += drop;
            runs_.pop_front();
            continue;
        }
        // The first bin of a run may begin after a gap, off the bin grid.
        oldest.firstSample = (oldest.firstSample / binSamples + drop) * binSamples;
        oldest.minMax.erase(oldest.minMax.begin(),
                            oldest.minMax.begin() + static_cast<std::ptrdiff_t>(drop * perBin));
        oldest.bins -= drop;
        pendingBins_ -= drop;
        binsDropped_ += drop;
    }
    startRun_ = startRun_ || runs_.empty();
}

std::deque<TraceDecimator::Run> TraceDecimator::take() {
    std::deque<Run> taken;
    taken.swap(runs_);
    pendingBins_ = 0;
    startRun_ = true;
    return taken;
}

} // namespace tolmaren_view
