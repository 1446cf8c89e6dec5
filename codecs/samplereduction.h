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
// starts from the same seeds, so a conversion gives the same bytes each time.
// Samples take their noise from eight generators in turn, which a block of
// samples runs side by side in vector registers.
class TpdfDither {
public:
    explicit TpdfDither(int shift)
        : shift_(shift),
          low_((int32_t{1} << shift) - 1),
          half_(int32_t{1} << (shift - 1)),
          top_((int32_t{1} << (31 - shift)) - 1) {}
    // The sample rounded to its top (32 - shift) bits, dithered, clipped.
    int32_t Requantize(int32_t sample) {
        const int32_t noise = NextNoise(lanes_[next_]);
        next_ = (next_ + 1) % kLanes;
        return Quantize(sample, noise);
    }
    // Requantizes `count` samples in place, exactly as `count` calls of
    // Requantize in turn would.
    void RequantizeInPlace(int32_t* samples, std::size_t count);

private:
    static constexpr std::size_t kLanes = 8;
    // Seeds drawn from SplitMix64, so that no two generators run in step.
    static constexpr std::array<uint64_t, kLanes> kSeeds = [] {
        std::array<uint64_t, kLanes> seeds{};
        uint64_t x = 0;
        for (uint64_t& seed : seeds) {
            x += 0x9E3779B97F4A7C15u;
            uint64_t z = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
            seed = z ^ (z >> 31);
        }
        return seeds;
    }();

    // One xorshift step of one generator: the difference of two uniform values.
    int32_t NextNoise(uint64_t& state) const {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<int32_t>(state & low_) - static_cast<int32_t>((state >> 32) & low_);
    }
    // (sample + half + noise) >> shift without leaving 32 bits: the low bits
    // are rounded on their own, and the high ones carried over.
    int32_t Quantize(int32_t sample, int32_t noise) const {
        const int32_t value = (sample >> shift_) + (((sample & low_) + half_ + noise) >> shift_);
        return std::clamp(value, -top_ - 1, top_);
    }

    int shift_;
    int32_t low_;   // the bits dropped
    int32_t half_;  // rounds to nearest
    int32_t top_;   // the largest value of the target size
    std::array<uint64_t, kLanes> lanes_ = kSeeds;
    std::size_t next_ = 0;  // the generator of the next sample
};

class SampleReducer {
public:
    // `source` must be reducible; the target is 1 or 2 channels of 8 or 16 bits.
    SampleReducer(const WaveFormat& source, int targetChannels, int targetBits);

    // Converts `frames` whole source frames into target frames; returns the
    // bytes written to `out`. At most `kMaxFrames` frames per call.
    std::size_t Convert(const uint8_t* in, std::size_t frames, uint8_t* out);
    // The same from a float source of one or two channels given as one array
    // per channel (FFmpeg's planar float).
    std::size_t ConvertPlanes(const float* const* planes, std::size_t frames, uint8_t* out);

    static constexpr std::size_t kMaxFrames = 8192;

private:
    using Widen = void (*)(const uint8_t* in, std::size_t samples, int32_t* out);

    // Folds, dithers and writes the `frames` frames widened into wide_.
    std::size_t Reduce(std::size_t frames, uint8_t* out);

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
