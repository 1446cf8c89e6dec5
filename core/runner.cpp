#include "core/runner.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <set>

#include "codecs/copyengine.h"
#include "codecs/reasons.h"
#include "core/cuttrack.h"
#include "core/fingerprint.h"
#include "core/fileidentity.h"
#include "core/naming.h"
#include "core/readback.h"
#include "core/runfiles.h"
#include "core/targets.h"
#include "core/verify.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

std::string SystemReason(const std::string& what) { return what + ": " + std::strerror(errno); }

// Flushes a file (or a folder's entries) to the disk.
bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

bool SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    return SyncPath(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
}

// `text` with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The pictures a player looks for beside the music of a folder.
constexpr const char* kFolderImageNames[] = {"cover.jpg", "folder.jpg", "cover.png", "folder.png"};

// A source deleted after its conversion leaves an output that is no orphan:
// its record keeps no source.
void ForgetSource(OutputLedger& ledger, const std::string& output) {
    OutputRecord record = *ledger.Find(output);
    record.source.clear();
    ledger.Record(output, std::move(record));
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

// Puts `from` at `to` unless something is there already (EEXIST then).
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link is just as exclusive.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

// Why the files bound for `folder` cannot be written there, or "".
std::string FolderProblem(const std::string& folder) {
    struct stat info;
    const std::string shown = folder.empty() ? "." : folder;
    if (::stat(shown.c_str(), &info) != 0) return SystemReason("output folder " + shown);
    if (!S_ISDIR(info.st_mode)) return "output folder " + shown + " is not a folder";
    if (::access(shown.c_str(), W_OK | X_OK) != 0) return SystemReason("cannot write in " + shown);
    return "";
}

// Makes the folders below `root` up to `folder` that are missing, each
// flushed into its parent's entries as an output's name is; returns "" or why not.
std::string MakeFoldersBelow(const std::string& root, const std::string& folder) {
    if (root.empty() || folder.size() <= root.size() || folder.compare(0, root.size(), root) != 0) return "";
    for (auto slash = folder.find('/', root.size()); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string made = folder.substr(0, slash);
        if (::mkdir(made.c_str(), 0777) != 0) {
            if (errno == EEXIST) continue;
            return SystemReason("cannot make the folder " + made);
        }
        if (!SyncFolderOf(made)) return SystemReason("cannot flush the folder " + FolderOf(made));
    }
    return "";
}

// Why `file` cannot be planned for, or "": its output's name must fit the
// file system's limit for one name.
std::string NameProblem(const PlannedFile& file) {
    const std::string name = FileNameOf(file.finalTarget);
    if (name.size() <= NAME_MAX) return "";
    return "the output's name " + name.substr(0, 40) + "... is longer than " + std::to_string(NAME_MAX) + " bytes";
}

}  // namespace

// The whole of a CD image as its tracks' WAV stage takes it, made once by
// the first track of the image that runs and cut by each. The run file goes
// once no track of the image in the batch needs it any more, however they end.
struct JobRunner::ImageWav {
    ~ImageWav() {
        if (!path.empty()) ::unlink(path.c_str());
    }
    std::string path;
    RunFileLock lock;
    bool made = false;
    std::string failure;  // why it could not be made, which fails every track of it
    std::string damage;   // what its decoder skipped
};

// A file from its start to its end: its plan, the run files it writes, and
// the job in hand with the thread its engine runs on. Whatever way the file
// ends, its run files go with it; an output that was placed is no longer one.
struct JobRunner::FileRun {
    explicit FileRun(PlannedFile planned) : plan(std::move(planned)) {}
    ~FileRun() {
        if (thread.joinable()) {
            state.stopRequested.store(1, std::memory_order_release);
            thread.join();
        }
        for (const std::string& path : {temporary, partial, companion})
            if (!path.empty()) ::unlink(path.c_str());
    }

    PlannedFile plan;
    std::string temporary;  // the file's own temporary WAV
    std::string partial;    // the output until it is placed
    std::string companion;  // the encoder's second output until it is placed
    RunFileLock temporaryLock, partialLock, companionLock;
    // The source and an older output as they were when the file started:
    // neither is deleted or replaced if it is no longer the same file.
    std::optional<FileIdentity> source, olderOutput;
    std::optional<FileIdentity> output;  // once placed
    std::shared_ptr<ImageWav> image;     // a track's image, until its part is cut
    struct stat sourceSeen {};           // the source as the file started, for its record
    std::size_t nextJob = 0;
    Job job;
    JobState state;
    std::thread thread;
    // The worker has let go of the job (and, after the last one, of the
    // output); only then does the driver look at the file again.
    std::atomic<bool> workDone{true};
    // The encoding is over and the worker is finishing the output (tags,
    // sync), which is mostly waiting on the disk.
    std::atomic<bool> finishing{false};
    TagCopyReport tags;          // from the last job's worker
    uint64_t audio = 0;          // the output's audio extent, for reading it back
    std::unique_ptr<LoudnessMeter> meter;  // its own decoded audio's loudness
    bool held = false;           // complete and measured, waiting for its album
    bool albumCounted = false;   // its album knows it has ended or is held
    bool albumTagged = false;    // its album's gains went on (on a worker): it only needs its name
    std::string finishProblem;   // why the complete output could not be finished
    std::string damage;          // what the decoder skipped, from a job that succeeded
    std::string audioHash, tagsHash;  // of the source as converted, for its record
    bool cancelled = false;  // asked to stop by a skip or a close
    bool ended = false;      // it has its outcome
    bool reported = false;   // its row shows that outcome; the runner drops it
    const char* status = nullptr;
    std::string told;        // the outcome's reason as the row shows it

