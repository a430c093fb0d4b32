#pragma once

#include "link/FileDescriptor.h"

namespace morvek {

// One connected stream socket. Reads and writes block, each wait bounded by
// the descriptor's time-out when one is set.
class TCPDescriptor : public FileDescriptor {
public:
    explicit TCPDescriptor(unsigned int socket);
    ~TCPDescriptor() override;

    bool writen(const char* buffer, unsigned int length) override;
    bool readn(char* buffer, unsigned int length) override;
    // One receive of at most length bytes, without a time-out.
    unsigned int readSome(char* buffer, unsigned int length) override;
    // Data or an end of stream is waiting.
    bool canRead() override;
    void close() override;
    bool readnCounted(char* buffer, unsigned int length, unsigned int& done) override;
    // As readnCounted, but done once `least` bytes have arrived: it takes
    // what the socket holds then, up to length, and waits for no more.
    bool readAtLeastCounted(char* buffer, unsigned int least, unsigned int length,
                            unsigned int& done);
    bool writenCounted(const char* buffer, unsigned int length, unsigned int& done) override;
    // A closed connection fails as readn does.
    unsigned int readAvailable(char* buffer, unsigned int length) override;

private:
    static constexpr unsigned int closedSocket = ~0u;
    unsigned int socket_;

    int handle() const { return static_cast<int>(socket_); }
};

} // namespace morvek
