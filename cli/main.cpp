// zelph-convert: the converter's core driven from the command line.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/describe.h"
#include "cli/options.h"
#include "core/engines.h"
#include "core/planner.h"
#include "settings/settings.h"

namespace {

int UsageError(const std::string& message) {
    std::cerr << "zelph-convert: " << message << " (see --help)\n";
    return 2;
}

std::string WorkingFolder() {
    std::vector<char> buffer(4096);
    if (!::getcwd(buffer.data(), buffer.size())) return "./";
    return buffer.data();
}

void PrintPlan(const zelph::JobPlanner& planner) {
    for (const zelph::Job& job : planner.jobQueue)
        std::cout << job.engineId << '\t' << job.sourcePath << '\t' << job.targetPath << '\t'
                  << job.progress << '/' << job.progressSpan << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    zelph::CliOptions options;
    const std::string error = zelph::ParseCliOptions({argv + 1, argv + argc}, options);
    if (!error.empty()) return UsageError(error);
    if (options.help) {
        std::cout << zelph::kCliUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "zelph-convert (Zelph Audio Converter) 1.0\n";
        return 0;
    }

    if (options.describe) return zelph::RunDescribe(options.files, std::cout);

    zelph::SettingsStore store(options.settingsFile.empty()
                                   ? zelph::SettingsStore::PathIn(WorkingFolder())
                                   : options.settingsFile);
    store.LoadSettings(true);
    if (const std::string editError = zelph::ApplyCliEdits(options, store.record); !editError.empty())
        return UsageError(editError);

    const std::string targetId =
        options.targetId.empty() ? zelph::TargetIdOf(store.record.targetFormat) : options.targetId;
    if (targetId.empty()) return UsageError("the settings name no target; give --target");
    if (options.files.empty()) return UsageError("no files given");

    if (options.dryRun) {
        zelph::JobPlanner planner(&store.record);
        planner.PlanJobs(targetId, options.files);
        PrintPlan(planner);
        return 0;
    }
    return zelph::RunConversion(options, targetId, store.record, zelph::StandardEngines());
}
