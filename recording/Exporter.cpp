#include "recording/Exporter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

#include "data/VectorClones.h"
#include "recording/ExportMetadata.h"
#include "recording/PendingFile.h"
#include "recording/ProbeDescription.h"
#include "recording/TextFile.h"
#include "recording/ToolError.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the export writes int16 samples in host order and declares them little-endian");

namespace tolmaren_recording {

namespace {

constexpr unsigned int channels = CodePacket::channels;
constexpr unsigned int apPerPacket = CodePacket::blocks * channels;
constexpr int16_t zero = RecordingInfo::adcZeroCode;
// Packets gathered before one write: few enough that the buffer stays in the
// processor's cache, enough that a write costs little.
constexpr std::size_t packetsPerWrite = 32;

// Codes as signed values around the ADC's mid-scale. The pointers never
// overlap; saying so lets the compiler vectorise the loop.
TOLMAREN_VECTOR_CLONES
void centre(const uint16_t* __restrict codes, unsigned int count, int16_t* __restrict out) {
    for (unsigned int i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(codes[i] - zero);
}

// A binary output under its temporary name, written in large pieces. Its
// final size is reserved up front: allocating a file's blocks as it grows
// costs the file system more than the copying itself.
class SampleFile {
public:
    SampleFile(const std::filesystem::path& path, std::size_t samplesPerWrite,
               uint64_t expectedSamples)
        : file_(path.string()), fd_(::open(file_.temporaryPath().c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
        if (fd_ < 0) fail();
        // Where reserving is not supported the file simply grows.
        posix_fallocate(fd_, 0, static_cast<off_t>(expectedSamples * sizeof(int16_t)));
        buffer_.resize(samplesPerWrite);
    }
    ~SampleFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    SampleFile(const SampleFile&) = delete;
    SampleFile& operator=(const SampleFile&) = delete;

    int16_t* extend(std::size_t samples) {
        used_ += samples;
        return buffer_.data() + used_ - samples;
    }
    bool full() const { return used_ == buffer_.size(); }
    void flush() {
        const char* bytes = reinterpret_cast<const char*>(buffer_.data());
        std::size_t left = used_ * sizeof(int16_t);
        while (left > 0) {
            const ssize_t written = ::write(fd_, bytes, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) fail();
            bytes += written;
            left -= static_cast<std::size_t>(written);
            size_ += static_cast<uint64_t>(written);
        }
        used_ = 0;
    }
    // Cuts off what was reserved for packets that did not decode.
    void close() {
        flush();
        if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) fail();
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) fail();
    }
    PendingFile& file() { return file_; }

private:
    [[noreturn]] void fail() const {
        throw ToolError("cannot write " + file_.temporaryPath() + ": " + std::strerror(errno));
    }

    PendingFile file_;
    int fd_;
    uint64_t size_ = 0;
    std::vector<int16_t> buffer_;
    std::size_t used_ = 0;
};

} // namespace

ExportResult Exporter::run(RecordingReader& reader, const std::string& recording,
                           const std::string& outDir, const RecordingInfo& info,
                           bool settingsAssumed) {
    const std::filesystem::path dir(outDir);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) throw ToolError("cannot create " + outDir + ": " + error.message());

    const uint64_t packets = reader.packetCapacity();
    SampleFile ap(dir / apFile, packetsPerWrite * apPerPacket, packets * apPerPacket);
    SampleFile lfp(dir / lfpFile, packetsPerWrite * channels, packets * channels);
    PendingFile metadata((dir / metadataFile).string());
    PendingFile probe((dir / probeFile).string());

    ExportResult result;
    while (const CodePacket* packet = reader.next()) {
        if (!packet->whole()) continue;
        centre(&packet->ap[0][0], apPerPacket, ap.extend(apPerPacket));
        centre(packet->lfp, channels, lfp.extend(channels));
        if (ap.full()) {
            ap.flush();
            lfp.flush();
        }
    }
    result.counts = reader.counts();
    reader.requireBlocks();
    result.recordingBytes = reader.fileBytes();
    result.apSamples = result.counts.packets * CodePacket::blocks;
    result.lfpSamples = result.counts.packets;
    ap.close();
    lfp.close();
    TextFile::write(metadata.temporaryPath(),
                    ExportMetadata::toJson(recording, info, settingsAssumed, result));
    TextFile::write(probe.temporaryPath(), ProbeDescription::toJson(info));

    ap.file().commit();
    lfp.file().commit();
    probe.commit();
    metadata.commit();
    return result;
}

} // namespace tolmaren_recording
