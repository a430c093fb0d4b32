#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/DataFaults.h"
#include "sim/DataFifo.h"
#include "sim/DataOptions.h"
#include "sim/DataSettings.h"
#include "sim/NeuralSignalModel.h"
#include "sim/ProbeSignalModel.h"
#include "sim/RigClock.h"
#include "sim/StreamRing.h"
#include "sim/TriggerLine.h"

namespace tolmaren_sim {

// The neural stream of one data connection, apart from the socket: which
// units go out next, in which form and pace, with which faults. Units are
// numbered from 0 at the start of the stream; the stream starts again at 0
// after a datapath reset and when the data mode changes, and when a pulse of
// the trigger line starts it (it then numbers its units as the stream that
// drove the pulse). It carries data only while the settings say the probe
// streams (DataSettings::streaming); in real-time pacing the FIFO still
// empties meanwhile. Times are the rig clock's.
class DataStream {
public:
    using Clock = RigClock::Clock;

    // Bytes to send: a run of whole units, all intact, or one unit that a
    // fault altered; and the units never sent between it and the one before.
    struct Chunk {
        enum Kind {
            Intact,    // units as generated
            Corrupted, // one unit with a wrong marker or block index
            Cut,       // the first half of one unit: close the connection once it is sent
        };
        const uint8_t* data = nullptr;
        std::size_t size = 0;
        Kind kind = Intact;
        unsigned int unitBytes = 0;
        uint64_t stream = 0;           // restarts() when it was made
        uint64_t droppedBefore = 0;    // by the drop and splice faults
        uint64_t overflowedBefore = 0; // lost to a full FIFO
    };

    // The largest run of units handed out at once, about 512 KiB.
    static constexpr std::size_t chunkBytes = 512u << 10;
    // The ring is rendered a slice at a time, when the stream first needs
    // it, so that a change of settings holds the stream up only briefly.
    static constexpr unsigned int slicePackets = 64;
    // The most a stream started by the trigger line catches up with when
    // the stream it follows is older: half a second of units.
    static constexpr double catchUpSeconds = 0.5;

    // syncEpoch: when the rig's synchronization wave started; none for a
    // lone basestation, whose wave starts with every stream.
    DataStream(const DataOptions& options, const ProbeSignalModel& model,
               std::optional<Clock::time_point> syncEpoch);

    // A new snapshot of the model.
    void apply(const DataSettings& settings, Clock::time_point now);
    // Real-time pacing: the probe's units due by now go into the FIFO.
    void produce(Clock::time_point now);
    // The next bytes to send; empty when there are none now. A fault that
    // fires is cleared in faults. The bytes stay valid until the next call.
    Chunk next(Clock::time_point now, DataFaults& faults);
    // When next() can have bytes again after it had none, at the latest.
    Clock::time_point wakeTime(Clock::time_point now) const;

    // The FIFO's fill in t_dma.fifo_filling form (0 in fast pacing).
    uint32_t fifoFill() const;
    // True once for every overflow since the last call.
    bool takeOverflow();
    // Number of the next unit to be sent.
    uint64_t position() const;
    // Times the stream started again after its first start: once for every
    // settings snapshot in which the data mode changed, datapath_reset was
    // written nonzero since the snapshot before, or a pulse of the trigger
    // line started it.
    uint64_t restarts() const { return restarts_; }
    bool electrodeMode() const { return electrodeMode_; }
    bool streaming() const { return streaming_; }
    // When which unit was due: what a pulse of the trigger line carries.
    TriggerLine::Timing timing() const { return {origin_, originUnit_, unitRate()}; }

private:
    unsigned int unitSize() const;
    double unitRate() const;
    void restart(Clock::time_point now);
    // The probe produces from now on; nothing is owed for a pause.
    void resume(Clock::time_point now);
    // Starts the stream again with the numbering and timing of another
    // basestation's stream.
    void follow(const TriggerLine::Timing& timing, Clock::time_point now);
    // Number of the unit due at t: all before it are.
    int64_t due(Clock::time_point t) const;
    // Puts the synchronization wave's phase in step with the stream's timing.
    void phaseSync();
    void stamp(uint8_t* unit, uint64_t seq) const;
    // The bytes of units [first, first + count) (count within one chunk, and
    // within the ring when it is used).
    const uint8_t* encode(uint64_t first, uint64_t count);
    // How many units from first on are encoded back to back in the ring,
    // once the slice that holds first is.
    uint64_t ready(uint64_t first);
    void take(uint64_t count);
    // Fires a drop or splice whose range holds unit first: true when one did.
    bool startDrop(uint64_t first, DataFaults& faults);
    // Unit seq alone, altered by the faults aimed at it, which it clears.
    Chunk faulty(uint64_t seq, DataFaults& faults);
    // The next count units, as data, and the units never sent before them.
    Chunk handOut(const uint8_t* data, uint64_t count, Chunk::Kind kind);

    const DataOptions& options_;
    const ProbeSignalModel& model_;
    const std::optional<Clock::time_point> syncEpoch_;
    DataSettings settings_;
    DataSettings::Channels channels_{};
    AnalogueSetup analogue_;
    bool started_ = false;
    bool electrodeMode_ = true;
    bool ringStale_ = true;
    NeuralSignalModel::Codes codes_;
    StreamRing ring_;
    std::vector<bool> rendered_; // per slice of the ring
    std::vector<uint8_t> scratch_;
    DataFifo fifo_;
    uint64_t nextSeq_ = 0; // fast pacing
    bool streaming_ = false;
    // Unit originUnit_ was due at origin_, the others one unitRate() apart.
    Clock::time_point origin_;
    uint64_t originUnit_ = 0;
    uint64_t syncShift_ = 0; // block n carries the wave's value of block n + syncShift_
    uint64_t followed_ = 0;  // the sequence of the latest pulse followed
    Clock::time_point pausedUntil_;
    uint64_t dropEnd_ = 0;  // units below it are dropped
    uint64_t expected_ = 0; // the next unit, unless units were lost
    bool overflow_ = false;
    uint64_t restarts_ = 0;
    // Units never sent since the last chunk handed out.
    uint64_t droppedBefore_ = 0;
    uint64_t overflowedBefore_ = 0;
};

} // namespace tolmaren_sim
