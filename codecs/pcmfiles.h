#pragma once
// The WAV sides of the codec engines: a source whose audio is exactly its
// data chunk, and a streamed target whose header is written once the length
// is known. Both open their file on construction (engines open their files
// before they load a library) and close it when they go.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/exclusivefile.h"
#include "formats/waveheader.h"

namespace zelph {

// A little-endian integer WAV sample of `bytes` bytes left-justified in 32
// bits (8-bit samples are unsigned in a WAV).
inline uint32_t JustifiedSample(const uint8_t* in, int bytes) {
    uint32_t value = 0;
    for (int b = 0; b < bytes; ++b) value |= uint32_t{in[b]} << (8 * (4 - bytes + b));
    return bytes == 1 ? value ^ 0x80000000u : value;
}

class WavSource {
public:
    // Opens `path` for exclusive reading and reads its header; the file is
    // then positioned at the first audio byte.
    explicit WavSource(const std::string& path);

    // Opened and accepted by the header reader.
    bool ok() const { return dataOffset_ != 0; }
    // Why not ok() (the reader's reason for a refused header), or why the
    // last Read failed.
    std::string problem() const;
    const WaveHeader& header() const { return format_.header; }
    const WaveFormat& format() const { return format_; }
    uint32_t dataOffset() const { return dataOffset_; }
    // The data chunk's bytes in whole sample frames.
    uint64_t audioBytes() const { return format_.audioBytes; }
    uint64_t bytesRead() const { return bytesRead_; }
    bool atEnd() const { return bytesRead_ >= format_.audioBytes; }

    // Reads min(`size`, audio bytes left) bytes into `buffer` and sets
    // `count` to that number. False when the file held fewer bytes than its
    // header promised or the read failed.
    bool Read(void* buffer, std::size_t size, std::size_t& count);

private:
    std::string path_;
    ExclusiveFile file_;
    WaveFormat format_;
    std::string reason_;
    uint32_t dataOffset_ = 0;
    uint64_t bytesRead_ = 0;
    bool readShort_ = false;
};

class WavSink {
public:
    // Creates (or truncates) `path` and writes the 44-byte placeholder.
    explicit WavSink(const std::string& path);

    bool ok() const { return ok_; }
    // Why not ok().
    std::string problem() const;
    uint64_t pcmBytes() const { return pcmBytes_; }

    // Appends PCM bytes. False on a failed write or when the data would no
    // longer fit in a WAV file's 32-bit sizes (4 GiB; such an output fails
    // rather than being written as RF64); the sink then stays failed.
    bool Write(const void* data, std::size_t size);
    // Writes the real header over the placeholder and closes the file; false
    // when any write, the patch or the close failed.
    // Float samples (32-bit) are told by `formatTag`.
    bool Finish(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t formatTag = kWaveFormatPcm);

private:
    ExclusiveFile file_;
    bool ok_ = false;
    bool tooLarge_ = false;
    uint64_t pcmBytes_ = 0;
};

// Little-endian integer WAV samples of 1 to 4 bytes as signed values,
// right-justified (8-bit WAV samples are unsigned), as lossless encoders take them.
void ToSignedSamples(const uint8_t* in, std::size_t samples, int bytesPerSample, int32_t* out);

}  // namespace zelph
