#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "view/FrameSink.h"

namespace tolmaren_view {

class ViewServer;

// One page's WebSocket. It sends the hello, the page's frames and the latest
// health report, one message at a time: a frame that finds `maxQueuedFrames`
// waiting pushes out the oldest, and a new health report replaces one not
// yet sent, so a page that stops reading holds a bounded amount. It passes
// what the page sends to the view thread and the acquisition thread, and
// closes the connection on a message that is not one of the page's
// (ClientMessage), a message over `maxMessageBytes`, or silence past
// `idleTimeout` (pings keep a page that merely draws nothing alive).
class WebSocketSession : public FrameSink, public std::enable_shared_from_this<WebSocketSession> {
public:
    static constexpr std::size_t maxMessageBytes = 4096;
    static constexpr std::size_t maxQueuedFrames = 4;
    static constexpr std::chrono::seconds idleTimeout{20};

    WebSocketSession(boost::beast::tcp_stream&& stream, ViewServer& server);
    ~WebSocketSession() override;

    // Completes the upgrade that `request` asked for.
    void run(boost::beast::http::request<boost::beast::http::empty_body> request);
    // From the view thread.
    void sendFrame(std::shared_ptr<const std::string> frame) override;
    // From the server's thread.
    void sendText(std::shared_ptr<const std::string> text);
    void close();

private:
    void read();
    void onRead(boost::beast::error_code error);
    void refuse();
    void write();

    boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
    boost::beast::flat_buffer buffer_;
    ViewServer& server_;
    unsigned int viewer_ = 0; // the view thread's id for this page, once open
    bool open_ = false;
    bool writing_ = false;
    std::shared_ptr<const std::string> hello_;
    std::deque<std::shared_ptr<const std::string>> frames_;
    std::shared_ptr<const std::string> health_;
};

} // namespace tolmaren_view
