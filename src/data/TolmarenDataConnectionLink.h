#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "data/TolmarenConnectionLinkIntf.h"
#include "link/TCPSocket.h"

namespace morvek {
class TCPDescriptor;
}

// The neural-data link: the basestation's data stream over TCP, or a recorded
// file played back in its place. Every byte delivered to the caller can be
// appended to a recording file, which is the raw stream without any framing.
class TolmarenDataConnectionLink : public TolmarenConnectionLinkIntf {
public:
    static constexpr unsigned int bufferSize = maxRawread;
    // Large writes and reads pass through a slice of this size at a time.
    static constexpr std::size_t sliceBytes = 0x40000;

    // Live: connects to the basestation's data port; throws
    // morvek::TCPSocket::Exception when that fails.
    TolmarenDataConnectionLink(const std::string& host, unsigned short port);
    // Playback of a recorded file. A file that does not open gives a link
    // whose every read returns nothing.
    explicit TolmarenDataConnectionLink(const std::string& file);
    ~TolmarenDataConnectionLink() override;
    TolmarenDataConnectionLink(const TolmarenDataConnectionLink&) = delete;
    TolmarenDataConnectionLink& operator=(const TolmarenDataConnectionLink&) = delete;

    // A write that times out leaves in the packet only the bytes it did not
    // send, so that writing the same packet again goes on where it stopped.
    bool write(ConnectionLinkPacket& packet) override;
    // Live: the bytes the link holds first, then the socket's. A read that
    // times out or throws keeps what it took, in order, for the next read.
    ConnectionLinkPacket read(unsigned int size) override;
    // Live: a refill that times out keeps what arrived; the read succeeds
    // when that holds n bytes, else it gives null and the next read goes on
    // from there. Null also when n exceeds the buffer; for n = 0 the start of
    // the buffer, nothing taken or recorded.
    unsigned char* rawread(unsigned int n) override;
    // Live: only a refill moves the buffered bytes, and it comes only when
    // the link holds fewer than n; playback reads every request into the
    // start of the buffer.
    bool keepsDelivered(unsigned int n) const override {
        return connection_ != nullptr && n <= held();
    }
    // Live, low latency: a refill returns as soon as the read's n bytes are
    // in, with whatever else the socket holds then, instead of waiting for a
    // full buffer (about 57 ms of the real-time stream). Costs a receive
    // about every time the basestation sends. Off by default; from the next
    // refill on.
    void setLowLatency(bool on) { lowLatency_ = on; }
    void startRecording(const std::string& file) override;
    void stopRecording() override;
    void discard() override;

private:
    unsigned char* liveRawread(unsigned int n);
    unsigned char* playbackRawread(unsigned int n);
    // Makes at least n bytes held unless the stream pauses or fails.
    void refill(unsigned int n);
    unsigned int held() const { return static_cast<unsigned int>(filled_ - position_); }
    void record(const void* bytes, unsigned int n);
    void record(const ConnectionLinkPacket& packet);

    morvek::TCPSocket socket_;
    std::unique_ptr<morvek::TCPDescriptor> connection_; // null in playback
    std::ofstream recording_;
    std::ifstream playback_;
    std::unique_ptr<unsigned char[]> buffer_;
    // Next byte not yet delivered; the bytes from here to filled_ were
    // received but not delivered.
    unsigned char* position_ = nullptr;
    // End of the received bytes: the end of the buffer unless a refill timed
    // out.
    unsigned char* filled_ = nullptr;
    // What a timed-out read took; in the stream it follows the bytes
    // buffered up to filled_.
    ConnectionLinkPacket kept_;
    bool lowLatency_ = false;
};
