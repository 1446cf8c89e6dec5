#pragma once
// One frame of a 3.99 stream: a CRC of its PCM bytes, optional special-case
// flags, then the range-coded residuals of every block. Frames are coded
// independently: every frame starts from fresh predictor and filter state.
//
// The frames of a file form one byte stream: each starts at the byte where
// the previous one ended, which is where a decoder reading them one after
// the other stands. Bytes here are in coding order; the file stores the
// stream as 32-bit little-endian words (see SwapWords).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "plugins/macdll/checksums.h"
#include "plugins/macdll/nnfilter.h"
#include "plugins/macdll/predictor.h"
#include "plugins/macdll/rangecoder.h"

namespace zelph::ape {

struct StreamFormat {
    int channels = 2;       // 1 or 2
    int bitsPerSample = 16; // 8 or 16
    int level = 2000;       // 1000 … 5000
    int BlockAlign() const { return channels * bitsPerSample / 8; }
};

bool IsSupported(const StreamFormat& format);

// Reverses the bytes of every whole 32-bit word (file order <-> coding order).
void SwapWords(std::span<uint8_t> bytes);

// Codes `pcm` (whole blocks, interleaved as in a WAV file) as one frame and
// appends it to `stream`. A frame of silence carries no residuals, and a
// stereo frame of two equal channels codes only one.
void EncodeFrame(const StreamFormat& format, std::span<const uint8_t> pcm, std::vector<uint8_t>& stream);

// Decodes one frame block by block, checking its CRC after the last block.
class FrameDecoder {
public:
    // `bytes` must outlive the decoder's use of the frame.
    bool Start(const StreamFormat& format, std::span<const uint8_t> bytes, uint32_t blocks);
    // Writes `count` blocks (no more than remaining()) as interleaved PCM;
    // false once the frame is found corrupt or its CRC does not match.
    bool Decode(uint8_t* out, uint32_t count);
    uint32_t remaining() const { return remaining_; }

private:
    // A silent frame, one coded channel (mono, or stereo with equal
    // channels), or the difference and midpoint of a stereo pair.
    enum class Kind { kSilent, kOneChannel, kSideAndMid };
    template <Kind kKind>
    void DecodeBlocksOf(uint8_t* out, uint32_t count);
    template <Kind kKind, int kChannels, int kBits>
    void DecodeBlocks(uint8_t* out, uint32_t count);

    StreamFormat format_;
    uint32_t remaining_ = 0;
    uint32_t storedCrc_ = 0;
    uint32_t flags_ = 0;
    std::optional<RangeDecoder> coder_;
    Predictor predictor_;
    std::vector<NNFilter> filters_[2];
    ResidualModel models_[2];
    Crc32 crc_;
};

}  // namespace zelph::ape
