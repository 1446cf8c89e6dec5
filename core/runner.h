#pragma once
// Carries out a planned batch: up to N files at once, each file's chain of
// jobs in order, one engine thread per running job; row statuses with their
// reasons, skip, close, and the clean-up when the batch is done. Driven by
// whoever owns it (the progress window or the command line) through Tick()
// and the stop commands, all on one thread; it reports through a listener.
//
// Every output is written under a run file of its own in its output folder
// and placed under its final name only once it is complete, synced and read
// back, so a failure, a stop or a kill never leaves a partial file under a
// final name and never touches an existing one. A source is deleted only
// while it is still the file that was converted.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "codecs/engines.h"
#include "codecs/job.h"
#include "core/fileidentity.h"
#include "core/loudness.h"
#include "core/planner.h"
#include "core/tagcopy.h"
#include "core/verify.h"

namespace zelph {

inline constexpr const char* kRowDone = "Done";
inline constexpr const char* kRowError = "Error Occured";
inline constexpr const char* kRowCancelled = "Cancelled";
// A file whose output is already what this run would make; told with kUpToDateReason.
inline constexpr const char* kRowSkipped = "Skipped";
inline constexpr const char* kUpToDateReason = "up to date";
// Told with a file that only needed its output's tags brought up to date.
inline constexpr const char* kTagsOnly = "tags only";

class RunnerListener {
public:
    virtual ~RunnerListener() = default;
    // A file's outcome; `reason` says why it failed, or what damage its
    // decoder passed over on the way to "Done" ("" otherwise).
    virtual void RowStatus(uint32_t row, const std::string& text, const std::string& reason) = 0;
    virtual void StatusText(const std::string& text) = 0;
    // A converted file whose source had to stay although it was to be
    // deleted (damaged, changed, already gone), or could not be deleted.
    virtual void SourceKept(uint32_t, const std::string& /*reason*/) {}
    // Told once per finished file whose tags were copied, before its row
    // says how it ended.
    virtual void TagsCopied(uint32_t /*row*/, const TagCopyReport& /*report*/) {}
    // An output this program made whose source is gone, removed.
    virtual void OutputRemoved(const std::string& /*path*/) {}
    // Something to tell that belongs to no file (a cover image not copied).
    virtual void Notice(const std::string& /*text*/) {}
};

// Lets a driver sleep until a running engine has ended.
class EngineEndSignal {
public:
    void Notify();
    // True when an engine ended since the last wait (or does within `timeout`).
    bool WaitFor(std::chrono::milliseconds timeout);
    // Called on the engine thread after each engine ends (e.g. to post an event).
    void SetCallback(std::function<void()> callback);

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool pending_ = false;
    std::function<void()> callback_;
};

struct RunOptions {
    AfterOperation afterOperation = AfterOperation::kKeepSource;
    ExistingFileAction existingFileAction = ExistingFileAction::kRename;
    // Files being encoded at once; a file whose output is only being finished
    // (tags, sync) does not count when more than one is allowed.
    unsigned filesAtOnce = 1;
    bool copyTags = true;  // carry each source's tags and pictures onto its output
    // Decode each output back and set it against its encoder's input before
    // it takes its name (core/verify.h); always done when sources are deleted.
    bool verify = false;
    // Tag each output with the loudness of its own decoded audio (the same
    // decode as verify's), and with its album's: an album's outputs take
    // their names together once its last track is measured.
    LoudnessMode loudness = LoudnessMode::kOff;
    bool truePeak = false;  // peaks between the samples, not the largest sample
    // The decode that does both; the runner's tests, whose stand-in engines
    // write no real audio, give their own.
    CheckedOutput (*checkOutput)(const std::string& output, const std::string& encoderInput,
                                 const OutputCheck& check) = CheckOutput;
    // Where each output placed is recorded with what it was made from (the
    // planner's ledger); nullptr: nowhere.
    OutputLedger* ledger = nullptr;
    // The records also hold each source's audio hash, by which a later
    // --update tells a touched source with the same audio from a new one.
    // It reads the source a second time (through FFmpeg's libraries for any
    // source but WAV), so only runs that re-run ask for it; a record without
    // one sends a touched source to be converted again.
    bool hashSources = false;
    // At the end, outputs this program made whose source is gone are removed
    // (within the ledger's loaded trees).
    bool deleteOrphans = false;
    // cover.jpg and folder.jpg of a converted file's folder go to its output folder.
    bool copyFolderImages = false;
};

// A file being converted, as the progress window lists it.
struct RunningFile {
    uint32_t row;
    std::string source;  // a CD image's track: "image › NN - Title"
    int progress;  // percent of the file
};

class JobRunner {
public:
    JobRunner(EngineTable engines, RunnerListener& listener);
    // Running engines are asked to stop and waited for: no engine thread
    // outlives its runner, and no run file is left behind.
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Starts a run of `plan`. Files bound for an output folder that is
    // missing or cannot be written fail at once, with that reason. False
    // when nothing was planned (the driver then says "No Jobs In Queue...").
    bool Open(BatchPlan plan, const RunOptions& options);
    // Collects ended jobs and starts the next ones, up to the files at once.
    void Tick();
    // Stops the oldest file still converting (or the one of `row`) and goes on
    // with the rest. A file held for its album ends at once, its output
    // dropped; its album's gain is measured without it.
    void SkipThis();
    void SkipFile(uint32_t row);
    // Stops everything; the run finishes once every engine has stopped.
    void CloseRequest();

