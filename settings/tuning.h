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

struct TargetTuning {
    FlacSettings flac;
};

TargetTuning TuningFrom(const Preferences& preferences);
// Writes `tuning` back under its keys.
void StoreTuning(const TargetTuning& tuning, Preferences& preferences);

}  // namespace zelph
