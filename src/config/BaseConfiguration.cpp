#include "config/BaseConfiguration.h"

namespace {

constexpr uint8_t compMax = 31;
constexpr uint8_t slopeMax = 7;
constexpr uint8_t fineMax = 3;
constexpr uint8_t coarseMax = 3;
constexpr uint8_t cfixMax = 15;
constexpr uint8_t gainMax = 7;
constexpr unsigned int referenceMax = 10;
// Probe type 3 uses only 276 channels and fewer reference inputs.
constexpr int reducedProbeType = 3;
constexpr unsigned int reducedChannelCount = 276;
constexpr uint8_t reducedReferenceMax = 7;

constexpr uint8_t compBits = 5;
constexpr uint8_t slopeBits = 3;
constexpr uint8_t fineBits = 2;
constexpr uint8_t coarseBits = 2;
constexpr uint8_t cfixBits = 4;
constexpr uint8_t gainBits = 3;
constexpr uint8_t bwHpBits = 2;

constexpr unsigned int adcGroups = 8;

} // namespace

BaseConfiguration::BaseConfiguration(AsicID* asicId) : asicId_(asicId) {
    reset();
}

void BaseConfiguration::reset() {
    for (adcComp& comp : comps_)
        comp = adcComp{21, 21};
    for (adcPairCommon& pair : pairs_)
        pair = adcPairCommon{};
    for (ChanSetxx& channel : channels_)
        channel = ChanSetxx{1, 1, false};
    for (unsigned int channel = 0; channel < channelCount; ++channel)
        setReference(channel, 0);
    additional_ = AdditionalSettings{};
}

// Without an identity the model behaves as for probe type 0 (384 channels).
int BaseConfiguration::probeType() const {
    return asicId_ ? asicId_->probeType : 0;
}

unsigned int BaseConfiguration::channelsInUse() const {
    return probeType() == reducedProbeType ? reducedChannelCount : channelCount;
}

void BaseConfiguration::setReference(unsigned int channel, unsigned int index) {
    referenceSelection_[channel].fill(false);
    referenceSelection_[channel][index] = true;
}

int BaseConfiguration::highestReference(unsigned int channel) const {
    for (int index = referenceCount - 1; index >= 0; --index) {
        if (referenceSelection_[channel][index]) return index;
    }
    return -1;
}

unsigned int BaseConfiguration::setAdcCompP(uint8_t adc, uint8_t value) {
    if (adc >= adcCount) return 1;
    if (value > compMax) return 3;
    comps_[adc].compP = value;
    return 0;
}

unsigned int BaseConfiguration::setAdcCompN(uint8_t adc, uint8_t value) {
    if (adc >= adcCount) return 1;
    if (value > compMax) return 3;
    comps_[adc].compN = value;
    return 0;
}

unsigned int BaseConfiguration::setAdcComp(const std::vector<adcComp>& comps) {
    if (comps.size() != adcCount) return 1;
    for (unsigned int adc = 0; adc < adcCount; ++adc) {
        if (comps[adc].compP > compMax) return 3;
        comps_[adc].compP = comps[adc].compP;
        if (comps[adc].compN > compMax) return 3;
        comps_[adc].compN = comps[adc].compN;
    }
    return 0;
}

unsigned int BaseConfiguration::setAdcPairSlope(uint8_t pair, uint8_t value) {
    if (pair >= adcPairCount) return 1;
    if (value > slopeMax) return 3;
    pairs_[pair].slope = value;
    return 0;
}

unsigned int BaseConfiguration::setAdcPairFine(uint8_t pair, uint8_t value) {
    if (pair >= adcPairCount) return 1;
    if (value > fineMax) return 3;
    pairs_[pair].fine = value;
    return 0;
}

unsigned int BaseConfiguration::setAdcPairCoarse(uint8_t pair, uint8_t value) {
    if (pair >= adcPairCount) return 1;
    if (value > coarseMax) return 3;
    pairs_[pair].coarse = value;
    return 0;
}

