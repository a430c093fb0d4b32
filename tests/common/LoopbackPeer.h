#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A TCP peer for tests, listening on an ephemeral port of 127.0.0.1 and served
// by a thread of its own, so that tests using it run in parallel. It records
// every byte it receives and plays a script of steps on the connection: send
// bytes, wait until bytes have arrived, pause, close the connection. A
// responder can answer received bytes as they come. Without script or
// responder it stays silent. Connections are accepted one after another; the
// script and the record carry on across them.
class LoopbackPeer {
public:
    using Bytes = std::vector<unsigned char>;
    // Called on the peer's thread with the bytes received and not consumed
    // yet; removes what it answers from the front and returns the reply
    // (empty: nothing to send).
    using Responder = std::function<Bytes(Bytes& pending)>;

    // Listens on the given port of 127.0.0.1, or on an ephemeral one for 0.
    // Throws std::runtime_error when the port cannot be had.
    explicit LoopbackPeer(unsigned short port = 0);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    unsigned short port() const { return port_; }

    // Script steps, run in order once a connection is there.
    LoopbackPeer& send(Bytes bytes);
    // Waits until `total` bytes have been received in all.
    LoopbackPeer& awaitReceived(std::size_t total);
    LoopbackPeer& pause(std::chrono::milliseconds duration);
    // The client sees the end of the stream.
    LoopbackPeer& closeConnection();
    // Answers every arrival from now on (replaces an earlier responder).
    void respond(Responder responder);

    // All bytes received so far, over all connections.
    Bytes received() const;
    // Whether `count` bytes have arrived in all within the time.
    bool waitForReceived(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Whether the client has closed a connection within the time.
    bool waitForClientClose(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Whether every script step has run within the time.
    bool waitForScript(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    struct Step {
        enum class Kind { Send, Await, Pause, Close } kind;
        Bytes bytes;
        std::size_t total = 0;
        std::chrono::milliseconds duration{0};
    };

    void addStep(Step step);
    void wake();
    void run();
    void serve(int connection);
    // False when the client is gone or the peer is stopping.
    bool sendAll(int connection, const Bytes& bytes);

    int listening_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    unsigned short port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Step> script_;
    bool stepRunning_ = false;
    std::shared_ptr<Responder> responder_;
    Bytes received_;
    bool clientClosed_ = false;
    bool stopping_ = false;
    int connection_ = -1;
    std::thread thread_;
};
