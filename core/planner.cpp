#include "core/planner.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "codecs/copyengine.h"
#include "codecs/wavpcmengine.h"
#include "core/applygain.h"
#include "core/cuttrack.h"
#include "core/fingerprint.h"
#include "core/naming.h"
#include "core/targets.h"
#include "metadata/tags.h"
#include "settings/appliedgain.h"

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
             const std::vector<std::string>& files, const OutputNaming& naming, const LibraryChoices& choices)
        : settings_(settings), tuning_(tuning), target_(target), naming_(naming), choices_(choices),
          workingFolder_(WorkingFolder()), treeRoot_(naming.treeRoot.empty() ? "" : Absolute(naming.treeRoot)) {
        for (const std::string& file : files) batchPlaces_.insert(Place(file));
    }

    void PlanFile(uint32_t row, const std::string& source);
    bool refused() const { return !plan_.error.empty(); }
    BatchPlan Result() { return std::move(plan_); }

private:
    static std::string WorkingFolder() {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::current_path(error);
        return error ? "" : folder.string();
    }
    // Planning moves no folder and makes none, so the working folder is read
    // once and each folder's identity looked up once, not once per file.
    std::string Absolute(const std::string& path) const { return AbsoluteOf(path, workingFolder_); }
    std::string Place(const std::string& path) const;
    bool TakenByBatch(const std::string& path) const { return batchPlaces_.contains(Place(path)); }
    std::string FinalTarget(const std::string& path, const std::string& source, bool& skip) const;
    std::string NamedOutput(const std::string& folder, const PlannedFile& file, const SourceRow& format,
                            const std::string& title, const std::string& extension);
    // The target a rule gives files of `format`; nullptr: copied as they are.
    const TargetRow* TargetFor(const SourceRow& format) const;
    const std::string& SettingsHashOf(const TargetRow* target);
    void Compare(PlannedFile& file, const OutputRecord& record, const TargetRow* target) const;
    void QueueChain(PlannedFile& file, const SourceRow& format, const TargetRow* target);
    void Refuse(std::string reason) {
        if (plan_.error.empty()) plan_.error = std::move(reason);
    }

    const ConverterSettings& settings_;
    const TargetTuning& tuning_;
    const TargetRow& target_;
    const OutputNaming& naming_;
    const LibraryChoices& choices_;
    BatchPlan plan_;
    std::map<const TargetRow*, std::string> settingsHashes_;
    std::map<std::string, std::string> namedOutputs_;  // output path, made absolute -> its source
    std::set<std::string> batchPlaces_;  // the places of the batch's targets and sources
    const std::string workingFolder_;
    const std::string treeRoot_;  // made absolute
    mutable std::map<std::string, std::string> folderPlaces_;  // folder -> PlaceOf's prefix, "" when it has none
};

// PlaceOf with each folder looked up once.
std::string Planning::Place(const std::string& path) const {
    const std::string folder = FolderOf(path);
    auto [known, added] = folderPlaces_.emplace(folder, "");
    if (added) {
        const std::string place = PlaceOf(folder + ".");
        if (place != folder + ".") known->second = place.substr(0, place.size() - 1);
    }
    return known->second.empty() ? path : known->second + FileNameOf(path);
}

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

// The output's path by the kept tree and the name pattern, or "" (and the
// plan refused) when it would leave the tree or meet another file's output.
std::string Planning::NamedOutput(const std::string& folder, const PlannedFile& file, const SourceRow& format,
                                  const std::string& title, const std::string& extension) {
    const std::string& source = file.source;
    std::string below;
    if (!naming_.treeRoot.empty() && settings_.general.outputFolderMode != OutputFolderMode::kBesideSource) {
        const std::filesystem::path relative =
            std::filesystem::path(Absolute(source)).lexically_relative(treeRoot_);
        if (relative.empty() || *relative.begin() == "..") {
            Refuse(source + " is not under the kept tree " + naming_.treeRoot);
            return "";
        }
        below = relative.parent_path().string();
        if (!below.empty()) below += '/';
    }
    std::string name = title;
    if (!naming_.pattern.empty()) {
        TagReadResult tags = format.tags ? ReadTags(source, *format.tags) : TagReadResult{};
        if (file.track)
            for (const auto& [field, values] : file.track->tags) tags.tags.fields[field] = values;
        name = ExpandNamePattern(naming_.pattern, tags.tags.fields, title, extension.size());
    }
    const std::string path = folder + below + name + extension;
    const auto [other, added] = namedOutputs_.emplace(Absolute(path), source);
    if (!added) {
        Refuse(other->second + " and " + source + " would both be written as " + path);
        return "";
    }
    return path;
}

const TargetRow* Planning::TargetFor(const SourceRow& format) const {
    const std::string& rule = format.lossless ? choices_.losslessRule : choices_.lossyRule;
    if (rule.empty()) return &target_;
    return rule == kCopyRule ? nullptr : FindTargetByCliName(rule);
}