unsigned int BaseConfiguration::setAdcPairSlope(uint8_t pair, uint8_t slope, uint8_t coarse,
                                                uint8_t fine) {
    if (pair >= adcPairCount) return 1;
    if (slope > slopeMax || coarse > coarseMax || fine > fineMax) return 3;
    pairs_[pair].slope = slope;
    pairs_[pair].coarse = coarse;
    pairs_[pair].fine = fine;
    return 0;
}

unsigned int BaseConfiguration::setAdcPairCfix(uint8_t pair, uint8_t value) {
    if (pair >= adcPairCount) return 1;
    if (value > cfixMax) return 3;
    pairs_[pair].cfix = value;
    return 0;
}

unsigned int BaseConfiguration::setAdcPair(const std::vector<adcPairCommon>& pairs) {
    if (pairs.size() != adcPairCount) return 1;
    for (unsigned int pair = 0; pair < adcPairCount; ++pair) {
        const adcPairCommon& in = pairs[pair];
        if (in.slope > slopeMax || in.fine > fineMax || in.coarse > coarseMax) return 3;
        pairs_[pair].slope = in.slope;
        pairs_[pair].fine = in.fine;
        pairs_[pair].coarse = in.coarse;
        if (in.cfix > cfixMax) return 3;
        pairs_[pair].cfix = in.cfix;
    }
    return 0;
}

unsigned int BaseConfiguration::setChannelSettingApGain(unsigned int channel, uint8_t gain) {
    if (channel >= channelCount) return 2;
    if (gain > gainMax) return 3;
    channels_[channel].apGain = gain;
    return 0;
}

unsigned int BaseConfiguration::setChannelSettingLfpGain(unsigned int channel, uint8_t gain) {
    if (channel >= channelCount) return 2;
    if (gain > gainMax) return 3;
    channels_[channel].lfpGain = gain;
    return 0;
}

unsigned int BaseConfiguration::setChannelSettingStandby(unsigned int channel, bool standby) {
    if (channel >= channelCount) return 2;
    channels_[channel].standby = standby;
    return 0;
}

unsigned int BaseConfiguration::setChannelSettings(const std::vector<ChanSetxx>& settings) {
    if (settings.size() != channelsInUse()) return 2;
    for (unsigned int channel = 0; channel < settings.size(); ++channel) {
        const ChanSetxx& in = settings[channel];
        if (in.apGain > gainMax) return 3;
        channels_[channel].apGain = in.apGain;
        if (in.lfpGain > gainMax) return 3;
        channels_[channel].lfpGain = in.lfpGain;
        channels_[channel].standby = in.standby;
    }
    return 0;
}

unsigned int BaseConfiguration::setChannelReferenceIndex(unsigned int channel, unsigned int index) {
    if (channel >= channelCount) return 2;
    if (index > referenceMax) return 3;
    if (probeType() == reducedProbeType && channel >= reducedChannelCount) return 2;
    setReference(channel, index);
    return 0;
}

unsigned int BaseConfiguration::setAllChannelReferenceIndices(const std::vector<uint8_t>& indices) {
    if (indices.size() != channelsInUse()) return 2;
    for (unsigned int channel = 0; channel < indices.size(); ++channel) {
        const unsigned int result = setChannelReferenceIndex(channel, indices[channel]);
        if (result != 0) return result;
    }
    return 0;
}

unsigned int BaseConfiguration::setAdditionalSettingBwHp(unsigned int value) {
    if (value == 2 || value > 3) return 3;
    additional_.BwHp = static_cast<uint8_t>(value);
    return 0;
}

unsigned int BaseConfiguration::setAdditionalSettingSwBulk(bool value) {
    additional_.SwBulk = value;
    return 0;
}

unsigned int BaseConfiguration::setAdditionalSettingSelBias(bool value) {
    additional_.SelBias = value;
    return 0;
}

unsigned int BaseConfiguration::setAdditionalSettingTestOn(bool value) {
    additional_.TestOn = value;
    return 0;
}

