#pragma once

#include <memory>
#include <string>

#include "recording/OutputFile.h"

namespace tolmaren_recording {

// An output file written under a temporary name beside its final one and
// renamed into place only once complete, so that a failure or a crash never
// leaves a partial file that looks finished. The temporary file is created
// anew under a name of its own, never through an existing file or link (a
// stale one is left alone), and removed on destruction unless committed, or
// by a signal that ends the process (TemporaryFiles).
class PendingFile {
public:
    // Creates the temporary file; throws ToolError.
    explicit PendingFile(std::string path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The final name plus ".<process id>-<n>.part".
    const std::string& temporaryPath() const { return temporary_; }
    // The temporary file, open for writing.
    OutputFile& file() { return *file_; }
    // Renames the temporary file to the final name; throws ToolError.
    void commit();

private:
    std::string path_;
    std::string temporary_;
    std::unique_ptr<OutputFile> file_;
    bool committed_ = false;
};

} // namespace tolmaren_recording