    // On the worker, after the last job: the output gets its tags and goes
    // to the disk, so the driver only has to give it its name. Tags go on
    // once the audio is complete, and a tag that cannot be written fails the
    // file rather than leaving it silently bare.
    void FinishOutput(bool copyTags, const RunOptions& options) {
        struct stat info;
        if (!partialLock.Follow(partial) || ::stat(partial.c_str(), &info) != 0 || info.st_size == 0) {
            finishProblem = std::string(EngineName(job.engine)) + " wrote no output";
            return;
        }
        const std::optional<uint64_t> extent = AudioExtentOf(partial);
        if (!extent) {
            finishProblem = WhyIncomplete(partial);
            return;
        }
        audio = *extent;
        if (!companion.empty()) {
            finishProblem = FinishCompanion();
            if (!finishProblem.empty()) return;
        }
        const bool measure = options.loudness != LoudnessMode::kOff && plan.action != FileAction::kCopy;
        // A track's gains come from the decode, so its tags go on after it,
        // with them, in one write, one sync and one read back; otherwise the
        // tags go on first and the decode checks the output as the disk has it.
        const bool gainsWithTags = measure && options.loudness == LoudnessMode::kTrack;
        if (gainsWithTags) CheckAndMeasure(options, measure);
        if (finishProblem.empty()) TagAndSync(copyTags, measure, gainsWithTags ? meter.get() : nullptr);
        if (finishProblem.empty() && !gainsWithTags) CheckAndMeasure(options, measure);
        if (options.ledger && finishProblem.empty()) Fingerprint(copyTags, options.hashSources);
    }

    // The source's tags, when they are copied (a copy holds them already),
    // and the gains of `track`, when given, go on the output, which is then
    // synced and read back. Measured, the source's own gains are left out.
    void TagAndSync(bool copyTags, bool measure, const LoudnessMeter* track) {
        const bool copied = copyTags && plan.action != FileAction::kCopy;
        if (copied || track) {
            const std::optional<MeasuredGains> gains = track ? std::optional(GainsOf(*track)) : std::nullopt;
            tags = CopyTags(copied ? plan.source : "", partial, !measure, gains ? &*gains : nullptr,
                            copied && plan.track ? &plan.track->tags : nullptr);
            if (!tags.error.empty()) {
                finishProblem = "tags not written: " + tags.error;
                return;
            }
        }
        if (!SyncPath(partial, O_RDONLY)) {
            finishProblem = WriteProblem(errno);
            return;
        }
        finishProblem = ReadBack(partial, {audio, tags.writtenFields, tags.writtenPictures});
    }

    // The second output holds as much audio as the first and is on the disk
    // before either takes its name.
    std::string FinishCompanion() {
        const std::string shown = FileNameOf(plan.companion);
        struct stat info;
        if (!companionLock.Follow(companion) || ::stat(companion.c_str(), &info) != 0 || info.st_size == 0)
            return std::string(EngineName(job.engine)) + " wrote no " + shown;
        const std::optional<uint64_t> extent = FindTargetByOutput(partial)->audioExtent(ReadOnlyFile(companion));
        if (extent != audio) return OutOfRoom(companion) ? WriteProblem(ENOSPC) : shown + " does not match its output";
        if (!SyncPath(companion, O_RDONLY)) return WriteProblem(errno);
        return "";
    }

    // The output decoded back once: set against the PCM its encoder was given
    // (the last job's source) and measured, as asked. A copy's bytes are its
    // source's; a re-tagged output was checked when it was made, and is only
    // measured again.
    void CheckAndMeasure(const RunOptions& options, bool measure) {
        const bool verify = options.verify && plan.action == FileAction::kConvert;
        if (!verify && !measure) return;
        // Held to what the planner asked of its target and tuning (targets
        // that share an extension differ; a hybrid output is lossy).
        CheckedOutput checked = options.checkOutput(partial, job.sourcePath,
                                                    {.verify = verify,
                                                     .fidelity = plan.fidelity,
                                                     .measure = measure,
                                                     .truePeak = options.truePeak});
        finishProblem = std::move(checked.problem);
        meter = std::move(checked.meter);
        if (finishProblem.empty() && measure && !meter) finishProblem = "loudness: the output was not measured";
    }

