#include "tests/support/scratch.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace zelph::test {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelph-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern + "/";
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult RunCommand(const std::string& command, bool mergeErr) {
    CommandResult result;
    FILE* pipe = ::popen((command + (mergeErr ? " 2>&1" : "")).c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    old_ = limit.rlim_cur;
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed test
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = old_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, oldHandler_);
}

std::string Filled(std::string command, const std::string& in, const std::string& out) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"$in", in}, {"$out", out}})
        for (auto at = command.find(key); at != std::string::npos; at = command.find(key, at + value.size()))
            command.replace(at, key.size(), value);
    return command;
}

std::string FakeAudio(const std::string& path) {
    const std::string extension = path.substr(std::min(path.rfind('.'), path.size()));
    if (extension == ".ogg" || extension == ".opus")
        return std::string("OggS\0\4", 6) + std::string(20, '\0') + "\1\5" + "audio";
    if (extension == ".wav") return std::string("RIFF\22\0\0\0WAVEdata\5\0\0\0audio\0", 26);
    return "audio";
}

std::string BinDir() {
    const char* dir = std::getenv("ZELPH_BIN_DIR");
    return dir ? dir : ".";
}

}  // namespace zelph::test
