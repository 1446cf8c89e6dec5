#pragma once
// Turns the file list and the chosen target into the queue of jobs.

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "core/job.h"
#include "settings/settings.h"

namespace zelph {

inline constexpr const char* kTempFileName = "Temp-QOR-File";

// The planned queue and its bookkeeping, owned by whoever runs the queue.
class JobPlanner {
public:
    explicit JobPlanner(ConverterSettings* settings) : settings(settings) {}

    // `engineId` is one of the six encoder identifiers; `files` are the list's
    // paths in row order. Files the planner cannot handle get no job but keep
    // their row index.
    void PlanJobs(const std::string& engineId, const std::vector<std::string>& files);

    ConverterSettings* settings;
    std::deque<Job> jobQueue;
    int32_t fileCount = 0;
    int32_t currentFileIndex = -1;
    Job currentJob;
    std::vector<std::string> sourcesToDelete;
    std::vector<std::string> tempFiles;
    // Every temporary path this batch may create; only these are ever deleted.
    std::vector<std::string> plannedTempFiles;

private:
    std::string TempFileFor(const std::string& outputFolder);
    std::string FinalTarget(const std::string& path, const std::string& source, bool& skip);

    std::set<std::string> batchNames_;  // targets, temporaries and sources of this batch
};

// The lower-cased extension of a file name with its dot (".wav"), or "".
std::string SourceExtensionOf(const std::string& path);

}  // namespace zelph
