// tolmaren view end to end, as clients of its server see it: what it serves
// and refuses, and that a page that stops reading costs the recording
// nothing. The browser's side is tests/browser/view_page_test.py.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "sim/BasestationSimulator.h"

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;
using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr auto patience = std::chrono::seconds(60); // a bound, never a measurement
constexpr std::size_t packetBytes = 12 * 612;

// The tool in a child process, and the address it printed.
class ViewProcess {
public:
    explicit ViewProcess(const std::string& arguments) {
        child_ = fork();
        if (child_ == 0) {
            const std::string command = std::string("exec ") + TOLMAREN_TOOL + " view --port 0 " +
                                        arguments + " >view.out 2>view.err";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (url_.empty() && std::chrono::steady_clock::now() < deadline) {
            std::ifstream out("view.out");
            for (std::string line; std::getline(out, line);)
                if (line.rfind("view: http://", 0) == 0) url_ = line.substr(6);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto colon = url_.find(':', 7);
        port_ = static_cast<uint16_t>(std::stoi(url_.substr(colon + 1)));
        host_ = url_.substr(7, url_.find('/', 7) - 7);
        const auto token = url_.find("?token=");
        if (token != std::string::npos) token_ = url_.substr(token + 7);
    }
    // Ctrl-C; its exit status.
    int stop() {
        kill(child_, SIGINT);
        int raw = 0;
        waitpid(child_, &raw, 0);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    uint16_t port() const { return port_; }
    const std::string& host() const { return host_; } // "127.0.0.1:port"
    const std::string& token() const { return token_; }

private:
    pid_t child_;
    std::string url_;
    std::string host_;
    uint16_t port_ = 0;
    std::string token_;
};

tcp::socket connectTo(net::io_context& io, const std::string& address, uint16_t port,
                      int receiveBuffer = 0) {
    tcp::socket socket(io);
    socket.open(tcp::v4());
    if (receiveBuffer > 0) socket.set_option(net::socket_base::receive_buffer_size(receiveBuffer));
    socket.connect({net::ip::make_address(address), port});
    const timeval timeout{10, 0}; // a server that never answers fails the test, not hangs it
    setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return socket;
}

// A request; `origin` makes it a WebSocket upgrade from there ("-": none).
http::response<http::string_body> request(const std::string& address, uint16_t port,
                                          const std::string& target, const std::string& host,
                                          http::verb method = http::verb::get,
                                          const std::string& origin = "") {
    net::io_context io;
    tcp::socket socket = connectTo(io, address, port);
    http::request<http::empty_body> message(method, target, 11);
    message.set(http::field::host, host);
    if (!origin.empty()) {
        message.set(http::field::upgrade, "websocket");
        message.set(http::field::connection, "Upgrade");
        message.set(http::field::sec_websocket_key, "dGhlIHNhbXBsZSBub25jZQ==");
        message.set(http::field::sec_websocket_version, "13");
        if (origin != "-") message.set(http::field::origin, origin);
    }
    http::write(socket, message);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response);
    return response;
}

unsigned int upgrade(const std::string& address, uint16_t port, const std::string& target,
                     const std::string& host, const std::string& origin) {
    return request(address, port, target, host, http::verb::get, origin).result_int();
}

// A page's WebSocket.
struct Page {
    net::io_context io;
    websocket::stream<tcp::socket> ws{io};
    bool open = false;

    Page(const std::string& address, uint16_t port, const std::string& target,
         const std::string& host, const std::string& origin, int receiveBuffer = 0) {
        ws.next_layer() = connectTo(io, address, port, receiveBuffer);
        ws.set_option(websocket::stream_base::decorator([origin](websocket::request_type& r) {
            if (!origin.empty()) r.set(http::field::origin, origin);
        }));
        beast::error_code error;
        ws.handshake(host, target, error);
        open = !error;
    }
    void send(const std::string& text) { ws.write(net::buffer(text)); }
    // Reads until the server closes: the close code, or -1 for none.
    int closeCode() {
        beast::flat_buffer buffer;
        beast::error_code error;
        while (!error) {
            ws.read(buffer, error);
            buffer.consume(buffer.size());
        }
        return error == websocket::error::closed ? ws.reason().code : -1;
    }
};

json status(const ViewProcess& view) {
    return json::parse(request("127.0.0.1", view.port(), "/status", view.host()).body());
}

template <typename Check> void waitFor(const char* what, Check check) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!check()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "timed out waiting for " << what;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

const std::string settings = R"({"type": "settings", "channels": [0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
    10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31],
    "window_seconds": 0.5, "high_pass": true, "common_average": true})";

} // namespace

