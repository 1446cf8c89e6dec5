#pragma once
// Runs a planned batch from the command line: the runner driven without a
// window, one result line per file on stdout, a progress line on a terminal.

#include <string>
#include <vector>

#include "cli/options.h"
#include "core/runner.h"

namespace zelph {

// Converts the planned `options.files`; returns the exit status. With
// `countUpdates` the summary also counts outputs up to date and removed.
int RunConversion(const CliOptions& options, BatchPlan plan, const RunOptions& runOptions, EngineTable engines,
                  bool countUpdates);

}  // namespace zelph
