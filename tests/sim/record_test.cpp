// `tolmaren record` against the simulator, ended by each failure a recording
// day brings: the file keeps every block delivered before it, its sidecar
// says why the recording ended and holds the counts the file gives, and the
// exit status tells a complete recording from an incomplete one.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "common/ToolRun.h"
#include "recording/RecordingReader.h"
#include "recording/Sidecar.h"
#include "sim/BasestationRegisters.h"
#include "sim/BasestationSimulator.h"

namespace {

namespace fs = std::filesystem;
using tolmaren_recording::RecordingInfo;
using tolmaren_sim::DataFaults;
using tolmaren_sim::DataPacing;

constexpr uint64_t blockBytes = 612;
constexpr int complete = 0, incomplete = 3, stopped = 4;

DataFaults closeAt(uint64_t unit) {
    DataFaults faults;
    faults.closeAtUnit = unit;
    return faults;
}

DataFaults stallAt(uint64_t unit, unsigned int ms) {
    DataFaults faults;
    faults.pauseAtUnit = unit;
    faults.pauseMs = ms;
    return faults;
}

bool waitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition())
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}

// The sidecar of a recording file, and the counts of the file read back.
struct Kept {
    RecordingInfo sidecar;
    StreamCounts counts;
    uint64_t bytes;
};

Kept readBack(const std::string& path) {
    const auto sidecar = tolmaren_recording::Sidecar::read(path + ".json");
    if (!sidecar) throw std::runtime_error("no sidecar beside " + path);
    tolmaren_recording::RecordingReader reader(path);
    while (reader.next() != nullptr) {
    }
    return {*sidecar, reader.counts(), reader.fileBytes()};
}

struct Case {
    const char* name;
    DataPacing pacing;
    DataFaults faults; // armed once the recording has begun its stream
    const char* arguments;
    rlim_t fileLimit; // bytes, 0: none
    int signal;       // sent once the recording holds data, 0: none
    int status;
    const char* ended;
    const char* detail;
};

