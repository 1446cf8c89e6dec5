// The Settings.dat loader over a file made of the fuzz input. Whatever the
// file holds, the loaded record must give an output folder the planner can
// use: the stored folder (at most 1023 bytes) ending with "/".

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const std::string path = "/dev/shm/zelph-fuzz-settings-" + std::to_string(::getpid());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0) std::abort();
    zelph::SettingsStore store(path);
    store.LoadSettings(true);
    const std::string folder = zelph::OutputFolderOf(store.record.general);
    if (folder.size() > zelph::kOutputFolderSize || folder.back() != '/') std::abort();
    ::unlink(path.c_str());
    return 0;
}
