#pragma once

#include <cstdint>
#include <string>

namespace tolmaren_recording {

// Whether the file system of a file to be written has room for it, and how
// much room a file takes.
class FreeSpace {
public:
    // A warning when the file system that `path` goes to (its directory)
    // holds less than `bytes` free, for example "warning: 1.2 GB free where
    // rec.bin goes, 10 s of recording need 0.2 GB: the recording will stop when
    // the disk is full"; empty when there is room or it cannot be told.
    static std::string warning(const std::string& path, uint64_t bytes, double seconds);
    // The disk space the file `path` takes: its allocated blocks, less than
    // its size when it has holes; 0 when it cannot be told.
    static uint64_t heldBytes(const std::string& path);
};

} // namespace tolmaren_recording
