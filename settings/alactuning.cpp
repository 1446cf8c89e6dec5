#include "settings/alactuning.h"

#include <string>

#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr std::string_view kSampleSize = "alac.sampleSize";

constexpr PreferenceKey kKeys[] = {
    // 0 as the source (16 or 24 bits), 1 16 bits, 2 24 bits.
    {kSampleSize, 0, 2, 0},
};

AlacSettings Read(const Preferences& preferences) {
    return {static_cast<SampleSizeChoice>(preferences.Get(kSampleSize))};
}

void Store(const AlacSettings& alac, Preferences& preferences) {
    preferences.Set(kSampleSize, std::to_string(static_cast<int>(alac.sampleSize)));
}

const bool kRegistered = RegisterTuning<AlacSettings>(kKeys, Read, Store);

}  // namespace

}  // namespace zelph
