#pragma once
// The tuning of the targets whose choices live in zelph.conf rather than in
// the settings record: read from the preferences by the front ends before a
// batch is planned, and kept by them until its run ends (jobs point into it).

#include <cstdint>

#include "settings/settings.h"

namespace zelph {

class Preferences;

struct FlacSettings {
    int32_t level = 5;     // libFLAC's compression level, 0..8
    bool verify = false;   // the encoder decodes what it wrote and compares
    // What the WAV stage brings the encoder's input to; kAsSource keeps it.
    WavPcmSettings input{WavChannels::kAsSource, WavSampleSize::kAsSource};
};

enum class OpusMode : int32_t { kVbr = 0, kConstrainedVbr = 1, kCbr = 2 };
enum class OpusApplication : int32_t { kMusic = 0, kSpeech = 1 };

// Opus takes mono or stereo: the WAV stage folds more channels to stereo
// and brings every source to 16 bits.
struct OpusSettings {
    int32_t bitrate = 0;  // kbit/s, 6..510; 0: 128 for stereo, 64 for mono
    OpusMode mode = OpusMode::kVbr;
    int32_t complexity = 10;
    OpusApplication application = OpusApplication::kMusic;
};

struct TargetTuning {
    FlacSettings flac;
    OpusSettings opus;
};

TargetTuning TuningFrom(const Preferences& preferences);
// Writes `tuning` back under its keys.
void StoreTuning(const TargetTuning& tuning, Preferences& preferences);

}  // namespace zelph
