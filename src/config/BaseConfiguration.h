#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "config/AdditionalSettings.h"
#include "config/AsicID.h"
#include "config/ChanSetxx.h"
#include "config/adcComp.h"
#include "config/adcPairCommon.h"

// Host model of the probe ASIC's base configuration chain (7414 bits): ADC
// comparator and pair calibration settings, per-channel gains, standby and
// reference selection, and the ASIC-wide additional settings.
//
// Setter status codes: 0 done; 1 ADC or ADC pair out of range, or an ADC or
// pair vector of the wrong size; 2 channel out of range, or a channel vector of
// the wrong size; 3 value out of range. A failing vector setter keeps what it
// copied before the failing field.
class BaseConfiguration {
public:
    static constexpr unsigned int chainLength = 7414;
    static constexpr unsigned int adcCount = 32;
    static constexpr unsigned int adcPairCount = 16;
    static constexpr unsigned int channelCount = 384;
    static constexpr unsigned int referenceCount = 11;

    // The identity is not owned; a null pointer reads as probe type 0.
    explicit BaseConfiguration(AsicID* asicId);

    void setAsicId(AsicID* asicId) { asicId_ = asicId; }
    void reset();

    unsigned int setAdcCompP(uint8_t adc, uint8_t value);
    unsigned int setAdcCompN(uint8_t adc, uint8_t value);
    unsigned int setAdcComp(const std::vector<adcComp>& comps);

    unsigned int setAdcPairSlope(uint8_t pair, uint8_t value);
    unsigned int setAdcPairFine(uint8_t pair, uint8_t value);
    unsigned int setAdcPairCoarse(uint8_t pair, uint8_t value);
    unsigned int setAdcPairSlope(uint8_t pair, uint8_t slope, uint8_t coarse, uint8_t fine);
    unsigned int setAdcPairCfix(uint8_t pair, uint8_t value);
    unsigned int setAdcPair(const std::vector<adcPairCommon>& pairs);

    unsigned int setChannelSettingApGain(unsigned int channel, uint8_t gain);
    unsigned int setChannelSettingLfpGain(unsigned int channel, uint8_t gain);
    unsigned int setChannelSettingStandby(unsigned int channel, bool standby);
    unsigned int setChannelSettings(const std::vector<ChanSetxx>& settings);

    unsigned int setChannelReferenceIndex(unsigned int channel, unsigned int index);
    unsigned int setAllChannelReferenceIndices(const std::vector<uint8_t>& indices);

    unsigned int setAdditionalSettingBwHp(unsigned int value);
    unsigned int setAdditionalSettingSwBulk(bool value);
    unsigned int setAdditionalSettingSelBias(bool value);
    unsigned int setAdditionalSettingTestOn(bool value);
    unsigned int setAdditionalSettingSarCal(bool value);

    unsigned int setAllAPGains(uint8_t gain);
    unsigned int setAllLFPGains(uint8_t gain);
    unsigned int setAllStandby(bool standby);
    unsigned int setAllReferences(uint8_t index);

    std::vector<adcComp> getAdcCalibrationComp() const;
    std::vector<adcPairCommon> getAdcCalibrationCommon() const;
    std::vector<ChanSetxx> getChannelSettings() const;
    // Per channel the highest reference index whose flag is set, 0 when none.
    std::vector<uint8_t> getAllChannelReferenceIndices() const;
    // Leaves `index` untouched when the channel has no flag set.
    unsigned int getChannelReferenceIndex(unsigned int channel, uint8_t& index) const;
    unsigned int getAdditionalSettings(AdditionalSettings& settings) const;

    // Replaces `chain` with the encoded model, chain bit 0 first.
    void getChain(std::vector<bool>& chain) const;
    // Consumes `chain` from its end. A vector that is not exactly chainLength
    // bits long is ignored (0, nothing changes). Returns 5 when a channel holds
    // a second set reference flag; the decode then stops there.
    unsigned int getBaseConfigFromChain(std::vector<bool>& chain);

    // Appends the `count` lowest bits of `value`, least significant first.
    static void switchBitsToChain(uint8_t value, uint8_t count, std::vector<bool>& chain);
    // Removes `count` bits from the end of `chain`; the last bit becomes the
    // most significant. Stops early on an empty chain.
    static uint8_t switchBitsFromChain(uint8_t count, std::vector<bool>& chain);

private:
    int probeType() const;
    unsigned int channelsInUse() const;
    void setReference(unsigned int channel, unsigned int index);
    int highestReference(unsigned int channel) const;

    void appendAdcGroup(unsigned int parity, std::vector<bool>& chain) const;
    void appendChannelSettings(unsigned int parity, std::vector<bool>& chain) const;
    void appendReferences(unsigned int parity, std::vector<bool>& chain) const;
    void takeAdcGroup(unsigned int parity, std::vector<bool>& chain);
    void takeChannelSettings(unsigned int parity, std::vector<bool>& chain);
    bool takeReferences(unsigned int parity, std::vector<bool>& chain);

    std::array<adcComp, adcCount> comps_;
    std::array<adcPairCommon, adcPairCount> pairs_;
    std::array<ChanSetxx, channelCount> channels_;
    std::array<std::array<bool, referenceCount>, channelCount> referenceSelection_;
    AdditionalSettings additional_;
    AsicID* asicId_;
};
