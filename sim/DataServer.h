#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/DataFaults.h"
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
    // Counts n bytes sent and keeps them while the capture has room.
    void sent(const uint8_t* bytes, std::size_t n);
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