    // Adds its album's gains to the complete output, which is read back
    // again before it may take its name.
    std::string TagGains(const MeasuredGains& gains) {
        std::vector<std::string> fields;
        if (std::string problem = WriteGainTags(partial, gains, fields); !problem.empty()) return problem;
        if (!SyncPath(partial, O_RDONLY)) return WriteProblem(errno);
        fields.insert(fields.end(), tags.writtenFields.begin(), tags.writtenFields.end());
        return ReadBack(partial, {audio, fields, tags.writtenPictures});
    }

    // What the output is made from, read while the output goes to the disk.
    // A source that changed since the file started is recorded with no time
    // and no audio hash, so the next run converts it again.
    void Fingerprint(bool copyTags, bool hashAudio) {
        audioHash = plan.audioHash;
        tagsHash = plan.action == FileAction::kCopy ? "-" : plan.tagsHash;
        if (plan.action == FileAction::kConvert) {
            audioHash = hashAudio ? AudioHash(plan.source) : "";
            tagsHash = TagsHash(plan.source, copyTags);
        }
        struct stat now;
        if (::stat(plan.source.c_str(), &now) != 0 || now.st_size != sourceSeen.st_size ||
            now.st_mtim.tv_sec != sourceSeen.st_mtim.tv_sec || now.st_mtim.tv_nsec != sourceSeen.st_mtim.tv_nsec) {
            sourceSeen.st_mtim = {};
            audioHash.clear();
        }
    }
};

void EngineEndSignal::Notify() {
    std::function<void()> callback;
    {
        std::lock_guard lock(mutex_);
        pending_ = true;
        callback = callback_;
    }
    ended_.notify_all();
    if (callback) callback();
}

bool EngineEndSignal::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const bool ended = ended_.wait_for(lock, timeout, [this] { return pending_; });
    pending_ = false;
    return ended;
}

void EngineEndSignal::SetCallback(std::function<void()> callback) {
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
}

JobRunner::JobRunner(EngineTable engines, RunnerListener& listener)
    : engines_(std::move(engines)), listener_(listener) {}

JobRunner::~JobRunner() = default;

bool JobRunner::Open(BatchPlan plan, const RunOptions& options) {
    running_.clear();
    waiting_.clear();
    waitingImages_.clear();
    nextWaiting_ = 0;
    converted_.clear();
    albumOf_.clear();
    albumsPending_.clear();
    lastProgress_ = 0;
    closing_ = false;
    options_ = options;
    options_.filesAtOnce = std::max(1u, options.filesAtOnce);
    // A source goes only once its output has been decoded back.
    options_.verify = options.verify || options.afterOperation == AfterOperation::kDeleteSource;
    fileCount_ = plan.fileCount;
    finished_ = plan.files.empty();
    // A killed run's files go from every folder the batch writes in or
    // would have written in, even when all its outputs are there already.
    std::set<std::string> checked;
    for (const std::string& folder : plan.skippedOutputFolders)
        if (checked.insert(folder).second) RemoveStaleRunFiles(folder);
    if (finished_) {
        // Sources all gone leave nothing to convert, and only orphans to remove.
        if (options_.deleteOrphans && options_.ledger) {
            RemoveOrphans();
            options_.ledger->Compact();
        }
        return false;
    }

    // A folder that cannot take the outputs, or a name too long for it,
    // fails its files before any engine runs; the others go ahead.
    std::vector<std::pair<uint32_t, std::string>> refused;
    for (PlannedFile& file : plan.files) {
        std::string problem = file.outputRoot.empty() ? "" : FolderProblem(file.outputRoot);
        if (problem.empty()) problem = MakeFoldersBelow(file.outputRoot, file.outputFolder);
        if (problem.empty()) problem = FolderProblem(file.outputFolder);
        if (checked.insert(file.outputFolder).second && problem.empty()) RemoveStaleRunFiles(file.outputFolder);
        if (problem.empty()) problem = NameProblem(file);
        if (problem.empty())
            waiting_.push_back(std::move(file));
        else
            refused.emplace_back(file.row, std::move(problem));
    }
    std::map<std::string, std::shared_ptr<ImageWav>> images;
    for (const PlannedFile& file : waiting_) {
        std::shared_ptr<ImageWav> image;
        if (file.track) {
            std::shared_ptr<ImageWav>& shared = images[file.source];
            if (!shared) shared = std::make_shared<ImageWav>();
            image = shared;
        }
        waitingImages_.push_back(std::move(image));
    }
    if (options_.loudness == LoudnessMode::kAlbum)
        // A copy stays as it is: it is neither measured nor tagged.
        for (const PlannedFile& file : waiting_)
            if (file.action != FileAction::kCopy) ++albumsPending_[albumOf_[file.row] = AlbumOf(file.source)];
    listener_.StatusText("Starting Engine...");
    for (const auto& [row, reason] : refused) listener_.RowStatus(row, kRowError, reason);
    if (waiting_.empty()) Finish();
    return true;
}

bool JobRunner::engineRunning() const {
    return std::any_of(running_.begin(), running_.end(),
                       [](const auto& file) { return !file->workDone.load(std::memory_order_acquire); });
}

