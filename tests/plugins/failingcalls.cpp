// Preloaded into a zelph-convert run to make system calls fail that no real
// disk fails on demand. Each variable holds the errno number to fail with:
//   ZELPH_FAIL_FOLDER_SYNC  fsync of a folder
//   ZELPH_FAIL_FILE_SYNC    fsync of a regular file
//   ZELPH_FAIL_RENAME       renameat2 (placing an output without replacing)
// Unset, every call goes through.

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

int ErrorToFailWith(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? std::atoi(value) : 0;
}

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
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
