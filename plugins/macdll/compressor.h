#pragma once
// Writes a 3.99 file: descriptor, header and a seek table sized for the
// announced length are reserved up front, frames follow as their blocks
// arrive, and Finish fills the reserved part in. The frames form one byte
// stream that is written in whole words as it grows.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "plugins/macdll/checksums.h"
#include "plugins/macdll/container.h"
#include "plugins/macdll/framecoder.h"

namespace zelph::ape {

struct CompressOptions {
    StreamFormat format;
    uint32_t sampleRate = 44100;
    int64_t maxAudioBytes = -1;                // -1: unknown
    std::span<const uint8_t> wavHeader;        // stored as given
    bool createWavHeader = true;               // when no header is stored
    uint32_t blocksPerFrame = 0;               // 0: the level's default
};

class Compressor {
public:
    ~Compressor();
    int Start(const std::string& path, const CompressOptions& options);
    int AddData(std::span<const uint8_t> bytes);
    int Finish(std::span<const uint8_t> tail, uint32_t wavTailBytes);

private:
    int WriteFrame(std::span<const uint8_t> pcm);
    // Writes the stream's whole words; at the end, its last word padded and
    // one more word of zeros when the stream ends on a word boundary, as the
    // format's own encoder ends it.
    bool WriteStream(bool atEnd);
    // The body (stored WAV header, frames, tail) goes into the MD5 as written.
    bool WriteBody(std::span<const uint8_t> bytes);
    bool Write(std::span<const uint8_t> bytes);

    std::FILE* file_ = nullptr;
    StreamFormat format_;
    StreamHeader header_;
    Descriptor descriptor_;
    std::vector<uint8_t> wavHeader_;
    std::vector<uint32_t> seekTable_;  // reserved entries; the used ones lead
    std::vector<uint8_t> pending_;     // PCM of the frame being filled
    std::vector<uint8_t> stream_;      // coded bytes not yet written, in coding order
    std::size_t frameBytes_ = 0;
    uint64_t offset_ = 0;  // where the next write lands, and so stream_'s first byte
    Md5 frameMd5_;  // over the stored WAV header and the frames, in file order
    int failure_ = 0;
};

}  // namespace zelph::ape
