#include "recording/RecordingSource.h"

#include <algorithm>

#include "recording/OutputFile.h"

namespace tolmaren_recording {

const unsigned char* RecordingSource::take(unsigned int n) {
    if (!source_.keepsTaken(n)) copyRun();
    const unsigned char* bytes = source_.take(n);
    if (bytes == nullptr) return nullptr;
    if (bytes != runEnd_) {
        copyRun();
        run_ = bytes;
    }
    runEnd_ = bytes + n;
    return bytes;
}

void RecordingSource::writeTo(OutputFile& file, std::size_t n) {
    const std::size_t fromCopied = std::min(n, copied_.size());
    if (fromCopied > 0) {
        file.append(copied_.data(), fromCopied);
        copied_.erase(copied_.begin(), copied_.begin() + static_cast<std::ptrdiff_t>(fromCopied));
    }
    const std::size_t fromRun = std::min(n - fromCopied, static_cast<std::size_t>(runEnd_ - run_));
    if (fromRun > 0) {
        file.append(run_, fromRun);
        run_ += fromRun;
    }
}

void RecordingSource::copyRun() {
    copied_.insert(copied_.end(), run_, runEnd_);
    run_ = runEnd_ = nullptr;
}

} // namespace tolmaren_recording
