// The command-line tool end to end: its commands against the simulator, their
// exit status and the files they leave. The export is read back as a spike
// sorter reads it and compared with the packets the facade decodes.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "sim/BasestationSimulator.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun tool(const ScopedWorkDir& dir, const std::string& arguments) {
    const int raw =
        std::system((std::string(TOLMAREN_TOOL) + " " + arguments + " >out.txt 2>err.txt").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.readFile("out.txt"),
            dir.readFile("err.txt")};
}

json readJson(const std::string& path) {
    return json::parse(std::ifstream(path));
}

std::vector<int16_t> readInt16(const std::string& path) {
    std::vector<int16_t> samples(fs::file_size(path) / sizeof(int16_t));
    std::ifstream(path, std::ios::binary)
        .read(reinterpret_cast<char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
    return samples;
}

std::vector<bool> bits(const std::vector<bool>& chain, std::size_t from, std::size_t count) {
    return std::vector<bool>(chain.begin() + from, chain.begin() + from + count);
}

constexpr unsigned int packets = 500;
constexpr unsigned int channels = 384;
constexpr std::size_t packetBytes = 12 * 612;
constexpr double voltsPerCode = 1.2 / 1023;

} // namespace

// A probe of type 2 at another loopback address configured from the options,
// recorded with low-latency reads, played, exported and drawn; the export must
// hold exactly what the facade decodes.
TEST(Tool, RecordsConfiguredProbeAndExportsWhatTheFacadeDecodes) {
    ScopedWorkDir dir;
    tolmaren_sim::SimulatorOptions options;
    options.address = "127.0.0.2";
    options.probeType = 2;
    options.serialNumber = 77;
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();

    const ToolRun record =
        tool(dir, "record rec.bin --packets 500 --ap-gain 3 --bank 1 --filter 1 --low-latency "
                  "--address 127.0.0.2");
    ASSERT_EQ(record.status, 0) << record.err;
    EXPECT_EQ(record.err.find("TcpConnectionLink"), std::string::npos); // only with --verbose
    // Written to the probe: channel 0 AP gain code 3, BwHp 1, electrode 384 (channel 0, bank
    // 1) connected and electrode 0 not.
    EXPECT_EQ(bits(sim.chain(0), 5816, 3), (std::vector<bool>{1, 1, 0}));
    EXPECT_EQ(bits(sim.chain(0), 7408, 2), (std::vector<bool>{1, 0}));
    EXPECT_TRUE(sim.chain(1)[481 + 192]);
    EXPECT_FALSE(sim.chain(1)[481]);
    sim.stop();

    EXPECT_EQ(fs::file_size("rec.bin"), packets * packetBytes);
    const json sidecar = readJson("rec.bin.json");
    EXPECT_EQ(sidecar["probe"]["type"], 2);
    EXPECT_EQ(sidecar["probe"]["serial_number"], 77);
    EXPECT_EQ(sidecar["basestation"]["address"], "127.0.0.2");
    EXPECT_EQ(sidecar["settings"]["high_pass_filter"], 1);
    EXPECT_EQ(sidecar["settings"]["channels"]["ap_gain_code"][383], 3);
    EXPECT_EQ(sidecar["settings"]["channels"]["bank"][383], 1);
    EXPECT_EQ(sidecar["recorded"]["packets"], packets);
    EXPECT_NEAR(sidecar["stream"]["volts_per_code"].get<double>(), voltsPerCode, 1e-10);

    const ToolRun play = tool(dir, "play rec.bin");
    ASSERT_EQ(play.status, 0) << play.err;
    EXPECT_NE(play.out.find("500 packets"), std::string::npos);
    EXPECT_NE(play.out.find("\n    383       767 "), std::string::npos); // channel, electrode

    ASSERT_EQ(tool(dir, "export rec.bin out").status, 0);
    const json meta = readJson("out/recording.json");
    EXPECT_EQ(meta["channel_count"], channels);
    EXPECT_EQ(meta["ap"]["sample_rate_hz"], 30000.0);
    EXPECT_EQ(meta["lfp"]["sample_rate_hz"], 2500.0);
    // Gain code 3 is an amplifier gain of 500.
    EXPECT_NEAR(meta["ap"]["microvolts_per_bit"].get<double>(), voltsPerCode / 500 * 1e6, 1e-6);
    EXPECT_EQ(meta["channel_to_electrode"][5], 389);
    const json probe = readJson("out/probe.json");
    EXPECT_EQ(probe["specification"], "probeinterface");
    EXPECT_EQ(probe["probes"][0]["device_channel_indices"].size(), channels);
    EXPECT_EQ(probe["probes"][0]["contact_positions"][5][1], 389);

    const std::vector<int16_t> ap = readInt16("out/ap.bin");
    const std::vector<int16_t> lfp = readInt16("out/lfp.bin");
    ASSERT_EQ(ap.size(), std::size_t(packets) * 12 * channels);
    ASSERT_EQ(lfp.size(), std::size_t(packets) * channels);
    Tolmaren_basestation_api api;
    ASSERT_EQ(api.tolmaren_open(std::string("rec.bin")), 0u);
    api.tolmaren_datamode(true);
    const float scale = api.tolmaren_getScaleFactorToVoltage();
    auto packet = std::make_unique<ElectrodePacket>();
    std::size_t mismatches = 0;
    for (unsigned int p = 0; p < packets; ++p) {
        ASSERT_EQ(api.tolmaren_readElectrodeData(*packet), 0u);
        for (unsigned int c = 0; c < channels; ++c) {
            mismatches += lfp[p * channels + c] != std::lround(packet->lfpData[c] / scale) - 512;
            for (unsigned int b = 0; b < 12; ++b)
                mismatches += ap[(p * 12 + b) * channels + c] !=
                              std::lround(packet->apData[b][c] / scale) - 512;
        }
    }
    EXPECT_EQ(mismatches, 0u);

    ASSERT_EQ(tool(dir, "plot rec.bin pic.png").status, 0);
    const std::string png = dir.readFile("pic.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// Each failure: its exit status, a message in words on one line, no output
// file left behind, complete or partial.
TEST(Tool, FailuresGiveAMessageAndLeaveNoOutput) {
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"info --address 127.0.0.3", 1, "port at 127.0.0.3:1235: Connection refused (errno 111)"},
        {"info --address 127.0.0.300", 2, "not a numeric IPv4 address"},
        // The simulator listens where the tool looks.
        {"info --address 127.0.0.2 --sim --no-reply", 1, "did not answer"},
        {"record out.bin --seconds 1 --ap-gain 9", 2, "--ap-gain"},
        {"play missing.bin", 1, "cannot open missing.bin"},
        {"export zeros.bin outdir", 1, "zeros.bin holds no valid block"},
        {"export bad.bin outdir", 1, "bad.bin.json is not a recording sidecar"},
        {"record out.bin --packets 9 --sim --eeprom-error", 1, "probe identity"},
        {"record no/such/dir/out.bin --packets 9 --sim --fast-data", 1, "cannot write"},
    };
    ScopedWorkDir dir;
    std::ofstream("zeros.bin", std::ios::binary) << std::string(packetBytes, '\0');
    std::ofstream("bad.bin", std::ios::binary) << std::string(packetBytes, '\0');
    std::ofstream("bad.bin.json") << R"({"format": "tolmaren recording sidecar"})";
    for (const Case& c : cases) {
        const ToolRun run = tool(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        if (c.status == 1) { // one line, after any notes
            const auto last = run.err.rfind('\n', run.err.size() - 2);
            const std::string failure = run.err.substr(last == std::string::npos ? 0 : last + 1);
            EXPECT_EQ(std::count(failure.begin(), failure.end(), '\n'), 1) << run.err;
            EXPECT_EQ(failure.rfind("tolmaren ", 0), 0u) << run.err;
        }
        EXPECT_FALSE(fs::exists("out.bin") || fs::exists("out.bin.json") ||
                     fs::exists("outdir/ap.bin"))
            << c.arguments;
        for (const auto& entry : fs::recursive_directory_iterator("."))
            EXPECT_NE(entry.path().extension(), ".part") << c.arguments;
    }
    EXPECT_NE(tool(dir, "-v info --sim --no-reply").err.find("TcpConnectionLink"),
              std::string::npos);
}

// The identity written with eeprom write-id is the one the next open reads.
TEST(Tool, InfoShowsTheIdentityWrittenBefore) {
    ScopedWorkDir dir;
    tolmaren_sim::SimulatorOptions options;
    options.temperatureCode = 2220; // 0 degrees Celsius
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    ASSERT_EQ(tool(dir, "eeprom write-id --serial 4321 --type 3").status, 0);
    const ToolRun info = tool(dir, "info");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("serial number 4321, type 3 (276 channels, 966 electrodes)"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("temperature      0.0 C"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("datapath check   no error"), std::string::npos) << info.out;
}

// Ctrl-C during a recording: whole packets, the sidecar written, the summary printed.
TEST(Tool, InterruptedRecordingIsComplete) {
    ScopedWorkDir dir;
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("out.txt", "w", stdout);
        std::freopen("err.txt", "w", stderr);
        execl(TOLMAREN_TOOL, TOLMAREN_TOOL, "record", "rec.bin", "--seconds", "60", "--sim",
              static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists("rec.bin.part") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, SIGINT);
    int raw = 0;
    waitpid(child, &raw, 0);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << dir.readFile("err.txt");
    const std::size_t bytes = fs::file_size("rec.bin");
    EXPECT_GT(bytes, 0u);
    EXPECT_EQ(bytes % packetBytes, 0u);
    const json sidecar = readJson("rec.bin.json");
    EXPECT_EQ(sidecar["recorded"]["packets"], bytes / packetBytes);
    EXPECT_EQ(sidecar["recorded"]["interrupted"], true);
    EXPECT_NE(dir.readFile("out.txt").find("stopped early"), std::string::npos);
    EXPECT_FALSE(fs::exists("rec.bin.part"));
}
