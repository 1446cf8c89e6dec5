#pragma once
// Other people's formats (M4A with AAC or ALAC, WMA, AIFF, WavPack, TTA,
// Musepack, DSD, CAF, Wave64, AC-3, Matroska audio) to a PCM WAV, through
// FFmpeg's demuxers and decoders (Plugins/AVFormat.so and its companions).
// The files are untrusted, so FFmpeg is only let use the demuxers and
// decoders these formats need; our own formats keep our own decoders.

#include <string>

#include "codecs/job.h"

namespace zelph {

// The file list's description ("AAC LC Stereo 256Kbps 44100Hz").
std::string DescribeFfmpegFile(const std::string& path);

// The engine for DECFFMPEG: the file's first audio stream to a WAV of its
// channels and rate, 8, 16, 24 or 32 bits as decoded, or 32-bit float for
// the decoders that give float; as long as FFmpeg's own decode, with the
// encoder delay and padding the container records cut away.
void DecodeFfmpeg(const Job& job, JobState& state);
extern const EngineDescriptor kDecFfmpeg;  // "DECFFMPEG"

}  // namespace zelph
