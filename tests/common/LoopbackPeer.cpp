#include "common/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

LoopbackPeer::LoopbackPeer(unsigned short port) {
    listening_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    // A fixed port must be free again at once for the next test.
    const int on = 1;
    if (listening_ >= 0) ::setsockopt(listening_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t length = sizeof address;
    int pipeEnds[2];
    if (listening_ < 0 ||
        ::bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listening_, 8) != 0 ||
        ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (listening_ >= 0) ::close(listening_);
        throw std::runtime_error("LoopbackPeer: cannot listen on 127.0.0.1 port " +
                                 std::to_string(port));
    }
    port_ = ntohs(address.sin_port);
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    thread_ = std::thread([this] { run(); });
}

LoopbackPeer::~LoopbackPeer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        // Ends a send that the client does not read.
        if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
    }
    wake();
    thread_.join();
    ::close(listening_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void LoopbackPeer::wake() {
    const char byte = 0;
    // A full pipe already wakes the thread.
    (void)!::write(wakeWrite_, &byte, 1);
}

void LoopbackPeer::addStep(Step step) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        script_.push_back(std::move(step));
    }
    wake();
}

LoopbackPeer& LoopbackPeer::send(Bytes bytes) {
    addStep(Step{Step::Kind::Send, std::move(bytes)});
    return *this;
}

LoopbackPeer& LoopbackPeer::awaitReceived(std::size_t total) {
    addStep(Step{Step::Kind::Await, {}, total});
    return *this;
}

LoopbackPeer& LoopbackPeer::pause(std::chrono::milliseconds duration) {
    addStep(Step{Step::Kind::Pause, {}, 0, duration});
    return *this;
}

LoopbackPeer& LoopbackPeer::closeConnection() {
    addStep(Step{Step::Kind::Close, {}});
    return *this;
}

void LoopbackPeer::respond(Responder responder) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        responder_ = std::make_shared<Responder>(std::move(responder));
    }
    wake();
}

LoopbackPeer::Bytes LoopbackPeer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool LoopbackPeer::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

bool LoopbackPeer::waitForClientClose(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return clientClosed_; });
}

bool LoopbackPeer::waitForScript(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return script_.empty() && !stepRunning_; });
}

bool LoopbackPeer::sendAll(int connection, const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void LoopbackPeer::run() {
    for (;;) {
        // A stop may have been signalled while a connection was served, its
        // wake-up byte already drained there.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
        }
        pollfd entries[2] = {{listening_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0 && errno != EINTR) return;
        char drain[64];
        while (::read(wakeRead_, drain, sizeof drain) > 0) {
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
        }
        if ((entries[0].revents & POLLIN) == 0) continue;
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

void LoopbackPeer::serve(int connection) {
    using Clock = std::chrono::steady_clock;
    Bytes pending;
    bool pausing = false;
    Clock::time_point pauseEnd;
    for (;;) {
        int timeout = -1;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!stopping_ && !script_.empty()) {
                Step& step = script_.front();
                if (step.kind == Step::Kind::Await && received_.size() < step.total) break;
                if (step.kind == Step::Kind::Pause) {
                    if (!pausing) {
                        pausing = true;
                        pauseEnd = Clock::now() + step.duration;
                    }
                    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        pauseEnd - Clock::now());
                    if (left.count() > 0) {
                        timeout = static_cast<int>(left.count()) + 1;
                        break;
                    }
                    pausing = false;
                }
                Step done = std::move(step);
                script_.pop_front();
                stepRunning_ = true;
                lock.unlock();
                const bool alive = done.kind == Step::Kind::Send ? sendAll(connection, done.bytes)
                                                                 : done.kind != Step::Kind::Close;
                lock.lock();
                stepRunning_ = false;
                changed_.notify_all();
                if (!alive) return;
            }
            if (stopping_) return;
        }

        pollfd entries[2] = {{connection, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(entries, 2, timeout) < 0 && errno != EINTR) return;
        char drain[64];
        while (::read(wakeRead_, drain, sizeof drain) > 0) {
        }
        if ((entries[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        unsigned char chunk[65536];
        const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        std::shared_ptr<Responder> responder;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (n <= 0) {
                clientClosed_ = true;
                changed_.notify_all();
                return;
            }
            received_.insert(received_.end(), chunk, chunk + n);
            responder = responder_;
            changed_.notify_all();
        }
        if (responder) {
            pending.insert(pending.end(), chunk, chunk + n);
            const Bytes reply = (*responder)(pending);
            if (!reply.empty() && !sendAll(connection, reply)) return;
        }
    }
}
