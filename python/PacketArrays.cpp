#include "PacketArrays.h"

#include <cstring>

#include "SampleUnits.h"

namespace py = pybind11;

namespace {

constexpr std::size_t blocks = ElectrodePacket::blockCount;
constexpr std::size_t channels = ElectrodePacket::channelCount;
constexpr std::size_t counterCount = ElectrodePacket::counterCount;

static_assert(tolmaren_tools::CodePacket::blocks == blocks &&
                  tolmaren_tools::CodePacket::channels == channels &&
                  tolmaren_tools::CodePacket::counters == counterCount,
              "both decoders give packets of the same shape");
static_assert(sizeof(bool) == 1, "NumPy's bool is one byte");

template <typename T> py::array_t<T> matrix(std::size_t rows, std::size_t columns) {
    return py::array_t<T>({rows, columns});
}

} // namespace

PacketArrays::PacketArrays(std::size_t packets, bool raw, float voltsPerCode)
    : raw(raw), voltsPerCode_(voltsPerCode) {
    if (raw) {
        ap = matrix<uint16_t>(packets * blocks, channels);
        lfp = matrix<uint16_t>(packets, channels);
    } else {
        ap = matrix<float>(packets * blocks, channels);
        lfp = matrix<float>(packets, channels);
    }
    counters = matrix<uint32_t>(packets * blocks, counterCount);
    synchronization = py::array_t<uint16_t>(packets * blocks);
    startTrigger = py::array_t<bool>(packets * blocks);
    ap_ = ap.mutable_data();
    lfp_ = lfp.mutable_data();
    counters_ = static_cast<uint32_t*>(counters.mutable_data());
    synchronization_ = static_cast<uint16_t*>(synchronization.mutable_data());
    startTrigger_ = static_cast<bool*>(startTrigger.mutable_data());
}

void PacketArrays::put(std::size_t packet, const ElectrodePacket& decoded) {
    const std::size_t apAt = packet * blocks * channels, lfpAt = packet * channels;
    if (raw) {
        SampleUnits::toCodes(&decoded.apData[0][0], blocks * channels, voltsPerCode_,
                             static_cast<uint16_t*>(ap_) + apAt);
        SampleUnits::toCodes(decoded.lfpData, channels, voltsPerCode_,
                             static_cast<uint16_t*>(lfp_) + lfpAt);
    } else {
        std::memcpy(static_cast<float*>(ap_) + apAt, decoded.apData, sizeof decoded.apData);
        std::memcpy(static_cast<float*>(lfp_) + lfpAt, decoded.lfpData, sizeof decoded.lfpData);
    }
    std::memcpy(counters_ + packet * blocks * counterCount, decoded.ctrs, sizeof decoded.ctrs);
    std::memcpy(synchronization_ + packet * blocks, decoded.synchronization,
                sizeof decoded.synchronization);
    std::memcpy(startTrigger_ + packet * blocks, decoded.startTrigger, sizeof decoded.startTrigger);
}

void PacketArrays::put(std::size_t packet, const tolmaren_tools::CodePacket& decoded) {
    const std::size_t apAt = packet * blocks * channels, lfpAt = packet * channels;
    if (raw) {
        std::memcpy(static_cast<uint16_t*>(ap_) + apAt, decoded.ap, sizeof decoded.ap);
        std::memcpy(static_cast<uint16_t*>(lfp_) + lfpAt, decoded.lfp, sizeof decoded.lfp);
    } else {
        SampleUnits::toVolts(&decoded.ap[0][0], blocks * channels, voltsPerCode_,
                             static_cast<float*>(ap_) + apAt);
        SampleUnits::toVolts(decoded.lfp, channels, voltsPerCode_,
                             static_cast<float*>(lfp_) + lfpAt);
    }
    std::memcpy(counters_ + packet * blocks * counterCount, decoded.counter,
                sizeof decoded.counter);
    std::memcpy(synchronization_ + packet * blocks, decoded.synchronization,
                sizeof decoded.synchronization);
    std::memcpy(startTrigger_ + packet * blocks, decoded.startTrigger, sizeof decoded.startTrigger);
}

void PacketArrays::truncate(std::size_t packets) {
    const py::slice samples(0, static_cast<py::ssize_t>(packets * blocks), 1);
    const py::slice rows(0, static_cast<py::ssize_t>(packets), 1);
    ap = ap[samples].cast<py::array>();
    lfp = lfp[rows].cast<py::array>();
    counters = counters[samples].cast<py::array>();
    synchronization = synchronization[samples].cast<py::array>();
    startTrigger = startTrigger[samples].cast<py::array>();
}
