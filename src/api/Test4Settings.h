#pragma once

// The waits and the loopback length of self test 4. The defaults are the
// hardware's; a subclass of the facade may shorten them, as the tests against
// the simulator do, so that a run does not take seconds of LED display.
struct Test4Settings {
    unsigned int ledHoldMs = 1000;          // each LED pattern is shown this long
    unsigned int memoryPollMs = 1000;       // between reads of dram_test_busy
    unsigned int memoryTestLimitMs = 60000; // a memory test still busy then has failed
    unsigned int loopbackPasses = 10;       // N = 1, 8, ... 8^(passes - 1) words; 11 at most
};
