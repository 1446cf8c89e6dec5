#include "settings/replacefile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "formats/exclusivefile.h"

namespace zelph {

namespace {

// The file a chain of links leads to, even when it does not exist yet;
// `path` itself when it is no link.
std::string FileBehind(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path file = path;
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(file, error)); ++hops) {
        const fs::path target = fs::read_symlink(file, error);
        if (error) break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file.string();
}

}  // namespace

std::string ReplaceFileContents(const std::string& path, const void* data, std::size_t size) {
    const std::string target = FileBehind(path);
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const auto failed = [&path] { return path + ": " + std::strerror(errno); };
    std::string temporary = folder + "." + name + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return failed();
    const bool written = WriteAllTo(fd, data, size) && ::fsync(fd) == 0;
    std::string reason = written ? "" : failed();
    if (::close(fd) != 0 && reason.empty()) reason = failed();
    if (reason.empty() && (::chmod(temporary.c_str(), 0644) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0))
        reason = failed();
    if (!reason.empty()) ::unlink(temporary.c_str());
    return reason;
}

}  // namespace zelph
