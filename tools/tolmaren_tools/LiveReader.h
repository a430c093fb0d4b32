#pragma once

#include <memory>

#include "api/Tolmaren_basestation_api.h"
#include "tolmaren_tools/CounterContinuity.h"
#include "tolmaren_tools/RecordingReader.h"

namespace tolmaren_tools {

// Reads the decoded packets of an open probe through the facade, as the
// recorder and the Python module take them: a packet that fails its checks
// is counted and skipped (the facade has consumed its blocks, so the next
// read goes on after them), and the block counter is followed for gaps.
class LiveReader {
public:
    // Reads that fail in a row before the stream counts as lost: one second.
    static constexpr unsigned int failureLimit = 2500;

    explicit LiveReader(Tolmaren_basestation_api& api);

    // The next packet that decodes, valid until the next call. Throws
    // StatusError when no data came within the library's 1-s time-out (or
    // the read fails otherwise), ToolError when failureLimit reads fail
    // their checks in a row.
    const ElectrodePacket& next();
    StreamCounts counts() const;

private:
    Tolmaren_basestation_api& api_;
    std::unique_ptr<ElectrodePacket> packet_;
    StreamCounts counts_;
    CounterContinuity continuity_;
};

} // namespace tolmaren_tools
