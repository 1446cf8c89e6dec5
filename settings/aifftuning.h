#pragma once
// AIFF's tuning, kept in zelph.conf under the "aiff." keys.

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetAiff{9};  // the record's targetFormat

// AIFF holds big-endian PCM of 16 or 24 bits; kAsSource takes 24 for a
// source of more than 16 bits, else 16.
enum class AiffSampleSize : int32_t { kAsSource = 0, k16Bit = 1, k24Bit = 2 };

// The source's channels are kept.
struct AiffSettings {
    AiffSampleSize sampleSize = AiffSampleSize::kAsSource;
};

}  // namespace zelph
