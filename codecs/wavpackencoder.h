#pragma once
// PCM WAV (8- to 32-bit integer, the source's channels and rate) to WavPack
// on libwavpack (WavPack.so from Plugins), tuned by WavPackSettings:
// lossless, or hybrid, whose correction file goes to the job's companion.

#include "codecs/job.h"
#include "settings/wavpacktuning.h"

namespace zelph {

// The engine for ENCWAVPACK; the job carries its WavPackSettings block.
void EncodeWavPack(const Job& job, JobState& state);
extern const EngineDescriptor kEncWavPack;  // "ENCWAVPACK"

}  // namespace zelph
