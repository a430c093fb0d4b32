#include "link/TCPDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace morvek {

namespace {

enum class Wait { Ready, TimedOut, Failed };

// Waits until the socket is ready for the given events, at most timeoutMilli;
// interrupted waits start again.
Wait waitFor(int socket, short events, unsigned int timeoutMilli) {
    pollfd entry{socket, events, 0};
    const int timeout = timeoutMilli > static_cast<unsigned int>(INT_MAX)
                            ? INT_MAX
                            : static_cast<int>(timeoutMilli);
    for (;;) {
        const int result = ::poll(&entry, 1, timeout);
        if (result > 0) return Wait::Ready;
        if (result == 0) return Wait::TimedOut;
        if (errno != EINTR) return Wait::Failed;
    }
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

TCPDescriptor::TCPDescriptor(unsigned int socket) : socket_(socket) {}

TCPDescriptor::~TCPDescriptor() {
    TCPDescriptor::close();
}

void TCPDescriptor::setReadTimeout(unsigned int seconds) {
    setReadTimeoutMilli(seconds * 1000u);
}

void TCPDescriptor::setReadTimeoutMilli(unsigned int milliseconds) {
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(milliseconds / 1000u);
    timeout.tv_usec = static_cast<suseconds_t>(milliseconds % 1000u * 1000u);
    if (::setsockopt(handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        throw ReadError("TCPDescriptor cannot set the read time-out");
    FileDescriptor::setReadTimeoutMilli(milliseconds);
}

void TCPDescriptor::close() {
    if (socket_ != closedSocket) {
        ::close(handle());
        socket_ = closedSocket;
    }
}

bool TCPDescriptor::readnCounted(char* buffer, unsigned int length, unsigned int& done) {
    return readAtLeastCounted(buffer, length, length, done);
}

bool TCPDescriptor::readAtLeastCounted(char* buffer, unsigned int least, unsigned int length,
                                       unsigned int& done) {
    for (done = 0; done < least;) {
        const unsigned int wanted = least - done;
        unsigned int count = 0;
        if (wanted >= minBatchBytes && readTimeoutMilli_ > batchWaitMilli)
            count = readBatch(buffer + done, length - done, std::min(wanted, batchBytes));
        if (count == 0) count = readAvailable(buffer + done, length - done);
        if (count == 0) return false;
        done += count;
    }
    return true;
}

unsigned int TCPDescriptor::readBatch(char* buffer, unsigned int length, unsigned int mark) {
    setLowWater(mark);
    if (waitFor(handle(), POLLIN, batchWaitMilli) == Wait::Failed)
        throw ReadError("TCPDescriptor readn failed");
    for (;;) {
        const ssize_t count = ::recv(handle(), buffer, length, MSG_DONTWAIT);
        if (count > 0) return static_cast<unsigned int>(count);
        if (count == 0) throw ReadError("TCPDescriptor readn failed");
        if (errno == EINTR) continue;
        if (wouldBlock(errno)) return 0;
        throw ReadError("TCPDescriptor readn failed");
    }
}

void TCPDescriptor::setLowWater(unsigned int bytes) {
    if (bytes == lowWater_) return;
    const int value = static_cast<int>(bytes);
    // Without it every wait ends at the first byte, which costs only time.
    if (::setsockopt(handle(), SOL_SOCKET, SO_RCVLOWAT, &value, sizeof value) == 0)
        lowWater_ = bytes;
}

// The socket's receive time-out bounds the wait: it ends without data only
// when the time-out passed.
unsigned int TCPDescriptor::readAvailable(char* buffer, unsigned int length) {
    if (length == 0) return 0;
    setLowWater(1);
    for (;;) {
        const ssize_t count = ::recv(handle(), buffer, length, 0);
        if (count > 0) return static_cast<unsigned int>(count);
        if (count == 0) throw ReadError("TCPDescriptor readn failed");
        if (errno == EINTR) continue;
        if (readTimeoutMilli_ != 0 && wouldBlock(errno)) return 0;
        throw ReadError("TCPDescriptor readn failed");
    }
}

bool TCPDescriptor::writenCounted(const char* buffer, unsigned int length, unsigned int& done) {
    done = 0;
    while (done < length) {
        // MSG_NOSIGNAL: a peer that has gone away gives an error, not SIGPIPE.
        const int flags = MSG_NOSIGNAL | (writeTimeoutMilli_ != 0 ? MSG_DONTWAIT : 0);
        const ssize_t count = ::send(handle(), buffer + done, length - done, flags);
        if (count > 0) {
            done += static_cast<unsigned int>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (!(count < 0 && writeTimeoutMilli_ != 0 && wouldBlock(errno)))
            throw WriteError("TCPDescriptor write failed");
        const Wait wait = waitFor(handle(), POLLOUT, writeTimeoutMilli_);
        if (wait == Wait::TimedOut) return false;
        if (wait == Wait::Failed) throw WriteError("TCPDescriptor write failed");
    }
    return true;
}

bool TCPDescriptor::readn(char* buffer, unsigned int length) {
    unsigned int done = 0;
    return readnCounted(buffer, length, done);
}

bool TCPDescriptor::writen(const char* buffer, unsigned int length) {
    unsigned int done = 0;
    return writenCounted(buffer, length, done);
}

unsigned int TCPDescriptor::readSome(char* buffer, unsigned int length) {
    if (length == 0) return 0;
    for (;;) {
        const ssize_t count = ::recv(handle(), buffer, length, 0);
        if (count > 0) return static_cast<unsigned int>(count);
        // The receive time-out passing is no end: this read waits on.
        if (count == 0 || !(errno == EINTR || (readTimeoutMilli_ != 0 && wouldBlock(errno))))
            throw ReadError("FileDescriptor readSome failed");
    }
}

bool TCPDescriptor::canRead() {
    pollfd entry{handle(), POLLIN, 0};
    for (;;) {
        const int result = ::poll(&entry, 1, 0);
        if (result > 0 && (entry.revents & POLLNVAL) != 0)
            throw ReadError("FileDescriptor read failed");
        if (result >= 0) return result > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (errno != EINTR) throw ReadError("FileDescriptor read failed");
    }
}

} // namespace morvek
