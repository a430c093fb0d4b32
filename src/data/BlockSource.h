#pragma once

// Where a stream decoder takes its bytes from: the data link, a file, memory.
class BlockSource {
public:
    virtual ~BlockSource() = default;
    // The next n bytes, contiguous and valid until the next call; null when
    // they cannot be had now (a pause of a live stream, or the end).
    virtual const unsigned char* take(unsigned int n) = 0;
    // True once the stream can deliver nothing more (the end of a file), so
    // that a null from take() is final rather than a pause.
    virtual bool ended() const = 0;
    // True when take(n) now would leave the bytes of earlier takes where they
    // are, so that a caller may go on reading them; false when it may reuse
    // their memory (what a source that cannot tell says).
    virtual bool keepsTaken(unsigned int) const { return false; }
};
