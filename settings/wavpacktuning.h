#pragma once
// WavPack's tuning, kept in zelph.conf under the "wavpack." keys.

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetWavPack{12};  // the record's targetFormat

// The encoder's effort, as wavpack's -f, (none), -h and -hh.
enum class WavPackLevel : int32_t { kFast = 0, kNormal = 1, kHigh = 2, kVeryHigh = 3 };

// Lossless, or hybrid: a lossy .wv of `bitrate` kbit/s and, with
// `correction`, a .wvc beside it that restores the source exactly.
enum class WavPackMode : int32_t { kLossless = 0, kHybrid = 1 };

inline constexpr int kWavPackMinKbps = 24;
inline constexpr int kWavPackMaxKbps = 9600;

// The source's channels, sample size and rate are kept.
struct WavPackSettings {
    WavPackLevel level = WavPackLevel::kNormal;
    WavPackMode mode = WavPackMode::kLossless;
    int32_t bitrate = 320;  // kbit/s of the hybrid .wv
    bool correction = true;

    bool writesCorrection() const { return mode == WavPackMode::kHybrid && correction; }
};

// The extension of WavPack's correction file.
inline constexpr const char* kWavPackCorrectionExtension = ".wvc";

}  // namespace zelph
