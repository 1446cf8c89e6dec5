#pragma once
// A file nobody else holds: opened with O_CLOEXEC and, when it is a regular
// file, locked with flock(LOCK_EX | LOCK_NB) for as long as the object lives.
// A file locked by another process cannot be opened, as if it were missing.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelph {

// Writes every byte or reports failure (disk full, I/O error); with an
// `offset`, there and without moving the file position.
inline bool WriteAllTo(int fd, const void* buffer, std::size_t size, off_t offset = -1) {
    std::size_t done = 0;
    while (done < size) {
        const char* from = static_cast<const char*>(buffer) + done;
        const ssize_t put = offset < 0 ? ::write(fd, from, size - done)
                                       : ::pwrite(fd, from, size - done, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR) continue;
        if (put == 0) errno = ENOSPC;  // nothing written, no error: a full device
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

class ExclusiveFile {
public:
    // kCreate truncates an existing file, but never one with a second name
    // (EMLINK): that other name may be a source lent to the next job.
    enum Mode { kRead, kCreate };

    ExclusiveFile(const std::string& path, Mode mode)
        : fd_(mode == kRead ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)
                            : ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666)) {
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        // Truncate only once the lock is ours, so a file in use is left alone.
        // Only a regular file has a length to cut; a device (/dev/full) is
        // written as it is.
        struct stat info;
        const bool regular = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
        const bool secondName = mode == kCreate && regular && info.st_nlink > 1;
        if (secondName) errno = EMLINK;
        // Only a regular file is locked: a device such as /dev/full or
        // /dev/null is shared by every process and holds nothing to protect.
        if (secondName || (regular && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) ||
            (mode == kCreate && regular && ::ftruncate(fd_, 0) != 0)) {
            error_ = errno;
            Close();
        }
    }
    ~ExclusiveFile() { Close(); }
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    bool is_open() const { return fd_ >= 0; }
    // The errno of the last open or write that failed (EWOULDBLOCK: in use).
    int error() const { return error_; }
    int fd() const { return fd_; }

    uint64_t Size() const {
        struct stat info;
        return ::fstat(fd_, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    }

    // Reads up to `size` bytes; returns the count read (short only at the end or on error).
    std::size_t Read(void* buffer, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(fd_, static_cast<char*>(buffer) + done, size - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    // Moves the place the next Read starts from.
    bool SeekTo(uint64_t offset) {
        return offset <= INT64_MAX && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
    }

    bool WriteAll(const void* buffer, std::size_t size) { return Wrote(WriteAllTo(fd_, buffer, size)); }
    bool WriteAllAt(uint64_t offset, const void* buffer, std::size_t size) {
        return offset <= INT64_MAX && Wrote(WriteAllTo(fd_, buffer, size, static_cast<off_t>(offset)));
    }

    // Closes now; false when the close reported an error (a lost write).
    bool Close() {
        if (fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) == 0) return true;
        error_ = errno;
        return false;
    }

private:
    bool Wrote(bool all) {
        if (!all) error_ = errno;
        return all;
    }

    int fd_;
    int error_ = 0;
};

}  // namespace zelph
