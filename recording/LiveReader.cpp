#include "recording/LiveReader.h"

#include "link/FileDescriptor.h"
#include "recording/StatusError.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

constexpr unsigned int noData = 3; // tolmaren_readElectrodeData's code for a time-out

} // namespace

LiveReader::LiveReader(Tolmaren_basestation_api& api) : decoder_(api.tolmaren_getStreamDecoder()) {
    decoder_.followBlockCounter(true);
    decoder_.discard();
    start_ = decoder_.counts();
}

const CodePacket* LiveReader::next() {
    const CodePacket* packet = nullptr;
    try {
        packet = decoder_.next();
    } catch (const morvek::FileDescriptor::ReadError&) {
        // The link failed in a refill, which keeps what it received up to the
        // failure: that is read first, and the next failure is final.
        if (linkLost_) throw;
        linkLost_ = true;
        return next();
    }
    if (packet != nullptr) return packet;
    if (decoder_.ended()) return nullptr;
    if (decoder_.rejectedInARow() >= StreamDecoder::rejectLimit)
        throw ToolError("the data stream is lost: " + std::to_string(decoder_.rejectedInARow()) +
                        " blocks in a row failed their checks");
    throw StatusError("tolmaren_readElectrodeData", noData,
                      StatusWords::failure("tolmaren_readElectrodeData", noData));
}

StreamCounts LiveReader::counts() const {
    StreamCounts counts = decoder_.counts();
    counts -= start_;
    return counts;
}

} // namespace tolmaren_recording
