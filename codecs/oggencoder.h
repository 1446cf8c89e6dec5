#pragma once
// 16-bit PCM WAV to Ogg Vorbis on libogg, libvorbis and libvorbisenc (Ogg.so,
// Vorbis.so and VorbisEnc.so from Plugins), tuned by the `ogg` settings block.

#include <cstdint>

#include "codecs/job.h"

namespace zelph {

// The engine for ENCOGGVORBIS; the job carries its OggVorbisSettings block.
void EncodeOggVorbis(const Job& job, JobState& state);
extern const EngineDescriptor kEncOggVorbis;  // "ENCOGGVORBIS"

// Vorbis's longest block. Decoders do not cut the last block to the length
// the last page's granule states, so a decode may give up to this much more.
inline constexpr uint64_t kLongestVorbisBlock = 8192;

}  // namespace zelph
