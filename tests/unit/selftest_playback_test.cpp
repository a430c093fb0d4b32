// Self test 4 on a recording, whose data link takes no loopback data: the
// retries of the loopback's write end instead of going on for ever.
#include <gtest/gtest.h>

#include <fstream>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"

namespace {

class QuickTest4 : public Tolmaren_basestation_api {
public:
    QuickTest4() { test4Settings_.ledHoldMs = 0; }
};

TEST(SelfTestPlayback, Test4GivesUpWhenTheLoopbackTakesNothing) {
    ScopedWorkDir dir;
    std::ofstream("play.bin") << "recorded";
    QuickTest4 api;
    ASSERT_EQ(api.tolmaren_open("play.bin"), 0u);
    EXPECT_EQ(api.tolmaren_test4(), 4u);
}

} // namespace
