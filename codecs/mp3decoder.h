#pragma once
// MPEG audio to 16-bit stereo PCM WAV on libmpg123 (Mpg123.so from Plugins).

#include <cstdint>
#include <utility>

#include "codecs/job.h"

namespace zelph {

// The engine for DECMP3.
void DecodeMp3(const Job& job, JobState& state);
extern const EngineDescriptor kDecMp3;  // "DECMP3"

// The dither state's steps: a linear congruential generator, and two of its
// steps at once (so that a stereo sample's two states need not wait on
// each other).
constexpr uint32_t kDitherMultiplier = 1664525u, kDitherIncrement = 1013904223u;
constexpr uint32_t kDitherMultiplier2 = kDitherMultiplier * kDitherMultiplier;
constexpr uint32_t kDitherIncrement2 = kDitherIncrement * (kDitherMultiplier + 1u);

// A fixed-point sample (28 fraction bits, 1.0 = 0x10000000) to a 16-bit
// sample with rounding and triangular dither drawn from the state `seed`
// and the one after it, `next`.
inline int16_t DitherWith(int32_t sample, uint32_t seed, uint32_t next) {
    // 64-bit sums: a sample near the fixed-point limits clips instead of wrapping.
    int64_t value = static_cast<int64_t>(sample) + 4096;
    value += static_cast<int64_t>(next & 0x1FFF) - static_cast<int64_t>(seed & 0x1FFF);
    if (value >= 0x10000000)
        value = 0x0FFFFFFF;
    else if (value < -0x10000000)
        value = -0x10000000;
    return static_cast<int16_t>((value & ~int64_t{0x1FFF}) >> 13);
}

// DitherWith, advancing the dither state once. One state serves the whole file.
inline int16_t DitherSample(int32_t sample, uint32_t* ditherSeed) {
    const uint32_t seed = *ditherSeed;
    *ditherSeed = seed * kDitherMultiplier + kDitherIncrement;
    return DitherWith(sample, seed, *ditherSeed);
}

// A stereo sample, as DitherSample on the left and then the right would give it.
inline std::pair<int16_t, int16_t> DitherStereo(int32_t left, int32_t right, uint32_t* ditherSeed) {
    const uint32_t seed = *ditherSeed;
    const uint32_t middle = seed * kDitherMultiplier + kDitherIncrement;
    *ditherSeed = seed * kDitherMultiplier2 + kDitherIncrement2;
    return {DitherWith(left, seed, middle), DitherWith(right, middle, *ditherSeed)};
}

}  // namespace zelph
