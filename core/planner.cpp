#include "core/planner.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "codecs/wavpcmengine.h"
#include "core/naming.h"
#include "core/targets.h"
#include "metadata/tags.h"

namespace zelph {

namespace {

// Two names of one file (a hard link, or a folder reached two ways) are one file.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

class Planning {
public:
    Planning(const ConverterSettings& settings, const TargetTuning& tuning, const TargetRow& target,
             const std::vector<std::string>& files, const OutputNaming& naming)
        : settings_(settings), tuning_(tuning), target_(target), naming_(naming) {
        for (const std::string& file : files) batchPlaces_.insert(PlaceOf(file));
    }

    void PlanFile(uint32_t row, const std::string& source);
    bool refused() const { return !plan_.error.empty(); }
    BatchPlan Result() { return std::move(plan_); }

private:
    bool TakenByBatch(const std::string& path) const { return batchPlaces_.contains(PlaceOf(path)); }
    std::string FinalTarget(const std::string& path, const std::string& source, bool& skip) const;
    std::string NamedOutput(const std::string& folder, const std::string& source, const SourceRow& format,
                            const std::string& title);
    void Refuse(std::string reason) {
        if (plan_.error.empty()) plan_.error = std::move(reason);
    }

    const ConverterSettings& settings_;
    const TargetTuning& tuning_;
    const TargetRow& target_;
    const OutputNaming& naming_;
    BatchPlan plan_;
    std::map<std::string, std::string> namedOutputs_;  // output path, made absolute -> its source
    std::set<std::string> batchPlaces_;  // the places of the batch's targets and sources
};

// Applies the if-exists rule. Names planned earlier in this batch, and the
// batch's own sources, count as taken like files on disk, so that no output
// of this batch and no source is ever overwritten by another conversion.
std::string Planning::FinalTarget(const std::string& path, const std::string& source, bool& skip) const {
    const auto takenByBatch = [this](const std::string& name) { return TakenByBatch(name); };
    const std::string unique = MakeUniqueName(path, takenByBatch);
    skip = false;
    switch (settings_.general.existingFileAction) {
        case ExistingFileAction::kRename:
            return unique;
        case ExistingFileAction::kSkip:
            skip = unique != path;
            return path;
        default:
            return TakenByBatch(path) || SameFile(path, source) ? unique : path;
    }
}

std::filesystem::path AbsolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal();
}

// The output's path by the kept tree and the name pattern, or "" (and the
// plan refused) when it would leave the tree or meet another file's output.
std::string Planning::NamedOutput(const std::string& folder, const std::string& source, const SourceRow& format,
                                  const std::string& title) {
    std::string below;
    if (!naming_.treeRoot.empty() && settings_.general.outputFolderMode != OutputFolderMode::kBesideSource) {
        const std::filesystem::path relative = AbsolutePath(source).lexically_relative(AbsolutePath(naming_.treeRoot));
        if (relative.empty() || *relative.begin() == "..") {
            Refuse(source + " is not under the kept tree " + naming_.treeRoot);
            return "";
        }
        below = relative.parent_path().string();
        if (!below.empty()) below += '/';
    }
    std::string name = title;
    if (!naming_.pattern.empty()) {
        const TagReadResult tags = format.tags ? ReadTags(source, *format.tags) : TagReadResult{};
        name = ExpandNamePattern(naming_.pattern, tags.tags.fields, title, std::strlen(target_.extension));
    }
    const std::string path = folder + below + name + target_.extension;
    const auto [other, added] = namedOutputs_.emplace(AbsolutePath(path).string(), source);
    if (!added) {
        Refuse(other->second + " and " + source + " would both be written as " + path);
        return "";
    }
    return path;
}

// A file's chain: its decoder (for a compressed source) into the file's
// temporary WAV, the WAV stage bringing it to the encoder's input form, then
// the encoder. A WAV target is written by the WAV stage itself.
void Planning::PlanFile(uint32_t row, const std::string& source) {
    const SourceRow* format = FindSource(source);
    if (!format || !format->converted) return;

    PlannedFile file;
    file.row = row;
    file.source = source;
    const std::string name = FileNameOf(source);
    const std::string title = name.substr(0, name.size() - SourceExtensionOf(source).size());
    file.outputFolder = settings_.general.outputFolderMode == OutputFolderMode::kBesideSource
                            ? FolderOf(source)
                            : OutputFolderOf(settings_.general);
    std::string output = file.outputFolder + title + target_.extension;
    if (naming_.active()) {
        // Named so that the folders made below it can be told from it.
        if (file.outputFolder.empty()) file.outputFolder = "./";
        output = NamedOutput(file.outputFolder, source, *format, title);
        if (output.empty()) return;
        file.outputRoot = file.outputFolder;
        file.outputFolder = FolderOf(output);
    }
    bool skip = false;
    file.finalTarget = FinalTarget(output, source, skip);
    if (skip) return;
    batchPlaces_.insert(PlaceOf(file.finalTarget));

    const bool toWav = target_.encoder == &kEncWavPcm;
    const EngineSettings inputForm = target_.inputForm(settings_, tuning_);
    const EngineSettings encoderBlock = target_.settings(settings_, tuning_);
    auto queue = [&](EngineId engine, EngineSettings settings, std::string from, std::string to, int32_t start,
                     int32_t span) {
        file.chain.push_back({.fileIndex = row,
                              .engine = engine,
                              .settings = settings,
                              .sourcePath = std::move(from),
                              .targetPath = std::move(to),
                              .progressStart = start,
                              .progressSpan = span});
    };
    if (!format->decoder && toWav) {
        queue(&kEncWavPcm, encoderBlock, source, file.finalTarget, 0, 100);
    } else {
        file.temporary = file.outputFolder + kTempFileName;
        const std::string& temp = file.temporary;
        if (!format->decoder) {
            queue(&kEncWavPcm, inputForm, source, temp, 0, 10);
            file.chain.back().mayLinkSource = target_.readsAudioOnly;
            queue(target_.encoder, encoderBlock, temp, file.finalTarget, 10, 90);
        } else if (toWav) {
            queue(format->decoder, {}, source, temp, 0, 90);
            queue(&kEncWavPcm, encoderBlock, temp, file.finalTarget, 90, 10);
            // The decoder's WAV is this file's alone: already in form, it is the output.
            file.chain.back().mayLinkSource = true;
        } else {
            queue(format->decoder, {}, source, temp, 0, 30);
            queue(&kEncWavPcm, inputForm, temp, "", 30, 10);
            queue(target_.encoder, encoderBlock, temp, file.finalTarget, 40, 60);
        }
    }
    plan_.files.push_back(std::move(file));
}

}  // namespace

BatchPlan PlanJobs(const ConverterSettings& settings, const TargetTuning& tuning, int32_t targetFormat,
                   const std::vector<std::string>& files, const OutputNaming& naming) {
    const TargetRow* target = FindTarget(targetFormat);
    if (!target) {
        BatchPlan nothing;
        nothing.error = "unknown target format " + std::to_string(targetFormat);
        return nothing;
    }
    if (const std::string problem = NamePatternProblem(naming.pattern); !problem.empty()) {
        BatchPlan nothing;
        nothing.error = problem;
        return nothing;
    }
    Planning planning(settings, tuning, *target, files, naming);
    for (uint32_t row = 0; row < files.size() && !planning.refused(); ++row) planning.PlanFile(row, files[row]);
    BatchPlan plan = planning.Result();
    if (!plan.error.empty()) plan.files.clear();
    plan.fileCount = static_cast<uint32_t>(files.size());
    return plan;
}

}  // namespace zelph
