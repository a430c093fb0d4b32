#include "recording/Exporter.h"

#include <filesystem>

#include "recording/ExportMetadata.h"
#include "recording/PendingFile.h"
#include "recording/ProbeDescription.h"
#include "recording/TextFile.h"
#include "recording/ToolError.h"

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
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) throw ToolError("cannot create " + outDir + ": " + error.message());

    ExportTimeline timeline(outDir, reader.packetCapacity());
    PendingFile metadata(outDir + "/" + metadataFile);
    PendingFile probe(outDir + "/" + probeFile);
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
    TextFile::write(metadata.temporaryPath(),
                    ExportMetadata::toJson(recording, info, settingsAssumed, geometry, result));
    TextFile::write(probe.temporaryPath(), ProbeDescription::toJson(info, geometry));

    timeline.commit();
    probe.commit();
    metadata.commit();
    return result;
}

} // namespace tolmaren_recording