JobRunner::FileRun* JobRunner::OldestConverting() const {
    const auto converting = std::find_if(running_.begin(), running_.end(), [](const auto& file) {
        return !file->ended && !file->finishing.load(std::memory_order_acquire);
    });
    if (converting != running_.end()) return converting->get();
    return running_.empty() ? nullptr : running_.front().get();
}

int JobRunner::progress() const {
    const FileRun* file = OldestConverting();
    return file ? file->state.progress.load(std::memory_order_acquire) : lastProgress_;
}

std::vector<RunningFile> JobRunner::runningFiles() const {
    std::vector<RunningFile> files;
    for (const auto& file : running_) {
        // A track of a CD image is shown as its image and its title.
        const PlannedFile& plan = file->plan;
        files.push_back({plan.row, plan.track ? plan.source + " \u203A " + TrackFileTitle(*plan.track) : plan.source,
                         file->state.progress.load(std::memory_order_acquire)});
    }
    return files;
}

void JobRunner::StartFile(std::unique_ptr<FileRun> owned) {
    FileRun& file = *owned;
    running_.push_back(std::move(owned));
    listener_.StatusText("Converting File " + std::to_string(file.plan.row + 1) + " of " + std::to_string(fileCount_));

    // A folder or a FIFO named like a music file would hang or fool an engine.
    if (!IsRegularFile(file.plan.source)) return EndFile(file, kRowError, "not a regular file");
    if (options_.afterOperation == AfterOperation::kDeleteSource) file.source = IdentityOf(file.plan.source);
    ::stat(file.plan.source.c_str(), &file.sourceSeen);
    if (file.plan.action == FileAction::kUpToDate) {
        std::string reason;
        // A source touched with its audio and tags the same: its record
        // takes its new time, so the next run need not read it again.
        if (!file.plan.audioHash.empty()) {
            file.audioHash = file.plan.audioHash;
            file.tagsHash = file.plan.tagsHash;
            RecordOutput(file, reason);
        }
        return EndFile(file, reason.empty() ? kRowSkipped : kRowError, reason.empty() ? kUpToDateReason : reason);
    }
    if (options_.existingFileAction == ExistingFileAction::kOverwrite || file.plan.replacesOurs)
        file.olderOutput = IdentityOf(file.plan.finalTarget);

    // The run files are made now, exclusively, so no other file, run or
    // program can be given the same ones.
    if (!file.plan.temporary.empty()) {
        RunFile temporary = CreateRunFile(file.plan.outputFolder, "");
        if (temporary.path.empty()) return EndFile(file, kRowError, temporary.reason);
        file.temporary = temporary.path;
        file.temporaryLock = std::move(temporary.lock);
    }
    const std::string& final = file.plan.finalTarget;
    const auto dot = FileNameOf(final).rfind('.');
    RunFile partial = CreateRunFile(file.plan.outputFolder,
                                    dot == std::string::npos ? "" : FileNameOf(final).substr(dot));
    if (partial.path.empty()) return EndFile(file, kRowError, partial.reason);
    file.partial = partial.path;
    file.partialLock = std::move(partial.lock);
    if (!file.plan.companion.empty()) {
        RunFile companion = CreateRunFile(file.plan.outputFolder, SourceExtensionOf(file.plan.companion));
        if (companion.path.empty()) return EndFile(file, kRowError, companion.reason);
        file.companion = companion.path;
        file.companionLock = std::move(companion.lock);
    }
    if (file.image) return StartTrack(file);
    StartJob(file);
}

// A track starts from its image's WAV when another track made it, and
// otherwise makes it for them all.
void JobRunner::StartTrack(FileRun& file) {
    ImageWav& image = *file.image;
    if (!image.failure.empty()) return EndFile(file, kRowError, image.failure);
    if (image.made) {
        file.nextJob = 1;
        file.damage = image.damage;
    } else if (image.path.empty()) {
        RunFile made = CreateRunFile(file.plan.outputFolder, "");
        if (made.path.empty()) return EndFile(file, kRowError, made.reason);
        image.path = made.path;
        image.lock = std::move(made.lock);
    }
    StartJob(file);
}

