#include "recording/StreamCountsText.h"

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

StreamCounts StreamCountsText::from(const nlohmann::ordered_json& object) {
    StreamCounts c;
    c.packets = object.at("packets").get<uint64_t>();
    c.packetsAbandoned = object.at("packets_abandoned").get<uint64_t>();
    c.blocks = object.at("blocks").get<uint64_t>();
    c.blocksRejected = object.at("blocks_rejected").get<uint64_t>();
    c.gaps = object.at("gaps").get<uint64_t>();
    c.blocksLost = object.at("blocks_lost").get<uint64_t>();
    c.segments = object.at("segments").get<uint64_t>();
    return c;
}

} // namespace tolmaren_recording
