// Self tests 4 to 9 against the simulator: each passes, each failure code
// comes from a fault of the simulator, the display's second line after every
// step, and the hardware state the tests leave between start and stop.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <thread>

#include "common/SelfTestProbe.h"
#include "common/TestAddress.h"
#include "common/ToolRun.h"

namespace {

using Options = tolmaren_sim::SimulatorOptions;
using Prepare = std::function<void(Options&)>;
using Steps = std::function<unsigned int(SelfTestProbe&)>;
using Texts = std::vector<std::string>;

struct Case {
    const char* name;
    Prepare setup;
    Steps run; // returns the code under test, or a sum of values that must come out
    unsigned int code;
    Texts shown; // line 2 of the display after each of its writes
};

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Options options = TestAddress::simulator();
        options.memoryTestMs = 20;
        if (c.setup) c.setup(options);
        SelfTestProbe p(options);
        EXPECT_EQ(c.run(p), c.code) << c.name;
        EXPECT_EQ(p.sim.displayHistory(), c.shown) << c.name;
        if (!c.shown.empty()) {
            EXPECT_EQ(p.sim.displayLines()[0], "Tolmaren  BIST  ");
        }
    }
}

// The transaction of that direction with the register, after skip such, is refused.
Prepare refuse(uint8_t device, uint8_t reg, bool read, unsigned int skip = 0) {
    return [=](Options& o) {
        o.faults.uartFaults = {
            {device, reg, read, {}, skip, 1, tolmaren_sim::UartFailure::Refused}};
    };
}

unsigned int headstage(SelfTestProbe& p, uint8_t reg) {
    return p.sim.headstageRegister(reg);
}
// neural_start and test9_select as two bits.
unsigned int startAndSelect(SelfTestProbe& p) {
    return p.sim.registerValue(0x1228) * 2 + p.sim.registerValue(0x1230);
}
void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}
Texts steps4(std::size_t steps, const char* last) {
    Texts texts = {"Test 4          ", "Test 4 #        ", "Test 4 ##       ", "Test 4 ###      "};
    texts.resize(steps);
    texts.push_back(last);
    return texts;
}

const Steps test4 = [](SelfTestProbe& p) { return p.api.tolmaren_test4(); };
const Steps start6 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest6(); };
const Steps start7 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest7(); };
const Steps start8 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest8(true, 0); };
const Steps stop8 = [](SelfTestProbe& p) { return start8(p) + p.api.tolmaren_stopTest8(); };
const Steps start9 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest9(true); };

TEST(SelfTest, Test4) {
    const Steps streamedBefore = [](SelfTestProbe& p) {
        p.sim.modify([](tolmaren_sim::HardwareModel& hw) { hw.asic.setMode(3); });
        p.api.drain = true; // stream data left in the link would fail the loopback
        return test4(p) + p.sim.registerValue(0x1090) + p.sim.asicMode();
    };
    const Steps flipped = [](SelfTestProbe& p) {
        tolmaren_sim::DataFaults faults;
        faults.flipLoopbackByte = 4 * (1 + 8 + 64) - 3; // in the pass of 64 words
        p.sim.setDataFaults(faults);
        return test4(p);
    };
    // clang-format off
    check({{"LEDs at 8, mode 0", nullptr, streamedBefore, 8, steps4(4, "Test 4 Success  ")},
           {"LED 4 dead", [](Options& o) { o.faults.deadLeds = 4; },
            test4, 2, steps4(1, "Test 4 LED err  ")},
           {"memory bad", [](Options& o) { o.faults.memoryTestError = true; },
            test4, 3, steps4(3, "Test 4 DRAM err ")},
           {"memory busy", [](Options& o) { o.memoryTestMs = 3600000; },
            test4, 3, steps4(2, "Test 4 DRAM err ")},
           {"loopback", nullptr, flipped, 4, steps4(4, "Test 4 LPBK err ")}});
    // clang-format on
}

TEST(SelfTest, Test5) {
    const Steps count1 = [](SelfTestProbe& p) {
        p.api.tolmaren_headstageWriteRegister(0x10, 0x12);
        unsigned char r0 = 0, r1 = 7;
        const auto start = std::chrono::steady_clock::now();
        const unsigned int code = p.api.tolmaren_test5(r0, r1, 1);
        EXPECT_EQ(r0 * 256 + r1, code ? 0x4E07 : 0x4E02);
        if (code == 0) {
            EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
            // The heartbeat goes off and on twice a count; the other bits stay.
            EXPECT_EQ(p.api.controlWrites, (std::vector<unsigned short>{18, 19, 18, 19, 18}));
        }
        return code;
    };
    // clang-format off
    const std::string t5 = "Test 5          ";
    check({{"toggles", nullptr, count1, 0, {t5, "Test 5 Success  "}},
           {"unread", refuse(0x40, 0x01, true), count1, 2, {t5, "Test 5 UART err "}}});
    // clang-format on
}

