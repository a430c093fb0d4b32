// The live view's pieces that decide alone: who may connect (AccessPolicy),
// which page messages pass (ClientMessage), and the numerics of what pages
// draw (TraceDecimator, ActivityMap, LfpDecimator).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "view/AccessPolicy.h"
#include "view/ActivityMap.h"
#include "view/ClientMessage.h"
#include "view/LfpDecimator.h"
#include "view/TraceDecimator.h"

using namespace tolmaren_view;

namespace {

constexpr unsigned int channels = CodePacket::channels;

// A whole packet at `position` whose AP code of channel c in block b is
// code(c, position + b), and whose LFP codes are `lfp`.
template <typename Code>
std::unique_ptr<CodePacket> packetAt(int64_t position, Code code, uint16_t lfp = 512) {
    auto packet = std::make_unique<CodePacket>();
    packet->present = CodePacket::allBlocks;
    packet->position = position;
    for (unsigned int b = 0; b < CodePacket::blocks; ++b)
        for (unsigned int c = 0; c < channels; ++c)
            packet->ap[b][c] = static_cast<uint16_t>(code(c, position + b));
    for (unsigned int c = 0; c < channels; ++c)
        packet->lfp[c] = lfp;
    return packet;
}

} // namespace

TEST(ViewAccess, HostOriginAndToken) {
    const AccessPolicy loopback("127.0.0.1", "");
    const AccessPolicy listening("192.0.2.7", "secret");
    const AccessPolicy everywhere("0.0.0.0", "secret");
    struct Host {
        const AccessPolicy& policy;
        const char* host;
        bool allowed;
    };
    const Host hosts[] = {
        {loopback, "127.0.0.1:8420", true},
        {loopback, "LOCALHOST:9000", true},
        {loopback, "[::1]:8420", true},
        {loopback, "localhost", true},
        {loopback, "127.0.0.1.example", false},
        {loopback, "evil.example:8420", false},
        {loopback, "", false},
        {loopback, "[::1", false},
        {listening, "192.0.2.7:8420", true},
        {listening, "192.0.2.8:8420", false},
        {everywhere, "rig.lab.example:8420", true},
    };
    for (const Host& h : hosts)
        EXPECT_EQ(h.policy.hostAllowed(h.host), h.allowed) << h.host;

    struct Origin {
        const char* origin;
        const char* host;
        bool allowed;
    };
    const Origin origins[] = {
        {"http://127.0.0.1:8420", "127.0.0.1:8420", true},
        {"http://LOCALHOST:9000", "localhost:9000", true},
        {"http://127.0.0.1:8421", "127.0.0.1:8420", false}, // another port, another site
        {"http://127.0.0.1:8420.evil.example", "127.0.0.1:8420", false},
        {"https://127.0.0.1:8420", "127.0.0.1:8420", false},
        {"null", "127.0.0.1:8420", false},
        {"http://evil.example", "evil.example", false}, // its Host is refused too
    };
    for (const Origin& o : origins)
        EXPECT_EQ(loopback.originAllowed(o.origin, o.host), o.allowed) << o.origin;

    struct Token {
        const char* target;
        bool allowed;
    };
    const Token tokens[] = {
        {"/?token=secret", true},
        {"/status?a=1&token=secret", true},
        {"/", false},
        {"/?token=secre", false},
        {"/?token=secrets", false},
        {"/?mytoken=secret", false},
        {"/?token=&token=x", false},
    };
    for (const Token& t : tokens)
        EXPECT_EQ(listening.tokenAllowed(t.target), t.allowed) << t.target;
    EXPECT_TRUE(loopback.tokenAllowed("/"));
    EXPECT_EQ(AccessPolicy::path("/status?token=x"), "/status");
}

