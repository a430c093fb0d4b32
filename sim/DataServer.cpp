#include "sim/DataServer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <poll.h>
#include <sys/socket.h>

#include "sim/DataSettings.h"
#include "sim/LoopbackBuffer.h"

namespace tolmaren_sim {

namespace {

using Clock = RigClock::Clock;

// How often the model is read while a client is served.
constexpr auto settingsInterval = std::chrono::milliseconds(5);

int millisecondsUntil(Clock::time_point when, Clock::time_point now) {
    if (when <= now) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::min<long long>(ms, 1000));
}

} // namespace

DataServer::DataServer(std::mutex& mutex, HardwareModel& hardware, const ProbeTruth& truth)
    : mutex_(mutex), hardware_(hardware), truth_(truth), faults_(hardware.options.data.faults),
      thread_([this](int client) { connection(client); }) {}

DataServer::~DataServer() {
    stop();
}

void DataServer::start() {
    if (running() || !hardware_.options.data.listen) return;
    int probeType;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        probeType = hardware_.asic.probeType();
    }
    if (!model_) model_ = std::make_unique<ProbeSignalModel>(probeType, truth_);
    thread_.start(hardware_.options.address, hardware_.options.data.port);
}

DataFaults DataServer::faults() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return faults_;
}

void DataServer::setFaults(const DataFaults& faults) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    faults_ = faults;
}

DataServer::Statistics DataServer::statistics() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return statistics_;
}

void DataServer::sent(const uint8_t* bytes, std::size_t n, const DataStream::Chunk* chunk,
                      std::size_t done) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (chunk != nullptr && chunk->stream == statistics_.restarts) {
        // The units lost before the chunk count once its first unit is out.
        const std::size_t firstOut =
            chunk->kind == DataStream::Chunk::Cut ? chunk->size : chunk->unitBytes;
        if (done < firstOut && done + n >= firstOut) {
            statistics_.unitsDropped += chunk->droppedBefore;
            statistics_.unitsOverflowed += chunk->overflowedBefore;
        }
        const uint64_t whole = (done + n) / chunk->unitBytes - done / chunk->unitBytes;
        if (chunk->kind == DataStream::Chunk::Intact)
            statistics_.unitsIntact += whole;
        else if (chunk->kind == DataStream::Chunk::Corrupted)
            statistics_.unitsCorrupted += whole;
        else if (done + n == chunk->size)
            ++statistics_.unitsCut;
    }
    statistics_.bytesSent += n;
    statistics_.checksum.add(bytes, n);
    std::vector<uint8_t>& capture = statistics_.capture;
    const std::size_t limit = hardware_.options.data.captureBytes;
    if (capture.size() < limit)
        capture.insert(capture.end(), bytes, bytes + std::min(n, limit - capture.size()));
}

void DataServer::track(const DataStream& stream) {
    if (stream.restarts() == statistics_.restarts) return;
    statistics_.restarts = stream.restarts();
    statistics_.unitsIntact = 0;
    statistics_.unitsCorrupted = 0;
    statistics_.unitsCut = 0;
    statistics_.unitsDropped = 0;
    statistics_.unitsOverflowed = 0;
}

void DataServer::connection(int client) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        const uint64_t connections = statistics_.connections + 1;
        const uint64_t bytesSent = statistics_.bytesSent;
        statistics_ = {};
        statistics_.connections = connections;
        statistics_.bytesSent = bytesSent;
    }
    const auto idle = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        hardware_.registers.setFifoFilling(0);
    };
    try {
        serve(client);
    } catch (...) {
        idle();
        throw;
    }
    idle();
}

