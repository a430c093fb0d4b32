#pragma once

#include <string>

namespace tolmaren_recording {

// The files and directories this process has made under temporary names and
// not yet put in place, so that a signal that ends the process can remove
// them (see the tool's StopRequest) as the destructors would have.
class TemporaryFiles {
public:
    // A name beside `path` that no other process picks: `path` plus
    // ".<process id>-<n>.part", n new on each call.
    static std::string freshName(const std::string& path);
    // Lists `path` for removal; throws ToolError when too many are listed.
    static void add(const std::string& path);
    // Takes `path` off the list: it was put in place or removed.
    static void forget(const std::string& path);
    // Removes every listed file, then every listed directory that is empty by
    // then. Safe in a signal handler: it only reads the list and calls unlink
    // and rmdir.
    static void removeAll();
};

} // namespace tolmaren_recording
