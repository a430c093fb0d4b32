// What the simulator does that the library's own end-to-end tests do not
// reach: its command line, the EEPROM file, and protocol faults as the
// register stack reports them.
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "common/LiveControlApi.h"
#include "common/TestAddress.h"
#include "link/FileDescriptor.h"
#include "sim/CommandLine.h"
#include "vci/VciEncoder.h"

namespace {

using tolmaren_sim::Faults;
using tolmaren_sim::ReplyFault;
using tolmaren_sim::SimulatorOptions;
using Simulator = LiveControlTest;

template <typename F> std::string failure(F&& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no exception";
}

// The tool's tests pass fault options through; here the identity options, the
// data faults and the refusals.
TEST(SimulatorCommandLine, OptionsAndRefusals) {
    using tolmaren_sim::CommandLine;
    const auto r = CommandLine::parse(
        {"--probe-type", "3", "--serial=0x3FFFFFFF", "--eeprom", "p.bin", "--fpga-version", "5.2"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.probeType, 3);
    EXPECT_EQ(r.options.serialNumber, 0x3FFFFFFFu);
    EXPECT_EQ(r.options.eepromFile, "p.bin");
    EXPECT_EQ(r.options.fpgaVersionMajor * 10 + r.options.fpgaVersionMinor, 52);
    EXPECT_EQ(CommandLine::parse({}).options.configPort, 1235);
    EXPECT_EQ(CommandLine::parse({}).basestations, 1u);
    EXPECT_EQ(CommandLine::parse({"--basestations", "4"}).basestations, 4u);
    const auto d = CommandLine::parse({"--stall-at", "5000", "--stall-ms=250", "--drop-at", "1000",
                                       "--drop-count", "6", "--splice-at", "7", "--corrupt-at", "8",
                                       "--wrong-index-at", "9", "--close-at", "0x10"});
    ASSERT_EQ(d.error, "");
    const tolmaren_sim::DataFaults& f = d.options.data.faults;
    EXPECT_EQ(std::make_pair(f.pauseAtUnit.value_or(0), f.pauseMs), std::make_pair(5000ul, 250u));
    EXPECT_EQ(std::make_pair(f.dropAtUnit.value_or(0), f.dropUnits), std::make_pair(1000ul, 6ul));
    EXPECT_EQ(f.spliceAtUnit, 7u);
    EXPECT_EQ(f.corruptMarkerAtUnit, 8u);
    EXPECT_EQ(f.wrongIndexAtUnit, 9u);
    EXPECT_EQ(f.closeAtUnit, 16u);
    EXPECT_EQ(CommandLine::parse({"--drop-at", "3"}).options.data.faults.dropUnits, 1u);
    for (auto args : std::vector<std::vector<std::string>>{
             {"--probe-type", "4"},
             {"--serial", "1073741824"},
             {"--config-port", "12x"},
             {"--fpga-version", "4"},
             {"--eeprom"},
             {"--no-reply=1"},
             {"--frobnicate"},
             {"--drop-count", "0", "--drop-at", "1"},
             {"--drop-count", "2"},
             {"--stall-ms", "100"},
             {"--close-at", "-1"},
             {"--basestations", "0"},
             {"--basestations", "17"},
             {"--basestations", "2", "--address", "255.255.255.255"},
             {"--basestations", "3", "--serial", "0x3FFFFFFE"}})
        EXPECT_NE(CommandLine::parse(args).error, "") << args[0];
}

TEST_F(Simulator, IdentityAndEepromFileSurviveARestart) {
    SimulatorOptions options = TestAddress::simulator();
    options.eepromFile = dir.path() + "/probe.eeprom";
    options.serialNumber = 1234;
    startSimulator(2, options);
    // Serial 1234, type 2 packed as 0x800004D2, least significant byte first.
    auto contents = sim->eepromContents();
    EXPECT_EQ(std::vector<uint8_t>(contents.begin(), contents.begin() + 4),
              (std::vector<uint8_t>{0xD2, 0x04, 0x00, 0x80}));
    EXPECT_EQ(contents[116], 0xFF) << "erased";
    sim->modify([](tolmaren_sim::HardwareModel& hw) { return hw.eeprom.write(1000, 0x5A); });
    api.reset();
    sim.reset();
    SimulatorOptions restart = TestAddress::simulator();
    restart.eepromFile = options.eepromFile;
    tolmaren_sim::BasestationSimulator again(restart);
    EXPECT_EQ(again.probeType(), 2);
    EXPECT_EQ(again.chain(1).size(), 962u);
    EXPECT_EQ(again.eepromContents()[1000], 0x5A);

    // Files that are not an EEPROM image are refused at once, never read
    // without end or waited on: too short, an endless device, a FIFO, a large
    // sparse file.
    const std::string d = dir.path();
    { std::ofstream(d + "/short.eeprom") << "too short"; }
    std::filesystem::create_symlink("/dev/zero", d + "/zero.eeprom");
    ASSERT_EQ(::mkfifo((d + "/fifo.eeprom").c_str(), 0600), 0);
    { std::ofstream(d + "/sparse.eeprom"); }
    std::filesystem::resize_file(d + "/sparse.eeprom", uint64_t(1) << 30);
    for (const char* bad : {"short", "zero", "fifo", "sparse"}) {
        restart.eepromFile = d + "/" + bad + ".eeprom";
        EXPECT_THROW(tolmaren_sim::BasestationSimulator{restart}, std::runtime_error) << bad;
    }
    // A link planted where the next image is staged is replaced, not followed.
    std::filesystem::create_symlink(d + "/short.eeprom", options.eepromFile + ".part");
    again.modify([](tolmaren_sim::HardwareModel& hw) { return hw.eeprom.write(7, 0x11); });
    EXPECT_EQ(std::filesystem::file_size(d + "/short.eeprom"), 9u);
    EXPECT_EQ(std::filesystem::file_size(options.eepromFile), 2048u);
    SimulatorOptions type;
    type.probeType = 4;
    EXPECT_THROW(tolmaren_sim::BasestationSimulator{type}, std::invalid_argument);
}

TEST_F(Simulator, ReplyFaultsReachTheRegisterStackAsItsExceptions) {
    auto& vci = dynamic_cast<VciEncoder&>(*api->configLink_);
    const unsigned int heartbeat = 0x1000;
    const struct {
        ReplyFault fault;
        std::function<void()> call;
        const char* message;
    } rows[] = {
        {ReplyFault::WrongFirstWord, [&] { vci.vciRead(heartbeat); },
         "vciRead failed: wrong vci reply"},
        {ReplyFault::WrongFirstWord, [&] { vci.vciWrite(heartbeat, 1); },
         "vciWrite failed: wrong vci reply"},
        {ReplyFault::WrongFirstWord, [&] { vci.ping(1); }, "vciPing failed: wrong vci reply"},
        {ReplyFault::WrongFirstWord, [&] { vci.getVciDataWidth(); },
         "vciInfo failed: wrong vci reply"},
        {ReplyFault::WrongSize, [&] { vci.vciWrite(heartbeat, 1); },
         "vciwrite failed: reply size = 9, expected 8"},
        {ReplyFault::WrongSize, [&] { vci.vciBurstRead(heartbeat, 2, VciInterface::Increment); },
         "vciRead failed: reply size = 17, expected 16"},
        {ReplyFault::NoReply, [&] { vci.vciRead(heartbeat); }, "vciRead failed: No reply received"},
        {ReplyFault::LateReply, [&] { vci.vciRead(0x0000); }, "vciRead failed: No reply received"},
    };
    for (const auto& row : rows) {
        setFaults([&](Faults& f) { f.reply = row.fault; });
        EXPECT_EQ(failure(row.call), row.message);
    }
    // The last reply came after its time-out. It is dropped with a line, not
    // taken for the next read's, which would then give 4 instead of 1.
    setFaults([](Faults& f) { f.statusErrorBits = 0x0021; });
    testing::internal::CaptureStderr();
    EXPECT_EQ(vci.vciRead(heartbeat), 1u) << "error bits are printed, not thrown";
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("VciEncoder: dropped a reply of 12 bytes"), std::string::npos);
    EXPECT_NE(printed.find("CRC error\n"), std::string::npos);
    EXPECT_NE(printed.find("Unknown command error\n"), std::string::npos);

    setFaults([](Faults& f) { f.reply = ReplyFault::CutReply; }); // closed in mid-frame
    EXPECT_THROW(vci.vciWrite(heartbeat, 0), morvek::FileDescriptor::ReadError);
    setFaults([](Faults& f) { f.closeAfterRequests = 1; });
    ASSERT_EQ(api->setupConfigLink(), 0u); // no reply is outstanding on a fresh link
    EXPECT_EQ(api->configLink_->vciRead(heartbeat), 0u) << "the cut reply's write was run";
    EXPECT_THROW(api->configLink_->vciWrite(heartbeat, 1), morvek::FileDescriptor::ReadError);
    EXPECT_EQ(sim->registerValue(heartbeat), 0u) << "the request after the close is not run";
    ASSERT_EQ(api->setupConfigLink(), 0u);
    EXPECT_EQ(api->configLink_->vciRead(heartbeat), 0u) << "the fault fired once";
}

} // namespace
