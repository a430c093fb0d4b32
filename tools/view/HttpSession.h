#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

namespace tolmaren_view {

class ViewServer;

// One HTTP connection: the page's files, /status, and the upgrade of /ws to
// a page's WebSocket; 404 for any other path. Requests are bounded (8 KiB of
// header, no body, 10 s to arrive), and every one must pass the server's
// AccessPolicy.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    static constexpr std::size_t maxHeaderBytes = 8192;
    static constexpr std::chrono::seconds requestTimeout{10};

    HttpSession(boost::asio::ip::tcp::socket socket, ViewServer& server);
    ~HttpSession();

    void run();

private:
    using Request = boost::beast::http::request<boost::beast::http::empty_body>;

    void read();
    void onRead(boost::beast::error_code error);
    void upgrade(Request& request, std::string_view path, std::string_view target);
    void respond(const Request& request, boost::beast::http::status status,
                 std::string_view contentType, std::string body);
    void onWrite(bool close, boost::beast::error_code error);

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_{maxHeaderBytes};
    std::optional<boost::beast::http::request_parser<boost::beast::http::empty_body>> parser_;
    boost::beast::http::response<boost::beast::http::string_body> response_;
    ViewServer& server_;
    bool handedOver_ = false; // to a WebSocketSession, which counts the connection now
};

} // namespace tolmaren_view
