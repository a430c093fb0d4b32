#include "view/HttpSession.h"

#include <boost/beast/websocket.hpp>

#include "view/PageAssets.h"
#include "view/ViewServer.h"
#include "view/WebSocketSession.h"

namespace tolmaren_view {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

// The page loads nothing but its own files and talks to nothing but its own
// server; its address (with the token) goes nowhere else.
constexpr const char* pagePolicy = "default-src 'none'; script-src 'self'; style-src 'self'; "
                                   "connect-src 'self'; img-src 'self' data:; "
                                   "frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

} // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket socket, ViewServer& server)
    : stream_(std::move(socket)), server_(server) {}

HttpSession::~HttpSession() {
    if (!handedOver_) server_.connectionClosed();
}

void HttpSession::run() {
    read();
}

void HttpSession::read() {
    parser_.emplace();
    parser_->header_limit(maxHeaderBytes);
    stream_.expires_after(requestTimeout);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->onRead(error); });
}

void HttpSession::onRead(beast::error_code error) {
    // A closed, slow, oversized or malformed request ends the connection.
    if (error) return;
    Request& request = parser_->get();
    const std::string_view target = view(request.target());
    const std::string_view path = AccessPolicy::path(target);
    const AccessPolicy& policy = server_.policy();
    if (!policy.hostAllowed(view(request[http::field::host])))
        return respond(request, http::status::forbidden, "text/plain", "unknown host\n");
    if (beast::websocket::is_upgrade(request)) return upgrade(request, path, target);
    if (request.method() != http::verb::get)
        return respond(request, http::status::method_not_allowed, "text/plain",
                       "only GET is served\n");
    if (path == "/status") {
        if (!policy.tokenAllowed(target))
            return respond(request, http::status::forbidden, "text/plain", "token needed\n");
        return respond(request, http::status::ok, "application/json", server_.status());
    }
    const PageAsset* asset = PageAssets::find(path);
    if (asset == nullptr)
        return respond(request, http::status::not_found, "text/plain", "not found\n");
    // The page itself shows the probe; its script and style sheet do not.
    if (asset->path == "/index.html" && !policy.tokenAllowed(target))
        return respond(request, http::status::forbidden, "text/plain",
                       "token needed: open the address the command printed\n");
    respond(request, http::status::ok, asset->contentType, std::string(asset->bytes));
}

void HttpSession::upgrade(Request& request, std::string_view path, std::string_view target) {
    const AccessPolicy& policy = server_.policy();
    if (path != "/ws")
        return respond(request, http::status::not_found, "text/plain", "not found\n");
    if (!policy.originAllowed(view(request[http::field::origin]), view(request[http::field::host])))
        return respond(request, http::status::forbidden, "text/plain", "foreign origin\n");
    if (!policy.tokenAllowed(target))
        return respond(request, http::status::forbidden, "text/plain", "token needed\n");
    if (!server_.roomForViewer())
        return respond(request, http::status::service_unavailable, "text/plain",
                       "too many pages are open\n");
    auto session = std::make_shared<WebSocketSession>(std::move(stream_), server_);
    server_.admit(session);
    handedOver_ = true;
    session->run(parser_->release());
}

void HttpSession::respond(const Request& request, http::status status, std::string_view contentType,
                          std::string body) {
    response_ = {};
    response_.result(status);
    response_.version(request.version());
    response_.set(http::field::server, "tolmaren view");
    response_.set(http::field::content_type,
                  beast::string_view(contentType.data(), contentType.size()));
    response_.set(http::field::cache_control, "no-store");
    response_.set("X-Content-Type-Options", "nosniff");
    response_.set("Referrer-Policy", "no-referrer");
    response_.set("Content-Security-Policy", pagePolicy);
    response_.keep_alive(request.keep_alive() && status == http::status::ok);
    response_.body() = std::move(body);
    response_.prepare_payload();
    http::async_write(stream_, response_,
                      [self = shared_from_this(), close = !response_.keep_alive()](
                          beast::error_code error, std::size_t) { self->onWrite(close, error); });
}

void HttpSession::onWrite(bool close, beast::error_code error) {
    if (error) return;
    if (close) {
        stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, error);
        return;
    }
    read();
}

} // namespace tolmaren_view