void JobRunner::StartJob(FileRun& file) {
    file.job = file.plan.chain[file.nextJob++];
    auto runPath = [&](std::string& path) {
        if (!file.plan.temporary.empty() && path == file.plan.temporary) path = file.temporary;
        if (path == file.plan.finalTarget) path = file.partial;
    };
    // A job reads the final name only to copy an older output (to re-tag it).
    if (!file.plan.temporary.empty() && file.job.sourcePath == file.plan.temporary) file.job.sourcePath = file.temporary;
    runPath(file.job.targetPath);
    if (!file.plan.companion.empty() && file.job.companionPath == file.plan.companion) file.job.companionPath = file.companion;
    // A track's first job makes its image's WAV; the cut reads that and
    // writes the track to the file's own temporary WAV.
    if (file.image && file.nextJob == 1) file.job.targetPath = file.image->path;
    if (file.image && file.job.engine == &kCutTrack) {
        file.job.sourcePath = file.image->path;
        file.job.targetPath = file.temporary;
    }
    file.state.succeeded.store(0, std::memory_order_relaxed);
    file.state.progress.store(file.job.progressStart, std::memory_order_relaxed);
    file.state.reason.clear();

    // An engine the table does not know never runs; the job counts as failed.
    const auto engine = engines_.find(file.job.engine);
    if (engine == engines_.end()) {
        file.state.reason = "no engine " + std::string(EngineName(file.job.engine)) + " in this program";
        return;
    }
    file.state.running.store(1, std::memory_order_release);
    file.workDone.store(false, std::memory_order_relaxed);
    const bool last = file.nextJob == file.plan.chain.size();
    // The signal wakes the driver as soon as the worker has let go of
    // everything, so no tick is wasted between two jobs.
    file.thread = std::thread([proc = engine->second, &file, last, copyTags = options_.copyTags,
                               &options = options_, &signal = endSignal_] {
        // An engine failing by exception is a failed job, not a dead program.
        try {
            proc(file.job, file.state);
        } catch (...) {
            file.state.running.store(0, std::memory_order_release);
        }
        if (last && file.state.succeeded.load(std::memory_order_acquire) == 1 &&
            !file.state.stopRequested.load(std::memory_order_acquire)) {
            // The driver may start the next file while this one waits on the disk.
            file.finishing.store(true, std::memory_order_release);
            signal.Notify();
            file.FinishOutput(copyTags, options);
        }
        file.workDone.store(true, std::memory_order_release);
        signal.Notify();
    });
}

void JobRunner::Advance(FileRun& file) {
    if (file.thread.joinable()) file.thread.join();
    if (file.albumTagged) {
        if (file.cancelled) return EndFile(file, kRowCancelled, "");
        return file.finishProblem.empty() ? PlaceAndEnd(file) : EndFile(file, kRowError, file.finishProblem);
    }
    // An engine may have put a new file under the temporary's name; the
    // runner's lock follows it before the engine's hold on it ends.
    if (!file.temporary.empty()) file.temporaryLock.Follow(file.temporary);
    const bool madeImage = file.image && file.nextJob == 1;
    if (madeImage) file.image->lock.Follow(file.image->path);
    file.state.ReleaseHeldFile();
    const bool succeeded = file.state.succeeded.load(std::memory_order_acquire) == 1;
    if (madeImage && succeeded) {
        file.image->made = true;
        file.image->damage = file.state.reason;
    } else if (madeImage && !file.state.stopRequested.load(std::memory_order_acquire)) {
        file.image->failure = JobFailure(file);
    }
    if (file.cancelled) {
        EndFile(file, kRowCancelled, "");
        return;
    }
    if (!succeeded) {
        EndFile(file, kRowError, JobFailure(file));
        return;
    }
    if (!file.state.reason.empty()) file.damage = file.state.reason;
    // Its part cut, a track needs its image no more.
    if (file.image && file.job.engine == &kCutTrack) file.image.reset();
    if (file.nextJob < file.plan.chain.size()) {
        StartJob(file);
        return;
    }
    if (options_.copyTags) listener_.TagsCopied(file.plan.row, file.tags);
    if (!file.finishProblem.empty()) return EndFile(file, kRowError, file.finishProblem);
    if (!albumOf_.contains(file.plan.row)) return PlaceAndEnd(file);
    file.held = true;
    file.albumCounted = true;
    AlbumMemberEnded(file.plan.row);
}

// Why the file's job failed. Engines name a write that failed in their own
// words; a full disk is said the same way whichever engine met it.
std::string JobRunner::JobFailure(const FileRun& file) const {
    const auto outOfRoomAt = [](const std::string& path) { return !path.empty() && OutOfRoom(path); };
    if (OutOfRoom(file.partial) || outOfRoomAt(file.temporary) || outOfRoomAt(file.companion) ||
        (file.image && outOfRoomAt(file.image->path)))
        return WriteProblem(ENOSPC);
    return file.state.reason.empty() ? std::string(EngineName(file.job.engine)) + " failed" : file.state.reason;
}

void JobRunner::PlaceAndEnd(FileRun& file) {
    std::string reason;
    if (!PlaceOutput(file, reason) || (RecordOutput(file, reason), !reason.empty()))
        return EndFile(file, kRowError, reason);
    EndFile(file, kRowDone, file.plan.action == FileAction::kRetag && file.damage.empty() ? kTagsOnly : file.damage);
}

// The output's record goes to the ledger once it is under its name; an
// output left unrecorded would count as someone else's file.
void JobRunner::RecordOutput(FileRun& file, std::string& reason) {
    if (!options_.ledger) return;
    OutputRecord record{.source = file.plan.source,
                        .sourceSize = file.sourceSeen.st_size,
                        .sourceModifiedNs = file.sourceSeen.st_mtim.tv_sec * 1000000000ll + file.sourceSeen.st_mtim.tv_nsec,
                        .audioHash = file.audioHash,
                        .tagsHash = file.tagsHash,
                        .settingsHash = file.plan.settingsHash};
    if (!StampOutput(file.plan.finalTarget, record)) {
        reason = SystemReason("cannot record " + file.plan.finalTarget);
        return;
    }
    // A correction file has a record of its own, so that it goes with its
    // output once their source has gone.
    const std::string& companion = file.plan.companion;
    OutputRecord companionRecord = record;
    if (!companion.empty() && !StampOutput(companion, companionRecord)) {
        reason = SystemReason("cannot record " + companion);
        return;
    }
    if (std::string problem = options_.ledger->Record(file.plan.finalTarget, std::move(record)); !problem.empty())
        reason = "placed, but " + problem;
    else if (!companion.empty() && !(problem = options_.ledger->Record(companion, std::move(companionRecord))).empty())
        reason = "placed, but " + problem;
}

