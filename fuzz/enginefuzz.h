#pragma once
// Feeds libFuzzer's bytes to an engine: the engines read and write files by
// path, so each input becomes one source file of this process in /dev/shm,
// the engine runs to its end on the calling thread, and its target is
// removed again. The codec libraries are held loaded for the whole process:
// an engine's own load and release then only counts references, rather than
// mapping a fresh copy (with fresh coverage counters) on every input.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "codecs/job.h"
#include "codecs/libraryloader.h"

namespace zelph::fuzz {

inline void HoldLibraries(std::initializer_list<const char*> files) {
    for (const char* file : files)
        if (!::dlopen((PluginsFolder() + file).c_str(), RTLD_NOW | RTLD_LOCAL)) std::abort();
}

inline int RunEngineOnBytes(EngineProc engine, EngineSettings settings, const uint8_t* data, std::size_t size) {
    static const std::string source = "/dev/shm/zelph-fuzz-in-" + std::to_string(::getpid());
    static const std::string target = "/dev/shm/zelph-fuzz-out-" + std::to_string(::getpid());
    static const bool cleanup = [] {
        std::atexit([] {
            ::unlink(source.c_str());
            ::unlink(target.c_str());
        });
        return true;
    }();
    (void)cleanup;
    const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0) std::abort();
    ::unlink(target.c_str());

    Job job;
    job.settings = settings;
    job.sourcePath = source;
    job.targetPath = target;
    job.progressSpan = 100;
    JobState state;
    engine(job, state);
    // The contract holds on every input: the run has ended, the bar is in range.
    if (state.running.load() != 0 || state.progress.load() < 0 || state.progress.load() > 100) std::abort();
    return 0;
}

}  // namespace zelph::fuzz