const std::string& Planning::SettingsHashOf(const TargetRow* target) {
    auto [known, added] = settingsHashes_.emplace(target, kCopySettings);
    if (added && target) known->second = SettingsHash(*target, settings_, tuning_);
    return known->second;
}

// Up to date when the source is the same file with the same settings; a
// source that was touched is looked at more closely: the same audio with
// other tags needs new tags only, the same audio and tags nothing at all.
// Only then is the source read, and never decoded.
void Planning::Compare(PlannedFile& file, const OutputRecord& record, const TargetRow* target) const {
    struct stat info;
    if (record.source != Absolute(file.source) || record.settingsHash != file.settingsHash ||
        ::stat(file.source.c_str(), &info) != 0)
        return;
    const bool tagsKept = !target || (record.tagsHash != "-") == choices_.copyTags;
    if (info.st_size == record.sourceSize &&
        info.st_mtim.tv_sec * 1000000000ll + info.st_mtim.tv_nsec == record.sourceModifiedNs && tagsKept) {
        file.action = FileAction::kUpToDate;
        return;
    }
    // A copy is copied again; tags that are no longer copied need the output made anew.
    if (!target || (!choices_.copyTags && record.tagsHash != "-")) return;
    const std::string audio = AudioHash(file.source);
    if (audio.empty() || audio != record.audioHash) return;
    file.audioHash = audio;
    file.tagsHash = TagsHash(file.source, choices_.copyTags);
    file.action = file.tagsHash == record.tagsHash ? FileAction::kUpToDate : FileAction::kRetag;
}

// A file's chain: its decoder (for a compressed source) into the file's
// temporary WAV, the WAV stage bringing it to the encoder's input form, then
// the encoder. A WAV target is written by the WAV stage itself. A copy, and
// an older output given new tags, is one plain copy.
void Planning::PlanFile(uint32_t row, const std::string& entry) {
    PlannedFile file;
    file.row = row;
    file.source = entry;
    if (const std::optional<TrackEntryParts> parts = ParseTrackEntry(entry)) {
        ListedTrack listed = ReadListedTrack(*parts);
        if (!listed.error.empty()) return;
        file.source = std::move(listed.image);
        file.track = std::move(listed.track);
    }
    const std::string& source = file.source;
    const SourceRow* format = FindSource(source);
    if (!format || !format->converted) return;
    // A track cannot be a copy of its image.
    const TargetRow* target = file.track && !TargetFor(*format) ? &target_ : TargetFor(*format);

    const std::string name = FileNameOf(source);
    const std::string stem = name.substr(0, name.size() - SourceExtensionOf(source).size());
    const std::string title = file.track ? TrackFileTitle(*file.track) : stem;
    // A copy keeps its source's extension as it is spelt.
    const std::string extension = target ? target->extension : name.substr(stem.size());
    file.outputFolder = settings_.general.outputFolderMode == OutputFolderMode::kBesideSource
                            ? FolderOf(source)
                            : OutputFolderOf(settings_.general);
    std::string output = file.outputFolder + title + extension;
    if (naming_.active()) {
        // Named so that the folders made below it can be told from it.
        if (file.outputFolder.empty()) file.outputFolder = "./";
        output = NamedOutput(file.outputFolder, file, *format, title, extension);
        if (output.empty()) return;
        file.outputRoot = file.outputFolder;
        file.outputFolder = FolderOf(output);
    }
    // A copy onto its own source is already there.
    if (!target && Place(output) == Place(source)) return;
    file.action = target ? FileAction::kConvert : FileAction::kCopy;
    file.settingsHash = SettingsHashOf(target);
    // A track's output also depends on where the sheet cuts it and what it calls it.
    if (file.track) file.settingsHash += "." + TrackHash(*file.track);
    OutputLedger* ledger = choices_.ledger;
    const bool beside = settings_.general.outputFolderMode == OutputFolderMode::kBesideSource;
    if (ledger && (!beside || choices_.recordBesideSources))
        ledger->Load(Absolute(file.outputRoot.empty() ? file.outputFolder : file.outputRoot));
    // A re-run replaces what it made in place; the if-exists rule is for
    // other files.
    if (choices_.update && ledger && !TakenByBatch(output) && ledger->Ours(output)) {
        file.finalTarget = output;
        file.replacesOurs = true;
        Compare(file, *ledger->Find(output), target);
    } else {
        bool skip = false;
        file.finalTarget = FinalTarget(output, source, skip);
        if (skip) {
            plan_.skippedOutputFolders.insert(FolderOf(output));
            return;
        }
    }
    batchPlaces_.insert(Place(file.finalTarget));
    QueueChain(file, *format, target);
    plan_.files.push_back(std::move(file));
}

