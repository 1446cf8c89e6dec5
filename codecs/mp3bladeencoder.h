#pragma once
// ENCMP3BLADE: a 16-bit PCM WAV to MPEG-1 MP3 with the BladeEnc library
// (BladeEnc.so), at the rate, mode and bitrate of the Blade settings.

#include "core/job.h"

namespace zelph {

void EncodeMp3Blade(Job* job);

}  // namespace zelph
