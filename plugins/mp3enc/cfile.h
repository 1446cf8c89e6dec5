#pragma once
// A C stdio file that is closed on every path; CloseChecked reports whether
// the last buffered bytes reached the disk.

#include <cstdio>
#include <memory>

namespace zelph::mp3enc {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline FilePtr OpenFile(const char* path, const char* mode) { return FilePtr(std::fopen(path, mode)); }

inline bool CloseChecked(FilePtr& file) {
    const bool ok = file && std::fflush(file.get()) == 0 && !std::ferror(file.get());
    return std::fclose(file.release()) == 0 && ok;
}

}  // namespace zelph::mp3enc
