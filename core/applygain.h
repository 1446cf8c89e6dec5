#pragma once
// GAIN: scales a file's PCM WAV (in place when the job has no target) to the loudness its AppliedGain
// block names, so that players that ignore loudness tags play every output
// alike. The gain is lowered as far as needed to keep the true peak at or
// below -1 dBTP, so the scaled audio never clips (nor does a lossy encoder's
// overshoot, mostly). The scaled audio is a new file put under the WAV's
// name once complete: a WAV that is a second name of the source leaves the
// source untouched.

#include <optional>

#include "codecs/job.h"

namespace zelph {

// The gain in dB that brings audio of `loudness` LUFS (nothing: too quiet
// to gate) and `truePeak` (1.0 at full scale) to `targetLufs` without its
// true peak passing the ceiling.
double GainFor(std::optional<double> loudness, double truePeak, double targetLufs);

void ApplyGain(const Job& job, JobState& state);
extern const EngineDescriptor kApplyGain;  // "GAIN"

}  // namespace zelph
