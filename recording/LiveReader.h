#pragma once

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_recording {

// Reads the packets of an open probe as codes, through the facade's stream
// decoder with the block counter followed, as the recorder and the Python
// module take them: packets whole or abandoned, every gap counted, across
// calls. Its counts are those since it was made.
class LiveReader {
public:
    // Forgets what the decoder held from before, so that what is read from
    // now on is exactly what the data link delivers from now on.
    explicit LiveReader(Tolmaren_basestation_api& api);

    // The next packet, valid until the next call; null at the end of a
    // played-back recording. Throws StatusError when no data came within the
    // library's 1-s time-out, ToolError when a second's worth of blocks in a
    // row failed their checks, morvek::FileDescriptor::ReadError once the
    // connection is lost and every byte received before was read.
    const CodePacket* next();
    // The packet in progress, abandoned: for a reader that stops. Null when
    // there is none.
    const CodePacket* finish() { return decoder_.finish(); }
    StreamCounts counts() const;

private:
    StreamDecoder& decoder_;
    StreamCounts start_;
    bool linkLost_ = false;
};

} // namespace tolmaren_recording
