#pragma once

#include <cstddef>
#include <vector>

#include "data/BlockSource.h"

namespace tolmaren_recording {

class OutputFile;

// A stream decoder's source during a recording: the source it had, with
// every chunk that source delivers held for the recording, so that the file
// holds exactly the bytes the decoder reads. Taken bytes that stay where the
// source put them (a live link's buffer) are written from there; they are
// copied only when the source is about to reuse their memory.
class RecordingSource : public BlockSource {
public:
    explicit RecordingSource(BlockSource& source) : source_(source) {}

    const unsigned char* take(unsigned int n) override;
    bool ended() const override { return source_.ended(); }

    // Bytes taken and not yet written.
    std::size_t pending() const {
        return copied_.size() + static_cast<std::size_t>(runEnd_ - run_);
    }
    // Whether taking n more bytes could make this copy pending bytes, which
    // writing them first avoids.
    bool wouldCopy(unsigned int n) const { return run_ != runEnd_ && !source_.keepsTaken(n); }
    // Appends the first n pending bytes to the file, in stream order; throws
    // WriteError.
    void writeTo(OutputFile& file, std::size_t n);

private:
    void copyRun();

    BlockSource& source_;
    // Pending bytes copied out of the source; the run follows them.
    std::vector<unsigned char> copied_;
    // Pending bytes still in the source's memory, contiguous.
    const unsigned char* run_ = nullptr;
    const unsigned char* runEnd_ = nullptr;
};

} // namespace tolmaren_recording
