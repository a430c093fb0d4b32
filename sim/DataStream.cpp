#include "sim/DataStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <tuple>

#include "sim/DataGenerator.h"
#include "sim/DataStreamEncoder.h"

namespace tolmaren_sim {

DataStream::DataStream(const DataOptions& options, const ProbeSignalModel& model,
                       std::optional<Clock::time_point> syncEpoch)
    : options_(options), model_(model), syncEpoch_(syncEpoch), fifo_(options.fifoBytes) {}

unsigned int DataStream::unitSize() const {
    return electrodeMode_ ? DataStreamEncoder::blockSize : DataStreamEncoder::recordSize;
}

double DataStream::unitRate() const {
    // Each block holds 12 conversion slots of the 32 ADCs.
    const double blocks = DataStreamEncoder::blockRate;
    return electrodeMode_ ? blocks
                          : blocks * (DataStreamEncoder::channels / DataStreamEncoder::adcs);
}

void DataStream::restart(Clock::time_point now) {
    nextSeq_ = 0;
    fifo_.reset(unitSize(), 0);
    origin_ = now;
    originUnit_ = 0;
    phaseSync();
    dropEnd_ = 0;
    expected_ = 0;
    overflow_ = false; // what was lost belonged to the stream before
    droppedBefore_ = 0;
    overflowedBefore_ = 0;
}

void DataStream::resume(Clock::time_point now) {
    origin_ = now;
    originUnit_ = options_.pacing == DataPacing::RealTime ? fifo_.nextSeq() : nextSeq_;
    phaseSync();
}

void DataStream::follow(const TriggerLine::Timing& timing, Clock::time_point now) {
    restart(now);
    origin_ = timing.at;
    // The other stream's numbering in units of this one's data mode.
    originUnit_ =
        timing.unitRate == unitRate()
            ? timing.unit
            : static_cast<uint64_t>(std::llround(timing.unit * unitRate() / timing.unitRate));
    const int64_t dueNow = due(now);
    const auto backlog = static_cast<int64_t>(catchUpSeconds * unitRate());
    const uint64_t first = dueNow > backlog ? static_cast<uint64_t>(dueNow - backlog) : 0;
    nextSeq_ = first;
    fifo_.reset(unitSize(), first);
    expected_ = first;
    phaseSync();
}

int64_t DataStream::due(Clock::time_point t) const {
    const double elapsed = std::chrono::duration<double>(t - origin_).count();
    return static_cast<int64_t>(originUnit_) +
           static_cast<int64_t>(std::floor(elapsed * unitRate()));
}

void DataStream::phaseSync() {
    if (!syncEpoch_) {
        syncShift_ = 0;
        return;
    }
    // The block the wave was at when unit originUnit_ was due, less that unit.
    const int64_t period = 2 * DataStreamEncoder::syncHalfPeriod;
    const double sinceEpoch = std::chrono::duration<double>(origin_ - *syncEpoch_).count();
    const auto waveBlock =
        static_cast<int64_t>(std::floor(sinceEpoch * DataStreamEncoder::blockRate));
    const int64_t shift = (waveBlock - static_cast<int64_t>(originUnit_)) % period;
    syncShift_ = static_cast<uint64_t>(shift < 0 ? shift + period : shift);
}

void DataStream::apply(const DataSettings& settings, Clock::time_point now) {
    const bool modeChanged = !started_ || settings.electrodeMode != electrodeMode_;
    const bool pulsed = started_ && settings.datapathResets != settings_.datapathResets;
    const bool reset = settings.datapathReset || pulsed;
    const bool triggered = settings.lineStart && settings.lineStart->sequence != followed_;
    if (started_ && (modeChanged || pulsed || triggered)) ++restarts_;
    DataSettings::Channels channels = settings.decodeChannels();
    AnalogueSetup analogue = settings.decodeAnalogue();
    if (modeChanged || channels != channels_ || analogue != analogue_) ringStale_ = true;
    channels_ = channels;
    analogue_ = analogue;
    electrodeMode_ = settings.electrodeMode;
    if (modeChanged || reset) restart(now);
    const bool streaming = settings.streaming();
    if (triggered) {
        follow(settings.lineStart->timing, now);
        followed_ = settings.lineStart->sequence;
    } else if (streaming && !streaming_) {
        resume(now);
    }
    streaming_ = streaming;
    settings_ = settings;
    started_ = true;
}

void DataStream::produce(Clock::time_point now) {
    if (options_.pacing != DataPacing::RealTime || !streaming_) return;
    const int64_t dueNow = due(now);
    const uint64_t next = fifo_.nextSeq();
    if (dueNow <= static_cast<int64_t>(next)) return;
    const uint64_t count = static_cast<uint64_t>(dueNow) - next;
    if (fifo_.produce(count) > 0) overflow_ = true;
    // The hook measures latency against the steady clock, not the rig's time.
    if (options_.onProduced) options_.onProduced(next, count, Clock::now());
}

void DataStream::stamp(uint8_t* unit, uint64_t seq) const {
    if (electrodeMode_)
        DataStreamEncoder::stampElectrode(unit, seq, settings_.neuralStart,
                                          DataStreamEncoder::synchronization(seq + syncShift_));
    else
        DataStreamEncoder::stampAdc(unit, seq);
}

const uint8_t* DataStream::encode(uint64_t first, uint64_t count) {
    const unsigned int size = unitSize();
    if (settings_.generatorEnabled) {
        const DataGenerator generator(settings_.generatorParam, settings_.generatorPow2);
        scratch_.resize(count * size);
        for (uint64_t i = 0; i < count; ++i) {
            uint8_t* unit = scratch_.data() + i * size;
            if (electrodeMode_)
                generator.electrodeData(unit, first + i);
            else
                generator.adcData(unit, first + i);
            stamp(unit, first + i);
        }
        return scratch_.data();
    }
    uint8_t* base = ring_.unit(first);
    for (uint64_t i = 0; i < count; ++i)
        stamp(base + i * size, first + i);
    return base;
}

uint64_t DataStream::ready(uint64_t first) {
    const unsigned int ringPackets = ProbeSignalModel::ringPackets(analogue_);
    if (ringStale_) {
        ring_.reset(electrodeMode_, ringPackets);
        rendered_.assign((ringPackets + slicePackets - 1) / slicePackets, false);
        ringStale_ = false;
    }
    const uint64_t perSlice = uint64_t(slicePackets) * ring_.unitsPerPacket();
    const uint64_t slot = first % ring_.units();
    const auto slice = static_cast<unsigned int>(slot / perSlice);
    if (!rendered_[slice]) {
        // The last slice of a ring may be shorter.
        const unsigned int firstPacket = slice * slicePackets;
        const unsigned int packets = std::min(slicePackets, ringPackets - firstPacket);
        model_.render(channels_, analogue_, electrodeMode_, firstPacket, packets, codes_);
        ring_.encode(codes_, firstPacket, packets);
        rendered_[slice] = true;
    }
    uint64_t end = (slice + 1) * perSlice;
    while (end < ring_.units() && rendered_[end / perSlice])
        end += perSlice;
    return std::min(end, ring_.units()) - slot;
}

void DataStream::take(uint64_t count) {
    expected_ = position() + count;
    if (options_.pacing == DataPacing::RealTime)
        fifo_.consume(count);
    else
        nextSeq_ += count;
}

bool DataStream::startDrop(uint64_t first, DataFaults& faults) {
    const uint64_t packetUnits =
        electrodeMode_ ? DataStreamEncoder::blocksPerPacket : DataStreamEncoder::recordsPerPacket;
    const auto starts = [&](std::optional<uint64_t>& at, uint64_t units) {
        if (!at || first < *at || first - *at >= units) return false;
        dropEnd_ = *at + units;
        at.reset();
        return true;
    };
    return starts(faults.dropAtUnit, faults.dropUnits) || starts(faults.spliceAtUnit, packetUnits);
}

DataStream::Chunk DataStream::faulty(uint64_t seq, DataFaults& faults) {
    const unsigned int size = unitSize();
    const uint8_t* unit = encode(seq, 1);
    std::vector<uint8_t> copy(unit, unit + size);
    Chunk::Kind kind = Chunk::Intact;
    if (faults.corruptMarkerAtUnit == seq) {
        const unsigned int firstData = electrodeMode_ ? DataStreamEncoder::lfpOffset : 4;
        copy[firstData] = static_cast<uint8_t>((copy[firstData] & 0x3F) | 0x80);
        faults.corruptMarkerAtUnit.reset();
        kind = Chunk::Corrupted;
    }
    if (electrodeMode_ && faults.wrongIndexAtUnit == seq) {
        const auto index =
            static_cast<unsigned int>((seq + 1) % DataStreamEncoder::blocksPerPacket);
        DataStreamEncoder::putWord(
            copy.data(),
            DataStreamEncoder::headerWord(index, settings_.neuralStart,
                                          DataStreamEncoder::synchronization(seq + syncShift_)));
        faults.wrongIndexAtUnit.reset();
        kind = Chunk::Corrupted;
    }
    if (faults.closeAtUnit == seq) {
        faults.closeAtUnit.reset();
        kind = Chunk::Cut;
    }
    scratch_ = std::move(copy);
    return handOut(scratch_.data(), 1, kind);
}

DataStream::Chunk DataStream::handOut(const uint8_t* data, uint64_t count, Chunk::Kind kind) {
    Chunk chunk;
    chunk.data = data;
    chunk.kind = kind;
    chunk.unitBytes = unitSize();
    chunk.size = kind == Chunk::Cut ? chunk.unitBytes / 2 : count * chunk.unitBytes;
    chunk.stream = restarts_;
    chunk.droppedBefore = droppedBefore_;
    chunk.overflowedBefore = overflowedBefore_;
    droppedBefore_ = 0;
    overflowedBefore_ = 0;
    take(count);
    return chunk;
}

DataStream::Chunk DataStream::next(Clock::time_point now, DataFaults& faults) {
    for (;;) {
        if (!started_ || now < pausedUntil_) return {};
        uint64_t first = nextSeq_;
        uint64_t available = std::numeric_limits<uint64_t>::max();
        if (options_.pacing == DataPacing::RealTime)
            std::tie(first, available) = fifo_.front();
        else if (!streaming_)
            return {};
        if (available == 0) return {};
        // Units the FIFO had no room for.
        overflowedBefore_ += first - expected_;
        expected_ = first;

        // Faults of unit first fire now: the drop under way, a stall, a drop
        // or splice that starts here, then those on the unit itself.
        if (first < dropEnd_) {
            const uint64_t n = std::min(available, dropEnd_ - first);
            take(n);
            droppedBefore_ += n;
            continue;
        }
        if (faults.pauseAtUnit == first) {
            faults.pauseAtUnit.reset();
            pausedUntil_ = now + std::chrono::milliseconds(faults.pauseMs);
            return {};
        }
        if (startDrop(first, faults)) continue;

        uint64_t count = std::min<uint64_t>(available, chunkBytes / unitSize());
        if (!settings_.generatorEnabled) count = std::min(count, ready(first));
        const std::optional<uint64_t> wrongIndex =
            electrodeMode_ ? faults.wrongIndexAtUnit : std::nullopt;
        if (faults.corruptMarkerAtUnit == first || wrongIndex == first ||
            faults.closeAtUnit == first)
            return faulty(first, faults);
        // The run ends before the next fault's unit.
        for (const std::optional<uint64_t>& at :
             {faults.pauseAtUnit, faults.dropAtUnit, faults.spliceAtUnit,
              faults.corruptMarkerAtUnit, wrongIndex, faults.closeAtUnit})
            if (at && *at > first) count = std::min(count, *at - first);
        return handOut(encode(first, count), count, Chunk::Intact);
    }
}

DataStream::Clock::time_point DataStream::wakeTime(Clock::time_point now) const {
    if (now < pausedUntil_) return pausedUntil_;
    if (options_.pacing == DataPacing::RealTime && streaming_)
        return now + std::chrono::milliseconds(1); // about 30 blocks at a time
    return now + std::chrono::hours(1);
}

uint32_t DataStream::fifoFill() const {
    return options_.pacing == DataPacing::RealTime ? fifo_.fillRegister() : 0;
}

bool DataStream::takeOverflow() {
    const bool overflow = overflow_;
    overflow_ = false;
    return overflow;
}

uint64_t DataStream::position() const {
    return options_.pacing == DataPacing::RealTime ? fifo_.front().first : nextSeq_;
}

} // namespace tolmaren_sim
