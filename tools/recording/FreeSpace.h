#pragma once

#include <cstdint>
#include <string>

namespace tolmaren_recording {

// Whether the file system of a file to be written has room for it.
class FreeSpace {
public:
    // A warning when the file system that `path` goes to (its directory)
    // holds less than `bytes` free, for example "warning: 1.2 GB free where
    // rec.bin goes, 10 s of recording need 0.2 GB: the recording will stop when
    // the disk is full"; empty when there is room or it cannot be told.
    static std::string warning(const std::string& path, uint64_t bytes, double seconds);
};

} // namespace tolmaren_recording
