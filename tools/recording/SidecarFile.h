#pragma once

#include <cstddef>
#include <string>

#include "recording/OutputFile.h"

namespace tolmaren_recording {

// A recording's sidecar as the recorder keeps it: created with the
// recording, before its first byte, with room to spare, and rewritten in
// place as the recording goes on and ends, so that completing it needs no
// room on a disk that the recording has filled.
class SidecarFile {
public:
    // Room beyond the first text: for the counts, the end's reason and the
    // files of a recording set.
    static constexpr std::size_t spareBytes = 64 * 1024;

    // Creates the file as OutputFile does; throws ToolError.
    SidecarFile(const std::string& path, bool replace) : file_(path, replace) {}

    const std::string& path() const { return file_.path(); }
    // Writes the text over the one before, padded with blanks (which JSON
    // allows) to the room taken by the first write, and forces it to the
    // disk. A text longer than that room grows the file. Throws WriteError.
    void write(const std::string& text);

private:
    OutputFile file_;
    std::size_t room_ = 0;
};

} // namespace tolmaren_recording
