#include "recording/InputFiles.h"

#include <sys/stat.h>

#include "recording/Sidecar.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

InputFiles::InputFiles(const std::string& recording) {
    add(recording);
    add(Sidecar::pathFor(recording));
}

void InputFiles::add(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) == 0) inputs_.push_back({path, status.st_dev, status.st_ino});
}

void InputFiles::refuseAsOutput(const std::string& output) const {
    struct stat status;
    if (::stat(output.c_str(), &status) != 0) return;
    for (const Input& input : inputs_)
        if (input.device == status.st_dev && input.inode == status.st_ino)
            throw ToolError("refusing to write " + output + ": it is the input " + input.path);
}

} // namespace tolmaren_recording
