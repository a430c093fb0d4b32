#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// A TCP peer for tests on an ephemeral port of 127.0.0.1, served by a thread
// of its own. It takes one connection after the other and plays its script on
// them, one step after the other: send bytes, pause (reading nothing) for a
// while or until released, close the connection, wait until so many bytes
// have arrived in all. Whenever no step is due it records what it receives.
class LoopbackPeer {
public:
    using Bytes = std::vector<unsigned char>;

    LoopbackPeer();
    ~LoopbackPeer();
    unsigned short port() const { return port_; }

    LoopbackPeer& send(Bytes bytes) { return add({std::move(bytes), {}, 0}); }
    LoopbackPeer& pause(std::chrono::milliseconds duration) { return add({{}, duration, 0}); }
    LoopbackPeer& closeConnection() { return add({{}, std::chrono::milliseconds(-1), 0}); }
    LoopbackPeer& awaitReceived(std::size_t total) { return add({{}, {}, total}); }
    LoopbackPeer& pauseUntilReleased() { return add({{}, {}, 0, true}); }
    void release();

    Bytes received() const;
    bool waitForReceived(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    // Due once `await` bytes have arrived: bytes to send, then a pause; a
    // negative pause closes the connection.
    struct Step {
        Bytes bytes;
        std::chrono::milliseconds pause;
        std::size_t await;
        bool untilReleased = false; // the pause lasts until release()
    };
    LoopbackPeer& add(Step step);
    void run();

    int listening_, connection_ = -1;
    unsigned short port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Step> script_;
    Bytes received_;
    bool stopping_ = false;
    bool released_ = false;
    std::thread thread_;
};
