#pragma once

#include <cstdint>
#include <optional>

namespace tolmaren_sim {

// How a targeted serial-link fault shows to the host.
enum class UartFailure {
    Lost,    // the command never reaches the device: nothing answers
    Refused, // the device rejects the command (a corrupted frame): not executed,
             // and 0x00 comes back instead of the acknowledge 0xC3
};

// A fault aimed at chosen command transactions of the serial link: those to
// one device, optionally to one register, of one direction, or writes whose
// first value is a given one. Of the matching transactions the first `skip`
// pass, the `times` after them fail (0: every one after them). Counting starts
// when the faults are set.
struct UartFault {
    UartFault(uint8_t device = 0x40, std::optional<uint8_t> reg = {}, std::optional<bool> read = {},
              std::optional<uint16_t> value = {}, unsigned int skip = 0, unsigned int times = 1,
              UartFailure failure = UartFailure::Lost)
        : device(device), reg(reg), read(read), value(value), skip(skip), times(times),
          failure(failure) {}

    uint8_t device;                // 0x40, 0x80 or 0x90; the read bit is ignored
    std::optional<uint8_t> reg;    // none: every register
    std::optional<bool> read;      // true reads only, false writes only
    std::optional<uint16_t> value; // writes whose first value is this
    unsigned int skip;
    unsigned int times;
    UartFailure failure;
};

} // namespace tolmaren_sim
