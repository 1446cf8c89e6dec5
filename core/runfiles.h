#pragma once
// The files a run writes before an output is complete: the temporary WAV of
// a file's chain and the output itself until it is placed under its final
// name. Each is created exclusively (no two files, runs or programs ever
// share one) and named "Temp-QOR-File~HOST~PID~N" plus the output's
// extension, so that a later run can tell a file of a process that no
// longer runs on this machine and remove it, and never touches any other.

#include <string>

namespace zelph {

struct RunFile {
    std::string path;    // "" when none could be made
    std::string reason;  // why not
};

// Creates a new empty file of this process in `folder` (ending with "/").
RunFile CreateRunFile(const std::string& folder, const std::string& extension);

// Removes the run files in `folder` that processes of this host which no
// longer run have left behind, and only those this user owns.
void RemoveStaleRunFiles(const std::string& folder);

}  // namespace zelph
