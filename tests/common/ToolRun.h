#pragma once

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "common/ScopedWorkDir.h"

// The command-line tool run as a user runs it, in the directory of a test:
// its exit status and what it printed.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// TOLMAREN_TOOL is the built tool's path, defined by the test tier's build.
inline ToolRun tool(const ScopedWorkDir& dir, const std::string& arguments) {
    const int raw =
        std::system((std::string(TOLMAREN_TOOL) + " " + arguments + " >out.txt 2>err.txt").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.readFile("out.txt"),
            dir.readFile("err.txt")};
}