// The album's gain gates the blocks of every track that was converted; its
// outputs, held under their run files' names until now, are tagged each on
// a worker of its own (a big album's writes and syncs do not hold up the
// driver), then named like any other output. A member that failed or was
// cancelled is not part of it.
void JobRunner::AlbumMemberEnded(uint32_t row) {
    const std::string& album = albumOf_.at(row);
    if (--albumsPending_.at(album) > 0) return;
    std::vector<FileRun*> members;
    std::vector<const LoudnessMeter*> meters;
    for (const auto& file : running_)
        if (file->held && albumOf_.at(file->plan.row) == album) {
            members.push_back(file.get());
            meters.push_back(file->meter.get());
        }
    for (FileRun* member : members) {
        member->held = false;
        member->albumTagged = true;
        member->workDone.store(false, std::memory_order_relaxed);
        member->thread = std::thread([member, gains = GainsOf(*member->meter, meters), &signal = endSignal_] {
            member->finishProblem = member->TagGains(gains);
            member->workDone.store(true, std::memory_order_release);
            signal.Notify();
        });
    }
}

// Puts the complete, synced, read-back output under its final name by the
// if-exists rule.
bool JobRunner::PlaceOutput(FileRun& file, std::string& reason) {
    std::string final = file.plan.finalTarget;
    bool placed = false;
    int error = 0;
    // Only the older output seen at the start is replaced, not a file
    // written over it meanwhile nor one that turned up.
    bool replace = false;
    if (file.olderOutput && (options_.existingFileAction == ExistingFileAction::kOverwrite || file.plan.replacesOurs)) {
        const std::optional<FileIdentity> present = IdentityOf(final);
        if (present && present != file.olderOutput) {
            reason = final + " changed during the conversion and was kept";
            return false;
        }
        replace = present.has_value();
    }
    if (replace) {
        // A second file the older output had and this one has not would be
        // taken as this one's.
        const std::string& stale = file.plan.staleCompanion;
        if (!stale.empty() && ::unlink(stale.c_str()) != 0 && errno != ENOENT) {
            reason = "cannot remove " + stale + ", which went with the older output: " + std::strerror(errno);
            return false;
        }
        placed = ::rename(file.partial.c_str(), final.c_str()) == 0;
        error = errno;
    } else {
        for (int attempt = 0; attempt < 100 && !placed; ++attempt) {
            placed = RenameWithoutReplacing(file.partial, final);
            error = errno;
            if (placed || error != EEXIST || options_.existingFileAction != ExistingFileAction::kRename) break;
            final = MakeUniqueName(final);
        }
    }
    if (!placed) {
        reason = error == EEXIST ? final + " appeared meanwhile and was kept"
                                 : "cannot name the output " + final + ": " + std::strerror(error);
        return false;
    }
    if (!file.companion.empty() && !PlaceCompanion(file, final, replace, reason)) {
        // The output goes back under its run file's name, which goes with the file.
        if (::rename(final.c_str(), file.partial.c_str()) != 0) reason += "; " + final + " was left without it";
        return false;
    }
    file.partial.clear();
    file.plan.finalTarget = final;
    if (options_.afterOperation != AfterOperation::kDeleteSource) return true;
    // The output as placed, which must still be there when its source goes;
    // and a source may go only once its output's name is on the disk.
    file.output = IdentityOf(final);
    if (!SyncFolderOf(final)) {
        reason = WriteProblem(errno);
        return false;
    }
    return true;
}

// The second output takes the name that goes with the output's final one,
// by the same rule.
bool JobRunner::PlaceCompanion(FileRun& file, const std::string& final, bool replace, std::string& reason) {
    const std::string companion = CompanionName(final, SourceExtensionOf(file.plan.companion));
    const bool placed = replace ? ::rename(file.companion.c_str(), companion.c_str()) == 0
                                : RenameWithoutReplacing(file.companion, companion);
    if (!placed) {
        reason = errno == EEXIST ? companion + " is there already and was kept"
                                 : "cannot name " + companion + ": " + std::strerror(errno);
        return false;
    }
    file.companion.clear();
    return true;
}

