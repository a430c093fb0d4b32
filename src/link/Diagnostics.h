#pragma once

#include <ostream>

// Where the library's trace lines go (link construction, register accesses of
// playback, error bits reported by the basestation, packet dumps). Standard
// error by default; an application redirects them to a stream of its own or
// silences them. The stream is process-wide, like standard error itself, and
// is to be set before the library is used from more than one thread.
class Diagnostics {
public:
    static std::ostream& stream();
    // Null silences the lines; the stream must outlive its use.
    static void redirect(std::ostream* stream);
};
