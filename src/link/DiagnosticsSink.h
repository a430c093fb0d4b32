#pragma once

#include <ostream>
#include <sstream>
#include <string>

// Where trace lines go: a stream of the application's, nowhere, or on to the
// process-wide sink (Diagnostics::sink()). Every facade has a sink of its
// own, so that each can send its lines to a stream of its own. Safe to use
// from several threads: each write reaches its stream whole and no two
// writes, to this sink or any other, overlap, so lines never interleave, not
// even when sinks share a stream.
class DiagnosticsSink {
public:
    // Text put together with << and written whole when the Line goes away,
    // at the end of the statement that made it.
    class Line {
    public:
        explicit Line(DiagnosticsSink& sink) : sink_(sink) {}
        ~Line() { sink_.write(text_.str()); }
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;

        template <typename T> Line& operator<<(const T& value) {
            text_ << value;
            return *this;
        }

    private:
        DiagnosticsSink& sink_;
        std::ostringstream text_;
    };

    // Hands its lines on to the process-wide sink until redirected.
    DiagnosticsSink();
    // Writes to the stream; null drops every line.
    explicit DiagnosticsSink(std::ostream* stream);
    DiagnosticsSink(const DiagnosticsSink&) = delete;
    DiagnosticsSink& operator=(const DiagnosticsSink&) = delete;

    // Writes to the stream from now on, or nowhere when it is null; returns
    // the stream written to until now (null when the lines were dropped or
    // handed on). The stream must outlive its use.
    std::ostream* redirect(std::ostream* stream);
    // Writes the text whole, in one piece.
    void write(const std::string& text);
    Line line() { return Line(*this); }

private:
    DiagnosticsSink* next_;
    std::ostream* stream_;
};
