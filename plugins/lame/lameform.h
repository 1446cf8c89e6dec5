#pragma once
// The LAME form of BE_CONFIG (LHV1) as EncoderOptions.

#include <optional>

#include "plugins/mp3enc/bladeinterface.h"
#include "plugins/mp3enc/lamesetup.h"

namespace zelph::mp3enc {

// Nullopt for a field value outside what the form defines. Reads no more
// than the record's own dwStructSize; fields beyond it count as 0.
std::optional<EncoderOptions> OptionsFromLameForm(const BE_CONFIG& config);

}  // namespace zelph::mp3enc
