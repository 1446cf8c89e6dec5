#include "core/runfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "core/planner.h"

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

bool ProcessRuns(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// HOST and PID of "Temp-QOR-File~HOST~PID~rest", or false.
bool SplitRunFileName(const std::string& name, std::string& host, long& pid) {
    if (name.rfind(kPrefix, 0) != 0) return false;
    const auto hostEnd = name.find('~', kPrefix.size());
    if (hostEnd == std::string::npos) return false;
    const auto pidEnd = name.find('~', hostEnd + 1);
    if (pidEnd == std::string::npos || pidEnd == hostEnd + 1) return false;
    const std::string digits = name.substr(hostEnd + 1, pidEnd - hostEnd - 1);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    host = name.substr(kPrefix.size(), hostEnd - kPrefix.size());
    pid = std::stol(digits);
    return pid > 0;
}

}  // namespace

RunFile CreateRunFile(const std::string& folder, const std::string& extension) {
    static std::atomic<unsigned long> counter{0};
    static const std::string stem = kPrefix + HostName() + "~" + std::to_string(::getpid()) + "~";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = folder + stem + std::to_string(counter++) + extension;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return {path, ""};
        }
        if (errno != EEXIST)
            return {"", "cannot write in " + folder + ": " + std::strerror(errno)};
    }
    return {"", "cannot find a free temporary name in " + folder};
}

void RemoveStaleRunFiles(const std::string& folder) {
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory) return;
    static const std::string host = HostName();
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(directory)) {
        std::string fileHost;
        long pid = 0;
        if (!SplitRunFileName(entry->d_name, fileHost, pid) || fileHost != host || ProcessRuns(pid)) continue;
        struct stat info;
        const std::string path = folder + entry->d_name;
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            stale.push_back(path);
    }
    ::closedir(directory);
    for (const std::string& path : stale) ::unlink(path.c_str());
}

}  // namespace zelph
