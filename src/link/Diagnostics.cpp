#include "link/Diagnostics.h"

#include <iostream>
#include <streambuf>
#include <string>

namespace {

// The text one thread writes to its trace stream: every completed line goes
// on to the sink, so a line's pieces never mix with another thread's.
class LineBuffer : public std::streambuf {
public:
    ~LineBuffer() override { handOnAll(); }

    // Null: the process-wide sink.
    DiagnosticsSink* sink = nullptr;

    // Hands on the lines and a started one too, before the sink changes.
    void handOnAll() { handOn(pending_.size()); }

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            pending_ += traits_type::to_char_type(c);
            if (traits_type::to_char_type(c) == '\n') handOn(pending_.size());
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        const std::size_t end = pending_.rfind('\n');
        if (end != std::string::npos) handOn(end + 1);
        return count;
    }

private:
    void handOn(std::size_t count) {
        if (count == 0) return;
        (sink != nullptr ? *sink : Diagnostics::sink()).write(pending_.substr(0, count));
        pending_.erase(0, count);
    }

    std::string pending_;
};

struct ThreadStream {
    LineBuffer buffer;
    std::ostream stream{&buffer};
};

ThreadStream& threadStream() {
    thread_local ThreadStream own;
    return own;
}

} // namespace

DiagnosticsSink& Diagnostics::sink() {
    // Never destroyed: lines may still come while the program ends.
    static DiagnosticsSink* const processWide = new DiagnosticsSink(&std::cerr);
    return *processWide;
}

std::ostream* Diagnostics::redirect(std::ostream* stream) {
    return sink().redirect(stream);
}

std::ostream& Diagnostics::stream() {
    return threadStream().stream;
}

Diagnostics::Scope::Scope(DiagnosticsSink& sink) {
    LineBuffer& buffer = threadStream().buffer;
    buffer.handOnAll();
    previous_ = buffer.sink;
    buffer.sink = &sink;
}

Diagnostics::Scope::~Scope() {
    LineBuffer& buffer = threadStream().buffer;
    buffer.handOnAll();
    buffer.sink = previous_;
}
