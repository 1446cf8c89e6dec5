#include "formats/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zelph {

File File::Lock(int fd) {
    if (fd < 0) return File();
    // The lock stands in for an open that allows no sharing: another open
    // that asks for it, in this process or another, is refused.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return File();
    }
    return File(fd);
}

File File::OpenRead(const std::string& path) {
    return Lock(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

File File::Create(const std::string& path) {
    // Truncated only once the lock is held, so a file in use elsewhere keeps
    // its contents.
    File file = Lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    struct stat info;
    if (file.isOpen() && ::fstat(file.fd_, &info) == 0 && S_ISREG(info.st_mode) &&
        ::ftruncate(file.fd_, 0) != 0) {
        return File();
    }
    return file;
}

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::optional<std::size_t> File::ReadUpTo(void* out, std::size_t count) {
    auto* at = static_cast<uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd_, at + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool File::ReadExact(void* out, std::size_t count) {
    const auto got = ReadUpTo(out, count);
    return got && *got == count;
}

bool File::WriteAll(const void* bytes, std::size_t count) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        const ssize_t put = ::write(fd_, at, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        at += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

bool File::Seek(uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

std::optional<uint64_t> File::Position() const {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) return std::nullopt;
    return static_cast<uint64_t>(at);
}

std::optional<uint64_t> File::Size() const {
    struct stat info;
    if (::fstat(fd_, &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

bool File::Close() {
    if (fd_ < 0) return true;
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0;
}

}  // namespace zelph
