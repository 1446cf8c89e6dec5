#pragma once
// ENCWAVPCM: rewrites a PCM WAV as mono or stereo, 8 or 16 bits, keeping its
// rate; in place when the job has no target.

#include "codecs/job.h"

namespace zelph {

void EncodeWavPcm(const Job& job, JobState& state);
extern const EngineDescriptor kEncWavPcm;  // "ENCWAVPCM"

}  // namespace zelph
