#pragma once

#include <string>
#include <vector>

namespace tolmaren_recording {

// Files written together into a directory: first into a fresh directory
// inside it (on its file system, so that moving them in never copies), then
// moved in all at once over any files of the same names, or not at all. Until
// then the directory keeps what it held, and its other files are never
// touched; a failure or a signal that ends the process (TemporaryFiles)
// removes what was staged.
class StagingDirectory {
public:
    // Creates `dir` (with its parents) when missing and the staging directory
    // in it, where the files `names` are to be written; throws ToolError.
    StagingDirectory(const std::string& dir, std::vector<std::string> names);
    // Unless committed: removes the staged files, the staging directory and
    // the directories made for `dir` that are empty again.
    ~StagingDirectory();
    StagingDirectory(const StagingDirectory&) = delete;
    StagingDirectory& operator=(const StagingDirectory&) = delete;

    // Where the files are written until commit().
    const std::string& path() const { return staging_; }
    // Moves every file into `dir`, replacing files of the same names; when a
    // move fails, those done are undone. Throws ToolError.
    void commit();

private:
    std::string target(const std::string& name) const { return dir_ + "/" + name; }
    std::string staged(const std::string& name) const { return staging_ + "/" + name; }
    // Where a replaced file waits until the new ones are all in place.
    std::string replaced(const std::string& name) const { return staging_ + "/" + name + ".old"; }
    void forgetAll() const;

    std::string dir_;
    std::vector<std::string> names_;
    std::vector<std::string> made_; // directories made for dir_, innermost first
    std::string staging_;
    bool committed_ = false;
};

} // namespace tolmaren_recording
