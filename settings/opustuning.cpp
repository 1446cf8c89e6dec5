#include "settings/opustuning.h"

#include <string>

#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr std::string_view kBitrate = "opus.bitrate";
constexpr std::string_view kMode = "opus.mode";
constexpr std::string_view kComplexity = "opus.complexity";
constexpr std::string_view kApplication = "opus.application";

constexpr PreferenceKey kKeys[] = {
    // kbit/s (0: 128 stereo, 64 mono; below 6 the engine refuses);
    // 0 VBR, 1 constrained VBR, 2 CBR; complexity; 0 music, 1 speech.
    {kBitrate, 0, 510, 0},
    {kMode, 0, 2, 0},
    {kComplexity, 0, 10, 10},
    {kApplication, 0, 1, 0},
};

OpusSettings Read(const Preferences& preferences) {
    OpusSettings opus;
    opus.bitrate = preferences.Get(kBitrate);
    opus.mode = static_cast<OpusMode>(preferences.Get(kMode));
    opus.complexity = preferences.Get(kComplexity);
    opus.application = static_cast<OpusApplication>(preferences.Get(kApplication));
    return opus;
}

void Store(const OpusSettings& opus, Preferences& preferences) {
    preferences.Set(kBitrate, std::to_string(opus.bitrate));
    preferences.Set(kMode, std::to_string(static_cast<int>(opus.mode)));
    preferences.Set(kComplexity, std::to_string(opus.complexity));
    preferences.Set(kApplication, std::to_string(static_cast<int>(opus.application)));
}

const bool kRegistered = RegisterTuning<OpusSettings>(kKeys, Read, Store);

}  // namespace

}  // namespace zelph
