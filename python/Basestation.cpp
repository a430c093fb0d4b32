#include "Basestation.h"

#include <optional>

#include "Interruptible.h"
#include "tolmaren_tools/LiveReader.h"
#include "tolmaren_tools/ProbeSnapshot.h"
#include "tolmaren_tools/Recorder.h"
#include "tolmaren_tools/Sidecar.h"
#include "tolmaren_tools/StatusError.h"

namespace py = pybind11;
using tolmaren_tools::StatusError;
using tolmaren_tools::StatusWords;

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
                         const std::optional<std::string>& address)
    : setting_(setting), playback_(std::move(playback)),
      api_(std::make_unique<Tolmaren_basestation_api>()) {
    if (address && api_->tolmaren_setBasestationAddress(*address) == badAddress)
        throw py::value_error(*address + " is not a numeric IPv4 address (such as 127.0.0.1)");
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
    call([](Tolmaren_basestation_api& api) { api.tolmaren_close(); });
}

PacketArrays Basestation::read(std::size_t packets, bool raw) {
    const auto lock = claim();
    PacketArrays arrays(packets, raw, api_->tolmaren_getScaleFactorToVoltage());
    tolmaren_tools::LiveReader reader(*api_);
    Interruptible::run(packets, packetsPerPiece, [&](std::size_t p) {
        arrays.put(p, reader.next());
        return true;
    });
    arrays.counts = reader.counts();
    return arrays;
}

AdcArrays Basestation::readAdc(std::size_t packets, bool raw) {
    const auto lock = claim();
    AdcArrays arrays(packets, raw, api_->tolmaren_getScaleFactorToVoltage());
    AdcPacket packet;
    Interruptible::run(packets, packetsPerPiece, [&](std::size_t p) {
        StatusWords::check("tolmaren_readADCData", api_->tolmaren_readADCData(packet));
        arrays.put(p, packet);
        return true;
    });
    return arrays;
}

std::string Basestation::record(const std::string& path, uint64_t packets) {
    const auto lock = claim();
    std::optional<tolmaren_tools::Recorder> recorder;
    {
        py::gil_scoped_release release;
        recorder.emplace(*api_, path, tolmaren_tools::ProbeSnapshot::take(*api_));
    }
    try {
        Interruptible::run(packets, packetsPerPiece, [&](std::size_t) {
            recorder->readPacket();
            return true;
        });
    } catch (const py::error_already_set&) {
        {
            py::gil_scoped_release release;
            recorder->finish(true);
        }
        throw;
    }
    py::gil_scoped_release release;
    return tolmaren_tools::Sidecar::toJson(recorder->finish(false));
}

std::string Basestation::settings() {
    return call([](Tolmaren_basestation_api& api) {
        return tolmaren_tools::Sidecar::toJson(tolmaren_tools::ProbeSnapshot::take(api));
    });
}

std::vector<tolmaren_tools::SelfTests::Outcome>
Basestation::selfTests(const std::vector<unsigned int>& tests,
                       const tolmaren_tools::SelfTests::Settings& settings) {
    const auto lock = claim();
    std::vector<tolmaren_tools::SelfTests::Outcome> outcomes;
    Interruptible::run(tests.size(), 1, [&](std::size_t i) {
        for (auto& outcome : tolmaren_tools::SelfTests::run(*api_, tests[i], settings))
            outcomes.push_back(std::move(outcome));
        return true;
    });
    return outcomes;
}
