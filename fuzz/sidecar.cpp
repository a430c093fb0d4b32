// The recording sidecar's reader on any text: it reads a sidecar or throws
// ToolError, nothing else; what it reads writes back as a sidecar that reads
// the same.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "recording/Sidecar.h"
#include "recording/ToolError.h"

namespace {

std::string temporaryFile(const char* name) {
    return std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/fuzz_sidecar_" +
           std::to_string(getpid()) + name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = temporaryFile(".json");
    static const std::string again = temporaryFile("-again.json");
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::optional<tolmaren_recording::RecordingInfo> info;
    try {
        info = tolmaren_recording::Sidecar::read(input);
    } catch (const tolmaren_recording::ToolError&) {
        return 0;
    }
    if (!info) std::abort();
    const std::string text = tolmaren_recording::Sidecar::toJson(*info);
    std::ofstream(again, std::ios::trunc) << text;
    if (tolmaren_recording::Sidecar::toJson(*tolmaren_recording::Sidecar::read(again)) != text)
        std::abort();
    return 0;
}
