#pragma once
// Turns the file list and the chosen target into the queue of jobs.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "codecs/job.h"
#include "settings/settings.h"

namespace zelph {

inline constexpr const char* kTempFileName = "Temp-QOR-File";

struct BatchPlan {
    std::deque<Job> jobs;        // in row order; each file's jobs one after another
    uint32_t fileCount = 0;      // every listed file, planned or not
    // Every temporary path this batch may create; only these are ever deleted.
    std::vector<std::string> temporaryFiles;
    std::string error;           // why nothing could be planned, or ""
};

// `files` are the list's paths in row order; a file the planner cannot
// handle gets no job but keeps its row index. The jobs point into `settings`,
// which must outlive their run. An unknown `targetFormat` plans nothing and
// says why.
BatchPlan PlanJobs(const ConverterSettings& settings, int32_t targetFormat,
                   const std::vector<std::string>& files);

}  // namespace zelph
