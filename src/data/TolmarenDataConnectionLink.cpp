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
    position_ = filled_ = buffer_.get() + bufferSize;
}

TolmarenDataConnectionLink::TolmarenDataConnectionLink(const std::string& file)
    : playback_(file, std::ios::in | std::ios::binary) {
    Diagnostics::stream() << "TolmarenDataConnectionLink with playback " << file << "\n";
    buffer_.reset(new unsigned char[bufferSize]);
    position_ = filled_ = buffer_.get() + bufferSize;
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
        unsigned int sent = 0;
        if (!connection_->writenCounted(reinterpret_cast<const char*>(slice.data()), n, sent)) {
            // The link keeps the packet to its unsent bytes: a retry with the
            // same packet sends no byte twice.
            packet.erase(packet.begin(), at + sent);
            return false;
        }
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
    if (n > held()) refill(n);
    if (n > held()) return nullptr; // a pause; what arrived waits for the next read
    unsigned char* bytes = position_;
    position_ += n;
    return bytes;
}

// The undelivered bytes move to the front, the kept ones follow, and one
// receive fills the rest of the buffer unless the stream pauses for longer
// than the read time-out; at low latency it ends once n bytes are held. The
// link keeps whatever arrived, also when the receive throws.
void TolmarenDataConnectionLink::refill(unsigned int n) {
    unsigned char* const start = buffer_.get();
    unsigned char* const end = start + bufferSize;
    const unsigned int pending = held();
    std::memmove(start, position_, pending);
    position_ = start;
    filled_ = start + pending;
    const auto fromKept = static_cast<std::ptrdiff_t>(
        std::min<std::size_t>(kept_.size(), static_cast<std::size_t>(end - filled_)));
    std::copy(kept_.begin(), kept_.begin() + fromKept, filled_);
    kept_.erase(kept_.begin(), kept_.begin() + fromKept);
    filled_ += fromKept;
    const auto room = static_cast<unsigned int>(end - filled_);
    const unsigned int least = !lowLatency_ ? room : n > held() ? n - held() : 0;
    unsigned int received = 0;
    try {
        connection_->readAtLeastCounted(reinterpret_cast<char*>(filled_), least, room, received);
    } catch (...) {
        filled_ += received;
        throw;
    }
    filled_ += received;
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
    // In stream order: the bytes buffered for rawread, the kept ones, the
    // socket's.
    ConnectionLinkPacket packet;
    const unsigned int buffered = std::min(size, held());
    packet.insert(packet.end(), position_, position_ + buffered);
    position_ += buffered;
    const auto fromKept =
        static_cast<std::ptrdiff_t>(std::min<std::size_t>(size - buffered, kept_.size()));
    packet.insert(packet.end(), kept_.begin(), kept_.begin() + fromKept);
    kept_.erase(kept_.begin(), kept_.begin() + fromKept);
    // The rest goes into the packet slice by slice, never held twice whole.
    std::vector<unsigned char> slice(std::min<std::size_t>(size - packet.size(), sliceBytes));
    while (packet.size() < size) {
        const auto n = static_cast<unsigned int>(std::min(size - packet.size(), slice.size()));
        unsigned int received = 0;
        bool whole = false;
        try {
            whole = connection_->readnCounted(reinterpret_cast<char*>(slice.data()), n, received);
        } catch (...) {
            packet.insert(packet.end(), slice.data(), slice.data() + received);
            kept_ = std::move(packet);
            throw;
        }
        packet.insert(packet.end(), slice.data(), slice.data() + received);
        if (!whole) {
            kept_ = std::move(packet); // kept_ went into the packet whole
            return ConnectionLinkPacket();
        }
    }
    record(packet);
    return packet;
}

void TolmarenDataConnectionLink::record(const void* bytes, unsigned int n) {
    if (recording_.is_open()) recording_.write(static_cast<const char*>(bytes), n);
}

void TolmarenDataConnectionLink::record(const ConnectionLinkPacket& packet) {
    if (!recording_.is_open()) return;
    std::vector<char> slice(std::min(packet.size(), sliceBytes));
    for (auto at = packet.begin(); at != packet.end();) {
        const auto n = static_cast<std::ptrdiff_t>(
            std::min<std::size_t>(static_cast<std::size_t>(packet.end() - at), slice.size()));
        std::copy(at, at + n, slice.data());
        recording_.write(slice.data(), n);
        at += n;
    }
}

void TolmarenDataConnectionLink::startRecording(const std::string& file) {
    stopRecording();
    recording_.open(file, std::ios::out | std::ios::binary | std::ios::trunc);
}

void TolmarenDataConnectionLink::stopRecording() {
    if (recording_.is_open()) recording_.close();
}

void TolmarenDataConnectionLink::discard() {
    position_ = filled_;
    kept_.clear();
}
