// The WAV reader the WAV engine trusts with every source: the description,
// both header readers and the audio length they imply, on the same bytes.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "formats/waveheader.h"
#include "fuzz/probefuzz.h"

namespace {

std::string ReadWave(const std::string& path) {
    const std::string text = zelph::DescribeWaveFile(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0) std::abort();
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    zelph::WaveFormat format, pcm;
    std::string reason;
    const uint32_t offset = zelph::ReadWaveFormat(fd, format, &reason);
    const uint32_t pcmOffset = zelph::ReadWaveHeader(fd, pcm);
    // A refusal always says why; an accepted format is one the engines take.
    if ((offset == 0) == reason.empty()) std::abort();
    if (offset != 0 && (format.header.channels == 0 || format.header.sampleRate == 0 ||
                        format.audioBytes % format.header.blockAlign != 0))
        std::abort();
    // Integer files are read alike by both; nothing points past the file.
    if (pcmOffset != 0 && pcmOffset != offset) std::abort();
    if (offset > size) std::abort();
    if (offset != 0 && format.audioBytes > size - offset) std::abort();
    ::close(fd);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::DescribeBytes(data, size, ReadWave);
}
