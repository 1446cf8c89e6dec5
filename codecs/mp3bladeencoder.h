#pragma once
// ENCMP3BLADE: a 16-bit PCM WAV to MPEG-1 MP3 with the BladeEnc library
// (BladeEnc.so), at the rate, mode and bitrate of the Blade settings.

#include "codecs/job.h"

namespace zelph {

void EncodeMp3Blade(const Job& job, JobState& state);
extern const EngineDescriptor kEncMp3Blade;  // "ENCMP3BLADE"

}  // namespace zelph
