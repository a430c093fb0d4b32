#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/UniqueFd.h"

namespace tolmaren_sim {

// The bytes a client wrote on the data port, waiting to be echoed in order.
// The first memoryLimit bytes wait in memory; while more are waiting, newer
// bytes go to an unlinked temporary file and come back from it in order. At
// limit bytes the buffer is full and the server stops reading, which holds
// the client's writes back. Without a temporary file, limit falls to
// memoryLimit.
class LoopbackBuffer {
public:
    LoopbackBuffer(std::size_t memoryLimit, std::size_t limit);

    std::size_t size() const { return memoryBytes_ + (fileEnd_ - fileStart_); }
    bool empty() const { return size() == 0; }
    std::size_t room() const;
    // Stores up to room() bytes; returns how many it took.
    std::size_t append(const uint8_t* bytes, std::size_t count);
    // The next bytes in order, contiguous (count 0 when empty); valid until
    // the next call of a non-const member.
    const uint8_t* front(std::size_t& count);
    void consume(std::size_t count);

private:
    static constexpr std::size_t chunkBytes = 1u << 20;

    bool openFile();
    // An empty chunk with room for chunkBytes: the last one emptied when
    // there is one, so that streaming through the buffer does not allocate
    // and fault in a megabyte for every megabyte.
    std::vector<uint8_t> freshChunk();
    bool spilling() const { return fileEnd_ > fileStart_; }

    std::size_t memoryLimit_;
    std::size_t limit_;
    std::deque<std::vector<uint8_t>> chunks_;
    std::size_t headOffset_ = 0; // consumed bytes of the first chunk
    std::vector<uint8_t> spare_;
    std::size_t memoryBytes_ = 0;
    UniqueFd file_;
    bool fileFailed_ = false;
    std::size_t fileStart_ = 0; // unread range of the file
    std::size_t fileEnd_ = 0;
};

} // namespace tolmaren_sim
