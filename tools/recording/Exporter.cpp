#include "recording/Exporter.h"

#include <algorithm>

#include "recording/ExportMetadata.h"
#include "recording/FreeSpace.h"
#include "recording/InputFiles.h"
#include "recording/ProbeDescription.h"
#include "recording/StagingDirectory.h"
#include "recording/TextFile.h"

namespace tolmaren_recording {

std::vector<std::string> Exporter::files() {
    return {ExportTimeline::apFile,
            ExportTimeline::lfpFile,
            ExportTimeline::syncFile,
            ExportTimeline::triggerFile,
            metadataFile,
            probeFile};
}

ExportResult Exporter::run(RecordingReader& reader, const std::string& recording,
                           const std::string& outDir, const RecordingInfo& info,
                           bool settingsAssumed, const ProbeGeometry& geometry) {
    InputFiles inputs(recording);
    if (!geometry.source().empty()) inputs.add(geometry.source());
    for (const std::string& name : files())
        inputs.refuseAsOutput(outDir + "/" + name);

    StagingDirectory staging(outDir, files());
    // Room for what the recording holds: a file with holes (blocks never
    // written) is longer than the data in it.
    const uint64_t heldPackets =
        (FreeSpace::heldBytes(recording) + RecordingReader::packetBytes - 1) /
        RecordingReader::packetBytes;
    ExportTimeline timeline(staging.path(), std::min(reader.packetCapacity(), heldPackets));
    while (const CodePacket* packet = reader.next())
        timeline.add(*packet);
    reader.requireBlocks();
    timeline.close();

    ExportResult result;
    result.counts = reader.counts();
    result.recordingBytes = reader.fileBytes();
    result.apSamples = timeline.apRows();
    result.lfpSamples = timeline.lfpRows();
    result.gaps = timeline.gaps();
    result.segments = timeline.segments();
    TextFile::write(staging.path() + "/" + metadataFile,
                    ExportMetadata::toJson(recording, info, settingsAssumed, geometry, result));
    TextFile::write(staging.path() + "/" + probeFile, ProbeDescription::toJson(info, geometry));
    staging.commit();
    return result;
}

} // namespace tolmaren_recording
