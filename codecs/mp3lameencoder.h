#pragma once
// ENCMP3LAME: a 16-bit PCM WAV to MP3 with the LAME library (Lame_Enc.so).

#include "codecs/job.h"

namespace zelph {

void EncodeMp3Lame(const Job& job, JobState& state);
extern const EngineDescriptor kEncMp3Lame;  // "ENCMP3LAME"

}  // namespace zelph
