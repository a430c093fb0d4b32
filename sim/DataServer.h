#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/DataFaults.h"
#include "sim/DataStream.h"
#include "sim/HardwareModel.h"
#include "sim/ProbeSignalModel.h"
#include "sim/ProbeTruth.h"
#include "sim/ServerThread.h"
#include "sim/StreamChecksum.h"

namespace tolmaren_sim {

// Serves the data port: one client at a time. It streams electrode blocks or
// ADC records (DataStream) and echoes every byte the client writes, in order
// (LoopbackBuffer); echoed bytes go out between runs of stream units, never
// inside a unit. The model is read under the simulator's mutex every few
// milliseconds and at every connection, never while sending. Each connection
// starts a new stream (unit 0, empty FIFO). Like the configuration port it
// has no idle time-out: a client that stays connected without reading holds
// the port, and the next one gets no data until it closes.
class DataServer {
public:
    // What was sent so far.
    struct Statistics {
        uint64_t connections = 0;
        uint64_t bytesSent = 0;       // on all connections
        std::vector<uint8_t> capture; // the first bytes of the latest connection
        StreamChecksum checksum;      // of every byte sent on the latest connection

        // Times the stream of the latest connection started again at unit 0
        // after the connection's start: once for every settings snapshot
        // (every 5 ms) in which the data mode changed or datapath_reset was
        // written nonzero since the snapshot before, however long it is held.
        uint64_t restarts = 0;
        // The units of the current stream (the latest connection's, since its
        // latest restart). Every unit number is one of: intact, corrupted or
        // cut, counted once the unit has gone to the socket whole (cut: its
        // half); dropped or overflowed, counted once the first unit after
        // it has. So a reader that got every byte sent has read intact +
        // corrupted whole units, of which corrupted fail their checks, has
        // seen counter gaps of dropped + overflowed units in all (units lost
        // after the last one sent are not counted yet), and last got half a
        // unit when cut is 1. Units of the stream before a restart that go
        // out after it (at most one run of DataStream::chunkBytes) count
        // nowhere: a reader's flush during the reset takes them. At any moment
        // one unit may have gone out in part and is not counted yet.
        uint64_t unitsIntact = 0;     // sent whole, as generated
        uint64_t unitsCorrupted = 0;  // sent whole with a wrong marker or block index
        uint64_t unitsCut = 0;        // the first half sent, then the connection closed
        uint64_t unitsDropped = 0;    // never sent: the drop and splice faults
        uint64_t unitsOverflowed = 0; // never sent: the FIFO was full (real-time pacing)
    };

    DataServer(std::mutex& mutex, HardwareModel& hardware, const ProbeTruth& truth);
    ~DataServer();
    DataServer(const DataServer&) = delete;
    DataServer& operator=(const DataServer&) = delete;

    // Binds the options' data port (throws std::runtime_error when it
    // cannot) and serves on a thread of its own.
    void start();
    // Closes the listener and any client; returns once the thread has ended.
    void stop() { thread_.stop(); }
    bool running() const { return thread_.running(); }
    uint16_t port() const { return thread_.port(); }
    const ServerThread& thread() const { return thread_; }

    DataFaults faults() const;
    void setFaults(const DataFaults& faults);
    Statistics statistics() const;

private:
    // One connection: its statistics, its stream, and no FIFO fill after it.
    void connection(int client);
    void serve(int client);
    // Counts n bytes sent and keeps them while the capture has room. For
    // bytes of a chunk of the stream, done of its bytes went before them.
    void sent(const uint8_t* bytes, std::size_t n, const DataStream::Chunk* chunk = nullptr,
              std::size_t done = 0);
    // Takes the stream's restarts into the statistics: the unit counts
    // start again with each.
    void track(const DataStream& stream);
    // Applies the loopback fault to n bytes the client wrote, the first of
    // them at this position on the connection.
    void flipLoopbackByte(uint8_t* bytes, std::size_t n, uint64_t position);

    std::mutex& mutex_; // the model's
    HardwareModel& hardware_;
    const ProbeTruth& truth_;
    std::unique_ptr<ProbeSignalModel> model_;

    mutable std::mutex stateMutex_; // faults and statistics
    DataFaults faults_;
    Statistics statistics_;
    ServerThread thread_; // last: stopped before the rest goes
};

} // namespace tolmaren_sim
