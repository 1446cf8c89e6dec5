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
int16_t DitherSample(int32_t sample, uint32_t* ditherSeed);

}  // namespace zelph
