// The command-line tool end to end: its commands against the simulator, their
// exit status and the files they leave. The export of recordings damaged by
// the simulator's data faults is read back as a spike sorter reads it and
// compared with what the recording tier's reader decodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "common/ToolRun.h"
#include "recording/ProbeInterfaceRules.h"
#include "recording/RecordingReader.h"
#include "sim/BasestationSimulator.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr unsigned int packets = 500;
constexpr unsigned int channels = 384;
constexpr unsigned int electrodesOfType2 = 960;
constexpr std::size_t packetBytes = 12 * 612;
constexpr double voltsPerCode = 1.2 / 1023;

json readJson(const std::string& path) {
    return json::parse(std::ifstream(path));
}

template <typename T> std::vector<T> readArray(const std::string& path) {
    std::vector<T> values(fs::file_size(path) / sizeof(T));
    std::ifstream(path, std::ios::binary)
        .read(reinterpret_cast<char*>(values.data()),
              static_cast<std::streamsize>(values.size() * sizeof(T)));
    return values;
}

// A probeinterface file of one planar probe: contact e at (16 (e % 2), 20 (e / 2)).
void writeGeometry(const std::string& path, unsigned int contacts) {
    json probe = {{"ndim", 2},
                  {"si_units", "um"},
                  {"annotations", {{"model_name", "test"}, {"manufacturer", "test"}}},
                  {"contact_annotations", json::object()}};
    for (unsigned int e = 0; e < contacts; ++e) {
        probe["contact_positions"].push_back({16 * (e % 2), 20 * (e / 2)});
        probe["contact_plane_axes"].push_back({{1, 0}, {0, 1}});
        probe["contact_shapes"].push_back("square");
        probe["contact_shape_params"].push_back({{"width", 12}});
        probe["contact_ids"].push_back(std::to_string(e));
        probe["shank_ids"].push_back("");
    }
    std::ofstream(path) << json{{tolmaren_recording::ProbeInterfaceRules::formatMember,
                                 tolmaren_recording::ProbeInterfaceRules::formatName},
                                {"version", "0.2.21"},
                                {"probes", {probe}}};
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The export the reader's decoding of `file` makes, worked out from the
// blocks' own counters: per segment one AP row per counter from its first
// block to its last, one LFP row per packet period, 0 where nothing arrived.
struct ExpectedExport {
    std::vector<int16_t> ap, lfp;
    std::vector<uint16_t> sync;
    std::vector<uint8_t> trigger;
    json segments = json::array(); // [first AP row, AP rows]

    explicit ExpectedExport(const std::string& file) {
        std::vector<std::unique_ptr<CodePacket>> packets;
        tolmaren_recording::RecordingReader reader(file);
        while (const CodePacket* packet = reader.next())
            packets.push_back(std::make_unique<CodePacket>(*packet));
        struct Span {
            int64_t first = -1, last = 0, firstBase = 0, apRow = 0, lfpRow = 0;
        };
        std::vector<Span> spans;
        for (const auto& p : packets)
            for (unsigned int b = 0; b < 12; ++b) {
                if (!p->has(b)) continue;
                if (p->segment == spans.size()) spans.emplace_back();
                Span& span = spans.back();
                const int64_t counter = p->counter[b][0];
                if (span.first < 0) span = {counter, 0, counter - b, 0, 0};
                span.last = counter;
            }
        int64_t apRows = 0, lfpRows = 0;
        for (Span& span : spans) {
            span.apRow = apRows - span.first;
            span.lfpRow = lfpRows;
            apRows += span.last - span.first + 1;
            lfpRows += (span.last - span.firstBase) / 12 + 1;
            segments.push_back({span.apRow + span.first, span.last - span.first + 1});
        }
        ap.assign(apRows * channels, 0);
        lfp.assign(lfpRows * channels, 0);
        sync.assign(apRows, 0);
        trigger.assign(apRows, 0);
        for (const auto& p : packets)
            for (unsigned int b = 0; b < 12; ++b) {
                if (!p->has(b)) continue;
                const Span& span = spans[p->segment];
                const int64_t counter = p->counter[b][0];
                const int64_t row = span.apRow + counter;
                const int64_t lfpRow = span.lfpRow + (counter - b - span.firstBase) / 12;
                for (unsigned int c = 0; c < channels; ++c) {
                    ap[row * channels + c] = static_cast<int16_t>(p->ap[b][c] - 512);
                    if (CodePacket::lfpPlace(c) == b)
                        lfp[lfpRow * channels + c] = static_cast<int16_t>(p->lfp[c] - 512);
                }
                sync[row] = p->synchronization[b];
                trigger[row] = p->startTrigger[b];
            }
    }
};

// The contents of the files, by name.
std::map<std::string, std::string> contents(const ScopedWorkDir& dir,
                                            const std::vector<std::string>& names) {
    std::map<std::string, std::string> files;
    for (const std::string& name : names)
        files[name] = dir.readFile(name);
    return files;
}

std::vector<bool> bits(const std::vector<bool>& chain, std::size_t from, std::size_t count) {
    return std::vector<bool>(chain.begin() + from, chain.begin() + from + count);
}

} // namespace

