#pragma once

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "api/BasestationAddress.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"

// The command-line tool run as a user runs it, in the directory of a test:
// its exit status and what it printed.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// The shell command that runs the tool with `arguments` against the test's
// own basestation. The address reaches the tool as its environment's default,
// so that every command that talks to a basestation looks there, --sim listens
// there, and an --address among the arguments still wins. TOLMAREN_TOOL is the
// built tool's path, defined by the test tier's build.
inline std::string toolCommand(const std::string& arguments) {
    return std::string("env ") + BasestationAddress::environmentVariable + "=" +
           TestAddress::own() + " " + TOLMAREN_TOOL + " " + arguments;
}

inline ToolRun tool(const ScopedWorkDir& dir, const std::string& arguments) {
    const int raw = std::system((toolCommand(arguments) + " >out.txt 2>err.txt").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.readFile("out.txt"),
            dir.readFile("err.txt")};
}
