#pragma once
// AAC's tuning, kept in zelph.conf under the "aac." keys.

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

inline constexpr TargetFormat kTargetAac{10};  // the record's targetFormat

enum class AacMode : int32_t { kVbr = 0, kCbr = 1 };

// AAC in M4A through FFmpeg's own encoder; mono is kept, more channels are
// folded to stereo.
struct AacSettings {
    AacMode mode = AacMode::kCbr;
    int32_t quality = 10;   // VBR: tenths of FFmpeg's quality scale, 1..20
    int32_t bitrate = 192;  // CBR: kbit/s for the whole stream, 32..512
};

}  // namespace zelph
