#pragma once
// Brings a WAV source of any sample type (8- to 32-bit integer, 32- or 64-bit
// float) and 1 to 8 channels to 8- or 16-bit mono or stereo: every sample is
// widened to a signed 32-bit value, more than two channels are folded to
// stereo (centre and surround channels at -3 dB, the low-frequency channel
// dropped), mono keeps the left channel as it always has, and the result is
// requantized with TPDF dither of +-1 step of the target size.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/waveheader.h"

namespace zelph {

// Integer 8/16/24/32-bit or float 32/64-bit, 1 to 8 channels, whole-byte frames.
bool IsReducibleSource(const WaveFormat& source);

// Triangular dither for dropping `shift` low bits of a 32-bit sample: the sum
// of two independent uniform values of one step each. Deterministic: every run
// starts from the same seed, so a conversion gives the same bytes each time.
class TpdfDither {
public:
    explicit TpdfDither(int shift)
        : shift_(shift),
          mask_((uint64_t{1} << shift) - 1),
          half_(int64_t{1} << (shift - 1)),
          top_((int64_t{1} << (31 - shift)) - 1) {}
    // The sample rounded to its top (32 - shift) bits, dithered, clipped.
    int32_t Requantize(int32_t sample) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        const int64_t noise = static_cast<int64_t>(state_ & mask_) - static_cast<int64_t>((state_ >> 32) & mask_);
        const int64_t value = (int64_t{sample} + half_ + noise) >> shift_;
        return static_cast<int32_t>(std::clamp(value, -top_ - 1, top_));
    }

private:
    int shift_;
    uint64_t mask_;
    int64_t half_;  // rounds to nearest
    int64_t top_;   // the largest value of the target size
    uint64_t state_ = 0x9E3779B97F4A7C15u;
};

class SampleReducer {
public:
    // `source` must be reducible; the target is 1 or 2 channels of 8 or 16 bits.
    SampleReducer(const WaveFormat& source, int targetChannels, int targetBits);

    // Converts `frames` whole source frames into target frames; returns the
    // bytes written to `out`. At most `kMaxFrames` frames per call.
    std::size_t Convert(const uint8_t* in, std::size_t frames, uint8_t* out);

    static constexpr std::size_t kMaxFrames = 8192;

private:
    using Widen = void (*)(const uint8_t* in, std::size_t samples, int32_t* out);

    Widen widen_;
    int sourceChannels_;
    int targetChannels_;
    int targetBits_;
    // Q15 gain of every source channel into the folded left and right.
    std::array<std::array<int32_t, 2>, 8> fold_{};
    TpdfDither dither_;
    std::vector<int32_t> wide_;
};

}  // namespace zelph
