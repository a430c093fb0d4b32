#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "view/AccessPolicy.h"

namespace tolmaren_view {

class Acquisition;
class ViewPipeline;
class WebSocketSession;

// The HTTP and WebSocket server of the view (Boost.Beast), on one thread of
// its own: the page's files, /status, and a WebSocket per page at /ws that
// carries the page's frames, the health report five times a second, and the
// page's choices and recording requests. At most `maxConnections`
// connections and `maxViewers` pages at once; what a page sends is checked
// (ClientMessage), and everything else gets 404.
class ViewServer {
public:
    static constexpr unsigned int maxConnections = 16;
    static constexpr unsigned int maxViewers = 4;
    static constexpr std::chrono::milliseconds healthInterval{200};

    // `settingsJson`: the probe's settings as the sidecar holds them.
    ViewServer(std::string address, uint16_t port, std::string token, Acquisition& acquisition,
               ViewPipeline& pipeline, const std::string& settingsJson);
    ~ViewServer();
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Binds (throws ToolError when it cannot) and serves; returns the port.
    uint16_t start();
    // Closes every connection and ends the thread.
    void stop();

    // For the sessions, on the server's thread.
    const AccessPolicy& policy() const { return policy_; }
    Acquisition& acquisition() { return acquisition_; }
    ViewPipeline& pipeline() { return pipeline_; }
    // The first message to every page: {"type": "hello", "settings": ...}.
    const std::shared_ptr<const std::string>& hello() const { return hello_; }
    // What /status answers.
    std::string status();
    // Whether a page's WebSocket may join: fewer than maxViewers are there.
    bool roomForViewer() { return viewers() < maxViewers; }
    void admit(const std::shared_ptr<WebSocketSession>& session) { viewers_.push_back(session); }
    void connectionClosed() { connections_.fetch_sub(1, std::memory_order_relaxed); }
    // A page's session pushed out a frame that its page did not read in time.
    void frameDropped() { framesDropped_.fetch_add(1, std::memory_order_relaxed); }

private:
    void accept();
    void tick();
    nlohmann::ordered_json statusJson();
    unsigned int viewers();

    std::string address_;
    uint16_t port_;
    AccessPolicy policy_;
    Acquisition& acquisition_;
    ViewPipeline& pipeline_;
    std::shared_ptr<const std::string> hello_;
    std::atomic<unsigned int> connections_{0};
    std::atomic<uint64_t> framesDropped_{0};
    std::vector<std::weak_ptr<WebSocketSession>> viewers_; // the server's thread only

    // Destroyed first: the sessions its handlers still hold go before the
    // counters they update.
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_{io_};
    boost::asio::steady_timer timer_{io_};
    std::thread thread_;
};

} // namespace tolmaren_view
