#pragma once
// ENCWAVPCM: rewrites a WAV (integer or float samples, 1 to 8 channels) as
// mono or stereo, 8 or 16 bits, keeping its rate.

#include "core/job.h"

namespace zelph {

void EncodeWavPcm(Job* job);

// The four target forms; each accepts every source the engine takes.
void ConvertToMono8(Job* job);
void ConvertToMono16(Job* job);
void ConvertToStereo8(Job* job);
void ConvertToStereo16(Job* job);

}  // namespace zelph
