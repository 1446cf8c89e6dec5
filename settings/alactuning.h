#pragma once
// ALAC's tuning, kept in zelph.conf under the "alac." keys.

#include <cstdint>

#include "settings/samplesize.h"
#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetAlac{11};  // the record's targetFormat

// ALAC is written at 16 or 24 bits; the source's channels and rate are kept.
struct AlacSettings {
    SampleSizeChoice sampleSize = SampleSizeChoice::kAsSource;
};

}  // namespace zelph
