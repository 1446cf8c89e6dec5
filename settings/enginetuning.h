#pragma once
// Opens the tuning window of a target's encoder on its block of the settings
// (or, for targets tuned in zelph.conf, on the preferences, saved on Save).
//
// Each window's own file registers its opener under its target's record
// value, the value the target's row carries. The rows live in the core,
// which never links Qt, so they cannot point to a window; registering from
// the window's side keeps the list of targets in the rows alone. The
// library is linked whole (settings/CMakeLists.txt) so that no registration
// is dropped by the linker.

#include <QDialog>

#include <cstdint>

#include "settings/preferences.h"
#include "settings/settings.h"
#include "settings/tuning.h"

namespace zelph {

// Returns true when the user saved; a target without a tuning window opens
// nothing and returns false.
bool OpenEngineTuning(int32_t targetFormat, ConverterSettings& settings, Preferences& preferences, QWidget* parent);

using TuningOpener = bool (*)(ConverterSettings& settings, Preferences& preferences, QWidget* parent);

// Called once per window, from its own file; true, so that it can
// initialise a file-scope constant.
bool RegisterTuningWindow(TargetFormat target, TuningOpener opener);

// A window on its block of the record.
template <typename Window, auto block>
bool OpenRecordTuning(ConverterSettings& settings, Preferences&, QWidget* parent) {
    Window window(&(settings.*block), parent);
    return window.exec() == QDialog::Accepted;
}

// A window on its block of the tuning kept in zelph.conf; a Save writes it there.
template <typename Window, typename Block>
bool OpenPreferencesTuning(ConverterSettings&, Preferences& preferences, QWidget* parent) {
    TargetTuning tuning = TuningFrom(preferences);
    Window window(&tuning.Of<Block>(), parent);
    if (window.exec() != QDialog::Accepted) return false;
    StoreTuning(tuning, preferences);
    preferences.Save();
    return true;
}

}  // namespace zelph
