#include "common/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

LoopbackPeer::LoopbackPeer() : listening_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    if (::bind(listening_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listening_, 8) != 0 ||
        ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("LoopbackPeer: cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

LoopbackPeer::~LoopbackPeer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR); // ends a blocked send
    }
    changed_.notify_all();
    thread_.join();
    ::close(connection_);
    ::close(listening_);
}

LoopbackPeer& LoopbackPeer::add(Step step) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back(std::move(step));
    return *this;
}

void LoopbackPeer::release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

LoopbackPeer::Bytes LoopbackPeer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool LoopbackPeer::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

// connection_ changes only on this thread, under the lock.
void LoopbackPeer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        bool open = true;
        if (connection_ >= 0 && !script_.empty() && received_.size() >= script_.front().await) {
            const Step step = std::move(script_.front());
            const Bytes& bytes = step.bytes;
            const auto pause = step.pause;
            const bool untilReleased = step.untilReleased;
            script_.pop_front();
            lock.unlock();
            for (std::size_t sent = 0; open && sent < bytes.size();) {
                const ssize_t n =
                    ::send(connection_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                open = n > 0 || errno == EINTR;
                sent += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
            }
            lock.lock();
            open = open && pause.count() >= 0;
            if (untilReleased)
                changed_.wait(lock, [&] { return stopping_ || released_; });
            else
                changed_.wait_for(lock, pause, [&] { return stopping_; });
        } else { // waits a little for a connection or for bytes, then looks again
            pollfd entry{connection_ >= 0 ? connection_ : listening_, POLLIN, 0};
            unsigned char chunk[65536];
            lock.unlock();
            const bool ready = ::poll(&entry, 1, 5) > 0;
            const int accepted =
                ready && connection_ < 0 ? ::accept(listening_, nullptr, nullptr) : -1;
            const ssize_t n =
                ready && connection_ >= 0 ? ::recv(connection_, chunk, sizeof chunk, 0) : -1;
            open = !ready || connection_ < 0 || n > 0 || (n < 0 && errno == EINTR);
            lock.lock();
            connection_ = std::max(connection_, accepted);
            received_.insert(received_.end(), chunk, chunk + std::max<ssize_t>(n, 0));
            changed_.notify_all();
        }
        if (!open) {
            ::close(connection_);
            connection_ = -1;
        }
    }
}
