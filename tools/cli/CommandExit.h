#pragma once

#include <stdexcept>
#include <string>

// A command that ends with an exit status of its own, with a line for
// standard error unless the message is empty. The tool's exit statuses:
class CommandExit : public std::runtime_error {
public:
    static constexpr int failed = 1; // an operation failed
    static constexpr int badCommandLine = 2;
    static constexpr int incomplete = 3; // record: ended early by a failure; the files stay
    static constexpr int stopped = 4;    // record: stopped on request early; the files stay

    CommandExit(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};
