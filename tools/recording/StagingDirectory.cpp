#include "recording/StagingDirectory.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "recording/TemporaryFiles.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace fs = std::filesystem;

namespace {

// Signals wait while the files are swapped, so that none leaves the swap
// half done.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

private:
    sigset_t previous_;
};

bool exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

StagingDirectory::StagingDirectory(const std::string& dir, std::vector<std::string> names)
    : dir_(dir), names_(std::move(names)) {
    fs::path missing = fs::path(dir).lexically_normal();
    if (!missing.has_filename()) missing = missing.parent_path();
    for (; !missing.empty() && !exists(missing.string()); missing = missing.parent_path()) {
        made_.push_back(missing.string());
        TemporaryFiles::add(made_.back());
    }
    std::error_code error;
    fs::create_directories(dir_, error);
    std::string failed = dir_;
    for (int attempt = 0; !error; ++attempt) {
        const std::string name = TemporaryFiles::freshName(dir_ + "/tolmaren");
        TemporaryFiles::add(name);
        if (::mkdir(name.c_str(), 0700) == 0) {
            staging_ = name;
            break;
        }
        error = std::error_code(errno, std::generic_category());
        TemporaryFiles::forget(name);
        failed = name;
        // Another name when one is taken.
        if (error == std::errc::file_exists && attempt < 100) error.clear();
    }
    if (error) {
        for (const std::string& made : made_)
            ::rmdir(made.c_str());
        forgetAll();
        throw ToolError("cannot create " + failed + ": " + error.message());
    }
    for (const std::string& name : names_)
        TemporaryFiles::add(staged(name));
}

StagingDirectory::~StagingDirectory() {
    if (committed_) return;
    for (const std::string& name : names_)
        ::unlink(staged(name).c_str());
    ::rmdir(staging_.c_str());
    for (const std::string& made : made_)
        ::rmdir(made.c_str());
    forgetAll();
}

void StagingDirectory::forgetAll() const {
    for (const std::string& name : names_)
        TemporaryFiles::forget(staged(name));
    TemporaryFiles::forget(staging_);
    for (const std::string& made : made_)
        TemporaryFiles::forget(made);
}

void StagingDirectory::commit() {
    for (const std::string& name : names_)
        if (fs::is_directory(fs::symlink_status(target(name))))
            throw ToolError("cannot replace " + target(name) + ": it is a directory");
    SignalsHeld held;
    std::vector<std::pair<std::string, std::string>> moved;
    const auto move = [&moved](const std::string& from, const std::string& to) {
        if (std::rename(from.c_str(), to.c_str()) != 0)
            throw ToolError("cannot rename " + from + " to " + to + ": " + std::strerror(errno));
        moved.emplace_back(from, to);
    };
    try {
        for (const std::string& name : names_)
            if (exists(target(name))) move(target(name), replaced(name));
        for (const std::string& name : names_)
            move(staged(name), target(name));
    } catch (const ToolError& e) {
        for (auto undo = moved.rbegin(); undo != moved.rend(); ++undo)
            if (std::rename(undo->second.c_str(), undo->first.c_str()) != 0)
                throw ToolError(std::string(e.what()) + "; and cannot move " + undo->second +
                                " back: " + std::strerror(errno));
        throw;
    }
    committed_ = true;
    for (const std::string& name : names_)
        ::unlink(replaced(name).c_str());
    ::rmdir(staging_.c_str());
    forgetAll();
}

} // namespace tolmaren_recording
