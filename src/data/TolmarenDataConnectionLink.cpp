#include "data/TolmarenDataConnectionLink.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/Diagnostics.h"
#include "link/TCPDescriptor.h"

TolmarenDataConnectionLink::TolmarenDataConnectionLink(const std::string& host, unsigned short port)
    : connection_(socket_.connect(host, port)) {
    connection_->setTimeout(1);
    Diagnostics::stream() << "TolmarenDataConnectionLink\n";
    buffer_.reset(new unsigned char[bufferSize]);
    position_ = buffer_.get() + bufferSize;
}

TolmarenDataConnectionLink::TolmarenDataConnectionLink(const std::string& file)
    : playback_(file, std::ios::in | std::ios::binary) {
    Diagnostics::stream() << "TolmarenDataConnectionLink with playback " << file << "\n";
    buffer_.reset(new unsigned char[bufferSize]);
    position_ = buffer_.get() + bufferSize;
}

TolmarenDataConnectionLink::~TolmarenDataConnectionLink() = default;

bool TolmarenDataConnectionLink::write(ConnectionLinkPacket& packet) {
    if (connection_ == nullptr) return false;
    // Slice by slice, so that a packet of many megabytes is not copied whole
    // before it can be sent; a pause of the peer still ends the write.
    std::vector<unsigned char> slice(std::min(packet.size(), sliceBytes));
    for (auto at = packet.begin(); at != packet.end();) {
        const auto n = static_cast<unsigned int>(
            std::min<std::size_t>(static_cast<std::size_t>(packet.end() - at), slice.size()));
        std::copy(at, at + n, slice.data());
        if (!connection_->writen(reinterpret_cast<const char*>(slice.data()), n)) return false;
        at += n;
    }
    return true;
}

unsigned char* TolmarenDataConnectionLink::rawread(unsigned int n) {
    // Nothing is wanted, so nothing is taken: the start of the buffer, never a
    // pointer past its end.
    if (n == 0) return buffer_.get();
    // The result must lie inside the buffer; larger requests cannot be served.
    if (n > bufferSize) return nullptr;
    unsigned char* bytes = connection_ != nullptr ? liveRawread(n) : playbackRawread(n);
    if (bytes != nullptr) record(bytes, n);
    return bytes;
}

unsigned char* TolmarenDataConnectionLink::liveRawread(unsigned int n) {
    unsigned char* const end = buffer_.get() + bufferSize;
    if (n <= static_cast<unsigned int>(end - position_)) {
        unsigned char* bytes = position_;
        position_ += n;
        return bytes;
    }
    // Refill with one receive: keep the undelivered tail at the front and
    // fill the rest of the buffer.
    const unsigned int pending = static_cast<unsigned int>(end - position_);
    std::memmove(buffer_.get(), position_, pending);
    // Until the receive completes the buffer holds nothing deliverable, also
    // when it throws.
    position_ = end;
    if (!connection_->readn(reinterpret_cast<char*>(buffer_.get() + pending), bufferSize - pending))
        return nullptr; // a pause: what arrived of this refill cannot be told apart, so it goes
    position_ = buffer_.get() + n;
    return buffer_.get();
}

unsigned char* TolmarenDataConnectionLink::playbackRawread(unsigned int n) {
    playback_.read(reinterpret_cast<char*>(buffer_.get()), n);
    if (!playback_ || static_cast<unsigned int>(playback_.gcount()) != n) return nullptr;
    return buffer_.get();
}

ConnectionLinkPacket TolmarenDataConnectionLink::read(unsigned int size) {
    if (connection_ == nullptr) {
        std::unique_ptr<char[]> bytes(new char[size]);
        playback_.read(bytes.get(), size);
        if (!playback_ || static_cast<unsigned int>(playback_.gcount()) != size)
            return ConnectionLinkPacket();
        record(bytes.get(), size);
        return ConnectionLinkPacket(bytes.get(), size);
    }
    // Bytes already buffered for rawread come first, so that the stream is
    // delivered in order whichever of the two reads is used. They are taken
    // only once the whole read has succeeded: a read that times out (or
    // throws) leaves them for the next one.
    unsigned char* const end = buffer_.get() + bufferSize;
    const unsigned int buffered = std::min(size, static_cast<unsigned int>(end - position_));
    ConnectionLinkPacket packet;
    packet.insert(packet.end(), position_, position_ + buffered);
    // The rest goes into the packet slice by slice, never held twice whole.
    std::vector<unsigned char> slice(std::min<std::size_t>(size, sliceBytes));
    for (unsigned int remaining = size - buffered; remaining > 0;) {
        const auto n = static_cast<unsigned int>(std::min<std::size_t>(remaining, slice.size()));
        if (!connection_->readn(reinterpret_cast<char*>(slice.data()), n))
            return ConnectionLinkPacket();
        packet.insert(packet.end(), slice.data(), slice.data() + n);
        remaining -= n;
    }
    position_ += buffered;
    if (recording_.is_open()) {
        for (auto at = packet.begin(); at != packet.end();) {
            const auto n =
                std::min<std::size_t>(static_cast<std::size_t>(packet.end() - at), slice.size());
            std::copy(at, at + static_cast<std::ptrdiff_t>(n), slice.data());
            recording_.write(reinterpret_cast<const char*>(slice.data()),
                             static_cast<std::streamsize>(n));
            at += static_cast<std::ptrdiff_t>(n);
        }
    }
    return packet;
}

void TolmarenDataConnectionLink::record(const void* bytes, unsigned int n) {
    if (recording_.is_open()) recording_.write(static_cast<const char*>(bytes), n);
}

void TolmarenDataConnectionLink::startRecording(const std::string& file) {
    stopRecording();
    recording_.open(file, std::ios::out | std::ios::binary | std::ios::trunc);
}

void TolmarenDataConnectionLink::stopRecording() {
    if (recording_.is_open()) recording_.close();
}
