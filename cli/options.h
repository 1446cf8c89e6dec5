#pragma once
// zelph-convert's command line.

#include <string>
#include <vector>

#include "settings/settings.h"

namespace zelph {

struct CliOptions {
    bool help = false;
    bool version = false;
    bool dryRun = false;
    bool describe = false;
    bool verbose = false;
    bool quiet = false;
    bool copyTags = true;
    std::string settingsFile;          // "" : Settings.dat in the working folder
    std::string targetId;              // "" : the target the settings name
    std::vector<std::pair<std::string, std::string>> edits;  // applied in order
    std::vector<std::string> files;
};

// Returns "" or a one-line usage error.
std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions& options);

// Applies the edits to `settings`; returns "" or a one-line usage error.
std::string ApplyCliEdits(const CliOptions& options, ConverterSettings& settings);

// The encoder identifier a targetFormat value names, or "".
std::string TargetIdOf(int32_t targetFormat);

extern const char* const kCliUsage;

}  // namespace zelph
