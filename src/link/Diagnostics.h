#pragma once

#include <ostream>

#include "link/DiagnosticsSink.h"

// The library's trace lines (link construction, register accesses of
// playback, error bits reported by the basestation, packet dumps). They go to
// the sink of the facade that built the link, which hands them on to the
// process-wide sink here unless the application gave the facade a stream of
// its own. The process-wide sink writes to standard error until an
// application redirects or silences it. Everything here is safe to use from
// several threads.
class Diagnostics {
public:
    // The process-wide sink.
    static DiagnosticsSink& sink();
    // The process-wide sink writes to the stream from now on; null silences
    // it. Returns the stream it wrote to until now. The stream must outlive
    // its use.
    static std::ostream* redirect(std::ostream* stream);
    // The calling thread's trace stream: each line written to it goes whole
    // to the sink of the innermost Scope of this thread, else to the
    // process-wide sink.
    static std::ostream& stream();

    // While it lives, stream() of the calling thread writes to the sink: so
    // the lines of code that is given no sink (the data link's constructor)
    // reach the facade that runs it.
    class Scope {
    public:
        explicit Scope(DiagnosticsSink& sink);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        DiagnosticsSink* previous_;
    };
};
