#pragma once
// A file opened for reading with no sharing (an ExclusiveFile), read at given
// offsets: the probes' way in. Anything but a regular file is refused like a
// missing one.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/exclusivefile.h"

namespace zelph {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path);

    bool isOpen() const { return file_.is_open(); }
    uint64_t size() const { return size_; }

    // Reads up to `count` bytes at `offset`; fewer at the end of the file,
    // nothing on an I/O error.
    std::optional<std::size_t> ReadAt(uint64_t offset, void* out, std::size_t count) const;

private:
    ExclusiveFile file_;
    uint64_t size_ = 0;
};

}  // namespace zelph
