#include "link/TCPSocket.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

#include "link/TCPDescriptor.h"

namespace morvek {

namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

// A numeric host ("127.0.0.1") is converted locally by getaddrinfo, without
// asking any name service.
AddressList resolve(const char* host, const std::string& service, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    if (flags & AI_PASSIVE) hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, service.c_str(), &hints, &list) != 0) return nullptr;
    return AddressList(list);
}

// The outcome of a connection attempt under way: writability ends the wait,
// and the socket's error tells how it ended.
int awaitConnection(int socket) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(TCPSocket::connectTimeoutMs);
    pollfd entry{socket, POLLOUT, 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready > 0) break;
        if (ready == 0) return ETIMEDOUT;
        if (errno != EINTR) return errno;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

// Connects without blocking, so that the attempt can be given up after
// connectTimeoutMs (a connect interrupted by a signal goes on in the
// background likewise); the connected socket blocks again.
int connectOnce(int socket, const addrinfo& address) {
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
    int error = 0;
    if (::connect(socket, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) error = awaitConnection(socket);
    }
    if (error == 0 && fcntl(socket, F_SETFL, flags) != 0) return errno;
    return error;
}

} // namespace

TCPSocket::~TCPSocket() {
    closeListeningSocket();
}

TCPDescriptor* TCPSocket::connect(const std::string& host, const std::string& service) {
    AddressList addresses = resolve(host.c_str(), service, 0);
    if (!addresses) throw Exception("getaddrinfo failed in TCPSocket::connect");
    std::string errorText;
    int lastError = 0;
    for (const addrinfo* a = addresses.get(); a != nullptr; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) continue;
        const int error = connectOnce(s, *a);
        if (error == 0) return new TCPDescriptor(static_cast<unsigned int>(s));
        lastError = error;
        errorText = std::generic_category().message(error);
        ::close(s);
    }
    throw ConnectFailed("TCPSocket::connect failed : " + errorText, lastError);
}

TCPDescriptor* TCPSocket::connect(const std::string& host, unsigned short port) {
    return connect(host, std::to_string(port));
}

TCPDescriptor* TCPSocket::accept(unsigned short port) {
    return accept(std::to_string(port));
}

TCPDescriptor* TCPSocket::accept(const std::string& service) {
    AddressList addresses = resolve(nullptr, service, AI_PASSIVE);
    if (!addresses) throw Exception("getaddrinfo failed in TCPSocket::accept");
    if (listeningSocket_ != noSocket && service != service_) closeListeningSocket();
    service_ = service;
    if (needsListeningSocket_) listenOn(addresses.get());
    addresses.reset();

    const int listening = static_cast<int>(listeningSocket_);
    const int timeoutMilli = acceptTimeout_ > static_cast<unsigned int>(INT_MAX) / 1000u
                                 ? INT_MAX
                                 : static_cast<int>(acceptTimeout_ * 1000u);
    for (;;) {
        if (acceptTimeout_ != 0) {
            pollfd entry{listening, POLLIN, 0};
            const int ready = ::poll(&entry, 1, timeoutMilli);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) throw Exception("TCPSocket select failed");
            if (ready == 0) {
                needsListeningSocket_ = false;
                throw Timeout("TCPSocket accept timeout");
            }
        }
        needsListeningSocket_ = false;
        const int s = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (s >= 0) return new TCPDescriptor(static_cast<unsigned int>(s));
        // A connection reset while queued is as harmless as an interruption.
        if (errno != EINTR && errno != ECONNABORTED) throw std::logic_error("socket accept failed");
    }
}

void TCPSocket::listenOn(const addrinfo* addresses) {
    int listening = -1;
    for (const addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) continue;
        // A restarted server must not wait for old connections to time out.
        const int on = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(s, a->ai_addr, a->ai_addrlen) == 0) {
            listening = s;
            addressLength_ = static_cast<int>(a->ai_addrlen);
            break;
        }
        ::close(s);
    }
    if (listening < 0) throw PortInUse("bind failed in TCPSocket::accept");
    if (::listen(listening, 5) != 0) {
        ::close(listening);
        throw Exception("socket listen failed");
    }
    listeningSocket_ = static_cast<unsigned int>(listening);
}

void TCPSocket::closeListeningSocket() {
    if (listeningSocket_ != noSocket) {
        ::close(static_cast<int>(listeningSocket_));
        listeningSocket_ = noSocket;
    }
    needsListeningSocket_ = true;
}

} // namespace morvek
