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

    // Starts the stream anew with a datapath reset: what the basestation, the
    // sockets and the data link still hold of the stream is dropped, and the
    // next packet is the first one converted with the probe's settings of
    // now. Its block counters start again, so the decoder begins a new
    // segment. With `softwareStart` the stream starts with the basestation's
    // software start instead, which resets the datapath as well and drives
    // the start-trigger line (enabled first), so that the basestations that
    // wait for an external start begin with it. Throws StatusError when the
    // reset fails.
    void restart(bool softwareStart = false);

    // The next packet, valid until the next call; null at the end of a
    // played-back recording. Throws StatusError when no data came within the
    // library's 1-s time-out, ToolError when a second's worth of blocks in a
    // row failed their checks, morvek::FileDescriptor::ReadError once the
    // connection is lost and every byte received before was read.
    const CodePacket* next();
    // As next(), but null also when no data came within the 1-s time-out,
    // for a reader that waits longer.
    const CodePacket* poll();
    // True once a played-back recording has nothing more.
    bool ended() const { return decoder_.ended(); }
    // True while the decoder holds bytes its counts do not account for yet
    // (a packet in progress).
    bool holding() const { return decoder_.holding(); }
    // The packet in progress, abandoned: for a reader that stops. Null when
    // there is none.
    const CodePacket* finish() { return decoder_.finish(); }
    StreamCounts counts() const;

private:
    Tolmaren_basestation_api& api_;
    StreamDecoder& decoder_;
    StreamCounts start_;
    bool linkLost_ = false;
};

} // namespace tolmaren_recording
