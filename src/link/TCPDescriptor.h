#pragma once

#include "link/FileDescriptor.h"

namespace morvek {

// One connected stream socket. Reads and writes block, each wait bounded by
// the descriptor's time-out when one is set.
class TCPDescriptor : public FileDescriptor {
public:
    explicit TCPDescriptor(unsigned int socket);
    ~TCPDescriptor() override;

    // The read time-out is the socket's receive time-out as well, so that a
    // receive waits for data itself: one system call for a reply rather
    // than three. Throws ReadError when the socket does not take it.
    void setReadTimeout(unsigned int seconds) override;
    void setReadTimeoutMilli(unsigned int milliseconds) override;

    bool writen(const char* buffer, unsigned int length) override;
    bool readn(char* buffer, unsigned int length) override;
    // One receive of at most length bytes, without a time-out.
    unsigned int readSome(char* buffer, unsigned int length) override;
    // Data or an end of stream is waiting.
    bool canRead() override;
    void close() override;
    bool readnCounted(char* buffer, unsigned int length, unsigned int& done) override;
    // As readnCounted, but done once `least` bytes have arrived: it takes
    // what the socket holds then, up to length, and waits for no more. While
    // at least minBatchBytes are still wanted, with a read time-out set, it
    // wakes once a batch of them (at most batchBytes) has arrived rather
    // than at every segment (a stream at 18 MB/s arrives in thousands of
    // them a second); a batch that does not complete within batchWaitMilli
    // is taken as it is, and the wait for more goes on as without batches,
    // so a pause of the stream is found at most batchWaitMilli later than
    // without them.
    bool readAtLeastCounted(char* buffer, unsigned int least, unsigned int length,
                            unsigned int& done);
    static constexpr unsigned int minBatchBytes = 64 * 1024;
    static constexpr unsigned int batchBytes = 256 * 1024;
    static constexpr unsigned int batchWaitMilli = 100;
    bool writenCounted(const char* buffer, unsigned int length, unsigned int& done) override;
    // A closed connection fails as readn does.
    unsigned int readAvailable(char* buffer, unsigned int length) override;

private:
    static constexpr unsigned int closedSocket = ~0u;
    unsigned int socket_;
    // The socket's receive low-water mark: a wait for readable data ends
    // once this many bytes are in (or earlier, when the kernel cannot hold
    // them all).
    unsigned int lowWater_ = 1;

    // One batch of `mark` bytes, or what came within batchWaitMilli; 0 when
    // nothing came.
    unsigned int readBatch(char* buffer, unsigned int length, unsigned int mark);
    void setLowWater(unsigned int bytes);

    int handle() const { return static_cast<int>(socket_); }
};

} // namespace morvek
