#pragma once
// AIFF's tuning, kept in zelph.conf under the "aiff." keys.

#include <cstdint>

#include "settings/samplesize.h"
#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetAiff{9};  // the record's targetFormat

// AIFF holds big-endian PCM of 16 or 24 bits; the source's channels are kept.
struct AiffSettings {
    SampleSizeChoice sampleSize = SampleSizeChoice::kAsSource;
};

}  // namespace zelph
