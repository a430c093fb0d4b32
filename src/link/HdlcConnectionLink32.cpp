#include "link/HdlcConnectionLink32.h"

bool HdlcConnectionLink32::write(ConnectionLinkPacket& packet) {
    frame(packet);
    while (packet.size() % 4 != 0)
        packet.push_back(flag);
    return writeBelow(packet);
}