void JobRunner::EndFile(FileRun& file, const char* status, const std::string& reason) {
    lastProgress_ = status == kRowCancelled ? 0 : file.state.progress.load(std::memory_order_acquire);
    if (status == kRowDone)
        converted_.push_back({file.plan.row, file.plan.source, file.plan.finalTarget, file.source, file.output, reason,
                              FolderOf(file.plan.source), file.plan.track.has_value()});
    // The run files' names mean nothing to the user: the output's name
    // stands for the partial output, the source's for its temporary WAV.
    std::string told = reason;
    const std::string imageWav = file.image ? file.image->path : "";
    for (const auto& [runFile, shown] : {std::pair{file.partial, FileNameOf(file.plan.finalTarget)},
                                         std::pair{file.temporary, FileNameOf(file.plan.source)},
                                         std::pair{imageWav, FileNameOf(file.plan.source)},
                                         std::pair{file.companion, FileNameOf(file.plan.companion)}})
        told = ReplaceAll(ReplaceAll(told, runFile, shown), FileNameOf(runFile), shown);
    file.status = status;
    file.told = std::move(told);
    file.ended = true;
    ReportOutcomes();
    if (!file.albumCounted && albumOf_.contains(file.plan.row)) {
        file.albumCounted = true;
        AlbumMemberEnded(file.plan.row);
    }
}

// With one file at a time rows end in their order: a file that could not
// start while the one before it is still being synced waits for it.
void JobRunner::ReportOutcomes() {
    for (const auto& file : running_) {
        if (!file->ended) {
            if (options_.filesAtOnce == 1) return;
            continue;
        }
        if (file->reported) continue;
        listener_.RowStatus(file->plan.row, file->status, file->told);
        file->reported = true;
    }
}

void JobRunner::Tick() {
    if (finished_) return;
    for (auto it = running_.begin(); it != running_.end();) {
        FileRun& file = **it;
        // With one file at a time only the oldest file goes on to its next
        // job or its name, so outputs are named in the files' order too;
        // files held for their album, and those that ended after one and
        // wait to be reported, stand aside.
        const auto oldest = std::find_if(running_.begin(), running_.end(),
                                         [](const auto& other) { return !other->held && !other->ended; });
        const bool mayAdvance = options_.filesAtOnce > 1 || it == oldest;
        if (!file.ended && !file.held && mayAdvance && file.workDone.load(std::memory_order_acquire)) Advance(file);
        it = file.reported ? running_.erase(it) : it + 1;
    }
    // One that ends at its start (up to date) takes no slot and, once its
    // row is told, goes at once: a re-run of thousands of such files never
    // walks a long list.
    for (std::size_t holding = FilesHoldingASlot(); !closing_ && holding < options_.filesAtOnce &&
                                                    nextWaiting_ < waiting_.size() && !ImageBusy(waiting_[nextWaiting_]);) {
        auto started = std::make_unique<FileRun>(std::move(waiting_[nextWaiting_]));
        started->image = std::move(waitingImages_[nextWaiting_++]);
        StartFile(std::move(started));
        const FileRun& last = *running_.back();
        if (last.reported)
            running_.pop_back();
        else if (!last.ended)
            ++holding;
    }
    // A file that could not start has ended already.
    std::erase_if(running_, [](const auto& file) { return file->reported; });
    if (running_.empty() && (closing_ || nextWaiting_ == waiting_.size())) Finish();
}

// The engines read their source alone, so a track of a CD image waits
// while another track of it is in its first two jobs: the first makes the
// image's WAV (reading the image, or lending it when it is that WAV), and
// the cut reads that WAV.
bool JobRunner::ImageBusy(const PlannedFile& next) const {
    return next.track && std::any_of(running_.begin(), running_.end(), [&](const auto& file) {
               return file->plan.track && !file->ended && file->nextJob <= 2 && file->plan.source == next.source;
           });
}

// A file finishing its output (mostly waiting on the disk) leaves its slot
// to the next file.
std::size_t JobRunner::FilesHoldingASlot() const {
    return static_cast<std::size_t>(std::count_if(running_.begin(), running_.end(), [](const auto& file) {
        return !file->ended && !file->finishing.load(std::memory_order_acquire);
    }));
}

void JobRunner::RequestStop(FileRun& file, bool cancel) {
    file.cancelled = cancel;
    // A track skipped while it makes its image's WAV lets it be made for
    // the image's other tracks, and ends once it is.
    if (cancel && !closing_ && file.image && file.nextJob == 1 && file.image.use_count() > 1) return;
    file.state.stopRequested.store(1, std::memory_order_release);
}

void JobRunner::SkipThis() {
    if (const FileRun* file = OldestConverting()) SkipFile(file->plan.row);
}

void JobRunner::SkipFile(uint32_t row) {
    for (const auto& file : running_) {
        if (file->plan.row != row || file->ended) continue;
        // A file held for its album has no engine left to stop: its output is
        // dropped now, and the album is tagged as the tracks that remain.
        if (file->held) {
            file->held = false;
            EndFile(*file, kRowCancelled, "");
        } else {
            RequestStop(*file, true);
        }
    }
}

