#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <pybind11/pybind11.h>
#include <string>
#include <utility>
#include <vector>

#include "AdcArrays.h"
#include "PacketArrays.h"
#include "api/Tolmaren_basestation_api.h"
#include "recording/LiveReader.h"
#include "recording/Recorder.h"
#include "recording/RigRecorder.h"
#include "recording/StatusWords.h"
#include "tolmaren_tools/SelfTests.h"

// The facade behind tolmaren.Basestation. Every call runs without the GIL,
// so that other Python threads go on while the library waits on the
// basestation, and under the object's own lock, since the facade serves one
// thread at a time. The lock is only ever taken without the GIL, so a call
// that takes the GIL back between pieces of its work cannot deadlock.
class Basestation {
public:
    // `setting` goes unchanged to the basestation's open_setting register.
    // With a `playback` file the facade opens that recording instead of the
    // basestation, in electrode data mode. Without an `address` the facade
    // chooses (TOLMAREN_BASESTATION_ADDRESS, else the library's default);
    // throws ValueError for one that is not a numeric IPv4 address.
    // `lowLatency`: live reads take each packet as soon as it has arrived.
    Basestation(unsigned char setting, std::optional<std::string> playback,
                const std::optional<std::string>& address, bool lowLatency);

    // Throws StatusError; a failed open is closed again, so that the object
    // can be opened anew.
    void open();
    void close();

    // f(api), without the GIL and under the lock.
    template <typename F> auto call(F&& f) {
        pybind11::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*api_);
    }
    // f(api) as call(), throwing StatusError for a nonzero status code.
    template <typename F> void check(const char* operation, F&& f) {
        tolmaren_recording::StatusWords::check(operation, call(std::forward<F>(f)));
    }

    // f(api) as check(), for a call that changes the probe's settings.
    template <typename F> void configure(const char* operation, F&& f) {
        const unsigned int code = call(std::forward<F>(f));
        changed();
        tolmaren_recording::StatusWords::check(operation, code);
    }
    // The probe's settings changed: the next read starts the stream anew, so
    // that it holds only data converted with them (LiveReader::restart).
    void changed() { settingsChanged_ = true; }

    // Up to `packets` packets, through the one reader this Basestation keeps
    // while open, so that its counts follow the stream across calls (and
    // across the restarts after a change of the settings). What was read
    // before a failure comes back with the failure.
    std::pair<PacketArrays, std::exception_ptr> read(std::size_t packets, bool raw);
    AdcArrays readAdc(std::size_t packets, bool raw);
    // Records `packets` packets to `path` with its sidecar, as `tolmaren
    // record` does, and returns the summary. Ctrl-C ends the recording early
    // and keeps it, then goes on as KeyboardInterrupt. The reads after it
    // start a new reader.
    tolmaren_recording::Recorder::Summary record(const std::string& path, uint64_t packets,
                                                 const tolmaren_recording::Recorder::Options&);
    // Records every station at once into `directory` (RigRecorder), each
    // held for the whole recording, and returns the outcomes. Ctrl-C stops
    // them all, keeping what they recorded, then goes on as
    // KeyboardInterrupt. The reads after it start a new reader.
    static std::vector<tolmaren_recording::RigRecorder::Outcome>
    recordRig(const std::vector<Basestation*>& stations, const std::string& directory,
              const tolmaren_recording::RigRecorder::Options& options);
    // The probe's settings as a sidecar holds them.
    std::string settings();
    std::vector<tolmaren_tools::SelfTests::Outcome>
    selfTests(const std::vector<unsigned int>& tests, const tolmaren_tools::SelfTests::Settings&);

private:
    // The lock, taken without the GIL; called with it.
    std::unique_lock<std::mutex> claim();

    unsigned char setting_;
    std::optional<std::string> playback_;
    std::mutex mutex_;
    std::unique_ptr<Tolmaren_basestation_api> api_;
    std::optional<tolmaren_recording::LiveReader> reader_; // from the first read to the close
    std::atomic<bool> settingsChanged_{false};
};
