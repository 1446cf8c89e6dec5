#pragma once
// Opens the tuning window of a target's encoder on its block of the settings
// (or, for targets tuned in zelph.conf, on the preferences, saved on Save).

#include <cstdint>

#include "settings/settings.h"

class QWidget;

namespace zelph {
class Preferences;
}

namespace zelph {

// Returns true when the user saved; a target without a tuning window opens
// nothing and returns false.
bool OpenEngineTuning(int32_t targetFormat, ConverterSettings& settings, Preferences& preferences, QWidget* parent);

}  // namespace zelph