void JobRunner::CloseRequest() {
    if (finished_) return;
    closing_ = true;
    for (; nextWaiting_ < waiting_.size(); ++nextWaiting_) {
        const uint32_t row = waiting_[nextWaiting_].row;
        waitingImages_[nextWaiting_].reset();
        listener_.RowStatus(row, kRowCancelled, "");
        if (albumOf_.contains(row)) AlbumMemberEnded(row);
    }
    for (const auto& file : running_) RequestStop(*file, true);
    Tick();
}

void JobRunner::Finish() {
    finished_ = true;
    if (options_.copyFolderImages && !closing_) CopyFolderImages();
    // Before any source of this run goes: its output is no orphan.
    if (options_.deleteOrphans && options_.ledger && !closing_) RemoveOrphans();
    if (options_.afterOperation != AfterOperation::kDeleteSource) {
        // The outputs' new names go to the disk, each folder once.
        std::set<std::string> folders;
        for (const Converted& file : converted_) folders.insert(FolderOf(file.output));
        for (const std::string& folder : folders) SyncPath(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
        if (options_.ledger) options_.ledger->Compact();
        return;
    }
    for (const Converted& file : converted_) {
        // A source goes only when its output is still the one placed and the
        // source is still the file that was converted.
        errno = 0;
        const std::optional<FileIdentity> source = IdentityOf(file.source);
        if (file.track)
            listener_.SourceKept(file.row, "a CD image and its sheet are kept whole");
        else if (!file.damage.empty())
            listener_.SourceKept(file.row, file.damage);
        else if (!file.placed || IdentityOf(file.output) != file.placed)
            listener_.SourceKept(file.row, FileNameOf(file.output) + " is missing or changed");
        else if (!source && errno == ENOENT)
            listener_.SourceKept(file.row, DeleteProblem(ENOENT));
        else if (!source || source != file.identity)
            listener_.SourceKept(file.row, "changed during the conversion");
        else if (::unlink(file.source.c_str()) != 0)
            listener_.SourceKept(file.row, DeleteProblem(errno));
        else if (options_.ledger && options_.ledger->Ours(file.output))
            ForgetSource(*options_.ledger, file.output);
    }
    if (options_.ledger) options_.ledger->Compact();
}

// Each converted file's folder images, copied once per output folder under
// a run file and renamed into place like any output. An image this program
// copied before is replaced when its source changed; any other file of that
// name is left alone.
void JobRunner::CopyFolderImages() {
    std::set<std::pair<std::string, std::string>> folders;
    for (const Converted& file : converted_)
        if (PlaceOf(FolderOf(file.output) + ".") != PlaceOf(file.sourceFolder + "."))
            folders.emplace(file.sourceFolder, FolderOf(file.output));
    for (const auto& [from, to] : folders) {
        for (const char* name : kFolderImageNames) {
            const std::string source = from + name, target = to + name;
            struct stat info;
            if (::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
            const OutputRecord* record = options_.ledger ? options_.ledger->Find(target) : nullptr;
            const bool ours = options_.ledger && options_.ledger->Ours(target);
            if (ours && record->source == AbsoluteOf(source) && record->sourceSize == info.st_size &&
                record->sourceModifiedNs == info.st_mtim.tv_sec * 1000000000ll + info.st_mtim.tv_nsec)
                continue;
            if (!ours && ::access(target.c_str(), F_OK) == 0) continue;
            RunFile copy = CreateRunFile(to, "");
            std::string problem = copy.path.empty() ? copy.reason : CopyFileContents(source, copy.path, nullptr);
            if (problem.empty() && !SyncPath(copy.path, O_RDONLY)) problem = WriteProblem(errno);
            if (problem.empty() && (ours ? ::rename(copy.path.c_str(), target.c_str())
                                         : RenameWithoutReplacing(copy.path, target) ? 0 : -1) != 0)
                problem = SystemReason("cannot name " + target);
            if (!problem.empty()) {
                if (!copy.path.empty()) ::unlink(copy.path.c_str());
                listener_.Notice(source + " not copied: " + problem);
                continue;
            }
            OutputRecord made{.source = source,
                              .sourceSize = info.st_size,
                              .sourceModifiedNs = info.st_mtim.tv_sec * 1000000000ll + info.st_mtim.tv_nsec,
                              .audioHash = "",
                              .tagsHash = "-",
                              .settingsHash = kCopySettings};
            if (options_.ledger && StampOutput(target, made)) options_.ledger->Record(target, std::move(made));
        }
    }
}

// Outputs this program made, still as it placed them, whose source no longer
// exists. An output changed since, or any file without a record, stays.
void JobRunner::RemoveOrphans() {
    for (const auto& [output, record] : options_.ledger->Records()) {
        struct stat info;
        if (record.source.empty() || ::lstat(record.source.c_str(), &info) == 0 || errno != ENOENT) continue;
        const bool ours = options_.ledger->Ours(output);
        if (ours && ::unlink(output.c_str()) != 0) {
            listener_.Notice(SystemReason("cannot remove " + output));
            continue;
        }
        // A record whose output is gone or was changed by someone says nothing more.
        options_.ledger->Forget(output);
        if (ours) listener_.OutputRemoved(output);
    }
}

}  // namespace zelph
