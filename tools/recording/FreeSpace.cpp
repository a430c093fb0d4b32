#include "recording/FreeSpace.h"

#include <filesystem>
#include <iomanip>
#include <sstream>
#include <sys/stat.h>

namespace tolmaren_recording {

std::string FreeSpace::warning(const std::string& path, uint64_t bytes, double seconds) {
    std::filesystem::path directory = std::filesystem::path(path).parent_path();
    if (directory.empty()) directory = ".";
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(directory, error);
    if (error || space.available >= bytes) return "";
    std::ostringstream text;
    text << std::fixed << std::setprecision(2)
         << "warning: " << static_cast<double>(space.available) / 1e9 << " GB free where " << path
         << " goes, " << std::setprecision(0) << seconds << " s of recording need "
         << std::setprecision(2) << static_cast<double>(bytes) / 1e9
         << " GB: the recording will stop when the disk is full";
    return text.str();
}

uint64_t FreeSpace::heldBytes(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return 0;
    // In units of 512 bytes, whatever the file system's block size.
    return static_cast<uint64_t>(status.st_blocks) * 512;
}

} // namespace tolmaren_recording
