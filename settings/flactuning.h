#pragma once
// FLAC's tuning, kept in zelph.conf under the "flac." keys.

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetFlac{7};  // the record's targetFormat

struct FlacSettings {
    int32_t level = 5;     // libFLAC's compression level, 0..8
    bool verify = false;   // the encoder decodes what it wrote and compares
    // What the WAV stage brings the encoder's input to; kAsSource keeps it.
    WavPcmSettings input{WavChannels::kAsSource, WavSampleSize::kAsSource};
};

}  // namespace zelph
