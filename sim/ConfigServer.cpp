#include "sim/ConfigServer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>

#include "sim/HdlcCodec.h"
#include "sim/RegisterProtocol.h"

namespace tolmaren_sim {

ConfigServer::ConfigServer(std::mutex& mutex, HardwareModel& hardware)
    : mutex_(mutex), hardware_(hardware), thread_([this](int client) { serve(client); }) {}

ConfigServer::~ConfigServer() {
    stop();
}

void ConfigServer::serve(int client) {
    const StopSignal& stop = thread_.stopSignal();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++hardware_.counters.connections;
    }
    // Requests are awaited in a blocking receive, one system call each; stop()
    // ends that wait by shutting the receiving side down (ServerThread).
    const int flags = ::fcntl(client, F_GETFL);
    if (flags < 0 || ::fcntl(client, F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw std::runtime_error("cannot make the configuration client blocking");
    HdlcCodec codec;
    uint64_t droppedSoFar = 0;
    std::vector<uint8_t> buffer(65536);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> reply;
    for (;;) {
        const ssize_t received = ::recv(client, buffer.data(), buffer.size(), 0);
        if (received < 0 && errno == EINTR) continue;
        if (received <= 0 || stop.raised()) return; // closed by the client, failed or stopped

        frames.clear();
        codec.feed(buffer.data(), static_cast<std::size_t>(received), frames);
        if (codec.droppedFrames() != droppedSoFar) {
            std::lock_guard<std::mutex> lock(mutex_);
            hardware_.counters.droppedFrames += codec.droppedFrames() - droppedSoFar;
            droppedSoFar = codec.droppedFrames();
        }
        for (const auto& request : frames) {
            const Outcome outcome = process(request);
            if (outcome.close) return;
            if (outcome.delayMs && stop.waitFor(outcome.delayMs)) return;
            if (!outcome.reply) continue;
            HdlcCodec::encode(*outcome.reply, reply);
            if (outcome.cutReply) reply.resize(reply.size() / 2);
            if (!sendAll(client, reply) || outcome.cutReply) return;
            std::lock_guard<std::mutex> lock(mutex_);
            ++hardware_.counters.replies;
        }
    }
}

ConfigServer::Outcome ConfigServer::process(const std::vector<uint8_t>& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    Faults& faults = hardware_.faults;
    RequestCounters& counters = hardware_.counters;
    ++counters.requests;

    Outcome outcome;
    if (faults.closeAfterRequests) {
        if (*faults.closeAfterRequests == 0) {
            faults.closeAfterRequests.reset();
            outcome.close = true;
            return outcome;
        }
        --*faults.closeAfterRequests;
    }

    auto result = RegisterProtocol::handle(request, hardware_.registers, faults.statusErrorBits);
    if (!result) {
        ++counters.droppedFrames;
        return outcome;
    }
    if (result->malformed) ++counters.malformedRequests;

    std::vector<uint8_t>& reply = result->reply;
    switch (faults.reply) {
    case ReplyFault::None:
        break;
    case ReplyFault::NoReply:
        return outcome;
    case ReplyFault::LateReply:
        outcome.delayMs = faults.lateReplyMs;
        break;
    case ReplyFault::WrongFirstWord:
        reply[0] = static_cast<uint8_t>(~reply[0]);
        break;
    case ReplyFault::WrongSize:
        reply.push_back(0);
        break;
    case ReplyFault::CutReply:
        outcome.cutReply = true;
        break;
    }
    outcome.reply = std::move(reply);
    return outcome;
}

bool ConfigServer::sendAll(int client, const std::vector<uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        // Without blocking: a client that does not read must not keep stop() waiting.
        const ssize_t n =
            ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        pollfd fds[2] = {{thread_.stopSignal().fd(), POLLIN, 0}, {client, POLLOUT, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
        if (fds[0].revents) return false;
    }
    return true;
}

} // namespace tolmaren_sim
