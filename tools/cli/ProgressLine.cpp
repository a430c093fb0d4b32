#include "cli/ProgressLine.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr int barWidth = 30;

} // namespace

ProgressLine::ProgressLine() : enabled_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::show(double fraction, double seconds, double megabytesPerSecond,
                        float fifoPercent, uint64_t dropped) {
    if (!enabled_) return;
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * barWidth);
    const std::string bar = std::string(filled, '#') + std::string(barWidth - filled, '-');
    std::fprintf(stderr, "\r[%s] %3.0f%%  %6.1f s  %5.1f MB/s  FIFO %4.1f%%  dropped %llu   ",
                 bar.c_str(), fraction * 100, seconds, megabytesPerSecond, fifoPercent,
                 static_cast<unsigned long long>(dropped));
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::finish() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
}
