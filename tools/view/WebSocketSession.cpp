#include "view/WebSocketSession.h"

#include <boost/asio/post.hpp>

#include "view/Acquisition.h"
#include "view/ClientMessage.h"
#include "view/ViewPipeline.h"
#include "view/ViewServer.h"

namespace tolmaren_view {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

WebSocketSession::WebSocketSession(beast::tcp_stream&& stream, ViewServer& server)
    : ws_(std::move(stream)), server_(server), hello_(server.hello()) {}

WebSocketSession::~WebSocketSession() {
    if (open_) server_.pipeline().leave(viewer_);
    server_.connectionClosed();
}

void WebSocketSession::run(beast::http::request<beast::http::empty_body> request) {
    beast::get_lowest_layer(ws_).expires_never(); // the WebSocket's own time-outs apply
    websocket::stream_base::timeout timeouts{};
    timeouts.handshake_timeout = std::chrono::seconds(10);
    timeouts.idle_timeout = idleTimeout;
    timeouts.keep_alive_pings = true;
    ws_.set_option(timeouts);
    ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
        response.set(beast::http::field::server, "tolmaren view");
    }));
    ws_.read_message_max(maxMessageBytes);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
        if (error) return;
        self->open_ = true;
        self->viewer_ = self->server_.pipeline().join(self);
        self->write();
        self->read();
    });
}

void WebSocketSession::sendFrame(std::shared_ptr<const std::string> frame) {
    boost::asio::post(ws_.get_executor(), [self = shared_from_this(), frame = std::move(frame)] {
        self->frames_.push_back(frame);
        if (self->frames_.size() > maxQueuedFrames) {
            self->frames_.pop_front();
            self->server_.frameDropped();
        }
        self->write();
    });
}

void WebSocketSession::sendText(std::shared_ptr<const std::string> text) {
    health_ = std::move(text);
    write();
}

void WebSocketSession::close() {
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
}

void WebSocketSession::read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        self->onRead(error);
    });
}

void WebSocketSession::onRead(beast::error_code error) {
    // Closed, timed out, or a message over the bound (Beast closes with 1009).
    if (error) return;
    if (!ws_.got_text()) return refuse();
    const auto data = buffer_.data();
    const auto message =
        ClientMessage::parse(std::string_view(static_cast<const char*>(data.data()), data.size()));
    buffer_.consume(buffer_.size());
    if (!message) return refuse();
    switch (message->kind) {
    case ClientMessage::Kind::Settings:
        server_.pipeline().configure(viewer_, message->settings);
        break;
    case ClientMessage::Kind::Drawn:
        server_.pipeline().drawn(viewer_, message->frame);
        break;
    case ClientMessage::Kind::RecordStart:
        server_.acquisition().requestRecording(message->name);
        break;
    case ClientMessage::Kind::RecordStop:
        server_.acquisition().requestStopRecording();
        break;
    }
    read();
}

// Not a message of the page: the connection ends with "policy violation".
void WebSocketSession::refuse() {
    if (open_) server_.pipeline().leave(viewer_);
    open_ = false;
    ws_.async_close(websocket::close_code::policy_error,
                    [self = shared_from_this()](beast::error_code) {});
}

void WebSocketSession::write() {
    if (writing_ || !open_) return;
    std::shared_ptr<const std::string> next;
    bool binary = false;
    if (hello_) {
        next = std::move(hello_);
    } else if (!frames_.empty()) {
        next = std::move(frames_.front());
        frames_.pop_front();
        binary = true;
    } else if (health_) {
        next = std::move(health_);
    } else {
        return;
    }
    writing_ = true;
    ws_.binary(binary);
    ws_.async_write(boost::asio::buffer(*next),
                    [self = shared_from_this(), next](beast::error_code error, std::size_t) {
                        self->writing_ = false;
                        if (!error) self->write();
                    });
}

} // namespace tolmaren_view
