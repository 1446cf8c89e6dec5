// zelph-convert: the converter's core driven from the command line.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/describe.h"
#include "cli/listings.h"
#include "cli/options.h"
#include "core/naming.h"
#include "core/planner.h"
#include "core/targets.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "settings/settingsfolder.h"
#include "settings/tuning.h"

namespace {

int UsageError(const std::string& message) {
    std::cerr << "zelph-convert: " << message << " (see --help)\n";
    return 2;
}

void PrintLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::cout << line << '\n';
}

void PrintPlan(const zelph::BatchPlan& plan) {
    for (const zelph::PlannedFile& file : plan.files)
        for (const zelph::Job& job : file.chain)
            std::cout << zelph::EngineName(job.engine) << '\t' << job.sourcePath << '\t' << job.targetPath << '\t'
                      << job.progressStart << '/' << job.progressSpan << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    zelph::CliOptions options;
    const std::string error = zelph::ParseCliOptions({argv + 1, argv + argc}, options);
    if (!error.empty()) return UsageError(error);
    if (options.help) {
        std::cout << zelph::CliUsage() << zelph::SetFieldsHelp();
        return 0;
    }
    if (options.listFields || options.listExtensions) {
        PrintLines(options.listFields ? zelph::SetFieldNames() : zelph::SourceExtensions());
        return 0;
    }
    if (options.version) {
        std::cout << "zelph-convert (Zelph Audio Converter) 1.0\n";
        return 0;
    }

    if (options.describe) return zelph::RunDescribe(options.files, std::cout);

    const std::string settingsPath =
        options.settingsFile.empty() ? zelph::SettingsStore::PathIn(zelph::SettingsFolder()) : options.settingsFile;
    zelph::SettingsStore store(settingsPath);
    // Settings asked for by name must be what the run uses; the shared file
    // falls back to defaults as the main window does.
    if (const std::string problem = store.LoadSettings(true); !problem.empty() && !options.settingsFile.empty())
        return UsageError(problem);
    // The preferences live beside the settings file; the command line reads
    // them and never writes them.
    zelph::Preferences preferences(zelph::Preferences::PathIn(zelph::FolderOf(settingsPath)));
    preferences.Load();
    if (const std::string editError = zelph::ApplyCliEdits(options, store.record, preferences);
        !editError.empty())
        return UsageError(editError);

    const int32_t targetFormat = options.targetFormat ? options.targetFormat : store.record.targetFormat;
    if (!zelph::FindTarget(targetFormat)) return UsageError("the settings name no target; give --target");
    if (options.files.empty()) return UsageError("no files given");

    const zelph::TargetTuning tuning = zelph::TuningFrom(preferences);
    zelph::BatchPlan plan = zelph::PlanJobs(store.record, tuning, targetFormat, options.files);
    if (options.dryRun) {
        PrintPlan(plan);
        return 0;
    }
    const zelph::RunOptions runOptions{.afterOperation = store.record.general.afterOperation,
                                       .existingFileAction = store.record.general.existingFileAction,
                                       .filesAtOnce = zelph::FilesAtOnce(preferences),
                                       .copyTags = preferences.Get(zelph::kCopyTags) != 0,
                                       .verify = preferences.Get(zelph::kVerify) != 0};
    return zelph::RunConversion(options, std::move(plan), runOptions, zelph::StandardEngines());
}
