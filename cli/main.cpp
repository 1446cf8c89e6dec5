// zelph-convert: the converter's core driven from the command line.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/describe.h"
#include "cli/listings.h"
#include "cli/options.h"
#include "core/naming.h"
#include "core/planner.h"
#include "core/sources.h"
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

// The files the command line and --files-from stand for, folders walked;
// what could not be walked is told on the error stream. False when the list
// named by --files-from cannot be read.
bool ExpandFiles(zelph::CliOptions& options, bool& walkedWhole, std::string& error) {
    std::vector<std::string> paths = std::move(options.files);
    if (!options.filesFrom.empty()) {
        std::ifstream file;
        if (options.filesFrom != "-") {
            file.open(options.filesFrom, std::ios::binary);
            if (!file) {
                error = "cannot read the list '" + options.filesFrom + "'";
                return false;
            }
        }
        std::istream& in = options.filesFrom == "-" ? std::cin : file;
        std::vector<std::string> listed = zelph::ReadPathList(in, options.nulSeparated);
        paths.insert(paths.end(), std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
    }
    zelph::SourceList sources = zelph::ExpandSources(paths);
    for (const zelph::WalkProblem& problem : sources.problems)
        std::cerr << "zelph-convert: " << problem.path << ": " << problem.reason << '\n';
    walkedWhole = sources.problems.empty();
    options.files = std::move(sources.files);
    return true;
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

    const bool nothingGiven = options.files.empty() && options.filesFrom.empty();
    bool walkedWhole = true;
    if (std::string listError; !ExpandFiles(options, walkedWhole, listError)) return UsageError(listError);
    if (options.describe) {
        const int status = zelph::RunDescribe(options.files, std::cout);
        return walkedWhole ? status : std::max(status, 1);
    }

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
    if (nothingGiven) return UsageError("no files given");

    const zelph::TargetTuning tuning = zelph::TuningFrom(preferences);
    // What earlier runs made; the output folder's tree is read even when no
    // source is left, so that the outputs of sources that are gone are found.
    zelph::OutputLedger ledger;
    if (store.record.general.outputFolderMode == zelph::OutputFolderMode::kInFolder)
        ledger.Load(zelph::OutputFolderOf(store.record.general));
    const zelph::LibraryChoices choices = zelph::LibraryChoicesFrom(preferences, &ledger);
    zelph::BatchPlan plan = zelph::PlanJobs(store.record, tuning, targetFormat, options.files,
                                            zelph::OutputNamingFrom(preferences), choices);
    if (!plan.error.empty()) {
        std::cerr << "zelph-convert: " << plan.error << '\n';
        return 2;
    }
    if (options.dryRun) {
        PrintPlan(plan);
        return walkedWhole ? 0 : 1;
    }
    const zelph::RunOptions runOptions{.afterOperation = store.record.general.afterOperation,
                                       .existingFileAction = store.record.general.existingFileAction,
                                       .filesAtOnce = zelph::FilesAtOnce(preferences),
                                       .copyTags = preferences.Get(zelph::kCopyTags) != 0,
                                       .verify = preferences.Get(zelph::kVerify) != 0,
                                       .loudness = static_cast<zelph::LoudnessMode>(preferences.Get(zelph::kLoudness)),
                                       .truePeak = preferences.Get(zelph::kTruePeak) != 0,
                                       .ledger = &ledger,
                                       .hashSources = choices.update,
                                       .deleteOrphans = preferences.Get(zelph::kDeleteOrphans) != 0,
                                       .copyFolderImages = preferences.Get(zelph::kCopyFolderImages) != 0};
    const int status = zelph::RunConversion(options, std::move(plan), runOptions, zelph::StandardEngines(),
                                            choices.update || runOptions.deleteOrphans);
    return walkedWhole || status != 0 ? status : 1;
}