// The page's files and /status to a request that names this machine, 404 for
// any other path, 403 to a foreign Host or Origin, and the connection closed
// on a message that is not the page's; at most 4 pages and 16 connections.
TEST(View, ServesThePageAndRefusesStrangers) {
    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim(TestAddress::simulator());
    sim.start();
    ViewProcess view("--address " + TestAddress::own());
    ASSERT_NE(view.port(), 0) << dir.readFile("view.err");
    const std::string host = view.host();
    const std::string origin = "http://" + host;

    struct Request {
        const char* target;
        std::string host;
        http::verb method;
        unsigned int status;
        const char* contentType;
    };
    const Request requests[] = {
        {"/", host, http::verb::get, 200, "text/html; charset=utf-8"},
        {"/view.js", host, http::verb::get, 200, "text/javascript; charset=utf-8"},
        {"/status", host, http::verb::get, 200, "application/json"},
        {"/view.js", "localhost:9000", http::verb::get, 200, nullptr}, // through ssh -L
        {"/etc/passwd", host, http::verb::get, 404, nullptr},
        {"/../index.html", host, http::verb::get, 404, nullptr},
        {"/", "attacker.example", http::verb::get, 403, nullptr}, // DNS rebinding
        {"/status", host, http::verb::post, 405, nullptr},
    };
    for (const Request& r : requests) {
        const auto response = request("127.0.0.1", view.port(), r.target, r.host, r.method);
        EXPECT_EQ(response.result_int(), r.status) << r.target << " " << r.host;
        if (r.contentType) {
            EXPECT_EQ(response[http::field::content_type], r.contentType);
        }
    }
    waitFor("packets in /status", [&] { return status(view)["packets"].get<uint64_t>() > 0; });

    struct Upgrade {
        const char* target;
        std::string origin;
        unsigned int status;
    };
    const Upgrade upgrades[] = {
        {"/ws", origin, 101},
        {"/ws", "http://attacker.example", 403}, // another site's script
        {"/ws", "-", 403},
        {"/other", origin, 404},
    };
    for (const Upgrade& u : upgrades)
        EXPECT_EQ(upgrade("127.0.0.1", view.port(), u.target, host, u.origin), u.status)
            << u.target << " " << u.origin;

    struct Message {
        std::string text;
        int closeCode;
    };
    const Message messages[] = {
        {std::string(5000, ' '), websocket::close_code::too_big},
        {"{\"type\": \"settings\"", websocket::close_code::policy_error},
        {R"({"type": "settings", "channels": [384], "window_seconds": 1, "high_pass": false,
             "common_average": false})",
         websocket::close_code::policy_error},
        {R"({"type": "record_start", "name": "../escape.bin"})",
         websocket::close_code::policy_error},
        {R"({"type": "shutdown"})", websocket::close_code::policy_error},
    };
    for (const Message& m : messages) {
        Page page("127.0.0.1", view.port(), "/ws", host, origin);
        ASSERT_TRUE(page.open);
        page.send(settings); // a page's message first: the session is in use
        page.send(m.text);
        EXPECT_EQ(page.closeCode(), m.closeCode) << m.text.substr(0, 80);
    }
    EXPECT_FALSE(fs::exists("../escape.bin"));

    std::vector<std::unique_ptr<Page>> pages;
    for (int i = 0; i < 4; ++i)
        pages.push_back(std::make_unique<Page>("127.0.0.1", view.port(), "/ws", host, origin));
    for (const auto& page : pages)
        EXPECT_TRUE(page->open);
    EXPECT_EQ(upgrade("127.0.0.1", view.port(), "/ws", host, origin), 503u);
    pages.clear();

    net::io_context io;
    std::vector<tcp::socket> idle;
    for (int i = 0; i < 16; ++i)
        idle.push_back(connectTo(io, "127.0.0.1", view.port()));
    // The seventeenth is closed unanswered; its request finds no server.
    tcp::socket extra = connectTo(io, "127.0.0.1", view.port());
    const std::string get = "GET /status HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
    send(extra.native_handle(), get.data(), get.size(), MSG_NOSIGNAL);
    char byte;
    EXPECT_LE(recv(extra.native_handle(), &byte, 1, 0), 0);
    idle.clear();
    EXPECT_EQ(view.stop(), 0) << dir.readFile("view.err");
}

