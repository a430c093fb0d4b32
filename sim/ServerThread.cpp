#include "sim/ServerThread.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <utility>

namespace tolmaren_sim {

void ServerThread::start(const std::string& address, uint16_t port) {
    if (running()) return;
    listener_ = std::make_unique<TcpListener>(address, port);
    port_ = listener_->port();
    stop_.clear();
    thread_ = std::thread([this] { run(); });
}

void ServerThread::stop() {
    if (!running()) return;
    {
        std::lock_guard<std::mutex> lock(clientMutex_);
        stop_.raise();
        if (client_ >= 0) ::shutdown(client_, SHUT_RD);
    }
    thread_.join();
    listener_.reset();
}

void ServerThread::run() {
    for (;;) {
        pollfd fds[2] = {{stop_.fd(), POLLIN, 0}, {listener_->fd(), POLLIN, 0}};
        const bool ready = ::poll(fds, 2, -1) >= 0;
        if (ready && fds[0].revents) return;
        UniqueFd client;
        if (ready) client = listener_->accept();
        if (client.valid()) {
            serve(std::move(client));
            continue;
        }
        // Nothing pending after all, or a client that gave up: look again.
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)
            continue;
        ++failedAccepts_;
        if (stop_.waitFor(acceptRetryMs)) return;
    }
}

// A dropped client's descriptor is closed before it is counted, so that
// whoever sees the count may rely on the descriptor being free.
void ServerThread::serve(UniqueFd client) {
    watch(client.get());
    try {
        serve_(client.get());
        watch(-1);
    } catch (const std::exception& e) {
        watch(-1);
        client.reset();
        ++failedClients_;
        std::fprintf(stderr, "tolmaren_sim: port %u dropped its client: %s\n", port_, e.what());
    } catch (...) {
        watch(-1);
        client.reset();
        ++failedClients_;
        std::fprintf(stderr, "tolmaren_sim: port %u dropped its client\n", port_);
    }
}

void ServerThread::watch(int client) {
    std::lock_guard<std::mutex> lock(clientMutex_);
    client_ = client;
    // A stop raised before this client came wakes it at its first receive.
    if (client_ >= 0 && stop_.raised()) ::shutdown(client_, SHUT_RD);
}

} // namespace tolmaren_sim
