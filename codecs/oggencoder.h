#pragma once
// 16-bit PCM WAV to Ogg Vorbis on libogg, libvorbis and libvorbisenc (Ogg.so,
// Vorbis.so and VorbisEnc.so from Plugins), tuned by the `ogg` settings block.

#include "codecs/job.h"

namespace zelph {

// The engine for ENCOGGVORBIS; the job carries its OggVorbisSettings block.
void EncodeOggVorbis(const Job& job, JobState& state);
extern const EngineDescriptor kEncOggVorbis;  // "ENCOGGVORBIS"

}  // namespace zelph