unsigned int BaseConfiguration::setAdditionalSettingSarCal(bool value) {
    additional_.SarCal = value;
    return 0;
}

unsigned int BaseConfiguration::setAllAPGains(uint8_t gain) {
    if (gain > gainMax) return 3;
    for (ChanSetxx& channel : channels_)
        channel.apGain = gain;
    return 0;
}

unsigned int BaseConfiguration::setAllLFPGains(uint8_t gain) {
    if (gain > gainMax) return 3;
    for (ChanSetxx& channel : channels_)
        channel.lfpGain = gain;
    return 0;
}

unsigned int BaseConfiguration::setAllStandby(bool standby) {
    for (ChanSetxx& channel : channels_)
        channel.standby = standby;
    return 0;
}

unsigned int BaseConfiguration::setAllReferences(uint8_t index) {
    const bool reduced = probeType() >= reducedProbeType;
    if (index > (reduced ? reducedReferenceMax : referenceMax)) return 3;
    const unsigned int channels = reduced ? reducedChannelCount : channelCount;
    for (unsigned int channel = 0; channel < channels; ++channel)
        setReference(channel, index);
    return 0;
}

std::vector<adcComp> BaseConfiguration::getAdcCalibrationComp() const {
    return std::vector<adcComp>(comps_.begin(), comps_.end());
}

std::vector<adcPairCommon> BaseConfiguration::getAdcCalibrationCommon() const {
    return std::vector<adcPairCommon>(pairs_.begin(), pairs_.end());
}

std::vector<ChanSetxx> BaseConfiguration::getChannelSettings() const {
    return std::vector<ChanSetxx>(channels_.begin(), channels_.end());
}

std::vector<uint8_t> BaseConfiguration::getAllChannelReferenceIndices() const {
    std::vector<uint8_t> indices(channelCount, 0);
    for (unsigned int channel = 0; channel < channelCount; ++channel) {
        const int index = highestReference(channel);
        if (index >= 0) indices[channel] = static_cast<uint8_t>(index);
    }
    return indices;
}

unsigned int BaseConfiguration::getChannelReferenceIndex(unsigned int channel,
                                                         uint8_t& index) const {
    if (channel >= channelCount) return 2;
    const int highest = highestReference(channel);
    if (highest >= 0) index = static_cast<uint8_t>(highest);
    return 0;
}

unsigned int BaseConfiguration::getAdditionalSettings(AdditionalSettings& settings) const {
    settings = additional_;
    return 0;
}

void BaseConfiguration::switchBitsToChain(uint8_t value, uint8_t count, std::vector<bool>& chain) {
    for (unsigned int bit = 0; bit < count; ++bit) {
        chain.push_back(bit < 8 && ((value >> bit) & 1u) != 0);
    }
}

uint8_t BaseConfiguration::switchBitsFromChain(uint8_t count, std::vector<bool>& chain) {
    unsigned int value = 0;
    for (int bit = count - 1; bit >= 0 && !chain.empty(); --bit) {
        if (chain.back() && bit < 8) value |= 1u << bit;
        chain.pop_back();
    }
    return static_cast<uint8_t>(value);
}

// The odd group (parity 1) holds ADCs 4k+1, 4k+3 and pair 2k+1, the even group
// ADCs 4k, 4k+2 and pair 2k, each for k from 7 down to 0.
void BaseConfiguration::appendAdcGroup(unsigned int parity, std::vector<bool>& chain) const {
    for (int k = adcGroups - 1; k >= 0; --k) {
        for (unsigned int adc : {4 * k + parity, 4 * k + 2 + parity}) {
            switchBitsToChain(comps_[adc].compP, compBits, chain);
            switchBitsToChain(comps_[adc].compN, compBits, chain);
        }
        const adcPairCommon& pair = pairs_[2 * k + parity];
        switchBitsToChain(pair.slope, slopeBits, chain);
        switchBitsToChain(pair.fine, fineBits, chain);
        switchBitsToChain(pair.coarse, coarseBits, chain);
        switchBitsToChain(pair.cfix, cfixBits, chain);
    }
}