// Beyond loopback, the page, /status and the WebSocket need the printed
// token; the page's script does not.
TEST(View, ListeningBeyondLoopbackNeedsTheToken) {
    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim(TestAddress::simulator());
    sim.start();
    ViewProcess view("--listen " + TestAddress::other() + " --address " + TestAddress::own());
    ASSERT_EQ(view.token().size(), 32u) << dir.readFile("view.out");
    const std::string host = view.host();
    ASSERT_EQ(host, TestAddress::other() + ":" + std::to_string(view.port()));
    const std::string withToken = "?token=" + view.token();
    struct Case {
        std::string target;
        unsigned int status;
    };
    const Case cases[] = {
        {"/", 403},
        {"/" + withToken, 200},
        {"/status", 403},
        {"/status?token=0", 403},
        {"/status?x=1&token=" + view.token(), 200},
        {"/view.js", 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(request(TestAddress::other(), view.port(), c.target, host).result_int(), c.status)
            << c.target;
    EXPECT_EQ(upgrade(TestAddress::other(), view.port(), "/ws", host, "http://" + host), 403u);
    EXPECT_EQ(upgrade(TestAddress::other(), view.port(), "/ws" + withToken, host, "http://" + host), 101u);
    EXPECT_EQ(view.stop(), 0);
}

// A page that asks for the most data and then never reads, though it claims
// to draw frame after frame, while another page records for 4 s from the
// real-time stream: the recording holds every block, and the basestation's
// FIFO never overflowed, so nothing waited for the stalled page.
TEST(View, StalledPageCostsTheRecordingNothing) {
    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim(TestAddress::simulator());
    sim.start();
    ViewProcess view("--address " + TestAddress::own());
    const std::string origin = "http://" + view.host();
    Page stalled("127.0.0.1", view.port(), "/ws", view.host(), origin, 4096);
    ASSERT_TRUE(stalled.open);
    stalled.send(settings);
    Page page("127.0.0.1", view.port(), "/ws", view.host(), origin);
    page.send(R"({"type": "record_start", "name": "rec.bin"})");

    uint32_t frame = 0;
    waitFor("4 s of recording", [&] {
        stalled.send("{\"type\": \"drawn\", \"frame\": " + std::to_string(++frame) + "}");
        return status(view)["recording"]["packets"].get<uint64_t>() >= 10000;
    });
    page.send(R"({"type": "record_stop"})");
    waitFor("the sidecar", [] { return fs::exists("rec.bin.json"); });
    const json seen = status(view);
    EXPECT_EQ(view.stop(), 0) << dir.readFile("view.err");

    const json recorded = json::parse(std::ifstream("rec.bin.json"))["recorded"];
    EXPECT_GE(recorded["packets"].get<uint64_t>(), 10000u);
    for (const char* count : {"packets_abandoned", "blocks_rejected", "gaps", "blocks_lost"})
        EXPECT_EQ(recorded[count], 0) << count;
    EXPECT_EQ(fs::file_size("rec.bin"), recorded["packets"].get<uint64_t>() * packetBytes);
    EXPECT_EQ(sim.dataStatistics().unitsOverflowed, 0u);
    EXPECT_EQ(seen["gaps"], 0);
    std::printf("for the stalled page: %s\n", seen.dump().c_str());
}