// A probe of type 2 at another loopback address configured from the options,
// recorded with low-latency reads, played, exported with a geometry and drawn.
TEST(Tool, RecordsConfiguredProbeAndExportsItWithItsGeometry) {
    ScopedWorkDir dir;
    tolmaren_sim::SimulatorOptions options;
    options.address = TestAddress::other();
    options.probeType = 2;
    options.serialNumber = 77;
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();

    const ToolRun record =
        tool(dir, "record rec.bin --packets 500 --ap-gain 3 --bank 1 --filter 1 --low-latency "
                  "--address " +
                      TestAddress::other());
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
    EXPECT_EQ(sidecar["basestation"]["address"], TestAddress::other());
    EXPECT_EQ(sidecar["settings"]["high_pass_filter"], 1);
    EXPECT_EQ(sidecar["settings"]["channels"]["ap_gain_code"][383], 3);
    EXPECT_EQ(sidecar["settings"]["channels"]["bank"][383], 1);
    EXPECT_EQ(sidecar["recorded"]["packets"], packets);
    EXPECT_NEAR(sidecar["stream"]["volts_per_code"].get<double>(), voltsPerCode, 1e-10);

    const ToolRun play = tool(dir, "play rec.bin");
    ASSERT_EQ(play.status, 0) << play.err;
    EXPECT_NE(play.out.find("500 packets"), std::string::npos);
    EXPECT_NE(play.out.find("\n    383       767 "), std::string::npos); // channel, electrode

    writeGeometry("geometry.json", electrodesOfType2);
    ASSERT_EQ(tool(dir, "export rec.bin out --geometry geometry.json").status, 0);
    const json meta = readJson("out/recording.json");
    EXPECT_EQ(meta["channel_count"], channels);
    EXPECT_EQ(meta["ap"]["sample_rate_hz"], 30000.0);
    EXPECT_EQ(meta["lfp"]["sample_rate_hz"], 2500.0);
    // Gain code 3 is an amplifier gain of 500.
    EXPECT_NEAR(meta["ap"]["microvolts_per_bit"].get<double>(), voltsPerCode / 500 * 1e6, 1e-6);
    EXPECT_EQ(meta["channel_to_electrode"][5], 389);
    EXPECT_EQ(meta["probe_geometry"], "geometry.json");
    const json probe = readJson("out/probe.json")["probes"][0];
    EXPECT_EQ(probe["device_channel_indices"].size(), channels);
    EXPECT_EQ(probe["contact_positions"][5], json({16, 20 * 194})); // electrode 389
    EXPECT_EQ(probe["contact_shape_params"][5], json({{"width", 12}}));

    ASSERT_EQ(tool(dir, "plot rec.bin pic.png").status, 0);
    const std::string png = dir.readFile("pic.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// Each failure: its exit status, a message in words on one line, no output
// file left behind, complete or partial.
TEST(Tool, FailuresGiveAMessageAndLeaveNoOutput) {
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const std::string vacant = TestAddress::vacant();
    const Case cases[] = {
        {"info --address " + vacant, 1,
         "port at " + vacant + ":1235: Connection refused (errno 111)"},
        {"info --address 127.0.0.300", 2, "not a numeric IPv4 address"},
        // The simulator listens where the tool looks.
        {"info --address " + TestAddress::other() + " --sim --no-reply", 1, "did not answer"},
        {"record out.bin --seconds 1 --ap-gain 9", 2, "--ap-gain"},
        {"play missing.bin", 1, "cannot open missing.bin"},
        {"export zeros.bin outdir", 1, "zeros.bin holds no valid block"},
        {"play random.bin", 1, "random.bin holds no valid block"},
        {"plot random.bin pic.png", 1, "random.bin holds no valid block"},
        {"export empty.bin outdir", 1, "empty.bin holds no data"},
        {"export zeros.bin outdir --geometry short.json", 1,
         "geometry short.json: probes[0] has 383 contacts, probe type 0 has 384 electrodes"},
        {"export bad.bin outdir", 1, "bad.bin.json is not a recording sidecar"},
        {"record out.bin --packets 9 --sim --eeprom-error", 1, "probe identity"},
        {"record no/such/dir/out.bin --packets 9 --sim --fast-data", 1,
         "cannot create no/such/dir/out.bin: No such file or directory"},
        // Settings are refused before anything is written, a recording of no
        // electrode unless asked for.
        {"record out.bin --packets 9 --bank 4", 2, "bank 4 is not one of 0 to 3"},
        {"record out.bin --packets 9 --bank 3 --sim --fast-data --probe-type 2", 1,
         "bank 3 holds no electrode of a probe of type 2"},
        {"record out.bin --packets 9 --sim --fast-data --probe-type 3", 1,
         "no channel records an electrode"},
        // Files from elsewhere: anything but a regular file of a plausible
        // size is refused at once, never waited on or read to its end.
        {"play fifo", 1, "fifo is a FIFO, not a regular file"},
        {"export piped.bin outdir", 1, "piped.bin.json is a FIFO, not a regular file"},
        {"record out.bin --packets 9 --base-chain fifo", 2, "fifo is a FIFO"},
        {"record out.bin --packets 9 --test-chain /dev/urandom", 2,
         "/dev/urandom is a character device"},
        {"record out.bin --packets 9 --shank-chain huge.csv", 2,
         "huge.csv is too large: 104857600 bytes"},
        {"plot random.bin pic.png --start nan", 2, "--start"},
        {"plot random.bin pic.png --seconds nan", 2, "--seconds"},
        {"calibrate impedance --from-eeprom --sim --eeprom blank.eeprom", 1,
         "the EEPROM holds no gain calibration"},
    };
    ScopedWorkDir dir;
    std::ofstream("zeros.bin", std::ios::binary) << std::string(packetBytes, '\0');
    std::string random(3 * packetBytes + 100, '\0');
    std::generate(random.begin(), random.end(), std::mt19937(7));
    std::ofstream("random.bin", std::ios::binary) << random;
    std::ofstream("empty.bin");
    writeGeometry("short.json", 383);
    std::ofstream("bad.bin", std::ios::binary) << std::string(packetBytes, '\0');
    std::ofstream("bad.bin.json") << R"({"format": "tolmaren recording sidecar"})";
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    std::ofstream("piped.bin", std::ios::binary) << std::string(packetBytes, '\0');
    ASSERT_EQ(mkfifo("piped.bin.json", 0600), 0);
    std::ofstream("blank.eeprom", std::ios::binary) << std::string(2048, '\0');
    std::ofstream("huge.csv");
    fs::resize_file("huge.csv", 100 << 20);
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
                     fs::exists("outdir/ap.bin") || fs::exists("pic.png"))
            << c.arguments;
        for (const auto& entry : fs::recursive_directory_iterator("."))
            EXPECT_NE(entry.path().extension(), ".part") << c.arguments;
    }
    EXPECT_NE(tool(dir, "-v info --sim --no-reply").err.find("TcpConnectionLink"),
              std::string::npos);
}

