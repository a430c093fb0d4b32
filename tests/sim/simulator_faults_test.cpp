// Injected faults of the register-access protocol, each observed as the
// library's exception (or printed error) through VciEncoder.
#include <gtest/gtest.h>

#include "link/FileDescriptor.h"
#include "sim/SimulatorSession.h"

using tolmaren_sim::Faults;
using tolmaren_sim::ReplyFault;

namespace {

template <typename F> std::string failure(F&& f) {
    try {
        f();
    } catch (const VciInterface::Exception& e) {
        return e.what();
    }
    return "no exception";
}

} // namespace

TEST(SimulatorFaults, WrongFirstWordAndWrongSize) {
    SimulatorSession s;
    const unsigned int heartbeat = s.map->tolmaren_cfg.bs_sw_hbeat.getAddress();
    s.setFaults([](Faults& f) { f.reply = ReplyFault::WrongFirstWord; });
    EXPECT_EQ(failure([&] { s.vci->vciRead(heartbeat); }), "vciRead failed: wrong vci reply");
    EXPECT_EQ(failure([&] { s.vci->vciWrite(heartbeat, 1); }), "vciWrite failed: wrong vci reply");
    EXPECT_EQ(failure([&] { s.vci->ping(1); }), "vciPing failed: wrong vci reply");
    EXPECT_EQ(failure([&] { s.vci->getVciDataWidth(); }), "vciInfo failed: wrong vci reply");

    s.setFaults([](Faults& f) { f.reply = ReplyFault::WrongSize; });
    EXPECT_EQ(failure([&] { s.vci->vciWrite(heartbeat, 1); }),
              "vciwrite failed: reply size = 9, expected 8");
    EXPECT_EQ(failure([&] { s.vci->vciBurstRead(heartbeat, 2, VciInterface::Increment); }),
              "vciRead failed: reply size = 17, expected 16");

    s.setFaults([](Faults& f) { f.reply = ReplyFault::None; });
    EXPECT_EQ(s.vci->vciRead(heartbeat), 1u); // the failed write took effect
}

TEST(SimulatorFaults, StatusErrorBitsArePrintedNotThrown) {
    SimulatorSession s;
    s.setFaults([](Faults& f) { f.statusErrorBits = 0x0021; });
    testing::internal::CaptureStderr();
    s.map->tolmaren_cfg.supply.write(0);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("CRC error\n"), std::string::npos);
    EXPECT_NE(printed.find("Unknown command error\n"), std::string::npos);
    EXPECT_EQ(s.sim.registerValue(s.map->tolmaren_cfg.supply.getAddress()), 0u);
}

TEST(SimulatorFaults, MissingAndLateRepliesTimeOut) {
    SimulatorSession s;
    s.setFaults([](Faults& f) { f.reply = ReplyFault::NoReply; });
    EXPECT_EQ(failure([&] { s.map->tolmaren_cfg.datamode.read(); }),
              "vciRead failed: No reply received");

    s.setFaults([](Faults& f) {
        f.reply = ReplyFault::LateReply;
        f.lateReplyMs = 1100;
    });
    s.connect(); // a fresh link: no reply is outstanding on it
    EXPECT_EQ(failure([&] { s.map->leddrv_core.leds.write(4); }),
              "vciwrite failed: No reply received");
    EXPECT_EQ(s.sim.registerValue(s.map->leddrv_core.leds.getAddress()), 4u);
}

TEST(SimulatorFaults, ConnectionClosedAfterNRequests) {
    SimulatorSession s;
    s.setFaults([](Faults& f) { f.closeAfterRequests = 2; });
    EXPECT_EQ(s.map->tolmaren_cfg.fpga_version.major.read(), 4u);
    EXPECT_EQ(s.map->tolmaren_cfg.fpga_version.minor.read(), 1u);
    try {
        s.map->tolmaren_cfg.datamode.write(0);
        FAIL() << "the third request was answered";
    } catch (const morvek::FileDescriptor::ReadError& e) {
        EXPECT_STREQ(e.what(), "TCPDescriptor readn failed");
    }
    EXPECT_EQ(s.sim.registerValue(s.map->tolmaren_cfg.datamode.getAddress()), 1u);
    // The fault fired once; a new connection is served normally.
    s.connect();
    s.map->tolmaren_cfg.datamode.write(0);
    EXPECT_EQ(s.map->tolmaren_cfg.datamode.read(), 0u);
    EXPECT_FALSE(s.sim.faults().closeAfterRequests.has_value());
}
