#pragma once
// The gain applied to every converted file's audio before its encoder reads
// it, bringing it to one loudness for players that ignore loudness tags.
// Kept in zelph.conf under "general.applyGain"; the gain step's jobs point
// into the tuning that holds it.

#include <string_view>

namespace zelph {

inline constexpr std::string_view kApplyGainLufs = "general.applyGain";

struct AppliedGain {
    int targetLufs = 0;  // the loudness each output is brought to; 0: no gain applied
    bool on() const { return targetLufs != 0; }
};

}  // namespace zelph
