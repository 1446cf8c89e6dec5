#include "codecs/copyengine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "codecs/engine.h"
#include "codecs/reasons.h"

namespace zelph {

namespace {

// Each descriptor closed on every path out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

constexpr std::size_t kBlock = 1 << 20;

void CopyFile(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const std::string problem = CopyFileContents(
        job.sourcePath, job.targetPath, &state.stopRequested,
        [](void* context, uint64_t done, uint64_t total) { static_cast<EngineRun*>(context)->Progress(done, total); },
        &run);
    if (problem.empty())
        run.Succeed();
    else
        run.Fail(problem);
}

}  // namespace

std::string CopyFileContents(const std::string& from, const std::string& to, const std::atomic<int32_t>* stop,
                             void (*progress)(void*, uint64_t, uint64_t), void* context) {
    const Descriptor in{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) return ReadProblem(from, errno);
    struct stat info;
    if (::fstat(in.fd, &info) != 0 || !S_ISREG(info.st_mode)) return ReadProblem(from, errno ? errno : EISDIR);
    const Descriptor out{::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)};
    if (out.fd < 0) return WriteProblem(errno);
    const uint64_t total = static_cast<uint64_t>(info.st_size);
    uint64_t done = 0;
    std::vector<char> buffer;
    for (;;) {
        if (stop && stop->load(std::memory_order_acquire)) return "stopped";
        // The kernel copies within the file system without passing the bytes
        // through here; a read and a write where it cannot.
        ssize_t moved = ::copy_file_range(in.fd, nullptr, out.fd, nullptr, kBlock, 0);
        if (moved < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            buffer.resize(kBlock);
            moved = ::read(in.fd, buffer.data(), buffer.size());
            if (moved < 0) return ReadProblem(from, errno);
            for (ssize_t written = 0, put; written < moved; written += put)
                if ((put = ::write(out.fd, buffer.data() + written, static_cast<std::size_t>(moved - written))) <= 0)
                    return WriteProblem(put < 0 ? errno : ENOSPC);
        } else if (moved < 0) {
            return errno == ENOSPC || errno == EFBIG || errno == EDQUOT ? WriteProblem(errno) : ReadProblem(from, errno);
        }
        if (moved == 0) break;
        done += static_cast<uint64_t>(moved);
        if (progress) progress(context, done, total);
    }
    return "";
}

const EngineDescriptor kCopyFile{"COPYFILE", CopyFile};

}  // namespace zelph
