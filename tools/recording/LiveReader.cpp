#include "recording/LiveReader.h"

#include "link/FileDescriptor.h"
#include "recording/StatusError.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

constexpr unsigned int noData = 3; // tolmaren_readElectrodeData's code for a time-out

} // namespace

LiveReader::LiveReader(Tolmaren_basestation_api& api)
    : api_(api), decoder_(api.tolmaren_getStreamDecoder()) {
    decoder_.followBlockCounter(true);
    decoder_.discard();
    start_ = decoder_.counts();
}

void LiveReader::restart(bool softwareStart) {
    // The flush within the reset drops what the decoder holds as well.
    if (!softwareStart) {
        StatusWords::check("tolmaren_resetDatapath", api_.tolmaren_resetDatapath());
        return;
    }
    // Without the trigger output the software start does nothing at all.
    StatusWords::check("tolmaren_triggerMode", api_.tolmaren_triggerMode(true));
    StatusWords::check("tolmaren_setNeuralStart", api_.tolmaren_setNeuralStart());
}

const CodePacket* LiveReader::poll() {
    const CodePacket* packet = nullptr;
    try {
        packet = decoder_.next();
    } catch (const morvek::FileDescriptor::ReadError&) {
        // The link failed in a refill, which keeps what it received up to the
        // failure: that is read first, and the next failure is final.
        if (linkLost_) throw;
        linkLost_ = true;
        return poll();
    }
    if (packet != nullptr) return packet;
    if (decoder_.rejectedInARow() >= StreamDecoder::rejectLimit)
        throw ToolError("the data stream is lost: " + std::to_string(decoder_.rejectedInARow()) +
                        " blocks in a row failed their checks");
    return nullptr;
}

const CodePacket* LiveReader::next() {
    if (const CodePacket* packet = poll()) return packet;
    if (decoder_.ended()) return nullptr;
    throw StatusError("tolmaren_readElectrodeData", noData,
                      StatusWords::failure("tolmaren_readElectrodeData", noData));
}

StreamCounts LiveReader::counts() const {
    StreamCounts counts = decoder_.counts();
    counts -= start_;
    return counts;
}

} // namespace tolmaren_recording
