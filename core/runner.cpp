#include "core/runner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace zelph {

namespace {

// Enough of a file's identity to tell whether it was rewritten; "" if absent.
std::string Fingerprint(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return "";
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
           std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec);
}

bool HasContent(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}  // namespace

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

JobRunner::JobRunner(ConverterSettings* settings, EngineTable engines, RunnerListener& listener)
    : JobPlanner(settings), engines_(std::move(engines)), listener_(listener) {}

bool JobRunner::Open() {
    files_.clear();
    for (const Job& job : jobQueue) {
        FileOutcome& file = files_[job.fileIndex];
        if (file.source.empty()) file.source = job.sourcePath;
        file.finalTarget = job.targetPath;  // the last job of a file writes its output
    }
    finished_ = jobQueue.empty();
    if (!finished_) listener_.StatusText("Starting Engine...");
    return !finished_;
}

bool JobRunner::engineRunning() const { return LoadShared(currentJob.running) != 0; }

int JobRunner::progress() const { return LoadShared(currentJob.progress); }

bool JobRunner::IsPlannedTemp(const std::string& path) const {
    return std::find(plannedTempFiles.begin(), plannedTempFiles.end(), path) != plannedTempFiles.end();
}

void JobRunner::WriteRow(int row, const char* text) {
    if (row < 0) return;
    auto file = files_.find(row);
    if (file != files_.end()) {
        file->second.status = text;
        // An output this run created or rewrote but did not complete is not
        // music: remove it. A file the engine never touched stays.
        const FileOutcome& f = file->second;
        if (text != std::string(kRowDone) && f.finalStarted && Fingerprint(f.finalTarget) != f.before)
            ::unlink(f.finalTarget.c_str());
    }
    listener_.RowStatus(row, text);
}

void JobRunner::DropJobsOf(int row) {
    while (!jobQueue.empty() && jobQueue.front().fileIndex == row) jobQueue.pop_front();
}

void JobRunner::StartCurrentJob() {
    currentJob = jobQueue.front();
    jobQueue.pop_front();
    currentFileIndex = currentJob.fileIndex;

    const bool lastOfFile = jobQueue.empty() || jobQueue.front().fileIndex != currentJob.fileIndex;
    if (lastOfFile) {
        FileOutcome& file = files_[currentFileIndex];
        file.finalStarted = true;
        file.before = Fingerprint(file.finalTarget);
    }

    auto engine = engines_.find(currentJob.engineId);
    if (engine != engines_.end()) {
        StoreShared(currentJob.running, 1);
        // The signal wakes the driver as soon as the engine has let go of
        // everything, so no tick is wasted between two jobs.
        std::thread([proc = engine->second, job = &currentJob, signal = endSignal_] {
            // An engine failing by exception is a failed job, not a dead program;
            // its EngineRun has already published the failure while unwinding.
            try {
                proc(job);
            } catch (...) {
            }
            signal->Notify();
        }).detach();
    }
    if (!IsPlannedTemp(currentJob.sourcePath)) sourcesToDelete.push_back(currentJob.sourcePath);
    if (IsPlannedTemp(currentJob.targetPath)) tempFiles.push_back(currentJob.targetPath);
}

void JobRunner::Tick() {
    if (finished_ || engineRunning()) return;

    auto announce = [&](int row) {
        listener_.StatusText("Converting File " + std::to_string(row + 1) + " of " +
                             std::to_string(fileCount));
    };
    if (currentFileIndex == -1) {
        announce(jobQueue.front().fileIndex);
        StartCurrentJob();
        return;
    }
    const bool succeeded = LoadShared(currentJob.succeeded) == 1;
    if (!succeeded) {
        WriteRow(currentFileIndex, kRowError);
        DropJobsOf(currentFileIndex);
    }
    const bool fileEnded = jobQueue.empty() || jobQueue.front().fileIndex != currentFileIndex;
    if (succeeded && fileEnded) CompleteFile(currentFileIndex);
    if (jobQueue.empty()) {
        Finish();
        return;
    }
    if (fileEnded) announce(jobQueue.front().fileIndex);
    StartCurrentJob();
}

void JobRunner::CompleteFile(int row) {
    // Tags go on once the audio is complete, so a tag that cannot be
    // written fails the file rather than leaving it silently bare.
    if (options.copyTags) {
        const FileOutcome& file = files_[row];
        const TagCopyReport report = CopyTags(file.source, file.finalTarget);
        listener_.TagsCopied(row, report);
        if (!report.error.empty()) {
            WriteRow(row, kRowError);
            return;
        }
    }
    WriteRow(row, kRowDone);
}

void JobRunner::StopEngine() {
    StoreShared(currentJob.stopRequested, 1);
    while (engineRunning()) endSignal_->WaitFor(std::chrono::milliseconds(20));
}

void JobRunner::SkipThis() {
    if (finished_) return;
    StopEngine();
    DropJobsOf(currentFileIndex);
    WriteRow(currentFileIndex, kRowCancelled);
    if (jobQueue.empty()) {
        Finish();
        return;
    }
    currentFileIndex = -1;
    StoreShared(currentJob.progress, 0);
}

void JobRunner::CloseRequest() {
    if (finished_) return;
    StopEngine();
    while (!jobQueue.empty()) {
        const int row = jobQueue.front().fileIndex;
        jobQueue.pop_front();
        WriteRow(row, kRowCancelled);
    }
    WriteRow(currentFileIndex, kRowCancelled);
    Finish();
}

void JobRunner::Finish() {
    // Only the temporary names this batch planned are ever deleted.
    for (const std::string& temp : plannedTempFiles) ::unlink(temp.c_str());
    if (settings->general.afterOperation == 2) {
        for (const auto& [row, file] : files_) {
            // A source goes only when its output is really there.
            if (file.status == kRowDone && HasContent(file.finalTarget) &&
                std::find(sourcesToDelete.begin(), sourcesToDelete.end(), file.source) !=
                    sourcesToDelete.end())
                ::unlink(file.source.c_str());
        }
    }
    finished_ = true;
}

}  // namespace zelph
