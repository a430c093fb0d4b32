#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tolmaren_recording {

// The files a command reads, so that nothing it writes replaces one of them.
class InputFiles {
public:
    // A recording and its sidecar.
    explicit InputFiles(const std::string& recording);
    // One more file read; one that does not exist is left out.
    void add(const std::string& path);
    // Throws ToolError when `output` is one of the inputs, by its own name,
    // another one (a hard link) or a symbolic link.
    void refuseAsOutput(const std::string& output) const;

private:
    struct Input {
        std::string path;
        dev_t device;
        ino_t inode;
    };
    std::vector<Input> inputs_;
};

} // namespace tolmaren_recording
