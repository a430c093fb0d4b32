#include "PacketArrays.h"

#include <cstring>

#include "data/CodeVolts.h"

namespace py = pybind11;

namespace {

constexpr std::size_t blocks = CodePacket::blocks;
constexpr std::size_t channels = CodePacket::channels;
constexpr std::size_t counterCount = CodePacket::counters;
constexpr uint16_t midScale = 512;

static_assert(sizeof(bool) == 1, "NumPy's bool is one byte");

template <typename T> py::array_t<T> matrix(std::size_t rows, std::size_t columns) {
    return py::array_t<T>({rows, columns});
}

void store(const uint16_t* codes, std::size_t count, bool raw, void* out, std::size_t at) {
    if (raw)
        std::memcpy(static_cast<uint16_t*>(out) + at, codes, count * sizeof(uint16_t));
    else
        CodeVolts::toVolts(codes, count, static_cast<float*>(out) + at);
}

} // namespace

PacketArrays::PacketArrays(std::size_t packets, bool raw) : raw(raw), capacity_(packets) {
    allocate(packets);
}

void PacketArrays::allocate(std::size_t packets) {
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

bool PacketArrays::put(const CodePacket& decoded) {
    if (packets_ == capacity_) return false;
    for (std::size_t b = 0; b < blocks; ++b) {
        if (!decoded.has(static_cast<unsigned int>(b))) continue;
        store(decoded.ap[b], channels, raw, ap_, rows_ * channels);
        std::memcpy(counters_ + rows_ * counterCount, decoded.counter[b],
                    sizeof decoded.counter[b]);
        synchronization_[rows_] = decoded.synchronization[b];
        startTrigger_[rows_] = decoded.startTrigger[b];
        ++rows_;
    }
    if (decoded.whole()) {
        store(decoded.lfp, channels, raw, lfp_, packets_ * channels);
    } else {
        uint16_t lfp[channels];
        for (unsigned int c = 0; c < channels; ++c)
            lfp[c] = decoded.has(CodePacket::lfpPlace(c)) ? decoded.lfp[c] : midScale;
        store(lfp, channels, raw, lfp_, packets_ * channels);
    }
    ++packets_;
    return true;
}

void PacketArrays::grow(std::size_t more) {
    const py::array held[] = {ap, lfp, counters, synchronization, startTrigger};
    capacity_ = packets_ + more;
    allocate(capacity_);
    py::array grown[] = {ap, lfp, counters, synchronization, startTrigger};
    const std::size_t rows[] = {rows_, packets_, rows_, rows_, rows_};
    for (std::size_t i = 0; i < 5; ++i)
        std::memcpy(grown[i].mutable_data(), held[i].data(),
                    rows[i] * static_cast<std::size_t>(held[i].strides(0)));
}

void PacketArrays::trim() {
    const py::slice samples(0, static_cast<py::ssize_t>(rows_), 1);
    const py::slice rows(0, static_cast<py::ssize_t>(packets_), 1);
    ap = ap[samples].cast<py::array>();
    lfp = lfp[rows].cast<py::array>();
    counters = counters[samples].cast<py::array>();
    synchronization = synchronization[samples].cast<py::array>();
    startTrigger = startTrigger[samples].cast<py::array>();
}
