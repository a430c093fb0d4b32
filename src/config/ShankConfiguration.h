#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "config/AsicID.h"

// Host model of the probe ASIC's shank chain: which electrode (named by its
// bank) each channel records from, plus the even and odd external-reference
// flags. Only probe types 2 (960 electrodes, 962-bit chain) and 3 (966
// electrodes, 968-bit chain) have a shank.
//
// Status codes: 0 done; 1 the probe type has no shank chain; 2 channel out of
// range; 3 electrode out of range; 4 a decoded chain connects a channel to more
// than one electrode; 5 a chain to decode is shorter than the encoded length.
class ShankConfiguration {
public:
    static constexpr unsigned int channelCount = 384;
    static constexpr uint32_t disconnected = 255;

    // The identity is not owned; a null pointer reads as probe type 0.
    explicit ShankConfiguration(AsicID* asicId);

    void setAsicId(AsicID* asicId) { asicId_ = asicId; }
    void reset();

    unsigned int setElectrodeConnection(unsigned int channel, uint8_t bank);
    unsigned int enableElectrode(unsigned int electrode);
    void setEvenReference(bool value) { evenReference_ = value; }
    void setOddReference(bool value) { oddReference_ = value; }
    bool getEvenReference() const { return evenReference_; }
    bool getOddReference() const { return oddReference_; }
    unsigned int disableAllInternalReferences();

    // The 384 connections in channel order: bank number, or 255 when none.
    void getElectrodeConnections(std::vector<uint8_t>& connections) const;

    // Replaces `chain` with the encoded model; on failure it is left empty.
    unsigned int getChain(std::vector<bool>& chain) const;
    // Consumes the encoded length from the end of `chain`. On 4 every channel
    // keeps its lowest connected bank.
    unsigned int getShankConfigFromChain(std::vector<bool>& chain);

private:
    // Shank geometry of one probe type: electrode e belongs to channel
    // e mod channels, bank e div channels.
    struct Layout {
        unsigned int channels;
        unsigned int electrodes;
    };

    int probeType() const;
    bool layout(Layout& out) const;

    std::array<uint32_t, channelCount> connections_;
    AsicID* asicId_;
    bool evenReference_;
    bool oddReference_;
};
