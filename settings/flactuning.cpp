#include "settings/flactuning.h"

#include <string>

#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr std::string_view kLevel = "flac.level";
constexpr std::string_view kVerify = "flac.verify";
constexpr std::string_view kChannels = "flac.channels";
constexpr std::string_view kSampleSize = "flac.sampleSize";

constexpr PreferenceKey kKeys[] = {
    // libFLAC's compression level; 1: decode and compare while encoding.
    {kLevel, 0, 8, 5},
    {kVerify, 0, 1, 0},
    // The input: 0 keeps the source's; else as the WAV settings count
    // (channels 1 mono, 2 stereo; sample size 1 8-bit, 2 16-bit).
    {kChannels, 0, 2, 0},
    {kSampleSize, 0, 2, 0},
};

FlacSettings Read(const Preferences& preferences) {
    FlacSettings flac;
    flac.level = preferences.Get(kLevel);
    flac.verify = preferences.Get(kVerify) != 0;
    flac.input.channelMode = static_cast<WavChannels>(preferences.Get(kChannels));
    flac.input.sampleSizeMode = static_cast<WavSampleSize>(preferences.Get(kSampleSize));
    return flac;
}

void Store(const FlacSettings& flac, Preferences& preferences) {
    preferences.Set(kLevel, std::to_string(flac.level));
    preferences.Set(kVerify, flac.verify ? "1" : "0");
    preferences.Set(kChannels, std::to_string(static_cast<int>(flac.input.channelMode)));
    preferences.Set(kSampleSize, std::to_string(static_cast<int>(flac.input.sampleSizeMode)));
}

const bool kRegistered = RegisterTuning<FlacSettings>(kKeys, Read, Store);

}  // namespace

}  // namespace zelph