void Planning::QueueChain(PlannedFile& file, const SourceRow& format, const TargetRow* target) {
    auto queue = [&](EngineId engine, EngineSettings settings, std::string from, std::string to, int32_t start,
                     int32_t span) {
        file.chain.push_back({.fileIndex = file.row,
                              .engine = engine,
                              .settings = settings,
                              .sourcePath = std::move(from),
                              .targetPath = std::move(to),
                              .progressStart = start,
                              .progressSpan = span});
    };
    switch (file.action) {
        case FileAction::kUpToDate: return;
        case FileAction::kCopy: return queue(&kCopyFile, {}, file.source, file.finalTarget, 0, 100);
        case FileAction::kRetag: return queue(&kCopyFile, {}, file.finalTarget, file.finalTarget, 0, 100);
        case FileAction::kConvert: break;
    }
    const TunedOutput tuned = target->tunedOutput ? target->tunedOutput(tuning_) : TunedOutput{};
    file.fidelity = tuned.lossy ? Fidelity{} : target->fidelity;
    if (tuned.companionExtension)
        (tuned.writesCompanion ? file.companion : file.staleCompanion) =
            CompanionName(file.finalTarget, tuned.companionExtension);
    const bool toWav = target->encoder == &kEncWavPcm;
    const EngineSettings inputForm = target->inputForm(settings_, tuning_);
    const EngineSettings encoderBlock = target->settings(settings_, tuning_);
    const AppliedGain& gain = tuning_.Of<AppliedGain>();
    const std::string& source = file.source;
    if (!format.decoder && toWav && !gain.on() && !file.track) {
        queue(&kEncWavPcm, encoderBlock, source, file.finalTarget, 0, 100);
        return;
    }
    file.temporary = file.outputFolder + kTempFileName;
    const std::string& temp = file.temporary;
    // The gain scales the encoder's input as the encoder reads it: after
    // the WAV stage, in the temporary WAV.
    const EngineSettings stageForm = toWav ? encoderBlock : inputForm;
    const int32_t gainSpan = gain.on() ? 10 : 0;
    // A track is cut from the whole image as soon as the image is in the
    // temporary WAV; the cut is a new file, so a WAV lent by the stage stays whole.
    const auto cutTrack = [&] {
        if (!file.track) return;
        const Job& made = file.chain.back();
        queue(&kCutTrack, {}, temp, "", made.progressStart + made.progressSpan, 0);
        file.chain.back().firstFrame = file.track->firstFrame;
        file.chain.back().endFrame = file.track->endFrame;
    };
    if (!format.decoder) {
        queue(&kEncWavPcm, stageForm, source, temp, 0, 10);
        file.chain.back().mayLinkSource = toWav || target->readsAudioOnly || file.track.has_value();
        cutTrack();
    } else if (toWav && !gain.on()) {
        // A decoder may write its audio straight in the form asked for.
        queue(format.decoder, encoderBlock, source, temp, 0, 90);
        cutTrack();
    } else {
        queue(format.decoder, {}, source, temp, 0, 30 - gainSpan);
        cutTrack();
        queue(&kEncWavPcm, stageForm, temp, "", 30 - gainSpan, 10);
    }
    const int32_t encoderStart = file.chain.back().progressStart + file.chain.back().progressSpan;
    if (gain.on()) queue(&kApplyGain, &gain, temp, "", encoderStart, gainSpan);
    if (toWav) {
        queue(&kEncWavPcm, encoderBlock, temp, file.finalTarget, encoderStart + gainSpan, 100 - encoderStart - gainSpan);
        // The temporary WAV is this file's alone: already in form, it is the output.
        file.chain.back().mayLinkSource = true;
    } else {
        queue(target->encoder, encoderBlock, temp, file.finalTarget, encoderStart + gainSpan,
              100 - encoderStart - gainSpan);
        file.chain.back().companionPath = file.companion;
    }
}

}  // namespace

LibraryChoices LibraryChoicesFrom(const Preferences& preferences, OutputLedger* ledger) {
    return {.ledger = ledger,
            .update = preferences.Get(kUpdate) != 0,
            .recordBesideSources = preferences.Get(kUpdate) != 0 || preferences.Get(kDeleteOrphans) != 0,
            .copyTags = preferences.Get(kCopyTags) != 0,
            .losslessRule = preferences.GetText(kLosslessRule),
            .lossyRule = preferences.GetText(kLossyRule)};
}

BatchPlan PlanJobs(const ConverterSettings& settings, const TargetTuning& tuning, int32_t targetFormat,
                   const std::vector<std::string>& files, const OutputNaming& naming, const LibraryChoices& choices) {
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
    for (const std::string& rule : {choices.losslessRule, choices.lossyRule})
        if (!rule.empty() && rule != kCopyRule && !FindTargetByCliName(rule)) {
            BatchPlan nothing;
            nothing.error = "unknown target '" + rule + "' in a rule per source kind (a target's name or copy)";
            return nothing;
        }
    Planning planning(settings, tuning, *target, files, naming, choices);
    for (uint32_t row = 0; row < files.size() && !planning.refused(); ++row) planning.PlanFile(row, files[row]);
    BatchPlan plan = planning.Result();
    if (!plan.error.empty()) plan.files.clear();
    plan.fileCount = static_cast<uint32_t>(files.size());
    return plan;
}

}  // namespace zelph
