#pragma once

#include <string>

#include "link/FileDescriptor.h"

struct addrinfo;

namespace morvek {

class TCPDescriptor;

// Opens stream connections: as a client (connect) or as a server (accept on
// a listening socket that is kept while the service stays the same). Either
// way the caller owns the returned descriptor.
class TCPSocket {
public:
    class Exception : public FileDescriptor::Exception {
    public:
        explicit Exception(const std::string& message) : FileDescriptor::Exception(message) {}
    };
    class Timeout : public Exception {
    public:
        explicit Timeout(const std::string& message) : Exception(message) {}
    };
    class PortInUse : public Exception {
    public:
        explicit PortInUse(const std::string& message) : Exception(message) {}
    };
    // No resolved address took the connection; error() is the system's error
    // number of the last attempt (0 when none was made).
    class ConnectFailed : public Exception {
    public:
        ConnectFailed(const std::string& message, int error) : Exception(message), error_(error) {}
        int error() const { return error_; }

    private:
        int error_;
    };

    // An address that does not answer fails its attempt after this long, with
    // ETIMEDOUT, instead of the minutes the system would wait.
    static constexpr int connectTimeoutMs = 5000;

    TCPSocket() = default;
    TCPSocket(const TCPSocket&) = delete;
    TCPSocket& operator=(const TCPSocket&) = delete;
    ~TCPSocket();

    // Throws ConnectFailed when no address takes the connection.
    TCPDescriptor* connect(const std::string& host, const std::string& service);
    TCPDescriptor* connect(const std::string& host, unsigned short port);
    TCPDescriptor* accept(const std::string& service);
    TCPDescriptor* accept(unsigned short port);
    // Seconds; 0 waits without limit.
    void setAcceptTimeout(unsigned int seconds) { acceptTimeout_ = seconds; }

private:
    static constexpr unsigned int noSocket = ~0u;

    unsigned int acceptTimeout_ = 0;
    bool needsListeningSocket_ = true;
    unsigned int listeningSocket_ = noSocket;
    std::string service_;
    int addressLength_ = 0;

    void listenOn(const addrinfo* addresses);
    void closeListeningSocket();
};

} // namespace morvek
