#include "link/DiagnosticsSink.h"

#include <mutex>

#include "link/Diagnostics.h"

namespace {

// One lock for every sink: two sinks may write to one stream.
std::mutex& writing() {
    static std::mutex lock;
    return lock;
}

} // namespace

DiagnosticsSink::DiagnosticsSink() : next_(&Diagnostics::sink()), stream_(nullptr) {}

DiagnosticsSink::DiagnosticsSink(std::ostream* stream) : next_(nullptr), stream_(stream) {}

std::ostream* DiagnosticsSink::redirect(std::ostream* stream) {
    const std::lock_guard<std::mutex> lock(writing());
    std::ostream* const previous = stream_;
    next_ = nullptr;
    stream_ = stream;
    return previous;
}

void DiagnosticsSink::write(const std::string& text) {
    if (text.empty()) return;
    const std::lock_guard<std::mutex> lock(writing());
    const DiagnosticsSink* sink = this;
    while (sink->next_ != nullptr)
        sink = sink->next_;
    if (sink->stream_ == nullptr) return;
    sink->stream_->write(text.data(), static_cast<std::streamsize>(text.size()));
    sink->stream_->flush();
}
