#pragma once
// Turns the file list and the chosen target into the queue of jobs.

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/job.h"
#include "core/outputnames.h"
#include "settings/settings.h"
#include "settings/tuning.h"

namespace zelph {

// The name that stands for a file's own temporary WAV in a planned chain;
// the runner gives each file a file of its own when it starts.
inline constexpr const char* kTempFileName = "Temp-QOR-File";

struct PlannedFile {
    uint32_t row = 0;
    std::string source;
    std::string outputFolder;   // ends with "/"
    // The settings' output folder when the folders below it up to
    // outputFolder are made as needed (a kept tree, a pattern), or "".
    std::string outputRoot;
    std::string finalTarget;    // the name the output gets once it is complete
    std::string temporary;      // the stand-in for the temporary WAV in `chain`, or ""
    std::vector<Job> chain;     // in order; the last job writes finalTarget
};

struct BatchPlan {
    std::vector<PlannedFile> files;  // in row order
    uint32_t fileCount = 0;          // every listed file, planned or not
    std::string error;               // why nothing could be planned, or ""
};

// `files` are the list's paths in row order; a file the planner cannot
// handle gets no job but keeps its row index. The jobs point into `settings`
// and `tuning`, which must outlive their run. An unknown `targetFormat` plans
// nothing and says why. With `naming` active, two files that would get one
// output name, or a file outside the kept tree, plan nothing and say why.
BatchPlan PlanJobs(const ConverterSettings& settings, const TargetTuning& tuning, int32_t targetFormat,
                   const std::vector<std::string>& files, const OutputNaming& naming = {});

}  // namespace zelph