// Recordings damaged as links damage them: the export keeps one AP row per
// block counter of each segment, with the samples the reader decodes where
// blocks arrived and 0 in the gaps it lists; a file cut short is read to its
// last whole block with one warning from each command.
TEST(Tool, ExportKeepsTheTimelineOfADamagedRecording) {
    enum class Edit { None, CutShort, Joined };
    struct Case {
        const char* name;
        const char* faults;
        Edit edit;
        json gaps;
    };
    const Case cases[] = {
        {"intact", "", Edit::None, json::array()},
        // Longer than a write of AP rows: a hole in the file.
        {"drop", "--drop-at 1000 --drop-count 500", Edit::None, {{1000, 500}}},
        {"splice", "--splice-at 2005", Edit::None, {{2005, 12}}},
        {"corrupt marker", "--corrupt-at 3000", Edit::None, {{3000, 1}}},
        {"cut short", "", Edit::CutShort, json::array()},
        {"two recordings joined", "", Edit::Joined, json::array()},
    };
    ScopedWorkDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun record = tool(dir, std::string("record rec.bin --force --packets 300 --sim "
                                                     "--fast-data ") +
                                             c.faults);
        ASSERT_EQ(record.status, 0) << record.err;
        const std::string recording = dir.readFile("rec.bin");
        fs::remove("rec.bin.json");
        if (c.edit == Edit::CutShort)
            std::ofstream("rec.bin", std::ios::binary)
                << recording.substr(0, recording.size() - 100);
        if (c.edit == Edit::Joined)
            std::ofstream("rec.bin", std::ios::binary) << recording << recording;

        const ToolRun exported = tool(dir, "export rec.bin out");
        ASSERT_EQ(exported.status, 0) << exported.err;
        const json timeline = readJson("out/recording.json")["timeline"];
        EXPECT_EQ(timeline["gaps"], c.gaps);
        const ExpectedExport expected("rec.bin");
        json segments = json::array();
        for (const json& s : timeline["segments"])
            segments.push_back({s["ap_first_row"], s["ap_rows"]});
        EXPECT_EQ(segments, expected.segments);
        EXPECT_EQ(segments.size(), c.edit == Edit::Joined ? 2u : 1u);
        EXPECT_TRUE(readArray<int16_t>("out/ap.bin") == expected.ap);
        EXPECT_TRUE(readArray<int16_t>("out/lfp.bin") == expected.lfp);
        EXPECT_TRUE(readArray<uint16_t>("out/sync.bin") == expected.sync);
        EXPECT_TRUE(readArray<uint8_t>("out/start_trigger.bin") == expected.trigger);

        const std::string leftover = "512 bytes after its last whole block are left over";
        const std::size_t warnings = c.edit == Edit::CutShort ? 1 : 0;
        EXPECT_EQ(occurrences(exported.err, leftover), warnings) << exported.err;
        if (c.edit != Edit::CutShort) continue;
        EXPECT_EQ(expected.sync.size(), 300u * 12 - 1); // the last block is gone
        for (const char* command : {"play rec.bin", "plot rec.bin pic.png"})
            EXPECT_EQ(occurrences(tool(dir, command).err, leftover), warnings) << command;
    }
}

