#include "sim/Eeprom.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/UniqueFd.h"

namespace tolmaren_sim {

namespace {

std::runtime_error failure(const std::string& what, const std::string& file) {
    return std::runtime_error(what + " EEPROM file " + file + ": " + std::strerror(errno));
}

} // namespace

Eeprom::Eeprom(std::string file) : file_(std::move(file)) {
    bytes_.fill(0xFF);
    if (file_.empty()) return;
    // Without blocking, so that a FIFO is refused rather than waited on.
    UniqueFd in(::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) {
        if (errno == ENOENT) return; // created on the first write
        throw failure("cannot open", file_);
    }
    struct stat status {};
    if (::fstat(in.get(), &status) != 0) throw failure("cannot read", file_);
    if (!S_ISREG(status.st_mode))
        throw std::runtime_error("EEPROM file " + file_ + " is not a regular file");
    if (static_cast<uint64_t>(status.st_size) != size)
        throw std::runtime_error("EEPROM file " + file_ + " holds " +
                                 std::to_string(status.st_size) + " bytes, expected 2048");
    // One byte more than the EEPROM holds tells a file that grew meanwhile.
    uint8_t data[size + 1];
    std::size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), data + got, sizeof data - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw failure("cannot read", file_);
        if (n == 0 || (got += static_cast<std::size_t>(n)) == sizeof data) break;
    }
    if (got != size)
        throw std::runtime_error("EEPROM file " + file_ + " changed while it was read");
    std::memcpy(bytes_.data(), data, size);
    loaded_ = true;
}

bool Eeprom::write(std::size_t address, uint8_t value) {
    bytes_[address] = value;
    return save();
}

// A new file beside the old one, created exclusively (never through an
// existing name or link) and renamed over it: a crash leaves the old content
// or the new, never a mix.
bool Eeprom::save() const {
    if (file_.empty()) return true;
    const std::string temporary = file_ + ".part";
    ::unlink(temporary.c_str()); // ours if left by a crash; a link is removed, never followed
    UniqueFd out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0644));
    if (!out.valid()) return false;
    const bool written = ::write(out.get(), bytes_.data(), size) == static_cast<ssize_t>(size);
    if (!written || std::rename(temporary.c_str(), file_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace tolmaren_sim
