#include "settings/appliedgain.h"

#include <string>

#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr PreferenceKey kKeys[] = {
    // The target loudness in LUFS; 0: the audio is left as it is.
    {kApplyGainLufs, -70, 0, 0},
};

AppliedGain Read(const Preferences& preferences) { return {preferences.Get(kApplyGainLufs)}; }

void Store(const AppliedGain& gain, Preferences& preferences) {
    preferences.Set(kApplyGainLufs, std::to_string(gain.targetLufs));
}

const bool kRegistered = RegisterTuning<AppliedGain>(kKeys, Read, Store);

}  // namespace

}  // namespace zelph
