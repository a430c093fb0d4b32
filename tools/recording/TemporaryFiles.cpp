#include "recording/TemporaryFiles.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

// Plenty for an export (its staging directory, the directories made for it
// and its files) beside a few single files.
constexpr int slots = 64;
// Copies made with strdup, read by the signal handler without locking.
std::atomic<char*> listed[slots];
std::atomic<unsigned long> made{0};

} // namespace

std::string TemporaryFiles::freshName(const std::string& path) {
    return path + "." + std::to_string(::getpid()) + "-" + std::to_string(made++) + ".part";
}

void TemporaryFiles::add(const std::string& path) {
    char* copy = ::strdup(path.c_str());
    for (std::atomic<char*>& slot : listed) {
        char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, copy)) return;
    }
    std::free(copy);
    throw ToolError("cannot keep track of " + path + ": too many temporary files");
}

void TemporaryFiles::forget(const std::string& path) {
    for (std::atomic<char*>& slot : listed) {
        char* name = slot.load();
        if (name != nullptr && path == name && slot.compare_exchange_strong(name, nullptr)) {
            std::free(name);
            return;
        }
    }
}

void TemporaryFiles::removeAll() {
    for (std::atomic<char*>& slot : listed)
        if (const char* name = slot.load()) ::unlink(name);
    // Directories inside others go first: repeat while any was removed.
    for (bool removed = true; removed;) {
        removed = false;
        for (std::atomic<char*>& slot : listed)
            if (const char* name = slot.load(); name != nullptr && ::rmdir(name) == 0)
                removed = true;
    }
}

} // namespace tolmaren_recording