unsigned int stop6(SelfTestProbe& p, unsigned char expected) {
    unsigned char errors = 0x55;
    const unsigned int code = p.api.tolmaren_stopTest6(errors);
    EXPECT_EQ(errors, expected);
    return code;
}

TEST(SelfTest, Test6) {
    const std::string t6 = "Test 6          ", started = "Test 6 Started  ";
    const std::string prbs = "Test 6 PRBS ERR ";
    const auto serdes = [](SelfTestProbe& p) {
        return p.sim.serializerRegister(4) * 256u + p.sim.deserializerRegister(4);
    };
    const Steps passes = [&](SelfTestProbe& p) {
        EXPECT_EQ(start6(p) + serdes(p), 0xA7A7u);
        return stop6(p, 0) + serdes(p);
    };
    // clang-format off
    check({{"passes", nullptr, passes, 0x8787, {t6, started, "Test 6 Success  "}},
           {"3 errors", [](Options& o) { o.faults.prbsErrors = 3; },
            [](SelfTestProbe& p) { return start6(p) + stop6(p, 3); }, 5, {t6, started, prbs}},
           {"no sequence sent", nullptr, [](SelfTestProbe& p) {
                return p.api.tolmaren_deserializerWriteRegister(4, 0xA7) + stop6(p, 0xFF); },
            5, {prbs}},
           {"serializer", nullptr, [](SelfTestProbe& p) {
                return p.api.tolmaren_serializerWriteRegister(4, 1) + start6(p); },
            3, {t6, "Test 6 SER err  "}},
           {"deserializer", nullptr, [](SelfTestProbe& p) {
                return p.api.tolmaren_deserializerWriteRegister(4, 1) + start6(p); },
            4, {t6, "Test 6 DESER err"}},
           {"unread", refuse(0x80, 4, true), start6, 2, {t6, "Test 6 UART err "}}});
    // clang-format on
}

TEST(SelfTest, Test7) {
    const std::string t7 = "Test 7          ", started = "Test 7 Started  ";
    const Steps passes = [](SelfTestProbe& p) {
        EXPECT_EQ(start7(p) + headstage(p, 0x10), 0x04u);
        pause();
        EXPECT_EQ(p.api.tolmaren_test7GetErrorCounter(), 0u);
        EXPECT_EQ(p.api.tolmaren_stopTest7() + headstage(p, 0x10), 0u);
        const uint32_t checked = p.api.tolmaren_test7GetTotalChecked();
        pause();
        EXPECT_EQ(p.api.tolmaren_test7GetTotalChecked(), checked);
        return (checked > 0) + p.sim.registerValue(0x126C); // test7_enable stays
    };
    const Steps errors = [](SelfTestProbe& p) {
        start7(p);
        pause();
        EXPECT_EQ(p.api.tolmaren_test7GetErrorMask(), 3u);
        return p.api.tolmaren_test7GetErrorCounter();
    };
    const Prepare faults = [](Options& o) {
        o.faults.test7ErrorCount = 5, o.faults.test7ErrorMask = 0x103;
    };
    // clang-format off
    check({{"passes", nullptr, passes, 2, {t7, started, "Test 7 Success  ", "Test 7 Stopped  "}},
           {"errors", faults, errors, 5, {t7, started, "Test 7 Error    ", "Test 7 Error    "}},
           {"unwritten", refuse(0x40, 0x10, false), start7, 2, {t7, "Test 7 UART err "}}});
    // clang-format on
}

// Test 8's flags as bits 2..0, or 8 + the code of a failed read.
unsigned int flags8(SelfTestProbe& p, bool a) {
    bool f2 = false, f1 = false, f0 = false;
    const unsigned int code = p.api.tolmaren_test8GetErrorCounter(a, f2, f1, f0);
    return code ? 8 + code : f2 * 4u + f1 * 2u + f0;
}
unsigned int run8(SelfTestProbe& p, bool a, unsigned char selection) {
    EXPECT_EQ(p.api.tolmaren_startTest8(a, selection), 0u);
    return flags8(p, a);
}

