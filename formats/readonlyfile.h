#pragma once
// A file opened for reading with no sharing: the probes' way in. The lock
// stands in for an exclusive open, so a file held by another open (in this
// process or another) can't be opened, like a missing one; so can't anything
// but a regular file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zelph {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    uint64_t size() const { return size_; }

    // Reads up to `count` bytes at `offset`; fewer at the end of the file,
    // nothing on an I/O error.
    std::optional<std::size_t> ReadAt(uint64_t offset, void* out, std::size_t count) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace zelph
