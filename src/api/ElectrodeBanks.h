#pragma once

// How a probe type reaches its electrodes: W channels at a time, electrode
// j on channel j mod W of bank j div W. Probe types 0 and 1 have one bank of
// 384; type 2 banks of 384, 384 and 192 (960 electrodes); type 3 banks of
// 276, 276, 276 and 138 (966).
class ElectrodeBanks {
public:
    explicit ElectrodeBanks(int probeType) : type3_(probeType == 3), type2_(probeType == 2) {}

    unsigned int channels() const { return type3_ ? 276 : 384; }
    unsigned int count() const { return type3_ ? 4 : type2_ ? 3 : 1; }
    unsigned int width(unsigned int bank) const {
        return bank + 1 < count() ? channels() : electrodes() - bank * channels();
    }
    unsigned int electrodes() const { return type3_ ? 966 : type2_ ? 960 : 384; }

    // Channels 36, 75, 112, 151, 188, 227, 264, 303, 340 and 379 of every
    // bank are the probe's internal references.
    static bool isReferenceChannel(unsigned int channel);

private:
    bool type3_;
    bool type2_;
};
