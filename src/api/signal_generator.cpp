#include <algorithm>

#include "api/Tolmaren_basestation_api.h"

// The headstage's signal generator, a DAC driven through headstage
// registers: 0x40 holds the sine's frequency setting (bits 7..4), the output
// form (bits 3..2: 00 DC, 01 sine in 1 mV steps, 10 sine in 10 mV steps) and
// the DAC channel (bits 1..0: 01 or 10 active); 0x41 and 0x42 the DC code,
// high byte first; 0x43 the sine's amplitude setting (bits 3..0).

namespace {

constexpr unsigned char controlRegister = 0x40;
constexpr unsigned char dcHighRegister = 0x41;
constexpr unsigned char dcLowRegister = 0x42;
constexpr unsigned char amplitudeRegister = 0x43;

constexpr unsigned char channelA = 0x01;
constexpr unsigned char sineOneMillivolt = 0x04;
constexpr unsigned char sineTenMillivolts = 0x08;
constexpr unsigned char frequencyBits = 0xF0;
constexpr int largestAmplitude = 15;
constexpr int largestFrequency = 11;

} // namespace

unsigned int Tolmaren_basestation_api::tolmaren_generateDC(std::string level) {
    if (logging()) log_ << "tolmaren_generateDC(" << level << ") called\n";
    const auto entry = dcLevelCodes_.find(level);
    if (entry == dcLevelCodes_.end()) return 3;
    const unsigned short code = entry->second;

    unsigned char control = 0;
    if (tolmaren_headstageReadRegister(controlRegister, control) != 0) return 1;
    // DC output on channel A; the sine's frequency setting stays.
    if (tolmaren_headstageWriteRegister(controlRegister, (control & frequencyBits) | channelA) != 0)
        return 2;
    if (logging())
        log_ << "DC output of DAC selected and DAC channel A activated in HS"
             << " register\n";
    const auto high = static_cast<unsigned char>(code >> 8);
    if (tolmaren_headstageWriteRegister(dcHighRegister, high) != 0) return 2;
    if (logging())
        log_ << "most significant byte of DC voltage level configured to " << std::dec
             << static_cast<unsigned int>(high) << "\n";
    const auto low = static_cast<unsigned char>(code & 0xFF);
    if (tolmaren_headstageWriteRegister(dcLowRegister, low) != 0) return 2;
    if (logging())
        log_ << "least significant byte of DC voltage level configured to " << std::dec
             << static_cast<unsigned int>(low) << "\n"
             << "tolmaren_generateDC(" << level << ") done\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_generateSine(int amplitude, bool tenMillivoltSteps,
                                                             int frequency) {
    // Negative settings are refused too: they have no register bits.
    if (amplitude < 0 || amplitude > largestAmplitude || frequency < 0 ||
        frequency > largestFrequency)
        return 3;
    // The value read is not kept; the read only proves the headstage answers.
    unsigned char control = 0;
    if (tolmaren_headstageReadRegister(controlRegister, control) != 0) return 1;
    const auto form = tenMillivoltSteps ? sineTenMillivolts : sineOneMillivolt;
    if (tolmaren_headstageWriteRegister(
            controlRegister, static_cast<unsigned char>((frequency << 4) | form | channelA)) != 0)
        return 2;
    if (tolmaren_headstageWriteRegister(amplitudeRegister, static_cast<unsigned char>(amplitude)) !=
        0)
        return 2;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getDacControl(int& amplitude, int& frequency,
                                                              bool& tenMillivoltSteps,
                                                              std::string& level,
                                                              DacControlStatusCode& status) {
    unsigned char control = 0;
    if (tolmaren_headstageReadRegister(controlRegister, control) != 0) return 1;
    frequency = control >> 4;
    const unsigned int channel = control & 0x03;
    const unsigned int form = (control >> 2) & 0x03;
    status = channel != 1 && channel != 2 ? DacControlStatusCode::Off
             : form != 0                  ? DacControlStatusCode::SineOutput
                                          : DacControlStatusCode::DcOutput;
    tenMillivoltSteps = form == 2;

    unsigned char high = 0;
    unsigned char low = 0;
    if (tolmaren_headstageReadRegister(dcHighRegister, high) != 0) return 1;
    if (tolmaren_headstageReadRegister(dcLowRegister, low) != 0) return 1;
    const auto code = static_cast<unsigned short>((high << 8) + low);
    const auto entry =
        std::find_if(dcLevelCodes_.begin(), dcLevelCodes_.end(),
                     [code](const auto& levelCode) { return levelCode.second == code; });
    if (entry == dcLevelCodes_.end()) return 1;
    level = entry->first;

    unsigned char setting = 0;
    if (tolmaren_headstageReadRegister(amplitudeRegister, setting) != 0) return 1;
    amplitude = setting & 0x0F;
    return 0;
}
