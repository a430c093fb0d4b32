// The packet text reader: any text read as a sequence of packets (one per
// line) and as one packet. What the writer makes of the packets reads back as
// the same packets.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <sstream>
#include <string>

#include "link/ConnectionLinkPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream lines(text);
    std::deque<ConnectionLinkPacket> packets;
    lines >> packets;
    std::istringstream line(text);
    ConnectionLinkPacket first = packets.empty() ? ConnectionLinkPacket() : packets.front();
    ConnectionLinkPacket one;
    line >> one;
    if (one != first) std::abort();

    std::stringstream written;
    for (const ConnectionLinkPacket& packet : packets)
        written << packet;
    std::deque<ConnectionLinkPacket> back;
    written >> back;
    if (back != packets) std::abort();
    return 0;
}
