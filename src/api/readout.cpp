#include <chrono>

#include "api/Tolmaren_basestation_api.h"
#include "data/AdcRecord.h"
#include "data/CodeVolts.h"
#include "data/TolmarenDataConnectionLink.h"

// Status codes of the reads: 0 decoded, 1 not connected, 2 the data mode does
// not match the packet form, 3 the data link delivered nothing, 4 a marker,
// block index or reserved bit was wrong. A failed read has consumed every
// unit it fetched, except a valid block 0 that cut its packet short: the
// next read begins with it.

namespace {

// The fields of place b that its decode stored, in volts.
void storeBlock(const CodePacket& codes, unsigned int b, const BlockProgress& progress,
                ElectrodePacket& packet) {
    packet.synchronization[b] = codes.synchronization[b];
    packet.startTrigger[b] = codes.startTrigger[b];
    for (unsigned int k = 0; k < progress.counters; ++k)
        packet.ctrs[b][k] = codes.counter[b][k];
    // LFP code v of place b is channel 24 (v div 2) + 2 b + v mod 2.
    for (unsigned int v = 0; v < progress.lfpCodes; ++v) {
        const unsigned int channel = 24 * (v / 2) + 2 * b + v % 2;
        packet.lfpData[channel] = CodeVolts::toVolts(codes.lfp[channel]);
    }
    CodeVolts::toVolts(codes.ap[b], progress.dataCodes, packet.apData[b]);
}

} // namespace

unsigned int Tolmaren_basestation_api::tolmaren_readElectrodeData(ElectrodePacket& packet) {
    if (!tolmaren_isConnected()) return 1;
    if (!datamode_) return 2;
    for (unsigned int b = 0; b < ElectrodePacket::blockCount; ++b) {
        BlockProgress progress;
        const auto result = decoder_.readBlock(b, *readCodes_, progress);
        if (result == StreamDecoder::BlockResult::NoData) return 3;
        storeBlock(*readCodes_, b, progress, packet);
        if (result == StreamDecoder::BlockResult::Failed) return 4;
    }
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readADCData(AdcPacket& packet) {
    if (!tolmaren_isConnected()) return 1;
    if (datamode_) return 2;
    const unsigned char* bytes = decoder_.take(AdcPacket::packetSize);
    if (bytes == nullptr) return 3;
    for (unsigned int r = 0; r < AdcPacket::recordCount; ++r) {
        uint16_t codes[AdcRecord::adcs];
        AdcPacket::Record& record = packet.records[r];
        const BlockProgress progress =
            AdcRecord::decode(bytes + r * AdcRecord::bytes, record.ctr, codes);
        CodeVolts::toVolts(codes, progress.dataCodes, record.adcData);
        if (!progress.passed) return 4;
    }
    return 0;
}

// The skips read through the virtual table, so an overridden read serves them.
unsigned int Tolmaren_basestation_api::skipElectrodeData(unsigned int count) {
    ElectrodePacket packet;
    for (unsigned int i = 0; i < count; ++i) {
        const unsigned int status = tolmaren_readElectrodeData(packet);
        if (status != 0) return status;
    }
    return 0;
}

unsigned int Tolmaren_basestation_api::skipAdcData(unsigned int count) {
    AdcPacket packet;
    for (unsigned int i = 0; i < count; ++i) {
        const unsigned int status = tolmaren_readADCData(packet);
        if (status != 0) return status;
    }
    return 0;
}

// Drains the live stream until it pauses for longer than the data link's read
// time-out, then drops what the link and the decoder still hold, so that the
// next read sees only what arrives afterwards: 0. A recording has no stream
// to drain.
// The drain is bounded. Held in reset, the basestation sends only a backlog:
// what it had queued plus the socket buffers. Even ten seconds of the
// 18.36-MB/s stream (184 MB) drain within 2 s over gigabit Ethernet, so a
// stream still flowing after 3 s or 1 GiB of draining is live, not a backlog,
// and would hold the caller for ever: the flush stops there with 2, and still
// drops what the link holds. The datapath reset goes on either way.
unsigned int Tolmaren_basestation_api::tolmaren_flushData() {
    constexpr auto timeLimit = std::chrono::seconds(3);
    constexpr uint64_t byteLimit = uint64_t{1} << 30;
    // A whole buffer at a time: a smaller request could still be served from
    // what arrived before the pause, and the drain would wait out the read
    // time-out twice.
    constexpr unsigned int chunk = TolmarenConnectionLinkIntf::maxRawread;
    if (!tolmaren_isConnected()) return 1;
    if (dummyMode_) return 0;
    decoder_.discard();
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    uint64_t drained = 0;
    unsigned int status = 0;
    while (dataLink_->rawread(chunk) != nullptr) {
        drained += chunk;
        if (drained >= byteLimit || std::chrono::steady_clock::now() >= deadline) {
            status = 2;
            break;
        }
    }
    dataLink_->discard();
    return status;
}

ConnectionLinkPacket Tolmaren_basestation_api::tolmaren_readUnprocessed(unsigned int size) {
    if (dataLink_ == nullptr) return ConnectionLinkPacket();
    return dataLink_->read(size);
}

void Tolmaren_basestation_api::tolmaren_setLowLatency(bool on) {
    lowLatency_ = on;
    // Only a live link has a refill to shorten.
    if (auto* link = dynamic_cast<TolmarenDataConnectionLink*>(dataLink_)) link->setLowLatency(on);
}

float Tolmaren_basestation_api::tolmaren_getScaleFactorToVoltage() {
    return CodeVolts::voltsPerCode;
}
