#include "sim/StopSignal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace tolmaren_sim {

StopSignal::StopSignal() {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("cannot create the stop pipe");
    read_.reset(fds[0]);
    write_.reset(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
}

void StopSignal::raise() {
    raised_.store(true);
    const char byte = 1;
    // A full pipe is already raised, so a failed write changes nothing.
    [[maybe_unused]] ssize_t written = ::write(write_.get(), &byte, 1);
}

void StopSignal::clear() {
    char buffer[64];
    while (::read(read_.get(), buffer, sizeof buffer) > 0) {
    }
    raised_.store(false);
}

bool StopSignal::waitFor(unsigned int ms) const {
    pollfd p{read_.get(), POLLIN, 0};
    int result;
    do {
        result = ::poll(&p, 1, static_cast<int>(ms));
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

} // namespace tolmaren_sim
