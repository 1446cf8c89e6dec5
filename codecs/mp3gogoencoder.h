#pragma once
// ENCMP3GOGO: a PCM WAV to MP3 with the GoGo library (GoGo.so), which reads
// the source and writes the target by path itself, one frame per call.

#include "codecs/job.h"

namespace zelph {

void EncodeMp3GoGo(const Job& job, JobState& state);
extern const EngineDescriptor kEncMp3GoGo;  // "ENCMP3GOGO"

}  // namespace zelph