// A recording copied from a computer whose file names are not UTF-8, with a
// sidecar whose text would drive the terminal: the export's JSON stays
// valid (the invalid byte becomes U+FFFD) and play shows the control
// characters escaped.
TEST(Tool, ForeignNamesAndTextsExportAndPrintSafely) {
    ScopedWorkDir dir;
    ASSERT_EQ(tool(dir, "record rec.bin --packets 50 --sim --fast-data").status, 0);
    const std::string name = "rec\xff.bin";
    fs::rename("rec.bin", name);
    json sidecar = readJson("rec.bin.json");
    sidecar["start_time"] = "\x1b]0;owned\x07\x1b[2J";
    std::ofstream(name + ".json") << sidecar.dump();

    const ToolRun exported = tool(dir, "export '" + name + "' out");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(readJson("out/recording.json")["source"]["recording"], "rec\xef\xbf\xbd.bin");
    const ToolRun played = tool(dir, "play '" + name + "'");
    ASSERT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("started \\x1B]0;owned\\x07\\x1B[2J\n"), std::string::npos)
        << played.out;
    EXPECT_EQ(played.out.find('\x1b'), std::string::npos);
}

// The identity written with eeprom write-id is the one the next open reads.
TEST(Tool, InfoShowsTheIdentityWrittenBefore) {
    ScopedWorkDir dir;
    auto options = TestAddress::simulator();
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

// An output never goes through a link planted at a temporary name, and never
// replaces a file the command reads (by its own name, a hard link, or as the
// export's name for a file in OUTDIR): that is refused before anything is
// written.
TEST(Tool, OutputsNeitherFollowLinksNorReplaceInputs) {
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"export rec.bin out", 0, "wrote out/probe.json"},
        {"plot rec.bin pic.png", 0, "wrote pic.png"},
        {"export same/ap.bin same", 1,
         "refusing to write same/ap.bin: it is the input same/ap.bin"},
        // The sidecar of a recording named "recording".
        {"export same/recording same", 1, "write same/recording.json: it is the input"},
        {"export rec.bin geo --geometry geo/probe.json", 1,
         "write geo/probe.json: it is the input"},
        {"plot rec.bin rec.bin", 1, "refusing to write rec.bin: it is the input rec.bin"},
        {"plot rec.bin hard.png", 1, "refusing to write hard.png: it is the input rec.bin"},
    };
    ScopedWorkDir dir;
    ASSERT_EQ(tool(dir, "record rec.bin --packets 100 --sim --fast-data").status, 0);
    std::ofstream("victim") << "kept";
    fs::create_directories("out");
    for (const char* name :
         {"ap.bin", "lfp.bin", "sync.bin", "start_trigger.bin", "recording.json", "probe.json"})
        fs::create_symlink("../victim", std::string("out/") + name + ".part");
    fs::create_symlink("victim", "pic.png.part");
    fs::create_directories("same");
    for (const char* name : {"same/ap.bin", "same/recording"}) {
        fs::copy_file("rec.bin", name);
        fs::copy_file("rec.bin.json", std::string(name) + ".json");
    }
    fs::create_directories("geo");
    writeGeometry("geo/probe.json", channels);
    fs::create_hard_link("rec.bin", "hard.png");
    const std::vector<std::string> inputs = {
        "victim",           "rec.bin",        "rec.bin.json",        "same/ap.bin",
        "same/ap.bin.json", "same/recording", "same/recording.json", "geo/probe.json"};
    const auto before = contents(dir, inputs);
    for (const Case& c : cases) {
        const ToolRun run = tool(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos)
            << c.arguments << ": " << run.err;
        EXPECT_TRUE(contents(dir, inputs) == before) << c.arguments;
    }
    // Nothing but the inputs: no staging directory, no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator("same"), fs::directory_iterator()), 4);
}

