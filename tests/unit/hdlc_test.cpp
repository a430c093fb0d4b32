// Framing: the exact bytes of outgoing frames, the receiver's hunting, flag
// skipping and unstuffing, and its limit on runaway input.
#include <gtest/gtest.h>

#include <memory>

#include "common/ScriptedLink.h"
#include "link/HdlcConnectionLink32.h"

TEST(HdlcWrite, StuffsFramesInPlaceAndPadsToWholeWords) {
    const std::tuple<bool, Bytes, Bytes> cases[] = {
        // padded, payload, frame
        {false, {0x01, 0x7E, 0x02, 0x7D}, {0x7E, 0x01, 0x7D, 0x5E, 0x02, 0x7D, 0x5D, 0x7E}},
        {true, {0x01, 0x02}, {0x7E, 0x01, 0x02, 0x7E}},
        {true, {0x01, 0x02, 0x03}, {0x7E, 0x01, 0x02, 0x03, 0x7E, 0x7E, 0x7E, 0x7E}},
        {true, {}, {0x7E, 0x7E, 0x7E, 0x7E}},
    };
    for (const auto& [padded, payload, wire] : cases) {
        auto* below = new ScriptedLink;
        std::unique_ptr<ConnectionLinkIntf> link(padded ? new HdlcConnectionLink32(below)
                                                        : new HdlcConnectionLink(below));
        below->writeResult = padded; // the link below's result is passed on
        ConnectionLinkPacket packet = packetOf(payload);
        EXPECT_EQ(link->write(packet), padded);
        EXPECT_EQ(below->written, std::vector<Bytes>{wire});
        EXPECT_EQ(bytesOf(packet), wire);
    }
}

TEST(HdlcRead, HuntsSkipsFillAndUnstuffs) {
    // On a fresh link or not, bytes arriving, the payload read (empty: nothing
    // arrived whole, or an empty frame).
    const std::tuple<bool, Bytes, Bytes> steps[] = {
        {true, {0x55, 0xAA, 0x7E, 0x7E, 0x01, 0x7D, 0x5E, 0x7E}, {0x01, 0x7E}},
        {false, {0x02, 0x7E}, {0x02}}, // synchronised: no opening flag needed
        {false, {0x7E, 0x7E, 0x7E, 0x03, 0x7D, 0x5D, 0x7E}, {0x03, 0x7D}},
        {false, {0x04, 0x7D, 0x7E}, {0x04}},                   // an escape before a flag is dropped
        {false, {0x7D, 0x7D, 0x41, 0x42, 0x7E}, {0x61, 0x42}}, // only the last escape counts
        {false, {0x7E, 0x7D, 0x7E}, {}},                       // empty after unstuffing
        {false, {0x7E, 0x01, 0x02}, {}},                       // then silence: the part is dropped
        {false, {0x05, 0x7E}, {0x05}},
        {true, {0x10, 0x20}, {}}, // silence before any flag: still hunting after it
        {false, {0x30, 0x7E, 0x40, 0x7E}, {0x40}},
    };
    ScriptedLink* below = nullptr;
    std::unique_ptr<HdlcConnectionLink> link;
    for (const auto& [fresh, arriving, payload] : steps) {
        if (fresh) link.reset(new HdlcConnectionLink(below = new ScriptedLink));
        below->queueBytes(arriving);
        EXPECT_EQ(bytesOf(link->read(0)), payload);
        for (unsigned int length : below->readLengths)
            EXPECT_EQ(length, 1u); // byte by byte
    }
}

TEST(HdlcRead, RunawayInputIsCutOffAtTheReadLimit) {
    const std::size_t limit = HdlcConnectionLink::maxBytesPerRead;
    std::vector<std::pair<Bytes, std::size_t>> inputs; // and the first payload's size
    // Frames of the limit in all are read whole; longer ones are dropped and
    // their rest discarded up to the next flag.
    for (std::size_t payload : {limit - 2, limit - 1, limit + 10}) {
        Bytes wire(payload + 2, 0x33);
        wire.front() = wire.back() = 0x7E;
        inputs.push_back({wire, payload + 2 <= limit ? payload : 0});
    }
    for (unsigned char fill : {0x33, 0x7E}) // noise while hunting, fill flags
        inputs.push_back({Bytes(limit + 10, fill), 0});
    for (const auto& [wire, first] : inputs) {
        auto* below = new ScriptedLink;
        HdlcConnectionLink link(below);
        below->queueBytes(wire);
        below->queueBytes({0x7E, 0x05, 0x7E});
        EXPECT_EQ(link.read(0).size(), first) << wire.size();
        EXPECT_EQ(bytesOf(link.read(0)), Bytes{0x05}) << wire.size();
    }
}
