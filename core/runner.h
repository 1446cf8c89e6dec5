#pragma once
// Carries out a planned queue: one engine thread at a time, row statuses,
// skip, close, and the clean-up when the queue is done. Driven by whoever
// owns it (the progress window or the command line) through Tick() and the
// two stop commands; it reports through a listener.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/job.h"
#include "core/planner.h"
#include "core/tagcopy.h"

namespace zelph {

inline constexpr const char* kRowDone = "Done";
inline constexpr const char* kRowError = "Error Occured";
inline constexpr const char* kRowCancelled = "Cancelled";

using EngineTable = std::map<std::string, EngineProc>;

// Choices for a run that the settings record has no room for.
struct RunOptions {
    bool copyTags = true;  // carry each source's tags onto its output
};

class RunnerListener {
public:
    virtual ~RunnerListener() = default;
    virtual void RowStatus(int row, const std::string& text) = 0;
    virtual void StatusText(const std::string& text) = 0;
    // Told once per finished file whose tags were copied, before its row
    // says how it ended.
    virtual void TagsCopied(int /*row*/, const TagCopyReport& /*report*/) {}
};

// Lets a driver sleep until the running engine has ended; engine threads
// keep it alive, so it may outlive the runner.
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

class JobRunner : public JobPlanner {
public:
    JobRunner(ConverterSettings* settings, EngineTable engines, RunnerListener& listener);

    RunOptions options;

    // Starts a run of the planned queue. False when there is nothing to do
    // (the driver then says "No Jobs In Queue..." and does not tick).
    bool Open();
    // The scheduling tick: starts the next job when none is running.
    void Tick();
    // Stops the current file and goes on with the next.
    void SkipThis();
    // Stops everything and finishes.
    void CloseRequest();

    bool finished() const { return finished_; }
    bool engineRunning() const;
    int progress() const;
    const std::shared_ptr<EngineEndSignal>& endSignal() const { return endSignal_; }

private:
    struct FileOutcome {
        std::string finalTarget;
        std::string source;
        bool finalStarted = false;  // the job writing finalTarget has run
        std::string before;         // what stood at finalTarget when it started
        std::string status;
    };

    void StartCurrentJob();
    void StopEngine();
    void WriteRow(int row, const char* text);
    void DropJobsOf(int row);
    // The last step of a file whose every job succeeded.
    void CompleteFile(int row);
    void Finish();
    bool IsPlannedTemp(const std::string& path) const;

    EngineTable engines_;
    RunnerListener& listener_;
    std::shared_ptr<EngineEndSignal> endSignal_ = std::make_shared<EngineEndSignal>();
    std::map<int, FileOutcome> files_;
    bool finished_ = true;
};

}  // namespace zelph
