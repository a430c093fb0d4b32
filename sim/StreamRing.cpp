#include "sim/StreamRing.h"

#include "sim/DataStreamEncoder.h"

namespace tolmaren_sim {

namespace {
constexpr unsigned int channels = NeuralSignalModel::channels;
constexpr unsigned int blocksPerPacket = DataStreamEncoder::blocksPerPacket;
constexpr unsigned int slots = channels / DataStreamEncoder::adcs;
} // namespace

void StreamRing::reset(bool electrode, unsigned int packets) {
    electrode_ = electrode;
    unitSize_ = electrode ? DataStreamEncoder::blockSize : DataStreamEncoder::recordSize;
    unitsPerPacket_ = electrode ? blocksPerPacket : blocksPerPacket * slots;
    units_ = static_cast<uint64_t>(packets) * unitsPerPacket_;
    // Every slice is encoded before it is sent: no need to clear.
    bytes_.resize(units_ * unitSize_);
}

void StreamRing::encode(const NeuralSignalModel::Codes& codes, unsigned int firstPacket,
                        unsigned int packets) {
    const unsigned int firstBlock = firstPacket * blocksPerPacket;
    const unsigned int endBlock = (firstPacket + packets) * blocksPerPacket;
    for (unsigned int t = firstBlock; t < endBlock; ++t) {
        const uint16_t* ap = &codes.ap[static_cast<std::size_t>(t) * channels];
        if (electrode_) {
            const unsigned int packet = t / blocksPerPacket;
            DataStreamEncoder::electrodeData(
                unit(t), t % blocksPerPacket, ap,
                &codes.lfp[static_cast<std::size_t>(packet) * channels]);
            continue;
        }
        uint16_t adc[DataStreamEncoder::adcs];
        for (unsigned int slot = 0; slot < slots; ++slot) {
            for (unsigned int a = 0; a < DataStreamEncoder::adcs; ++a)
                adc[a] = ap[a + DataStreamEncoder::adcs * slot];
            DataStreamEncoder::adcData(unit(static_cast<uint64_t>(t) * slots + slot), adc);
        }
    }
}

} // namespace tolmaren_sim
