#pragma once
// 16-bit PCM WAV, mono or stereo at any rate, to Ogg Opus on libopusenc
// (OpusEnc.so from Plugins), tuned by OpusSettings. libopusenc resamples to
// 48 kHz and sets the pre-skip and the last page's position so that a
// decode gives the source's exact length.

#include "codecs/job.h"
#include "settings/opustuning.h"

namespace zelph {

// The engine for ENCOPUS; the job carries its OpusSettings block.
void EncodeOpus(const Job& job, JobState& state);
extern const EngineDescriptor kEncOpus;  // "ENCOPUS"

}  // namespace zelph
