#pragma once
// Ogg Opus to a 16-bit PCM WAV at 48000 Hz with the stream's own channels, on
// libopusfile (OpusFile.so from Plugins, with libopus from Opus.so
// decoding mono and stereo links), which drops the encoder's
// pre-skip and trims the end to the last page's position, so the length is
// exactly the encoded one.

#include "codecs/job.h"

namespace zelph {

// The engine for DECOPUS.
void DecodeOpus(const Job& job, JobState& state);
extern const EngineDescriptor kDecOpus;  // "DECOPUS"

}  // namespace zelph