TEST(SelfTest, Test8) {
    const std::string a = "Test 8a Started ", success = "Test 8 Success  ";
    const Steps passes = [](SelfTestProbe& p) {
        p.api.tolmaren_headstageWriteRegister(0x10, 0x02); // ND_ENABLE stays
        EXPECT_EQ(run8(p, true, 2), 0u);
        EXPECT_EQ(headstage(p, 0x10) * 256 + (headstage(p, 0x11) & 0xF0), 0x5AD0u); // NRST, mode 3
        EXPECT_EQ(p.sim.asicMode() * 2 + p.sim.registerValue(0x1228), 7u);
        EXPECT_EQ(p.api.tolmaren_stopTest8(), 0u);
        return headstage(p, 0x10) + p.sim.registerValue(0x1228);
    };
    const Prepare selection2 = [](Options& o) {
        o.faults.test8ErrorFlags = 3, o.faults.test8Selection = 2;
    };
    // clang-format off
    check({{"8a passes", nullptr, passes, 0x42, {a, success, "Test 8 Stopped  "}},
           {"8b ignores flag 2", nullptr, [](SelfTestProbe& p) {
                return run8(p, false, 1) * 256 + headstage(p, 0x10); },
            0x428, {"Test 8b Started ", success}},
           {"selection 2 fails", selection2, [](SelfTestProbe& p) {
                return run8(p, true, 1) * 16 + run8(p, true, 2); },
            3, {a, success, a, "Test 8a Error   "}},
           {"selection 4", nullptr, [](SelfTestProbe& p) {
                return p.api.tolmaren_startTest8(true, 4) + p.sim.counters().uartTransactions; },
            3, {}},
           {"ASIC never records, nothing checked", refuse(0x40, 0x11, false, 1),
            [](SelfTestProbe& p) { return start8(p) * 16 + flags8(p, true); },
            0x47, {"Test 8a Error   "}},
           {"flags unset", refuse(0x40, 0x31, false), start8, 2, {}},
           {"TE stays", refuse(0x40, 0x10, false, 2), stop8, 4, {a, "Test 8 DGCRL ERR"}},
           {"BIST receive stays", refuse(0x40, 0x10, false, 3), stop8, 2, {a, "Test 8 UART err "}},
           {"flags unread", refuse(0x40, 0x31, true),
            [](SelfTestProbe& p) { return run8(p, true, 0); }, 10, {a, "Test 8 UART err "}}});
    // clang-format on
}

// Test 9's results after a few milliseconds of running.
std::array<uint32_t, 9> results9(SelfTestProbe& p) {
    pause();
    std::array<uint32_t, 9> r{};
    p.api.tolmaren_test9GetResults(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
    return r;
}

TEST(SelfTest, Test9) {
    // On a streaming probe 9a's results 1 and 3 count, 9b's result 8.
    const Steps both = [](SelfTestProbe& p) {
        p.api.tolmaren_mode(3);
        EXPECT_EQ(start9(p) + headstage(p, 0x10) + startAndSelect(p), 0x13u);
        const auto a = results9(p);
        EXPECT_EQ(p.api.tolmaren_stopTest9() + startAndSelect(p), 0u);
        EXPECT_EQ(p.api.tolmaren_startTest9(false) + headstage(p, 0x10) + startAndSelect(p), 2u);
        const auto b = results9(p);
        return (a[1] && a[3] && !a[8] && !b[1] && !b[3] && b[8]) + a[0] + b[0] + a[5];
    };
    const Steps teLost = [](SelfTestProbe& p) {
        p.api.tolmaren_mode(3);
        start9(p);
        return p.api.tolmaren_te(0) + (results9(p)[0] > 0);
    };
    const std::string a = "Test 9a Started ", b = "Test 9b Started ", stopped = "Test 9 Stopped  ";
    const std::string success = "Test 9 Success  ", error = "Test 9 Error    ";
    // clang-format off
    check({{"passes", nullptr, both, 1, {a, success, stopped, b, success}},
           {"result 5", [](Options& o) { o.faults.test9Errors[5] = 2; },
            both, 3, {a, error, stopped, b, error}},
           {"no data", nullptr, [](SelfTestProbe& p) { return start9(p) + results9(p)[1]; },
            0, {a, "Test 9 No data  "}},
           {"TE lost in 9a", nullptr, teLost, 1, {a, error}},
           {"TE unwritten", refuse(0x40, 0x10, false, 2), start9, 2, {"Test 9 DGCRL ERR"}}});
    // clang-format on
}

TEST(SelfTest, ToolPrintsEachVerdictAndFailsWhenOneFails) {
    ScopedWorkDir dir;
    const std::string command =
        toolCommand("selftest 6 7 --seconds 0.01 --sim --prbs-errors 2") + " >out.txt";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    const std::string out = dir.readFile("out.txt");
    EXPECT_EQ(out.rfind("test 6   FAILED \"Test 6 PRBS ERR \"  2 PRBS errors\n", 0), 0u) << out;
    EXPECT_NE(out.find("\ntest 7   passed \"Test 7 Success  \"  0 errors"), std::string::npos);
}

} // namespace
