#include "sim/EepromController.h"

namespace tolmaren_sim {

EepromController::EepromController(Eeprom& eeprom, const Faults& faults)
    : eeprom_(eeprom), faults_(faults) {}

uint8_t EepromController::read(uint8_t reg) const {
    switch (reg) {
    case 0x60:
        return start_;
    case 0x61: {
        uint8_t status = status_;
        if (busy()) status &= static_cast<uint8_t>(~statusDone);
        if (faults_.eeprom == EepromFault::NotDone) status &= static_cast<uint8_t>(~statusDone);
        if (faults_.eeprom == EepromFault::Error) status |= statusError;
        return status;
    }
    case 0x62:
        return command_;
    case 0x63:
        return dataToWrite_;
    case 0x64:
        return dataRead_;
    case 0x65:
        return setting_;
    case 0x66:
        return addressHigh_;
    case 0x67:
        return addressLow_;
    default:
        return 0;
    }
}

void EepromController::write(uint8_t reg, uint8_t value) {
    switch (reg) {
    case 0x60: {
        const bool falling = start_ != 0 && value == 0;
        start_ = value;
        if (falling) launch();
        break;
    }
    case 0x61:
        // Preparing a transaction (0x11) clears the previous status.
        status_ = 0;
        break;
    case 0x62:
        command_ = value;
        break;
    case 0x63:
        dataToWrite_ = value;
        break;
    case 0x65:
        setting_ = value;
        break;
    case 0x66:
        addressHigh_ = value;
        break;
    case 0x67:
        addressLow_ = value;
        break;
    default: // 0x64 is read-only
        break;
    }
}

void EepromController::launch() {
    if (faults_.eeprom != EepromFault::None) {
        status_ = faults_.eeprom == EepromFault::Error ? statusDone | statusError : 0;
        return;
    }
    if (busy() || address() >= Eeprom::size) {
        status_ = statusDone | statusError;
        return;
    }
    switch (command_) {
    case WriteEnable:
        writeEnabled_ = true;
        status_ = statusDone;
        break;
    case Write:
        if (!writeEnabled_) {
            status_ = statusDone | statusError;
            break;
        }
        writeEnabled_ = false;
        if (faults_.eepromWritableBytes && bytesStored_ >= *faults_.eepromWritableBytes) {
            status_ = statusDone | statusError;
            break;
        }
        ++bytesStored_;
        status_ = eeprom_.write(address(), dataToWrite_) ? statusDone : statusDone | statusError;
        busyUntil_ = std::chrono::steady_clock::now() + writeCycle;
        break;
    case Read:
        dataRead_ = eeprom_.read(address());
        status_ = statusDone;
        break;
    default:
        status_ = statusDone | statusError;
        break;
    }
}

} // namespace tolmaren_sim
