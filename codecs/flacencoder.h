#pragma once
// PCM WAV (8- to 32-bit integer, 1 to 8 channels, any rate) to FLAC on
// libFLAC's stream encoder (FLAC.so from Plugins), tuned by FlacSettings.
// The stream's MD5 of the audio is always written.

#include "codecs/job.h"
#include "settings/flactuning.h"

namespace zelph {

// The engine for ENCFLAC; the job carries its FlacSettings block.
void EncodeFlac(const Job& job, JobState& state);
extern const EngineDescriptor kEncFlac;  // "ENCFLAC"

}  // namespace zelph
