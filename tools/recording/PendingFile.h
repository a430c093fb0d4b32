#pragma once

#include <string>

namespace tolmaren_recording {

// An output file written under a temporary name beside its final one and
// renamed into place only once complete, so that a failure or a crash never
// leaves a partial file that looks finished. Unless committed, the temporary
// file is removed on destruction.
class PendingFile {
public:
    explicit PendingFile(std::string path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Where to write until commit(): the final name plus ".part".
    const std::string& temporaryPath() const { return temporary_; }
    // Renames the temporary file to the final name; throws ToolError.
    void commit();

private:
    std::string path_;
    std::string temporary_;
    bool committed_ = false;
};

} // namespace tolmaren_recording
