#pragma once

#include <algorithm>
#include <cstddef>
#include <pybind11/pybind11.h>

// Long work runs without the GIL, in pieces; between them Python's signal
// handlers get their turn, so that Ctrl-C ends it with KeyboardInterrupt
// (Python's handler only sets a flag, which nothing reads while C++ runs).
class Interruptible {
public:
    // Calls step(i) for i = 0, 1, ... count - 1 until it returns false, and
    // returns how many returned true; looks for signals after every `piece`
    // steps. Called with the GIL held; throws pybind11::error_already_set
    // when a signal handler raised.
    template <typename Step>
    static std::size_t run(std::size_t count, std::size_t piece, Step&& step) {
        std::size_t done = 0;
        bool going = true;
        while (going && done < count) {
            const std::size_t end = std::min(count, done + piece);
            {
                pybind11::gil_scoped_release release;
                while (done < end && (going = step(done)))
                    ++done;
            }
            if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
        }
        return done;
    }
};
