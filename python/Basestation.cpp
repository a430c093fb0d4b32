#include "Basestation.h"

#include <chrono>
#include <optional>
#include <thread>

#include "Interruptible.h"
#include "link/FileDescriptor.h"
#include "recording/FreeSpace.h"
#include "recording/ProbeSnapshot.h"
#include "recording/RecordingReader.h"
#include "recording/Sidecar.h"
#include "recording/StatusError.h"

namespace py = pybind11;
using tolmaren_recording::Recorder;
using tolmaren_recording::RecordingInfo;
using tolmaren_recording::StatusError;
using tolmaren_recording::StatusWords;

namespace {

constexpr unsigned int alreadyOpen = 3; // tolmaren_open's code
// Packets between looks for Ctrl-C: a tenth of a second of live data.
constexpr std::size_t packetsPerPiece = 250;

// What a newcomer most likely lacks when nothing listens on the ports.
constexpr const char* nothingListens =
    "; is a basestation running there? (tolmaren.Simulator() starts a simulator in this process)";
constexpr unsigned int badAddress = 2; // tolmaren_setBasestationAddress's code

} // namespace

Basestation::Basestation(unsigned char setting, std::optional<std::string> playback,
                         const std::optional<std::string>& address, bool lowLatency)
    : setting_(setting), playback_(std::move(playback)),
      api_(std::make_unique<Tolmaren_basestation_api>()) {
    if (address && api_->tolmaren_setBasestationAddress(*address) == badAddress)
        throw py::value_error(*address + " is not a numeric IPv4 address (such as 127.0.0.1)");
    api_->tolmaren_setLowLatency(lowLatency);
}

std::unique_lock<std::mutex> Basestation::claim() {
    py::gil_scoped_release release;
    return std::unique_lock<std::mutex>(mutex_);
}

void Basestation::open() {
    const unsigned int status = call([&](Tolmaren_basestation_api& api) {
        const unsigned int code =
            playback_ ? api.tolmaren_open(*playback_) : api.tolmaren_open(setting_);
        if (code != 0 && code != alreadyOpen) api.tolmaren_close();
        // A recording holds electrode blocks; the playback open leaves the
        // data mode as it was.
        if (code == 0 && playback_) api.tolmaren_datamode(true);
        return code;
    });
    if (playback_ && status == 1)
        throw StatusError("tolmaren_open", status,
                          "tolmaren_open failed: cannot open the recording " + *playback_ +
                              " (code 1)");
    if (status == 1 || status == 2)
        throw StatusError("tolmaren_open", status, call([&](Tolmaren_basestation_api& api) {
                              return StatusWords::openFailure(api, status, nothingListens);
                          }));
    StatusWords::check("tolmaren_open", status);
}

void Basestation::close() {
    call([this](Tolmaren_basestation_api& api) {
        reader_.reset();
        api.tolmaren_close();
    });
}

std::pair<PacketArrays, std::exception_ptr> Basestation::read(std::size_t packets, bool raw) {
    const auto lock = claim();
    std::pair<PacketArrays, std::exception_ptr> result{PacketArrays(packets, raw), nullptr};
    PacketArrays& arrays = result.first;
    if (!api_->tolmaren_isConnected()) StatusWords::check("tolmaren_readElectrodeData", 1);
    if (!api_->tolmaren_getDatamode()) StatusWords::check("tolmaren_readElectrodeData", 2);
    if (!reader_) reader_.emplace(*api_);
    if (settingsChanged_.exchange(false)) reader_->restart();
    const StreamCounts before = reader_->counts();
    try {
        Interruptible::run(packets, packetsPerPiece, [&](std::size_t) {
            const CodePacket* packet = reader_->next();
            arrays.ended = packet == nullptr;
            return packet != nullptr && arrays.put(*packet);
        });
    } catch (const tolmaren_recording::ToolError&) {
        result.second = std::current_exception();
    } catch (const morvek::FileDescriptor::Exception&) {
        result.second = std::current_exception();
    }
    arrays.counts = reader_->counts();
    arrays.counts -= before;
    arrays.trim();
    return result;
}

AdcArrays Basestation::readAdc(std::size_t packets, bool raw) {
    const auto lock = claim();
    const char* operation = "tolmaren_readADCData";
    if (!api_->tolmaren_isConnected()) StatusWords::check(operation, 1);
    if (api_->tolmaren_getDatamode()) StatusWords::check(operation, 2);
    AdcArrays arrays(packets, raw);
    StreamDecoder& decoder = api_->tolmaren_getStreamDecoder();
    Interruptible::run(packets, packetsPerPiece, [&](std::size_t p) {
        const unsigned char* bytes = decoder.take(AdcPacket::packetSize);
        if (bytes == nullptr) StatusWords::check(operation, 3);
        for (unsigned int r = 0; r < AdcPacket::recordCount; ++r) {
            uint32_t counter = 0;
            uint16_t codes[AdcRecord::adcs];
            if (!AdcRecord::decode(bytes + r * AdcRecord::bytes, counter, codes).passed)
                StatusWords::check(operation, 4);
            arrays.put(p * AdcPacket::recordCount + r, counter, codes);
        }
        return true;
    });
    return arrays;
}