// A re-export replaces the export's own files and keeps the user's others in
// OUTDIR; one that fails once its files are written leaves OUTDIR as it was,
// not a mix of two exports.
TEST(Tool, ReexportReplacesAllFilesOrNone) {
    ScopedWorkDir dir;
    ASSERT_EQ(tool(dir, "record rec.bin --packets 100 --sim --fast-data").status, 0);
    const std::string recording = dir.readFile("rec.bin");
    std::ofstream("twice.bin", std::ios::binary) << recording << recording;
    ASSERT_EQ(tool(dir, "export rec.bin out").status, 0);
    std::ofstream("out/notes.txt") << "mine";
    const std::vector<std::string> kept = {"out/ap.bin",         "out/lfp.bin",
                                           "out/sync.bin",       "out/start_trigger.bin",
                                           "out/recording.json", "out/notes.txt"};
    const auto before = contents(dir, kept);
    fs::remove("out/probe.json");
    fs::create_directories("out/probe.json/inside");

    const ToolRun failed = tool(dir, "export twice.bin out");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("cannot replace out/probe.json: it is a directory"),
              std::string::npos)
        << failed.err;
    EXPECT_TRUE(contents(dir, kept) == before);
    EXPECT_EQ(std::distance(fs::directory_iterator("out"), fs::directory_iterator()), 7);

    fs::remove_all("out/probe.json");
    ASSERT_EQ(tool(dir, "export twice.bin out").status, 0);
    EXPECT_EQ(fs::file_size("out/ap.bin"), 2 * before.at("out/ap.bin").size());
    EXPECT_EQ(dir.readFile("out/notes.txt"), "mine");
}

// Ctrl-C or SIGTERM ends an export at once, removing what it had written and
// the directory it made. The room it reserves is what the recording holds:
// the export of a file that is mostly a hole reserves no more than its data.
TEST(Tool, SignalEndsAnExportWithoutLeavingFiles) {
    ScopedWorkDir dir;
    ASSERT_EQ(tool(dir, "record rec.bin --packets 100 --sim --fast-data").status, 0);
    // Long to read (zeros without a block), nothing on the disk.
    fs::resize_file("rec.bin", uint64_t(4) << 30);
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(TOLMAREN_TOOL, TOLMAREN_TOOL, "export", "rec.bin", "out", nullptr);
            _exit(127);
        }
        // Once the last sample file exists, the others have their room.
        fs::path staged;
        int status = 0;
        while (staged.empty() && waitpid(pid, &status, WNOHANG) == 0) {
            std::error_code error;
            for (fs::recursive_directory_iterator it("out", error), end; !error && it != end;
                 it.increment(error))
                if (it->path().filename() == "start_trigger.bin") staged = it->path();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_FALSE(staged.empty()) << "the export ended by itself";
        struct stat ap;
        ASSERT_EQ(::stat((staged.parent_path() / "ap.bin").c_str(), &ap), 0);
        EXPECT_LT(ap.st_blocks * 512, 2 * 100 * 12 * channels * 2);
        kill(pid, signal);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_FALSE(fs::exists("out")) << signal;
    }
}
