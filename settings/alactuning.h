#pragma once
// ALAC's tuning, kept in zelph.conf under the "alac." keys.

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetAlac{11};  // the record's targetFormat

// ALAC is written at 16 or 24 bits; kAsSource takes 24 for a source of more
// than 16 bits, else 16.
enum class AlacSampleSize : int32_t { kAsSource = 0, k16Bit = 1, k24Bit = 2 };

// The source's channels and rate are kept.
struct AlacSettings {
    AlacSampleSize sampleSize = AlacSampleSize::kAsSource;
};

}  // namespace zelph
