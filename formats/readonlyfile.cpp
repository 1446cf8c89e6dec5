#include "formats/readonlyfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zelph {

// The read open does not block, so a named pipe given as a path can't stall
// it; the pipe is then refused here.
ReadOnlyFile::ReadOnlyFile(const std::string& path) : file_(path, ExclusiveFile::kRead) {
    struct stat info;
    if (!file_.is_open() || ::fstat(file_.fd(), &info) != 0 || !S_ISREG(info.st_mode)) {
        file_.Close();
        return;
    }
    size_ = static_cast<uint64_t>(info.st_size);
}

std::optional<std::size_t> ReadOnlyFile::ReadAt(uint64_t offset, void* out, std::size_t count) const {
    auto* at = static_cast<uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(file_.fd(), at + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace zelph
