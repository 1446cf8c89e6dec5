#include "codecs/pcmfiles.h"

#include <algorithm>

#include "codecs/reasons.h"

namespace zelph {

namespace {
// Largest data chunk whose RIFF size (data + 36) still fits in 32 bits.
constexpr uint64_t kMaxDataBytes = UINT32_MAX - 36;
}  // namespace

WavSource::WavSource(const std::string& path) : path_(path), file_(path, ExclusiveFile::kRead) {
    if (!file_.is_open()) return;
    dataOffset_ = ReadWaveHeader(file_.fd(), format_, &reason_);
}

std::string WavSource::problem() const {
    if (!file_.is_open() && file_.error() != 0) return ReadProblem(path_, file_.error());
    if (dataOffset_ == 0) return reason_.empty() ? "not a PCM WAV file" : reason_;
    return readShort_ ? "the WAV file ends before its audio does" : "";
}

bool WavSource::Read(void* buffer, std::size_t size, std::size_t& count) {
    count = static_cast<std::size_t>(std::min<uint64_t>(size, format_.audioBytes - std::min(bytesRead_, format_.audioBytes)));
    const std::size_t got = file_.Read(buffer, count);
    bytesRead_ += got;
    readShort_ = readShort_ || got != count;
    return got == count;
}

WavSink::WavSink(const std::string& path) : file_(path, ExclusiveFile::kCreate) {
    ok_ = file_.is_open() && WriteWaveHeaderPlaceholder(file_);
}

std::string WavSink::problem() const {
    if (tooLarge_) return "the WAV output would pass 4 GiB";
    return ok_ ? "" : WriteProblem(file_.error());
}

bool WavSink::Write(const void* data, std::size_t size) {
    tooLarge_ = tooLarge_ || pcmBytes_ + size > kMaxDataBytes;
    ok_ = ok_ && !tooLarge_ && file_.WriteAll(data, size);
    if (ok_) pcmBytes_ += size;
    return ok_;
}

bool WavSink::Finish(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t formatTag) {
    WaveHeader header = MakeWaveHeader(channels, sampleRate, bitsPerSample, static_cast<uint32_t>(pcmBytes_));
    header.formatTag = formatTag;
    ok_ = ok_ && PatchWaveHeader(file_, header) && file_.Close();
    return ok_;
}

void ToSignedSamples(const uint8_t* in, std::size_t samples, int bytesPerSample, int32_t* out) {
    // One loop per width: the width is the same for every sample of a file.
    switch (bytesPerSample) {
    case 1:
        for (std::size_t i = 0; i < samples; ++i) out[i] = in[i] - 128;
        break;
    case 2:
        for (std::size_t i = 0; i < samples; ++i, in += 2) out[i] = static_cast<int16_t>(in[0] | (in[1] << 8));
        break;
    case 3:
        for (std::size_t i = 0; i < samples; ++i, in += 3)
            out[i] = static_cast<int32_t>((uint32_t{in[0]} << 8) | (uint32_t{in[1]} << 16) | (uint32_t{in[2]} << 24)) >> 8;
        break;
    default:
        for (std::size_t i = 0; i < samples; ++i, in += 4)
            out[i] = static_cast<int32_t>(uint32_t{in[0]} | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16) |
                                          (uint32_t{in[3]} << 24));
    }
}

}  // namespace zelph
