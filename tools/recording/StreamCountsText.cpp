#include "recording/StreamCountsText.h"

#include "recording/JsonField.h"

namespace tolmaren_recording {

namespace {

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string StreamCountsText::line(const StreamCounts& c) {
    return plural(c.packets, "packet", "packets") + ", " + std::to_string(c.packetsAbandoned) +
           " abandoned, " + plural(c.blocks, "block", "blocks") + ", " +
           std::to_string(c.blocksRejected) + " rejected, " + plural(c.gaps, "gap", "gaps") +
           " of " + plural(c.blocksLost, "block", "blocks") + ", " +
           plural(c.segments, "segment", "segments");
}

void StreamCountsText::addTo(nlohmann::ordered_json& object, const StreamCounts& c) {
    object["packets"] = c.packets;
    object["packets_abandoned"] = c.packetsAbandoned;
    object["blocks"] = c.blocks;
    object["blocks_rejected"] = c.blocksRejected;
    object["gaps"] = c.gaps;
    object["blocks_lost"] = c.blocksLost;
    object["segments"] = c.segments;
}

StreamCounts StreamCountsText::from(const nlohmann::ordered_json& object, const std::string& name) {
    const JsonField counts(object, name);
    StreamCounts c;
    c.packets = counts["packets"].count();
    c.packetsAbandoned = counts["packets_abandoned"].count();
    c.blocks = counts["blocks"].count();
    c.blocksRejected = counts["blocks_rejected"].count();
    c.gaps = counts["gaps"].count();
    c.blocksLost = counts["blocks_lost"].count();
    c.segments = counts["segments"].count();
    return c;
}

} // namespace tolmaren_recording
