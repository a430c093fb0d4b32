// The HDLC receiver, over the TCP link's receive buffer on an in-memory
// connection and over a link that delivers one byte per read. Any bytes, with
// time-outs among them, give frames or empty reads, never a crash or a read of
// unbounded length, and the same frames whichever way they are delivered: in
// segments of any size or byte by byte. A payload framed by the padded writer
// reads back unchanged.
//
// The first byte's low 6 bits space the time-outs: one after every that many
// bytes (0: none); its top 2 bits pick the size of the segments the connection
// receives (cut also at each time-out): as large as the time-outs allow, 1, 2
// or 7 bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "link/Diagnostics.h"
#include "link/HdlcConnectionLink32.h"
#include "link/TcpConnectionLink.h"

namespace {

constexpr int timeout = -1;

// One receive per segment of the script, a time-out where the script says so
// and for every receive after its end.
class SegmentedConnection : public morvek::FileDescriptor {
public:
    SegmentedConnection(const std::deque<int>& script, std::size_t segmentSize) {
        std::vector<unsigned char> segment;
        for (int next : script) {
            if (next == timeout || segment.size() == segmentSize) {
                if (!segment.empty()) segments_.push_back(segment);
                segment.clear();
            }
            if (next == timeout)
                segments_.emplace_back();
            else
                segment.push_back(static_cast<unsigned char>(next));
        }
        if (!segment.empty()) segments_.push_back(segment);
    }
    unsigned int readAvailable(char* buffer, unsigned int length) override {
        if (segments_.empty()) {
            ++readsPastTheEnd;
            return 0;
        }
        std::vector<unsigned char>& segment = segments_.front();
        const auto count = static_cast<unsigned int>(std::min<std::size_t>(length, segment.size()));
        std::copy_n(segment.begin(), count, buffer);
        segment.erase(segment.begin(), segment.begin() + count);
        if (segment.empty()) segments_.pop_front();
        return count;
    }

    unsigned int readsPastTheEnd = 0;

private:
    std::deque<std::vector<unsigned char>> segments_; // empty: a time-out
};

// The link below: writes are kept; each read delivers one byte of the script,
// or nothing (a time-out) where the script says so and after its end.
class ScriptedBytes : public ConnectionLinkIntf {
public:
    bool write(ConnectionLinkPacket& packet) override {
        written.insert(written.end(), packet.begin(), packet.end());
        return true;
    }
    ConnectionLinkPacket read(unsigned int) override {
        ConnectionLinkPacket packet;
        if (script.empty()) {
            ++readsPastTheEnd;
            return packet;
        }
        const int next = script.front();
        script.pop_front();
        if (next != timeout) packet.push_back(static_cast<unsigned char>(next));
        return packet;
    }

    std::deque<int> script;
    ConnectionLinkPacket written;
    unsigned int readsPastTheEnd = 0;
};

// The payloads read until the first read after the end of the input.
template <typename Below>
std::vector<ConnectionLinkPacket> readAll(HdlcConnectionLink& receiver, const Below& below,
                                          size_t size) {
    std::vector<ConnectionLinkPacket> payloads;
    while (below.readsPastTheEnd == 0) {
        payloads.push_back(receiver.read(0));
        if (payloads.back().size() > size || payloads.size() > 2 * size + 1) std::abort();
    }
    return payloads;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Diagnostics::redirect(nullptr);
    const unsigned int timeoutEvery = data[0] % 64;
    const std::size_t segmentSizes[] = {size, 1, 2, 7};
    std::deque<int> script;
    for (size_t i = 1; i < size; ++i) {
        script.push_back(data[i]);
        if (timeoutEvery != 0 && i % timeoutEvery == 0) script.push_back(timeout);
    }

    auto* connection = new SegmentedConnection(script, segmentSizes[data[0] / 64]);
    HdlcConnectionLink buffered(new TcpConnectionLink(connection));
    auto* bytes = new ScriptedBytes;
    bytes->script = script;
    HdlcConnectionLink byteByByte(bytes);
    if (readAll(buffered, *connection, size) != readAll(byteByByte, *bytes, size)) std::abort();

    ConnectionLinkPacket payload(reinterpret_cast<char*>(const_cast<uint8_t*>(data + 1)),
                                 static_cast<unsigned int>(size - 1));
    auto* wire = new ScriptedBytes;
    HdlcConnectionLink32 writer(wire);
    ConnectionLinkPacket framed = payload;
    writer.write(framed);
    if (wire->written.size() % 4 != 0) std::abort();
    auto* back = new ScriptedBytes;
    back->script.assign(wire->written.begin(), wire->written.end());
    HdlcConnectionLink reader(back);
    if (reader.read(0) != payload) std::abort();
    return 0;
}
