#pragma once
// zelph-convert's command line.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/preferences.h"
#include "settings/settings.h"

namespace zelph {

struct CliOptions {
    bool help = false;
    bool version = false;
    bool dryRun = false;
    bool describe = false;
    bool verbose = false;
    bool quiet = false;
    bool listFields = false;       // for the shell completion and the manual page
    bool listExtensions = false;
    bool nulSeparated = false;     // --files-from's paths end with NUL, not a new line
    std::string filesFrom;             // a file of paths, "-" for standard input; "": none
    std::string settingsFile;          // "": Settings.dat of the settings folder
    int32_t targetFormat = 0;          // 0: the target the settings name
    std::vector<std::pair<std::string, std::string>> edits;  // applied in order
    std::vector<std::string> files;
};

// Returns "" or a one-line usage error.
std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions& options);

// Applies the edits to the record's fields, or to the preferences where the
// record has no such field; returns "" or a one-line usage error.
std::string ApplyCliEdits(const CliOptions& options, ConverterSettings& settings, Preferences& preferences);

// The --help text.
std::string CliUsage();

}  // namespace zelph
