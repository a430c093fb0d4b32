// The HDLC receiver over an in-memory link. Any bytes, delivered one per read
// as the TCP link delivers them and with time-outs among them, give frames or
// empty reads, never a crash or a read of unbounded length. A payload framed
// by the padded writer reads back unchanged.
#include <cstdint>
#include <cstdlib>
#include <deque>

#include "link/HdlcConnectionLink32.h"

namespace {

// The link below: writes are kept; each read delivers one byte of the script,
// or nothing (a time-out) where the script says so, and nothing at its end.
class ScriptedBytes : public ConnectionLinkIntf {
public:
    bool write(ConnectionLinkPacket& packet) override {
        written.insert(written.end(), packet.begin(), packet.end());
        return true;
    }
    ConnectionLinkPacket read(unsigned int) override {
        ConnectionLinkPacket packet;
        if (script.empty()) return packet;
        const int next = script.front();
        script.pop_front();
        if (next >= 0) packet.push_back(static_cast<unsigned char>(next));
        return packet;
    }

    std::deque<int> script; // a byte, or -1 for a time-out
    ConnectionLinkPacket written;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte spaces the time-outs: one after every that many bytes
    // (0: none).
    const unsigned int timeoutEvery = data[0] % 64;
    auto* below = new ScriptedBytes;
    for (size_t i = 1; i < size; ++i) {
        below->script.push_back(data[i]);
        if (timeoutEvery != 0 && i % timeoutEvery == 0) below->script.push_back(-1);
    }
    {
        HdlcConnectionLink receiver(below);
        // Every read takes at least one byte or time-out from the script.
        while (!below->script.empty())
            if (receiver.read(0).size() > size) std::abort();
    }

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
