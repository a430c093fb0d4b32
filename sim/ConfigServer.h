#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/HardwareModel.h"
#include "sim/ServerThread.h"

namespace tolmaren_sim {

// Serves the configuration port: one client at a time, HDLC frames each
// holding one register-access request, one reply frame per request in order.
// A client that connects while another is served waits in the listen backlog
// and is accepted once the other closes. There is no idle time-out, as a
// basestation serves its one host: a client that stays connected without
// sending (or stops in the middle of a frame) holds the port, and the next
// one's requests go unanswered until it closes. stop() ends both at once.
class ConfigServer {
public:
    ConfigServer(std::mutex& mutex, HardwareModel& hardware);
    ~ConfigServer();
    ConfigServer(const ConfigServer&) = delete;
    ConfigServer& operator=(const ConfigServer&) = delete;

    // Binds (throws std::runtime_error when it cannot) and starts serving on
    // a thread of its own.
    void start(const std::string& address, uint16_t port) { thread_.start(address, port); }
    // Closes the listener and any client; returns once the thread has ended.
    void stop() { thread_.stop(); }
    bool running() const { return thread_.running(); }
    uint16_t port() const { return thread_.port(); }
    const ServerThread& thread() const { return thread_; }

private:
    // What to do after one request.
    struct Outcome {
        bool close = false;
        bool cutReply = false; // close after half of the reply's frame
        std::optional<std::vector<uint8_t>> reply;
        unsigned int delayMs = 0;
    };

    void serve(int client);
    Outcome process(const std::vector<uint8_t>& request);
    // False when the client is gone or the server is stopping.
    bool sendAll(int client, const std::vector<uint8_t>& bytes);

    std::mutex& mutex_;
    HardwareModel& hardware_;
    ServerThread thread_; // last: stopped before the rest goes
};

} // namespace tolmaren_sim
