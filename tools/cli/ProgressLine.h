#pragma once

#include <cstdint>

// The one-line progress display of a recording on standard error, redrawn in
// place: a bar, elapsed time, data rate, FIFO fill and dropped data. Shown
// only when standard error is a terminal, so logs and pipes stay clean.
class ProgressLine {
public:
    ProgressLine();
    bool enabled() const { return enabled_; }
    void show(double fraction, double seconds, double megabytesPerSecond, float fifoPercent,
              uint64_t dropped);
    // Ends the line so that what follows starts on a fresh one.
    void finish();

private:
    bool enabled_;
    bool shown_ = false;
};
