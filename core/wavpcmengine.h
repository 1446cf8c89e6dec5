#pragma once
// ENCWAVPCM: rewrites a PCM WAV as mono or stereo, 8 or 16 bits, keeping its rate.

#include "core/job.h"

namespace zelph {

void EncodeWavPcm(Job* job);

// The four target forms; each accepts mono or stereo, 8- or 16-bit sources.
void ConvertToMono8(Job* job);
void ConvertToMono16(Job* job);
void ConvertToStereo8(Job* job);
void ConvertToStereo16(Job* job);

}  // namespace zelph
