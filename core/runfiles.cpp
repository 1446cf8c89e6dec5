#include "core/runfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "core/planner.h"
#include "formats/runfilehold.h"

namespace zelph {

namespace {

const std::string kPrefix = std::string(kTempFileName) + "~";

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !*name) return "localhost";
    // "~" and "/" separate the parts of a name; a host name holds neither,
    // but a name from elsewhere is not trusted to.
    std::string host = name;
    for (char& c : host)
        if (c == '~' || c == '/') c = '_';
    return host;
}

}  // namespace

RunFileLock::~RunFileLock() {
    if (fd_ >= 0) ::close(fd_);
}

RunFileLock& RunFileLock::operator=(RunFileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool RunFileLock::Follow(const std::string& path) {
    if (fd_ >= 0 && StillNamedBy(fd_, path)) return true;
    const int fd = OpenLocked(path, O_RDONLY);
    if (fd < 0) return false;
    *this = RunFileLock(fd);
    return true;
}

RunFile CreateRunFile(const std::string& folder, const std::string& extension) {
    static std::atomic<unsigned long> counter{0};
    static const std::string stem = kPrefix + HostName() + "~" + std::to_string(::getpid()) + "~";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = folder + stem + std::to_string(counter++) + extension;
        // A cleaner may remove the new file before it is locked; then the
        // next name is tried.
        const int fd = OpenLocked(path, O_RDWR | O_CREAT | O_EXCL);
        if (fd >= 0) return {path, "", RunFileLock(fd)};
        if (errno != EEXIST && errno != ENOENT && errno != 0)
            return {"", "cannot write in " + folder + ": " + std::strerror(errno), {}};
    }
    return {"", "cannot find a free temporary name in " + folder, {}};
}

void RemoveStaleRunFiles(const std::string& folder) {
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory) return;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(directory))
        if (std::strncmp(entry->d_name, kPrefix.c_str(), kPrefix.size()) == 0)
            candidates.push_back(folder + entry->d_name);
    ::closedir(directory);
    for (const std::string& path : candidates) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat info;
        // Held by a live run, or not ours: left alone.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            LockWhole(fd, F_WRLCK, F_OFD_SETLK) && StillNamedBy(fd, path))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

}  // namespace zelph
