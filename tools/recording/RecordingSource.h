#pragma once

#include <vector>

#include "data/BlockSource.h"

namespace tolmaren_recording {

// A stream decoder's source during a recording: the source it had, with
// every chunk that source delivers appended to the recorder's pending bytes,
// so that the recording holds exactly the bytes the decoder reads.
class RecordingSource : public BlockSource {
public:
    RecordingSource(BlockSource& source, std::vector<unsigned char>& recorded)
        : source_(source), recorded_(recorded) {}

    const unsigned char* take(unsigned int n) override {
        const unsigned char* bytes = source_.take(n);
        if (bytes != nullptr) recorded_.insert(recorded_.end(), bytes, bytes + n);
        return bytes;
    }
    bool ended() const override { return source_.ended(); }

private:
    BlockSource& source_;
    std::vector<unsigned char>& recorded_;
};

} // namespace tolmaren_recording
