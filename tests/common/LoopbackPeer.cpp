#include "common/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
// The thread looks at its script and at a stop this often while it waits.
constexpr int tickMs = 5;

bool sendAll(int connection, const LoopbackPeer::Bytes& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n =
            ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

LoopbackPeer::LoopbackPeer() {
    listening_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listening_ < 0 ||
        ::bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listening_, 8) != 0 ||
        ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listening_ >= 0) ::close(listening_);
        throw std::runtime_error("LoopbackPeer: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

LoopbackPeer::~LoopbackPeer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        // Ends a send that the client does not read.
        if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
    }
    thread_.join();
    ::close(listening_);
}

LoopbackPeer& LoopbackPeer::add(Step step) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back(std::move(step));
    return *this;
}

LoopbackPeer& LoopbackPeer::send(Bytes bytes) {
    return add({Kind::Send, std::move(bytes), 0});
}

LoopbackPeer& LoopbackPeer::awaitReceived(std::size_t total) {
    return add({Kind::Await, {}, total});
}

LoopbackPeer& LoopbackPeer::pause(std::chrono::milliseconds duration) {
    return add({Kind::Pause, {}, static_cast<std::size_t>(duration.count())});
}

LoopbackPeer& LoopbackPeer::closeConnection() {
    return add({Kind::Close, {}, 0});
}

void LoopbackPeer::respond(Responder responder) {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_ = std::move(responder);
}

LoopbackPeer::Bytes LoopbackPeer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool LoopbackPeer::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void LoopbackPeer::run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
        }
        pollfd entry{listening_, POLLIN, 0};
        if (::poll(&entry, 1, tickMs) <= 0) continue;
        const int connection = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        // Replies go out at once, as a basestation's would.
        const int on = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connection_ = connection;
        }
        serve(connection);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connection_ = -1;
        }
        ::close(connection);
    }
}

bool LoopbackPeer::takeStep(Step& step, Clock::time_point& pauseEnd) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || script_.empty()) return false;
    const Step& next = script_.front();
    if (next.kind == Kind::Await && received_.size() < next.amount) return false;
    if (next.kind == Kind::Pause) {
        if (pauseEnd == Clock::time_point{})
            pauseEnd = Clock::now() + std::chrono::milliseconds(next.amount);
        if (Clock::now() < pauseEnd) return false;
        pauseEnd = Clock::time_point{};
    }
    step = std::move(script_.front());
    script_.pop_front();
    return true;
}

void LoopbackPeer::serve(int connection) {
    Bytes pending;
    Clock::time_point pauseEnd{};
    for (;;) {
        for (Step step; takeStep(step, pauseEnd);) {
            if (step.kind == Kind::Close) return;
            if (step.kind == Kind::Send && !sendAll(connection, step.bytes)) return;
        }
        pollfd entry{connection, POLLIN, 0};
        const bool readable = ::poll(&entry, 1, tickMs) > 0;
        unsigned char chunk[65536];
        const ssize_t n = readable ? ::recv(connection, chunk, sizeof chunk, 0) : -1;
        if (n == 0 || (n < 0 && readable && errno != EINTR)) return;
        Responder responder;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            if (n < 0) continue;
            received_.insert(received_.end(), chunk, chunk + n);
            responder = responder_;
        }
        changed_.notify_all();
        if (!responder) continue;
        pending.insert(pending.end(), chunk, chunk + n);
        const Bytes reply = responder(pending);
        if (!reply.empty() && !sendAll(connection, reply)) return;
    }
}
