#pragma once
// Helpers shared by the tests: a scratch folder per test, small file writes,
// and running a command to capture what it prints.

#include <cstdint>
#include <string>
#include <vector>

namespace zelph::test {

// A fresh folder, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The folder with its trailing "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names of what `folder` holds, sorted.
std::vector<std::string> FilesIn(const std::string& folder);

struct CommandResult {
    int status = -1;  // exit status, or -1 if it did not exit normally
    std::string out;  // standard output
};
// Runs `command` through /bin/sh; stderr goes to stdout when `mergeErr`.
CommandResult RunCommand(const std::string& command, bool mergeErr = false);
// `command` with every "$in" and "$out" replaced by `in` and `out`.
std::string Filled(std::string command, const std::string& in, const std::string& out);

// "audio" in the least of a file of `path`'s kind that reads back whole (an
// Ogg page that ends its stream, a RIFF data chunk; MP3 and APE need no
// more): what a stand-in engine writes.
std::string FakeAudio(const std::string& path);

// The folder holding the built executables (and their Plugins folder).
std::string BinDir();

// Writes limited to a size per file, as on a full disk, while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();

private:
    unsigned long old_;
    void (*oldHandler_)(int);
};

// Runs `work` under a FileSizeLimit of `bytes`.
template <typename Work>
auto WithFileSizeLimit(unsigned long bytes, Work work) {
    FileSizeLimit limit(bytes);
    return work();
}

}  // namespace zelph::test
