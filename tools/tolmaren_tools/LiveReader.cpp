#include "tolmaren_tools/LiveReader.h"

#include "tolmaren_tools/StatusWords.h"
#include "tolmaren_tools/ToolError.h"

namespace tolmaren_tools {

namespace {

constexpr unsigned int checksFailed = 4; // tolmaren_readElectrodeData's code

} // namespace

LiveReader::LiveReader(Tolmaren_basestation_api& api)
    : api_(api), packet_(std::make_unique<ElectrodePacket>()) {}

const ElectrodePacket& LiveReader::next() {
    for (unsigned int failures = 0; failures < failureLimit; ++failures) {
        const unsigned int status = api_.tolmaren_readElectrodeData(*packet_);
        if (status == 0) {
            ++counts_.packets;
            for (unsigned int b = 0; b < ElectrodePacket::blockCount; ++b)
                continuity_.next(packet_->ctrs[b][0]);
            return *packet_;
        }
        if (status != checksFailed) StatusWords::check("tolmaren_readElectrodeData", status);
        ++counts_.decodeErrors;
    }
    throw ToolError("the data stream is lost: " + std::to_string(failureLimit) +
                    " packets in a row failed to decode");
}

StreamCounts LiveReader::counts() const {
    StreamCounts counts = counts_;
    counts.counterGaps = continuity_.gaps();
    return counts;
}

} // namespace tolmaren_tools
