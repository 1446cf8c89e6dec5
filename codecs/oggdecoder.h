#pragma once
// Ogg Vorbis to 16-bit PCM WAV with the stream's own channels and rate, on
// libogg and libvorbis (Ogg.so and Vorbis.so from Plugins).

#include <cstdint>

#include "codecs/job.h"

namespace zelph {

// The engine for DECOGGVORBIS.
void DecodeOggVorbis(const Job& job, JobState& state);
extern const EngineDescriptor kDecOggVorbis;  // "DECOGGVORBIS"

// One of libvorbis's float samples as a 16-bit sample: scaled by 32767,
// truncated toward zero, clipped to the 16-bit range.
int16_t FloatToPcm16(float sample);

}  // namespace zelph
