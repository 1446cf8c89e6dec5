#include "core/planner.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "core/naming.h"

namespace zelph {

namespace {

struct TargetInfo {
    const char* id;
    const char* extension;
};

constexpr TargetInfo kTargets[] = {
    {kEncWavPcm, ".wav"},    {kEncMp3Blade, ".mp3"},  {kEncMp3Lame, ".mp3"},
    {kEncMp3GoGo, ".mp3"},   {kEncOggVorbis, ".ogg"}, {kEncApeMonkey, ".ape"},
};

const char* DecoderFor(const std::string& extension) {
    if (extension == ".mp3") return kDecMp3;
    if (extension == ".ogg") return kDecOggVorbis;
    if (extension == ".ape") return kDecApeMonkey;
    if (extension == ".flac" || extension == ".oga") return kDecFlac;
    if (extension == ".opus") return kDecOpus;
    return nullptr;
}

void* ParamsFor(ConverterSettings& s, const std::string& engineId) {
    if (engineId == kEncWavPcm) return &s.wav;
    if (engineId == kEncMp3Blade) return &s.blade;
    if (engineId == kEncMp3Lame) return &s.lame;
    if (engineId == kEncMp3GoGo) return &s.gogo;
    if (engineId == kEncOggVorbis) return &s.ogg;
    return &s.ape;
}

// Two spellings of one file (a "./" or a link in the folder) are one file.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

Job MakeJob(uint16_t fileIndex, const char* engineId, void* params, std::string source,
            std::string target, int32_t progress, int32_t span) {
    Job job;
    job.fileIndex = fileIndex;
    job.engineId = engineId;
    job.engineParams = params;
    job.sourcePath = std::move(source);
    job.targetPath = std::move(target);
    job.progress = progress;
    job.progressSpan = span;
    return job;
}

}  // namespace

std::string SourceExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return "";
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string JobPlanner::TempFileFor(const std::string& outputFolder) {
    const std::string wanted = outputFolder + kTempFileName;
    for (const auto& planned : plannedTempFiles)
        if (FolderOf(planned) == outputFolder) return planned;
    const std::string path = MakeUniqueName(wanted, batchNames_);
    batchNames_.insert(path);
    plannedTempFiles.push_back(path);
    return path;
}

// Applies the if-exists rule. Names planned earlier in this batch, and the
// batch's own sources, count as taken like files on disk, so that no output
// of this batch and no source is ever overwritten by another conversion.
std::string JobPlanner::FinalTarget(const std::string& path, const std::string& source, bool& skip) {
    const std::string unique = MakeUniqueName(path, batchNames_);
    skip = false;
    switch (settings->general.existingFileAction) {
        case 2:
            return unique;
        case 3:
            skip = unique != path;
            return path;
        default:
            return batchNames_.contains(path) || SameFile(path, source) ? unique : path;
    }
}

void JobPlanner::PlanJobs(const std::string& engineId, const std::vector<std::string>& files) {
    currentFileIndex = -1;
    fileCount = 0;
    sourcesToDelete.clear();
    tempFiles.clear();
    plannedTempFiles.clear();
    currentJob.running = currentJob.stopRequested = currentJob.succeeded = 0;
    jobQueue.clear();
    batchNames_ = std::set<std::string>(files.begin(), files.end());

    const auto target = std::find_if(std::begin(kTargets), std::end(kTargets),
                                     [&](const TargetInfo& t) { return engineId == t.id; });
    if (target == std::end(kTargets)) return;
    const std::string targetExtension = target->extension;
    void* finalParams = ParamsFor(*settings, engineId);
    void* preparePcm = targetExtension == ".ape" ? &settings->ape.pcm : nullptr;
    const std::string outputFolderSetting = OutputFolderOf(settings->general);

    uint16_t index = 0;
    for (const std::string& source : files) {
        ++fileCount;
        const uint16_t fileIndex = index++;
        const std::string extension = SourceExtensionOf(source);
        const char* decoder = DecoderFor(extension);
        if (extension != ".wav" && !decoder) continue;

        const std::string name = FileNameOf(source);
        const std::string title = name.substr(0, name.size() - extension.size());
        const std::string outputFolder =
            settings->general.outputFolderMode == 1 ? FolderOf(source) : outputFolderSetting;
        bool skip = false;
        const std::string finalTarget =
            FinalTarget(outputFolder + title + targetExtension, source, skip);
        if (skip) continue;
        batchNames_.insert(finalTarget);

        auto queue = [&](const char* id, void* params, std::string from, std::string to,
                         int32_t progress, int32_t span) {
            jobQueue.push_back(MakeJob(fileIndex, id, params, std::move(from), std::move(to),
                                       progress, span));
        };
        const bool toWav = targetExtension == ".wav";
        if (extension == ".wav" && toWav) {
            queue(kEncWavPcm, &settings->wav, source, finalTarget, 0, 100);
        } else if (extension == ".wav") {
            const std::string temp = TempFileFor(outputFolder);
            queue(kEncWavPcm, preparePcm, source, temp, 0, 10);
            queue(target->id, finalParams, temp, finalTarget, 10, 90);
        } else if (toWav) {
            const std::string temp = TempFileFor(outputFolder);
            queue(decoder, nullptr, source, temp, 0, 90);
            queue(kEncWavPcm, &settings->wav, temp, finalTarget, 90, 10);
        } else {
            const std::string temp = TempFileFor(outputFolder);
            queue(decoder, nullptr, source, temp, 0, 30);
            queue(kEncWavPcm, preparePcm, temp, "", 30, 10);
            queue(target->id, finalParams, temp, finalTarget, 40, 60);
        }
    }
    currentJob.progress = 0;
}

}  // namespace zelph
