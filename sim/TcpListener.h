#pragma once

#include <cstdint>
#include <string>

#include "sim/UniqueFd.h"

namespace tolmaren_sim {

// A listening IPv4 TCP socket, bound when constructed.
class TcpListener {
public:
    // Throws std::runtime_error when the address is not an IPv4 address or
    // the port cannot be bound. Port 0 binds a free port.
    TcpListener(const std::string& address, uint16_t port);

    int fd() const { return fd_.get(); }
    uint16_t port() const { return port_; }
    // Accepts one pending connection (non-blocking descriptor); invalid, with
    // errno telling why, when none could be taken.
    UniqueFd accept() const;

private:
    UniqueFd fd_;
    uint16_t port_ = 0;
};

} // namespace tolmaren_sim
