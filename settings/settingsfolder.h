#pragma once
// Where Settings.dat and zelph.conf are kept: one place for the main window
// and zelph-convert alike, so that a choice made in the window is what the
// command line uses.

#include <string>

namespace zelph {

// "$XDG_CONFIG_HOME/zelph/", or "$HOME/.config/zelph/" when XDG_CONFIG_HOME is
// unset or not absolute (as the XDG base directory rules say).
std::string XdgSettingsFolder();

// The working folder, or else the program's own folder, when a Settings.dat
// is there (a portable copy carries its settings with it); otherwise
// XdgSettingsFolder(). Always ends with "/".
std::string SettingsFolder();

}  // namespace zelph
