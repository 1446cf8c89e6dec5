#include "settings/aactuning.h"

#include <string>

#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr std::string_view kMode = "aac.mode";
constexpr std::string_view kQuality = "aac.quality";
constexpr std::string_view kBitrate = "aac.bitrate";

constexpr PreferenceKey kKeys[] = {
    // 0 VBR, 1 CBR; VBR quality in tenths (10: FFmpeg's 1.0); CBR kbit/s.
    {kMode, 0, 1, 1},
    {kQuality, 1, 20, 10},
    {kBitrate, 32, 512, 192},
};

AacSettings Read(const Preferences& preferences) {
    return {static_cast<AacMode>(preferences.Get(kMode)), preferences.Get(kQuality), preferences.Get(kBitrate)};
}

void Store(const AacSettings& aac, Preferences& preferences) {
    preferences.Set(kMode, std::to_string(static_cast<int>(aac.mode)));
    preferences.Set(kQuality, std::to_string(aac.quality));
    preferences.Set(kBitrate, std::to_string(aac.bitrate));
}

const bool kRegistered = RegisterTuning<AacSettings>(kKeys, Read, Store);

}  // namespace

}  // namespace zelph
