// Self test 4 at its full length after a real open: the loopback moves
// (8^10 - 1) / 7 words each way, 512 MiB in its last pass.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include "common/LiveProbe.h"

TEST(SelfTestFull, Test4LoopsBackItsWholeSequenceInBoundedMemory) {
    LiveProbe probe(LiveProbe::probe(0, 1));
    ASSERT_EQ(probe.api.tolmaren_open(0), 0u);
    EXPECT_EQ(probe.api.tolmaren_test4(), 0u);
    EXPECT_EQ(probe.sim.displayLines()[1], "Test 4 Success  ");
    EXPECT_GE(probe.sim.dataStatistics().bytesSent, 4ull * 153391689);
    // Simulator included; one pass held whole would take the last pass's 512 MiB.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "KiB";
}
