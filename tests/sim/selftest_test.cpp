// Self tests 4 to 9 against the simulator: each passes, each failure code
// comes from a fault of the simulator, the display's second line after every
// step, and the hardware state the tests leave between start and stop.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <thread>

#include "common/SelfTestProbe.h"

namespace {

using Options = tolmaren_sim::SimulatorOptions;
using Setup = std::function<void(Options&)>;
using Steps = std::function<unsigned int(SelfTestProbe&)>;
using Texts = std::vector<std::string>;

struct Case {
    const char* name;
    Setup setup;
    Steps run; // returns the code under test
    unsigned int code;
    Texts shown; // line 2 of the display after each of its writes
};

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Options options;
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
Setup refuse(uint8_t device, uint8_t reg, bool read, unsigned int skip = 0) {
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

const Steps test4 = [](SelfTestProbe& p) { return p.api.tolmaren_test4(); };
const Steps start6 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest6(); };
const Steps start8 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest8(true, 0); };
const Steps stop8 = [](SelfTestProbe& p) { return start8(p) + p.api.tolmaren_stopTest8(); };
const Steps start9 = [](SelfTestProbe& p) { return p.api.tolmaren_startTest9(true); };

Texts test4Steps(std::size_t steps, const char* last) {
    Texts texts = {"Test 4          ", "Test 4 #        ", "Test 4 ##       ", "Test 4 ###      "};
    texts.resize(steps);
    texts.push_back(last);
    return texts;
}

TEST(SelfTest, Test4) {
    check({{"passes after a streaming probe", nullptr,
            [](SelfTestProbe& p) {
                p.sim.modify([](tolmaren_sim::HardwareModel& hw) { hw.asic.setMode(3); });
                p.api.drain = true; // the stream would fail the loopback
                return test4(p) + p.sim.registerValue(0x1090) + p.sim.asicMode();
            },
            8, test4Steps(4, "Test 4 Success  ")},
           {"LED 4 dead", [](Options& o) { o.faults.deadLeds = 4; }, test4, 2,
            test4Steps(1, "Test 4 LED err  ")},
           {"memory test fails", [](Options& o) { o.faults.memoryTestError = true; }, test4, 3,
            test4Steps(3, "Test 4 DRAM err ")},
           {"memory test never ends", [](Options& o) { o.memoryTestMs = 3600000; }, test4, 3,
            test4Steps(2, "Test 4 DRAM err ")},
           {"a byte of N = 64 flipped", nullptr,
            [](SelfTestProbe& p) {
                tolmaren_sim::DataFaults faults;
                faults.flipLoopbackByte = 4 * (1 + 8 + 64) - 3;
                p.sim.setDataFaults(faults);
                return test4(p);
            },
            4, test4Steps(4, "Test 4 LPBK err ")}});
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
    check({{"toggles", nullptr, count1, 0, {"Test 5          ", "Test 5 Success  "}},
           {"0x01 unread",
            refuse(0x40, 0x01, true),
            count1,
            2,
            {"Test 5          ", "Test 5 UART err "}}});
}

unsigned int stop6(SelfTestProbe& p, unsigned char expected) {
    unsigned char errors = 0x55;
    const unsigned int code = p.api.tolmaren_stopTest6(errors);
    EXPECT_EQ(errors, expected);
    return code;
}

TEST(SelfTest, Test6) {
    const std::string t6 = "Test 6          ", started = "Test 6 Started  ";
    const auto serdes = [](SelfTestProbe& p) {
        return p.sim.serializerRegister(4) * 256u + p.sim.deserializerRegister(4);
    };
    check(
        {{"passes",
          nullptr,
          [&](SelfTestProbe& p) {
              EXPECT_EQ(start6(p) + serdes(p), 0xA7A7u);
              return stop6(p, 0) + serdes(p);
          },
          0x8787,
          {t6, started, "Test 6 Success  "}},
         {"3 PRBS errors",
          [](Options& o) { o.faults.prbsErrors = 3; },
          [](SelfTestProbe& p) { return start6(p) + stop6(p, 3); },
          5,
          {t6, started, "Test 6 PRBS ERR "}},
         {"serializer sent no sequence",
          nullptr,
          [](SelfTestProbe& p) {
              return p.api.tolmaren_deserializerWriteRegister(4, 0xA7) + stop6(p, 0xFF);
          },
          5,
          {"Test 6 PRBS ERR "}},
         {"serializer in test mode",
          nullptr,
          [](SelfTestProbe& p) { return p.api.tolmaren_serializerWriteRegister(4, 1) + start6(p); },
          3,
          {t6, "Test 6 SER err  "}},
         {"deserializer in test mode",
          nullptr,
          [](SelfTestProbe& p) {
              return p.api.tolmaren_deserializerWriteRegister(4, 1) + start6(p);
          },
          4,
          {t6, "Test 6 DESER err"}},
         {"serializer unread", refuse(0x80, 4, true), start6, 2, {t6, "Test 6 UART err "}}});
}