TEST(ViewMessages, OnlyThePagesMessagesWithValidValues) {
    struct Case {
        const char* text;
        bool valid;
        unsigned int binSamples; // of valid settings
    };
    const Case cases[] = {
        {R"({"type":"settings","channels":[0,383],"window_seconds":1,"high_pass":true,"common_average":false})",
         true, 50},
        {R"({"type":"settings","channels":[5],"window_seconds":0.1,"high_pass":false,"common_average":true})",
         true, 5},
        {R"({"type":"settings","channels":[5],"window_seconds":10,"high_pass":false,"common_average":true})",
         true, 500},
        {R"({"type":"settings","channels":[384],"window_seconds":1,"high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[-1],"window_seconds":1,"high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[3,3],"window_seconds":1,"high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[],"window_seconds":1,"high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32],"window_seconds":1,"high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[1],"window_seconds":0.05,"high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[1],"window_seconds":"1","high_pass":true,"common_average":false})",
         false, 0},
        {R"({"type":"settings","channels":[1],"window_seconds":1,"high_pass":1,"common_average":false})",
         false, 0},
        {R"({"type":"drawn","frame":4294967295})", true, 0},
        {R"({"type":"drawn","frame":4294967296})", false, 0},
        {R"({"type":"drawn","frame":-2})", false, 0},
        {R"({"type":"record_start","name":"rec-1_b.bin"})", true, 0},
        {R"({"type":"record_start","name":"../rec.bin"})", false, 0},
        {R"({"type":"record_start","name":"/tmp/rec.bin"})", false, 0},
        {R"({"type":"record_start","name":".hidden"})", false, 0},
        {R"({"type":"record_start","name":"a b"})", false, 0},
        {R"({"type":"record_start","name":""})", false, 0},
        {R"({"type":"record_stop"})", true, 0},
        {R"({"type":"quit"})", false, 0},
        {R"(["type","drawn"])", false, 0},
        {R"({"type":"drawn","frame":1)", false, 0},
    };
    for (const Case& c : cases) {
        const auto message = ClientMessage::parse(c.text);
        EXPECT_EQ(message.has_value(), c.valid) << c.text;
        if (message && message->kind == ClientMessage::Kind::Settings) {
            EXPECT_EQ(message->settings.binSamples, c.binSamples) << c.text;
        }
    }
    EXPECT_FALSE(
        ClientMessage::parse(R"({"type":"record_start","name":")" + std::string(101, 'a') + "\"}"));
}

// Bins lie on multiples of binSamples and hold the extremes of their
// samples; a gap starts a new run; what waits beyond the bound is dropped,
// oldest first.
TEST(ViewTraces, BinsOnTheGridRunsAndBound) {
    TraceSettings settings;
    settings.channels = {2, 7};
    settings.binSamples = 5;
    const std::vector<float> scale(channels, 2.0f); // microvolts per code
    TraceDecimator traces(settings, scale, 100);
    // Channel 2 ramps up by one code a sample from 512; channel 7 down.
    const auto ramp = [](unsigned int c, int64_t n) {
        return c == 2 ? 512 + n % 100 : 512 - n % 100;
    };
    traces.add(*packetAt(3, ramp), nullptr);  // samples 3 to 14
    traces.add(*packetAt(15, ramp), nullptr); // 15 to 26
    traces.add(*packetAt(60, ramp), nullptr); // a gap: 60 to 71
    const auto runs = traces.take();
    ASSERT_EQ(runs.size(), 2u);
    // 3-4 (cut by the start), 5-9, ..., 20-24, and 25-26 closed by the gap;
    // then 60-64, 65-69, with 70-71 still open.
    EXPECT_EQ(runs[0].firstSample, 3);
    ASSERT_EQ(runs[0].bins, 6u);
    EXPECT_EQ(runs[0].minMax[0], 2.0f * 3);                    // channel 2, bin 3-4: min
    EXPECT_EQ(runs[0].minMax[1], 2.0f * 4);                    // max
    EXPECT_EQ(runs[0].minMax[2], -2.0f * 4);                   // channel 7: min
    EXPECT_EQ(runs[0].minMax[(1 * 2 + 0) * 2 + 1], 2.0f * 9);  // bin 5-9, channel 2: max
    EXPECT_EQ(runs[0].minMax[(5 * 2 + 0) * 2 + 1], 2.0f * 26); // bin 25-26
    EXPECT_EQ(runs[1].firstSample, 60);
    EXPECT_EQ(runs[1].bins, 2u);
    EXPECT_EQ(runs[1].minMax[0], 2.0f * 60);

    TraceDecimator bounded(settings, scale, 10);
    for (int64_t p = 0; p < 12 * 6; p += 12)
        bounded.add(*packetAt(p, ramp), nullptr); // 14 bins: down to 5 at the 11th
    const auto kept = bounded.take();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].bins + bounded.binsDropped(), 14u);
    EXPECT_EQ(kept[0].firstSample, static_cast<int64_t>(bounded.binsDropped()) * 5);
    EXPECT_EQ(kept[0].minMax[0], 2.0f * kept[0].firstSample);
}

