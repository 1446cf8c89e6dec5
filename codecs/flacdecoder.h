#pragma once
// FLAC (native, or in Ogg) to a PCM WAV with the stream's own channels, rate
// and sample size (rounded up to whole bytes), on libFLAC (FLAC.so from
// Plugins). Sizes above 16 bits reach their target through the WAV engine's
// dither.

#include "codecs/job.h"

namespace zelph {

// The engine for DECFLAC.
void DecodeFlac(const Job& job, JobState& state);
extern const EngineDescriptor kDecFlac;  // "DECFLAC"

}  // namespace zelph
