// Several probes recorded at once from a simulated rig of two basestations:
// a synchronised start gives the files the same block counters and the same
// sync edges, every file agrees with its sidecar and the manifest, and one
// probe's lost link leaves the other's recording whole.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "common/ToolRun.h"
#include "recording/ProbeSnapshot.h"
#include "recording/RecordingReader.h"
#include "recording/RigRecorder.h"
#include "recording/Sidecar.h"
#include "sim/SimulatorRig.h"

namespace {

using tolmaren_recording::RecordingInfo;
using tolmaren_recording::RigRecorder;
using End = RecordingInfo::End;

const std::string rigAddress = TestAddress::own(); // the first basestation's; the next is other()
constexpr unsigned int stations = 2;
constexpr uint64_t packets = 1500; // 0.6 s: at least one edge of the 1 Hz wave

// Block counter and synchronization value of every block in a recording,
// and its counts.
struct FileBlocks {
    std::vector<std::pair<uint32_t, uint16_t>> blocks;
    StreamCounts counts;
};

FileBlocks readBlocks(const std::string& path) {
    FileBlocks read;
    tolmaren_recording::RecordingReader reader(path);
    while (const CodePacket* packet = reader.next())
        for (unsigned int b = 0; b < CodePacket::blocks; ++b)
            if (packet->has(b))
                read.blocks.emplace_back(packet->counter[b][0], packet->synchronization[b]);
    read.counts = reader.counts();
    return read;
}

bool hasEdge(const std::vector<std::pair<uint32_t, uint16_t>>& blocks) {
    for (std::size_t i = 1; i < blocks.size(); ++i)
        if (blocks[i].second != blocks[i - 1].second) return true;
    return false;
}

struct Case {
    const char* name;
    bool sync;
    std::optional<uint64_t> followerCloseAt; // the second basestation closes its data link
    std::array<End, stations> ended;
    uint64_t pulses; // of the start-trigger line
};

TEST(RigRecord, EveryProbeKeepsItsRecordingAndASynchronisedStartAlignsThem) {
    const Case cases[] = {
        {"synchronised", true, std::nullopt, {End::Completed, End::Completed}, 1},
        {"independent", false, std::nullopt, {End::Completed, End::Completed}, 0},
        {"follower's link closes", true, 6000, {End::Completed, End::LinkLost}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        tolmaren_sim::SimulatorOptions options;
        options.address = rigAddress;
        options.data.fifoBytes = std::size_t(1) << 30; // a slow machine loses nothing
        tolmaren_sim::SimulatorRig rig(options, stations);
        rig.start();
        std::vector<std::unique_ptr<Tolmaren_basestation_api>> apis;
        std::vector<std::thread> opening; // each open waits a second for its stream
        std::array<unsigned int, stations> opened{};
        for (unsigned int k = 0; k < stations; ++k) {
            apis.push_back(std::make_unique<Tolmaren_basestation_api>());
            apis[k]->tolmaren_setBasestationAddress(
                tolmaren_sim::SimulatorRig::address(rigAddress, k));
            opening.emplace_back([&, k] { opened[k] = apis[k]->tolmaren_open(0); });
        }
        for (std::thread& thread : opening)
            thread.join();
        ASSERT_EQ(opened, (std::array<unsigned int, stations>{}));
        if (c.followerCloseAt) {
            // Held, so that the fault counts its units in the recorded stream.
            ASSERT_EQ(apis[1]->tolmaren_setSyncExtStart(true), 0u);
            ASSERT_EQ(apis[1]->tolmaren_resetDatapath(), 0u);
            tolmaren_sim::DataFaults faults;
            faults.closeAtUnit = c.followerCloseAt;
            rig.basestation(1).setDataFaults(faults);
        }

        std::vector<RigRecorder::Probe> probes;
        for (auto& api : apis)
            probes.push_back({api.get(), tolmaren_recording::ProbeSnapshot::take(*api)});
        RigRecorder::Options rigOptions;
        rigOptions.packets = packets;
        rigOptions.sync = c.sync;
        RigRecorder recorder("rig", std::move(probes), rigOptions);
        const auto outcomes = recorder.finish();
        EXPECT_EQ(rig.triggerPulses(), c.pulses);

        std::ifstream manifestFile(recorder.manifestPath());
        const auto manifest = nlohmann::json::parse(manifestFile);
        EXPECT_EQ(manifest["synchronised"], c.sync);
        EXPECT_EQ(manifest["ended"], RecordingInfo::endName(RigRecorder::worst(outcomes)));
        std::array<FileBlocks, stations> files;
        for (unsigned int k = 0; k < stations; ++k) {
            SCOPED_TRACE(k);
            const RigRecorder::Outcome& outcome = outcomes[k];
            const auto& entry = manifest["probes"][k];
            const uint32_t serial = k; // a rig without serial numbers numbers its probes
            const std::string address = tolmaren_sim::SimulatorRig::address(rigAddress, k);
            const std::string file = "probe-" + std::to_string(serial) + "-" + address + ".bin";
            EXPECT_EQ(outcome.path, "rig/" + file);
            EXPECT_EQ(entry["file"], file);
            EXPECT_EQ(entry["address"], address);
            EXPECT_EQ(entry["leader"], c.sync && k == 0);
            ASSERT_TRUE(outcome.summary.has_value()) << outcome.failure;
            EXPECT_EQ(outcome.ended(), c.ended[k]) << outcome.summary->endDetail;
            EXPECT_EQ(entry["ended"], RecordingInfo::endName(c.ended[k]));
            const auto sidecar = tolmaren_recording::Sidecar::read(outcome.path + ".json");
            ASSERT_TRUE(sidecar.has_value());
            EXPECT_EQ(sidecar->serialNumber, serial);
            EXPECT_EQ(sidecar->basestationAddress, address);
            EXPECT_EQ(sidecar->ended, c.ended[k]);
            files[k] = readBlocks(outcome.path);
            EXPECT_EQ(files[k].counts.packets, sidecar->counts.packets);
            EXPECT_EQ(entry["packets"], outcome.packets());
            EXPECT_EQ(files[k].counts.gaps, 0u);
            ASSERT_FALSE(files[k].blocks.empty());
            EXPECT_EQ(entry["first_block_counter"], files[k].blocks.front().first);
            if (c.ended[k] == End::Completed) {
                EXPECT_EQ(outcome.packets(), packets);
            }
        }
        if (!c.sync) continue;
        EXPECT_EQ(manifest["leader"], manifest["probes"][0]["file"]);
        EXPECT_EQ(manifest["probes"][1]["anchor"], manifest["probes"][0]["anchor"]);
        // Same instant, same counter and same wave value, from the first block.
        const auto& leader = files[0].blocks;
        const auto& follower = files[1].blocks;
        const std::size_t common = std::min(leader.size(), follower.size());
        EXPECT_TRUE(std::equal(follower.begin(), follower.begin() + common, leader.begin()))
            << "counters or edges differ";
        if (!c.followerCloseAt) {
            EXPECT_TRUE(hasEdge(leader));
        }
    }
}

// The command line: one recording per address in OUT, or none at all for a
// command it refuses.
TEST(RigRecord, CommandRecordsEveryAddressIntoTheDirectory) {
    const std::string first = tolmaren_sim::SimulatorRig::address(rigAddress, 0);
    const std::string second = tolmaren_sim::SimulatorRig::address(rigAddress, 1);
    const std::string addresses = " --address " + first + " --address " + second;
    const struct {
        const char* name;
        std::string arguments;
        int status;
        unsigned int files; // recordings in OUT
    } cases[] = {
        {"synchronised", addresses + " --sync --packets 500 --sim --basestations 2", 0, 2},
        {"sync with one address", " --address " + first + " --sync --packets 500", 2, 0},
        {"an address twice", " --address " + first + " --address " + first + " --packets 500", 2,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        const ToolRun run = tool(dir, "record out" + c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        unsigned int files = 0;
        for (unsigned int k = 0; k < 2; ++k) {
            const std::string path = "out/probe-" + std::to_string(k) + "-" +
                                     tolmaren_sim::SimulatorRig::address(rigAddress, k) + ".bin";
            std::error_code error;
            if (std::filesystem::file_size(path, error) == 500 * 12 * 612) ++files;
        }
        EXPECT_EQ(files, c.files);
    }
}

} // namespace
