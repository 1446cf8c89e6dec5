#pragma once
// The ENCWAVPCM engine: rewrites a PCM WAV file as mono or stereo, 8 or 16
// bits, at its own sample rate. An empty target path rewrites the source in
// place; the source is replaced only by a complete conversion.

#include "core/job.h"

namespace zelph {

// Reads the job's WavPcmSettings pair (null: stereo, 16 bits) and runs the
// matching procedure below; any other pair fails the job at once.
void EncodeWavPcm(Job* job);

void ConvertToMono8(Job* job);
void ConvertToMono16(Job* job);
void ConvertToStereo8(Job* job);
void ConvertToStereo16(Job* job);

}  // namespace zelph
