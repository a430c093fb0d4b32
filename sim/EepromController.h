#pragma once

#include <chrono>
#include <cstdint>

#include "sim/Eeprom.h"
#include "sim/Faults.h"

namespace tolmaren_sim {

// The headstage's EEPROM controller, headstage registers 0x60 to 0x67:
// 0x60 start (1 then 0 launches), 0x61 control (write) / status (read: bit 4
// done, bit 0 error), 0x62 command (0x96 write enable, 0x6C write, 0x03
// read), 0x63 byte to write, 0x64 byte read, 0x65 setting, 0x66/0x67 address.
class EepromController {
public:
    static constexpr uint8_t firstRegister = 0x60;
    static constexpr uint8_t lastRegister = 0x67;
    static constexpr uint8_t statusDone = 0x10;
    static constexpr uint8_t statusError = 0x01;
    // A byte write keeps the controller busy (status bit 4 clear) this long.
    static constexpr std::chrono::milliseconds writeCycle{3};

    EepromController(Eeprom& eeprom, const Faults& faults);

    uint8_t read(uint8_t reg) const;
    void write(uint8_t reg, uint8_t value);
    void restartFaultCounts() { bytesStored_ = 0; }

private:
    enum Command : uint8_t { WriteEnable = 0x96, Write = 0x6C, Read = 0x03 };

    void launch();
    unsigned int address() const { return (addressHigh_ << 8) | addressLow_; }
    bool busy() const { return std::chrono::steady_clock::now() < busyUntil_; }

    Eeprom& eeprom_;
    const Faults& faults_;
    uint8_t start_ = 0;
    uint8_t status_ = 0;
    uint8_t command_ = 0;
    uint8_t dataToWrite_ = 0;
    uint8_t dataRead_ = 0;
    uint8_t setting_ = 0;
    uint8_t addressHigh_ = 0;
    uint8_t addressLow_ = 0;
    bool writeEnabled_ = false;
    unsigned int bytesStored_ = 0; // since the faults were set
    std::chrono::steady_clock::time_point busyUntil_{};
};

} // namespace tolmaren_sim
