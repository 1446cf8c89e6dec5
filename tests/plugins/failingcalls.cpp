// Preloaded into a zelph-convert run to make system calls fail that no real
// disk fails on demand. Each variable holds the errno number to fail with:
//   ZELPH_FAIL_FOLDER_SYNC  fsync of a folder
//   ZELPH_FAIL_FILE_SYNC    fsync of a regular file
//   ZELPH_FAIL_RENAME       renameat2 (placing an output without replacing)
// And one that damages what was written, as a failing disk or cable would:
//   ZELPH_DAMAGE_OUTPUT     "SUFFIX:cut" or "SUFFIX:flip": when a file whose
//                           name ends in SUFFIX is synced, it is cut to three
//                           fifths of its size, or 64 bytes at three fifths
//                           are inverted, before the sync goes on
// Unset, every call goes through.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int ErrorToFailWith(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? std::atoi(value) : 0;
}

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// The damage ZELPH_DAMAGE_OUTPUT asks for, done to `fd`'s file if its name fits.
void Damage(int fd) {
    const char* asked = std::getenv("ZELPH_DAMAGE_OUTPUT");
    char name[4096] = {};
    const std::string request = asked ? asked : ":";
    const std::string suffix = request.substr(0, request.rfind(':')), kind = request.substr(request.rfind(':') + 1);
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), name, sizeof name - 1);
    const std::string path(name, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    const int writable = asked && path.ends_with(suffix) ? ::open(path.c_str(), O_RDWR | O_CLOEXEC) : -1;
    struct stat info;
    if (writable < 0 || ::fstat(writable, &info) != 0) return;
    const off_t at = info.st_size * 3 / 5;
    unsigned char bytes[64];
    const ssize_t got = kind == "cut" ? (::ftruncate(writable, at), 0) : ::pread(writable, bytes, sizeof bytes, at);
    for (ssize_t i = 0; i < got; ++i) bytes[i] = static_cast<unsigned char>(~bytes[i]);
    if (got > 0) (void)::pwrite(writable, bytes, static_cast<std::size_t>(got), at);
    ::close(writable);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
    Damage(fd);
    struct stat info;
    if (::fstat(fd, &info) == 0) {
        const int error = S_ISDIR(info.st_mode)   ? ErrorToFailWith("ZELPH_FAIL_FOLDER_SYNC")
                          : S_ISREG(info.st_mode) ? ErrorToFailWith("ZELPH_FAIL_FILE_SYNC")
                                                  : 0;
        if (error != 0) {
            errno = error;
            return -1;
        }
    }
    static const auto real = Real<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" __attribute__((visibility("default"))) int renameat2(int fromFolder, const char* from, int toFolder,
                                                                const char* to, unsigned flags) {
    if (const int error = ErrorToFailWith("ZELPH_FAIL_RENAME")) {
        errno = error;
        return -1;
    }
    static const auto real = Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return real(fromFolder, from, toFolder, to, flags);
}