    bool finished() const { return finished_; }
    const RunOptions& options() const { return options_; }
    bool engineRunning() const;
    // The progress of the oldest file still converting.
    int progress() const;
    std::vector<RunningFile> runningFiles() const;
    EngineEndSignal& endSignal() { return endSignal_; }

private:
    struct FileRun;
    struct ImageWav;

    void StartFile(std::unique_ptr<FileRun> file);
    void StartTrack(FileRun& file);
    void StartJob(FileRun& file);
    std::string JobFailure(const FileRun& file) const;
    // Looks at a file whose job has ended: starts its next job or ends it.
    void Advance(FileRun& file);
    bool PlaceOutput(FileRun& file, std::string& reason);
    bool PlaceCompanion(FileRun& file, const std::string& final, bool replace, std::string& reason);
    // Names the output, or fails the file with the reason it cannot be.
    void PlaceAndEnd(FileRun& file);
    void EndFile(FileRun& file, const char* status, const std::string& reason);
    // One member of the album of `row` has ended or is held; the last one
    // tags and names every held member.
    void AlbumMemberEnded(uint32_t row);
    void ReportOutcomes();
    // The oldest file whose engines still run, else the oldest file.
    FileRun* OldestConverting() const;
    std::size_t FilesHoldingASlot() const;
    bool ImageBusy(const PlannedFile& next) const;
    void RequestStop(FileRun& file, bool cancel);
    void Finish();
    void RecordOutput(FileRun& file, std::string& reason);
    void CopyFolderImages();
    void RemoveOrphans();

    EngineTable engines_;
    RunnerListener& listener_;
    EngineEndSignal endSignal_;
    RunOptions options_;
    uint32_t fileCount_ = 0;
    std::vector<PlannedFile> waiting_;  // in row order, not started yet
    std::size_t nextWaiting_ = 0;
    // The WAV of its CD image each waiting track shares with the image's other tracks.
    std::vector<std::shared_ptr<ImageWav>> waitingImages_;
    std::vector<std::unique_ptr<FileRun>> running_;  // oldest first
    struct Converted {
        uint32_t row;
        std::string source, output;
        std::optional<FileIdentity> identity, placed;  // of the source at its start, of the output placed
        std::string damage;                            // what its decoder skipped
        std::string sourceFolder;                      // where its folder images come from
        bool track = false;                            // a track of a CD image, which is never deleted
    };
    std::vector<Converted> converted_;  // the files done, whose sources may go at the end
    std::map<uint32_t, std::string> albumOf_;  // each file's album, by row (album loudness only)
    std::map<std::string, std::size_t> albumsPending_;  // members of each album not yet ended or held
    int lastProgress_ = 0;
    bool closing_ = false;
    bool finished_ = true;
};

}  // namespace zelph
