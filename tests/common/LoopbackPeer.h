#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A TCP peer for tests on an ephemeral port of 127.0.0.1, served by a thread of
// its own. It records every byte it receives and plays a script on the
// connection: send bytes, wait until bytes have arrived, pause, close. A
// responder can answer received bytes as they come. Connections are accepted
// one after another; the script and the record carry on across them.
class LoopbackPeer {
public:
    using Bytes = std::vector<unsigned char>;
    // Gets the bytes received and not consumed yet; removes what it answers
    // from the front and returns the reply (empty: nothing to send).
    using Responder = std::function<Bytes(Bytes& pending)>;

    // Throws std::runtime_error when no port can be had.
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    unsigned short port() const { return port_; }

    LoopbackPeer& send(Bytes bytes);
    // Waits until `total` bytes have been received in all.
    LoopbackPeer& awaitReceived(std::size_t total);
    LoopbackPeer& pause(std::chrono::milliseconds duration);
    // The client sees the end of the stream.
    LoopbackPeer& closeConnection();
    void respond(Responder responder);

    Bytes received() const;
    bool waitForReceived(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    enum class Kind { Send, Await, Pause, Close };
    struct Step {
        Kind kind;
        Bytes bytes;
        std::size_t amount; // bytes awaited, or milliseconds of pause
    };

    LoopbackPeer& add(Step step);
    void run();
    void serve(int connection);
    // The next step when it may run now, or false.
    bool takeStep(Step& step, std::chrono::steady_clock::time_point& pauseEnd);

    int listening_ = -1;
    unsigned short port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Step> script_;
    Responder responder_;
    Bytes received_;
    bool stopping_ = false;
    int connection_ = -1;
    std::thread thread_;
};
