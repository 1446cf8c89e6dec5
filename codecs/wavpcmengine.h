#pragma once
// ENCWAVPCM: rewrites a PCM WAV as mono or stereo, 8 or 16 bits, keeping its
// rate; in place when the job has no target.

#include <optional>

#include "codecs/job.h"
#include "formats/waveheader.h"
#include "settings/settings.h"

namespace zelph {

void EncodeWavPcm(const Job& job, JobState& state);

// The form a block of WAV settings names; kAsSource keeps the source's.
PcmForm PcmFormOf(const WavPcmSettings& settings);
// The form a job's settings ask of a WAV (a form, or a WAV settings block);
// nothing when they name none. Only IsKnownForm ones can be made.
std::optional<PcmForm> FormAsked(const EngineSettings& settings);
bool IsKnownForm(PcmForm form);
// `wanted` made concrete for a source of this shape (0 channels or bits: the
// source's, where a WAV of 8 or 16 bits can hold it).
PcmForm ResolveForm(PcmForm wanted, const WaveHeader& source);
extern const EngineDescriptor kEncWavPcm;  // "ENCWAVPCM"

}  // namespace zelph
