#include "core/naming.h"

#include <sys/stat.h>

#include <utility>

namespace zelph {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string PlaceOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    struct stat info;
    if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0) return path;
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/" + FileNameOf(path);
}

namespace {

// Anything at all at the path counts: a file we merely cannot read is still
// somebody's file.
bool ExistsOnDisk(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// A file name's base and its extension (from its last dot, unless that is
// its first character).
std::pair<std::string, std::string> SplitExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

}  // namespace

std::string CompanionName(const std::string& path, const std::string& extension) {
    return FolderOf(path) + SplitExtension(FileNameOf(path)).first + extension;
}

std::string MakeUniqueName(const std::string& path, const std::function<bool(const std::string&)>& alsoTaken) {
    auto taken = [&](const std::string& candidate) {
        return (alsoTaken && alsoTaken(candidate)) || ExistsOnDisk(candidate);
    };
    if (!taken(path)) return path;

    const std::string folder = FolderOf(path);
    const auto [base, extension] = SplitExtension(FileNameOf(path));
    for (unsigned long n = 1;; ++n) {
        std::string candidate = folder + base + "(" + std::to_string(n) + ")" + extension;
        if (!taken(candidate)) return candidate;
    }
}

}  // namespace zelph
