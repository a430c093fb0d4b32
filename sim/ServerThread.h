#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/StopSignal.h"
#include "sim/TcpListener.h"
#include "sim/UniqueFd.h"

namespace tolmaren_sim {

// The thread of one port. It accepts one client at a time and hands it to the
// serving function, which returns when the client is gone or the server is
// stopping (it polls stopSignal() beside its socket, or waits in a blocking
// receive, which stop() ends by shutting the client's receiving side down); a
// client that connects meanwhile waits in the listen backlog. A serving function that throws (an
// allocation failure, say) loses its client, not the process: the failure is
// counted and reported on standard error, and the next client is served. An
// accept that fails for want of descriptors or memory leaves the client in the
// backlog and is tried again after a pause; at once it would spin.
class ServerThread {
public:
    using Serve = std::function<void(int client)>;
    static constexpr unsigned int acceptRetryMs = 100;

    explicit ServerThread(Serve serve) : serve_(std::move(serve)) {}
    ~ServerThread() { stop(); }
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    // Binds (throws std::runtime_error when it cannot) and starts the thread.
    void start(const std::string& address, uint16_t port);
    // Wakes every wait of the thread and of the serving function; returns
    // once the thread has ended.
    void stop();
    bool running() const { return thread_.joinable(); }
    uint16_t port() const { return port_; }
    const StopSignal& stopSignal() const { return stop_; }
    // Clients whose serving function threw, and accepts that failed.
    uint64_t failedClients() const { return failedClients_; }
    uint64_t failedAccepts() const { return failedAccepts_; }

private:
    void run();
    void serve(UniqueFd client);
    // The client that stop() must wake; -1 for none.
    void watch(int client);

    Serve serve_;
    std::unique_ptr<TcpListener> listener_;
    uint16_t port_ = 0;
    StopSignal stop_;
    std::mutex clientMutex_; // orders stop() against watch()
    int client_ = -1;
    std::thread thread_;
    std::atomic<uint64_t> failedClients_{0};
    std::atomic<uint64_t> failedAccepts_{0};
};

} // namespace tolmaren_sim