void BaseConfiguration::appendChannelSettings(unsigned int parity, std::vector<bool>& chain) const {
    for (unsigned int channel = parity; channel < channelCount; channel += 2) {
        switchBitsToChain(channels_[channel].apGain, gainBits, chain);
        switchBitsToChain(channels_[channel].lfpGain, gainBits, chain);
        chain.push_back(channels_[channel].standby);
    }
}

void BaseConfiguration::appendReferences(unsigned int parity, std::vector<bool>& chain) const {
    for (int channel = channelCount - 2 + parity; channel >= 0; channel -= 2)
        chain.insert(chain.end(), referenceSelection_[channel].begin(),
                     referenceSelection_[channel].end());
}

void BaseConfiguration::getChain(std::vector<bool>& chain) const {
    chain.clear();
    chain.reserve(chainLength);
    appendAdcGroup(1, chain);
    appendChannelSettings(1, chain);
    appendReferences(1, chain);
    appendReferences(0, chain);
    appendChannelSettings(0, chain);
    appendAdcGroup(0, chain);
    switchBitsToChain(additional_.BwHp, bwHpBits, chain);
    chain.push_back(additional_.SwBulk);
    chain.push_back(additional_.SelBias);
    chain.push_back(additional_.TestOn);
    chain.push_back(additional_.SarCal);
}

void BaseConfiguration::takeAdcGroup(unsigned int parity, std::vector<bool>& chain) {
    for (unsigned int k = 0; k < adcGroups; ++k) {
        adcPairCommon& pair = pairs_[2 * k + parity];
        pair.cfix = switchBitsFromChain(cfixBits, chain);
        pair.coarse = switchBitsFromChain(coarseBits, chain);
        pair.fine = switchBitsFromChain(fineBits, chain);
        pair.slope = switchBitsFromChain(slopeBits, chain);
        for (unsigned int adc : {4 * k + 2 + parity, 4 * k + parity}) {
            comps_[adc].compN = switchBitsFromChain(compBits, chain);
            comps_[adc].compP = switchBitsFromChain(compBits, chain);
        }
    }
}

void BaseConfiguration::takeChannelSettings(unsigned int parity, std::vector<bool>& chain) {
    for (int channel = channelCount - 2 + parity; channel >= 0; channel -= 2) {
        channels_[channel].standby = switchBitsFromChain(1, chain) != 0;
        channels_[channel].lfpGain = switchBitsFromChain(gainBits, chain);
        channels_[channel].apGain = switchBitsFromChain(gainBits, chain);
    }
}

// Each flag is stored as it is taken; a second set flag in one channel stops
// the decode with the flags taken so far kept.
bool BaseConfiguration::takeReferences(unsigned int parity, std::vector<bool>& chain) {
    for (unsigned int channel = parity; channel < channelCount; channel += 2) {
        bool seen = false;
        for (int index = referenceCount - 1; index >= 0; --index) {
            const bool flag = switchBitsFromChain(1, chain) != 0;
            referenceSelection_[channel][index] = flag;
            if (flag && seen) return false;
            seen = seen || flag;
        }
    }
    return true;
}

unsigned int BaseConfiguration::getBaseConfigFromChain(std::vector<bool>& chain) {
    if (chain.size() != chainLength) return 0;
    additional_.SarCal = switchBitsFromChain(1, chain) != 0;
    additional_.TestOn = switchBitsFromChain(1, chain) != 0;
    additional_.SelBias = switchBitsFromChain(1, chain) != 0;
    additional_.SwBulk = switchBitsFromChain(1, chain) != 0;
    additional_.BwHp = switchBitsFromChain(bwHpBits, chain);
    takeAdcGroup(0, chain);
    takeChannelSettings(0, chain);
    if (!takeReferences(0, chain)) return 5;
    if (!takeReferences(1, chain)) return 5;
    takeChannelSettings(1, chain);
    takeAdcGroup(1, chain);
    return 0;
}
