#pragma once

#include <array>
#include <cstdint>

namespace tolmaren_sim {

// The headstage's signal generator as its registers 0x40 to 0x43 set it:
//   0x40 bits 7..4  frequency setting f (0 to 11: 1, 2, 5, 10, 20, 50, 100,
//                   200, 500, 1000, 2000, 5000 Hz; 12 to 15: no sine)
//   0x40 bits 3..2  form: 00 DC; 01 sine, 1 mV steps; 10 sine, 10 mV steps
//                   (11 counts as 01)
//   0x40 bits 1..0  channel: 01 or 10 active; 00 and 11 off
//   0x41, 0x42      DAC code of the DC level, high and low byte
//   0x43 bits 3..0  amplitude setting a: a steps peak to peak
// Its output is the DC level of the DAC code; in sine form a sine of a x 1 mV
// (or a x 10 mV) peak to peak rides on it. Nothing comes out while the
// channel is off.
class SignalGenerator {
public:
    static constexpr uint8_t firstRegister = 0x40;
    static constexpr unsigned int registerCount = 4;
    using Registers = std::array<uint8_t, registerCount>;

    SignalGenerator() = default;
    explicit SignalGenerator(const Registers& registers) : registers_(registers) {}

    bool active() const;
    bool sine() const;
    uint16_t dcCode() const;
    // The DC level in volts (the centre of the sine).
    double dcVolts() const { return dcVolts(dcCode()); }
    // Peak amplitude (volts) and frequency (Hz) of the sine; both 0 in DC
    // form and for frequency settings without a sine.
    double sinePeak() const;
    double frequency() const;
    // The output at a time in seconds: 0 while off.
    double volts(double seconds) const;

    // The level of a DAC code: linear between the codes of the host's level
    // table (0 gives 1.59 mV, 2925 gives 150 mV, ..., 20977 gives 1050 mV),
    // above the last one continued with the slope of the last step.
    static double dcVolts(uint16_t code);

    bool operator==(const SignalGenerator& other) const { return registers_ == other.registers_; }
    bool operator!=(const SignalGenerator& other) const { return !(*this == other); }

private:
    Registers registers_{};
};

} // namespace tolmaren_sim