// The high-pass takes off a channel's offset and keeps a fast step; the
// common average is taken off sample by sample.
TEST(ViewTraces, HighPassAndCommonAverage) {
    TraceSettings settings;
    settings.channels = {0};
    settings.binSamples = 30; // 1 ms
    settings.highPass = true;
    const std::vector<float> scale(channels, 1.0f);
    TraceDecimator filtered(settings, scale, 100000);
    // 400 codes of offset for 50 ms, then a step of 100 codes for 50 ms.
    const auto step = [](unsigned int, int64_t n) { return n < 1500 ? 912 : 1012; };
    for (int64_t p = 0; p < 3012; p += 12)
        filtered.add(*packetAt(p, step), nullptr);
    const auto runs = filtered.take();
    const auto& values = runs.front().minMax; // one bin a millisecond
    EXPECT_LT(std::abs(values[49 * 2 + 1]), 1e-3f);
    // The step's first sample passes as through an RC of 300 Hz, then decays.
    EXPECT_NEAR(values[50 * 2 + 1], 100 * std::exp(-2 * M_PI * 300 / 30000), 0.5f);
    EXPECT_LT(std::abs(values[99 * 2 + 1]), 1e-3f);

    settings.highPass = false;
    settings.commonAverage = true;
    TraceDecimator referenced(settings, scale, 100);
    const float average[CodePacket::blocks] = {10, 10, 10, 10, 10, 10, 20, 20, 20, 20, 20, 20};
    for (int64_t p = 0; p < 36; p += 12)
        referenced.add(*packetAt(p, [](unsigned int, int64_t) { return 612; }), average);
    const auto referencedRuns = referenced.take();
    EXPECT_EQ(referencedRuns.front().minMax[0], 80.0f); // 100 - 20
    EXPECT_EQ(referencedRuns.front().minMax[1], 90.0f); // 100 - 10
}

// RMS about the mean in microvolts, and one crossing per excursion below
// 5 RMS, not one per sample below it.
TEST(ViewActivity, RmsAndCrossingRate) {
    ActivityMap map(std::vector<float>(channels, 3.0f));
    // Channel 1: +-4 codes about 600; channel 2 the same with a dip of 3
    // samples to 500 every 1000 samples, from the second window on.
    const auto signal = [](unsigned int c, int64_t n) {
        if (c == 2 && n >= 3000 && n % 1000 < 3) return 500;
        return c == 0 ? 512 : 600 + (n % 2 ? 4 : -4);
    };
    bool renewed = false;
    for (int64_t p = 0; p < 2 * 3000; p += 12)
        renewed = map.add(*packetAt(p, signal));
    ASSERT_TRUE(renewed);
    EXPECT_EQ(map.rmsMicrovolts()[0], 0.0f);
    EXPECT_NEAR(map.rmsMicrovolts()[1], 12.0f, 1e-3f);
    EXPECT_EQ(map.crossingsPerSecond()[1], 0.0f);
    // 3 dips in 0.1 s: 30 a second, weighed into the first window's 0.
    EXPECT_NEAR(map.crossingsPerSecond()[2], ActivityMap::smoothing * 30, 1e-3f);
}

// A column is the mean of whole packets in microvolts about mid-scale, less
// the drift; abandoned packets are left out.
TEST(ViewLfp, ColumnsOfWholePackets) {
    std::vector<float> scale(channels, 2.0f);
    LfpDecimator lfp(scale);
    const auto flat = [](unsigned int, int64_t) { return 512; };
    auto abandoned = packetAt(0, flat, 1000);
    abandoned->present = 1;
    EXPECT_FALSE(lfp.add(*abandoned));
    bool column = false;
    for (unsigned int p = 0; p < LfpDecimator::packetsPerColumn; ++p)
        column = lfp.add(*packetAt(12 * (p + 1), flat, p % 2 ? 522 : 502)); // mean 512 - 0.4
    ASSERT_TRUE(column);
    EXPECT_EQ(lfp.columnPosition(), 12);
    EXPECT_EQ(lfp.column()[5], 0.0f); // the first column is its own drift
    for (unsigned int p = 0; p < LfpDecimator::packetsPerColumn; ++p)
        column = lfp.add(*packetAt(12 * (p + 30), flat, 562));
    ASSERT_TRUE(column);
    const float before = 2.0f * -0.4f;
    const float now = 2.0f * 50;
    EXPECT_NEAR(lfp.column()[5], (now - before) * (1 - LfpDecimator::driftWeight), 1e-3f);
}
