#include "sim/LoopbackBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace tolmaren_sim {

LoopbackBuffer::LoopbackBuffer(std::size_t memoryLimit, std::size_t limit)
    : memoryLimit_(memoryLimit), limit_(std::max(limit, memoryLimit)) {}

std::size_t LoopbackBuffer::room() const {
    const std::size_t bound = fileFailed_ ? memoryLimit_ : limit_;
    return size() >= bound ? 0 : bound - size();
}

bool LoopbackBuffer::openFile() {
    if (file_.valid()) return true;
    if (fileFailed_) return false;
    const char* dir = std::getenv("TMPDIR");
    std::string path =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tolmaren_loopback_XXXXXX";
    file_.reset(::mkstemp(path.data()));
    if (!file_.valid()) {
        fileFailed_ = true;
        return false;
    }
    ::unlink(path.c_str()); // gone with the descriptor
    return true;
}

std::size_t LoopbackBuffer::append(const uint8_t* bytes, std::size_t count) {
    count = std::min(count, room());
    std::size_t taken = 0;
    // Into memory while nothing waits in the file (that keeps the order).
    while (taken < count && !spilling() && memoryBytes_ < memoryLimit_) {
        if (chunks_.empty() || chunks_.back().size() == chunkBytes) chunks_.push_back(freshChunk());
        std::vector<uint8_t>& chunk = chunks_.back();
        const std::size_t n =
            std::min({count - taken, chunkBytes - chunk.size(), memoryLimit_ - memoryBytes_});
        chunk.insert(chunk.end(), bytes + taken, bytes + taken + n);
        memoryBytes_ += n;
        taken += n;
    }
    while (taken < count && openFile()) {
        const ssize_t n =
            ::pwrite(file_.get(), bytes + taken, count - taken, static_cast<off_t>(fileEnd_));
        if (n <= 0) {
            fileFailed_ = true; // what is in the file stays readable
            break;
        }
        fileEnd_ += static_cast<std::size_t>(n);
        taken += static_cast<std::size_t>(n);
    }
    return taken;
}

std::vector<uint8_t> LoopbackBuffer::freshChunk() {
    std::vector<uint8_t> chunk = std::move(spare_);
    spare_ = {};
    chunk.clear();
    chunk.reserve(chunkBytes);
    return chunk;
}

const uint8_t* LoopbackBuffer::front(std::size_t& count) {
    if (memoryBytes_ == 0 && spilling()) {
        // Bring the oldest bytes of the file back into memory.
        std::vector<uint8_t> chunk = freshChunk();
        chunk.resize(std::min(chunkBytes, fileEnd_ - fileStart_));
        const ssize_t n =
            ::pread(file_.get(), chunk.data(), chunk.size(), static_cast<off_t>(fileStart_));
        if (n > 0) {
            chunk.resize(static_cast<std::size_t>(n));
            fileStart_ += chunk.size();
            memoryBytes_ += chunk.size();
            chunks_.push_back(std::move(chunk));
            headOffset_ = 0;
        } else {
            fileStart_ = fileEnd_; // unreadable: what was there is lost
        }
        if (fileStart_ == fileEnd_) {
            fileStart_ = fileEnd_ = 0;
            if (::ftruncate(file_.get(), 0) != 0) fileFailed_ = true;
        }
    }
    if (memoryBytes_ == 0) {
        count = 0;
        return nullptr;
    }
    count = chunks_.front().size() - headOffset_;
    return chunks_.front().data() + headOffset_;
}

void LoopbackBuffer::consume(std::size_t count) {
    while (count > 0 && !chunks_.empty()) {
        const std::size_t n = std::min(count, chunks_.front().size() - headOffset_);
        headOffset_ += n;
        memoryBytes_ -= n;
        count -= n;
        if (headOffset_ == chunks_.front().size()) {
            spare_ = std::move(chunks_.front());
            chunks_.pop_front();
            headOffset_ = 0;
        }
    }
}

} // namespace tolmaren_sim