Recorder::Summary Basestation::record(const std::string& path, uint64_t packets,
                                      const Recorder::Options& options) {
    const auto lock = claim();
    // The recorder starts the stream anew; reads after it begin afresh.
    reader_.reset();
    settingsChanged_ = false;
    RecordingInfo settings;
    std::string space;
    {
        py::gil_scoped_release release;
        settings = tolmaren_recording::ProbeSnapshot::take(*api_);
        space = tolmaren_recording::FreeSpace::warning(
            path, packets * tolmaren_recording::RecordingReader::packetBytes,
            static_cast<double>(packets) / RecordingInfo::lfpSampleRateHz);
    }
    if (!space.empty()) py::module_::import("warnings").attr("warn")(space);
    std::optional<Recorder> recorder;
    {
        py::gil_scoped_release release;
        recorder.emplace(*api_, path, std::move(settings), options);
    }
    const auto recorded = [&recorder] {
        const StreamCounts counts = recorder->counts();
        return counts.packets + counts.packetsAbandoned;
    };
    try {
        // Signals are looked at after every piece and at every pause of the
        // stream, which returns no packet within a second.
        for (bool going = true; going;) {
            {
                py::gil_scoped_release release;
                for (std::size_t n = 0; going && n < packetsPerPiece; ++n) {
                    const bool paused = recorder->readPacket() == nullptr;
                    going = !recorder->ended() && recorded() < packets;
                    if (paused) break;
                }
            }
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        }
    } catch (const py::error_already_set&) {
        {
            py::gil_scoped_release release;
            recorder->finish(RecordingInfo::End::Stopped, "on request (KeyboardInterrupt)");
        }
        throw;
    } catch (const std::exception& e) {
        {
            py::gil_scoped_release release;
            recorder->finish(RecordingInfo::End::Failed, e.what());
        }
        throw;
    }
    py::gil_scoped_release release;
    return recorder->finish(RecordingInfo::End::Completed);
}

std::vector<tolmaren_recording::RigRecorder::Outcome>
Basestation::recordRig(const std::vector<Basestation*>& stations, const std::string& directory,
                       const tolmaren_recording::RigRecorder::Options& options) {
    using tolmaren_recording::RigRecorder;
    std::vector<std::unique_lock<std::mutex>> locks;
    std::vector<RigRecorder::Probe> probes;
    for (Basestation* station : stations) {
        locks.push_back(station->claim());
        station->reader_.reset(); // the recording starts the stream anew
        station->settingsChanged_ = false;
        py::gil_scoped_release release;
        probes.push_back(
            {station->api_.get(), tolmaren_recording::ProbeSnapshot::take(*station->api_)});
    }
    std::optional<RigRecorder> rig;
    {
        py::gil_scoped_release release;
        rig.emplace(directory, std::move(probes), options);
    }
    // Signals are looked at every tenth of a second.
    while (!rig->done()) {
        {
            py::gil_scoped_release release;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (PyErr_CheckSignals() != 0) {
            py::error_already_set interrupted;
            py::gil_scoped_release release;
            rig->stop(RecordingInfo::End::Stopped, "on request (KeyboardInterrupt)");
            rig->finish();
            throw interrupted;
        }
    }
    py::gil_scoped_release release;
    return rig->finish();
}

std::string Basestation::settings() {
    return call([](Tolmaren_basestation_api& api) {
        return tolmaren_recording::Sidecar::toJson(tolmaren_recording::ProbeSnapshot::take(api));
    });
}

std::vector<tolmaren_tools::SelfTests::Outcome>
Basestation::selfTests(const std::vector<unsigned int>& tests,
                       const tolmaren_tools::SelfTests::Settings& settings) {
    const auto lock = claim();
    changed(); // the tests leave the probe and the stream as they need them
    std::vector<tolmaren_tools::SelfTests::Outcome> outcomes;
    Interruptible::run(tests.size(), 1, [&](std::size_t i) {
        for (auto& outcome : tolmaren_tools::SelfTests::run(*api_, tests[i], settings))
            outcomes.push_back(std::move(outcome));
        return true;
    });
    return outcomes;
}
