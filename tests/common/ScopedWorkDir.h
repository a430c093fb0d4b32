#pragma once

#include <string>

// Runs a test inside a fresh temporary directory, so that files written to the
// working directory (the facade's "api_log.txt", recordings, CSV files) never
// collide between tests running in parallel. Restores the old directory and
// removes the temporary one on destruction.
class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    const std::string& path() const { return path_; }
    // Whole contents of a file in this directory ("" when it does not exist).
    std::string readFile(const std::string& name) const;

private:
    std::string previous_;
    std::string path_;
};
