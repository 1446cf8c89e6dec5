#pragma once
// The locks that tell a live run's run files from stale ones: open-file-
// description locks, shared by the run that owns a file, asked for
// exclusively by a clean-up. The runner holds them (core/runfiles.h); an
// engine that puts a new file under a run file's name holds one on that file
// until the runner has followed it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zelph {

// Whether `fd` is the file that `path` names now.
inline bool StillNamedBy(int fd, const std::string& path) {
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Open-file-description locks over the whole file: they belong to the
// descriptor, so no other open and close of the file (an engine's, TagLib's)
// lets them go, and they never meet the flock() the engines use to keep
// their files to themselves. The owner holds a shared lock, which needs
// only read access; a cleaner asks for the exclusive one.
inline bool LockWhole(int fd, short type, int command) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, command, &lock) == 0;
}

// The file at `path` opened and locked (waiting for a cleaner that holds it
// for a moment), or -1 when `path` no longer names the file that was locked.
inline int OpenLocked(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return -1;
    if (!LockWhole(fd, F_RDLCK, F_OFD_SETLKW) || !StillNamedBy(fd, path)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A new file beside `path` that no other run can be given (mkstemp), with
// its descriptor holding the run's lock (it carries a run file's name); ""
// when none could be made.
inline std::string NewFileBeside(const std::string& path, int& held) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path + ".XXXXXX";
        held = ::mkstemp(name.data());
        if (held < 0) return "";
        // A clean-up may take the new file before it is locked.
        if (LockWhole(held, F_RDLCK, F_OFD_SETLKW) && StillNamedBy(held, name)) return name;
        ::close(held);
    }
    held = -1;
    return "";
}

}  // namespace zelph
