#pragma once
// MPEG audio to 16-bit stereo PCM WAV on libmpg123 (Mpg123.so from Plugins).

#include <cstdint>

#include "codecs/job.h"

namespace zelph {

// The engine for DECMP3.
void DecodeMp3(const Job& job, JobState& state);
extern const EngineDescriptor kDecMp3;  // "DECMP3"

// A fixed-point sample (28 fraction bits, 1.0 = 0x10000000)
// to a 16-bit sample with rounding and triangular dither; advances the
// dither state once. One state serves the whole file.
inline int16_t DitherSample(int32_t sample, uint32_t* ditherSeed) {
    // 64-bit sums: a sample near the fixed-point limits clips instead of wrapping.
    int64_t value = static_cast<int64_t>(sample) + 4096;
    const uint32_t next = *ditherSeed * 1664525u + 1013904223u;
    value += static_cast<int64_t>(next & 0x1FFF) - static_cast<int64_t>(*ditherSeed & 0x1FFF);
    *ditherSeed = next;
    if (value >= 0x10000000)
        value = 0x0FFFFFFF;
    else if (value < -0x10000000)
        value = -0x10000000;
    return static_cast<int16_t>((value & ~int64_t{0x1FFF}) >> 13);
}

}  // namespace zelph
