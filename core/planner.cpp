#include "core/planner.h"

#include <sys/stat.h>

#include <set>

#include "core/naming.h"
#include "core/targets.h"

namespace zelph {

namespace {

// Two spellings of one file (a "./" or a link in the folder) are one file.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

class Planning {
public:
    Planning(const ConverterSettings& settings, const TargetRow& target, const std::vector<std::string>& files)
        : settings_(settings), target_(target), batchNames_(files.begin(), files.end()) {}

    void PlanFile(uint32_t fileIndex, const std::string& source);
    BatchPlan Result() { return std::move(plan_); }

private:
    std::string TempFileFor(const std::string& outputFolder);
    std::string FinalTarget(const std::string& path, const std::string& source, bool& skip) const;
    void Queue(uint32_t fileIndex, EngineId engine, EngineSettings settings, std::string from, std::string to,
               int32_t start, int32_t span);

    const ConverterSettings& settings_;
    const TargetRow& target_;
    BatchPlan plan_;
    std::set<std::string> batchNames_;  // targets, temporaries and sources of this batch
};

std::string Planning::TempFileFor(const std::string& outputFolder) {
    for (const auto& planned : plan_.temporaryFiles)
        if (FolderOf(planned) == outputFolder) return planned;
    const std::string path = MakeUniqueName(outputFolder + kTempFileName, batchNames_);
    batchNames_.insert(path);
    plan_.temporaryFiles.push_back(path);
    return path;
}

// Applies the if-exists rule. Names planned earlier in this batch, and the
// batch's own sources, count as taken like files on disk, so that no output
// of this batch and no source is ever overwritten by another conversion.
std::string Planning::FinalTarget(const std::string& path, const std::string& source, bool& skip) const {
    const std::string unique = MakeUniqueName(path, batchNames_);
    skip = false;
    switch (settings_.general.existingFileAction) {
        case ExistingFileAction::kRename:
            return unique;
        case ExistingFileAction::kSkip:
            skip = unique != path;
            return path;
        default:
            return batchNames_.contains(path) || SameFile(path, source) ? unique : path;
    }
}

void Planning::Queue(uint32_t fileIndex, EngineId engine, EngineSettings settings, std::string from,
                     std::string to, int32_t start, int32_t span) {
    plan_.jobs.push_back({.fileIndex = fileIndex,
                          .engine = engine,
                          .settings = settings,
                          .sourcePath = std::move(from),
                          .targetPath = std::move(to),
                          .progressStart = start,
                          .progressSpan = span});
}

// A file's chain: its decoder (for a compressed source) into the folder's
// temporary WAV, the WAV stage bringing it to the encoder's input form, then
// the encoder. A WAV target is written by the WAV stage itself.
void Planning::PlanFile(uint32_t fileIndex, const std::string& source) {
    const SourceRow* format = FindSource(source);
    if (!format || !format->converted) return;

    const std::string name = FileNameOf(source);
    const std::string title = name.substr(0, name.size() - SourceExtensionOf(source).size());
    const std::string outputFolder = settings_.general.outputFolderMode == OutputFolderMode::kBesideSource
                                         ? FolderOf(source)
                                         : OutputFolderOf(settings_.general);
    bool skip = false;
    const std::string finalTarget = FinalTarget(outputFolder + title + target_.extension, source, skip);
    if (skip) return;
    batchNames_.insert(finalTarget);

    const bool toWav = target_.encoder == EngineId::kEncWavPcm;
    const WavPcmSettings* form = target_.inputForm(settings_);
    const EngineSettings inputForm = form ? EngineSettings{form} : EngineSettings{};
    const EngineSettings encoderBlock = target_.settings(settings_);
    if (!format->decoder && toWav) {
        Queue(fileIndex, EngineId::kEncWavPcm, encoderBlock, source, finalTarget, 0, 100);
    } else if (!format->decoder) {
        const std::string temp = TempFileFor(outputFolder);
        Queue(fileIndex, EngineId::kEncWavPcm, inputForm, source, temp, 0, 10);
        Queue(fileIndex, target_.encoder, encoderBlock, temp, finalTarget, 10, 90);
    } else if (toWav) {
        const std::string temp = TempFileFor(outputFolder);
        Queue(fileIndex, *format->decoder, {}, source, temp, 0, 90);
        Queue(fileIndex, EngineId::kEncWavPcm, encoderBlock, temp, finalTarget, 90, 10);
    } else {
        const std::string temp = TempFileFor(outputFolder);
        Queue(fileIndex, *format->decoder, {}, source, temp, 0, 30);
        Queue(fileIndex, EngineId::kEncWavPcm, inputForm, temp, "", 30, 10);
        Queue(fileIndex, target_.encoder, encoderBlock, temp, finalTarget, 40, 60);
    }
}

}  // namespace

BatchPlan PlanJobs(const ConverterSettings& settings, int32_t targetFormat, const std::vector<std::string>& files) {
    const TargetRow* target = FindTarget(targetFormat);
    if (!target) {
        BatchPlan nothing;
        nothing.error = "unknown target format " + std::to_string(targetFormat);
        return nothing;
    }
    Planning planning(settings, *target, files);
    for (uint32_t index = 0; index < files.size(); ++index) planning.PlanFile(index, files[index]);
    BatchPlan plan = planning.Result();
    plan.fileCount = static_cast<uint32_t>(files.size());
    return plan;
}

}  // namespace zelph
