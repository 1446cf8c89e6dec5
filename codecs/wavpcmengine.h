#pragma once
// ENCWAVPCM: rewrites a PCM WAV as mono or stereo, 8 or 16 bits, keeping its
// rate; in place when the job has no target.

#include "codecs/job.h"
#include "settings/settings.h"

namespace zelph {

void EncodeWavPcm(const Job& job, JobState& state);

// The form a block of WAV settings names; kAsSource keeps the source's.
PcmForm PcmFormOf(const WavPcmSettings& settings);
extern const EngineDescriptor kEncWavPcm;  // "ENCWAVPCM"

}  // namespace zelph
