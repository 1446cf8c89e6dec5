#pragma once
// Opus's tuning, kept in zelph.conf under the "opus." keys.

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetOpus{8};  // the record's targetFormat

enum class OpusMode : int32_t { kVbr = 0, kConstrainedVbr = 1, kCbr = 2 };
enum class OpusApplication : int32_t { kMusic = 0, kSpeech = 1 };

// Opus takes mono or stereo: the WAV stage folds more channels to stereo
// and brings every source to 16 bits.
struct OpusSettings {
    int32_t bitrate = 0;  // kbit/s, 6..510; 0: 128 for stereo, 64 for mono
    OpusMode mode = OpusMode::kVbr;
    int32_t complexity = 10;
    OpusApplication application = OpusApplication::kMusic;
};

}  // namespace zelph