TEST(SelfTest, Test7) {
    const std::string t7 = "Test 7          ", started = "Test 7 Started  ";
    check({{"passes",
            nullptr,
            [](SelfTestProbe& p) {
                EXPECT_EQ(p.api.tolmaren_startTest7() + headstage(p, 0x10), 0x04u);
                pause();
                EXPECT_EQ(p.api.tolmaren_test7GetErrorCounter(), 0u);
                EXPECT_EQ(p.api.tolmaren_stopTest7() + headstage(p, 0x10), 0u);
                const uint32_t checked = p.api.tolmaren_test7GetTotalChecked();
                pause();
                EXPECT_EQ(p.api.tolmaren_test7GetTotalChecked(), checked);
                return (checked > 0) + p.sim.registerValue(0x126C);
            },
            2,
            {t7, started, "Test 7 Success  ", "Test 7 Stopped  "}},
           {"errors",
            [](Options& o) { o.faults.test7ErrorCount = 5, o.faults.test7ErrorMask = 0x103; },
            [](SelfTestProbe& p) {
                p.api.tolmaren_startTest7();
                pause();
                EXPECT_EQ(p.api.tolmaren_test7GetErrorMask(), 3u);
                return p.api.tolmaren_test7GetErrorCounter();
            },
            5,
            {t7, started, "Test 7 Error    ", "Test 7 Error    "}},
           {"BIST transmit unset",
            refuse(0x40, 0x10, false),
            [](SelfTestProbe& p) { return p.api.tolmaren_startTest7(); },
            2,
            {t7, "Test 7 UART err "}}});
}

// Starts test 8 and reads its flags; returns them as bits 2..0, or 8 + the code of the read.
unsigned int flags8(SelfTestProbe& p, bool a, unsigned char selection) {
    EXPECT_EQ(p.api.tolmaren_startTest8(a, selection), 0u);
    bool f2 = false, f1 = false, f0 = false;
    const unsigned int code = p.api.tolmaren_test8GetErrorCounter(a, f2, f1, f0);
    return code ? 8 + code : f2 * 4u + f1 * 2u + f0;
}

TEST(SelfTest, Test8) {
    const std::string a = "Test 8a Started ", success = "Test 8 Success  ";
    check({{"8a passes",
            nullptr,
            [](SelfTestProbe& p) {
                p.api.tolmaren_headstageWriteRegister(0x10, 0x02); // ND_ENABLE stays
                EXPECT_EQ(flags8(p, true, 2), 0u);
                EXPECT_EQ(headstage(p, 0x10) * 256 + (headstage(p, 0x11) & 0xF0), 0x5AD0u);
                EXPECT_EQ(p.sim.asicMode() * 2 + p.sim.registerValue(0x1228), 7u);
                EXPECT_EQ(p.api.tolmaren_stopTest8(), 0u);
                return headstage(p, 0x10) + p.sim.registerValue(0x1228);
            },
            0x42,
            {a, success, "Test 8 Stopped  "}},
           {"8b ignores flag 2",
            nullptr,
            [](SelfTestProbe& p) { return flags8(p, false, 1) * 256 + headstage(p, 0x10); },
            0x428,
            {"Test 8b Started ", success}},
           {"errors of selection 2",
            [](Options& o) { o.faults.test8ErrorFlags = 3, o.faults.test8Selection = 2; },
            [](SelfTestProbe& p) { return flags8(p, true, 1) * 16 + flags8(p, true, 2); },
            3,
            {a, success, a, "Test 8a Error   "}},
           {"selection 4",
            nullptr,
            [](SelfTestProbe& p) {
                return p.api.tolmaren_startTest8(true, 4) + p.sim.counters().uartTransactions;
            },
            3,
            {}},
           {"NRST unread", refuse(0x40, 0x11, true), start8, 4, {}},
           {"flags not set", refuse(0x40, 0x31, false), start8, 2, {}},
           {"TE not cleared", refuse(0x40, 0x10, false, 2), stop8, 4, {a, "Test 8 DGCRL ERR"}},
           {"BIST receive stays", refuse(0x40, 0x10, false, 3), stop8, 2, {a, "Test 8 UART err "}},
           {"flags unread",
            refuse(0x40, 0x31, true),
            [](SelfTestProbe& p) { return flags8(p, true, 0); },
            10,
            {a, "Test 8 UART err "}}});
}

// Test 9's results after a few milliseconds of running.
std::array<uint32_t, 9> results9(SelfTestProbe& p) {
    pause();
    std::array<uint32_t, 9> r{};
    p.api.tolmaren_test9GetResults(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
    return r;
}
// On a streaming probe: 9a's results 1 and 3 count, 9b's result 8.
const Steps run9 = [](SelfTestProbe& p) {
    p.api.tolmaren_mode(3);
    EXPECT_EQ(start9(p) + headstage(p, 0x10) + startAndSelect(p), 0x13u);
    const auto a = results9(p);
    EXPECT_EQ(p.api.tolmaren_stopTest9() + startAndSelect(p), 0u);
    EXPECT_EQ(p.api.tolmaren_startTest9(false) + headstage(p, 0x10) + startAndSelect(p), 2u);
    const auto b = results9(p);
    return (a[1] && a[3] && !a[8] && !b[1] && !b[3] && b[8]) + a[0] + b[0] + a[5];
};

TEST(SelfTest, Test9) {
    const std::string a = "Test 9a Started ", b = "Test 9b Started ";
    const std::string success = "Test 9 Success  ", error = "Test 9 Error    ";
    check({{"passes", nullptr, run9, 1, {a, success, "Test 9 Stopped  ", b, success}},
           {"error result 5",
            [](Options& o) { o.faults.test9Errors[5] = 2; },
            run9,
            3,
            {a, error, "Test 9 Stopped  ", b, error}},
           {"no data",
            nullptr,
            [](SelfTestProbe& p) { return start9(p) + results9(p)[1]; },
            0,
            {a, "Test 9 No data  "}},
           {"TE lost in 9a",
            nullptr,
            [](SelfTestProbe& p) {
                p.api.tolmaren_mode(3);
                start9(p);
                return p.api.tolmaren_te(0) + (results9(p)[0] > 0);
            },
            1,
            {a, error}},
           {"TE unwritten", refuse(0x40, 0x10, false, 2), start9, 2, {"Test 9 DGCRL ERR"}}});
}

} // namespace
