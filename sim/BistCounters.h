#pragma once

#include <chrono>
#include <cstdint>

namespace tolmaren_sim {

// The word counters of self tests 7 and 9. While a test runs its counter
// advances by one word per microsecond of run time. Test 9 receives data only
// while the probe streams and neural_start is set; variant 9a checks the
// ASIC's test pattern (sent while TE is set), 9b its normal data, and words of
// the other kind count as mismatches. The owner calls advance()
// before every change of the run conditions, so each interval is counted
// with the conditions that held during it.
class BistCounters {
public:
    using Clock = std::chrono::steady_clock;

    struct Conditions {
        bool test7Running = false; // test7_enable and the headstage's BIST transmit
        bool dataRunning = false;  // neural_start, and the probe streams
        bool variantA = false;     // test9_select
        bool testPattern = false;  // the headstage's TE: the ASIC sends its test pattern
    };

    void advance(Clock::time_point now, const Conditions& conditions);
    // The time of the last advance: advancing to it again counts nothing.
    Clock::time_point countedUntil() const { return last_; }
    void restartTest7() { test7Checked_ = 0; }
    void restartTest9() { test9a_ = test9b_ = test9Mismatched_ = 0; }
    void reset();

    uint32_t test7Checked() const { return static_cast<uint32_t>(test7Checked_); }
    // Words received in variant 9a (results 1 and 3) and 9b (result 8).
    uint32_t test9aReceived() const { return static_cast<uint32_t>(test9a_); }
    uint32_t test9bReceived() const { return static_cast<uint32_t>(test9b_); }
    // Words of the kind the variant does not expect.
    uint32_t test9Mismatched() const { return static_cast<uint32_t>(test9Mismatched_); }

private:
    Clock::time_point last_ = Clock::now();
    uint64_t test7Checked_ = 0;
    uint64_t test9a_ = 0;
    uint64_t test9b_ = 0;
    uint64_t test9Mismatched_ = 0;
};

} // namespace tolmaren_sim
