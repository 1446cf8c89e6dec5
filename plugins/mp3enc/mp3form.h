#pragma once
// The MP3 form of BE_CONFIG (BladeEnc's own): MPEG-1 CBR at the given rate.

#include <optional>

#include "plugins/mp3enc/bladeinterface.h"
#include "plugins/mp3enc/lamesetup.h"

namespace zelph::mp3enc {

// Nullopt for a rate, mode or bitrate that MPEG-1 layer III cannot carry.
std::optional<EncoderOptions> OptionsFromMp3Form(const BE_CONFIG& config);

// Mode codes shared by both forms, mono meaning one input channel.
bool ApplyBeMode(int32_t beMode, EncoderOptions& options);

}  // namespace zelph::mp3enc
