#pragma once
// Opens the tuning window of a target's encoder on its block of the settings.

#include <cstdint>

#include "settings/settings.h"

class QWidget;

namespace zelph {

// Returns true when the user saved; a target without a tuning window opens
// nothing and returns false.
bool OpenEngineTuning(int32_t targetFormat, ConverterSettings& settings, QWidget* parent);

}  // namespace zelph
