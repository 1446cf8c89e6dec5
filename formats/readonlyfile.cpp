#include "formats/readonlyfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zelph {

// Non-blocking, so that a named pipe given as a path can't stall the open;
// anything but a regular file is then refused like a missing one.
ReadOnlyFile::ReadOnlyFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
    if (fd_ < 0) return;
    struct stat info;
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<uint64_t>(info.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<std::size_t> ReadOnlyFile::ReadAt(uint64_t offset, void* out, std::size_t count) const {
    auto* at = static_cast<uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, at + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace zelph