// Runs `tolmaren record rec.bin ARGUMENTS` against `sim`; returns its exit
// status.
int runRecord(tolmaren_sim::BasestationSimulator& sim, const Case& c) {
    const std::string command =
        "exec " + toolCommand(std::string("record rec.bin ") + c.arguments) + " >out.txt 2>err.txt";
    const pid_t child = fork();
    if (child == 0) {
        if (c.fileLimit != 0) {
            const rlimit limit{c.fileLimit, c.fileLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    // The recorder creates its files, then holds the datapath in reset for at
    // least a second before its first byte: faults armed meanwhile count
    // their units in the recorded stream.
    EXPECT_TRUE(waitFor([&] {
        return fs::exists("rec.bin.json") &&
               sim.registerValue(tolmaren_sim::BasestationRegisters::datapathReset) != 0;
    })) << c.name;
    sim.setDataFaults(c.faults);
    if (c.signal != 0) {
        EXPECT_TRUE(waitFor([] {
            std::error_code error;
            return fs::file_size("rec.bin", error) > 100 * blockBytes;
        }));
        kill(child, c.signal);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace

TEST(Record, EveryEndKeepsWhatWasRecordedAndSaysWhy) {
    const DataPacing fast = DataPacing::Fast, realTime = DataPacing::RealTime;
    const Case cases[] = {
        {"link closed", fast, closeAt(30000), "--seconds 4", 0, 0, incomplete, "link lost",
         "the data connection failed"},
        {"stall beyond the time-out", fast, stallAt(9000, 60000), "--seconds 4 --stall-timeout 1",
         0, 0, incomplete, "stalled", "no data arrived for 1 s"},
        {"stall within the time-out", fast, stallAt(9000, 1500), "--packets 3000 --stall-timeout 4",
         0, 0, complete, "completed", ""},
        {"disk full",
         fast,
         {},
         "--seconds 4",
         3u << 20,
         0,
         incomplete,
         "disk full",
         "cannot write rec.bin: File too large"},
        {"SIGTERM", realTime, {}, "--seconds 60", 0, SIGTERM, stopped, "stopped", "SIGTERM"},
        {"SIGHUP", realTime, {}, "--seconds 60", 0, SIGHUP, stopped, "stopped", "SIGHUP"},
        {"Ctrl-C", realTime, {}, "--seconds 60", 0, SIGINT, stopped, "stopped", "SIGINT"},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        auto options = TestAddress::simulator();
        options.data.pacing = c.pacing;
        tolmaren_sim::BasestationSimulator sim(options);
        sim.start();
        EXPECT_EQ(runRecord(sim, c), c.status) << c.name << ": " << dir.readFile("err.txt");
        const auto sent = sim.dataStatistics();
        sim.stop();

        const Kept kept = readBack("rec.bin");
        EXPECT_EQ(RecordingInfo::endName(kept.sidecar.ended), std::string(c.ended)) << c.name;
        EXPECT_NE(kept.sidecar.endDetail.find(c.detail), std::string::npos)
            << c.name << ": " << kept.sidecar.endDetail;
        EXPECT_TRUE(kept.counts == kept.sidecar.counts) << c.name;
        EXPECT_EQ(kept.bytes, kept.sidecar.bytes) << c.name;
        EXPECT_GT(kept.counts.packets, 0u) << c.name;
        if (c.fileLimit != 0) {
            EXPECT_LE(kept.bytes, c.fileLimit) << c.name;
        }
        // Ended by the stream, the file holds every whole block that was sent.
        if (c.faults.closeAtUnit || (c.faults.pauseAtUnit && c.status == incomplete)) {
            EXPECT_EQ(kept.bytes, (sent.unitsIntact + sent.unitsCorrupted) * blockBytes) << c.name;
        }
        if (c.status == complete) {
            EXPECT_EQ(kept.counts.packets, 3000u) << c.name;
        }
        EXPECT_EQ(kept.counts.gaps, 0u) << c.name;
    }
}

// A lost link reopened: the recording goes on in a second file of its set,
// with the probe set up as before.
TEST(Record, ReconnectGoesOnInANewSegment) {
    ScopedWorkDir dir;
    auto options = TestAddress::simulator();
    options.probeType = 2;
    options.data.pacing = DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    const Case c{"reconnect",
                 DataPacing::Fast,
                 closeAt(12000),
                 "--packets 3000 --reconnect --bank 1",
                 0,
                 0,
                 complete,
                 "completed",
                 ""};
    ASSERT_EQ(runRecord(sim, c), complete) << dir.readFile("err.txt");
    EXPECT_TRUE(sim.chain(1)[481 + 192]); // electrode 384 (bank 1) connected again
    sim.stop();

    const Kept first = readBack("rec.bin");
    const Kept second = readBack("rec-2.bin");
    EXPECT_EQ(first.sidecar.ended, RecordingInfo::End::LinkLost);
    EXPECT_EQ(first.counts.blocks, 12000u);
    EXPECT_EQ(first.sidecar.segmentFiles, (std::vector<std::string>{"rec.bin", "rec-2.bin"}));
    EXPECT_EQ(second.sidecar.ended, RecordingInfo::End::Completed);
    EXPECT_EQ(second.sidecar.segment, 2u);
    EXPECT_EQ(second.sidecar.bank, first.sidecar.bank);
    EXPECT_TRUE(second.counts == second.sidecar.counts);
    EXPECT_EQ(first.counts.packets + second.counts.packets, 3000u);
}

// An existing recording is replaced only with --force.
TEST(Record, RefusesAnExistingFileUnlessForced) {
    ScopedWorkDir dir;
    std::ofstream("rec.bin") << "an earlier recording";
    const std::string record =
        toolCommand("record rec.bin --packets 10 --sim --fast-data") + " 2>err.txt";
    EXPECT_EQ(WEXITSTATUS(std::system(record.c_str())), 1);
    EXPECT_NE(dir.readFile("err.txt").find("rec.bin exists: pass --force"), std::string::npos);
    EXPECT_EQ(dir.readFile("rec.bin"), "an earlier recording");
    EXPECT_FALSE(fs::exists("rec.bin.json"));
    const std::string forced =
        toolCommand("record rec.bin --packets 10 --force --sim --fast-data") + " 2>err.txt";
    EXPECT_EQ(WEXITSTATUS(std::system(forced.c_str())), 0) << dir.readFile("err.txt");
    EXPECT_EQ(fs::file_size("rec.bin"), 10 * 12 * blockBytes);
}
