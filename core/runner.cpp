#include "core/runner.h"

#include <sys/stat.h>
#include <unistd.h>

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

JobRunner::JobRunner(EngineTable engines, RunnerListener& listener)
    : engines_(std::move(engines)), listener_(listener) {}

JobRunner::~JobRunner() {
    if (current_) current_->state.stopRequested.store(1, std::memory_order_release);
    JoinEngine();
}

bool JobRunner::Open(BatchPlan plan, AfterOperation afterOperation) {
    JoinEngine();
    plan_ = std::move(plan);
    afterOperation_ = afterOperation;
    current_.reset();
    currentFile_ = -1;
    files_.clear();
    for (const Job& job : plan_.jobs) {
        FileOutcome& file = files_[static_cast<int>(job.fileIndex)];
        if (file.source.empty()) file.source = job.sourcePath;
        file.finalTarget = job.targetPath;  // the last job of a file writes its output
    }
    finished_ = plan_.jobs.empty();
    if (!finished_) listener_.StatusText("Starting Engine...");
    return !finished_;
}

bool JobRunner::engineRunning() const {
    return current_ && current_->state.running.load(std::memory_order_acquire) != 0;
}

int JobRunner::progress() const {
    return current_ ? current_->state.progress.load(std::memory_order_acquire) : 0;
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
    while (!plan_.jobs.empty() && static_cast<int>(plan_.jobs.front().fileIndex) == row) plan_.jobs.pop_front();
}

void JobRunner::JoinEngine() {
    if (current_ && current_->thread.joinable()) current_->thread.join();
}

void JobRunner::StartNextJob() {
    current_ = std::make_unique<CurrentJob>();
    current_->job = std::move(plan_.jobs.front());
    plan_.jobs.pop_front();
    const Job& job = current_->job;
    currentFile_ = static_cast<int>(job.fileIndex);
    current_->state.progress.store(job.progressStart, std::memory_order_relaxed);

    const bool lastOfFile = plan_.jobs.empty() || plan_.jobs.front().fileIndex != job.fileIndex;
    if (lastOfFile) {
        FileOutcome& file = files_[currentFile_];
        file.finalStarted = true;
        file.before = Fingerprint(file.finalTarget);
    }

    // An engine the table does not know never runs; the job counts as failed.
    const auto engine = engines_.find(job.engine);
    if (engine == engines_.end()) return;
    current_->state.running.store(1, std::memory_order_release);
    // The signal wakes the driver as soon as the engine has let go of
    // everything, so no tick is wasted between two jobs.
    current_->thread = std::thread([proc = engine->second, &job, &state = current_->state, &signal = endSignal_] {
        // An engine failing by exception is a failed job, not a dead program.
        try {
            proc(job, state);
        } catch (...) {
            state.running.store(0, std::memory_order_release);
        }
        signal.Notify();
    });
}

void JobRunner::Tick() {
    if (finished_ || engineRunning()) return;

    auto announce = [&](uint32_t row) {
        listener_.StatusText("Converting File " + std::to_string(row + 1) + " of " +
                             std::to_string(plan_.fileCount));
    };
    if (currentFile_ == -1) {
        announce(plan_.jobs.front().fileIndex);
        StartNextJob();
        return;
    }
    JoinEngine();
    const bool succeeded = current_->state.succeeded.load(std::memory_order_acquire) == 1;
    if (!succeeded) {
        WriteRow(currentFile_, kRowError);
        DropJobsOf(currentFile_);
    }
    if (plan_.jobs.empty()) {
        WriteRow(currentFile_, succeeded ? kRowDone : kRowError);
        Finish();
        return;
    }
    if (static_cast<int>(plan_.jobs.front().fileIndex) != currentFile_) {
        if (succeeded) WriteRow(currentFile_, kRowDone);
        announce(plan_.jobs.front().fileIndex);
    }
    StartNextJob();
}

void JobRunner::StopEngine() {
    if (!current_) return;
    current_->state.stopRequested.store(1, std::memory_order_release);
    JoinEngine();
}

void JobRunner::SkipThis() {
    if (finished_) return;
    StopEngine();
    DropJobsOf(currentFile_);
    WriteRow(currentFile_, kRowCancelled);
    if (plan_.jobs.empty()) {
        Finish();
        return;
    }
    currentFile_ = -1;
    current_.reset();
}

void JobRunner::CloseRequest() {
    if (finished_) return;
    StopEngine();
    while (!plan_.jobs.empty()) {
        const int row = static_cast<int>(plan_.jobs.front().fileIndex);
        plan_.jobs.pop_front();
        WriteRow(row, kRowCancelled);
    }
    WriteRow(currentFile_, kRowCancelled);
    Finish();
}

void JobRunner::Finish() {
    // Only the temporary names this batch planned are ever deleted.
    for (const std::string& temp : plan_.temporaryFiles) ::unlink(temp.c_str());
    if (afterOperation_ == AfterOperation::kDeleteSource) {
        for (const auto& [row, file] : files_) {
            // A source goes only when its output is really there.
            if (file.status == kRowDone && HasContent(file.finalTarget)) ::unlink(file.source.c_str());
        }
    }
    finished_ = true;
}

}  // namespace zelph
