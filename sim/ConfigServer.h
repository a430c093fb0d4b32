#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/HardwareModel.h"
#include "sim/StopSignal.h"
#include "sim/TcpListener.h"
#include "sim/UniqueFd.h"

namespace tolmaren_sim {

// Serves the configuration port: one client at a time, HDLC frames each
// holding one register-access request, one reply frame per request in order.
// A client that connects while another is served waits in the listen backlog
// and is accepted once the other closes.
class ConfigServer {
public:
    ConfigServer(std::mutex& mutex, HardwareModel& hardware);
    ~ConfigServer();
    ConfigServer(const ConfigServer&) = delete;
    ConfigServer& operator=(const ConfigServer&) = delete;

    // Binds (throws std::runtime_error when it cannot) and starts serving on
    // a thread of its own.
    void start(const std::string& address, uint16_t port);
    // Closes the listener and any client; returns once the thread has ended.
    void stop();
    bool running() const { return thread_.joinable(); }
    uint16_t port() const { return port_; }

private:
    // What to do after one request.
    struct Outcome {
        bool close = false;
        std::optional<std::vector<uint8_t>> reply;
        unsigned int delayMs = 0;
    };

    void run();
    void serve(int client);
    Outcome process(const std::vector<uint8_t>& request);
    // False when the client is gone or the server is stopping.
    bool sendAll(int client, const std::vector<uint8_t>& bytes);

    std::mutex& mutex_;
    HardwareModel& hardware_;
    std::unique_ptr<TcpListener> listener_;
    uint16_t port_ = 0;
    StopSignal stop_;
    std::thread thread_;
};

} // namespace tolmaren_sim