void DataServer::serve(int client) {
    const int stop = thread_.stopSignal().fd();
    const DataOptions& options = hardware_.options.data;
    RigSignals& rig = *hardware_.rig.signals;
    DataStream stream(options, *model_, rig.syncEpoch);
    LoopbackBuffer loopback(options.loopbackMemoryBytes, options.loopbackLimitBytes);
    std::vector<uint8_t> incoming(1u << 20);
    DataStream::Chunk pending;   // a run of units: it goes out whole before anything else
    std::size_t pendingSent = 0; // bytes of it sent
    uint64_t loopbackTaken = 0;  // bytes the client wrote on this connection
    Clock::time_point nextSettings{};
    std::optional<uint64_t> startsDriven; // software starts the line has had a pulse for

    for (;;) {
        Clock::time_point now = rig.clock.now();
        if (now >= nextSettings) {
            DataSettings settings;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                settings = DataSettings::capture(hardware_);
            }
            // Applied before the FIFO state is reported, so that an overflow
            // from before a datapath reset is not reported after it; one that
            // came meanwhile waits for the next round, whose restart drops it.
            stream.apply(settings, now);
            // A software start drives the line once the stream it started
            // flows, with that stream's timing; starts from before this
            // connection had no stream to drive it with.
            if (!startsDriven) startsDriven = settings.softwareStarts;
            if (settings.softwareStarts != *startsDriven && stream.streaming()) {
                rig.line.fire(hardware_.rig.index, stream.timing());
                startsDriven = settings.softwareStarts;
            }
            {
                std::lock_guard<std::mutex> lock(stateMutex_);
                track(stream);
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                hardware_.registers.setFifoFilling(stream.fifoFill());
                if (hardware_.registers.datapathResets() == settings.datapathResets &&
                    stream.takeOverflow())
                    hardware_.registers.raiseDmaOverflow();
            }
            nextSettings = now + settingsInterval;
        }
        stream.produce(now);

        const uint8_t* out = nullptr;
        std::size_t outSize = 0;
        const bool echo = pendingSent == pending.size && !loopback.empty();
        if (echo) {
            out = loopback.front(outSize);
        } else {
            if (pendingSent == pending.size) {
                std::lock_guard<std::mutex> lock(stateMutex_);
                pending = stream.next(now, faults_);
                pendingSent = 0;
            }
            out = pending.data + pendingSent;
            outSize = pending.size - pendingSent;
        }

        bool blocked = false;
        if (outSize > 0) {
            const ssize_t n = ::send(client, out, outSize, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                if (echo) {
                    sent(out, static_cast<std::size_t>(n));
                    loopback.consume(static_cast<std::size_t>(n));
                } else {
                    sent(out, static_cast<std::size_t>(n), &pending, pendingSent);
                    pendingSent += static_cast<std::size_t>(n);
                    if (pendingSent == pending.size && pending.kind == DataStream::Chunk::Cut)
                        return;
                }
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                blocked = true;
            } else if (!(n < 0 && errno == EINTR)) {
                return; // the client is gone
            }
        }

        // Go on at once while the socket takes bytes; otherwise wait for
        // room, for bytes to echo, or for the next unit or settings.
        int timeout = 0;
        if (outSize == 0 || blocked)
            timeout = millisecondsUntil(std::min(nextSettings, stream.wakeTime(now)), now);
        const std::size_t room = loopback.room();
        short events = static_cast<short>((room > 0 ? POLLIN : 0) | (blocked ? POLLOUT : 0));
        pollfd fds[2] = {{stop, POLLIN, 0}, {client, events, 0}};
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) return;
        if (fds[1].revents & (POLLERR | POLLNVAL)) return;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            if (room == 0) return; // hung up while its bytes could not be taken
            const ssize_t n =
                ::recv(client, incoming.data(), std::min(incoming.size(), room), MSG_DONTWAIT);
            if (n == 0) return; // closed by the client
            if (n > 0) {
                flipLoopbackByte(incoming.data(), static_cast<std::size_t>(n), loopbackTaken);
                loopback.append(incoming.data(), static_cast<std::size_t>(n));
                loopbackTaken += static_cast<uint64_t>(n);
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return;
        }
    }
}

void DataServer::flipLoopbackByte(uint8_t* bytes, std::size_t n, uint64_t position) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    const std::optional<uint64_t> flip = faults_.flipLoopbackByte;
    if (!flip || *flip < position || *flip - position >= n) return;
    bytes[*flip - position] ^= 0xFF;
    faults_.flipLoopbackByte.reset();
}

} // namespace tolmaren_sim
