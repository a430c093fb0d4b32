#include "sim/TcpListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>

namespace tolmaren_sim {

TcpListener::TcpListener(const std::string& address, uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + address);

    fd_.reset(::socket(AF_INET, SOCK_STREAM, 0));
    if (!fd_.valid())
        throw std::runtime_error(std::string("socket failed: ") + std::strerror(errno));
    int on = 1;
    // A restart must not wait for the old connections' TIME_WAIT.
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port) + ": " +
                                 std::strerror(errno));
    if (::listen(fd_.get(), 8) != 0)
        throw std::runtime_error(std::string("listen failed: ") + std::strerror(errno));
    ::fcntl(fd_.get(), F_SETFL, O_NONBLOCK);

    socklen_t length = sizeof addr;
    ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
}

UniqueFd TcpListener::accept() const {
    UniqueFd client(::accept(fd_.get(), nullptr, nullptr));
    if (client.valid()) {
        ::fcntl(client.get(), F_SETFL, O_NONBLOCK);
        int on = 1;
        // Replies are small and awaited one by one.
        ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return client;
}

} // namespace tolmaren_sim
