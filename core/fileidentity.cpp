#include "core/fileidentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "core/worddigest.h"

namespace zelph {

namespace {

constexpr int64_t kHashedUpTo = 1 << 20;

// The whole file's hash; nothing when it cannot be read.
std::optional<uint64_t> HashOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    WordDigest digest;
    std::array<uint8_t, 65536> buffer;
    ssize_t got;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
        digest.Add(buffer.data(), static_cast<std::size_t>(got));
    ::close(fd);
    if (got < 0) return std::nullopt;
    return digest.Finish();
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    if (!S_ISREG(info.st_mode)) {
        errno = EISDIR;
        return std::nullopt;
    }
    FileIdentity identity{.device = info.st_dev,
                          .inode = info.st_ino,
                          .size = info.st_size,
                          .modifiedNs = info.st_mtim.tv_sec * 1000000000ll + info.st_mtim.tv_nsec,
                          .contentHash = std::nullopt};
    if (info.st_size <= kHashedUpTo) identity.contentHash = HashOf(path);
    return identity;
}

}  // namespace zelph
