#pragma once
// Opens the tuning window of an encoder on its block of the settings.

#include <string_view>

#include "settings/settings.h"

class QWidget;

namespace zelph {

// `engineId` is one of the encoder identifiers of core/job.h (kEncWavPcm ...
// kEncApeMonkey). Returns true when the user saved; an identifier without a
// tuning window opens nothing and returns false.
bool OpenEngineTuning(std::string_view engineId, ConverterSettings& settings, QWidget* parent);

}  // namespace zelph
