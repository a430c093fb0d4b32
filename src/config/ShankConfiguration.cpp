#include "config/ShankConfiguration.h"

namespace {

constexpr unsigned int internalReferenceChannels[] = {36,  75,  112, 151, 188,
                                                      227, 264, 303, 340, 379};

} // namespace

ShankConfiguration::ShankConfiguration(AsicID* asicId) : asicId_(asicId) {
    reset();
}

void ShankConfiguration::reset() {
    connections_.fill(disconnected);
    evenReference_ = true;
    oddReference_ = true;
}

// Without an identity the model behaves as for probe type 0: no shank chain.
int ShankConfiguration::probeType() const {
    return asicId_ ? asicId_->probeType : 0;
}

bool ShankConfiguration::layout(Layout& out) const {
    switch (probeType()) {
    case 2:
        out = Layout{384, 960};
        return true;
    case 3:
        out = Layout{276, 966};
        return true;
    default:
        return false;
    }
}

unsigned int ShankConfiguration::setElectrodeConnection(unsigned int channel, uint8_t bank) {
    Layout shank{};
    if (!layout(shank)) return 1;
    if (channel >= shank.channels) return 2;
    if (bank == disconnected) {
        connections_[channel] = disconnected;
        return 0;
    }
    if (bank * shank.channels + channel >= shank.electrodes) return 3;
    connections_[channel] = bank;
    return 0;
}

unsigned int ShankConfiguration::enableElectrode(unsigned int electrode) {
    Layout shank{};
    if (!layout(shank)) return 1;
    if (electrode >= shank.electrodes) return 3;
    return setElectrodeConnection(electrode % shank.channels,
                                  static_cast<uint8_t>(electrode / shank.channels));
}

unsigned int ShankConfiguration::disableAllInternalReferences() {
    if (probeType() < 2) return 1;
    for (unsigned int channel : internalReferenceChannels)
        connections_[channel] = disconnected;
    return 0;
}

void ShankConfiguration::getElectrodeConnections(std::vector<uint8_t>& connections) const {
    connections.assign(connections_.begin(), connections_.end());
}

// Chain: even reference, odd electrodes from the highest down to 1, even
// electrodes from 0 up to the highest, odd reference.
unsigned int ShankConfiguration::getChain(std::vector<bool>& chain) const {
    chain.clear();
    Layout shank{};
    if (!layout(shank)) return 1;
    std::vector<bool> flags(shank.electrodes, false);
    for (unsigned int channel = 0; channel < shank.channels; ++channel) {
        if (connections_[channel] == disconnected) continue;
        const unsigned long long electrode =
            static_cast<unsigned long long>(connections_[channel]) * shank.channels + channel;
        if (electrode >= shank.electrodes) return 3;
        flags[electrode] = true;
    }
    chain.reserve(shank.electrodes + 2);
    chain.push_back(evenReference_);
    for (int electrode = shank.electrodes - 1; electrode >= 1; electrode -= 2) {
        chain.push_back(flags[electrode]);
    }
    for (unsigned int electrode = 0; electrode < shank.electrodes; electrode += 2) {
        chain.push_back(flags[electrode]);
    }
    chain.push_back(oddReference_);
    return 0;
}

unsigned int ShankConfiguration::getShankConfigFromChain(std::vector<bool>& chain) {
    Layout shank{};
    if (!layout(shank)) return 1;
    // A short chain would leave the model half decoded; refuse it whole.
    if (chain.size() < shank.electrodes + 2) return 5;

    std::vector<bool> flags(shank.electrodes, false);
    oddReference_ = chain.back();
    chain.pop_back();
    for (int electrode = shank.electrodes - 2; electrode >= 0; electrode -= 2) {
        flags[electrode] = chain.back();
        chain.pop_back();
    }
    for (unsigned int electrode = 1; electrode < shank.electrodes; electrode += 2) {
        flags[electrode] = chain.back();
        chain.pop_back();
    }
    evenReference_ = chain.back();
    chain.pop_back();

    unsigned int result = 0;
    for (unsigned int channel = 0; channel < shank.channels; ++channel) {
        connections_[channel] = disconnected;
        for (unsigned int bank = 0; bank * shank.channels + channel < shank.electrodes; ++bank) {
            if (!flags[bank * shank.channels + channel]) continue;
            if (connections_[channel] == disconnected) {
                connections_[channel] = bank;
            } else {
                result = 4;
            }
        }
    }
    return result;
}
