// The headstage EEPROM through its controller registers, the probe identity
// from the options and the file that keeps the content across restarts.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "common/ScopedWorkDir.h"
#include "sim/SimulatorSession.h"

using tolmaren_sim::BasestationSimulator;
using tolmaren_sim::EepromFault;
using tolmaren_sim::Faults;
using tolmaren_sim::SimulatorOptions;

namespace {

constexpr uint8_t done = 0x10;
constexpr uint8_t error = 0x01;

// The host's controller sequences. Each returns the status read after the
// last launched transaction.
uint8_t launch(SimulatorSession& s, uint8_t command) {
    s.headstageWrite(0x62, command);
    s.headstageWrite(0x60, 1);
    s.headstageWrite(0x60, 0);
    return s.headstageRead(0x61);
}

void address(SimulatorSession& s, unsigned int addr) {
    s.headstageWrite(0x61, 0x11);
    s.headstageWrite(0x66, static_cast<uint8_t>(addr >> 8));
    s.headstageWrite(0x67, static_cast<uint8_t>(addr));
}

uint8_t writeByte(SimulatorSession& s, unsigned int addr, uint8_t value) {
    address(s, addr);
    s.headstageWrite(0x63, value);
    const uint8_t enabled = launch(s, 0x96);
    if ((enabled & (done | error)) != done) return enabled;
    s.headstageWrite(0x61, 0x11);
    s.headstageWrite(0x62, 0x6C);
    s.headstageWrite(0x60, 1);
    s.headstageWrite(0x60, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return s.headstageRead(0x61);
}

std::pair<uint8_t, uint8_t> readByte(SimulatorSession& s, unsigned int addr) {
    address(s, addr);
    const uint8_t status = launch(s, 0x03);
    return {status, s.headstageRead(0x64)};
}

} // namespace

TEST(SimulatorEeprom, IdentityFromOptionsAndBytesThroughTheController) {
    SimulatorOptions options;
    options.serialNumber = 1234;
    options.probeType = 2;
    SimulatorSession s(options);
    // Packed 0x800004D2, least significant byte first.
    const auto contents = s.sim.eepromContents();
    EXPECT_EQ(std::vector<uint8_t>(contents.begin(), contents.begin() + 4),
              (std::vector<uint8_t>{0xD2, 0x04, 0x00, 0x80}));
    EXPECT_EQ(contents[116], 0xFF); // erased
    EXPECT_EQ(readByte(s, 3), std::make_pair(done, uint8_t{0x80}));
    EXPECT_EQ(s.sim.probeType(), 2);

    EXPECT_EQ(writeByte(s, 2047, 0x3F), done);
    EXPECT_EQ(s.sim.eepromContents()[2047], 0x3F);
    EXPECT_EQ(readByte(s, 2047), std::make_pair(done, uint8_t{0x3F}));
}

TEST(SimulatorEeprom, ControllerRefusesWhatItCannotDo) {
    SimulatorSession s;
    // A write without write enable.
    address(s, 10);
    s.headstageWrite(0x63, 0x42);
    EXPECT_EQ(launch(s, 0x6C), done | error);
    EXPECT_EQ(s.sim.eepromContents()[10], 0xFF);
    // An address beyond the 2048 bytes.
    EXPECT_EQ(readByte(s, 2048).first, done | error);
    EXPECT_EQ(writeByte(s, 0x0800, 1), done | error);

    s.setFaults([](Faults& f) { f.eeprom = EepromFault::NotDone; });
    EXPECT_EQ(writeByte(s, 10, 0x42) & done, 0);
    s.setFaults([](Faults& f) { f.eeprom = EepromFault::Error; });
    EXPECT_EQ(writeByte(s, 10, 0x42) & error, error);
    EXPECT_EQ(s.sim.eepromContents()[10], 0xFF);
}

TEST(SimulatorEeprom, FileKeepsIdentityAndCalibrationAcrossRestarts) {
    ScopedWorkDir dir;
    const std::string file = dir.path() + "/probe.eeprom";
    SimulatorOptions options;
    options.eepromFile = file;
    options.serialNumber = 77;
    options.probeType = 3;
    {
        SimulatorSession s(options);
        EXPECT_EQ(writeByte(s, 1000, 0x5A), done);
    }
    SimulatorOptions restart;
    restart.eepromFile = file;
    SimulatorSession s(restart);
    EXPECT_EQ(s.sim.probeType(), 3);
    EXPECT_EQ(s.sim.chain(1).size(), 968u);
    EXPECT_EQ(readByte(s, 1000).second, 0x5A);
    EXPECT_EQ(readByte(s, 0).second, 77);
    EXPECT_EQ(readByte(s, 3).second, 0xC0);
}

TEST(SimulatorEeprom, BadIdentityOrFileIsRefused) {
    ScopedWorkDir dir;
    { std::ofstream(dir.path() + "/short.eeprom") << "too short"; }
    SimulatorOptions options;
    options.eepromFile = dir.path() + "/short.eeprom";
    EXPECT_THROW(BasestationSimulator{options}, std::runtime_error);

    SimulatorOptions type;
    type.probeType = 4;
    EXPECT_THROW(BasestationSimulator{type}, std::invalid_argument);
    SimulatorOptions serial;
    serial.serialNumber = 0x40000000;
    EXPECT_THROW(BasestationSimulator{serial}, std::invalid_argument);
}
