#include "settings/wavpacktuning.h"

#include <string>

#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr std::string_view kLevel = "wavpack.level";
constexpr std::string_view kMode = "wavpack.mode";
constexpr std::string_view kBitrate = "wavpack.bitrate";
constexpr std::string_view kCorrection = "wavpack.correction";

constexpr PreferenceKey kKeys[] = {
    // 0 fast, 1 normal, 2 high, 3 very high; 0 lossless, 1 hybrid; the
    // hybrid .wv's kbit/s; 1: a .wvc beside a hybrid .wv.
    {kLevel, 0, 3, 1},
    {kMode, 0, 1, 0},
    {kBitrate, kWavPackMinKbps, kWavPackMaxKbps, 320},
    {kCorrection, 0, 1, 1},
};

WavPackSettings Read(const Preferences& preferences) {
    return {.level = static_cast<WavPackLevel>(preferences.Get(kLevel)),
            .mode = static_cast<WavPackMode>(preferences.Get(kMode)),
            .bitrate = preferences.Get(kBitrate),
            .correction = preferences.Get(kCorrection) != 0};
}

void Store(const WavPackSettings& wavpack, Preferences& preferences) {
    preferences.Set(kLevel, std::to_string(static_cast<int>(wavpack.level)));
    preferences.Set(kMode, std::to_string(static_cast<int>(wavpack.mode)));
    preferences.Set(kBitrate, std::to_string(wavpack.bitrate));
    preferences.Set(kCorrection, wavpack.correction ? "1" : "0");
}

const bool kRegistered = RegisterTuning<WavPackSettings>(kKeys, Read, Store);

}  // namespace

}  // namespace zelph
