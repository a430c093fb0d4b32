#include "view/ViewServer.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <pthread.h>

#include <boost/asio/post.hpp>

#include "recording/RecordingInfo.h"
#include "recording/ToolError.h"
#include "view/Acquisition.h"
#include "view/HttpSession.h"
#include "view/TraceSettings.h"
#include "view/ViewPipeline.h"
#include "view/WebSocketSession.h"

namespace tolmaren_view {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using json = nlohmann::ordered_json;

ViewServer::ViewServer(std::string address, uint16_t port, std::string token,
                       Acquisition& acquisition, ViewPipeline& pipeline,
                       const std::string& settingsJson)
    : address_(std::move(address)), port_(port), policy_(address_, std::move(token)),
      acquisition_(acquisition), pipeline_(pipeline) {
    const json hello = {{"type", "hello"},
                        {"settings", json::parse(settingsJson)},
                        {"ap_sample_rate_hz", tolmaren_recording::RecordingInfo::apSampleRateHz},
                        {"max_channels", TraceSettings::maxChannels},
                        {"bins_per_window", TraceSettings::binsPerWindow}};
    hello_ = std::make_shared<const std::string>(hello.dump());
}

ViewServer::~ViewServer() {
    stop();
}

uint16_t ViewServer::start() {
    boost::system::error_code error;
    const net::ip::address address = net::ip::make_address(address_, error);
    const tcp::endpoint endpoint(address, port_);
    if (!error) acceptor_.open(endpoint.protocol(), error);
    if (!error) acceptor_.set_option(net::socket_base::reuse_address(true), error);
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(net::socket_base::max_listen_connections, error);
    if (error)
        throw tolmaren_recording::ToolError("cannot serve the view on " + address_ + " port " +
                                            std::to_string(port_) + ": " + error.message());
    port_ = acceptor_.local_endpoint().port();
    accept();
    tick();
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "tolmaren-http");
        io_.run();
    });
    return port_;
}

void ViewServer::stop() {
    if (!thread_.joinable()) return;
    net::post(io_, [this] {
        acceptor_.close();
        timer_.cancel();
        for (const auto& viewer : viewers_)
            if (const auto session = viewer.lock()) session->close();
        io_.stop();
    });
    thread_.join();
}

void ViewServer::accept() {
    acceptor_.async_accept([this](boost::system::error_code error, tcp::socket socket) {
        if (error == net::error::operation_aborted) return;
        // Beyond the bound a connection is closed at once, unanswered.
        if (!error && connections_.load(std::memory_order_relaxed) < maxConnections) {
            connections_.fetch_add(1, std::memory_order_relaxed);
            // A frame's last segment must not wait for the page's delayed
            // acknowledgement of the one before.
            socket.set_option(tcp::no_delay(true), error);
            std::make_shared<HttpSession>(std::move(socket), *this)->run();
        }
        accept();
    });
}

void ViewServer::tick() {
    json health = {{"type", "health"}};
    health.update(statusJson());
    const auto text = std::make_shared<const std::string>(health.dump());
    for (const auto& viewer : viewers_)
        if (const auto session = viewer.lock()) session->sendText(text);
    timer_.expires_after(healthInterval);
    timer_.async_wait([this](boost::system::error_code error) {
        if (!error) tick();
    });
}

std::string ViewServer::status() {
    return statusJson().dump();
}

nlohmann::ordered_json ViewServer::statusJson() {
    json status = acquisition_.health().toJson();
    status["view_viewers"] = viewers();
    status["view_bins_dropped"] = pipeline_.binsDropped();
    status["view_lfp_columns_dropped"] = pipeline_.columnsDropped();
    status["view_frames_dropped"] = framesDropped_.load(std::memory_order_relaxed);
    status["view_bytes_sent"] = pipeline_.bytesSent();
    return status;
}

unsigned int ViewServer::viewers() {
    viewers_.erase(std::remove_if(viewers_.begin(), viewers_.end(),
                                  [](const auto& viewer) { return viewer.expired(); }),
                   viewers_.end());
    return static_cast<unsigned int>(viewers_.size());
}

} // namespace tolmaren_view
