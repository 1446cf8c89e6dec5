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
#include <thread>
#include <string>

#include "codecs/engines.h"
#include "codecs/job.h"
#include "core/planner.h"

namespace zelph {

inline constexpr const char* kRowDone = "Done";
inline constexpr const char* kRowError = "Error Occured";
inline constexpr const char* kRowCancelled = "Cancelled";

class RunnerListener {
public:
    virtual ~RunnerListener() = default;
    virtual void RowStatus(int row, const std::string& text) = 0;
    virtual void StatusText(const std::string& text) = 0;
};

// Lets a driver sleep until the running engine has ended.
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

class JobRunner {
public:
    JobRunner(EngineTable engines, RunnerListener& listener);
    // A running engine is asked to stop and waited for: no engine thread
    // outlives its runner.
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Starts a run of `plan`. False when there is nothing to do (the driver
    // then says "No Jobs In Queue..." and does not tick).
    bool Open(BatchPlan plan, AfterOperation afterOperation);
    // The scheduling tick: starts the next job when none is running.
    void Tick();
    // Stops the current file and goes on with the next.
    void SkipThis();
    // Stops everything and finishes.
    void CloseRequest();

    bool finished() const { return finished_; }
    bool engineRunning() const;
    int progress() const;
    EngineEndSignal& endSignal() { return endSignal_; }

private:
    struct FileOutcome {
        std::string finalTarget;
        std::string source;
        bool finalStarted = false;  // the job writing finalTarget has run
        std::string before;         // what stood at finalTarget when it started
        std::string status;
    };
    // The job in hand and the thread its engine runs on.
    struct CurrentJob {
        Job job;
        JobState state;
        std::thread thread;
    };

    void StartNextJob();
    // Waits for the engine thread to end and lets go of it.
    void JoinEngine();
    void StopEngine();
    void WriteRow(int row, const char* text);
    void DropJobsOf(int row);
    void Finish();

    EngineTable engines_;
    RunnerListener& listener_;
    EngineEndSignal endSignal_;
    BatchPlan plan_;
    AfterOperation afterOperation_ = AfterOperation::kKeepSource;
    std::unique_ptr<CurrentJob> current_;
    int currentFile_ = -1;
    std::map<int, FileOutcome> files_;
    bool finished_ = true;
};

}  // namespace zelph
