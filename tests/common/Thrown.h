#pragma once

#include <exception>
#include <string>

// The text of the exception of type E that f throws, or "no exception"; an
// exception of another type passes through and fails the test.
template <typename E = std::exception, typename F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "no exception";
}
