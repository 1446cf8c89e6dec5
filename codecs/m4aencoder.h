#pragma once
// A PCM WAV to M4A through FFmpeg's own encoders and its M4A muxer, written
// to the run file the engine holds.
//   AAC: VBR at a quality or CBR at a bit rate; mono kept, more channels
//   folded to stereo by the WAV stage. The encoder's priming and padding are
//   stated twice, by an edit list and by iTunes' "iTunSMPB" item, so the
//   audio starts at the source's first sample and lasts exactly as long.
//   ALAC: lossless at 16 or 24 bits, the WAV's channels and rate kept; a
//   32-bit input loses its low byte.

#include <cstdint>

#include "codecs/job.h"

namespace zelph {

// The samples of an AAC frame.
inline constexpr uint64_t kAacFrameSamples = 1024;

// The engine for ENCAAC; its block is AacSettings.
void EncodeAac(const Job& job, JobState& state);
extern const EngineDescriptor kEncAac;  // "ENCAAC"

// The engine for ENCALAC; its block is AlacSettings.
void EncodeAlac(const Job& job, JobState& state);
extern const EngineDescriptor kEncAlac;  // "ENCALAC"

}  // namespace zelph
