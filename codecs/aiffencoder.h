#pragma once
// A PCM WAV to AIFF: big-endian PCM of 16 or 24 bits, the WAV's channels and
// rate kept. Samples are widened exactly; a 32-bit input brought to 24 bits
// loses its low byte (the WAV stage brings anything to 16 bits itself, with
// its dither, when 16 bits are chosen).

#include "codecs/job.h"

namespace zelph {

// The engine for ENCAIFF; its block is AiffSettings.
void EncodeAiff(const Job& job, JobState& state);
extern const EngineDescriptor kEncAiff;  // "ENCAIFF"

}  // namespace zelph
