#pragma once
// Feeds libFuzzer's bytes to a probe: the probes read files by path, so each
// input is written to one scratch file of this process first, in memory
// (truncating a file on disk costs milliseconds).

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace zelph::fuzz {

inline int DescribeBytes(const uint8_t* data, std::size_t size, std::string (*probe)(const std::string&)) {
    static const std::string path = "/dev/shm/zelph-fuzz-" + std::to_string(::getpid());
    static const int fd = [] {
        const int opened = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (opened < 0) std::abort();
        std::atexit([] { ::unlink(path.c_str()); });
        return opened;
    }();
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    if (probe(path).empty()) std::abort();  // every outcome is a text
    return 0;
}

}  // namespace zelph::fuzz
